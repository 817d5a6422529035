#pragma once
// What a dialog needs from the host that shows it: controls by id, timers,
// messages and message boxes. The Win32 host backs these with real windows,
// the headless host with in-memory controls on a virtual clock.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

class CDialog;

inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr unsigned kWmUser = 0x0400;  // first message number free for programs

enum class ControlKind { Static, Button, CheckBox, GroupBox, Edit, ComboBox, ListBox, Progress };

// Style bits; only those meaningful for the kind apply.
enum ControlStyle : unsigned {
  kEditMultiLine = 1u << 0,
  kEditReadOnly = 1u << 1,
  kEditDigitsOnly = 1u << 2,
  kComboDropDownList = 1u << 3,  // without it a combo box is a drop-down with an edit field
  kDisabled = 1u << 4,
};

// The notifications a control sends to its dialog.
enum class Notify {
  Clicked,      // button or check box
  SelChange,    // combo box, list box
  EditChange,   // combo box edit field, after the new text shows
  EditUpdate,   // combo box edit field, before the new text shows
  SetFocus,     // combo box
  SelEndOk,     // combo box: the user confirmed a list item
  Change,       // edit control
};

struct ControlTemplate {
  int id;
  ControlKind kind;
  std::string_view text;
  unsigned style = 0;
};

struct DialogTemplate {
  std::string_view caption;
  std::vector<ControlTemplate> controls;
};

class IDialogHost {
 public:
  virtual ~IDialogHost() = default;

  // Any control.
  virtual bool HasControl(int id) const = 0;
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
};

}  // namespace fw
