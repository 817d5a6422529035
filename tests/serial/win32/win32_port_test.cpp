// The engine over the Win32 backend under Wine, against far_end.py on a pty.
// Each suite needs the far end in one mode; wine-pty.sh starts it and runs
// this binary with a filter (see CMakeLists.txt).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "configurator/send_queue/configurator_engine_profile.h"
#include "serial/engine.h"
#include "serial/tty_engine.h"
#include "serial/win32/win32_serial_port.h"
#include "support/collecting_tty.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// The far end's pattern (far_end.py: pattern()).
std::vector<std::uint8_t> Pattern(std::uint32_t start, std::size_t count) {
  std::vector<std::uint8_t> bytes(count);
  for (std::size_t k = 0; k < count; ++k) {
    const std::uint32_t i = start + static_cast<std::uint32_t>(k);
    bytes[k] = static_cast<std::uint8_t>(((i ^ (i >> 8) ^ (i >> 16)) + (i >> 24)) & 0xFF);
  }
  return bytes;
}

// What the far end last wrote to its status file ("rate 57600" ...).
std::map<std::string, std::string> FarEndStatus() {
  std::map<std::string, std::string> fields;
  std::ifstream in(Env("W32_TEST_STATUS"));
  std::string key, value;
  while (in >> key >> value) fields[key] = value;
  return fields;
}

bool FarEndReports(const std::string& key, const std::string& value, milliseconds within) {
  const auto until = Clock::now() + within;
  do {
    if (FarEndStatus()[key] == value) return true;
    std::this_thread::sleep_for(milliseconds(20));
  } while (Clock::now() < until);
  return false;
}

class CollectingTTY : public testing_support::CollectingTTY {
 public:
  using testing_support::CollectingTTY::CollectingTTY;
  serial::CWin32SerialPort& Win32Port() { return dynamic_cast<serial::CWin32SerialPort&>(TestPort()); }
};

using CollectingEngine = serial::Engine<CollectingTTY>;

// The engines here belong to no window: Close joins plainly.
serial::CPlainEngineOwner& NoWindows() {
  static serial::CPlainEngineOwner owner;
  return owner;
}

bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

CommSettings Line(std::uint32_t rate = 57600) {
  CommSettings s;
  s.portName = Env("W32_TEST_COM");
  s.baudRate = rate;
  return s;
}

void Write(CollectingEngine& engine, const std::vector<std::uint8_t>& bytes) {
  ASSERT_EQ(engine.WriteBytes(bytes.data(), static_cast<int>(bytes.size())), 1);
}

class Win32PortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Env("W32_TEST_COM").empty()) << "run through wine-pty.sh, which wires the port";
  }
};

using Echo = Win32PortTest;
using Burst = Win32PortTest;
using Stream = Win32PortTest;
using Vanish = Win32PortTest;
using Deaf = Win32PortTest;

TEST_F(Echo, OpensAt57600AndTheRateReachesTheLine) {
  CollectingEngine engine{NoWindows()};
  ASSERT_EQ(engine.Open(Line()), 1) << engine.LastOpenError().detail;
  EXPECT_TRUE(engine.IsConnected());
  serial::PortDcb dcb;
  ASSERT_TRUE(engine.Win32Port().GetCommState(dcb));
  EXPECT_EQ(dcb.BaudRate, 57600u);
  EXPECT_EQ(dcb.ByteSize, 8);
  EXPECT_EQ(dcb.Parity, serial::kNoParity);
  EXPECT_EQ(dcb.StopBits, serial::kOneStopBit);
  EXPECT_TRUE(FarEndReports("rate", "57600", milliseconds(3000))) << "far end sees rate " << FarEndStatus()["rate"];
  EXPECT_EQ(engine.Close(), 1);
  EXPECT_FALSE(engine.IsConnected());
}

TEST_F(Echo, WrittenBytesComeBackThroughTheMonitorWait) {
  CollectingEngine engine{NoWindows()};
  ASSERT_EQ(engine.Open(Line()), 1) << engine.LastOpenError().detail;
  const std::vector<std::uint8_t> hello{'h', 'e', 'l', 'l', 'o', '\r', '\n', 0x00, 0xFF, 0x11, 0x13};
  Write(engine, hello);
  ASSERT_TRUE(engine.WaitForBytes(hello.size(), milliseconds(5000)));
  EXPECT_EQ(engine.Bytes(), hello);
  EXPECT_GT(engine.Win32Port().EventWaits(), 0u);
  // A break comes and goes and leaves the line as it was.
  EXPECT_EQ(engine.SetBreak(), 1);
  EXPECT_EQ(engine.ClearBreak(), 1);
  // Single bytes go through WriteByte's short wait.
  engine.Forget();
  for (const int b : {int{'O'}, int{'K'}, 0x80}) EXPECT_EQ(engine.WriteByte(b), 1);
  ASSERT_TRUE(engine.WaitForBytes(3, milliseconds(5000)));
  EXPECT_EQ(engine.Bytes(), (std::vector<std::uint8_t>{'O', 'K', 0x80}));
}

TEST_F(Echo, AnIdleLineDoesNotSpinTheMonitor) {
  CollectingEngine engine{NoWindows()};
  ASSERT_EQ(engine.Open(Line()), 1) << engine.LastOpenError().detail;
  // Wine ends every wait on a pty after a few ms as aborted (the pty has no
  // modem lines for it to poll); the backend pauses after a failed wait.
  std::this_thread::sleep_for(milliseconds(300));
  serial::CWin32SerialPort& port = engine.Win32Port();
  const std::uint32_t before = port.EventWaits();
  std::this_thread::sleep_for(milliseconds(1000));
  const std::uint32_t waits = port.EventWaits() - before;
  std::printf("idle line: %u monitor waits in 1 s\n", waits);
  EXPECT_LE(waits, 40u);
  // Characters still wake it.
  const std::vector<std::uint8_t> bytes{'w', 'a', 'k', 'e'};
  Write(engine, bytes);
  ASSERT_TRUE(engine.WaitForBytes(bytes.size(), milliseconds(5000)));
  EXPECT_EQ(engine.Bytes(), bytes);
}

TEST_F(Echo, OrderHoldsAcrossChunkBoundaries) {
  CollectingEngine engine{NoWindows()};
  ASSERT_EQ(engine.Open(Line()), 1) << engine.LastOpenError().detail;
  const std::vector<std::uint8_t> sent = Pattern(0, 40000);
  // Pieces that never line up with the 1024-byte chunks of the drain.
  for (std::size_t at = 0; at < sent.size(); at += 777) {
    const std::size_t n = std::min<std::size_t>(777, sent.size() - at);
    ASSERT_EQ(engine.WriteBytes(sent.data() + at, static_cast<int>(n)), 1);
  }
  ASSERT_TRUE(engine.WaitForBytes(sent.size(), milliseconds(20000))) << "got " << engine.Bytes().size();
  EXPECT_TRUE(engine.WaitForQuiet(milliseconds(300), milliseconds(3000)));
  EXPECT_EQ(engine.Bytes(), sent);
  const std::vector<int> chunks = engine.ChunkSizes();
  EXPECT_GT(chunks.size(), 1u);
  for (const int n : chunks) {
    EXPECT_GE(n, 1);
    EXPECT_LE(n, CTTYnew::kChunk);
  }
}

TEST_F(Echo, SecondOpenOfThePortLeavesTheFirstWorking) {
  CollectingEngine first{NoWindows()};
  ASSERT_EQ(first.Open(Line()), 1) << first.LastOpenError().detail;
  CollectingEngine second{NoWindows()};
  const int secondOpen = second.Open(Line());
  if (RunningUnderWine()) {
    // Wine checks share modes on files only: a device opens for everyone.
    EXPECT_EQ(secondOpen, 1) << "Wine refused a second open: the Windows branch below applies now";
    EXPECT_EQ(second.Close(), 1);
  } else {
    EXPECT_EQ(secondOpen, 0);
    EXPECT_FALSE(second.IsConnected());
    EXPECT_EQ(second.LastOpenError().kind, serial::OpenFailure::Busy) << second.LastOpenError().detail;
    EXPECT_NE(second.LastOpenError().detail.find("in use"), std::string::npos) << second.LastOpenError().detail;
    EXPECT_EQ(second.Close(), 0);
  }

  // The second engine's open, failure or close did not touch the first's handle.
  const std::vector<std::uint8_t> ping{'p', 'i', 'n', 'g'};
  Write(first, ping);
  ASSERT_TRUE(first.WaitForBytes(ping.size(), milliseconds(5000)));
  EXPECT_TRUE(first.WaitForQuiet(milliseconds(200), milliseconds(3000)));
  EXPECT_EQ(first.Bytes(), ping);
  EXPECT_EQ(first.Close(), 1);
}

TEST_F(Echo, APortTheSystemRefusesIsReportedAsInUse) {
  // wine-pty.sh links this port to a device node that refuses to open for
  // writing (access denied), as Windows refuses a port another program holds.
  const std::string refused = Env("W32_TEST_REFUSED_COM");
  ASSERT_FALSE(refused.empty());
  for (const EngineProfile profile : {brevan::UpdaterEngineProfile(), ConfiguratorEngineProfile()}) {
    serial::Engine<CTTYnew> engine(NoWindows(), profile);
    CommSettings s = Line();
    s.portName = refused;
    EXPECT_EQ(engine.Open(s), 0);
    EXPECT_FALSE(engine.IsConnected());
    const serial::OpenError& error = engine.LastOpenError();
    EXPECT_EQ(error.kind, serial::OpenFailure::Busy) << error.detail;
    EXPECT_EQ(error.path, profile.namespacePrefix ? "//./" + refused : refused);
    EXPECT_NE(error.detail.find("in use by another program"), std::string::npos) << error.detail;
    EXPECT_EQ(engine.Close(), 0);
  }
}

TEST_F(Echo, ConfiguratorOpensTheNamespaceFormAtItsOwnRate) {
  CollectingEngine engine{NoWindows(), ConfiguratorEngineProfile()};
  TorvikCommSettings s;
  s.portName = Env("W32_TEST_COM");
  s.baudRate = 115200;
  ASSERT_EQ(engine.Open(s, CTTYnew::kBelowNormalPriority), 1) << engine.LastOpenError().detail;
  EXPECT_EQ(engine.Win32Port().DevicePath(s.portName, true), "//./" + s.portName);
  EXPECT_TRUE(FarEndReports("rate", "115200", milliseconds(3000))) << "far end sees rate " << FarEndStatus()["rate"];
  const std::vector<std::uint8_t> reply{'A', 'T', '\r'};
  Write(engine, reply);
  ASSERT_TRUE(engine.WaitForBytes(reply.size(), milliseconds(5000)));
  EXPECT_EQ(engine.Bytes(), reply);
  // A rate change on the open port reaches the line too.
  s.baudRate = 9600;
  EXPECT_EQ(engine.ApplySettings(s), 1);
  EXPECT_TRUE(FarEndReports("rate", "9600", milliseconds(3000))) << "far end sees rate " << FarEndStatus()["rate"];
  EXPECT_EQ(engine.Close(), 1);
}

TEST_F(Echo, ReopensAfterCloseAgainAndAgain) {
  CollectingEngine engine{NoWindows()};
  for (int round = 0; round < 5; ++round) {
    SCOPED_TRACE(round);
    ASSERT_EQ(engine.Open(Line()), 1) << engine.LastOpenError().detail;
    const std::vector<std::uint8_t> bytes = Pattern(static_cast<std::uint32_t>(round) * 1000, 300);
    Write(engine, bytes);
    ASSERT_TRUE(engine.WaitForBytes(bytes.size(), milliseconds(5000)));
    EXPECT_EQ(engine.Bytes(), bytes);
    EXPECT_EQ(engine.Close(), 1);
    EXPECT_EQ(engine.Close(), 0);
    engine.Forget();
  }
}

TEST_F(Burst, ArrivesWholeAndInOrder) {
  CollectingEngine engine{NoWindows()};
  ASSERT_EQ(engine.Open(Line()), 1) << engine.LastOpenError().detail;
  const std::vector<std::uint8_t> expected = Pattern(0, W32_TEST_BURST_BYTES);
  const auto start = Clock::now();
  ASSERT_EQ(engine.WriteByte('?'), 1);
  const bool whole = engine.WaitForBytes(expected.size(), milliseconds(60000));
  const auto took = std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
  std::printf("burst of %zu bytes: %zu arrived in %lld ms, %zu chunks\n", expected.size(), engine.Bytes().size(),
              static_cast<long long>(took), engine.ChunkSizes().size());
  ASSERT_TRUE(whole);
  EXPECT_TRUE(engine.WaitForQuiet(milliseconds(300), milliseconds(3000)));
  const std::vector<std::uint8_t> got = engine.Bytes();
  ASSERT_EQ(got.size(), expected.size());
  const auto mismatch = std::mismatch(got.begin(), got.end(), expected.begin());
  EXPECT_EQ(mismatch.first, got.end()) << "first wrong byte at " << (mismatch.first - got.begin());
  for (const int n : engine.ChunkSizes()) EXPECT_LE(n, CTTYnew::kChunk);
}

TEST_F(Stream, CloseWhileDataFlowsReturnsPromptly) {
  CollectingEngine engine{NoWindows()};
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    engine.Forget();
    ASSERT_EQ(engine.Open(Line()), 1) << engine.LastOpenError().detail;
    ASSERT_EQ(engine.WriteByte('!'), 1);
    ASSERT_TRUE(engine.WaitForBytes(64 * 1024, milliseconds(10000))) << "got " << engine.Bytes().size();
    if (round == 0) {
      const std::vector<std::uint8_t> got = engine.Bytes();
      EXPECT_EQ(got, Pattern(0, got.size())) << "the stream's start arrived out of order";
    }
    const auto start = Clock::now();
    EXPECT_EQ(engine.Close(), 1);
    const auto took = std::chrono::duration_cast<milliseconds>(Clock::now() - start);
    EXPECT_LT(took.count(), 3000) << "Close took " << took.count() << " ms";
    // The monitor is gone: nothing is delivered after Close.
    const std::size_t atClose = engine.Bytes().size();
    std::this_thread::sleep_for(milliseconds(200));
    EXPECT_EQ(engine.Bytes().size(), atClose);
  }
}

TEST_F(Deaf, WritesThatOutliveTheirWaitStillLeaveWholeAndInOrder) {
  CollectingEngine engine{NoWindows()};
  ASSERT_EQ(engine.Open(Line()), 1) << engine.LastOpenError().detail;
  // The far end reads nothing for a while: the line's buffers fill, writes
  // stay with the driver past their 1000 ms wait, and the next write starts
  // only once the previous one is done.
  constexpr std::size_t kPiece = 64 * 1024;
  constexpr int kPieces = 6;
  const std::vector<std::uint8_t> sent = Pattern(0, kPiece * kPieces);
  std::vector<long long> took;
  for (int i = 0; i < kPieces; ++i) {
    const auto start = Clock::now();
    ASSERT_EQ(engine.WriteBytes(sent.data() + i * kPiece, static_cast<int>(kPiece)), 1);
    took.push_back(std::chrono::duration_cast<milliseconds>(Clock::now() - start).count());
  }
  std::string times;
  for (const long long t : took) {
    times += std::to_string(t);
    times += " ";
  }
  std::printf("writes of %zu bytes to a far end deaf for 3 s took (ms): %s\n", kPiece, times.c_str());
  EXPECT_GE(*std::max_element(took.begin(), took.end()), 900) << "no write was left pending: " << times;
  for (const long long t : took) EXPECT_LT(t, 5000 + 1000 + 1000 + 500) << times;

  ASSERT_TRUE(engine.WaitForBytes(sent.size(), milliseconds(30000))) << "got " << engine.Bytes().size();
  EXPECT_TRUE(engine.WaitForQuiet(milliseconds(300), milliseconds(3000)));
  const std::vector<std::uint8_t> got = engine.Bytes();
  ASSERT_EQ(got.size(), sent.size());
  const auto mismatch = std::mismatch(got.begin(), got.end(), sent.begin());
  EXPECT_EQ(mismatch.first, got.end()) << "first wrong byte at " << (mismatch.first - got.begin());
  EXPECT_EQ(engine.Close(), 1);
}

TEST_F(Vanish, FarEndGoneMidTransferNeitherCrashesNorHangs) {
  CollectingEngine engine{NoWindows()};
  ASSERT_EQ(engine.Open(Line()), 1) << engine.LastOpenError().detail;
  ASSERT_EQ(engine.WriteByte('!'), 1);
  ASSERT_TRUE(FarEndReports("state", "vanished", milliseconds(30000))) << "the far end never went away";
  EXPECT_TRUE(engine.WaitForQuiet(milliseconds(500), milliseconds(10000)));
  const std::vector<std::uint8_t> got = engine.Bytes();
  EXPECT_GT(got.size(), 0u);
  EXPECT_LE(got.size(), static_cast<std::size_t>(W32_TEST_VANISH_BYTES));
  EXPECT_EQ(got, Pattern(0, got.size())) << "what arrived before the end was damaged";

  // The monitor keeps waiting on a dead line, but does not spin.
  serial::CWin32SerialPort& port = engine.Win32Port();
  const std::uint32_t wait0 = port.EventWaits();
  std::this_thread::sleep_for(milliseconds(1000));
  const std::uint32_t waits = port.EventWaits() - wait0;
  std::printf("after the far end went: %u monitor waits in 1 s, %u pauses in all\n", waits, port.EventWaitPauses());
  EXPECT_LE(waits, 40u);

  // Writes to the dead line return within their bounded waits.
  const auto writeStart = Clock::now();
  for (int i = 0; i < 5; ++i) EXPECT_EQ(engine.WriteBytes(got.data(), 100), 1);
  const auto wrote = std::chrono::duration_cast<milliseconds>(Clock::now() - writeStart).count();
  EXPECT_LT(wrote, 5 * 1000 + 6000) << "writes took " << wrote << " ms";

  const auto closeStart = Clock::now();
  engine.Close();
  const auto closed = std::chrono::duration_cast<milliseconds>(Clock::now() - closeStart).count();
  EXPECT_LT(closed, 8000) << "Close took " << closed << " ms";
  EXPECT_FALSE(engine.IsConnected());

  // The port is gone: opening it again fails and says why.
  CollectingEngine again{NoWindows()};
  EXPECT_EQ(again.Open(Line()), 0);
  EXPECT_NE(again.LastOpenError().kind, serial::OpenFailure::None);
  std::printf("reopening the vanished port: kind %d, \"%s\"\n", static_cast<int>(again.LastOpenError().kind),
              again.LastOpenError().detail.c_str());
}

}  // namespace
