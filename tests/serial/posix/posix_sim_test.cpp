// The engine against receiver-sim, the far end's daemon, on the pty it makes
// and links to a path of our choosing.
#include <gtest/gtest.h>

#include <memory>
#include <string_view>
#include <thread>

#include "posix_test_support.h"
#include "simulator/model/device_model.h"
#include "support/temp_dir.h"

using namespace posix_test;
using serial::posix::testkit::CChildProcess;

namespace {

class PosixSim : public ::testing::Test {
 protected:
  // Starts the daemon; it prints the slave's path once the link is in place.
  void Start(std::vector<std::string> options) {
    std::vector<std::string> argv = {RECEIVER_SIM_PATH, "--link", link};
    argv.insert(argv.end(), options.begin(), options.end());
    sim = std::make_unique<CChildProcess>(argv);
    ASSERT_TRUE(sim->Ok());
    ASSERT_FALSE(sim->ReadLine(10000).empty()) << "receiver-sim did not come up";
  }
  void AskForBurst(CTTYnew& target) {
    constexpr std::string_view kCommand = "KAVEL,BURST,\r\n";
    ASSERT_EQ(target.WriteBytes(reinterpret_cast<const std::uint8_t*>(kCommand.data()),
                                static_cast<int>(kCommand.size())),
              1);
  }

  testing_support::TempDir dir;
  std::string link = dir.File("receiver");
  std::unique_ptr<CChildProcess> sim;
  serial::CPlainEngineOwner owner;
  CCollectingEngine engine{owner};
};

}  // namespace

TEST_F(PosixSim, MegabyteBurstArrivesWholeAndInOrder) {
  constexpr std::size_t kBytes = 1 << 20;
  Start({"--burst", std::to_string(kBytes)});
  ASSERT_EQ(engine.Open(Settings(link, 9600)), 1) << engine.LastOpenError().detail;
  AskForBurst(engine);
  ASSERT_TRUE(engine.WaitForBytes(kBytes, 20s)) << engine.Bytes().size();
  const auto got = engine.Bytes();
  ASSERT_EQ(got.size(), kBytes);
  for (std::size_t i = 0; i < kBytes; ++i) ASSERT_EQ(got[i], sim::BurstByte(i)) << i;
  EXPECT_EQ(engine.BadChunks(), 0);
}

TEST_F(PosixSim, ASecondEngineFindsThePortBusy) {
  Start({});
  ASSERT_EQ(engine.Open(Settings(link, 9600)), 1) << engine.LastOpenError().detail;
  CCollectingEngine other{owner};
  EXPECT_EQ(other.Open(Settings(link, 9600)), 0);
  EXPECT_EQ(other.LastOpenError().kind, serial::OpenFailure::Busy);
}

TEST_F(PosixSim, DaemonKilledMidBurstNeitherSpinsNorHangs) {
  // At wire speed a 1 MiB burst at 4 Mbaud lasts about 2.6 s: long enough to cut.
  Start({"--burst", std::to_string(1u << 20), "--wire-timing", "--receiver-rate", "4000000"});
  ASSERT_EQ(engine.Open(Settings(link, 4000000)), 1) << engine.LastOpenError().detail;
  AskForBurst(engine);
  ASSERT_TRUE(engine.WaitForBytes(64 * 1024, 30s));  // generous: sanitizer builds on a busy machine are slow
  sim->Kill();
  std::this_thread::sleep_for(100ms);
  const auto cpuBefore = serial::posix::testkit::ProcessCpuMicros();
  std::this_thread::sleep_for(400ms);
  EXPECT_LT(serial::posix::testkit::ProcessCpuMicros() - cpuBefore, 100000u);
  AskForBurst(engine);  // into a port whose far end has gone
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(engine.Close(), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
  const auto got = engine.Bytes();
  EXPECT_LT(got.size(), std::size_t{1} << 20);  // it did go mid-burst
  for (std::size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], sim::BurstByte(i)) << i;
}
