#pragma once
// The modal dialog base the programs' dialogs derive from. Written once
// against IDialogHost; the host creates the controls from the template,
// calls Attach, then OnInitDialog, and routes commands, timers and messages.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/controls.h"
#include "framework/ddx.h"
#include "framework/dialog_host.h"
#include "serial/engine_owner.h"

namespace fw {

// The owner of the serial engines among its members (serial::Engine<T> m_tty{*this}):
// their Close waits on the host's wait that keeps serving messages sent to
// the dialog's windows, and they are closed when the dialog's window goes.
class CDialog : public serial::IEngineOwner {
 public:
  using CommandHandler = std::function<void()>;
  using MessageHandler = std::function<std::intptr_t(std::uintptr_t wparam, std::intptr_t lparam)>;

  explicit CDialog(DialogTemplate dialogTemplate) : m_template(std::move(dialogTemplate)) {}
  virtual ~CDialog();
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  const DialogTemplate& Template() const { return m_template; }
  // The prompts data exchange shows, in the program's language.
  void SetDdxPrompts(DdxPrompts prompts) { m_prompts = std::move(prompts); }
  const DdxPrompts& Prompts() const { return m_prompts; }

  virtual bool OnInitDialog() { UpdateData(false); return true; }
  virtual void DoDataExchange(CDataExchange&) {}
  // Saves and validates; closes with kIdOk only when that succeeded.
  virtual void OnOK() {
    if (UpdateData(true)) EndDialog(kIdOk);
  }
  virtual void OnCancel() { EndDialog(kIdCancel); }
  virtual void OnTimer(unsigned) {}
  // The about item of the system menu, behind a separator; nothing when the
  // program's table has no text for it.
  void AppendAboutItem(unsigned commandId, std::string_view text) {
    if (text.empty()) return;
    Host().AppendSystemMenu(0, "");
    Host().AppendSystemMenu(commandId, text);
  }
  // A system-menu command; false leaves it to the host's default processing
  // (move, minimise, close: close becomes the Cancel command).
  virtual bool OnSysCommand(unsigned /*commandId*/) { return false; }

  // false when a check failed: its prompt was shown and focus is on its control.
  bool UpdateData(bool save);
  void EndDialog(int result);
  bool IsEnded() const { return m_ended; }
  int Result() const { return m_result; }

  void SetTimer(unsigned id, unsigned ms) { Host().SetTimer(id, ms); }
  void KillTimer(unsigned id) { Host().KillTimer(id); }
  std::intptr_t SendMessage(unsigned msg, std::uintptr_t wparam = 0, std::intptr_t lparam = 0) {
    return Host().SendMessage(msg, wparam, lparam);
  }
  void PostMessage(unsigned msg, std::uintptr_t wparam = 0, std::intptr_t lparam = 0) {
    Host().PostMessage(msg, wparam, lparam);
  }
  int MessageBox(std::string_view text) { return Host().MessageBox(text); }
  void Sleep(unsigned ms) { Host().Sleep(ms); }
  int DoModal(CDialog& child) { return Host().DoModal(child); }

  CWndRef Item(int id) { return {Host(), id}; }
  CButton Button(int id) { return {Host(), id}; }
  CEdit Edit(int id) { return {Host(), id}; }
  CComboBox Combo(int id) { return {Host(), id}; }
  CListBox List(int id) { return {Host(), id}; }
  CProgressCtrl Progress(int id) { return {Host(), id}; }
  IDialogHost& Host() { return *m_host; }

  // Message map, filled by the derived class's constructor.
  void OnCommand(int id, Notify code, CommandHandler handler);
  void OnClicked(int id, CommandHandler handler) { OnCommand(id, Notify::Clicked, std::move(handler)); }
  void OnMessage(unsigned msg, MessageHandler handler);

  // serial::IEngineOwner.
  void WaitForMonitorEnd(serial::IMonitorThread& thread) override;
  // A box with EngineMessageText's words; none when they are empty.
  void ShowEngineMessage(serial::EngineMessage message) override;
  // The words of an engine's message, from the program's string table; a
  // dialog that owns engines gives them (this one has none: nothing shows).
  // Called from any thread, so it reads only what does not change.
  virtual std::string EngineMessageText(serial::EngineMessage message) const;
  void AdoptEngine(CTTYnew& engine) override;
  void ReleaseEngine(CTTYnew& engine) override;

  // Called by the host.
  void Attach(IDialogHost& host) { m_host = &host; m_ended = false; m_result = 0; }
  // The window is going (or the host lets go of the dialog): every engine the
  // dialog owns is closed while the host still serves what its monitor thread
  // sends, then the host is forgotten. Safe to call more than once.
  void Detach();
  bool IsAttached() const { return m_host != nullptr; }
  // A notification from a control; the OK and Cancel clicks fall back to OnOK, OnCancel.
  void DispatchCommand(int id, Notify code);
  // 0 for a message with no handler.
  std::intptr_t DispatchMessage(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam);

 private:
  struct CommandEntry {
    int id;
    Notify code;
    CommandHandler handler;
  };
  struct MessageEntry {
    unsigned msg;
    MessageHandler handler;
  };

  DialogTemplate m_template;
  DdxPrompts m_prompts;
  IDialogHost* m_host = nullptr;
  std::vector<CTTYnew*> m_engines;
  std::vector<CommandEntry> m_commands;
  std::vector<MessageEntry> m_messages;
  bool m_ended = false;
  int m_result = 0;
};

}  // namespace fw
