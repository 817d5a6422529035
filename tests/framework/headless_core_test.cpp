// The headless core on its own, as the terminal host gets it: its message
// queue, its clock, and what it leaves out (painting, the mouse, choosers).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "dialog_testkit.h"
#include "framework/headless/headless_clock.h"
#include "framework/headless/headless_core.h"
#include "framework/headless/message_queue.h"

using namespace fwtest;

namespace {

struct Seen {
  unsigned msg;
  std::uintptr_t wparam;
};

}  // namespace

TEST(MessageQueue, SentMessagesAreServedFirstWhenAskedAndPostsKeepTheirOrder) {
  fw::MessageQueue queue;
  std::vector<Seen> seen;
  const auto record = [&](unsigned msg, std::uintptr_t w, std::intptr_t) -> std::intptr_t {
    seen.push_back({msg, w});
    return static_cast<std::intptr_t>(w) * 10;
  };
  queue.Post(1, 1, 0);
  queue.Post(2, 2, 0);
  std::atomic<std::intptr_t> reply{-1};
  std::thread sender([&] { reply = queue.Send(3, 3, 0); });
  // The sender blocks until its message is handled; waiting returns once it is queued.
  while (seen.empty()) {
    queue.WaitForMessage(std::chrono::milliseconds(5), true);
    queue.Serve(true, record);
  }
  sender.join();
  EXPECT_EQ(reply.load(), 30);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].msg, 3u);
  EXPECT_FALSE(queue.Empty());  // the posts stayed
  queue.Serve(false, record);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[1].msg, 1u);
  EXPECT_EQ(seen[2].msg, 2u);
  EXPECT_TRUE(queue.Empty());
}

TEST(MessageQueue, ClosingReleasesAPendingSendWithZeroAndRefusesLaterOnes) {
  fw::MessageQueue queue;
  std::atomic<std::intptr_t> reply{-1};
  std::atomic<bool> queued{false};
  std::thread sender([&] {
    queued = true;
    reply = queue.Send(7, 0, 0);
  });
  while (!queued.load()) std::this_thread::yield();
  queue.WaitForMessage(std::chrono::seconds(5), true);
  queue.Close();
  sender.join();
  EXPECT_EQ(reply.load(), 0);
  // Later sends return at once (no one would serve them), posts are dropped.
  std::thread late([&] { reply = queue.Send(8, 0, 0) + 5; });
  late.join();
  EXPECT_EQ(reply.load(), 5);
  queue.Post(9, 0, 0);
  EXPECT_TRUE(queue.Empty());
}

TEST(HeadlessClock, VirtualTimeMovesOnlyWhenToldAndEveryPeriodTicks) {
  fw::HeadlessClock clock(fw::HostClock::Virtual);
  EXPECT_EQ(clock.Now(), 0u);
  clock.Sleep(1500);
  EXPECT_EQ(clock.Now(), 1'500'000u);
  EXPECT_EQ(clock.TickCount(), 1500u);
  clock.MoveTo(1'000'000);  // never back
  EXPECT_EQ(clock.Now(), 1'500'000u);
  // A timer due long ago gets its next tick one period on from now: an
  // advanced span fires each of its periods in turn.
  EXPECT_EQ(clock.NextDue(100'000, 10'000, 1'400'000), 1'510'000u);
}

TEST(HeadlessClock, RealTimeFoldsMissedTicksAndKeepsThePhase) {
  fw::HeadlessClock clock(fw::HostClock::Real);
  EXPECT_EQ(clock.NextDue(1000, 100, 1000), 1100u);  // on time
  EXPECT_EQ(clock.NextDue(1000, 100, 1099), 1100u);  // late within its period
  EXPECT_EQ(clock.NextDue(1000, 100, 1550), 1600u);  // five missed ticks fold into the one fired
  EXPECT_EQ(clock.NextDue(1000, 100, 900), 1100u);   // early (a restarted timer)
  EXPECT_EQ(clock.NextDue(1000, 0, 5000), clock.Now());
  clock.Sleep(20);
  EXPECT_GE(clock.Now(), 20'000u);
  EXPECT_GE(clock.TickCount(), 20u);
  EXPECT_GE(clock.SteadyNow(), clock.Now());
}

namespace {

// Records what a control class is sent, and what its window offers.
class Recorder : public fw::CControlClass {
 public:
  std::intptr_t WindowProc(unsigned msg, std::uintptr_t w, std::intptr_t l) override {
    seen.push_back(msg);
    if (msg == fw::kWmTimer) ++ticks;
    return Default(msg, w, l);
  }
  bool Painted() const {
    return std::any_of(seen.begin(), seen.end(), [](unsigned m) {
      return m == fw::kWmPaint || m == fw::kWmEraseBkgnd || m == fw::kWmNcPaint;
    });
  }
  std::vector<unsigned> seen;
  int ticks = 0;
};

}  // namespace

TEST(HeadlessCore, PaintsNothingAndHasNoMouse) {
  KitDialog dialog;
  fw::HeadlessCore host;
  host.Start(dialog);
  Recorder button;
  ASSERT_TRUE(host.SubclassControl(kButton, button));
  EXPECT_EQ(button.Site().GetDC(), nullptr);
  EXPECT_EQ(button.Site().BeginPaint(), nullptr);
  EXPECT_EQ(button.Site().GetWindowDC(), nullptr);
  EXPECT_FALSE(button.Site().TrackMouseEvent(fw::kTmeHover | fw::kTmeLeave, 1));
  const fw::Point cursor = button.Site().GetCursorPos();
  EXPECT_FALSE(button.Site().GetWindowRect().Contains(cursor));

  // Changes, input and timer ticks that repaint on a painting host send no paint here.
  int clicks = 0;
  dialog.OnClicked(kButton, [&] { ++clicks; });
  button.Site().Invalidate(true);
  host.EnableWindow(kButton, false);
  host.EnableWindow(kButton, true);
  ASSERT_TRUE(host.Click(kButton));
  EXPECT_EQ(clicks, 1);
  button.Site().SetTimer(7, 10);
  ASSERT_TRUE(host.RunUntil([&] { return button.ticks >= 3; }));
  EXPECT_EQ(host.NowMicroseconds(), 30'000u);  // the virtual clock went to each tick
  EXPECT_FALSE(button.Painted());
  EXPECT_EQ(std::count(button.seen.begin(), button.seen.end(), fw::kWmTimer), 3);
}

TEST(HeadlessCore, BoxesAreAnsweredOkChoosersCancelledAndChildDialogsCancelled) {
  KitDialog dialog;
  fw::HeadlessCore host;
  host.Start(dialog);
  EXPECT_EQ(dialog.MessageBox("Port busy"), fw::kIdOk);
  std::string path = "unchanged";
  EXPECT_FALSE(host.GetOpenFileName({}, path));
  EXPECT_EQ(path, "unchanged");
  KitDialog child;
  int cancels = 0;
  child.OnCommand(fw::kIdCancel, fw::Notify::Clicked, [&] {
    ++cancels;
    child.EndDialog(fw::kIdCancel);
  });
  EXPECT_EQ(host.DoModal(child), fw::kIdCancel);
  EXPECT_EQ(cancels, 1);  // the child's own Cancel ran, once
  EXPECT_FALSE(host.Ended());  // the parent goes on
  EXPECT_TRUE(host.Type(kEdit, "COM3"));
}
