#pragma once
// The Win32 host: a dialog from its template as a real modal dialog
// (DialogBoxIndirectParamW), controls as real windows, the framework's calls
// as the controls' own messages. One host object per running dialog; the
// window procedure finds it through DWLP_USER, control classes find their
// site through a window property. The change notifications a control sends
// while the host writes its text are dropped: only the user's edits notify.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "framework/app.h"
#include "framework/control_class.h"
#include "framework/dialog.h"
#include "framework/dialog_host.h"

namespace fw {

class Win32ControlSite;

class Win32DialogHost final : public IDialogHost, public IModalRunner {
 public:
  // instance: the module holding icon resources (null: the program's);
  // owner: the window the dialog is modal to (null for none).
  explicit Win32DialogHost(void* instance = nullptr, void* owner = nullptr);
  ~Win32DialogHost() override;
  Win32DialogHost(const Win32DialogHost&) = delete;
  Win32DialogHost& operator=(const Win32DialogHost&) = delete;

  // Runs the dialog until it ends; its result, or -1 when the window could not be made.
  int RunModal(CDialog& dialog) override;
  // The dialog window while it runs (HWND), else null.
  void* Window() const { return m_hwnd.load(); }
  // The control window for id (HWND), null for none.
  void* ControlWindow(int id) const;

  // IDialogHost.
  bool HasControl(int id) const override { return Find(id) != nullptr; }
  void SetWindowText(int id, std::string_view text) override;
  std::string GetWindowText(int id) const override;
  void EnableWindow(int id, bool enable) override;
  bool IsWindowEnabled(int id) const override;
  void SetFocus(int id) override;
  int GetFocus() const override;
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
  std::string GetModuleFileName() const override;
  bool GetOpenFileName(const OpenFileRequest& request, std::string& path) override;
  void AppendSystemMenu(unsigned commandId, std::string_view text) override;
  void SetIcon(int resourceId) override;
  int DoModal(CDialog& child) override;
  void ForgetDialog(CDialog& dialog) override;
  bool SubclassControl(int id, CControlClass& controlClass) override;

  // The dialog procedure's work; public for the procedure only.
  std::intptr_t HandleMessage(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam, bool& handled);
  std::intptr_t InitDialog(void* hwnd);

 private:
  struct Control {
    int id;
    ControlKind kind;
    void* hwnd;
  };

  const Control* Find(int id) const;
  void* Hwnd(int id) const;
  std::intptr_t Send(int id, unsigned msg, std::uintptr_t wparam = 0, std::intptr_t lparam = 0) const;
  bool IsList(const Control& c) const { return c.kind == ControlKind::ComboBox || c.kind == ControlKind::ListBox; }
  void Command(int id, unsigned code, bool fromControl);
  // Whether the host itself is inside SetWindowTextW on control id.
  bool IsBeingWritten(int id) const;
  void PaintIconic();
  void ReleaseSites();

  void* m_instance;
  void* m_owner;
  CDialog* m_dialog = nullptr;  // UI thread only
  std::atomic<void*> m_hwnd{nullptr};
  // Message boxes may come from any thread while the dialog ends: they take
  // the caption of the dialog run last from here, never through m_dialog.
  mutable std::mutex m_captionLock;
  std::wstring m_caption;
  std::vector<Control> m_controls;
  // Controls the host is writing the text of, innermost last (UI thread only).
  std::vector<int> m_writing;
  std::vector<std::unique_ptr<Win32ControlSite>> m_sites;
  void* m_icon = nullptr;
};

}  // namespace fw
