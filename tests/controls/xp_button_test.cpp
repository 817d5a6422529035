// The owner-drawn button: outline, the face gradient over the inner
// rectangle, the hover frame, the caption's place, and its mouse tracking.
#include <gtest/gtest.h>

#include "controls/xp_button.h"
#include "controls_testkit.h"

using namespace ctest;

namespace {

// The gradient table as described: entry i, integer divisions.
fw::Colour Entry(int i, bool hover, bool focus) {
  if (hover) return fw::Rgb(255 - i / 4, 255 - i / 4, 255 - i / (focus ? 3 : 5));
  return fw::Rgb(255 - i / 3, 255 - i / 3, 255 - i / (focus ? 4 : 5));
}

struct Button : Host {
  controls::CXPButton button;
  Button() { host.SubclassControl(kButton, button); }
  void Rest() {  // the mouse rests on the button for its hover time
    host.Hover(kButton);
    host.Advance(1);
  }
};

constexpr fw::Colour kLeftPen = fw::Rgb(250, 196, 88);
constexpr fw::Colour kTopPen = fw::Rgb(252, 210, 121);
constexpr fw::Colour kRightPen = fw::Rgb(251, 202, 106);
constexpr fw::Colour kBottomPen = fw::Rgb(229, 151, 0);

TEST(XPButton, AttachingMakesItOwnerDrawn) {
  Button b;
  EXPECT_EQ(b.button.Site().GetStyle() & fw::kBsTypeMask, fw::kBsOwnerDraw);
}

TEST(XPButton, GradientCoversTheInnerRectangleRowByRow) {
  Button b;
  b.host.Paint(kButton);
  // 75 x 25, edges of 2: inner (2,2)-(73,23), h = 21, rows 2..22, entry 63*y/21
  // (66 for row 22, which takes the last entry, 63).
  for (int y = 2; y <= 22; ++y) {
    const fw::Colour want = Entry(std::min(63 * y / 21, 63), false, false);
    EXPECT_EQ(b.At(kButton, 2, y), want) << y;
    EXPECT_EQ(b.At(kButton, 72, y), want) << y;
    EXPECT_EQ(b.At(kButton, 10, y), want) << y;
  }
  EXPECT_EQ(b.At(kButton, 2, 2), Entry(6, false, false));
  // Outside the inner rectangle: the default white brush inside the black outline.
  EXPECT_EQ(b.At(kButton, 1, 12), fw::Rgb(255, 255, 255));
  EXPECT_EQ(b.At(kButton, 73, 12), fw::Rgb(255, 255, 255));
  EXPECT_EQ(b.At(kButton, 30, 1), fw::Rgb(255, 255, 255));
  EXPECT_EQ(b.At(kButton, 30, 23), fw::Rgb(255, 255, 255));
  EXPECT_EQ(b.At(kButton, 0, 12), fw::Rgb(0, 0, 0));
  EXPECT_EQ(b.At(kButton, 30, 24), fw::Rgb(0, 0, 0));
  EXPECT_EQ(b.At(kButton, 0, 0), kFace);  // the rounded corner leaves the erased background
}

TEST(XPButton, CaptionIsCentredOnTheInnerRectangleAndShiftsWhilePressed) {
  Button b;
  b.host.SetWindowText(kButton, "ABCDE");  // 30 x 13
  b.host.PaintInvalidated();
  ASSERT_EQ(b.host.TextRuns(kButton).size(), 1u);
  EXPECT_EQ(b.host.TextRuns(kButton)[0].origin, (fw::Point{22, 6}));
  b.host.MouseDown(kButton);
  b.host.Paint(kButton);
  ASSERT_EQ(b.host.TextRuns(kButton).size(), 1u);
  EXPECT_EQ(b.host.TextRuns(kButton)[0].origin, (fw::Point{23, 7}));
  b.host.MouseUp(kButton);
  b.host.Paint(kButton);
  EXPECT_EQ(b.host.TextRuns(kButton)[0].origin, (fw::Point{22, 6}));

  // "UPDATE" is 36 x 13: x = 37 - 18, y = 12 - 6.
  b.host.SetWindowText(kButton, "UPDATE");
  b.host.PaintInvalidated();
  EXPECT_EQ(b.host.TextRuns(kButton)[0].origin, (fw::Point{19, 6}));
  EXPECT_FALSE(b.host.TextRuns(kButton)[0].disabled);
}

TEST(XPButton, DisabledCaptionIsEmbossedAndAnEmptyCaptionDrawsNone) {
  Button b;
  b.host.EnableWindow(kButton, false);
  b.host.PaintInvalidated();
  ASSERT_EQ(b.host.TextRuns(kButton).size(), 1u);
  EXPECT_TRUE(b.host.TextRuns(kButton)[0].disabled);
  // First glyph box of the shadow copy at (19 + 1, 6 + 2); the highlight copy one further.
  EXPECT_EQ(b.At(kButton, 20, 8), kShadow);
  EXPECT_EQ(b.At(kButton, 24, 17), kLight);

  controls::CXPButton empty;
  b.host.SubclassControl(kButton2, empty);
  b.host.Paint(kButton2);
  EXPECT_TRUE(b.host.TextRuns(kButton2).empty());
  EXPECT_EQ(b.At(kButton2, 37, 12), Entry(63 * 12 / 21, false, false));
}

TEST(XPButton, HoverBrightensTheGradientAndDrawsTheFrameLeaveTakesItAway) {
  Button b;
  b.host.Paint(kButton);
  b.Rest();
  EXPECT_EQ(b.button.Hovering(), 1);
  EXPECT_EQ(b.At(kButton, 37, 12), Entry(36, true, false));
  // Vertical lines from b - 3 = 20 to t + 2 = 4, pen 3 wide centred on x = 2
  // and x = 72 with round caps one pixel past each end: rows 3..21.
  for (int y = 0; y < 25; ++y) {
    EXPECT_EQ(b.At(kButton, 2, y) == kLeftPen, y >= 3 && y <= 21) << y;
    EXPECT_EQ(b.At(kButton, 72, y) == kRightPen, y >= 3 && y <= 21) << y;
  }
  EXPECT_EQ(b.At(kButton, 1, 12), kLeftPen);
  EXPECT_EQ(b.At(kButton, 3, 12), kLeftPen);
  EXPECT_EQ(b.At(kButton, 4, 12), Entry(36, true, false));
  // Horizontal lines from l + 2 = 4 to r - 2 = 71 on rows t = 2 and b = 23,
  // pen 2 wide on pixel corners with caps: columns 3..71, rows 1..2 and 22..23.
  for (int x = 0; x < 75; ++x) {
    EXPECT_EQ(b.At(kButton, x, 2) == kTopPen, x >= 3 && x <= 71) << x;
    EXPECT_EQ(b.At(kButton, x, 23) == kBottomPen, x >= 3 && x <= 71) << x;
  }
  EXPECT_EQ(b.At(kButton, 30, 1), kTopPen);
  EXPECT_EQ(b.At(kButton, 30, 22), kBottomPen);

  b.host.Leave();
  EXPECT_EQ(b.button.Hovering(), 0);
  EXPECT_EQ(b.button.Tracking(), 0);
  EXPECT_EQ(b.At(kButton, 2, 12), Entry(36, false, false));
  EXPECT_EQ(b.At(kButton, 30, 2), Entry(6, false, false));
}

TEST(XPButton, FocusChangesOnlyTheGradientColours) {
  Button b;
  b.host.Focus(kButton);
  EXPECT_EQ(b.button.Focused(), 1);
  EXPECT_EQ(b.At(kButton, 37, 22), Entry(63, false, true));
  EXPECT_EQ(b.At(kButton, 37, 22), fw::Rgb(234, 234, 240));
  b.Rest();  // row 21 is the last row above the hover frame's bottom line, entry 63
  EXPECT_EQ(b.At(kButton, 37, 21), fw::Rgb(240, 240, 234));
  b.host.Focus(kButton2);
  EXPECT_EQ(b.button.Focused(), 0);
  EXPECT_EQ(b.At(kButton, 37, 21), fw::Rgb(240, 240, 243));
}

TEST(XPButton, TracksOnTheFirstMoveAfterEachLeaveAndRetriesARefusal) {
  Button b;
  b.host.Paint(kButton);
  EXPECT_EQ(b.button.Tracking(), 0);  // no mouse move, no request
  EXPECT_FALSE(b.host.IsTrackingMouse(kButton, fw::kTmeHover));
  b.host.Advance(50);
  EXPECT_EQ(b.button.Hovering(), 0);

  b.host.RefuseMouseTracking(true);
  b.host.Hover(kButton);
  EXPECT_EQ(b.button.Tracking(), 0);
  b.host.Advance(5);
  EXPECT_EQ(b.button.Hovering(), 0);
  b.host.RefuseMouseTracking(false);
  b.Rest();
  EXPECT_EQ(b.button.Tracking(), 1);
  EXPECT_EQ(b.button.Hovering(), 1);
  EXPECT_TRUE(b.host.IsTrackingMouse(kButton, fw::kTmeLeave));

  b.host.Leave();
  b.Rest();  // a new request after the leave
  EXPECT_EQ(b.button.Hovering(), 1);
}

}  // namespace
