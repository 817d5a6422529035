// The terminal host prints what a person would read off the window: new
// status lines, log lines, message boxes and the progress bar.
#include <gtest/gtest.h>

#include <signal.h>

#include <sstream>
#include <thread>

#include "dialog_testkit.h"
#include "framework/terminal/terminal_host.h"

using namespace fwtest;

namespace {

struct Fixture {
  std::ostringstream out;
  fw::TerminalHost host;
  KitDialog dialog;
  explicit Fixture(bool terminal) : host(out, terminal) {
    host.WatchStatus(kMultiEdit);
    host.WatchLog(kList);
    host.WatchProgress(kProgress);
    host.Start(dialog);
  }
};

}  // namespace

TEST(TerminalHost, StatusBoxPrintsOnlyLinesItHasNotShown) {
  Fixture f(false);
  f.dialog.Edit(kMultiEdit).SetWindowText("Status:>>started\r\n");
  f.dialog.Edit(kMultiEdit).SetWindowText("Status:>>started\r\nStatus:>>port open\r\n");
  // A replaced last line (a countdown) is printed again; an unchanged one is not.
  f.dialog.Edit(kMultiEdit).SetWindowText("Status:>>started\r\nStatus:>>Counting down 15S!");
  f.dialog.Edit(kMultiEdit).SetWindowText("Status:>>started\r\nStatus:>>Counting down 14S!");
  f.dialog.Edit(kMultiEdit).SetWindowText("Status:>>started\r\nStatus:>>Counting down 14S!");
  // A wholly new text prints whole.
  f.dialog.Edit(kMultiEdit).SetWindowText("ERROR:>>OVERTIME!\r\n");
  f.dialog.Edit(kEdit).SetWindowText("not watched");
  EXPECT_EQ(f.out.str(),
            "Status:>>started\nStatus:>>port open\nStatus:>>Counting down 15S!\nStatus:>>Counting down 14S!\n"
            "ERROR:>>OVERTIME!\n");
  EXPECT_EQ(f.host.GetWindowText(kMultiEdit), "ERROR:>>OVERTIME!\r\n");  // the control itself holds the text
}

TEST(TerminalHost, LogLinesAndMessageBoxesArePrintedAndBoxesAnsweredOk) {
  Fixture f(false);
  f.dialog.List(kList).AddString("端口已打开");
  EXPECT_EQ(f.dialog.MessageBox("Port busy\nClose the other program"), fw::kIdOk);
  EXPECT_EQ(f.out.str(), "端口已打开\nPort busy\nClose the other program\n");
  ASSERT_EQ(f.host.MessageBoxes().size(), 1u);
}

TEST(TerminalHost, PlainOutputGetsABarLineEveryTenthOfTheWay) {
  Fixture f(false);
  fw::CProgressCtrl bar = f.dialog.Progress(kProgress);
  bar.SetRange(0, 203);
  for (int pos = 1; pos <= 203; ++pos) bar.SetPos(pos);
  bar.SetPos(0);  // starting over is shown
  bar.SetPos(200);
  bar.StepIt();  // the control wraps to the bottom; the reader is told it is full
  EXPECT_EQ(f.host.GetPos(kProgress), 7);
  EXPECT_EQ(f.out.str(),
            "progress 0%\nprogress 10%\nprogress 20%\nprogress 30%\nprogress 40%\nprogress 50%\nprogress 60%\n"
            "progress 70%\nprogress 80%\nprogress 90%\nprogress 100%\nprogress 0%\nprogress 98%\nprogress 100%\n");
}

TEST(TerminalHost, OnATerminalTheBarIsRedrawnInPlaceUnderNewLines) {
  Fixture f(true);
  f.dialog.Progress(kProgress).SetRange(0, 100);
  f.dialog.Progress(kProgress).SetPos(50);
  f.dialog.Edit(kMultiEdit).SetWindowText("done\r\n");
  const std::string half = "[" + std::string(20, '#') + std::string(20, '.') + "] 50%";
  EXPECT_EQ(f.out.str(), "\r[" + std::string(40, '.') + "] 0%" + "\r\033[K" + "\r" + half + "\r\033[K" + "done\n\r" + half);
}

TEST(TerminalHost, PercentIsTheShareOfTheRangeClamped) {
  EXPECT_EQ(fw::ProgressPercent(0, 100, 50), 50);
  EXPECT_EQ(fw::ProgressPercent(10, 20, 15), 50);
  EXPECT_EQ(fw::ProgressPercent(0, 100, 150), 100);
  EXPECT_EQ(fw::ProgressPercent(5, 5, 5), 0);  // an empty range draws empty
  EXPECT_EQ(fw::SplitLines("a\r\nb\rc\n\nd"), (std::vector<std::string>{"a", "b", "c", "", "d"}));
}

TEST(TerminalHost, CtrlCRunsTheCancelCommand) {
  std::ostringstream out;
  fw::TerminalHost host(out, false);
  KitDialog dialog;
  fw::CancelOnInterrupt guard(host);
  ASSERT_TRUE(guard.Active());
  fw::CancelOnInterrupt second(host);
  EXPECT_FALSE(second.Active());
  std::thread interrupter([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    raise(SIGINT);
  });
  EXPECT_EQ(host.RunModal(dialog), fw::kIdCancel);  // no timers: only the interrupt ends it
  interrupter.join();
  EXPECT_TRUE(fw::CancelOnInterrupt::Interrupted());
}

TEST(TerminalHost, AReaderDecidesWhatTheBarShowsAndCanHideIt) {
  std::ostringstream out;
  fw::TerminalHost host(out, false);
  KitDialog dialog;
  std::optional<int> shown;
  host.WatchProgress(kProgress, [&] { return shown; });
  host.Start(dialog);
  dialog.Progress(kProgress).SetPos(40);  // hidden
  shown = 55;
  dialog.Progress(kProgress).SetPos(41);
  shown = 250;  // clamped
  dialog.Progress(kProgress).StepIt();
  EXPECT_EQ(out.str(), "progress 55%\nprogress 100%\n");
}
