#pragma once
// The headless host: in-memory controls with the observable behaviour of the
// platform's, a virtual clock in microseconds, a queue for messages from
// other threads, recorded message boxes (answered OK), and a test driver.
//
// Clock: Advance(ms) fires every timer due within the span in time order,
// each at its own due time (ties in the order they were set). Sleep(ms) on
// the UI thread only moves the clock: no message or timer is handled while
// the UI thread sleeps, and a timer that fell due meanwhile fires once, at
// the next Advance (Advance(0) will do), as the platform folds pending timer
// ticks into one. A period below 10 ms counts as 10 ms, the platform's least.
//
// Messages: PostMessage queues from any thread. SendMessage from the UI
// thread calls the handler at once; from another thread it queues and
// blocks until the UI thread serves it in Advance, ServeMessages, RunModal
// or WaitServingSentMessages. Once the host closes, pending and later sends
// return 0, as sends to a destroyed window do.
//
// Message boxes: recorded and answered OK at once, unless held: then a box
// shown from another thread stays open until AnswerMessageBoxes, and closing
// it re-enables its owner with WM_ENABLE sent to the UI thread, as the
// platform's boxes do (a UI thread that waits without serving sent messages
// hangs there). Boxes of the UI thread itself are answered at once.
//
// Driver actions act as the user would and are refused (false) on a missing
// or disabled control, or once the dialog has ended. Enter is the OK
// command, Esc the Cancel command, unless that button is disabled. Type()
// is one typed change: an edit sends one Change, a drop-down combo one
// EditUpdate and one EditChange. SetWindowText, the program's write, sends
// none.
//
// Mouse: Hover(id) moves the cursor onto a control (a mouse move reaches its
// control class); a hover request it registered fires after its hover time on
// the clock; Leave() moves the cursor off and delivers a registered leave
// notification. Control rectangles map dialog units to pixels with fixed
// base units of 6 x 13 pixels (the platform's for its default 8-point font).
//
// Painting: every control has a raster surface of its pixel size. Window and
// client rectangles are the same on this host, so GetWindowDC and GetDC draw
// on the same pixels; an edit's own erasing and painting leave its outer two
// pixels (SM_CXEDGE) to its frame, the non-client paint. Invalidate and
// RedrawWindow only mark a control (erase and frame as asked); marked controls
// are painted when the host is idle, as the platform paints when its queue is
// empty: after each driver action, after each timer tick, and on
// PaintInvalidated(). Paint(id) paints at once, as a first show does:
// non-client paint (edits), erase background (wParam carries no context; the
// default erase takes its own), paint. The default processing of these paints
// a plain standard look; an owner-draw button's paint asks its class's
// DrawItem with selected (mouse down on it), disabled and focus bits.
// Controls repaint themselves on text, enable, focus, check and progress
// changes; a button pressed by the driver's mouse draws pressed from its next
// paint on (Paint(id) shows it at once).
//
// Real clock (the terminal host): the clock follows the steady clock, Sleep
// really sleeps, and RunModal waits for the next timer or message. A timer
// that fell overdue by several periods (the process was stopped, the machine
// suspended or loaded) fires once and then keeps its schedule, as the
// platform folds pending timer ticks into one.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "framework/app.h"
#include "framework/control_class.h"
#include "framework/dialog.h"
#include "framework/dialog_host.h"
#include "framework/drawing/raster/raster_look.h"
#include "framework/drawing/raster/raster_surface.h"

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

struct RecordedMessageBox {
  std::string text;
  int answer;
};

struct SystemMenuItem {
  unsigned commandId;
  std::string text;  // empty for a separator
};

enum class HostClock { Virtual, Real };

// Dialog units to pixels with the headless base units.
Rect DialogUnitsToPixels(Rect dialogUnits);

class HeadlessHost : public IDialogHost, public IModalRunner {
 public:
  // The constructing thread is the UI thread.
  explicit HeadlessHost(HostClock clock = HostClock::Virtual);
  ~HeadlessHost() override;
  HeadlessHost(const HeadlessHost&) = delete;
  HeadlessHost& operator=(const HeadlessHost&) = delete;

  // Creates the controls and runs OnInitDialog; the test then drives the dialog.
  void Start(CDialog& dialog);
  // Start, then serve messages and timers (advancing the virtual clock to
  // the next due timer when idle) until the dialog ends; returns its result.
  // (RunModal is declared with IModalRunner below.)
  // Ends message service; pending sends from other threads return 0.
  void Close();
  // Serves messages and timers, as RunModal does, until done() holds or the
  // dialog ends; false when the dialog ended first.
  bool RunUntil(const std::function<bool()>& done);

  // Driver.
  bool Click(int id);  // a check box toggles first
  bool Type(int id, std::string_view text);  // replaces the text as typed keys would
  bool SelectItem(int id, int index);
  bool Focus(int id);
  bool PressEnter();
  bool PressEscape();
  bool Hover(int id);
  void Leave();
  bool MouseDown(int id);
  bool MouseUp(int id);
  // A system-menu command as the user picks it; close runs the Cancel command.
  bool SystemCommand(unsigned commandId);
  // Any message to a control, through its control class when it has one.
  std::intptr_t SendToControl(int id, unsigned msg, std::uintptr_t wparam = 0, std::intptr_t lparam = 0);
  // Later TrackMouseEvent requests fail while refused.
  void RefuseMouseTracking(bool refuse) { m_refuseTracking = refuse; }
  // Answers for the open-file dialog, used in order; with none left it is cancelled.
  void QueueOpenFileAnswer(std::optional<std::string> path) { m_fileAnswers.push_back(std::move(path)); }
  void SetModuleFileName(std::string path) { m_modulePath = std::move(path); }
  // Called with the child's host when a dialog opens another modally; a child
  // still open when it returns is cancelled.
  void OnChildDialog(std::function<void(HeadlessHost& child)> driver) { m_childDriver = std::move(driver); }
  // From any thread or a signal handler: the Cancel command at the loop's next turn.
  void RequestCancel() { m_cancelRequested = 1; }
  void Advance(unsigned ms);
  void ServeMessages();
  // Serves sent messages (posted ones stay queued) until done() holds.
  void WaitServingSentMessages(const std::function<bool()>& done);

  // Painting (see above).
  bool Paint(int id);
  void PaintInvalidated();
  // Moves and sizes a control in pixels; its surface starts over and it repaints.
  bool MoveControl(int id, Rect pixels);

  // Observation.
  const HeadlessControl& Control(int id) const;
  // An empty surface for a missing control.
  const RasterSurface& Surface(int id) const;
  const std::vector<TextRun>& TextRuns(int id) const { return Surface(id).TextRuns(); }
  bool IsInvalidated(int id) const;
  const ISystemLook& Look() const { return m_look; }
  std::uint64_t NowMicroseconds() const { return m_now; }
  // Message boxes shown so far (any thread may show one).
  std::vector<RecordedMessageBox> MessageBoxes() const;
  void HoldMessageBoxes(bool hold);
  // From any thread: closes every held box with OK; how many were open.
  int AnswerMessageBoxes();
  int OpenMessageBoxes() const;
  bool Ended() const { return m_ended; }
  int Result() const { return m_result; }
  bool HasTimer(unsigned id) const;
  bool HasControlTimer(int controlId, unsigned id) const;
  const std::vector<SystemMenuItem>& SystemMenu() const { return m_systemMenu; }
  int Icon() const { return m_icon; }
  const std::vector<OpenFileRequest>& OpenFileRequests() const { return m_fileRequests; }
  int CursorControl() const { return m_cursorOn; }
  // Whether control id has a hover or leave request registered.
  bool IsTrackingMouse(int id, unsigned flag) const;

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
  std::uint32_t GetTickCount() const override;
  std::string GetModuleFileName() const override { return m_modulePath; }
  bool GetOpenFileName(const OpenFileRequest& request, std::string& path) override;
  void AppendSystemMenu(unsigned commandId, std::string_view text) override;
  void SetIcon(int resourceId) override { m_icon = resourceId; }
  int DoModal(CDialog& child) override;
  void ForgetDialog(CDialog& dialog) override;
  bool SubclassControl(int id, CControlClass& controlClass) override;

  // IModalRunner.
  int RunModal(CDialog& dialog) override;

 protected:
  bool RealClock() const { return m_clock == HostClock::Real; }

 private:
  class Site;
  enum class TimerKind { Dialog, Control, Hover };
  struct Timer {
    TimerKind kind;
    int owner;  // control id for control timers and hover requests
    unsigned id;
    std::uint64_t period;
    std::uint64_t due;
    std::uint64_t order;
  };
  struct Reply {
    bool done = false;
    std::intptr_t result = 0;
  };
  struct Queued {
    unsigned msg;
    std::uintptr_t wparam;
    std::intptr_t lparam;
    std::shared_ptr<Reply> reply;  // null for a posted message
  };

  HeadlessControl* Find(int id);
  const HeadlessControl* Find(int id) const;
  HeadlessControl* Usable(int id);  // for the driver: present, enabled, dialog live
  void Notify(int id, fw::Notify code);
  void AdvanceTo(std::uint64_t target);
  void FireTimer(const Timer& timer);
  // When a periodic timer that was due at timer.due and fired at now falls due next.
  std::uint64_t NextDue(const Timer& timer, std::uint64_t now) const;
  void StartTimer(TimerKind kind, int owner, unsigned id, std::uint64_t periodUs);
  void StopTimer(TimerKind kind, int owner, unsigned id);
  std::uint64_t RealNow() const;
  // Real clock: waits until the clock reaches due or a message or cancel arrives.
  void WaitRealUntil(std::uint64_t due);
  void CheckCancelRequest();
  Site* SiteOf(int id);
  // What a marked control will get at the next paint.
  enum PendingPaint : unsigned { kPendClient = 1, kPendErase = 2, kPendFrame = 4 };
  struct PaintState {
    RasterSurface surface;
    unsigned pending = 0;
  };
  PaintState* PaintOf(int id);
  void MarkForPaint(int id, unsigned what);
  void PaintNow(int id, unsigned what);
  // The control's own processing of kWmPaint, kWmNcPaint and kWmEraseBkgnd.
  std::intptr_t DefaultPaint(int id, unsigned msg);
  Point ControlCentre(int id) const;
  void DetachSites();
  // Serves queued messages; sentOnly leaves posted ones queued.
  void Serve(bool sentOnly);
  bool OnUiThread() const { return std::this_thread::get_id() == m_uiThread; }

  CDialog* m_dialog = nullptr;
  std::vector<HeadlessControl> m_controls;
  HeadlessControl m_none;
  int m_focus = 0;
  bool m_ended = false;
  int m_result = 0;
  std::uint64_t m_now = 0;
  std::uint64_t m_timerOrder = 0;
  std::vector<Timer> m_timers;
  std::vector<RecordedMessageBox> m_boxes;
  std::thread::id m_uiThread;
  HostClock m_clock;
  std::chrono::steady_clock::time_point m_realStart;
  std::vector<std::unique_ptr<Site>> m_sites;
  std::vector<SystemMenuItem> m_systemMenu;
  int m_icon = 0;
  int m_cursorOn = 0;  // control under the cursor, 0 for none
  bool m_refuseTracking = false;
  std::map<int, PaintState> m_paint;
  RasterSurface m_noSurface;
  RasterLook m_look;
  int m_mouseDownOn = 0;  // a button held down by the driver's mouse
  bool m_painting = false;
  std::deque<std::optional<std::string>> m_fileAnswers;
  std::vector<OpenFileRequest> m_fileRequests;
  std::string m_modulePath;
  std::function<void(HeadlessHost&)> m_childDriver;
  std::atomic<int> m_cancelRequested{0};

  mutable std::mutex m_boxMutex;  // message boxes may come from the monitor thread; guards the box members
  std::condition_variable m_boxAnswered;
  bool m_holdBoxes = false;
  int m_openBoxes = 0;
  std::uint64_t m_answers = 0;  // AnswerMessageBoxes calls so far
  mutable std::mutex m_mutex;  // guards the members below
  std::condition_variable m_changed;
  std::deque<Queued> m_queue;
  bool m_closed = false;
};

// The wait a framework wait (such as the serial engine's Close) uses on the
// headless host: sent messages are served while it lasts.
inline void WaitServingSentMessages(HeadlessHost& host, const std::function<bool()>& done) {
  host.WaitServingSentMessages(done);
}

// Runs join, a blocking wait for another thread's end, on a helper thread
// while the UI thread keeps serving sent messages: the host's
// JoinServingSentMessages, which a dialog's serial engines wait through in Close.
void JoinServingSentMessages(HeadlessHost& host, const std::function<void()>& join);

}  // namespace fw
