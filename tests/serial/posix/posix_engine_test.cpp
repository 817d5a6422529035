// The engine over the POSIX port on a pseudo-terminal whose master plays the
// far end: data order and volume, writes past their wait, opening failures,
// a far end that vanishes, and nothing leaked over many opens.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "posix_test_support.h"
#include "serial/posix/posix_serial_port.h"
#include "support/temp_dir.h"
#include "updater/upgrade/updater_engine_profile.h"

using namespace posix_test;
using serial::OpenFailure;
using serial::posix::CPosixSerialPort;
using serial::posix::testkit::CPtyPair;
using serial::posix::testkit::ProcessCpuMicros;

namespace {

class PosixEngine : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(pty.Ok()); }
  void OpenEngine() { ASSERT_EQ(engine.Open(Settings(pty.SlavePath())), 1) << engine.LastOpenError().detail; }

  CPtyPair pty;
  serial::CPlainEngineOwner owner;
  CCollectingEngine engine{owner};
};

// Sends from the far end until told to stop or the pty refuses.
class CFarEndSender {
 public:
  explicit CFarEndSender(CPtyPair& pty) : m_thread([this, &pty] {
    const auto block = Pattern(4096, 5);
    while (!m_stop.load() && pty.Send(block, 20) > 0) m_sent.fetch_add(1);
  }) {}
  ~CFarEndSender() { Stop(); }
  void Stop() {
    m_stop.store(true);
    if (m_thread.joinable()) m_thread.join();
  }
  int Blocks() const { return m_sent.load(); }

 private:
  std::atomic<bool> m_stop{false};
  std::atomic<int> m_sent{0};
  std::thread m_thread;
};

template <typename F>
std::chrono::milliseconds Timed(F&& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
}

}  // namespace

TEST_F(PosixEngine, PiecesArriveInOrderInChunksOfAtMost1024) {
  OpenEngine();
  std::vector<std::uint8_t> sent;
  std::uint32_t seed = 10;
  for (const std::size_t size : {1, 1023, 1024, 1025, 2048, 4097, 7, 65536, 3}) {
    const auto piece = Pattern(size, seed++);
    ASSERT_EQ(pty.Send(piece, 2000), size);
    sent.insert(sent.end(), piece.begin(), piece.end());
    if (size < 100) std::this_thread::sleep_for(5ms);  // let a short piece arrive on its own
  }
  ASSERT_TRUE(engine.WaitForBytes(sent.size()));
  EXPECT_EQ(engine.Bytes(), sent);
  EXPECT_EQ(engine.BadChunks(), 0);
  EXPECT_GE(engine.ChunkSizes().size(), sent.size() / CTTYnew::kChunk);
}

TEST_F(PosixEngine, MegabyteBurstArrivesWholeAndInOrder) {
  OpenEngine();
  const auto burst = Pattern(1 << 20, 42);
  std::thread sender([&] { EXPECT_EQ(pty.Send(burst, 20000), burst.size()); });
  const bool all = engine.WaitForBytes(burst.size(), 20s);
  sender.join();
  ASSERT_TRUE(all) << engine.Bytes().size();
  EXPECT_TRUE(engine.Bytes() == burst);
  EXPECT_EQ(engine.BadChunks(), 0);
}

TEST_F(PosixEngine, WritesLeftPastTheirWaitStillLeaveInOrder) {
  OpenEngine();
  serial::ISerialPort& port = engine.TestPort();
  // More than the pty holds while the far end reads nothing.
  const auto big = Pattern(768 * 1024, 11);
  const auto tail = Pattern(300, 12);
  const auto took = Timed([&] {
    port.Write(big, 20);
    port.Write(tail, 0);
  });
  EXPECT_LT(took, 1000ms);
  // No later write comes: the monitor has to send the rest on its own.
  std::vector<std::uint8_t> expected = big;
  expected.insert(expected.end(), tail.begin(), tail.end());
  const auto got = pty.Receive(expected.size(), 10000);
  ASSERT_EQ(got.size(), expected.size());
  EXPECT_TRUE(got == expected);

  const auto bytes = Pattern(5000, 13);
  ASSERT_EQ(engine.WriteBytes(bytes.data(), static_cast<int>(bytes.size())), 1);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(engine.WriteByte(0x30 + i), 1);
  auto more = bytes;
  for (int i = 0; i < 5; ++i) more.push_back(static_cast<std::uint8_t>(0x30 + i));
  EXPECT_EQ(pty.Receive(more.size(), 5000), more);
}

TEST_F(PosixEngine, OutputStuckPastTheWriteTimeOutIsDroppedNotSentLate) {
  OpenEngine();
  serial::ISerialPort& port = engine.TestPort();
  ASSERT_TRUE(port.SetCommTimeouts({0xFFFFFFFF, 0, 0, 0, 100}));
  const auto stale = Pattern(768 * 1024, 21);
  port.Write(stale, 10);
  std::this_thread::sleep_for(250ms);
  const auto fresh = Pattern(64, 22);
  port.Write(fresh, 0);
  const auto got = pty.Receive(stale.size() + fresh.size(), 5000, 1000);
  ASSERT_GE(got.size(), fresh.size());
  ASSERT_LT(got.size(), stale.size());  // the stale rest was dropped ...
  const std::size_t head = got.size() - fresh.size();
  EXPECT_TRUE(std::equal(got.begin(), got.begin() + static_cast<std::ptrdiff_t>(head), stale.begin()));
  EXPECT_TRUE(std::equal(fresh.begin(), fresh.end(), got.end() - static_cast<std::ptrdiff_t>(fresh.size())));
}

TEST_F(PosixEngine, CloseWhileDataFlowsReturns) {
  for (int round = 0; round < 5; ++round) {
    OpenEngine();
    CFarEndSender sender(pty);
    ASSERT_TRUE(engine.WaitForBytes(static_cast<std::size_t>(round + 1) * 8192, 5s));
    EXPECT_LT(Timed([&] { EXPECT_EQ(engine.Close(), 1); }), 3000ms);
    sender.Stop();
    std::uint8_t buffer[256];
    EXPECT_EQ(engine.ReadBytes(buffer, 256), 0);  // closed: nothing read, nothing blocks
    while (pty.Receive(1 << 20, 0).size() > 0) {
    }
  }
}

TEST_F(PosixEngine, PortHeldByAnotherOpenIsBusyUntilReleased) {
  OpenEngine();
  CCollectingEngine other{owner};
  EXPECT_EQ(other.Open(Settings(pty.SlavePath())), 0);
  EXPECT_EQ(other.LastOpenError().kind, OpenFailure::Busy);
  EXPECT_EQ(other.LastOpenError().path, pty.SlavePath());

  const auto bytes = Pattern(100, 2);
  ASSERT_EQ(pty.Send(bytes, 1000), bytes.size());
  ASSERT_TRUE(engine.WaitForBytes(bytes.size()));
  EXPECT_EQ(engine.Bytes(), bytes);

  EXPECT_EQ(engine.Close(), 1);
  EXPECT_EQ(other.Open(Settings(pty.SlavePath())), 1) << other.LastOpenError().detail;
}

TEST_F(PosixEngine, PortHeldByAProgramWithOnlyALockOrOnlyTIOCEXCLIsBusy) {
  // TIOCEXCL alone: as root open() lets us in, otherwise it fails with
  // EBUSY; either way the port is busy.
  // A pty keeps TIOCEXCL after its holder has gone, so the lock comes first.
  for (const auto hold : {CPtyPair::Hold::Lock, CPtyPair::Hold::Exclusive}) {
    const int held = pty.OpenSlaveRaw(hold);
    ASSERT_GE(held, 0);
    EXPECT_EQ(engine.Open(Settings(pty.SlavePath())), 0);
    EXPECT_EQ(engine.LastOpenError().kind, OpenFailure::Busy) << static_cast<int>(hold);
    CPtyPair::CloseFd(held);
    if (hold == CPtyPair::Hold::Lock) {
      OpenEngine();  // the lock went with its holder
      ASSERT_EQ(engine.Close(), 1);
    }
  }
}

TEST_F(PosixEngine, MissingPathAndNonTerminalsFailWithTheirCause) {
  EXPECT_EQ(engine.Open(Settings("/dev/no-such-port-here")), 0);
  EXPECT_EQ(engine.LastOpenError().kind, OpenFailure::NotFound);
  EXPECT_EQ(engine.LastOpenError().path, "/dev/no-such-port-here");
  EXPECT_FALSE(engine.LastOpenError().detail.empty());
  EXPECT_EQ(engine.Open(Settings("no-such-port-here")), 0);
  EXPECT_EQ(engine.LastOpenError().path, "/dev/no-such-port-here");
  EXPECT_EQ(engine.LastOpenError().kind, OpenFailure::NotFound);

  testing_support::TempDir dir;
  testing_support::WriteFile(dir.File("plain"), "not a port");
  EXPECT_EQ(engine.Open(Settings(dir.File("plain"))), 0);
  EXPECT_EQ(engine.LastOpenError().kind, OpenFailure::NotSerial);
  EXPECT_EQ(engine.Open(Settings(dir.Path().string())), 0);
  EXPECT_EQ(engine.LastOpenError().kind, OpenFailure::NotSerial);
  EXPECT_EQ(engine.Open(Settings("/dev/null")), 0);
  EXPECT_EQ(engine.LastOpenError().kind, OpenFailure::NotSerial);
  EXPECT_FALSE(engine.IsConnected());
  EXPECT_EQ(CountEntries("/proc/self/fd"), CountEntries("/proc/self/fd"));
}

TEST_F(PosixEngine, NoPermissionNamesTheGroupThatGrantsIt) {
  const std::string group = serial::posix::testkit::IsRoot() ? "dialout" : serial::posix::testkit::PrimaryGroupName();
  ASSERT_TRUE(pty.SetSlaveGroup(group)) << group;
  ASSERT_TRUE(pty.ChmodSlave(0));
  const std::string path = pty.SlavePath();
  // Root would get in anyway; the child drops its privileges first.
  const int result = serial::posix::testkit::RunUnprivileged([&] {
    serial::CPlainEngineOwner plain;
    serial::Engine<CTTYnew> probe(plain, brevan::UpdaterEngineProfile());
    if (probe.Open(Settings(path)) != 0) return 1;
    const auto& error = probe.LastOpenError();
    if (error.kind != OpenFailure::AccessDenied) return 2;
    if (error.permissionGroup != group) return 3;
    if (error.detail.empty()) return 4;
    return 0;
  });
  EXPECT_EQ(result, 0);
}

TEST_F(PosixEngine, VanishedFarEndNeitherSpinsNorHangs) {
  OpenEngine();
  // The far end goes in the middle of its sending, from its own thread.
  std::thread farEnd([&] {
    const auto block = Pattern(4096, 5);
    for (int i = 0; i < 16; ++i) pty.Send(block, 2000);
    pty.CloseMaster();
  });
  farEnd.join();
  EXPECT_GT(engine.Bytes().size(), 0u);
  std::this_thread::sleep_for(50ms);
  const auto cpuBefore = ProcessCpuMicros();
  std::this_thread::sleep_for(400ms);
  const auto cpuUsed = ProcessCpuMicros() - cpuBefore;
  EXPECT_LT(cpuUsed, 100000u) << "the monitor spins on the hung-up port";
  const auto bytes = Pattern(200000, 4);
  EXPECT_LT(Timed([&] { EXPECT_EQ(engine.WriteBytes(bytes.data(), static_cast<int>(bytes.size())), 1); }),
            1500ms);
  EXPECT_LT(Timed([&] { EXPECT_EQ(engine.Close(), 1); }), 3000ms);
}

TEST_F(PosixEngine, SecondOpenWithoutCloseFailsAndTheFirstKeepsWorking) {
  OpenEngine();
  EXPECT_EQ(engine.Open(Settings(pty.SlavePath())), 0);
  EXPECT_TRUE(engine.IsConnected());
  const auto bytes = Pattern(3000, 6);
  ASSERT_EQ(pty.Send(bytes, 1000), bytes.size());
  ASSERT_TRUE(engine.WaitForBytes(bytes.size()));
  EXPECT_EQ(engine.Bytes(), bytes);
  ASSERT_EQ(engine.WriteBytes(bytes.data(), 10), 1);
  EXPECT_EQ(pty.Receive(10, 2000), std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 10));
}

TEST_F(PosixEngine, CloseOfANeverOpenedOrClosedEngineReturnsZero) {
  EXPECT_EQ(engine.Close(), 0);
  OpenEngine();
  EXPECT_EQ(engine.Close(), 1);
  EXPECT_EQ(engine.Close(), 0);
}

TEST_F(PosixEngine, ThousandReopensLeakNoDescriptorAndNoThread) {
  OpenEngine();
  ASSERT_EQ(engine.Close(), 1);
  const int fds = CountEntries("/proc/self/fd");
  const int threads = CountEntries("/proc/self/task");
  const auto bytes = Pattern(16, 9);
  for (int i = 0; i < 1000; ++i) {
    ASSERT_EQ(engine.Open(Settings(pty.SlavePath())), 1) << i << ": " << engine.LastOpenError().detail;
    if (i % 100 == 0) {
      ASSERT_EQ(pty.Send(bytes, 1000), bytes.size());
      ASSERT_TRUE(engine.WaitForBytes(bytes.size() * static_cast<std::size_t>(i / 100 + 1))) << i;
    }
    ASSERT_EQ(engine.Close(), 1) << i;
  }
  EXPECT_EQ(CountEntries("/proc/self/fd"), fds);
  EXPECT_EQ(CountEntries("/proc/self/task"), threads);
}

TEST_F(PosixEngine, AnyRateReadsBackAndRateZeroIsRefused) {
  ASSERT_EQ(engine.Open(Settings(pty.SlavePath(), 250000)), 1);
  serial::PortDcb dcb;
  ASSERT_TRUE(engine.TestPort().GetCommState(dcb));
  EXPECT_EQ(dcb.BaudRate, 250000u);
  EXPECT_EQ(engine.ApplySettings(Settings(pty.SlavePath(), 57600)), 1);
  ASSERT_TRUE(engine.TestPort().GetCommState(dcb));
  EXPECT_EQ(dcb.BaudRate, 57600u);
  EXPECT_EQ(engine.ApplySettings(Settings(pty.SlavePath(), 0)), 0);
  ASSERT_TRUE(engine.TestPort().GetCommState(dcb));
  EXPECT_EQ(dcb.BaudRate, 57600u);

  CommSettings framed = Settings(pty.SlavePath(), 9600);
  framed.stopBits = 2;
  framed.xonXoff = 1;
  framed.ctsRtsHandshake = 1;
  EXPECT_EQ(engine.ApplySettings(framed), 1);
  serial::posix::LineImage line;
  ASSERT_TRUE(pty.ReadSlaveLine(line));
  const auto facts = serial::posix::testkit::Describe(line);
  EXPECT_EQ(facts.outRate, 9600u);
  EXPECT_TRUE(facts.twoStopBits);
  EXPECT_TRUE(facts.rtsCts);
  EXPECT_TRUE(facts.xonOutput && facts.xonInput);
  EXPECT_EQ(facts.startChar, 0x11);
  EXPECT_EQ(facts.stopChar, 0x13);
  EXPECT_TRUE(facts.raw && facts.local && facts.receiverOn);
  EXPECT_EQ(facts.vmin, 0);
  EXPECT_EQ(facts.vtime, 0);
}

TEST_F(PosixEngine, MonitorRunsOneNiceStepBelowTheCaller) {
  const int callerNice = serial::posix::testkit::ThreadNice();
  ASSERT_LT(callerNice, 19);
  OpenEngine();
  const std::uint8_t byte = 1;
  ASSERT_EQ(pty.Send({&byte, 1}, 1000), 1u);
  ASSERT_TRUE(engine.WaitForBytes(1));
  EXPECT_EQ(engine.MonitorNice(), callerNice + 1);
  EXPECT_EQ(serial::posix::testkit::ThreadNice(), callerNice);
}

TEST_F(PosixEngine, CloseFromTheReceiveHandlerIsRefusedAndTheOwnersCloseStillWorks) {
  class CClosingTTY : public CTTYnew {
   public:
    CClosingTTY(serial::EngineKey key, serial::IEngineOwner& o) : CTTYnew(key, o) {}
    void OnDataReceived(const std::uint8_t*, int) override {
      result.store(Close());
      called.store(true);
    }
    std::atomic<int> result{-1};
    std::atomic<bool> called{false};
  };
  serial::Engine<CClosingTTY> closing(owner);
  ASSERT_EQ(closing.Open(Settings(pty.SlavePath())), 1);
  ASSERT_EQ(pty.Send(Pattern(10, 1), 2000), 10u);
  for (int i = 0; i < 400 && !closing.called.load(); ++i) std::this_thread::sleep_for(5ms);
  ASSERT_TRUE(closing.called.load());
  EXPECT_EQ(closing.result.load(), 0);
  EXPECT_TRUE(closing.IsConnected());
  EXPECT_EQ(Timed([&] { EXPECT_EQ(closing.Close(), 1); }) < 3s, true);
}
