#pragma once
// The headless core: in-memory controls with the observable behaviour of the
// platform's (texts, selection, enable and check state, scroll position, list
// items), the IDialogHost of a dialog without windows, a clock (virtual or
// real, see headless_clock.h), and the UI thread's queue for messages from
// other threads. The terminal host and the test host are built on it.
//
// Timers: every timer due within an advanced span fires in time order, each
// at its own due time (ties in the order they were set). Sleep(ms) on the UI
// thread only moves the clock: no message or timer is handled while the UI
// thread sleeps, and a timer that fell due meanwhile fires once, at the next
// advance, as the platform folds pending timer ticks into one. A period below
// 10 ms counts as 10 ms, the platform's least.
//
// Messages: PostMessage queues from any thread. SendMessage from the UI
// thread calls the handler at once; from another thread it queues and blocks
// until the UI thread serves it in RunUntil, RunModal or
// WaitServingSentMessages. Once the host closes, pending and later sends
// return 0, as sends to a destroyed window do.
//
// Message boxes are answered OK at once; a host that shows, records or holds
// them overrides MessageBox.
//
// Input: Click, Type, SelectItem and Focus act as the user would and are
// refused (false) on a missing or disabled control, or once the dialog has
// ended. Type() is one typed change: an edit sends one Change, a drop-down
// combo one EditUpdate and one EditChange. SetWindowText, the program's write,
// sends none.
//
// The core draws nothing: control classes get no device context, and the
// hooks below (changes that would repaint, idle turns, a control's default
// processing, the mouse) are where a host that paints or has a mouse plugs in.
//
// Real clock: RunModal waits for the next timer or message.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "framework/app.h"
#include "framework/control_class.h"
#include "framework/dialog.h"
#include "framework/dialog_host.h"
#include "framework/headless/headless_clock.h"
#include "framework/headless/message_queue.h"

namespace fw {

struct HeadlessControl {
  int id = 0;
  Rect rect;  // pixels, dialog client coordinates
  ControlKind kind = ControlKind::Static;
  unsigned style = 0;
  std::string text;  // a drop-down combo box: its edit field
  bool enabled = true;
  int check = 0;
  int limit = 0;  // UTF-16 units typed at most; 0 for none
  int firstLine = 0;
  int firstColumn = 0;
  std::vector<std::string> items;
  int selected = -1;
  int lower = 0, upper = 100, pos = 0, step = 10;
};

// Dialog units to pixels with the headless base units: fixed 6 x 13 pixels,
// the platform's for its default 8-point font.
Rect DialogUnitsToPixels(Rect dialogUnits);

class HeadlessCore : public IDialogHost, public IModalRunner {
 public:
  // The constructing thread is the UI thread.
  explicit HeadlessCore(HostClock clock = HostClock::Virtual);
  ~HeadlessCore() override;
  HeadlessCore(const HeadlessCore&) = delete;
  HeadlessCore& operator=(const HeadlessCore&) = delete;

  // Creates the controls and runs OnInitDialog.
  void Start(CDialog& dialog);
  // Ends message service; pending sends from other threads return 0.
  void Close();
  // Serves messages and timers, as RunModal does, until done() holds or the
  // dialog ends; false when the dialog ended first. With nothing to serve, a
  // virtual clock moves to the next due timer, a real one waits for it.
  bool RunUntil(const std::function<bool()>& done);
  // Serves sent messages (posted ones stay queued) until done() holds.
  void WaitServingSentMessages(const std::function<bool()>& done);
  // From any thread or a signal handler: the Cancel command at the loop's next turn.
  void RequestCancel() { m_cancelRequested = 1; }
  void SetModuleFileName(std::string path) { m_modulePath = std::move(path); }

  // Input.
  bool Click(int id);  // a check box toggles first
  bool Type(int id, std::string_view text);  // replaces the text as typed keys would
  bool SelectItem(int id, int index);
  bool Focus(int id);

  // Observation.
  const HeadlessControl& Control(int id) const;
  std::uint64_t NowMicroseconds() const { return m_clock.Now(); }
  bool Ended() const { return m_ended; }
  int Result() const { return m_result; }

  // IDialogHost.
  bool HasControl(int id) const override { return Find(id) != nullptr; }
  void SetWindowText(int id, std::string_view text) override;
  std::string GetWindowText(int id) const override;
  void EnableWindow(int id, bool enable) override;
  bool IsWindowEnabled(int id) const override;
  void SetFocus(int id) override;
  int GetFocus() const override { return m_focus; }
  void SetCheck(int id, int state) override;
  int GetCheck(int id) const override;
  void SetLimitText(int id, int units) override;
  bool LineScroll(int id, int lines, int columns) override;
  int GetFirstVisibleLine(int id) const override;
  int AddString(int id, std::string_view text) override;
  int DeleteString(int id, int index) override;
  void ResetContent(int id) override;
  int GetCount(int id) const override;
  std::string GetItemText(int id, int index) const override;
  int SetCurSel(int id, int index) override;
  int GetCurSel(int id) const override;
  int SelectString(int id, int startAfter, std::string_view prefix) override;
  int FindString(int id, int startAfter, std::string_view prefix) const override;
  bool IsDropDownList(int id) const override;
  void SetRange(int id, int lower, int upper) override;
  int SetPos(int id, int pos) override;
  int GetPos(int id) const override;
  void SetStep(int id, int step) override;
  int StepIt(int id) override;
  void SetTimer(unsigned id, unsigned ms) override;
  void KillTimer(unsigned id) override;
  void EndDialog(int result) override;
  int MessageBox(std::string_view text) override;
  std::intptr_t SendMessage(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) override;
  void PostMessage(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) override;
  void Sleep(unsigned ms) override;
  void JoinServingSentMessages(std::intptr_t platformHandle, const std::function<void()>& join) override;
  std::uint32_t GetTickCount() const override { return m_clock.TickCount(); }
  std::string GetModuleFileName() const override { return m_modulePath; }
  // No chooser on this host: cancelled.
  bool GetOpenFileName(const OpenFileRequest& request, std::string& path) override;
  void AppendSystemMenu(unsigned, std::string_view) override {}
  void SetIcon(int) override {}
  // The child runs on a host of its own and is cancelled: no one drives it.
  int DoModal(CDialog& child) override;
  void ForgetDialog(CDialog& dialog) override;
  bool SubclassControl(int id, CControlClass& controlClass) override;

  // IModalRunner: Start, then serve until the dialog ends; its result.
  int RunModal(CDialog& dialog) override;

 protected:
  enum class TimerKind { Dialog, Control, Hover };
  struct Timer {
    TimerKind kind;
    int owner;  // control id for control timers and hover requests
    unsigned id;
    std::uint64_t period;
    std::uint64_t due;
    std::uint64_t order;
  };
  // What a change leaves for a painter to redraw.
  enum Repaint : unsigned { kRepaintClient = 1, kRepaintErase = 2, kRepaintFrame = 4 };

  // Hooks; the core's own do nothing.
  // A control's look changed (a painter marks it).
  virtual void Changed(int /*id*/, unsigned /*repaint*/) {}
  // The queue ran empty: after each input action, timer tick and advance.
  virtual void Idle() {}
  // Start made the controls; the dialog is not attached yet.
  virtual void ControlsMade() {}
  // A control class got a control, or lost it with every other at Start.
  virtual void ClassChanged(int /*id*/) {}
  // A control's own processing of msg, for a subclassed control's Default.
  virtual std::intptr_t DefaultControlProc(int id, unsigned msg, std::uintptr_t wparam, std::intptr_t lparam);
  virtual std::unique_ptr<CDC> ControlDC(int /*id*/) { return nullptr; }
  // The mouse: there is none, so no hover or leave request is accepted.
  virtual bool TrackMouse(int /*id*/, unsigned /*flags*/, unsigned /*hoverMs*/) { return false; }
  virtual Point CursorPos() const { return {-10000, -10000}; }
  // A hover request's time came.
  virtual void HoverTimeUp(int /*id*/) {}

  HostClock ClockKind() const { return m_clock.Kind(); }
  bool RealClock() const { return m_clock.Real(); }
  void AdvanceTo(std::uint64_t target);
  void StartTimer(TimerKind kind, int owner, unsigned id, std::uint64_t periodUs);
  void StopTimer(TimerKind kind, int owner, unsigned id);
  const std::vector<Timer>& Timers() const { return m_timers; }
  // Serves queued messages; sentOnly leaves posted ones queued.
  void Serve(bool sentOnly);
  bool OnUiThread() const { return std::this_thread::get_id() == m_uiThread; }
  CDialog* Dialog() const { return m_dialog; }
  const std::vector<HeadlessControl>& Controls() const { return m_controls; }
  HeadlessControl* Find(int id);
  const HeadlessControl* Find(int id) const;
  // For input: present, enabled, dialog live.
  HeadlessControl* Usable(int id);
  // The command of a control, then an idle turn.
  void Notify(int id, fw::Notify code);
  // The live control class of a control and the window it sees; null for none.
  CControlClass* LiveClass(int id);
  IControlSite* LiveSite(int id);
  // Any message to a control's class (none: 0), then an idle turn.
  std::intptr_t SendToClass(int id, unsigned msg, std::uintptr_t wparam = 0, std::intptr_t lparam = 0);
  // Runs child on childHost as this host's modal child; drive acts in it
  // before an open child is cancelled. The time it took carries over.
  int RunChild(HeadlessCore& childHost, CDialog& child, const std::function<void()>& drive);
  // The destructor's work, for a derived host to do while it still lives:
  // the dialog's engines close while sends are still served. Once only.
  void Shutdown();

 private:
  class Site;

  void FireTimer(const Timer& timer);
  // Real clock: waits until the clock reaches due or a message or cancel arrives.
  void WaitRealUntil(std::uint64_t due);
  void CheckCancelRequest();
  Site* SiteOf(int id);
  void DetachSites();

  CDialog* m_dialog = nullptr;
  std::vector<HeadlessControl> m_controls;
  HeadlessControl m_none;
  int m_focus = 0;
  bool m_ended = false;
  int m_result = 0;
  bool m_shutDown = false;
  HeadlessClock m_clock;
  std::uint64_t m_timerOrder = 0;
  std::vector<Timer> m_timers;
  std::thread::id m_uiThread;
  std::vector<std::unique_ptr<Site>> m_sites;
  std::string m_modulePath;
  std::atomic<int> m_cancelRequested{0};
  MessageQueue m_queue;
};

// The wait a framework wait (such as the serial engine's Close) uses on the
// headless hosts: sent messages are served while it lasts.
inline void WaitServingSentMessages(HeadlessCore& host, const std::function<bool()>& done) {
  host.WaitServingSentMessages(done);
}

// Runs join, a blocking wait for another thread's end, on a helper thread
// while the UI thread keeps serving sent messages: the host's
// JoinServingSentMessages, which a dialog's serial engines wait through in Close.
void JoinServingSentMessages(HeadlessCore& host, const std::function<void()>& join);

}  // namespace fw
