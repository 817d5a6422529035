// The upgrade on the headless host with the receiver model on the virtual
// clock: every way an upgrade runs and ends, as the window shows it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>

#include "brevan_dialog_harness.h"
#include "updater/resources/brevan_strings.h"

using namespace brevantest;
using brevan::UpgradeOutcome;

namespace {

sim::ModelOptions Board(std::string module = "GTM900-2") {
  sim::ModelOptions o;
  o.module = std::move(module);
  o.softwareVersion = "0";  // no image is older than this
  return o;
}

// The slot's bytes below its length must sit in the board's flash at the
// slot's base address (low 16 bits).
void ExpectFlashed(const Rig& rig, int slot) {
  const brevan::CImageBank& bank = rig.dialog->m_bank;
  const auto flash = const_cast<serial::CModelFarEnd&>(rig.far).Model().Flash();
  const int base = static_cast<int>(brevan::LoadAddress(slot));
  const int length = bank.m_nImageLength[static_cast<std::size_t>(slot)];
  int wrong = 0;
  for (int o = 0; o < length; ++o)
    if (flash[static_cast<std::size_t>((base + o) & 0xFFFF)] != bank.m_imageBank[static_cast<std::size_t>(slot)][static_cast<std::size_t>(o)]) ++wrong;
  EXPECT_EQ(wrong, 0) << "slot " << slot;
}

int CountLines(const std::string& text, std::string_view line) {
  int n = 0;
  for (std::size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++n;
  return n;
}

}  // namespace

TEST(BrevanUpgrade, WritesTheReportedModulesSlotAndCompletes) {
  Rig rig(Board("CC864.DUAL"));
  rig.Start();
  ASSERT_TRUE(rig.host.Click(fw::kIdOk));
  EXPECT_EQ(rig.dialog->Outcome(), UpgradeOutcome::Running);
  EXPECT_TRUE(rig.host.HasTimer(1));
  rig.RunUntilIdle(60'000);
  EXPECT_EQ(rig.dialog->Outcome(), UpgradeOutcome::Completed);
  EXPECT_FALSE(rig.host.HasTimer(1));
  EXPECT_FALSE(rig.port->Inner().IsOpen());
  ExpectFlashed(rig, 6);
  const sim::Report& report = rig.Report();
  ASSERT_FALSE(report.pages.empty());
  EXPECT_EQ(report.pages.front().address, 0x4000);
  EXPECT_EQ(static_cast<int>(report.pages.size()), rig.dialog->m_bank.m_nImageLength[6] / 128);
  EXPECT_EQ(rig.Status(), "Status:>>updating,please wait......\r\nStatus:>>Congratulations! updated!\r\n");
  EXPECT_EQ(rig.host.GetWindowText(brevan::IDC_EDIT_HARDWARE_VERSION), "CC864.DUAL");
  EXPECT_EQ(rig.host.GetWindowText(brevan::IDC_EDIT_SOFTWARE_VERSION), "0");
  EXPECT_EQ(rig.dialog->m_tty.m_bProbing, 1);
}

TEST(BrevanUpgrade, UpdateSendsTheCommandThreeTimesThenProbesAtTheLoaderRate) {
  Rig rig(Board());
  rig.Start();
  std::string sent;
  rig.port->onWrite = [&](std::span<const std::uint8_t> bytes) { sent.append(bytes.begin(), bytes.end()); };
  rig.host.Click(fw::kIdOk);
  const std::string command = "\r\nKAVEL,SOFTWARE,\r\n";
  const std::string query("\x24\x2D\xD2\x01\x00\x00\xDA\x0D\x0A", 9);
  EXPECT_EQ(sent, command + command + command + query);
  const serial::LoopbackLog& log = rig.port->Inner().Log();
  ASSERT_GE(log.rates.size(), 2u);
  EXPECT_EQ(log.rates.front(), 9600u);
  EXPECT_EQ(log.rates.back(), 57600u);
  EXPECT_EQ(rig.Status(),
            "Status:>>updating software running\r\nStatus:>>COM port opened!\r\n"
            "Status:>>please power on GPRS module!\r\n");
  rig.Run(1);  // the board hears the command three times and the query once
  const sim::Report& report = rig.Report();
  EXPECT_TRUE(report.upgradeStarted);
  EXPECT_EQ(report.queries, 1u);
}

TEST(BrevanUpgrade, PortThatDoesNotOpenLeavesNoTimer) {
  Rig rig(Board());
  rig.Start();
  rig.host.Type(brevan::IDC_COMBO_PORT, "COM9");
  rig.host.Click(fw::kIdOk);
  EXPECT_EQ(rig.dialog->Outcome(), UpgradeOutcome::PortFailed);
  EXPECT_FALSE(rig.host.HasTimer(1));
  EXPECT_EQ(rig.Status(), "Status:>>updating software running\r\nStatus:>>COM port wrong!\r\n");
}

TEST(BrevanUpgrade, SilentLoaderCountsDownFifteenSecondsThenTimesOut) {
  sim::ModelOptions silent = Board();
  silent.silent = true;
  Rig rig(silent);
  rig.Start();
  rig.host.Click(fw::kIdOk);
  std::vector<int> positions;
  std::vector<std::string> captions;
  for (int second = 0; second < 16; ++second) {
    rig.Run(second == 0 ? 25 : 1000);
    positions.push_back(rig.dialog->m_progress.Pos());
    captions.push_back(rig.dialog->m_progress.TextPrefix());
  }
  // Each second sets the position, then steps it once by 10.
  const std::vector<int> set = {93, 87, 81, 75, 68, 62, 56, 50, 43, 37, 31, 25, 18, 12, 6, 0};
  for (std::size_t i = 0; i < set.size(); ++i) EXPECT_EQ(positions[i], set[i] + 10) << i;
  EXPECT_EQ(captions.front(), "counting down 15S ");
  EXPECT_EQ(captions[14], "counting down 01S ");
  EXPECT_EQ(captions.back(), "counting down 00S ");
  EXPECT_EQ(rig.dialog->Outcome(), UpgradeOutcome::TimedOut);
  EXPECT_EQ(rig.Status(), "ERROR:>>OVERTIME!\r\n");  // alone; the log itself is unchanged
  EXPECT_EQ(rig.dialog->m_run.m_nProbeTicks, 601);
  EXPECT_EQ(rig.Report().queries, 602u);  // the one UPDATE sent, then one per tick
  EXPECT_FALSE(rig.port->Inner().IsOpen());
}

TEST(BrevanUpgrade, CountdownLineIsReplacedEachSecondAndStandsLast) {
  sim::ModelOptions silent = Board();
  silent.silent = true;
  Rig rig(silent);
  rig.Start();
  rig.host.Click(fw::kIdOk);
  rig.Run(25);
  const std::string log = rig.dialog->m_strStatus;
  EXPECT_EQ(rig.Status(), log + "Status:>>Counting down 15S!\r\n");
  rig.Run(1000);
  EXPECT_EQ(rig.Status(), log + "Status:>>Counting down 14S!\r\n");
  EXPECT_EQ(rig.dialog->m_strStatus, log);
}

TEST(BrevanUpgrade, RefusalEndsTheUpgrade) {
  sim::ModelOptions refuse = Board();
  refuse.refuse = true;
  Rig rig(refuse);
  rig.Start();
  rig.host.Click(fw::kIdOk);
  rig.RunUntilIdle(20'000);
  EXPECT_EQ(rig.dialog->Outcome(), UpgradeOutcome::Refused);
  EXPECT_NE(rig.Status().find("ERROR:>>not for this type receiver!\r\n"), std::string::npos);
  EXPECT_TRUE(rig.Report().pages.empty());
}

TEST(BrevanUpgrade, RefusalAndNameBeforeOneTickDecideByTheirOrder) {
  for (bool refusalFirst : {true, false}) {
    sim::ModelOptions silent = Board();
    silent.silent = true;
    Rig rig(silent);
    rig.Start();
    rig.host.Click(fw::kIdOk);
    const std::vector<std::uint8_t> refusal = {0x24, '+', 0xFF - '+', 0, 0, 0, 0, 0xDB, 0, 0};
    std::vector<std::uint8_t> name = {0x24, '-', 0xFF - '-', 5, 0, 0, 0, 'M', 'C', '7', '5', '.', 0xFC, 0, 0};
    auto& tty = rig.dialog->m_tty;
    if (refusalFirst) {
      tty.ParseReplies(refusal.data(), static_cast<int>(refusal.size()));
      tty.ParseReplies(name.data(), static_cast<int>(name.size()));
    } else {
      tty.ParseReplies(name.data(), static_cast<int>(name.size()));
      tty.ParseReplies(refusal.data(), static_cast<int>(refusal.size()));
    }
    rig.Run(25);
    EXPECT_EQ(rig.dialog->Outcome(), refusalFirst ? UpgradeOutcome::Running : UpgradeOutcome::Refused) << refusalFirst;
  }
}

TEST(BrevanUpgrade, UnansweredPageGoesSevenTimesThenTimesOut) {
  sim::ModelOptions drop = Board();
  drop.dropAckPages = {3, 4, 5, 6, 7, 8, 9};  // the third page and all its repeats
  Rig rig(drop);
  rig.Start();
  rig.host.Click(fw::kIdOk);
  rig.RunUntilIdle(60'000);
  EXPECT_EQ(rig.dialog->Outcome(), UpgradeOutcome::TimedOut);
  const auto& writes = rig.Report().pageWrites;
  ASSERT_TRUE(writes.count(0x2000 + 256));
  EXPECT_EQ(writes.at(0x2000 + 256), 7u);
  EXPECT_EQ(rig.Report().pages.size(), 2u + 7u);
  EXPECT_NE(rig.Status().find("ERROR:>>OVERTIME!\r\n"), std::string::npos);
}

TEST(BrevanUpgrade, LostAcknowledgementIsRecoveredByTheRepeatAfterSixtyOneTicks) {
  sim::ModelOptions drop = Board("EM310.00");
  drop.dropAckPages = {2};
  Rig rig(drop);
  rig.Start();
  rig.host.Click(fw::kIdOk);
  rig.RunUntilIdle(60'000);
  EXPECT_EQ(rig.dialog->Outcome(), UpgradeOutcome::Completed);
  ExpectFlashed(rig, 2);
  EXPECT_EQ(rig.Report().pageWrites.at(0x2000 + 128), 2u);
}

TEST(BrevanUpgrade, AcknowledgementDuringTheSendingTickIsLost) {
  sim::ModelOptions silent = Board();
  silent.silent = true;
  Rig rig(silent);
  rig.Start();
  rig.host.Click(fw::kIdOk);
  auto& tty = rig.dialog->m_tty;
  // The board answers the first query with its name; no acknowledgement follows on its own.
  const std::vector<std::uint8_t> name = {0x24, '-', 0xFF - '-', 8, 0, 0, 0, 'G', 'T', 'M', '9', '0', '0', '-', '2', 0xAB, 0, 0};
  tty.ParseReplies(name.data(), static_cast<int>(name.size()));
  int pagesSent = 0;
  std::vector<int> pageTicks;
  int tick = 0;
  std::vector<std::uint8_t> sent;
  rig.port->onWrite = [&](std::span<const std::uint8_t> bytes) {
    static const std::uint8_t ack[] = {0x24, '1', 0xFF - '1', 0, 0, 0, 0, 0xDB, 0, 0};
    sent.insert(sent.end(), bytes.begin(), bytes.end());
    // A page frame goes out byte by byte; it is whole 133 bytes after its "$,\xD3" start.
    if (sent.size() >= 133 && sent[sent.size() - 133] == 0x24 && sent[sent.size() - 132] == 0x2C &&
        sent[sent.size() - 131] == 0xD3) {
      ++pagesSent;
      pageTicks.push_back(tick);
      sent.clear();
      tty.ParseReplies(ack, sizeof ack);  // answered at once, within the tick that sent it
    }
  };
  for (tick = 0; tick < 200; ++tick) rig.Run(25);
  // The first page goes on the 61st writing tick; its instant acknowledgement is cleared by that
  // same tick, so the page goes again 61 ticks later, and again.
  ASSERT_GE(pagesSent, 3);
  EXPECT_EQ(pageTicks[1] - pageTicks[0], 61);
  EXPECT_EQ(rig.dialog->m_run.m_nPageOffset, 0);
}

TEST(BrevanUpgrade, SplitRepliesAndGarbageStillComplete) {
  sim::ModelOptions split = Board("GL868.V1");
  split.split = sim::Split::Bytes;
  split.garbage = true;
  split.damage = true;
  Rig rig(split);
  rig.Start();
  rig.host.Click(fw::kIdOk);
  rig.RunUntilIdle(120'000);
  EXPECT_EQ(rig.dialog->Outcome(), UpgradeOutcome::Completed);
  ExpectFlashed(rig, 9);
}

TEST(BrevanUpgrade, UpdateDuringWritingStartsAfresh) {
  Rig rig(Board());
  rig.Start();
  rig.host.Click(fw::kIdOk);
  rig.Run(2000);
  ASSERT_GT(rig.dialog->m_run.m_nPageOffset, 0);
  const std::size_t pagesBefore = rig.Report().pages.size();
  rig.host.Click(fw::kIdOk);
  EXPECT_EQ(rig.dialog->m_run.m_nPageOffset, -128);
  EXPECT_EQ(rig.dialog->m_tty.m_bProbing, 1);
  EXPECT_NE(rig.Status().find("Status:>>COM port opened!\r\n"), std::string::npos);
  rig.RunUntilIdle(60'000);
  EXPECT_EQ(rig.dialog->Outcome(), UpgradeOutcome::Completed);
  EXPECT_GT(rig.Report().pages.size(), pagesBefore);
  EXPECT_EQ(rig.Report().pageWrites.at(0x2000), 2u);  // the first page went twice: once per upgrade
  ExpectFlashed(rig, 0);
}

TEST(BrevanUpgrade, OlderImageThanTheBoardsSoftwareGivesTheNoticeTwice) {
  sim::ModelOptions newer = Board();
  newer.softwareVersion = "999999999";
  Rig rig(newer);
  rig.Start();
  rig.host.Click(fw::kIdOk);
  rig.RunUntilIdle(60'000);
  EXPECT_EQ(rig.dialog->Outcome(), UpgradeOutcome::Completed);
  EXPECT_EQ(CountLines(rig.Status(), "Status:>>Old Frameware\r\n"), 1);
  const auto boxes = rig.host.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Status:>>Old Frameware");
}

TEST(BrevanUpgrade, ChineseTexts) {
  sim::ModelOptions refuse = Board();
  refuse.refuse = true;
  Rig rig(refuse, fw::UiLanguage::Chinese);
  rig.Start();
  rig.host.Click(fw::kIdOk);
  rig.RunUntilIdle(20'000);
  EXPECT_EQ(rig.Status(),
            "状态:>>升级程序已经启动\r\n状态:>>串口打开完毕\r\n状态:>>请重新开启GPRS，以便可以进行固件升级!\r\n"
            "错误:>>不是此机型升级程序!\r\n");

  sim::ModelOptions silent = Board();
  silent.silent = true;
  Rig waiting(silent, fw::UiLanguage::Chinese);
  waiting.Start();
  waiting.host.Click(fw::kIdOk);
  waiting.Run(25);
  EXPECT_EQ(waiting.dialog->m_progress.TextPrefix(), "剩余时间15秒 ");
  EXPECT_EQ(waiting.Status(), waiting.dialog->m_strStatus + "状态:>>剩余时间15秒!\r\n");
}

TEST(BrevanUpgrade, ProfileIsWrittenByUpdateAndReadAtStartUp) {
  {
    Rig rig(Board());
    rig.Start();
    EXPECT_EQ(rig.host.GetWindowText(brevan::IDC_COMBO_PORT), "COM1");  // no profile yet
    EXPECT_EQ(rig.host.GetCurSel(brevan::IDC_COMBO_BAUD), 0);
    rig.host.Type(brevan::IDC_COMBO_PORT, "COM5");
    rig.host.SelectItem(brevan::IDC_COMBO_BAUD, 5);
    rig.host.Click(fw::kIdOk);
    const fw::CProfile profile = fw::CProfile::AtFile(rig.dir.File("Brevan.INI"));
    EXPECT_EQ(profile.GetProfileString("TRX4800update", "Serial Port", ""), "COM5");
    EXPECT_EQ(profile.GetProfileInt("TRX4800update", "Band Port", -1), 5);
    // A second window on the same profile shows the remembered choices.
    fw::HeadlessHost other;
    serial::CModelFarEnd far2(Board());
    HostClock clock2(other);
    brevan::CBrevanDlg again(fw::UiLanguage::English, profile,
                             std::make_unique<serial::CLoopbackPort>(far2, clock2), rig.dir.File("pgm2.isp"));
    again.m_listPorts = [] { return std::vector<std::string>{}; };
    other.SetModuleFileName(rig.programPath);
    other.Start(again);
    EXPECT_EQ(other.GetWindowText(brevan::IDC_COMBO_PORT), "COM5");
    EXPECT_EQ(other.GetWindowText(brevan::IDC_COMBO_BAUD), "BREAK");  // even though start-up first selected 9600
  }
}

namespace {

// A bare program (no images) and a HEX file the user picks: the converted image fills slots 0-3.
struct SingleImageRig : Rig {
  explicit SingleImageRig(sim::ModelOptions options, int slot) : Rig(std::move(options), fw::UiLanguage::English, false) {
    const std::string hex = dir.File("chosen.hex");
    testing_support::WriteFile(hex, brevan::pack::FormatIntelHex(brevan::pack::MakeDemoImage(slot)));
    host.QueueOpenFileAnswer(hex);
  }
};

}  // namespace

TEST(BrevanStartUp, BareProgramAsksForAFileAndCancellingEndsBeforeTheWindow) {
  Rig rig(Board(), fw::UiLanguage::English, false);
  rig.Start();  // no answer queued: the file dialog is cancelled
  EXPECT_TRUE(rig.dialog->StartUpStopped());
  EXPECT_TRUE(rig.host.Ended());
  ASSERT_EQ(rig.host.OpenFileRequests().size(), 1u);
  EXPECT_EQ(rig.host.OpenFileRequests()[0].title, "Choose File");
  EXPECT_EQ(rig.host.OpenFileRequests()[0].filter, "HEX File (*.*)|*.*||");
  EXPECT_TRUE(rig.host.OpenFileRequests()[0].mustExist);
}

TEST(BrevanStartUp, ChosenFileThatCannotBeReadIsReportedAndEndsStartUp) {
  Rig rig(Board(), fw::UiLanguage::English, false);
  rig.host.QueueOpenFileAnswer(rig.dir.File("missing.hex"));
  rig.Start();
  EXPECT_TRUE(rig.dialog->StartUpStopped());
  const auto boxes = rig.host.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find("missing.hex"), std::string::npos);
}

TEST(BrevanStartUp, WindowShowsPortsRememberedChoicesAndVersions) {
  Rig rig(Board());
  rig.Start();
  EXPECT_FALSE(rig.dialog->StartUpStopped());
  EXPECT_EQ(rig.host.Control(brevan::IDC_COMBO_PORT).items, (std::vector<std::string>{"COM1", "COM5"}));
  EXPECT_EQ(rig.host.GetWindowText(brevan::IDC_COMBO_PORT), "COM1");
  EXPECT_EQ(rig.host.GetWindowText(brevan::IDC_COMBO_BAUD), "9600");
  EXPECT_EQ(rig.Status(), "Status:>>updating software running\r\n");
  for (int slot = 0; slot < 10; ++slot)
    EXPECT_EQ(rig.dialog->m_strVersionBox[static_cast<std::size_t>(slot)], brevan::pack::kDemoVersions[static_cast<std::size_t>(slot)]);
  EXPECT_EQ(rig.host.GetWindowText(brevan::IDC_EDIT_VERSION_9), "B120220");
  EXPECT_EQ(rig.host.GetWindowText(brevan::IDC_EDIT_VERSION_5), "A120807");
  ASSERT_EQ(rig.host.SystemMenu().size(), 2u);
  EXPECT_EQ(rig.host.SystemMenu()[1].text, "About Brevan(&A)...");
  EXPECT_EQ(rig.host.Icon(), brevan::IDR_MAINFRAME);
  EXPECT_EQ(rig.dialog->m_progress.ShowText(), 1);
  // Picking a port saves the controls into the members.
  rig.host.SelectItem(brevan::IDC_COMBO_BAUD, 3);
  EXPECT_EQ(rig.dialog->m_strBaud, "9600");
  rig.host.SelectItem(brevan::IDC_COMBO_PORT, 1);
  EXPECT_EQ(rig.dialog->m_strBaud, "57600");
}

TEST(BrevanStartUp, AboutBoxOpensForEveryItsCommandIdAndAClickClosesIt) {
  Rig rig(Board());
  rig.Start();
  int opened = 0;
  rig.host.OnChildDialog([&](fw::HeadlessHost& about) {
    ++opened;
    about.SendMessage(fw::kWmLButtonDown, 0, 0);
    EXPECT_TRUE(about.Ended());
    EXPECT_EQ(about.Result(), fw::kIdOk);
  });
  for (unsigned id = 0x10; id <= 0x1F; ++id) rig.host.SystemCommand(id);
  EXPECT_EQ(opened, 16);
  rig.host.SystemCommand(0x20);  // not the about item
  EXPECT_EQ(opened, 16);
  EXPECT_FALSE(rig.host.Ended());
  rig.host.PressEscape();
  EXPECT_TRUE(rig.host.Ended());
}

TEST(BrevanSingleImage, MatchingBoardIsWrittenFromTheChosenFile) {
  SingleImageRig rig(Board("EM310.00"), 2);
  rig.Start();
  ASSERT_FALSE(rig.dialog->StartUpStopped());
  EXPECT_EQ(rig.dialog->m_bank.m_nLoadMode, 1);
  EXPECT_EQ(rig.dialog->m_bank.m_nLoadedModule, 2);
  rig.host.Click(fw::kIdOk);
  rig.RunUntilIdle(60'000);
  EXPECT_EQ(rig.dialog->Outcome(), UpgradeOutcome::Completed);
  ExpectFlashed(rig, 2);
}

TEST(BrevanSingleImage, OtherModuleTypeIsRefusedAtTheFirstPageWithNothingWritten) {
  SingleImageRig rig(Board("EM200.00"), 2);
  rig.Start();
  rig.host.Click(fw::kIdOk);
  rig.RunUntilIdle(60'000);
  EXPECT_EQ(rig.dialog->Outcome(), UpgradeOutcome::WrongFirmware);
  EXPECT_TRUE(rig.Report().pages.empty());
  EXPECT_NE(rig.Status().find("Status:>>wrong firmware!\r\n"), std::string::npos);
  EXPECT_EQ(rig.host.GetWindowText(brevan::IDC_EDIT_HARDWARE_VERSION), "EM200.00");
  EXPECT_EQ(rig.dialog->m_progress.Pos(), 0);
}

// A loader that names only a module the bank lacks is no silent line: when the countdown ends the
// window says wrong firmware with what the board reported, in both load modes, and writes nothing.
TEST(BrevanOtherModule, OnlyNamesTheBankLacksEndAsWrongFirmwareWhenTheCountdownEnds) {
  sim::ModelOptions board = Board("LTE900.01");
  board.serial = "SN0815";
  board.softwareVersion = "700001";
  Rig ten(board);
  SingleImageRig one(board, 2);
  for (Rig* rig : {&ten, static_cast<Rig*>(&one)}) {
    rig->Start();
    ASSERT_FALSE(rig->dialog->StartUpStopped());
    rig->host.Click(fw::kIdOk);
    rig->RunUntilIdle(20'000);
    const int mode = rig->dialog->m_bank.m_nLoadMode;
    EXPECT_EQ(rig->dialog->Outcome(), UpgradeOutcome::WrongFirmware) << "mode " << mode;
    EXPECT_EQ(rig->dialog->m_run.m_nProbeTicks, 601) << "the whole countdown: a later answer might have named the board";
    EXPECT_GT(rig->Report().queries, 500u);
    EXPECT_TRUE(rig->Report().pages.empty());
    const std::string status = rig->Status();
    EXPECT_NE(status.find("Status:>>wrong firmware!\r\n"), std::string::npos) << status;
    EXPECT_EQ(status.find("OVERTIME"), std::string::npos) << status;
    EXPECT_EQ(status.find("Counting down"), std::string::npos) << "the countdown line goes with the end";
    EXPECT_EQ(rig->host.GetWindowText(brevan::IDC_EDIT_HARDWARE_VERSION), "LTE900.01");
    EXPECT_EQ(rig->host.GetWindowText(brevan::IDC_EDIT_SERIAL_NO), "SN0815");
    EXPECT_EQ(rig->host.GetWindowText(brevan::IDC_EDIT_SOFTWARE_VERSION), "700001");
    EXPECT_EQ(rig->dialog->m_progress.Pos(), 10) << "set to 0, then stepped";
    EXPECT_FALSE(rig->port->Inner().IsOpen());
    EXPECT_EQ(rig->dialog->m_tty.m_bProbing, 1);
  }
  EXPECT_EQ(ten.dialog->m_bank.m_nLoadMode, 10);
  EXPECT_EQ(one.dialog->m_bank.m_nLoadMode, 1);
}

namespace {

// Entries of /proc/self/task or /proc/self/fd; 0 on Windows, where Wine's own descriptors come and go.
int DirEntries(const char* path) {
  int n = 0;
#ifndef _WIN32
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(path)) ++n;
#else
  (void)path;
#endif
  return n;
}

// Noise towards the board may bend a page frame's bytes or its address: the frame carries no check
// and the loader acknowledges what it heard, so nothing on the PC can tell. Those rows ask only for
// an end; every other success must have put every byte in place.
enum class Ends { Completed, TimedOut, CompletedOrTimedOut, EndsUnverifiable };

struct FaultRow {
  const char* name;
  std::function<void(sim::ModelOptions&)> fault;
  Ends ends;
  int page = 0;         // counted from 1: its frame must have gone this often (0: not checked)
  unsigned writes = 0;
  const char* baud = nullptr;  // the rate picked before UPDATE (default: the first entry)
  brevan::PagePacing pacing = brevan::PagePacing::Tick;
};

void PrintTo(const FaultRow& row, std::ostream* os) { *os << row.name; }

class BrevanFaultMatrix : public ::testing::TestWithParam<FaultRow> {};

}  // namespace

// One fault each, slot 6 (CC864, 132 pages): the outcome and its message; a success only with every
// byte in place; no thread or descriptor left behind.
TEST_P(BrevanFaultMatrix, EndsAsTheFaultAllows) {
  const FaultRow& row = GetParam();
  const int tasksBefore = DirEntries("/proc/self/task"), fdsBefore = DirEntries("/proc/self/fd");
  {
    sim::ModelOptions options = Board("CC864.DUAL");
    row.fault(options);
    Rig rig(options);
    rig.Start();
    rig.dialog->SetPagePacing(row.pacing);
    if (row.baud) {
      const auto& items = rig.host.Control(brevan::IDC_COMBO_BAUD).items;
      rig.host.SelectItem(brevan::IDC_COMBO_BAUD, static_cast<int>(std::find(items.begin(), items.end(), row.baud) - items.begin()));
    }
    rig.host.Click(fw::kIdOk);
    rig.RunUntilIdle(900'000);
    const UpgradeOutcome outcome = rig.dialog->Outcome();
    if (row.ends == Ends::Completed || (row.ends != Ends::TimedOut && outcome == UpgradeOutcome::Completed)) {
      EXPECT_EQ(outcome, UpgradeOutcome::Completed);
      EXPECT_NE(rig.Status().find("Status:>>Congratulations! updated!\r\n"), std::string::npos) << rig.Status();
      if (row.ends != Ends::EndsUnverifiable) ExpectFlashed(rig, 6);
    } else {
      EXPECT_EQ(outcome, UpgradeOutcome::TimedOut);
      EXPECT_NE(rig.Status().find("ERROR:>>OVERTIME!\r\n"), std::string::npos) << rig.Status();
    }
    EXPECT_FALSE(rig.host.HasTimer(1));
    EXPECT_FALSE(rig.port->Inner().IsOpen());
    if (row.page > 0) {
      const auto& pages = rig.Report().pages;
      ASSERT_GE(pages.size(), static_cast<std::size_t>(row.page));
      EXPECT_EQ(rig.Report().pageWrites.at(pages[static_cast<std::size_t>(row.page - 1)].address), row.writes);
    }
  }
  EXPECT_EQ(DirEntries("/proc/self/task"), tasksBefore);
  EXPECT_EQ(DirEntries("/proc/self/fd"), fdsBefore);
}

namespace {

std::function<void(sim::ModelOptions&)> DropAcks(std::set<std::uint32_t> frames) {
  return [frames](sim::ModelOptions& o) { o.dropAckPages = frames; };
}
// Page 3 goes on a tick; its acknowledgement is due 61 ticks (1,525 ms) later, on the tick that repeats it.
std::function<void(sim::ModelOptions&)> LateAckOfPage3(std::uint32_t ms) {
  return [ms](sim::ModelOptions& o) {
    o.lateAckMs = ms;
    o.lateAckPages = {3};
  };
}
std::function<void(sim::ModelOptions&)> Noise(double toPc, double toDevice, std::uint64_t seed) {
  return [=](sim::ModelOptions& o) {
    o.noise = toPc;
    o.noiseToDevice = toDevice;
    o.seed = seed;
  };
}

}  // namespace

// Five lost acknowledgements of one page leave its sixth sending to be taken; after the sixth lost
// one the seventh sending goes, but the next tick already gives up (more than five repeats).
INSTANTIATE_TEST_SUITE_P(
    Faults, BrevanFaultMatrix,
    ::testing::Values(
        FaultRow{"FiveLostAcksOfOnePage", DropAcks({3, 4, 5, 6, 7}), Ends::Completed, 3, 6},
        FaultRow{"SixLostAcksOfOnePage", DropAcks({3, 4, 5, 6, 7, 8}), Ends::TimedOut, 3, 7},
        FaultRow{"AckOneMsBeforeTheRepeatTick", LateAckOfPage3(1524), Ends::Completed, 3, 1},
        FaultRow{"AckOneMsAfterTheRepeatTick", LateAckOfPage3(1526), Ends::Completed, 3, 2},
        FaultRow{"AnswerAfter14s", [](sim::ModelOptions& o) { o.lateAnswerMs = 14'000; }, Ends::Completed},
        FaultRow{"AnswerAfter16s", [](sim::ModelOptions& o) { o.lateAnswerMs = 16'000; }, Ends::TimedOut, 0, 0},
        FaultRow{"LoaderPoweredAfterTheCountdown", [](sim::ModelOptions& o) { o.powerOnDelayMs = 16'000; },
                 Ends::TimedOut},
        FaultRow{"BabblingReceiver", [](sim::ModelOptions& o) { o.babbleMs = 50; }, Ends::Completed},
        FaultRow{"ReceiverAtARateThePcDoesNotUse", [](sim::ModelOptions& o) { o.receiverRate = 4800; },
                 Ends::TimedOut, 0, 0, "9600"},
        FaultRow{"NoiseToPc1e3", Noise(0.001, 0, 11), Ends::CompletedOrTimedOut},
        FaultRow{"NoiseToPc1e2", Noise(0.01, 0, 12), Ends::CompletedOrTimedOut},
        FaultRow{"NoiseToPc5e2", Noise(0.05, 0, 13), Ends::CompletedOrTimedOut},
        FaultRow{"NoiseBothWays1e4", Noise(0.0001, 0.0001, 21), Ends::CompletedOrTimedOut},
        FaultRow{"NoiseBothWays1e3", Noise(0.001, 0.001, 22), Ends::EndsUnverifiable},
        FaultRow{"NoiseBothWays1e2", Noise(0.01, 0.01, 23), Ends::EndsUnverifiable}),
    [](const auto& p) { return std::string(p.param.name); });

namespace {

constexpr brevan::PagePacing kAck = brevan::PagePacing::Ack;

// The acknowledgement pacing relies on the line taking time: an answer cannot come before its frame
// has crossed the wire. Its rows run with the wire's timing.
std::function<void(sim::ModelOptions&)> OnTheWire(std::function<void(sim::ModelOptions&)> fault) {
  return [fault](sim::ModelOptions& o) {
    o.wireTiming = true;
    fault(o);
  };
}

}  // namespace

// The same faults of the page phase when the next page goes as soon as an acknowledgement is in:
// the same outcomes, the waits and repeats the same in wall time.
INSTANTIATE_TEST_SUITE_P(
    AckPaced, BrevanFaultMatrix,
    ::testing::Values(
        FaultRow{"FiveLostAcksOfOnePage", OnTheWire(DropAcks({3, 4, 5, 6, 7})), Ends::Completed, 3, 6, nullptr, kAck},
        FaultRow{"SixLostAcksOfOnePage", OnTheWire(DropAcks({3, 4, 5, 6, 7, 8})), Ends::TimedOut, 3, 7, nullptr, kAck},
        FaultRow{"AckJustInsideTheWait", OnTheWire(LateAckOfPage3(1500)), Ends::Completed, 3, 1, nullptr, kAck},
        FaultRow{"AckWellAfterTheWait", OnTheWire(LateAckOfPage3(2000)), Ends::Completed, 3, 2, nullptr, kAck},
        FaultRow{"LostPageFrames", OnTheWire([](sim::ModelOptions& o) { o.dropPages = {3, 40, 41}; }),
                 Ends::Completed, 0, 0, nullptr, kAck},
        FaultRow{"RepliesByteByByte", OnTheWire([](sim::ModelOptions& o) { o.split = sim::Split::Bytes; }),
                 Ends::Completed, 0, 0, nullptr, kAck},
        FaultRow{"RepliesInRandomChunks", OnTheWire([](sim::ModelOptions& o) { o.split = sim::Split::Random; }),
                 Ends::Completed, 0, 0, nullptr, kAck},
        // Page 7's first answer comes after its repeat's: two answers for one page, byte by byte.
        FaultRow{"DoubledAnswerAtBytePace", OnTheWire([](sim::ModelOptions& o) {
                   o.split = sim::Split::Bytes;
                   o.lateAckMs = 2000;
                   o.lateAckPages = {7};
                 }),
                 Ends::Completed, 7, 2, nullptr, kAck},
        FaultRow{"LoaderStopsAfterPage5", OnTheWire([](sim::ModelOptions& o) { o.stopAfterPage = 5; }),
                 Ends::TimedOut, 5, 1, nullptr, kAck},
        FaultRow{"AnswerAfter14s", OnTheWire([](sim::ModelOptions& o) { o.lateAnswerMs = 14'000; }), Ends::Completed,
                 0, 0, nullptr, kAck},
        FaultRow{"BabblingReceiver", OnTheWire([](sim::ModelOptions& o) { o.babbleMs = 50; }), Ends::Completed, 0, 0,
                 nullptr, kAck},
        FaultRow{"NoiseToPc1e3", OnTheWire(Noise(0.001, 0, 11)), Ends::CompletedOrTimedOut, 0, 0, nullptr, kAck},
        FaultRow{"NoiseToPc1e2", OnTheWire(Noise(0.01, 0, 12)), Ends::CompletedOrTimedOut, 0, 0, nullptr, kAck}),
    [](const auto& p) { return std::string(p.param.name); });

namespace {

// The page phase of a whole upgrade of slot 7 (203 pages) with the line's wire timing at 57600
// baud, on the virtual clock: from the first page's first sending to the end.
std::uint32_t PagePhaseMs(brevan::PagePacing pacing, std::string& wire) {
  sim::ModelOptions options = Board("NET100.A");
  options.wireTiming = true;
  Rig rig(options);
  rig.Start();
  rig.dialog->SetPagePacing(pacing);
  std::size_t writes = 0;
  std::size_t frameWrites = 0;
  rig.port->onWrite = [&](std::span<const std::uint8_t> bytes) {
    ++writes;
    if (bytes.size() == 133) ++frameWrites;
    wire.append(bytes.begin(), bytes.end());
  };
  rig.host.Click(fw::kIdOk);
  rig.RunUntilIdle(60'000);
  EXPECT_EQ(rig.dialog->Outcome(), UpgradeOutcome::Completed);
  ExpectFlashed(rig, 7);
  // Tick pacing writes a frame byte by byte; ack pacing writes each in one piece.
  EXPECT_EQ(frameWrites, pacing == brevan::PagePacing::Ack ? 203u : 0u) << writes << " writes";
  return rig.dialog->Pages().endTick - rig.dialog->Pages().firstPageTick;
}

}  // namespace

// Both pacings put the same bytes on the line; the tick takes a step per 25 ms tick at most, the
// acknowledgement pacing follows the wire: a 133-byte frame and a 10-byte answer, 24.8 ms at 57600.
TEST(BrevanPacing, AckPacingFollowsTheWireAndSendsTheSameBytes) {
  std::string tickWire, ackWire;
  const std::uint32_t tickMs = PagePhaseMs(brevan::PagePacing::Tick, tickWire);
  const std::uint32_t ackMs = PagePhaseMs(brevan::PagePacing::Ack, ackWire);
  const double wireMs = 203 * (133 + 10) * 10 * 1000.0 / 57600;
  EXPECT_EQ(tickMs, 203u * 50u) << "two ticks per page: the answer lands just after the tick that follows";
  EXPECT_GE(ackMs, wireMs);
  EXPECT_LE(ackMs, 1.10 * wireMs) << "ack pacing " << ackMs << " ms, wire " << wireMs << " ms";
  // The probing queries of the two runs may differ in number; from the first page frame on the
  // bytes are the same.
  const std::string frameStart("\x24\x2C\xD3", 3);
  ASSERT_NE(tickWire.find(frameStart), std::string::npos);
  EXPECT_EQ(tickWire.substr(tickWire.find(frameStart)), ackWire.substr(ackWire.find(frameStart)));
  std::printf("page phase: tick %u ms, ack %u ms, wire %.0f ms\n", tickMs, ackMs, wireMs);
}

// An answer that comes sooner than its frame can have crossed the wire (23 ms at 57600) answers an
// earlier frame: the acknowledgement pacing leaves it, and the page goes again after the wait.
TEST(BrevanPacing, AnAnswerSoonerThanItsFrameCanCrossTheWireIsNotTaken) {
  sim::ModelOptions silent = Board();
  silent.silent = true;
  Rig rig(silent);
  rig.Start();
  rig.dialog->SetPagePacing(brevan::PagePacing::Ack);
  rig.host.Click(fw::kIdOk);
  auto& tty = rig.dialog->m_tty;
  const std::vector<std::uint8_t> name = {0x24, '-', 0xFF - '-', 8, 0, 0, 0, 'G', 'T', 'M', '9', '0', '0', '-', '2', 0xAB, 0, 0};
  tty.ParseReplies(name.data(), static_cast<int>(name.size()));
  static const std::uint8_t ack[] = {0x24, '1', 0xFF - '1', 0, 0, 0, 0, 0xDB, 0, 0};
  std::vector<std::uint32_t> frames;  // when each page frame went out, and at which offset
  std::vector<int> offsets;
  int answerAfterMs = 0;
  std::optional<std::uint32_t> answerAt;
  rig.port->onWrite = [&](std::span<const std::uint8_t> bytes) {
    if (bytes.size() != 133) return;
    frames.push_back(rig.host.GetTickCount());
    offsets.push_back(rig.dialog->m_run.m_nPageOffset);
    answerAt = rig.host.GetTickCount() + static_cast<std::uint32_t>(answerAfterMs);
  };
  auto runMs = [&](int ms) {
    for (int i = 0; i < ms; ++i) {
      if (answerAt && rig.host.GetTickCount() >= *answerAt) {
        answerAt.reset();
        tty.ParseReplies(ack, sizeof ack);
      }
      rig.Run(1);
    }
  };
  // Answered at once, twice: neither answer is taken, the first page goes again after each wait.
  runMs(1600 + 2 * 1600);
  ASSERT_GE(frames.size(), 3u);
  EXPECT_EQ(offsets[0], 0);
  EXPECT_EQ(offsets[1], 0);
  EXPECT_EQ(offsets[2], 0);
  EXPECT_GE(frames[1] - frames[0], 1525u);
  EXPECT_LE(frames[1] - frames[0], 1550u);
  // Answered after the wire time: taken, and the next page goes at once.
  answerAfterMs = 24;
  const std::size_t before = frames.size();
  runMs(1600);
  ASSERT_GT(frames.size(), before + 1);
  EXPECT_EQ(offsets[before], 0);
  EXPECT_EQ(offsets[before + 1], 128) << "the answer to the first page's repeat moved the writing on";
  EXPECT_GE(frames[before + 1] - frames[before], 24u);
  EXPECT_LE(frames[before + 1] - frames[before], 26u);
}
