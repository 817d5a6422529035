#pragma once
// A dialog with the owner-drawn controls at known pixel sizes, on the
// headless host, for the controls' tests.
#include "framework/dialog.h"
#include "framework/drawing/raster/raster_look.h"
#include "support/test_host.h"

namespace ctest {

enum : int { kProgress = 1002, kButton = 11, kButton2, kCombo = 21, kCombo2, kEdit = 31, kPlainEdit };

inline fw::DialogTemplate ControlsTemplate() {
  using fw::ControlKind;
  fw::DialogTemplate t{"Controls",
                       {{kProgress, ControlKind::Progress, "", 0, {0, 0, 10, 10}},
                        {kButton, ControlKind::Button, "UPDATE", 0, {0, 20, 10, 10}},
                        {kButton2, ControlKind::Button, "", 0, {0, 40, 10, 10}},
                        {kCombo, ControlKind::ComboBox, "", fw::kComboDropDownList, {0, 60, 10, 10}, {"COM1"}},
                        {kCombo2, ControlKind::ComboBox, "", fw::kComboDropDownList, {0, 80, 10, 10}, {"COM2"}},
                        {kEdit, ControlKind::Edit, "Ready", fw::kEditMultiLine | fw::kBorder, {0, 100, 10, 10}},
                        {kPlainEdit, ControlKind::Edit, "", 0, {0, 120, 10, 10}}}};
  t.width = 300;
  t.height = 200;
  return t;
}

class Dialog : public fw::CDialog {
 public:
  Dialog() : CDialog(ControlsTemplate()) {}
};

// Pixel sizes as the product uses them.
struct Host {
  Dialog dialog;
  fw::HeadlessHost host;
  Host() {
    host.Start(dialog);
    host.MoveControl(kProgress, {10, 10, 200, 16});
    host.MoveControl(kButton, {10, 40, 75, 25});
    host.MoveControl(kButton2, {100, 40, 75, 25});
    host.MoveControl(kCombo, {10, 80, 120, 21});
    host.MoveControl(kCombo2, {150, 80, 120, 21});
    host.MoveControl(kEdit, {10, 110, 160, 40});
    host.MoveControl(kPlainEdit, {10, 160, 160, 40});
  }
  fw::Colour At(int id, int x, int y) const { return host.Surface(id).Pixel(x, y); }
};

inline constexpr fw::Colour kFace = fw::kClassicBtnFace;
inline constexpr fw::Colour kLight = fw::kClassicBtnHighlight;
inline constexpr fw::Colour kShadow = fw::kClassicBtnShadow;

}  // namespace ctest
