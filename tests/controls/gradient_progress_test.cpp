// The gradient progress bar: bands across the full width uncovered up to the
// position, the background after it, the caption, the empty ends of the
// range, and the values sent on to the underlying control.
#include <gtest/gtest.h>

#include <memory>

#include "controls/gradient_progress_ctrl.h"
#include "controls/mem_dc.h"
#include "controls_testkit.h"
#include "framework/drawing/raster/raster_dc.h"

using namespace ctest;

namespace {

constexpr fw::Colour kStart = fw::Rgb(255, 215, 0);

struct Progress : Host {
  controls::CGradientProgressCtrl bar;
  Progress() {
    host.SubclassControl(kProgress, bar);
    bar.SetRange(0, 100);
  }
  bool AllFace() const {
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 200; ++x)
        if (At(kProgress, x, y) != kFace) return false;
    return true;
  }
};

TEST(GradientProgress, HalfWayShowsTheFirstHalfOfTheRunThenTheBackground) {
  Progress p;
  p.bar.SetPos(50);
  p.host.Paint(kProgress);
  // n = 208 bands of 200/208 pixels; band 105 is the first to pass x = 100:
  // it covers 100..101 in (255 - 105*191/208, 215 + 105*9/208, 105*208/208).
  for (int y = 0; y < 16; ++y) {
    SCOPED_TRACE(y);
    EXPECT_EQ(p.At(kProgress, 100, y), fw::Rgb(158, 219, 105));
    EXPECT_NE(p.At(kProgress, 99, y), fw::Rgb(158, 219, 105));
    for (int x = 101; x < 200; ++x) ASSERT_EQ(p.At(kProgress, x, y), kFace) << x;
  }
  // Gold to turquoise: red falls, blue rises along the bar.
  for (int x = 1; x <= 100; ++x) {
    EXPECT_LE(fw::RedOf(p.At(kProgress, x, 8)), fw::RedOf(p.At(kProgress, x - 1, 8))) << x;
    EXPECT_GE(fw::BlueOf(p.At(kProgress, x, 8)), fw::BlueOf(p.At(kProgress, x - 1, 8))) << x;
  }
  EXPECT_TRUE(p.host.TextRuns(kProgress).empty());

  // "50%", 18 x 13 with the fixed glyph metric, centred in 200 x 16.
  p.bar.SetShowText(1);
  p.host.Paint(kProgress);
  ASSERT_EQ(p.host.TextRuns(kProgress).size(), 1u);
  const fw::TextRun& run = p.host.TextRuns(kProgress)[0];
  EXPECT_EQ(run.text, "50%");
  EXPECT_EQ(run.origin, (fw::Point{(200 - 18) / 2, (16 - 13) / 2}));
  EXPECT_EQ(run.colour, fw::Rgb(128, 0, 128));
  EXPECT_EQ(p.At(kProgress, 92, 3), fw::Rgb(128, 0, 128));  // first glyph box, at (1, 2) in its cell
}

TEST(GradientProgress, BandZeroHasExactlyTheStartColour) {
  // At 200 pixels band 0 is empty (0..0); at 416 each band is 2 pixels wide.
  Progress p;
  p.host.MoveControl(kProgress, {0, 0, 416, 16});
  p.bar.SetPos(50);
  p.host.Paint(kProgress);
  EXPECT_EQ(p.At(kProgress, 0, 5), kStart);
  EXPECT_EQ(p.At(kProgress, 1, 5), kStart);
  EXPECT_NE(p.At(kProgress, 2, 5), kStart);
  // barRight 208: band 104 (208..210) is the first past it, in (255 - 95.5, 215 + 4.5, 104).
  EXPECT_EQ(p.At(kProgress, 209, 5), fw::Rgb(159, 219, 104));
  EXPECT_EQ(p.At(kProgress, 210, 5), kFace);
}

TEST(GradientProgress, TheFractionIsOfTheUpperBoundNotOfTheSpan) {
  Progress p;
  p.bar.SetRange(50, 150);
  p.bar.SetPos(100);
  p.host.Paint(kProgress);
  // barRight = 100 / 150 * 200 = 133; band 139 (133..134) is the first past it.
  EXPECT_NE(p.At(kProgress, 133, 5), kFace);
  EXPECT_EQ(p.At(kProgress, 134, 5), kFace);
  EXPECT_TRUE(p.host.TextRuns(kProgress).empty());  // show text is off by default
}

TEST(GradientProgress, TheEndsOfTheRangeAndANewRangeShowAnEmptyControl) {
  Progress p;
  p.bar.SetShowText(1);
  for (int pos : {0, 100, 120, -5}) {
    SCOPED_TRACE(pos);
    p.bar.SetPos(50);
    p.host.Paint(kProgress);
    ASSERT_FALSE(p.AllFace());
    p.bar.SetPos(pos);
    p.host.Paint(kProgress);
    EXPECT_TRUE(p.AllFace());
    EXPECT_TRUE(p.host.TextRuns(kProgress).empty());
  }
  p.bar.SetPos(50);
  p.bar.SetRange(0, 200);
  EXPECT_EQ(p.bar.Pos(), 0);
  p.host.Paint(kProgress);
  EXPECT_TRUE(p.AllFace());
}

TEST(GradientProgress, RangePositionAndStepsReachTheUnderlyingControl) {
  Progress p;
  p.bar.SetRange(10, 300);
  EXPECT_EQ(p.host.Control(kProgress).lower, 10);
  EXPECT_EQ(p.host.Control(kProgress).upper, 300);
  p.bar.SetPos(40);
  EXPECT_EQ(p.host.Control(kProgress).pos, 40);
  p.bar.StepIt();
  EXPECT_EQ(p.bar.Pos(), 50);
  EXPECT_EQ(p.host.Control(kProgress).pos, 50);
  p.bar.SetStep(5);
  p.bar.StepIt();
  EXPECT_EQ(p.bar.Pos(), 55);
  EXPECT_EQ(p.host.Control(kProgress).pos, 55);
  EXPECT_EQ(p.bar.Step(), 5);
}

TEST(GradientProgress, ATextPrefixShowsFromTheNextRepaintAndErasingNeverClears) {
  Progress p;
  p.bar.SetShowText(1);
  p.bar.SetPos(25);
  p.host.PaintInvalidated();  // the position change repainted it
  ASSERT_EQ(p.host.TextRuns(kProgress).size(), 1u);
  EXPECT_EQ(p.host.TextRuns(kProgress)[0].text, "25%");
  p.bar.SetText("Flash ");
  EXPECT_FALSE(p.host.IsInvalidated(kProgress));
  p.host.PaintInvalidated();
  EXPECT_EQ(p.host.TextRuns(kProgress)[0].text, "25%");
  p.host.Paint(kProgress);
  EXPECT_EQ(p.host.TextRuns(kProgress)[0].text, "Flash 25%");

  const fw::Colour before = p.At(kProgress, 10, 3);
  EXPECT_EQ(p.host.SendToControl(kProgress, fw::kWmEraseBkgnd), 1);
  EXPECT_EQ(p.At(kProgress, 10, 3), before);
  EXPECT_NE(before, kFace);
}

TEST(MemDC, DrawsOffScreenInTheTargetsCoordinatesAndCopiesWhenDone) {
  fw::RasterLook look;
  fw::RasterSurface surface(30, 20, fw::Rgb(255, 255, 255));
  fw::RasterDC target(surface, look);
  target.SetWindowOrg({5, 5});  // logical (5, 5) is the surface's (0, 0)
  {
    controls::CMemDC mem(target);
    EXPECT_TRUE(mem.IsOffScreen());
    EXPECT_EQ(mem.Area(), (fw::Box{5, 5, 35, 25}));
    mem.FillSolidRect({10, 10, 12, 12}, fw::Rgb(255, 0, 0));
    EXPECT_EQ(surface.Pixel(5, 5), fw::Rgb(255, 255, 255));  // not yet on the target
  }
  EXPECT_EQ(surface.Pixel(5, 5), fw::Rgb(255, 0, 0));
  EXPECT_EQ(surface.Pixel(6, 6), fw::Rgb(255, 0, 0));
  EXPECT_EQ(surface.Pixel(7, 7), fw::Rgb(0, 0, 0));  // the rest of the fresh bitmap
  EXPECT_EQ(surface.Pixel(29, 19), fw::Rgb(0, 0, 0));
}

}  // namespace
