// The dialog model: message map, OK and Cancel, Enter and Esc, timers in virtual time.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "dialog_testkit.h"

using namespace fwtest;

namespace {

class MapDialog : public fw::CDialog {
 public:
  MapDialog() : CDialog(KitTemplate()) {
    OnClicked(kButton, [this] { events.push_back("go"); });
    OnCommand(kDropDown, fw::Notify::SelChange, [this] { events.push_back("selchange"); });
    OnCommand(kDropDown, fw::Notify::SelEndOk, [this] { events.push_back("selendok"); });
    OnCommand(kDropDown, fw::Notify::EditUpdate, [this] { events.push_back("editupdate"); });
    OnCommand(kDropDown, fw::Notify::EditChange, [this] { events.push_back("editchange"); });
    OnCommand(kDropDown, fw::Notify::SetFocus, [this] { events.push_back("setfocus"); });
    OnCommand(kEdit, fw::Notify::Change, [this] {
      std::string event = "change:";
      event += Edit(kEdit).GetWindowText();
      events.push_back(event);
    });
    OnCommand(kList, fw::Notify::SelChange, [this] { events.push_back("list"); });
  }
  void DoDataExchange(fw::CDataExchange& dx) override {
    fw::DDX_Text(&dx, kIntEdit, value);
    fw::DDV_MinMaxInt(&dx, value, 0, 10);
  }
  std::vector<std::string> events;
  int value = 3;
};

}  // namespace

TEST(DialogMap, NotificationsReachTheirHandlers) {
  MapDialog dialog;
  fw::HeadlessHost host;
  host.Start(dialog);
  dialog.Combo(kDropDown).AddString("one");
  dialog.List(kList).AddString("a");
  host.Click(kButton);
  host.SelectItem(kDropDown, 0);
  host.Type(kDropDown, "on");
  host.Type(kEdit, "hi");
  host.SelectItem(kList, 0);
  dialog.Combo(kDropDown).SetCurSel(0);  // programmatic changes do not notify
  EXPECT_EQ(dialog.events, (std::vector<std::string>{"go", "setfocus", "selchange", "selendok", "editupdate",
                                                     "editchange", "change:hi", "list"}));
}

TEST(DialogMap, EnterIsOkOnlyWhenDataIsValid) {
  MapDialog dialog;
  dialog.SetDdxPrompts(EnglishPrompts());
  fw::HeadlessHost host;
  host.Start(dialog);
  EXPECT_EQ(host.GetWindowText(kIntEdit), "3");  // OnInitDialog loaded
  host.Type(kIntEdit, "11");
  EXPECT_TRUE(host.PressEnter());
  EXPECT_FALSE(host.Ended());
  ASSERT_EQ(host.MessageBoxes().size(), 1u);
  EXPECT_EQ(host.MessageBoxes()[0].text, "Please enter an integer between 0 and 10.");
  host.Type(kIntEdit, "7");
  host.PressEnter();
  EXPECT_TRUE(host.Ended());
  EXPECT_EQ(host.Result(), fw::kIdOk);
  EXPECT_EQ(dialog.value, 7);
  EXPECT_FALSE(host.Click(kButton));  // an ended dialog takes no input
}

TEST(DialogMap, EscapeCancelsWithoutSaving) {
  MapDialog dialog;
  fw::HeadlessHost host;
  host.Start(dialog);
  host.Type(kIntEdit, "5");
  EXPECT_TRUE(host.PressEscape());
  EXPECT_EQ(host.Result(), fw::kIdCancel);
  EXPECT_EQ(dialog.value, 3);
}

TEST(DialogMap, DisabledOkIgnoresEnter) {
  MapDialog dialog;
  fw::HeadlessHost host;
  host.Start(dialog);
  dialog.Item(fw::kIdOk).EnableWindow(false);
  EXPECT_FALSE(host.PressEnter());
  EXPECT_FALSE(host.Ended());
  EXPECT_TRUE(host.Click(fw::kIdCancel));
  EXPECT_EQ(host.Result(), fw::kIdCancel);
}

TEST(DialogMap, OwnOkHandlerReplacesTheDefault) {
  MapDialog dialog;
  int calls = 0;
  dialog.OnClicked(fw::kIdOk, [&calls] { ++calls; });
  fw::HeadlessHost host;
  host.Start(dialog);
  host.PressEnter();
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(host.Ended());
}

namespace {

// Saves and re-shows every member on each change of its edits, as a form
// whose fields depend on each other does; the name is kept upper case.
class ReshowDialog : public fw::CDialog {
 public:
  ReshowDialog() : CDialog(KitTemplate()) {
    OnCommand(kNameEdit, fw::Notify::Change, [this] { Reshow(nameChanges); });
    OnCommand(kIntEdit, fw::Notify::Change, [this] { Reshow(rateChanges); });
    OnCommand(kOther, fw::Notify::Change, [this] { ++otherChanges; });
  }
  void DoDataExchange(fw::CDataExchange& dx) override {
    fw::DDX_Text(&dx, kNameEdit, name);
    fw::DDX_Text(&dx, kIntEdit, rate);
    fw::DDX_Text(&dx, kOther, summary);
  }
  void Reshow(int& counter) {
    ++counter;
    ++depth;
    maxDepth = std::max(maxDepth, depth);
    if (UpdateData(true)) {
      for (char& ch : name)
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
      summary = name + "@" + std::to_string(rate);
      UpdateData(false);
    }
    --depth;
  }
  std::string name = "ab";
  int rate = 9;
  std::string summary;
  int nameChanges = 0, rateChanges = 0, otherChanges = 0;
  int depth = 0, maxDepth = 0;
};

}  // namespace

TEST(DialogChange, OnlyTheUsersTypingNotifiesAndReshownValuesSurvive) {
  ReshowDialog dialog;
  fw::HeadlessHost host;
  host.Start(dialog);  // OnInitDialog's load writes every edit
  EXPECT_EQ(host.GetWindowText(kNameEdit), "ab");
  EXPECT_EQ(dialog.nameChanges + dialog.rateChanges + dialog.otherChanges, 0);

  host.Type(kNameEdit, "com");
  EXPECT_EQ(dialog.nameChanges, 1);
  EXPECT_EQ(dialog.maxDepth, 1);  // the re-show did not run the handler again
  EXPECT_EQ(host.GetWindowText(kNameEdit), "COM");
  EXPECT_EQ(host.GetWindowText(kOther), "COM@9");
  host.Type(kIntEdit, "115200");
  EXPECT_EQ(dialog.rateChanges, 1);
  EXPECT_EQ(dialog.nameChanges, 1);
  EXPECT_EQ(dialog.name, "COM");
  EXPECT_EQ(dialog.rate, 115200);
  EXPECT_EQ(host.GetWindowText(kOther), "COM@115200");
  EXPECT_EQ(dialog.otherChanges, 0);  // written by the program only

  // The program's writes, direct or through a load, notify nobody.
  host.SetWindowText(kNameEdit, "x");
  dialog.rate = 4800;
  dialog.summary = "y";
  dialog.UpdateData(false);
  EXPECT_EQ(host.GetWindowText(kIntEdit), "4800");
  EXPECT_EQ(host.GetWindowText(kNameEdit), "COM");
  EXPECT_EQ(dialog.nameChanges, 1);
  EXPECT_EQ(dialog.rateChanges, 1);
  EXPECT_EQ(dialog.otherChanges, 0);
  EXPECT_EQ(dialog.maxDepth, 1);
  host.Type(kOther, "z");
  EXPECT_EQ(dialog.otherChanges, 1);
}

namespace {

class TimerDialog : public fw::CDialog {
 public:
  explicit TimerDialog(fw::HeadlessHost& host) : CDialog(KitTemplate()), m_host(host) {}
  void OnTimer(unsigned id) override {
    fired.emplace_back(id, m_host.NowMicroseconds() / 1000);
    if (id == 2 && ++twos == 3) KillTimer(2);
    if (id == 7) Sleep(sleepInTimer);
  }
  std::vector<std::pair<unsigned, std::uint64_t>> fired;
  int twos = 0;
  unsigned sleepInTimer = 0;

 private:
  fw::HeadlessHost& m_host;
};

using Fired = std::vector<std::pair<unsigned, std::uint64_t>>;

}  // namespace

TEST(DialogTimers, FireInTimeOrderAtTheirOwnTimes) {
  fw::HeadlessHost host;
  TimerDialog dialog(host);
  host.Start(dialog);
  dialog.SetTimer(1, 300);
  dialog.SetTimer(2, 200);
  host.Advance(650);
  // A tie goes in the order the timers were set.
  EXPECT_EQ(dialog.fired, (Fired{{2, 200}, {1, 300}, {2, 400}, {1, 600}, {2, 600}}));
  EXPECT_FALSE(host.HasTimer(2));  // killed inside its own OnTimer
  EXPECT_EQ(host.NowMicroseconds(), 650'000u);
  host.Advance(300);
  EXPECT_EQ(dialog.fired.back(), (std::pair<unsigned, std::uint64_t>{1, 900}));
  EXPECT_EQ(dialog.fired.size(), 6u);
}

TEST(DialogTimers, SetAgainRestartsAndKillStops) {
  fw::HeadlessHost host;
  TimerDialog dialog(host);
  host.Start(dialog);
  dialog.SetTimer(1, 100);
  host.Advance(50);
  dialog.SetTimer(1, 100);
  host.Advance(100);
  EXPECT_EQ(dialog.fired, (Fired{{1, 150}}));
  dialog.KillTimer(1);
  host.Advance(1000);
  EXPECT_EQ(dialog.fired.size(), 1u);
}

TEST(DialogTimers, SleepDelaysAndFoldsTicks) {
  fw::HeadlessHost host;
  TimerDialog dialog(host);
  host.Start(dialog);
  dialog.SetTimer(3, 100);
  dialog.Sleep(450);  // four ticks fall due while the UI thread sleeps
  EXPECT_TRUE(dialog.fired.empty());
  host.Advance(0);
  EXPECT_EQ(dialog.fired, (Fired{{3, 450}}));
  host.Advance(100);
  EXPECT_EQ(dialog.fired, (Fired{{3, 450}, {3, 550}}));
}

TEST(DialogTimers, SleepInsideOnTimerPushesTheNextTick) {
  fw::HeadlessHost host;
  TimerDialog dialog(host);
  dialog.sleepInTimer = 250;
  host.Start(dialog);
  dialog.SetTimer(7, 100);
  host.Advance(500);
  // Each tick sleeps past the next due time: that tick fires as soon as the sleep ends.
  EXPECT_EQ(dialog.fired, (Fired{{7, 100}, {7, 350}, {7, 600}}));
  EXPECT_EQ(host.NowMicroseconds(), 850'000u);
}

TEST(DialogTimers, EndingTheDialogStopsItsTimers) {
  fw::HeadlessHost host;
  TimerDialog dialog(host);
  host.Start(dialog);
  dialog.SetTimer(1, 100);
  host.PressEscape();
  host.Advance(1000);
  EXPECT_TRUE(dialog.fired.empty());
}

namespace {

class EscapingDialog : public KitDialog {
 public:
  bool OnInitDialog() override {
    PostMessage(fw::kWmUser);  // the user presses Esc once the window is up
    OnMessage(fw::kWmUser, [this](std::uintptr_t, std::intptr_t) -> std::intptr_t {
      OnCancel();
      return 0;
    });
    return true;
  }
};

}  // namespace

TEST(Application, RunsItsMainDialogOnTheChosenHostAndReportsTheExitCode) {
  // As the programs' application classes: the main dialog is a local of
  // InitInstance, and the exit code tells how it ended.
  fw::HeadlessHost host;
  class CancelApp : public fw::CWinApp {
   public:
    using CWinApp::CWinApp;
    bool InitInstance() override {
      EscapingDialog dialog;
      SetExitCode(DoModal(dialog) == fw::kIdCancel ? 7 : 0);
      return false;
    }
  } app(host, fw::UiLanguage::English);
  EXPECT_EQ(app.Run(), 7);
  EXPECT_EQ(app.Language(), fw::UiLanguage::English);
  EXPECT_TRUE(host.Ended());
}
