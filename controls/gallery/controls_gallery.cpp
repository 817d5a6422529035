// controls-gallery --out DIR: draws each owner-drawn control in each of its
// states on the software raster (through the headless host) and writes one
// PNG per picture. Sizes: progress bar 200 x 16, buttons 75 x 25, combo box
// 120 x 21, edit 160 x 40.
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "controls/flat_combo_box.h"
#include "controls/gradient_progress_ctrl.h"
#include "controls/hover_edit.h"
#include "controls/xp_button.h"
#include "framework/dialog.h"
#include "support/test_host.h"

namespace {

enum : int { kProgress = 1002, kCombo = 1001, kEdit = 1003, kButtonNormal = 11, kButtonHover, kButtonPressed,
             kButtonDisabled, kButtonFocused };

fw::DialogTemplate GalleryTemplate() {
  using fw::ControlKind;
  fw::DialogTemplate t{"Gallery",
                       {{kProgress, ControlKind::Progress, "", 0, {7, 7, 133, 10}},
                        {kButtonNormal, ControlKind::Button, "UPDATE", 0, {7, 20, 50, 15}},
                        {kButtonHover, ControlKind::Button, "UPDATE", 0, {60, 20, 50, 15}},
                        {kButtonPressed, ControlKind::Button, "UPDATE", 0, {113, 20, 50, 15}},
                        {kButtonDisabled, ControlKind::Button, "UPDATE", 0, {166, 20, 50, 15}},
                        {kButtonFocused, ControlKind::Button, "UPDATE", 0, {219, 20, 50, 15}},
                        {kCombo, ControlKind::ComboBox, "", fw::kComboDropDownList | fw::kVScroll, {7, 40, 80, 13},
                         {"COM1", "COM2"}},
                        {kEdit, ControlKind::Edit, "Ready\nCOM1 115200",
                         fw::kEditMultiLine | fw::kBorder | fw::kEditReadOnly, {7, 60, 107, 25}}}};
  t.width = 280;
  t.height = 90;
  return t;
}

class GalleryDialog : public fw::CDialog {
 public:
  GalleryDialog() : CDialog(GalleryTemplate()) {}
};

int Usage(const char* program) {
  std::fprintf(stderr, "usage: %s --out DIR\n  writes one PNG per control state into DIR\n", program);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string out;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--out" && i + 1 < argc) {
      out = argv[++i];
    } else if (arg.starts_with("--out=")) {
      out = std::string(arg.substr(6));
    } else if (arg == "--help" || arg == "-h") {
      std::printf("usage: %s --out DIR\n", argv[0]);
      return 0;
    } else {
      std::fprintf(stderr, "%s: unexpected argument '%s'\n", argv[0], argv[i]);
      return Usage(argv[0]);
    }
  }
  if (out.empty()) {
    std::fprintf(stderr, "%s: --out DIR is required\n", argv[0]);
    return Usage(argv[0]);
  }
  std::error_code ec;
  std::filesystem::create_directories(out, ec);
  if (ec) {
    std::fprintf(stderr, "%s: cannot create '%s': %s\n", argv[0], out.c_str(), ec.message().c_str());
    return 1;
  }

  GalleryDialog dialog;
  fw::HeadlessHost host;
  host.Start(dialog);
  controls::CGradientProgressCtrl progress;
  controls::CXPButton buttons[5];
  controls::CFlatComboBox combo;
  controls::CHoverEdit edit;
  host.SubclassControl(kProgress, progress);
  for (int i = 0; i < 5; ++i) host.SubclassControl(kButtonNormal + i, buttons[i]);
  host.SubclassControl(kCombo, combo);
  host.SubclassControl(kEdit, edit);
  host.MoveControl(kProgress, {10, 10, 200, 16});
  for (int i = 0; i < 5; ++i) host.MoveControl(kButtonNormal + i, {10 + 80 * i, 30, 75, 25});
  host.MoveControl(kCombo, {10, 60, 120, 21});
  host.MoveControl(kEdit, {10, 90, 160, 40});
  host.SetCurSel(kCombo, 0);

  int failures = 0;
  auto save = [&](int id, const char* name) {
    const std::string path = (std::filesystem::path(out) / name).string();
    if (!host.Surface(id).WritePng(path)) {
      std::fprintf(stderr, "%s: cannot write '%s'\n", argv[0], path.c_str());
      ++failures;
    }
  };

  progress.SetRange(0, 100);
  progress.SetShowText(1);
  progress.SetText("");
  for (int pos : {0, 50, 100}) {
    progress.SetPos(pos);
    host.Paint(kProgress);
    save(kProgress, ("progress-" + std::to_string(pos) + ".png").c_str());
  }

  host.Paint(kButtonNormal);
  save(kButtonNormal, "xpbutton-normal.png");
  host.Hover(kButtonHover);
  host.Advance(1);  // the hover notification repaints it
  save(kButtonHover, "xpbutton-hover.png");
  host.Hover(kButtonPressed);
  host.Advance(1);
  host.MouseDown(kButtonPressed);
  host.Paint(kButtonPressed);
  save(kButtonPressed, "xpbutton-pressed.png");
  host.MouseUp(kButtonPressed);
  host.Leave();
  host.EnableWindow(kButtonDisabled, false);
  host.PaintInvalidated();
  save(kButtonDisabled, "xpbutton-disabled.png");
  host.Focus(kButtonFocused);
  save(kButtonFocused, "xpbutton-focused.png");

  host.Paint(kCombo);
  save(kCombo, "flatcombo-flat.png");
  host.Hover(kCombo);
  host.Advance(controls::CFlatComboBox::kPollMs);  // the poll finds the cursor inside
  save(kCombo, "flatcombo-hover.png");
  host.MouseDown(kCombo);
  host.Advance(controls::CFlatComboBox::kPollMs);  // the poll sees the press
  save(kCombo, "flatcombo-pressed.png");
  host.MouseUp(kCombo);
  host.Leave();
  host.Advance(controls::CFlatComboBox::kPollMs);
  host.EnableWindow(kCombo, false);
  host.PaintInvalidated();
  save(kCombo, "flatcombo-disabled.png");

  host.Paint(kEdit);
  save(kEdit, "hoveredit-normal.png");
  host.Hover(kEdit);
  host.Advance(1);
  save(kEdit, "hoveredit-hover.png");
  host.Leave();

  return failures == 0 ? 0 : 1;
}
