#pragma once
// A dialog with one control of each kind, for the framework's tests.
#include "framework/dialog.h"
#include "framework/headless/headless_host.h"

namespace fwtest {

enum : int {
  kStatic = 100, kButton, kCheck, kGroup, kEdit, kMultiEdit, kReadOnlyEdit, kDigitsEdit,
  kDropDown, kDropList, kList, kProgress, kIntEdit, kNameEdit, kOther = 120,
};

inline fw::DialogTemplate KitTemplate() {
  using fw::ControlKind;
  return {"Kit",
          {{fw::kIdOk, ControlKind::Button, "OK"},
           {fw::kIdCancel, ControlKind::Button, "Cancel"},
           {kStatic, ControlKind::Static, "Status"},
           {kButton, ControlKind::Button, "Go"},
           {kCheck, ControlKind::CheckBox, "Verbose"},
           {kGroup, ControlKind::GroupBox, "Port"},
           {kEdit, ControlKind::Edit, ""},
           {kMultiEdit, ControlKind::Edit, "", fw::kEditMultiLine},
           {kReadOnlyEdit, ControlKind::Edit, "fixed", fw::kEditReadOnly},
           {kDigitsEdit, ControlKind::Edit, "", fw::kEditDigitsOnly},
           {kDropDown, ControlKind::ComboBox, ""},
           {kDropList, ControlKind::ComboBox, "", fw::kComboDropDownList},
           {kList, ControlKind::ListBox, ""},
           {kProgress, ControlKind::Progress, ""},
           {kIntEdit, ControlKind::Edit, ""},
           {kNameEdit, ControlKind::Edit, ""},
           {kOther, ControlKind::Edit, ""}}};
}

inline fw::DdxPrompts ChinesePrompts() {
  return {"请键入一个整数。", "“请填入一个在%1和%2之间的整数。”", "“请填入不多于%1个的字符。”"};
}
inline fw::DdxPrompts EnglishPrompts() {
  return {"Please enter an integer.", "Please enter an integer between %1 and %2.",
          "Please enter no more than %1 characters."};
}

class KitDialog : public fw::CDialog {
 public:
  KitDialog() : CDialog(KitTemplate()) {}
};

}  // namespace fwtest
