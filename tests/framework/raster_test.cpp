// The software raster against the platform's drawing rules the controls
// rely on: exclusive right and bottom edges, inside-frame pens, lines without
// their end point, 3-D rectangles and edges, memory contexts and copies.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "framework/drawing/raster/raster_dc.h"
#include "framework/drawing/raster/raster_look.h"
#include "framework/drawing/raster/raster_surface.h"
#include "support/temp_dir.h"

namespace {

using fw::Box;
using fw::Colour;
using fw::Rgb;

constexpr Colour kWhite = Rgb(255, 255, 255);
constexpr Colour kRed = Rgb(255, 0, 0);
constexpr Colour kBlue = Rgb(0, 0, 255);

struct Canvas {
  fw::RasterLook look;
  fw::RasterSurface surface;
  fw::RasterDC dc;
  Canvas(int w, int h) : surface(w, h, kWhite), dc(surface, look) {}
  Colour At(int x, int y) const { return surface.Pixel(x, y); }
  // Pixels of colour c in row y from x0 to x1 exclusive.
  int CountRow(int y, int x0, int x1, Colour c) const {
    int n = 0;
    for (int x = x0; x < x1; ++x) n += At(x, y) == c;
    return n;
  }
  int Count(Colour c) const {
    int n = 0;
    for (int y = 0; y < surface.Height(); ++y) n += CountRow(y, 0, surface.Width(), c);
    return n;
  }
};

TEST(RasterFill, RightAndBottomAreExclusiveAndEverythingIsClipped) {
  Canvas c(10, 8);
  c.dc.FillSolidRect({2, 3, 5, 6}, kRed);
  EXPECT_EQ(c.Count(kRed), 9);
  EXPECT_EQ(c.At(2, 3), kRed);
  EXPECT_EQ(c.At(4, 5), kRed);
  EXPECT_EQ(c.At(5, 5), kWhite);
  EXPECT_EQ(c.At(4, 6), kWhite);

  c.dc.FillSolidRect({5, 5, 2, 2}, kBlue);  // inverted: nothing, as the platform
  c.dc.FillRect({0, 0, 10, 8}, fw::Brush{true, kBlue});  // hollow brush: nothing
  EXPECT_EQ(c.Count(kBlue), 0);

  c.dc.FillSolidRect({INT_MIN, INT_MIN, INT_MAX, INT_MAX}, kBlue);
  EXPECT_EQ(c.Count(kBlue), 80);
  c.dc.FillSolidRect({-5, 7, 3, 100}, kRed);  // partly off the surface
  EXPECT_EQ(c.CountRow(7, 0, 10, kRed), 3);
  EXPECT_EQ(c.surface.Pixel(10, 0), fw::RasterSurface::kOutside);
  EXPECT_EQ(c.surface.Pixel(-1, 0), fw::RasterSurface::kOutside);

  fw::RasterSurface empty(0, -3);
  fw::RasterDC none(empty, c.look);
  none.FillSolidRect({0, 0, 5, 5}, kRed);
  none.TextOut(0, 0, "x");
  none.LineTo({4, 4});
  EXPECT_EQ(empty.Width(), 0);
  EXPECT_EQ(empty.Height(), 0);
}

TEST(RasterRectangle, InsideFramePensStayInTheBoxAndTheBrushFillsWithinTheFrame) {
  for (int w = 1; w <= 3; ++w) {
    SCOPED_TRACE(w);
    Canvas c(16, 12);
    c.dc.SelectPen({fw::PenStyle::InsideFrame, w, kRed});
    c.dc.SelectBrush({false, kBlue});
    c.dc.Rectangle({2, 1, 14, 11});
    // Across row 6: w frame pixels from x = 2, brush, w frame pixels up to x = 13.
    for (int x = 0; x < 16; ++x) {
      Colour want = kWhite;
      if (x >= 2 && x < 14) want = (x < 2 + w || x >= 14 - w) ? kRed : kBlue;
      EXPECT_EQ(c.At(x, 6), want) << "x=" << x;
    }
    for (int y = 0; y < 12; ++y) {
      Colour want = kWhite;
      if (y >= 1 && y < 11) want = (y < 1 + w || y >= 11 - w) ? kRed : kBlue;
      EXPECT_EQ(c.At(8, y), want) << "y=" << y;
    }
  }
}

TEST(RasterRectangle, DefaultPenAndBrushGiveABlackOutlineFilledWhiteAndTheNullPenFillsOneSmaller) {
  Canvas c(8, 8);
  c.dc.FillSolidRect({0, 0, 8, 8}, kBlue);
  c.dc.Rectangle({0, 0, 8, 8});
  EXPECT_EQ(c.At(0, 0), Rgb(0, 0, 0));
  EXPECT_EQ(c.At(7, 7), Rgb(0, 0, 0));
  EXPECT_EQ(c.At(1, 1), kWhite);
  EXPECT_EQ(c.Count(Rgb(0, 0, 0)), 28);

  Canvas n(8, 8);
  n.dc.SelectPen({fw::PenStyle::Null, 1, 0});
  n.dc.SelectBrush({false, kRed});
  n.dc.Rectangle({1, 1, 5, 5});
  EXPECT_EQ(n.Count(kRed), 9);  // 1..3 both ways
}

TEST(RasterLine, OnePixelLinesLeaveOutTheirEndPoint) {
  Canvas c(12, 12);
  c.dc.SelectPen({fw::PenStyle::Solid, 1, kRed});
  c.dc.MoveTo({1, 2});
  c.dc.LineTo({6, 2});
  EXPECT_EQ(c.CountRow(2, 0, 12, kRed), 5);
  EXPECT_EQ(c.At(5, 2), kRed);
  EXPECT_EQ(c.At(6, 2), kWhite);
  EXPECT_EQ(c.dc.CurrentPosition(), (fw::Point{6, 2}));

  c.dc.MoveTo({9, 9});
  c.dc.LineTo({9, 4});  // upwards: 9 down to 5
  for (int y = 0; y < 12; ++y) EXPECT_EQ(c.At(9, y), (y >= 5 && y <= 9) ? kRed : kWhite) << y;

  Canvas d(12, 12);
  d.dc.SelectPen({fw::PenStyle::InsideFrame, 1, kBlue});  // an inside-frame line is a plain line
  d.dc.MoveTo({0, 0});
  d.dc.LineTo({4, 4});
  EXPECT_EQ(d.Count(kBlue), 4);
  EXPECT_EQ(d.At(3, 3), kBlue);
  EXPECT_EQ(d.At(4, 4), kWhite);
  d.dc.LineTo({4, 4});  // zero length: nothing
  EXPECT_EQ(d.Count(kBlue), 4);

  Canvas far(12, 12);  // far-off ends are clipped, not walked
  far.dc.MoveTo({-100000000, 7});
  far.dc.LineTo({100000000, 7});
  EXPECT_EQ(far.CountRow(7, 0, 12, Rgb(0, 0, 0)), 12);
  far.dc.MoveTo({INT_MIN, INT_MIN});
  far.dc.LineTo({INT_MAX, INT_MAX});
  EXPECT_EQ(far.At(5, 5), Rgb(0, 0, 0));
}

TEST(RasterLine, WidePensAreCentredOnTheLineWithRoundCaps) {
  // Width 3 runs through pixel centres: columns 4..6; the caps reach one row
  // past each end (distance 1 < 1.5) including the corners (sqrt 2 < 1.5).
  Canvas c(12, 12);
  c.dc.SelectPen({fw::PenStyle::InsideFrame, 3, kRed});
  c.dc.MoveTo({5, 8});
  c.dc.LineTo({5, 2});
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 12; ++x)
      EXPECT_EQ(c.At(x, y), (x >= 4 && x <= 6 && y >= 1 && y <= 9) ? kRed : kWhite) << x << "," << y;

  // Width 2 runs along pixel corners: rows 1 and 2 for y = 2; the caps take
  // the pixel beyond each end (centre 0.71 away) but not the next.
  Canvas d(12, 6);
  d.dc.SelectPen({fw::PenStyle::InsideFrame, 2, kBlue});
  d.dc.MoveTo({3, 2});
  d.dc.LineTo({8, 2});
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 12; ++x)
      EXPECT_EQ(d.At(x, y), (x >= 2 && x <= 8 && y >= 1 && y <= 2) ? kBlue : kWhite) << x << "," << y;
}

TEST(Raster3d, Draw3dRectGivesTheFarCornersToTheBottomRightColour) {
  Canvas c(8, 6);
  c.dc.Draw3dRect({1, 1, 7, 5}, kRed, kBlue);
  EXPECT_EQ(c.At(1, 1), kRed);
  EXPECT_EQ(c.At(5, 1), kRed);
  EXPECT_EQ(c.At(6, 1), kBlue);  // top-right
  EXPECT_EQ(c.At(1, 3), kRed);
  EXPECT_EQ(c.At(1, 4), kBlue);  // bottom-left
  EXPECT_EQ(c.At(6, 4), kBlue);
  EXPECT_EQ(c.At(3, 3), kWhite);
  EXPECT_EQ(c.At(7, 1), kWhite);
  EXPECT_EQ(c.At(3, 5), kWhite);
  EXPECT_EQ(c.Count(kRed) + c.Count(kBlue), 16);
}

TEST(Raster3d, DrawEdgeFlatSunkenIsAShadowRingAroundAFaceRing) {
  Canvas c(10, 8);
  c.dc.DrawEdge({0, 0, 10, 8}, fw::kEdgeSunken, fw::kBfRect | fw::kBfFlat);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 10; ++x) {
      const bool outer = x == 0 || y == 0 || x == 9 || y == 7;
      const bool inner = !outer && (x == 1 || y == 1 || x == 8 || y == 6);
      EXPECT_EQ(c.At(x, y), outer ? fw::kClassicBtnShadow : inner ? fw::kClassicBtnFace : kWhite) << x << "," << y;
    }
}

TEST(Raster3d, DrawEdgeRaisedAndSunkenUseTheStandard3dColours) {
  Canvas r(10, 8);
  r.dc.DrawEdge({0, 0, 10, 8}, fw::kEdgeRaised, fw::kBfRect);
  EXPECT_EQ(r.At(3, 0), fw::kClassic3dLight);
  EXPECT_EQ(r.At(0, 3), fw::kClassic3dLight);
  EXPECT_EQ(r.At(3, 7), fw::kClassic3dDkShadow);
  EXPECT_EQ(r.At(9, 0), fw::kClassic3dDkShadow);  // bottom and right are drawn last
  EXPECT_EQ(r.At(3, 1), fw::kClassicBtnHighlight);
  EXPECT_EQ(r.At(8, 3), fw::kClassicBtnShadow);
  EXPECT_EQ(r.At(4, 4), kWhite);

  Canvas s(10, 8);
  s.dc.DrawEdge({0, 0, 10, 8}, fw::kEdgeSunken, fw::kBfRect);
  EXPECT_EQ(s.At(3, 0), fw::kClassicBtnShadow);
  EXPECT_EQ(s.At(9, 3), fw::kClassicBtnHighlight);
  EXPECT_EQ(s.At(1, 3), fw::kClassic3dDkShadow);
  EXPECT_EQ(s.At(3, 6), fw::kClassic3dLight);
}

TEST(RasterRoundRect, CornersAreCutAndTheOutlineIsClosed) {
  Canvas c(20, 12);
  c.dc.FillSolidRect({0, 0, 20, 12}, kBlue);
  c.dc.SelectBrush({false, kWhite});
  c.dc.RoundRect({0, 0, 20, 12}, 10, 10);
  const Colour black = Rgb(0, 0, 0);
  EXPECT_EQ(c.At(0, 0), kBlue);
  EXPECT_EQ(c.At(19, 11), kBlue);
  EXPECT_EQ(c.At(10, 0), black);
  EXPECT_EQ(c.At(10, 11), black);
  EXPECT_EQ(c.At(0, 6), black);
  EXPECT_EQ(c.At(19, 6), black);
  EXPECT_EQ(c.At(10, 6), kWhite);
  // Mirror symmetric, and every row between the extremes holds exactly two outline runs' ends.
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 20; ++x) {
      EXPECT_EQ(c.At(x, y), c.At(19 - x, y)) << x << "," << y;
      EXPECT_EQ(c.At(x, y), c.At(x, 11 - y)) << x << "," << y;
    }
  for (int y = 1; y < 11; ++y) {
    int first = 0;
    while (c.At(first, y) == kBlue) ++first;
    EXPECT_EQ(c.At(first, y), black) << y;  // no gap in the outline
  }
}

TEST(RasterText, FixedGlyphMetricRecordsRunsAndCentres) {
  Canvas c(60, 20);
  EXPECT_EQ(c.dc.GetTextExtent("UPDATE"), (fw::Size{36, 13}));
  EXPECT_EQ(c.dc.GetTextExtent("Grüße"), (fw::Size{30, 13}));  // characters, not bytes
  EXPECT_EQ(c.dc.GetTextExtent(""), (fw::Size{0, 13}));

  c.dc.SetTextColor(kRed);
  c.dc.SetBkMode(fw::BkMode::Transparent);
  c.dc.DrawText("50%", {0, 0, 60, 20}, fw::kDtCenter | fw::kDtVCenter | fw::kDtSingleLine);
  ASSERT_EQ(c.surface.TextRuns().size(), 1u);
  const fw::TextRun& run = c.surface.TextRuns()[0];
  EXPECT_EQ(run.origin, (fw::Point{21, 3}));  // (60 - 18) / 2, (20 - 13) / 2
  EXPECT_EQ(run.text, "50%");
  EXPECT_EQ(run.colour, kRed);
  EXPECT_FALSE(run.disabled);
  EXPECT_EQ(c.At(22, 5), kRed);  // first glyph box
  EXPECT_EQ(c.At(21, 5), kWhite);
  EXPECT_EQ(c.At(21 + 6 + 1, 3 + 10), kRed);

  c.dc.FillSolidRect({0, 0, 60, 20}, kWhite);  // painting over the run removes it
  EXPECT_TRUE(c.surface.TextRuns().empty());
}

TEST(RasterText, DisabledTextIsEmbossedHighlightThenShadow) {
  Canvas c(30, 20);
  c.dc.FillSolidRect({0, 0, 30, 20}, fw::kClassicBtnFace);
  c.dc.DrawDisabledText(4, 3, 12, 13, "AB");
  ASSERT_EQ(c.surface.TextRuns().size(), 1u);
  EXPECT_TRUE(c.surface.TextRuns()[0].disabled);
  EXPECT_EQ(c.surface.TextRuns()[0].origin, (fw::Point{4, 3}));
  // Glyph box of 'A' in shadow: x 5..8, y 5..13; the highlight copy shows right and below it.
  EXPECT_EQ(c.At(5, 5), fw::kClassicBtnShadow);
  EXPECT_EQ(c.At(8, 13), fw::kClassicBtnShadow);
  EXPECT_EQ(c.At(9, 14), fw::kClassicBtnHighlight);
  EXPECT_EQ(c.At(9, 6), fw::kClassicBtnHighlight);
  EXPECT_EQ(c.At(5, 4), fw::kClassicBtnFace);
}

TEST(RasterMemoryDC, WindowOriginAndBitBltRoundTrip) {
  Canvas target(40, 30);
  EXPECT_FALSE(target.dc.IsPrinting());
  std::unique_ptr<fw::CDC> mem = target.dc.CreateCompatibleMemoryDC(10, 16);
  ASSERT_NE(mem, nullptr);
  mem->SetWindowOrg({20, 15});
  EXPECT_EQ(mem->GetClipBox(), (Box{20, 15, 30, 31}));
  mem->FillSolidRect({22, 16, 25, 18}, kRed);  // target coordinates
  mem->SetTextColor(kBlue);
  mem->SetBkMode(fw::BkMode::Transparent);
  mem->TextOut(20, 17, "a");
  target.dc.BitBlt(20, 15, 10, 16, *mem, 20, 15);
  // The untouched memory is black, as a new bitmap.
  EXPECT_EQ(target.At(29, 22), Rgb(0, 0, 0));
  EXPECT_EQ(target.At(30, 22), kWhite);
  EXPECT_EQ(target.At(19, 15), kWhite);
  EXPECT_EQ(target.At(22, 16), kRed);
  EXPECT_EQ(target.At(24, 17), kRed);
  EXPECT_EQ(target.At(25, 17), Rgb(0, 0, 0));
  ASSERT_EQ(target.surface.TextRuns().size(), 1u);
  EXPECT_EQ(target.surface.TextRuns()[0].origin, (fw::Point{20, 17}));
  EXPECT_EQ(target.At(21, 19), kBlue);

  // A window origin on the target shifts where the copy lands.
  Canvas shifted(20, 20);
  shifted.dc.SetWindowOrg({5, 5});
  shifted.dc.BitBlt(5, 5, 10, 8, *mem, 20, 15);
  EXPECT_EQ(shifted.At(2, 1), kRed);
  shifted.dc.BitBlt(-1000, -1000, 100000, 100000, *mem, 0, 0);  // out of reach: no crash
}

TEST(RasterSurface, WritesThePixelsAsPng) {
  testing_support::TempDir dir;
  fw::RasterSurface s(3, 2, kRed);
  ASSERT_TRUE(s.WritePng(dir.File("s.png")));
  const auto bytes = testing_support::ReadFile(dir.File("s.png"));
  ASSERT_GT(bytes.size(), 24u);
  EXPECT_EQ(bytes[1], 'P');
  EXPECT_EQ(bytes[19], 3);  // IHDR width, big-endian
  EXPECT_EQ(bytes[23], 2);
  EXPECT_EQ(s.RgbBytes().size(), 18u);
  EXPECT_EQ(s.RgbBytes()[0], 255);
  EXPECT_FALSE(fw::RasterSurface().WritePng(dir.File("none.png")));
}

}  // namespace
