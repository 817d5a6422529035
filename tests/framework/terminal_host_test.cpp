// The terminal host prints what a person would read off the window: new
// status lines, log lines, message boxes and the progress bar.
#include <gtest/gtest.h>

#include <signal.h>

#include <atomic>
#include <sstream>
#include <thread>

#include "dialog_testkit.h"
#include "framework/terminal/terminal_host.h"
#include "support/test_terminal_host.h"

using namespace fwtest;

namespace {

struct Fixture {
  std::ostringstream out;
  testing_support::TestTerminalHost host;
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

TEST(TerminalHost, ProgramWritesOfAnEditSendNoChangeTypingDoes) {
  Fixture f(false);
  int changes = 0;
  f.dialog.OnCommand(kMultiEdit, fw::Notify::Change, [&] { ++changes; });
  f.dialog.OnCommand(kEdit, fw::Notify::Change, [&] { ++changes; });
  f.dialog.Edit(kMultiEdit).SetWindowText("Status:>>started\r\n");
  f.dialog.Edit(kEdit).SetWindowText("COM3");
  EXPECT_EQ(changes, 0);
  EXPECT_TRUE(f.host.Type(kEdit, "COM4"));
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(f.out.str(), "Status:>>started\n");
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

// The open-file dialog gets the file the command line named once; without
// one, and after it, the dialog is cancelled, as a person closing it does.
TEST(TerminalHost, TheNamedFileAnswersTheFirstOpenFileDialogOnly) {
  std::ostringstream out;
  fw::TerminalHost host(out, false);
  KitDialog dialog;
  host.Start(dialog);
  std::string path = "unchanged";
  EXPECT_FALSE(host.GetOpenFileName({"Open", "*.hex", true}, path));
  EXPECT_EQ(path, "unchanged");
  host.AnswerOpenFile("/tmp/NET100.hex");
  EXPECT_TRUE(host.GetOpenFileName({"Open", "*.hex", true}, path));
  EXPECT_EQ(path, "/tmp/NET100.hex");
  path = "unchanged";
  EXPECT_FALSE(host.GetOpenFileName({"Open", "*.hex", true}, path));
  EXPECT_EQ(path, "unchanged");
  EXPECT_EQ(out.str(), "");  // nothing of it is printed
}

namespace {

// Ticks every 25 ms; the first tick holds the UI thread for stallMs, as a
// stopped process (Ctrl-Z, then fg) or a loaded machine does.
class StallingDialog : public KitDialog {
 public:
  explicit StallingDialog(int stallMs) : m_stallMs(stallMs) {}
  bool OnInitDialog() override {
    SetTimer(1, 25);
    return KitDialog::OnInitDialog();
  }
  void OnTimer(unsigned) override {
    ticks.push_back(std::chrono::steady_clock::now());
    if (ticks.size() == 1) std::this_thread::sleep_for(std::chrono::milliseconds(m_stallMs));
  }
  std::vector<std::chrono::steady_clock::time_point> ticks;

 private:
  int m_stallMs;
};

}  // namespace

TEST(TerminalHost, TicksMissedInAStallFoldIntoOne) {
  std::ostringstream out;
  fw::TerminalHost host(out, false);
  StallingDialog dialog(600);
  host.Start(dialog);
  const auto stallEnd = [&] { return dialog.ticks.front() + std::chrono::milliseconds(600); };
  host.RunUntil([&] { return !dialog.ticks.empty() && std::chrono::steady_clock::now() > stallEnd() + std::chrono::milliseconds(150); });
  const auto end = std::chrono::steady_clock::now();
  // After the stall the timer keeps its 25 ms schedule: at most one tick per period that really
  // passed, plus the one the missed ticks fold into. Firing every missed tick would add 24.
  const auto afterStall = std::chrono::duration_cast<std::chrono::milliseconds>(end - stallEnd()).count();
  const long ticksAfter = static_cast<long>(dialog.ticks.size()) - 1;
  EXPECT_LE(ticksAfter, afterStall / 25 + 2) << afterStall << " ms after the stall";
  EXPECT_GE(ticksAfter, 2);  // and it goes on ticking
  // No two ticks after the first come closer than a few milliseconds but the folded pair.
  int bunched = 0;
  for (std::size_t i = 2; i < dialog.ticks.size(); ++i)
    if (dialog.ticks[i] - dialog.ticks[i - 1] < std::chrono::milliseconds(5)) ++bunched;
  EXPECT_LE(bunched, 1);
}

TEST(TerminalHost, BoxesFromAnotherThreadPrintWholeWhileTheBarMoves) {
  std::ostringstream out;
  testing_support::TestTerminalHost host(out, true);
  KitDialog dialog;
  host.WatchProgress(kProgress);
  host.Start(dialog);
  fw::CProgressCtrl bar = dialog.Progress(kProgress);
  bar.SetRange(0, 100);
  std::atomic<bool> barMoving{true};
  std::atomic<int> boxes{0};
  std::thread monitor([&] {
    while (barMoving.load() || boxes.load() < 10) {
      host.MessageBox("Upgrade finish!");
      ++boxes;
    }
  });
  while (boxes.load() < 10) std::this_thread::yield();  // both run at once from here
  for (int round = 0; round < 20; ++round)
    for (int pos = 0; pos <= 100; ++pos) bar.SetPos(pos);
  barMoving = false;
  monitor.join();
  // Every box line stands whole between bar redraws.
  const std::string text = out.str();
  int whole = 0;
  for (std::size_t at = text.find("\r\033[KUpgrade finish!\n"); at != std::string::npos;
       at = text.find("\r\033[KUpgrade finish!\n", at + 1))
    ++whole;
  EXPECT_EQ(whole, boxes.load());
  EXPECT_EQ(host.MessageBoxes().size(), static_cast<std::size_t>(boxes.load()));
}
