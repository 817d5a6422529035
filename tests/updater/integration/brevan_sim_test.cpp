// The terminal updater against receiver-sim over a pty in real time, with
// the line's wire timing at 57600 baud: every module type is written whole,
// and the faults end as they should.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <regex>
#include <sstream>
#include <thread>

#include "framework/terminal/terminal_host.h"
#include "support/json_lines.h"
#include "support/posix/pty_testkit.h"
#include "support/process_resources.h"
#include "support/temp_dir.h"
#include "support/test_terminal_host.h"
#include "updater/app/brevan_dlg.h"
#include "updater/app/brevan_terminal.h"
#include "updater/image_bank/image_bank.h"
#include "updater/resources/brevan_templates.h"

using serial::posix::testkit::CChildProcess;

namespace {

struct Module {
  int slot;
  const char* reported;  // the name the loader reports
};

void PrintTo(const Module& m, std::ostream* os) { *os << m.reported; }

// A page frame as the simulator's report records it.
struct PageSeen {
  int address;
  bool acknowledged;
  bool lost;
};

class BrevanSim : public ::testing::Test {
 protected:
  // Without wire timing a reply reaches the port whole, as a USB adapter hands
  // over what came within its latency timer: frames sent together come together.
  void Start(std::vector<std::string> options, bool wireTiming = true) {
    std::vector<std::string> argv = {RECEIVER_SIM_PATH, "--link", link, "--flash-out", flash, "--report", report};
    if (wireTiming) argv.emplace_back("--wire-timing");
    argv.insert(argv.end(), options.begin(), options.end());
    sim = std::make_unique<CChildProcess>(argv);
    ASSERT_TRUE(sim->Ok());
    ASSERT_FALSE(sim->ReadLine(10000).empty()) << "receiver-sim did not come up";
  }
  int Upgrade(std::vector<std::string> args) {
    brevan::TerminalRun run{fw::UiLanguage::English, BREVAN_SHIPPED_PATH, fw::CProfile::AtFile(dir.File("b.INI")),
                            false};
    std::vector<std::string> all = {"--port", link, "--db", "none"};
    all.insert(all.end(), args.begin(), args.end());
    return brevan::RunBrevanTerminal(all, run, out, err);
  }
  std::unique_ptr<brevan::CImageBank> ShippedBank() {
    auto bank = std::make_unique<brevan::CImageBank>(dir.File("pgm.isp"));
    bank->m_strExePath = BREVAN_SHIPPED_PATH;
    bank->PrepareSlots();
    EXPECT_TRUE(bank->FindImageBank());
    EXPECT_TRUE(bank->LoadImageBank());
    return bank;
  }

  // Slot bytes the board's memory does not hold; 0 when it holds the whole image.
  int WrongBytes(int slot) {
    const auto bank = ShippedBank();
    const std::vector<std::uint8_t> image = testing_support::ReadFile(flash);
    if (image.size() != 65536u) return -1;
    const int base = static_cast<int>(brevan::LoadAddress(slot));
    const int length = bank->m_nImageLength[static_cast<std::size_t>(slot)];
    int wrong = 0;
    for (int o = 0; o < length; ++o)
      if (image[static_cast<std::size_t>((base + o) & 0xFFFF)] !=
          bank->m_imageBank[static_cast<std::size_t>(slot)][static_cast<std::size_t>(o)])
        ++wrong;
    return wrong;
  }
  int Pages(int slot) { return ShippedBank()->m_nImageLength[static_cast<std::size_t>(slot)] / 128; }
  // Every page frame the loader saw, in order; the report is complete once the simulator has stopped.
  std::vector<PageSeen> PagesSeen() {
    sim->Stop();
    const std::vector<std::uint8_t> bytes = testing_support::ReadFile(report);
    const std::string text(bytes.begin(), bytes.end());
    static const std::regex kPage(R"(\{"atUs":\d+,"address":(\d+),"acknowledged":(true|false),"lost":(true|false)\})");
    std::vector<PageSeen> pages;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), kPage); it != std::sregex_iterator(); ++it)
      pages.push_back({std::stoi((*it)[1]), (*it)[2] == "true", (*it)[3] == "true"});
    return pages;
  }
  // The pages went out in address order from base, each page until it was taken, none skipped;
  // the addresses that went out more than once.
  static std::vector<int> CheckPageOrder(const std::vector<PageSeen>& pages, int base, int count) {
    std::vector<int> repeated;
    int expected = base;
    for (std::size_t i = 0; i < pages.size(); ++i) {
      if (i > 0 && pages[i].address == pages[i - 1].address) {
        if (repeated.empty() || repeated.back() != pages[i].address) repeated.push_back(pages[i].address);
        continue;
      }
      EXPECT_EQ(pages[i].address, expected & 0xFFFF) << "frame " << i << ": a page was skipped";
      if (i > 0) {
        EXPECT_FALSE(pages[i - 1].lost) << "frame " << i - 1 << " was lost and never sent again";
      }
      expected = pages[i].address + 128;
    }
    EXPECT_EQ(expected, (base + 128 * count) & 0xFFFF) << "the last page did not go out";
    if (!pages.empty()) {
      EXPECT_FALSE(pages.back().lost);
    }
    return repeated;
  }

  // An upgrade at tick pacing with its result as JSON, for the pages it sent again.
  int UpgradeCounted(std::vector<std::string> args = {}) {
    args.emplace_back("--json");
    return Upgrade(args);
  }
  // Acknowledgements the run cleared with the tick they came in (only a loaded
  // machine stalls a tick that long): a page's own sent it once more, a late
  // one for an earlier page sent nothing.
  int AcksLostInTick() {
    const auto results = testing_support::EventsNamed(testing_support::ParseJsonLines(out.str()), "result");
    if (results.size() != 1u) {
      ADD_FAILURE() << "no single result in " << out.str();
      return 0;
    }
    return results.front()["acks_lost_in_tick"].get<int>();
  }
  // The pages sent again are those the faults caused, and at most one more
  // for each acknowledgement cleared with its tick.
  void ExpectRepeats(const std::vector<PageSeen>& pages, int base, int count, const std::vector<int>& caused) {
    const std::vector<int> repeated = CheckPageOrder(pages, base, count);
    const int lost = AcksLostInTick();
    if (lost == 0) {
      EXPECT_EQ(repeated, caused);
    } else {
      for (const int address : caused)
        EXPECT_NE(std::find(repeated.begin(), repeated.end(), address), repeated.end()) << address;
    }
    const int least = count + static_cast<int>(caused.size());
    EXPECT_GE(static_cast<int>(pages.size()), least);
    EXPECT_LE(static_cast<int>(pages.size()), least + lost) << lost << " acknowledgements cleared with their tick";
  }

  testing_support::TempDir dir;
  std::string link = dir.File("receiver");
  std::string flash = dir.File("flash.bin");
  std::string report = dir.File("report.json");
  std::unique_ptr<CChildProcess> sim;
  std::ostringstream out, err;
};

class BrevanSimModules : public BrevanSim, public ::testing::WithParamInterface<Module> {};

enum class Meddle { None, KillTheSimulator, HoldThePort };

struct FaultRow {
  const char* name;
  std::vector<std::string> sim;  // receiver-sim's options besides the module
  int exit;
  const char* message;
  Meddle meddle = Meddle::None;
  bool orTimeOut = false;  // noise: a page whose every repeat was bent may end in the time-out instead
};

void PrintTo(const FaultRow& row, std::ostream* os) { *os << row.name; }

class BrevanSimFaults : public BrevanSim, public ::testing::WithParamInterface<FaultRow> {};

}  // namespace

TEST_P(BrevanSimModules, WritesTheSlotAtItsAddresses) {
  const Module m = GetParam();
  Start({"--module", m.reported});
  ASSERT_EQ(Upgrade({"--baud", "9600"}), brevan::kExitUpgraded) << out.str() << err.str();
  EXPECT_NE(out.str().find("Status:>>Congratulations! updated!"), std::string::npos) << out.str();
  EXPECT_EQ(WrongBytes(m.slot), 0);
}

INSTANTIATE_TEST_SUITE_P(EveryModuleType, BrevanSimModules,
                         ::testing::Values(Module{0, "GTM900-2"}, Module{1, "CM320-2"}, Module{2, "EM310.00"},
                                           Module{3, "EM200.00"}, Module{4, "GC864.QUAD"}, Module{5, "MC75.i"},
                                           Module{6, "CC864.DUAL"}, Module{7, "NET100.A"}, Module{8, "UC864-E"},
                                           Module{9, "GL868.DUAL"}),
                         [](const auto& p) { return "slot" + std::to_string(p.param.slot); });

TEST_F(BrevanSim, LostAcknowledgementsAreRecoveredByTheRetry) {
  Start({"--module", "EM200.00", "--drop-ack", "1,5,6,40"});
  ASSERT_EQ(Upgrade({}), brevan::kExitUpgraded) << out.str();
  EXPECT_EQ(WrongBytes(3), 0);
}

// Replies at byte pace: the identification answers to the queries of UPDATE
// and of the first ticks arrive while the first pages go out. None of them may
// stand for a page's acknowledgement, or a page lost after it is never sent again.
TEST_F(BrevanSim, AtBytePaceALostAcknowledgementSendsItsPageAgain) {
  Start({"--module", "GTM900-2", "--split", "bytes", "--drop-ack", "5"});
  ASSERT_EQ(UpgradeCounted(), brevan::kExitUpgraded) << out.str();
  EXPECT_EQ(WrongBytes(0), 0);
  ExpectRepeats(PagesSeen(), 0x2000, Pages(0), {0x2000 + 4 * 128});
}

TEST_F(BrevanSim, AtBytePaceLostPageFramesAreSentAgain) {
  Start({"--module", "EM310.00", "--split", "bytes", "--drop-page", "2,20,100"});
  ASSERT_EQ(UpgradeCounted(), brevan::kExitUpgraded) << out.str();
  EXPECT_EQ(WrongBytes(2), 0);
  const std::vector<PageSeen> pages = PagesSeen();
  std::vector<int> lostFrames;
  for (std::size_t i = 0; i < pages.size(); ++i)
    if (pages[i].lost) lostFrames.push_back(pages[i].address);
  ASSERT_EQ(lostFrames.size(), 3u);
  ExpectRepeats(pages, 0x2000, Pages(2), lostFrames);
}

// Answers 100 ms late: four queries go unanswered before the first answer, so
// four stale answers come in while pages are written, and a page frame is lost among them.
TEST_F(BrevanSim, LateIdentificationAnswersAcknowledgeNoPage) {
  Start({"--module", "CC864.DUAL", "--split", "bytes", "--late-answer", "100", "--drop-page", "3"});
  ASSERT_EQ(UpgradeCounted(), brevan::kExitUpgraded) << out.str();
  EXPECT_EQ(WrongBytes(6), 0);
  ExpectRepeats(PagesSeen(), 0x4000, Pages(6), {0x4000 + 2 * 128});
}

// Page 7's acknowledgement comes 2 s late, after its repeat went out at 61 ticks:
// the two acknowledgements of one page must not leave a page unwritten.
TEST_F(BrevanSim, APageAcknowledgedOnlyAfterItsRepeatIsStillWrittenWhole) {
  Start({"--module", "GTM900-2", "--split", "bytes", "--late-ack", "2000", "--late-ack-pages", "7"});
  ASSERT_EQ(UpgradeCounted(), brevan::kExitUpgraded) << out.str();
  EXPECT_EQ(WrongBytes(0), 0);
  ExpectRepeats(PagesSeen(), 0x2000, Pages(0), {0x2000 + 6 * 128});
}

TEST_F(BrevanSim, SilentLoaderEndsInTheTimeOut) {
  Start({"--silent"});
  EXPECT_EQ(Upgrade({}), brevan::kExitTimedOut) << out.str();
  EXPECT_NE(out.str().find("ERROR:>>OVERTIME!"), std::string::npos);
  EXPECT_NE(out.str().find("Status:>>Counting down 01S!"), std::string::npos);
}

// The built program against a loader that goes silent for good after its 5th
// page: the time-out's code, and the board holds those 5 pages and nothing more.
TEST_F(BrevanSim, ALoaderSilentAfterPageFiveLeavesFivePagesAndTheTimeOut) {
  constexpr int kStop = 5;
  Start({"--module", "GTM900-2", "--stop-after", std::to_string(kStop)});
  // Its own profile folder, so that a run leaves nothing in the user's.
  const std::string command = "XDG_CONFIG_HOME='" + dir.File("config") + "' '" + BREVAN_SHIPPED_PATH + "' --port '" +
                              link + "' --baud 9600 >'" + dir.File("brevan.out") + "' 2>&1";
  const int status = std::system(command.c_str());
  const std::vector<std::uint8_t> printed = testing_support::ReadFile(dir.File("brevan.out"));
  const std::string text(printed.begin(), printed.end());
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), brevan::kExitTimedOut) << text;
  EXPECT_NE(text.find("ERROR:>>OVERTIME!"), std::string::npos) << text;

  const auto bank = ShippedBank();
  const std::vector<std::uint8_t> image = testing_support::ReadFile(flash);
  ASSERT_EQ(image.size(), 65536u);
  int pagesHeld = 0;
  for (std::size_t page = 0; page < 512; ++page) {
    const auto first = image.begin() + static_cast<std::ptrdiff_t>(page * 128);
    if (std::all_of(first, first + 128, [](std::uint8_t b) { return b == 0xFF; })) continue;
    ++pagesHeld;
    const std::size_t offset = page * 128 - 0x2000;  // slot 0 starts at 0x2000
    ASSERT_LT(offset, static_cast<std::size_t>(kStop) * 128) << "page at " << page * 128 << " was written";
    EXPECT_TRUE(std::equal(first, first + 128, bank->m_imageBank[0].begin() + static_cast<std::ptrdiff_t>(offset)))
        << "page at " << page * 128 << " differs from the slot";
  }
  EXPECT_EQ(pagesHeld, kStop);
  const std::vector<PageSeen> pages = PagesSeen();
  ASSERT_GT(pages.size(), static_cast<std::size_t>(kStop)) << "the 6th page never went out";
  EXPECT_EQ(pages[kStop].address, 0x2000 + kStop * 128);
  EXPECT_FALSE(pages.back().acknowledged);
}

TEST_F(BrevanSim, RefusalEndsWithItsCode) {
  Start({"--refuse"});
  EXPECT_EQ(Upgrade({}), brevan::kExitRefused) << out.str();
  EXPECT_NE(out.str().find("ERROR:>>not for this type receiver!"), std::string::npos);
}

TEST_F(BrevanSim, BreakStartRunsAtNineThousandSixHundredThenTheLoaderRate) {
  Start({"--module", "NET100.A"});
  EXPECT_EQ(Upgrade({"--baud", "BREAK"}), brevan::kExitUpgraded) << out.str();
}

TEST_F(BrevanSim, PortThatIsNotThereGivesItsCode) {
  EXPECT_EQ(Upgrade({}), brevan::kExitPortFailed);
  EXPECT_NE(out.str().find("Status:>>COM port wrong!"), std::string::npos);
}

namespace {

// The updater window on the terminal host, its message boxes held open like
// real ones until a person (a thread here) answers them after holdMs.
struct HeldBoxRun {
  std::ostringstream out;
  testing_support::TestTerminalHost host{out, false};
  std::unique_ptr<brevan::CBrevanDlg> dialog;
  std::chrono::steady_clock::time_point answeredAt{};
  std::string boxText;

  explicit HeldBoxRun(const std::string& iniPath)
      : dialog(std::make_unique<brevan::CBrevanDlg>(fw::UiLanguage::English, fw::CProfile::AtFile(iniPath))) {}

  // onHang runs before a hung process ends itself (the far end must not outlive it).
  void Upgrade(const std::string& port, int holdMs, const std::function<void()>& onHang) {
    host.HoldMessageBoxes(true);
    host.WatchStatus(brevan::IDC_EDIT_STATUS);
    host.SetModuleFileName(BREVAN_SHIPPED_PATH);
    host.Start(*dialog);
    std::atomic<bool> done{false};
    std::thread person([&] {
      while (!done.load() && host.OpenMessageBoxes() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
      if (done.load()) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
      answeredAt = std::chrono::steady_clock::now();
      host.AnswerMessageBoxes();
    });
    // A UI thread stuck in Close cannot fail the test by itself.
    std::thread watchdog([&] {
      for (int i = 0; i < 600 && !done.load(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
      if (!done.load()) {
        std::fprintf(stderr, "the updater hung in Close with a message box open\n");
        onHang();
        std::_Exit(99);
      }
    });
    ASSERT_TRUE(host.Type(brevan::IDC_COMBO_PORT, port));
    ASSERT_TRUE(host.Click(fw::kIdOk));
    host.RunUntil([&] { return !dialog->UpgradeRunning(); });
    done = true;
    person.join();
    watchdog.join();
    const auto boxes = host.MessageBoxes();
    if (!boxes.empty()) boxText = boxes.front().text;
  }
};

}  // namespace

// The loader's ',' comes with the last page's acknowledgement, so its box is
// open when the upgrade ends: Close waits for the monitor thread inside that
// box, and the box's closing sends to the UI thread. The wait must serve it.
// The two frames reach the port together; at wire pace the ',' may come after
// the tick that closes the port, and then no box is shown at all.
TEST_F(BrevanSim, AFinishBoxOpenAsTheUpgradeEndsIsServedByTheClose) {
  Start({"--module", "GTM900-2", "--finish-after", std::to_string(Pages(0))}, false);
  HeldBoxRun run(dir.File("b.INI"));
  run.Upgrade(link, 1500, [this] { sim->Kill(); });
  const auto ended = std::chrono::steady_clock::now();
  EXPECT_EQ(run.dialog->Outcome(), brevan::UpgradeOutcome::Completed) << run.out.str();
  EXPECT_EQ(run.boxText, "Upgrade finish!");
  EXPECT_NE(run.out.str().find("Status:>>Congratulations! updated!"), std::string::npos);
  EXPECT_GE(ended, run.answeredAt);  // the upgrade's end waited for the box
  EXPECT_FALSE(run.dialog->m_tty.IsConnected());
  EXPECT_EQ(WrongBytes(0), 0);
}

// The loader's '0' box after page 3 holds the monitor thread for 3 s while the
// ticks go on: the page waiting for its acknowledgement is sent again, and once
// the box is answered the upgrade goes on to the end.
TEST_F(BrevanSim, AZeroBoxHeldMidUpgradeDelaysButDoesNotBreakIt) {
  Start({"--module", "MC75.i", "--zero-after", "3"});
  HeldBoxRun run(dir.File("b.INI"));
  run.Upgrade(link, 3000, [this] { sim->Kill(); });
  EXPECT_EQ(run.dialog->Outcome(), brevan::UpgradeOutcome::Completed) << run.out.str();
  EXPECT_EQ(run.boxText, "48");
  EXPECT_EQ(WrongBytes(5), 0);
  const std::vector<PageSeen> pages = PagesSeen();
  ASSERT_GT(pages.size(), 4u);
  EXPECT_EQ(pages[3].address, pages[4].address);  // page 4 went again while the box was open
}

// One fault each against the real engine, slot 6 (CC864, 132 pages): the exit code and the line that
// says why, every byte in place after a success, and no thread or descriptor left behind.
TEST_P(BrevanSimFaults, EndsAsTheFaultAllows) {
  const FaultRow& row = GetParam();
  std::vector<std::string> options = {"--module", "CC864.DUAL"};
  options.insert(options.end(), row.sim.begin(), row.sim.end());
  Start(options);
  int holder = -1;
  if (row.meddle == Meddle::HoldThePort) {
    holder = ::open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
  }
  std::thread([] {}).join();  // the thread sanitizer's own helper starts with a process's first thread
  const auto before = testing_support::SettledProcessResources();
  std::thread killer;
  if (row.meddle == Meddle::KillTheSimulator) {
    killer = std::thread([this] {
      std::this_thread::sleep_for(std::chrono::seconds(3));  // some 100 pages in
      sim->Kill();
    });
  }
  const auto started = std::chrono::steady_clock::now();
  const int code = Upgrade({});
  if (killer.joinable()) killer.join();
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  const auto after = testing_support::SettledProcessResources();
  EXPECT_EQ(after.threads, before.threads);
  EXPECT_EQ(after.descriptors, before.descriptors);
  if (holder >= 0) ::close(holder);
  if (row.orTimeOut && code == brevan::kExitTimedOut) {
    EXPECT_NE(out.str().find("ERROR:>>OVERTIME!"), std::string::npos) << out.str();
  } else {
    EXPECT_EQ(code, row.exit) << out.str() << err.str();
    EXPECT_NE(out.str().find(row.message), std::string::npos) << out.str();
  }
  EXPECT_LT(seconds, 30.0);
  if (code == brevan::kExitUpgraded) {
    EXPECT_EQ(WrongBytes(6), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, BrevanSimFaults,
    ::testing::Values(
        FaultRow{"SplitRandom", {"--split", "random", "--seed", "3"}, brevan::kExitUpgraded, "Status:>>Congratulations! updated!"},
        FaultRow{"Garbage", {"--garbage", "--seed", "4"}, brevan::kExitUpgraded, "Status:>>Congratulations! updated!"},
        FaultRow{"Damage", {"--damage"}, brevan::kExitUpgraded, "Status:>>Congratulations! updated!"},
        FaultRow{"Babble", {"--babble", "50"}, brevan::kExitUpgraded, "Status:>>Congratulations! updated!"},
        FaultRow{"NoiseToPc", {"--noise", "0.003", "--seed", "7"}, brevan::kExitUpgraded, "Status:>>Congratulations! updated!",
                 Meddle::None, true},
        FaultRow{"PortVanishes", {}, brevan::kExitTimedOut, "ERROR:>>OVERTIME!", Meddle::KillTheSimulator},
        FaultRow{"PortHeldByAnother", {}, brevan::kExitPortFailed, "Status:>>COM port wrong!", Meddle::HoldThePort}),
    [](const auto& p) { return std::string(p.param.name); });

namespace {

struct PacedRow {
  const char* name;
  const char* pace;
  Module module;
  std::vector<std::string> faults;  // receiver-sim's options
  int exit;
};

void PrintTo(const PacedRow& row, std::ostream* os) { *os << row.name; }

class BrevanSimPaced : public BrevanSim, public ::testing::WithParamInterface<PacedRow> {};

}  // namespace

// The acknowledgement pacing against the line's wire timing, a split and a flat layout, and the page
// faults: the same outcomes as the tick's, every page in order, none skipped.
TEST_P(BrevanSimPaced, EndsAsTheTickPacingDoes) {
  const PacedRow& row = GetParam();
  std::vector<std::string> options = {"--module", row.module.reported};
  options.insert(options.end(), row.faults.begin(), row.faults.end());
  Start(options);
  ASSERT_EQ(Upgrade({"--baud", "9600", "--pace", row.pace}), row.exit) << out.str() << err.str();
  const int base = static_cast<int>(brevan::LoadAddress(row.module.slot));
  if (row.exit == brevan::kExitUpgraded) {
    EXPECT_EQ(WrongBytes(row.module.slot), 0);
    CheckPageOrder(PagesSeen(), base, Pages(row.module.slot));
  } else {
    EXPECT_NE(out.str().find("ERROR:>>OVERTIME!"), std::string::npos) << out.str();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Pacing, BrevanSimPaced,
    ::testing::Values(
        // The tick pacing of the same two layouts is EveryModuleType's slot0 and slot7.
        PacedRow{"AckSplitLayout", "ack", {0, "GTM900-2"}, {}, brevan::kExitUpgraded},
        PacedRow{"AckFlatLayout", "ack", {7, "NET100.A"}, {}, brevan::kExitUpgraded},
        PacedRow{"AckLostAcknowledgements", "ack", {3, "EM200.00"}, {"--drop-ack", "1,5,6,40"}, brevan::kExitUpgraded},
        PacedRow{"AckBytePaceLostAcknowledgement", "ack", {0, "GTM900-2"}, {"--split", "bytes", "--drop-ack", "5"},
                 brevan::kExitUpgraded},
        PacedRow{"AckBytePaceLostPageFrames", "ack", {2, "EM310.00"}, {"--split", "bytes", "--drop-page", "2,20,100"},
                 brevan::kExitUpgraded},
        PacedRow{"AckLateIdentificationAnswers", "ack", {6, "CC864.DUAL"},
                 {"--split", "bytes", "--late-answer", "100", "--drop-page", "3"}, brevan::kExitUpgraded},
        PacedRow{"AckLateAcknowledgementAfterTheRepeat", "ack", {0, "GTM900-2"},
                 {"--split", "bytes", "--late-ack", "2000", "--late-ack-pages", "7"}, brevan::kExitUpgraded},
        PacedRow{"AckLoaderSilentAfterPageFive", "ack", {0, "GTM900-2"}, {"--stop-after", "5"},
                 brevan::kExitTimedOut}),
    [](const auto& p) { return std::string(p.param.name); });
