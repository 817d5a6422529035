// The hover edit and the tracking template under it: the two borders, the
// registration rules and the order in which the hooks run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/hover_edit.h"
#include "controls/track_control.h"
#include "controls_testkit.h"

using namespace ctest;

namespace {

struct Edit : Host {
  controls::CHoverEdit edit;
  Edit() {
    host.SubclassControl(kEdit, edit);
    host.Paint(kEdit);
  }
};

bool FlatSunken(const Host& h, int id) {
  return h.At(id, 0, 20) == kShadow && h.At(id, 80, 0) == kShadow && h.At(id, 159, 20) == kShadow &&
         h.At(id, 80, 39) == kShadow && h.At(id, 1, 20) == kFace && h.At(id, 80, 38) == kFace &&
         h.At(id, 158, 20) == kFace && h.At(id, 80, 1) == kFace;
}
bool BlackOutline(const Host& h, int id) {
  const fw::Colour black = fw::Rgb(0, 0, 0), white = fw::Rgb(255, 255, 255);
  return h.At(id, 0, 20) == black && h.At(id, 80, 0) == black && h.At(id, 159, 20) == black &&
         h.At(id, 80, 39) == black && h.At(id, 1, 20) == white && h.At(id, 158, 20) == white &&
         h.At(id, 80, 1) == white;
}

TEST(HoverEdit, FlatSunkenEdgeUntilTheMouseRestsThenABlackOutline) {
  Edit e;
  EXPECT_TRUE(FlatSunken(e, kEdit));
  EXPECT_EQ(e.At(kEdit, 80, 30), fw::Rgb(255, 255, 255));  // the edit's own client area
  e.host.Hover(kEdit);
  EXPECT_EQ(e.edit.Tracking(), 1);
  EXPECT_TRUE(FlatSunken(e, kEdit));
  e.host.Advance(1);
  EXPECT_EQ(e.edit.Hovering(), 1);
  EXPECT_TRUE(BlackOutline(e, kEdit));
  ASSERT_EQ(e.host.TextRuns(kEdit).size(), 1u);  // the client was repainted after the frame
  EXPECT_EQ(e.host.TextRuns(kEdit)[0].text, "Ready");
  e.host.Leave();
  EXPECT_EQ(e.edit.Hovering(), 0);
  EXPECT_EQ(e.edit.Tracking(), 0);
  EXPECT_TRUE(FlatSunken(e, kEdit));
}

TEST(HoverEdit, TheFlatEdgeIsDrawnWhateverTheEditsOwnBorderStyle) {
  Edit e;
  controls::CHoverEdit plain;
  e.host.SubclassControl(kPlainEdit, plain);  // no border style
  e.host.Paint(kPlainEdit);
  EXPECT_TRUE(FlatSunken(e, kPlainEdit));
}

TEST(HoverEdit, AMoveWhileTrackingRegistersNothingAndARefusalIsRetried) {
  Edit e;
  e.host.Hover(kEdit);
  e.host.Advance(1);  // the hover request is used up, the leave request stays
  ASSERT_FALSE(e.host.IsTrackingMouse(kEdit, fw::kTmeHover));
  e.host.Hover(kEdit);
  EXPECT_FALSE(e.host.IsTrackingMouse(kEdit, fw::kTmeHover));
  EXPECT_TRUE(e.host.IsTrackingMouse(kEdit, fw::kTmeLeave));
  e.host.Leave();

  e.host.RefuseMouseTracking(true);
  e.host.Hover(kEdit);
  EXPECT_EQ(e.edit.Tracking(), 0);
  e.host.RefuseMouseTracking(false);
  e.host.Hover(kEdit);
  EXPECT_EQ(e.edit.Tracking(), 1);
  e.host.Advance(1);
  EXPECT_TRUE(BlackOutline(e, kEdit));
}

// The hooks come after the base class has processed the notification.
class Base : public fw::CControlClass {
 public:
  std::intptr_t WindowProc(unsigned msg, std::uintptr_t w, std::intptr_t l) override {
    if (msg == fw::kWmMouseHover) log.push_back("base hover");
    if (msg == fw::kWmMouseLeave) log.push_back("base leave");
    return Default(msg, w, l) + 7;
  }
  std::vector<std::string> log;
};

class Tracked : public controls::CTrackControl<Base> {
 public:
  void OnHoverEnter() override { log.push_back(Hovering() ? "enter, hovering" : "enter"); }
  void OnHoverLeave() override { log.push_back(Tracking() ? "leave, tracking" : "leave"); }
};

TEST(TrackControl, HooksRunAfterTheBaseAndTheBasesResultIsReturned) {
  Host h;
  Tracked t;
  h.host.SubclassControl(kEdit, t);
  EXPECT_EQ(h.host.SendToControl(kEdit, fw::kWmNcPaint), 7);
  h.host.Hover(kEdit);
  h.host.Advance(1);
  h.host.Leave();
  EXPECT_EQ(t.log, (std::vector<std::string>{"base hover", "enter, hovering", "base leave", "leave"}));
}

}  // namespace
