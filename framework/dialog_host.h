#pragma once
// What a dialog needs from the host that shows it: controls by id, timers,
// messages and message boxes. The Win32 host backs these with real windows,
// the headless host with in-memory controls on a virtual clock.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/geometry.h"

namespace fw {

class CDialog;
class CControlClass;

inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr unsigned kWmUser = 0x0400;  // first message number free for programs

// Icon is a static showing an icon resource (ControlTemplate::icon).
enum class ControlKind { Static, Button, CheckBox, GroupBox, Edit, ComboBox, ListBox, Progress, Icon };

// Style bits; only those meaningful for the kind apply.
enum ControlStyle : unsigned {
  kEditMultiLine = 1u << 0,
  kEditReadOnly = 1u << 1,
  kEditDigitsOnly = 1u << 2,
  kComboDropDownList = 1u << 3,  // without it a combo box is a drop-down with an edit field
  kDisabled = 1u << 4,
  kBorder = 1u << 5,
  kVScroll = 1u << 6,
  kHScroll = 1u << 7,
  kAutoHScroll = 1u << 8,   // edit, combo box edit field: text scrolls sideways as it is typed
  kAutoVScroll = 1u << 9,   // multi-line edit: text scrolls up as it is typed
  kSorted = 1u << 10,       // combo box, list box
  kDefaultButton = 1u << 11,
  kTabStop = 1u << 12,
  kGroupStart = 1u << 13,
  kCenterText = 1u << 14,   // static
  kRightText = 1u << 15,    // static
};

// Dialog window style bits.
enum DialogStyle : unsigned {
  kDlgSysMenu = 1u << 0,
  kDlgModalFrame = 1u << 1,
  kDlgAppWindow = 1u << 2,  // shown on the task bar
  kDlgMinimizeBox = 1u << 3,
  kDlgCentered = 1u << 4,
};

// The notifications a control sends to its dialog.
enum class Notify {
  Clicked,      // button or check box
  SelChange,    // combo box, list box
  EditChange,   // combo box edit field, after the user's new text shows
  EditUpdate,   // combo box edit field, before the user's new text shows
  SetFocus,     // combo box
  SelEndOk,     // combo box: the user confirmed a list item
  Change,       // edit control, after the user changed its text
};

inline constexpr int kIdStatic = -1;  // labels and group boxes nothing refers to

struct ControlTemplate {
  int id;
  ControlKind kind;
  std::string_view text;
  unsigned style = 0;
  Rect rect{};  // x, y, width, height in dialog units
  std::vector<std::string_view> items{};  // combo and list boxes: filled in this order at creation
  int icon = 0;  // ControlKind::Icon: the icon resource shown
};

struct DialogFont {
  std::string_view face = "MS Shell Dlg";
  int points = 8;
};

// A dialog as data: the Win32 host builds an in-memory template from it, the
// other hosts read the same controls.
struct DialogTemplate {
  std::string_view caption;
  std::vector<ControlTemplate> controls;
  int width = 0, height = 0;  // dialog units
  DialogFont font{};
  unsigned style = kDlgSysMenu | kDlgModalFrame;
};

// The open-file dialog's request. The filter holds description and pattern
// pairs separated by '|', as "HEX files (*.hex)|*.hex|All files (*.*)|*.*".
struct OpenFileRequest {
  std::string title;
  std::string filter;
  bool mustExist = true;
};

class IDialogHost {
 public:
  virtual ~IDialogHost() = default;

  // Any control.
  virtual bool HasControl(int id) const = 0;
  // Change notifications (Change, EditUpdate, EditChange) tell the dialog of
  // the user's edits only: text the program writes here sends none, on every
  // host, so a change handler that saves and re-shows the members
  // (UpdateData(true), then UpdateData(false)) never runs inside itself.
  virtual void SetWindowText(int id, std::string_view text) = 0;
  virtual std::string GetWindowText(int id) const = 0;
  virtual void EnableWindow(int id, bool enable) = 0;
  virtual bool IsWindowEnabled(int id) const = 0;
  virtual void SetFocus(int id) = 0;
  virtual int GetFocus() const = 0;  // id of the focused control, 0 for none

  // Check box.
  virtual void SetCheck(int id, int state) = 0;
  virtual int GetCheck(int id) const = 0;

  // Edit control. The limit counts UTF-16 units, as the platform's wide controls do.
  virtual void SetLimitText(int id, int units) = 0;
  virtual bool LineScroll(int id, int lines, int columns) = 0;
  virtual int GetFirstVisibleLine(int id) const = 0;

  // Combo box and list box; indexes from 0, -1 for none or failure.
  virtual int AddString(int id, std::string_view text) = 0;
  virtual int DeleteString(int id, int index) = 0;  // items left, -1 on a bad index
  virtual void ResetContent(int id) = 0;
  virtual int GetCount(int id) const = 0;
  virtual std::string GetItemText(int id, int index) const = 0;
  virtual int SetCurSel(int id, int index) = 0;
  virtual int GetCurSel(int id) const = 0;
  // First item after startAfter (wrapping) that begins with prefix, ignoring
  // ASCII case; selects it and returns its index, else -1 and nothing changes.
  virtual int SelectString(int id, int startAfter, std::string_view prefix) = 0;
  virtual int FindString(int id, int startAfter, std::string_view prefix) const = 0;
  virtual bool IsDropDownList(int id) const = 0;

  // Progress bar.
  virtual void SetRange(int id, int lower, int upper) = 0;
  virtual int SetPos(int id, int pos) = 0;  // returns the previous position
  virtual int GetPos(int id) const = 0;
  virtual void SetStep(int id, int step) = 0;
  virtual int StepIt(int id) = 0;  // returns the previous position

  // Dialog.
  virtual void SetTimer(unsigned id, unsigned ms) = 0;
  virtual void KillTimer(unsigned id) = 0;
  virtual void EndDialog(int result) = 0;
  virtual int MessageBox(std::string_view text) = 0;  // returns the button pressed (kIdOk)
  // From any thread. SendMessage blocks its caller until the UI thread has handled it.
  virtual std::intptr_t SendMessage(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) = 0;
  virtual void PostMessage(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) = 0;
  // The UI thread pauses; messages and timers wait until it returns.
  virtual void Sleep(unsigned ms) = 0;
  // On the UI thread: waits for another thread's end (a serial engine's
  // monitor) while serving the messages other threads send to the dialog's
  // windows, so that a thread inside SendMessage to the dialog, or inside a
  // message box the dialog owns, can finish. Posted messages and timers wait.
  // platformHandle is what the platform can wait on (Win32: the thread's
  // handle), -1 for none; join reaps the thread once it has ended.
  virtual void JoinServingSentMessages(std::intptr_t platformHandle, const std::function<void()>& join) = 0;
  // Milliseconds since an arbitrary start, wrapping at 2^32, on the host's clock.
  virtual std::uint32_t GetTickCount() const = 0;
  // Full path of the running program file (UTF-8).
  virtual std::string GetModuleFileName() const = 0;
  // false when the user cancelled; path is then left as it was.
  virtual bool GetOpenFileName(const OpenFileRequest& request, std::string& path) = 0;

  // System menu: items appended after the host's own; their commands reach
  // CDialog::OnSysCommand. An empty text appends a separator.
  virtual void AppendSystemMenu(unsigned commandId, std::string_view text) = 0;
  // Icon resource shown as the window's large and small icon, drawn centred
  // while the window is minimised, and given as its drag icon. 0 for none.
  virtual void SetIcon(int resourceId) = 0;

  // Runs another dialog modally over this one and returns its result.
  virtual int DoModal(CDialog& child) = 0;
  // The dialog object attached to this host is being destroyed.
  virtual void ForgetDialog(CDialog& dialog) = 0;

  // Puts a control class in front of control id's own processing (subclassing);
  // it stays attached until the dialog ends. false for a missing control.
  virtual bool SubclassControl(int id, CControlClass& controlClass) = 0;
};

}  // namespace fw
