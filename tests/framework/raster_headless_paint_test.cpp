// Painting on the headless host: the messages a paint sends and their order,
// invalidation painted when idle, owner-draw state bits, and the contexts the
// site hands out drawing on the control's surface.
#include <gtest/gtest.h>

#include <vector>

#include "dialog_testkit.h"

using namespace fwtest;

namespace {

class Painter : public fw::CControlClass {
 public:
  std::intptr_t WindowProc(unsigned msg, std::uintptr_t w, std::intptr_t l) override {
    if (msg == fw::kWmPaint || msg == fw::kWmNcPaint || msg == fw::kWmEraseBkgnd) seen.push_back(msg);
    return Default(msg, w, l);
  }
  void DrawItem(const fw::DrawItemInfo& info) override {
    states.push_back(info.state);
    item = info.item;
    info.dc->FillSolidRect(info.item, fw::Rgb(1, 2, 3));
  }
  void MakeOwnerDraw() { Site().ModifyStyle(fw::kBsTypeMask, fw::kBsOwnerDraw); }
  std::vector<unsigned> seen;
  std::vector<unsigned> states;
  fw::Box item;
};

struct Fixture {
  KitDialog dialog;
  fw::HeadlessHost host;
  Painter painter;
  Fixture() { host.Start(dialog); }
};

TEST(HeadlessPaint, APaintSendsFrameEraseAndPaintInThePlatformsOrder) {
  Fixture f;
  f.host.SubclassControl(kEdit, f.painter);
  ASSERT_TRUE(f.host.Paint(kEdit));
  EXPECT_EQ(f.painter.seen, (std::vector<unsigned>{fw::kWmNcPaint, fw::kWmEraseBkgnd, fw::kWmPaint}));
  // The default frame of a bordered edit is the sunken edge; its client is white inside it.
  EXPECT_EQ(f.host.Surface(kEdit).Pixel(0, 5), fw::kClassicBtnShadow);
  EXPECT_EQ(f.host.Surface(kEdit).Pixel(1, 5), fw::kClassic3dDkShadow);
  EXPECT_EQ(f.host.Surface(kEdit).Pixel(5, 5), fw::Rgb(255, 255, 255));
  EXPECT_FALSE(f.host.Paint(999));
  EXPECT_EQ(f.host.Surface(999).Width(), 0);
}

TEST(HeadlessPaint, InvalidationIsPaintedWhenTheHostIsIdle) {
  Fixture f;
  f.host.SubclassControl(kEdit, f.painter);
  f.painter.Site().Invalidate(false);
  EXPECT_TRUE(f.host.IsInvalidated(kEdit));
  EXPECT_TRUE(f.painter.seen.empty());
  f.host.Advance(0);
  EXPECT_FALSE(f.host.IsInvalidated(kEdit));
  EXPECT_EQ(f.painter.seen, std::vector<unsigned>{fw::kWmPaint});  // no erase asked, no frame
  f.painter.seen.clear();
  f.painter.Site().RedrawWindow(fw::kRdwInvalidate | fw::kRdwFrame);
  f.host.PaintInvalidated();
  EXPECT_EQ(f.painter.seen, (std::vector<unsigned>{fw::kWmNcPaint, fw::kWmPaint}));
  f.painter.seen.clear();
  f.host.SetWindowText(kEdit, "new");  // the control repaints itself
  f.host.PaintInvalidated();
  EXPECT_EQ(f.painter.seen, (std::vector<unsigned>{fw::kWmEraseBkgnd, fw::kWmPaint}));
  ASSERT_EQ(f.host.TextRuns(kEdit).size(), 1u);
  EXPECT_EQ(f.host.TextRuns(kEdit)[0].text, "new");
}

TEST(HeadlessPaint, OwnerDrawButtonsGetDrawItemWithTheirState) {
  Fixture f;
  f.host.SubclassControl(kButton, f.painter);
  f.host.Paint(kButton);
  EXPECT_TRUE(f.painter.states.empty());  // not owner-drawn: the standard look
  f.painter.MakeOwnerDraw();
  f.host.Paint(kButton);
  f.host.MouseDown(kButton);
  f.host.Paint(kButton);
  f.host.MouseUp(kButton);
  f.host.Focus(kButton);  // repaints by itself
  f.host.EnableWindow(kButton, false);
  f.host.PaintInvalidated();
  EXPECT_EQ(f.painter.states, (std::vector<unsigned>{0u, fw::kOdsSelected, fw::kOdsFocus,
                                                     fw::kOdsFocus | fw::kOdsDisabled}));
  const fw::Rect r = f.host.Control(kButton).rect;
  EXPECT_EQ(f.painter.item, (fw::Box{0, 0, r.cx, r.cy}));
  EXPECT_EQ(f.host.Surface(kButton).Pixel(r.cx - 1, r.cy - 1), fw::Rgb(1, 2, 3));
}

TEST(HeadlessPaint, SiteContextsDrawOnTheControlsSurfaceAndWindowEqualsClient) {
  Fixture f;
  f.host.SubclassControl(kStatic, f.painter);
  ASSERT_TRUE(f.host.MoveControl(kStatic, {5, 5, 30, 20}));
  EXPECT_EQ(f.host.Surface(kStatic).Width(), 30);
  EXPECT_EQ(f.host.Surface(kStatic).Height(), 20);
  auto window = f.painter.Site().GetWindowDC();
  auto client = f.painter.Site().GetDC();
  ASSERT_NE(window, nullptr);
  ASSERT_NE(client, nullptr);
  EXPECT_EQ(window->GetClipBox(), client->GetClipBox());
  EXPECT_EQ(client->GetClipBox(), f.painter.Site().GetClientRect());
  window->FillSolidRect({0, 0, 1, 1}, fw::Rgb(9, 9, 9));
  client->FillSolidRect({29, 19, 30, 20}, fw::Rgb(8, 8, 8));
  EXPECT_EQ(f.host.Surface(kStatic).Pixel(0, 0), fw::Rgb(9, 9, 9));
  EXPECT_EQ(f.host.Surface(kStatic).Pixel(29, 19), fw::Rgb(8, 8, 8));
  EXPECT_EQ(client->Look().GetSystemMetrics(fw::kSmCxHThumb), 16);
}

TEST(HeadlessPaint, ProgressMessagesThroughTheSiteReachTheControl) {
  Fixture f;
  f.host.SubclassControl(kProgress, f.painter);
  fw::IControlSite& site = f.painter.Site();
  site.SendMessage(fw::kWmUser + 1, 0, (20 << 16) | 5);  // range 5..20
  EXPECT_EQ(f.host.Control(kProgress).lower, 5);
  EXPECT_EQ(f.host.Control(kProgress).upper, 20);
  site.SendMessage(fw::kWmUser + 2, 8, 0);
  EXPECT_EQ(f.host.Control(kProgress).pos, 8);
  EXPECT_EQ(site.SendMessage(fw::kWmUser + 5, 0, 0), 8);  // step it (10): returns the old position
  EXPECT_EQ(f.host.Control(kProgress).pos, 18);
  EXPECT_TRUE(f.host.IsInvalidated(kProgress));
}

}  // namespace
