// The headless host's message queue across threads, its modal loop, and a sample dialog end to end.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "dialog_testkit.h"

using namespace fwtest;

namespace {

constexpr unsigned kWmProgress = fw::kWmUser + 1;
constexpr unsigned kWmDone = fw::kWmUser + 2;

class WorkerDialog : public fw::CDialog {
 public:
  WorkerDialog() : CDialog(KitTemplate()) {
    OnMessage(kWmProgress, [this](std::uintptr_t w, std::intptr_t) -> std::intptr_t {
      Progress(kProgress).SetPos(static_cast<int>(w));
      ++handled;
      return static_cast<std::intptr_t>(w) * 2;
    });
    OnMessage(kWmDone, [this](std::uintptr_t, std::intptr_t l) -> std::intptr_t {
      EndDialog(static_cast<int>(l));
      return 0;
    });
  }
  int handled = 0;
};

}  // namespace

TEST(HeadlessMessages, SendFromUiThreadIsDirect) {
  WorkerDialog dialog;
  fw::HeadlessHost host;
  host.Start(dialog);
  EXPECT_EQ(dialog.SendMessage(kWmProgress, 21), 42);
  EXPECT_EQ(host.GetPos(kProgress), 21);
  EXPECT_EQ(dialog.SendMessage(fw::kWmUser + 50), 0);  // no handler
}

TEST(HeadlessMessages, PostWaitsForTheLoop) {
  WorkerDialog dialog;
  fw::HeadlessHost host;
  host.Start(dialog);
  dialog.PostMessage(kWmProgress, 5);
  EXPECT_EQ(dialog.handled, 0);
  host.Advance(0);
  EXPECT_EQ(dialog.handled, 1);
  EXPECT_EQ(host.GetPos(kProgress), 5);
}

TEST(HeadlessMessages, SendFromWorkerServedWhileUiThreadWaits) {
  WorkerDialog dialog;
  fw::HeadlessHost host;
  host.Start(dialog);
  std::atomic<int> finished{0};
  std::intptr_t last = 0;
  dialog.PostMessage(kWmProgress, 99);  // posted: not served by this wait
  std::thread worker([&] {
    for (int i = 1; i <= 50; ++i) last = host.SendMessage(kWmProgress, static_cast<std::uintptr_t>(i), 0);
    finished = 1;
  });
  // As the serial engine's Close waits for its monitor thread.
  fw::WaitServingSentMessages(host, [&] { return finished.load() != 0; });
  worker.join();
  EXPECT_EQ(last, 100);
  EXPECT_EQ(dialog.handled, 50);
  EXPECT_EQ(host.GetPos(kProgress), 50);
  host.ServeMessages();
  EXPECT_EQ(host.GetPos(kProgress), 99);
}

TEST(HeadlessMessages, JoinServesTheSendsOfTheThreadItWaitsFor) {
  WorkerDialog dialog;
  fw::HeadlessHost host;
  host.Start(dialog);
  // The worker ends only once all its sends were answered: a plain join here would never return.
  std::thread worker([&] {
    for (int i = 1; i <= 20; ++i) host.SendMessage(kWmProgress, static_cast<std::uintptr_t>(i), 0);
  });
  fw::JoinServingSentMessages(host, [&worker] { worker.join(); });
  EXPECT_EQ(dialog.handled, 20);
  EXPECT_EQ(host.GetPos(kProgress), 20);
}

TEST(HeadlessMessages, SendAfterCloseReturnsAtOnce) {
  WorkerDialog dialog;
  fw::HeadlessHost host;
  host.Start(dialog);
  std::intptr_t result = -1;
  std::thread worker([&] { result = host.SendMessage(kWmProgress, 3, 0); });
  // The worker may be blocked in its send or not yet sent: either way Close releases it.
  host.Close();
  worker.join();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(dialog.handled, 0);
}

TEST(HeadlessMessages, RunModalServesWorkerUntilEnd) {
  WorkerDialog dialog;
  fw::HeadlessHost host;
  std::thread worker([&] {
    for (int i = 1; i <= 10; ++i) host.SendMessage(kWmProgress, static_cast<std::uintptr_t>(i), 0);
    host.PostMessage(kWmDone, 0, 7);
  });
  int result = host.RunModal(dialog);
  worker.join();
  EXPECT_EQ(result, 7);
  EXPECT_EQ(dialog.handled, 10);
}

namespace {

// A small settings dialog: a port list, a rate, a countdown that presses Start by itself.
class SampleDialog : public fw::CDialog {
 public:
  SampleDialog() : CDialog(KitTemplate()) {
    OnClicked(kButton, [this] { Start(); });
    OnCommand(kDropList, fw::Notify::SelChange, [this] { std::string text = "port ";
      text += Combo(kDropList).GetWindowText();
      Item(kStatic).SetWindowText(text); });
  }
  bool OnInitDialog() override {
    for (const char* name : {"COM1", "COM3", "COM10"}) Combo(kDropList).AddString(name);
    Progress(kProgress).SetRange(0, 5);
    Progress(kProgress).SetStep(1);
    CDialog::OnInitDialog();
    SetTimer(1, 1000);
    return true;
  }
  void DoDataExchange(fw::CDataExchange& dx) override {
    fw::DDX_CBString(&dx, kDropList, port);
    fw::DDX_Text(&dx, kIntEdit, rate);
    fw::DDV_MinMaxInt(&dx, rate, 1200, 115200);
  }
  void OnTimer(unsigned) override {
    Progress(kProgress).StepIt();
    std::string left = std::to_string(5 - Progress(kProgress).GetPos());
    left += " s";
    Item(kStatic).SetWindowText(left);
    if (Progress(kProgress).GetPos() == 5) Start();
  }
  void Start() {
    KillTimer(1);
    if (!UpdateData(true)) return;
    ++starts;
    std::string log = "open ";
    log += port;
    log += " at ";
    log += std::to_string(rate);
    log += "\nline 2\nline 3";
    Edit(kMultiEdit).SetWindowText(log);
    Edit(kMultiEdit).LineScroll(2);
  }
  std::string port = "COM3";
  int rate = 9600;
  int starts = 0;
};

}  // namespace

TEST(HeadlessSample, CountdownStartsWithLoadedSettings) {
  SampleDialog dialog;
  fw::HeadlessHost host;
  host.Start(dialog);
  EXPECT_EQ(host.GetWindowText(kDropList), "COM3");
  EXPECT_EQ(host.GetWindowText(kIntEdit), "9600");
  host.Advance(4999);
  EXPECT_EQ(host.GetWindowText(kStatic), "1 s");
  EXPECT_EQ(dialog.starts, 0);
  host.Advance(1);
  EXPECT_EQ(dialog.starts, 1);
  EXPECT_EQ(host.GetWindowText(kMultiEdit), "open COM3 at 9600\nline 2\nline 3");
  EXPECT_EQ(host.Control(kMultiEdit).firstLine, 2);
  host.Advance(5000);
  EXPECT_EQ(dialog.starts, 1);  // the timer is gone
}

TEST(HeadlessSample, UserChangesAndStartsEarlyThenFixesBadRate) {
  SampleDialog dialog;
  dialog.SetDdxPrompts(ChinesePrompts());
  fw::HeadlessHost host;
  host.Start(dialog);
  host.SelectItem(kDropList, 2);
  EXPECT_EQ(host.GetWindowText(kStatic), "port COM10");
  host.Type(kIntEdit, "300");
  host.Click(kButton);
  ASSERT_EQ(host.MessageBoxes().size(), 1u);
  EXPECT_EQ(host.MessageBoxes()[0].text, "“请填入一个在1200和115200之间的整数。”");
  EXPECT_EQ(host.GetFocus(), kIntEdit);
  EXPECT_EQ(dialog.port, "COM10");  // exchanged before the failing check
  EXPECT_EQ(dialog.starts, 0);
  host.Type(kIntEdit, "115200");
  host.Click(kButton);
  EXPECT_EQ(dialog.starts, 1);
  EXPECT_EQ(host.GetWindowText(kMultiEdit).substr(0, 24), "open COM10 at 115200\nlin");
  host.PressEnter();
  EXPECT_EQ(host.Result(), fw::kIdOk);
}

namespace {

constexpr unsigned kAboutCommand = 0x0010;

class MenuDialog : public KitDialog {
 public:
  bool OnSysCommand(unsigned id) override {
    if ((id & 0xFFF0u) != kAboutCommand) return false;
    fw::CDialog about(fw::DialogTemplate{"About", {{fw::kIdOk, fw::ControlKind::Button, "OK"}}});
    aboutResult = DoModal(about);
    return true;
  }
  int aboutResult = 0;
};

fw::DialogTemplate ListTemplate(unsigned style) {
  return {"Lists", {{7, fw::ControlKind::ComboBox, "", style | fw::kComboDropDownList, {}, {"9600", "19200", "115200"}}}};
}

}  // namespace

TEST(HeadlessHostServices, SystemMenuCommandsChildDialogsAndClose) {
  MenuDialog dialog;
  fw::HeadlessHost host;
  host.Start(dialog);
  host.AppendSystemMenu(0, "");
  host.AppendSystemMenu(kAboutCommand, "About");
  ASSERT_EQ(host.SystemMenu().size(), 2u);
  EXPECT_EQ(host.SystemMenu()[0].text, "");
  EXPECT_EQ(host.SystemMenu()[1].commandId, kAboutCommand);

  int childShown = 0;
  host.OnChildDialog([&](fw::HeadlessHost& child) {
    ++childShown;
    EXPECT_TRUE(child.HasControl(fw::kIdOk));
    child.Click(fw::kIdOk);
  });
  host.SystemCommand(0x001F);  // the low four bits do not matter to this dialog
  EXPECT_EQ(childShown, 1);
  EXPECT_EQ(dialog.aboutResult, fw::kIdOk);
  EXPECT_FALSE(host.Ended());

  host.OnChildDialog(nullptr);  // a child left open is cancelled
  host.SystemCommand(kAboutCommand);
  EXPECT_EQ(dialog.aboutResult, fw::kIdCancel);

  host.SystemCommand(0xF060);  // the close box
  EXPECT_TRUE(host.Ended());
  EXPECT_EQ(host.Result(), fw::kIdCancel);
}

TEST(HeadlessHostServices, OpenFileAnswersTickCountAndModuleName) {
  KitDialog dialog;
  fw::HeadlessHost host;
  host.Start(dialog);
  std::string path = "unchanged";
  host.QueueOpenFileAnswer("/data/fw.hex");
  host.QueueOpenFileAnswer(std::nullopt);
  EXPECT_TRUE(host.GetOpenFileName({"Open", "HEX (*.hex)|*.hex", true}, path));
  EXPECT_EQ(path, "/data/fw.hex");
  EXPECT_FALSE(host.GetOpenFileName({"Open", "", true}, path));  // cancelled
  EXPECT_FALSE(host.GetOpenFileName({"Open", "", true}, path));  // no answers left
  EXPECT_EQ(path, "/data/fw.hex");
  ASSERT_EQ(host.OpenFileRequests().size(), 3u);
  EXPECT_EQ(host.OpenFileRequests()[0].filter, "HEX (*.hex)|*.hex");

  const std::uint32_t start = host.GetTickCount();
  host.Advance(1500);
  dialog.Sleep(250);
  EXPECT_EQ(host.GetTickCount() - start, 1750u);

  EXPECT_FALSE(host.GetModuleFileName().empty());
  host.SetModuleFileName("/opt/tool/Brevan.exe");
  EXPECT_EQ(host.GetModuleFileName(), "/opt/tool/Brevan.exe");
}

TEST(HeadlessHostServices, TemplateItemsFillListsInOrderOrSorted) {
  fw::CDialog plain(ListTemplate(0));
  fw::HeadlessHost host;
  host.Start(plain);
  EXPECT_EQ(host.Control(7).items, (std::vector<std::string>{"9600", "19200", "115200"}));
  fw::CDialog sorted(ListTemplate(fw::kSorted));
  fw::HeadlessHost other;
  other.Start(sorted);
  EXPECT_EQ(other.Control(7).items, (std::vector<std::string>{"115200", "19200", "9600"}));
}

TEST(HeadlessRealClock, TimersRunOnTheRealClockUntilACancelRequest) {
  class Ticker : public KitDialog {
   public:
    bool OnInitDialog() override {
      SetTimer(1, 10);
      return true;
    }
    void OnTimer(unsigned) override { ++ticks; }
    std::atomic<int> ticks{0};
  } dialog;
  fw::HeadlessHost host(fw::HostClock::Real);
  std::thread canceller([&] {
    while (dialog.ticks.load() < 3) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    host.RequestCancel();
  });
  EXPECT_EQ(host.RunModal(dialog), fw::kIdCancel);
  canceller.join();
  EXPECT_GE(dialog.ticks.load(), 3);
  // The real clock moved at least as far as the ticks need.
  EXPECT_GE(host.GetTickCount(), 30u);
}

TEST(HeadlessHostServices, RunUntilServesTimersUntilTheConditionOrTheEnd) {
  class Ticker : public KitDialog {
   public:
    bool OnInitDialog() override {
      SetTimer(1, 25);
      return true;
    }
    void OnTimer(unsigned) override {
      if (++ticks == 10) EndDialog(fw::kIdOk);
    }
    int ticks = 0;
  } dialog;
  fw::HeadlessHost host;
  host.Start(dialog);
  EXPECT_TRUE(host.RunUntil([&] { return dialog.ticks >= 4; }));
  EXPECT_EQ(dialog.ticks, 4);
  EXPECT_EQ(host.NowMicroseconds(), 100'000u);  // four periods of virtual time
  EXPECT_FALSE(host.RunUntil([] { return false; }));  // the dialog ends at the tenth tick
  EXPECT_EQ(dialog.ticks, 10);
}
