#pragma once
// A dialog with one control of each kind, for the framework's tests.
#include "framework/dialog.h"
#include "support/test_host.h"

namespace fwtest {

enum : int {
  kStatic = 100, kButton, kCheck, kGroup, kEdit, kMultiEdit, kReadOnlyEdit, kDigitsEdit,
  kDropDown, kDropList, kList, kProgress, kIntEdit, kNameEdit, kOther = 120,
};

inline fw::DialogTemplate KitTemplate() {
  using fw::ControlKind;
  fw::DialogTemplate t{"Kit",
                       {{fw::kIdOk, ControlKind::Button, "OK", fw::kDefaultButton, {150, 140, 50, 14}},
                        {fw::kIdCancel, ControlKind::Button, "Cancel", 0, {205, 140, 50, 14}},
                        {kStatic, ControlKind::Static, "Status", 0, {7, 7, 40, 8}},
                        {kButton, ControlKind::Button, "Go", 0, {7, 140, 50, 14}},
                        {kCheck, ControlKind::CheckBox, "Verbose", 0, {60, 140, 60, 10}},
                        {kGroup, ControlKind::GroupBox, "Port", 0, {130, 2, 125, 60}},
                        {kEdit, ControlKind::Edit, "", fw::kBorder | fw::kAutoHScroll, {50, 5, 70, 12}},
                        {kMultiEdit, ControlKind::Edit, "",
                         fw::kEditMultiLine | fw::kBorder | fw::kAutoVScroll | fw::kAutoHScroll, {7, 70, 120, 40}},
                        {kReadOnlyEdit, ControlKind::Edit, "fixed", fw::kEditReadOnly | fw::kBorder, {7, 20, 60, 12}},
                        {kDigitsEdit, ControlKind::Edit, "", fw::kEditDigitsOnly | fw::kBorder, {70, 20, 50, 12}},
                        {kDropDown, ControlKind::ComboBox, "", fw::kVScroll, {137, 14, 60, 60}},
                        {kDropList, ControlKind::ComboBox, "", fw::kComboDropDownList | fw::kVScroll, {137, 30, 60, 60}},
                        {kList, ControlKind::ListBox, "", fw::kBorder | fw::kVScroll, {137, 70, 118, 40}},
                        {kProgress, ControlKind::Progress, "", 0, {7, 120, 248, 10}},
                        {kIntEdit, ControlKind::Edit, "", fw::kBorder, {7, 35, 50, 12}},
                        {kNameEdit, ControlKind::Edit, "", fw::kBorder, {60, 35, 60, 12}},
                        {kOther, ControlKind::Edit, "", fw::kBorder, {7, 50, 50, 12}}}};
  t.width = 262;
  t.height = 160;
  return t;
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
