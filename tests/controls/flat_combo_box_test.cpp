// The flat combo box: its border looks by style, the 10 ms poll that moves
// between them, and the hover flag all flat combo boxes share.
#include <gtest/gtest.h>

#include "controls/flat_combo_box.h"
#include "controls_testkit.h"

using namespace ctest;
using controls::CFlatComboBox;

namespace {

struct Combo : Host {
  CFlatComboBox combo;
  CFlatComboBox combo2;
  Combo() {
    EXPECT_EQ(CFlatComboBox::Highlighted(), 0);  // every case leaves the shared flag down
    host.SubclassControl(kCombo, combo);
    host.SubclassControl(kCombo2, combo2);
    host.Paint(kCombo);
    host.Paint(kCombo2);
  }
  void Tick() { host.Advance(CFlatComboBox::kPollMs); }
  void MoveAwayAndSettle() {
    host.Leave();
    Tick();
  }
};

// 120 x 21: rings at 0 and 1, the drop-down button (102,2)-(118,19) with its
// inner rectangle (103,3)-(117,18).
bool LooksFlat(const Host& h, int id) {
  return h.At(id, 0, 10) == kFace && h.At(id, 60, 0) == kFace && h.At(id, 119, 10) == kFace &&
         h.At(id, 1, 10) == kFace &&
         // Flat: (103,2)-(117,19) in light, then again one further left.
         h.At(id, 102, 10) == kLight && h.At(id, 103, 10) == kLight && h.At(id, 110, 2) == kLight &&
         h.At(id, 116, 10) == kLight && h.At(id, 110, 18) == kLight;
}
bool LooksRaised(const Host& h, int id) {
  return h.At(id, 0, 10) == kShadow && h.At(id, 60, 0) == kShadow && h.At(id, 119, 10) == kLight &&
         h.At(id, 60, 20) == kLight && h.At(id, 102, 10) == kFace &&
         // Raised: (103,2)-(117,19) light top-left, shadow bottom-right.
         h.At(id, 103, 10) == kLight && h.At(id, 110, 2) == kLight && h.At(id, 116, 10) == kShadow &&
         h.At(id, 110, 18) == kShadow;
}
bool LooksPressed(const Host& h, int id) {
  return h.At(id, 0, 10) == kShadow && h.At(id, 119, 10) == kLight &&
         // Pressed: (104,3)-(118,20) shadow top-left, light bottom-right.
         h.At(id, 104, 10) == kShadow && h.At(id, 110, 3) == kShadow && h.At(id, 117, 10) == kLight &&
         h.At(id, 110, 19) == kLight;
}

TEST(FlatComboBox, EachStyleDrawsItsRings) {
  Combo c;
  EXPECT_TRUE(LooksFlat(c, kCombo));
  c.combo.DrawBorder(CFlatComboBox::kRaised, kShadow, kLight);
  EXPECT_TRUE(LooksRaised(c, kCombo));
  c.host.Paint(kCombo);
  c.combo.DrawBorder(CFlatComboBox::kPressed, kShadow, kLight);
  EXPECT_TRUE(LooksPressed(c, kCombo));
  c.host.Paint(kCombo);
  EXPECT_TRUE(LooksFlat(c, kCombo));
}

TEST(FlatComboBox, DisabledGetsTheLightInnerRingAndNoButtonEdges) {
  Combo c;
  c.host.EnableWindow(kCombo, false);
  c.host.PaintInvalidated();
  for (int style : {CFlatComboBox::kFlat, CFlatComboBox::kRaised, CFlatComboBox::kPressed}) {
    SCOPED_TRACE(style);
    c.combo.DrawBorder(style, kFace, kFace);
    EXPECT_EQ(c.At(kCombo, 1, 10), kLight);
    EXPECT_EQ(c.At(kCombo, 60, 1), kLight);
    EXPECT_EQ(c.At(kCombo, 102, 10), kFace);
    EXPECT_EQ(c.At(kCombo, 103, 10), kFace);
    EXPECT_EQ(c.At(kCombo, 104, 10), kFace);
    EXPECT_EQ(c.At(kCombo, 116, 10), kFace);
    EXPECT_EQ(c.At(kCombo, 117, 10), kFace);
  }
}

TEST(FlatComboBox, ThePollRunsWhileTheMouseIsOverAndShowsTheHoverLook) {
  Combo c;
  EXPECT_FALSE(c.host.HasControlTimer(kCombo, CFlatComboBox::kPollTimer));
  c.host.Hover(kCombo);
  EXPECT_TRUE(c.host.HasControlTimer(kCombo, CFlatComboBox::kPollTimer));
  EXPECT_TRUE(LooksFlat(c, kCombo));
  c.Tick();
  EXPECT_EQ(CFlatComboBox::Highlighted(), 1);
  EXPECT_TRUE(LooksRaised(c, kCombo));
  c.Tick();  // still inside: nothing new
  EXPECT_TRUE(LooksRaised(c, kCombo));
  EXPECT_TRUE(c.host.HasControlTimer(kCombo, CFlatComboBox::kPollTimer));

  c.host.Leave();
  c.Tick();
  EXPECT_EQ(CFlatComboBox::Highlighted(), 0);
  EXPECT_TRUE(LooksFlat(c, kCombo));
  EXPECT_FALSE(c.host.HasControlTimer(kCombo, CFlatComboBox::kPollTimer));
}

TEST(FlatComboBox, ARepaintShowsFlatAndTheHoverLookWaitsUntilTheCursorHasLeft) {
  Combo c;
  c.host.Hover(kCombo);
  c.Tick();
  ASSERT_TRUE(LooksRaised(c, kCombo));
  c.host.Paint(kCombo);
  EXPECT_TRUE(LooksFlat(c, kCombo));
  c.host.Hover(kCombo);
  c.Tick();
  EXPECT_TRUE(LooksFlat(c, kCombo));  // the flag is still up
  EXPECT_EQ(CFlatComboBox::Highlighted(), 1);
  c.MoveAwayAndSettle();
  EXPECT_EQ(CFlatComboBox::Highlighted(), 0);
  c.host.Hover(kCombo);
  c.Tick();
  EXPECT_TRUE(LooksRaised(c, kCombo));
  c.MoveAwayAndSettle();
}

TEST(FlatComboBox, APressStopsThePollShowsPressedAndTheReleaseRepaintsFlat) {
  Combo c;
  c.host.Hover(kCombo);
  c.Tick();
  c.host.MouseDown(kCombo);
  EXPECT_EQ(c.combo.Pressed(), 1);
  c.Tick();
  EXPECT_TRUE(LooksPressed(c, kCombo));
  EXPECT_EQ(CFlatComboBox::Highlighted(), 0);
  EXPECT_FALSE(c.host.HasControlTimer(kCombo, CFlatComboBox::kPollTimer));
  c.host.MouseUp(kCombo);
  EXPECT_EQ(c.combo.Pressed(), 0);
  EXPECT_TRUE(LooksFlat(c, kCombo));
  c.host.Hover(kCombo);
  EXPECT_TRUE(c.host.HasControlTimer(kCombo, CFlatComboBox::kPollTimer));
  c.MoveAwayAndSettle();
}

TEST(FlatComboBox, OneComboBoxsHoverLookHoldsBackTheOthersUntilItsPollResetsTheFlag) {
  Combo c;
  c.host.Hover(kCombo);
  c.Tick();
  ASSERT_TRUE(LooksRaised(c, kCombo));
  c.host.Hover(kCombo2);
  // The second box polls before the first has noticed the cursor left.
  c.host.SendToControl(kCombo2, fw::kWmTimer, CFlatComboBox::kPollTimer);
  EXPECT_TRUE(LooksFlat(c, kCombo2));
  EXPECT_TRUE(LooksRaised(c, kCombo));
  c.Tick();  // the first box's poll comes first: flat again, flag down; then the second's
  EXPECT_TRUE(LooksFlat(c, kCombo));
  EXPECT_TRUE(LooksRaised(c, kCombo2));
  c.MoveAwayAndSettle();
  EXPECT_EQ(CFlatComboBox::Highlighted(), 0);
}

}  // namespace
