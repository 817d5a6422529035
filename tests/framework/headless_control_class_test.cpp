// Control classes on the headless host: the messages they see from the
// driver's mouse, their hover and leave requests, their own timers.
#include <gtest/gtest.h>

#include <vector>

#include "dialog_testkit.h"

using namespace fwtest;

namespace {

// Records every message and asks for hover and leave on each mouse move, as
// the owner-drawn controls do.
class Recorder : public fw::CControlClass {
 public:
  std::intptr_t WindowProc(unsigned msg, std::uintptr_t w, std::intptr_t l) override {
    seen.push_back(msg);
    if (msg == fw::kWmMouseMove && !tracking) tracking = Site().TrackMouseEvent(fw::kTmeHover | fw::kTmeLeave, 1);
    if (msg == fw::kWmMouseLeave) tracking = false;
    if (msg == fw::kWmTimer) timerIds.push_back(static_cast<unsigned>(w));
    return Default(msg, w, l);
  }
  void PreSubclassWindow() override { Site().ModifyStyle(0, 0x0B); }
  std::vector<unsigned> seen;
  std::vector<unsigned> timerIds;
  bool tracking = false;
};

struct Fixture {
  KitDialog dialog;
  fw::HeadlessHost host;
  Recorder button;
  Fixture() {
    host.Start(dialog);
    host.SubclassControl(kButton, button);
  }
};

}  // namespace

TEST(HeadlessControlClass, HoverFiresAfterItsTimeAtRestAndLeaveEndsTracking) {
  Fixture f;
  EXPECT_EQ(f.button.Site().GetStyle(), 0x0Bu);  // the attach hook ran
  ASSERT_TRUE(f.host.Hover(kButton));
  EXPECT_EQ(f.button.seen, std::vector<unsigned>{fw::kWmMouseMove});
  EXPECT_TRUE(f.host.IsTrackingMouse(kButton, fw::kTmeHover));
  f.host.Advance(0);
  EXPECT_EQ(f.button.seen.size(), 1u);  // not yet at rest for 1 ms
  f.host.Advance(1);
  EXPECT_EQ(f.button.seen.back(), fw::kWmMouseHover);
  EXPECT_FALSE(f.host.IsTrackingMouse(kButton, fw::kTmeHover));  // one hover per request
  EXPECT_TRUE(f.host.IsTrackingMouse(kButton, fw::kTmeLeave));

  f.host.Hover(kButton);  // tracking: the class asks nothing new
  f.host.Advance(5);
  EXPECT_EQ(f.button.seen.back(), fw::kWmMouseMove);

  f.host.Leave();
  EXPECT_EQ(f.button.seen.back(), fw::kWmMouseLeave);
  EXPECT_FALSE(f.host.IsTrackingMouse(kButton, fw::kTmeLeave));
  f.host.Leave();  // nothing registered, nothing delivered
  EXPECT_EQ(f.button.seen.back(), fw::kWmMouseLeave);
}

TEST(HeadlessControlClass, LeavingBeforeTheHoverTimeCancelsTheHover) {
  Fixture f;
  f.host.Hover(kButton);
  f.host.Hover(kStatic);  // the cursor moves on to another control
  f.host.Advance(10);
  EXPECT_EQ(f.button.seen, (std::vector<unsigned>{fw::kWmMouseMove, fw::kWmMouseLeave}));
}

TEST(HeadlessControlClass, RefusedTrackingIsRetriedOnTheNextMove) {
  Fixture f;
  f.host.RefuseMouseTracking(true);
  f.host.Hover(kButton);
  EXPECT_FALSE(f.button.tracking);
  f.host.RefuseMouseTracking(false);
  f.host.Hover(kButton);
  EXPECT_TRUE(f.button.tracking);
  f.host.Advance(1);
  EXPECT_EQ(f.button.seen.back(), fw::kWmMouseHover);
}

TEST(HeadlessControlClass, ControlTimersTickIntoTheClassNotTheDialog) {
  Fixture f;
  f.button.Site().SetTimer(1, 10);
  f.host.Advance(35);
  EXPECT_EQ(f.button.timerIds, (std::vector<unsigned>{1, 1, 1}));
  EXPECT_FALSE(f.host.HasTimer(1));  // the dialog's timer 1 is a different timer
  EXPECT_TRUE(f.host.HasControlTimer(kButton, 1));
  f.button.Site().KillTimer(1);
  f.host.Advance(50);
  EXPECT_EQ(f.button.timerIds.size(), 3u);
}

TEST(HeadlessControlClass, MouseButtonsAndGeometryReachTheClass) {
  Fixture f;
  f.host.MouseDown(kButton);
  f.host.MouseUp(kButton);
  EXPECT_EQ(f.button.seen, (std::vector<unsigned>{fw::kWmMouseMove, fw::kWmLButtonDown, fw::kWmLButtonUp}));
  const fw::Box window = f.button.Site().GetWindowRect();
  EXPECT_TRUE(window.Contains(f.button.Site().GetCursorPos()));
  f.host.Leave();
  EXPECT_FALSE(window.Contains(f.button.Site().GetCursorPos()));
  EXPECT_EQ(f.button.Site().GetClientRect(), (fw::Box{0, 0, window.Width(), window.Height()}));
  f.host.EnableWindow(kButton, false);
  EXPECT_FALSE(f.host.Hover(kButton));  // a disabled control gets no mouse
}

TEST(HeadlessControlClass, DialogUnitsMapWithTheDocumentedBaseUnits) {
  EXPECT_EQ(fw::DialogUnitsToPixels({58, 252, 200, 11}), (fw::Rect{87, 410, 300, 18}));
  EXPECT_EQ(fw::DialogUnitsToPixels({1, 1, 3, 5}), (fw::Rect{2, 2, 5, 8}));  // rounded, as the platform
}

TEST(HeadlessControlClass, AClassDestroyedFirstIsNeverCalledAgain) {
  // As a front-end whose dialog object (with its control classes) goes before the host.
  fw::HeadlessHost host;
  KitDialog dialog;
  host.Start(dialog);
  {
    Recorder gone;
    host.SubclassControl(kButton, gone);
    gone.Site().SetTimer(1, 10);
  }
  host.Hover(kButton);
  host.Advance(50);  // its timer and the mouse find no class
  EXPECT_EQ(host.SendToControl(kButton, fw::kWmMouseMove), 0);
  Recorder next;  // the control can take a class again
  EXPECT_TRUE(host.SubclassControl(kButton, next));
  host.Hover(kStatic);
  host.Hover(kButton);
  EXPECT_EQ(next.seen.back(), fw::kWmMouseMove);
}
