// The terminal updater against receiver-sim over a pty in real time, with
// the line's wire timing at 57600 baud: every module type is written whole,
// and the faults end as they should.
#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "serial/posix/pty_testkit.h"
#include "support/temp_dir.h"
#include "updater/app/brevan_terminal.h"
#include "updater/image_bank/image_bank.h"

using serial::posix::testkit::CChildProcess;

namespace {

struct Module {
  int slot;
  const char* reported;  // the name the loader reports
};

void PrintTo(const Module& m, std::ostream* os) { *os << m.reported; }

class BrevanSim : public ::testing::Test {
 protected:
  void Start(std::vector<std::string> options) {
    std::vector<std::string> argv = {RECEIVER_SIM_PATH, "--link", link, "--wire-timing", "--flash-out", flash};
    argv.insert(argv.end(), options.begin(), options.end());
    sim = std::make_unique<CChildProcess>(argv);
    ASSERT_TRUE(sim->Ok());
    ASSERT_FALSE(sim->ReadLine(10000).empty()) << "receiver-sim did not come up";
  }
  int Upgrade(std::vector<std::string> args) {
    brevan::TerminalRun run{fw::UiLanguage::English, BREVAN_SHIPPED_PATH, fw::CProfile::AtFile(dir.File("b.INI")),
                            false};
    std::vector<std::string> all = {"--port", link};
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

  testing_support::TempDir dir;
  std::string link = dir.File("receiver");
  std::string flash = dir.File("flash.bin");
  std::unique_ptr<CChildProcess> sim;
  std::ostringstream out, err;
};

class BrevanSimModules : public BrevanSim, public ::testing::WithParamInterface<Module> {};

}  // namespace

TEST_P(BrevanSimModules, WritesTheSlotAtItsAddresses) {
  const Module m = GetParam();
  Start({"--module", m.reported});
  ASSERT_EQ(Upgrade({"--baud", "9600"}), brevan::kExitUpgraded) << out.str() << err.str();
  EXPECT_NE(out.str().find("Status:>>Congratulations! updated!"), std::string::npos) << out.str();
  const auto bank = ShippedBank();
  const std::vector<std::uint8_t> image = testing_support::ReadFile(flash);
  ASSERT_EQ(image.size(), 65536u);
  const int base = m.slot <= 3 ? 0x2000 : 0x4000;
  const int length = bank->m_nImageLength[static_cast<std::size_t>(m.slot)];
  int wrong = 0;
  for (int o = 0; o < length; ++o)
    if (image[static_cast<std::size_t>((base + o) & 0xFFFF)] !=
        bank->m_imageBank[static_cast<std::size_t>(m.slot)][static_cast<std::size_t>(o)])
      ++wrong;
  EXPECT_EQ(wrong, 0) << length;
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
}

TEST_F(BrevanSim, SilentLoaderEndsInTheTimeOut) {
  Start({"--silent"});
  EXPECT_EQ(Upgrade({}), brevan::kExitTimedOut) << out.str();
  EXPECT_NE(out.str().find("ERROR:>>OVERTIME!"), std::string::npos);
  EXPECT_NE(out.str().find("Status:>>Counting down 01S!"), std::string::npos);
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
