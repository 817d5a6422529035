// The traffic trace file: what the writer puts down reads back chunk for
// chunk, the writer keeps up without the caller waiting and writes promptly
// enough that a killed process keeps what came before, losses are recorded,
// and the replay rebuilds the memory page frames write.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "framework/dialog_testkit.h"
#include "framework/terminal/terminal_host.h"
#include "framework/terminal/traffic_trace.h"
#include "serial/frames.h"
#include "support/temp_dir.h"
#include "support/trace_replay.h"

using serial::TrafficDirection;
using testing_support::ParsedTrace;
using testing_support::ParseTrace;

namespace {

using namespace std::chrono_literals;

std::string ReadText(const std::string& path) {
  const auto bytes = testing_support::ReadFile(path);
  return {bytes.begin(), bytes.end()};
}

std::vector<std::uint8_t> AllBytes() {
  std::vector<std::uint8_t> bytes(256);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i);
  return bytes;
}

class Trace : public ::testing::Test {
 protected:
  std::unique_ptr<fw::TrafficTrace> Open() {
    std::string error;
    auto trace = fw::TrafficTrace::Open(path, "brevan", error);
    EXPECT_TRUE(trace) << error;
    EXPECT_TRUE(error.empty());
    return trace;
  }
  testing_support::TempDir dir;
  std::string path = dir.File("line.trace");
};

TEST_F(Trace, ChunksReadBackWholeInOrderWithDirectionRateAndRisingTimes) {
  const std::vector<std::vector<std::uint8_t>> chunks = {
      {'A', 'T', '\r', '\n'}, AllBytes(), {0x7C, 0x20, 0x7C}, std::vector<std::uint8_t>(32, 0x41),
      std::vector<std::uint8_t>(33, 0x42), std::vector<std::uint8_t>(1024, 0x00)};
  {
    auto trace = Open();
    ASSERT_TRUE(trace);
    for (std::size_t i = 0; i < chunks.size(); ++i) {
      trace->OnTraffic(i % 2 == 0 ? TrafficDirection::Sent : TrafficDirection::Received, chunks[i],
                       static_cast<std::uint32_t>(9600 * (i + 1)));
      if (i == 2) std::this_thread::sleep_for(30ms);
    }
  }
  const ParsedTrace read = ParseTrace(ReadText(path));
  EXPECT_TRUE(read.problems.empty()) << read.problems.front();
  EXPECT_EQ(read.program, "brevan");
  EXPECT_TRUE(read.ended);
  EXPECT_EQ(read.lostChunks, 0u);
  ASSERT_EQ(read.chunks.size(), chunks.size());
  for (std::size_t i = 0; i < chunks.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(read.chunks[i].bytes, chunks[i]);
    EXPECT_EQ(read.chunks[i].direction, i % 2 == 0 ? TrafficDirection::Sent : TrafficDirection::Received);
    EXPECT_EQ(read.chunks[i].baud, 9600 * (i + 1));
    if (i > 0) {
      EXPECT_GE(read.chunks[i].atMs, read.chunks[i - 1].atMs);
    }
  }
  EXPECT_GE(read.chunks[3].atMs - read.chunks[2].atMs, 30u);
  EXPECT_LT(read.chunks.back().atMs, 5000u);
}

// The documented form of a record, which the manual pages quote.
TEST_F(Trace, ALongChunkWrapsOntoContinuationLinesWithItsOffset) {
  std::vector<std::uint8_t> bytes = {0x24, 0x2C, 0xD3, 0x20, 0x00, 'h', 'i', '|', 0x7F};
  bytes.resize(40, 0x30);
  EXPECT_EQ(fw::TrafficTrace::FormatChunk(65432, TrafficDirection::Sent, 57600, bytes),
            "    65.432 TX 57600 0000 24 2C D3 20 00 68 69 7C 7F 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 "
            "30 30 30 30 30 30  |$,. .hi|.00000000000000000000000|\n"
            "    65.432 TX 57600 0020 30 30 30 30 30 30 30 30" +
                std::string(24 * 3 + 2, ' ') + "|00000000|\n");
}

TEST_F(Trace, AFileThatCannotBeMadeGivesTheSystemsReason) {
  std::string error;
  EXPECT_FALSE(fw::TrafficTrace::Open(dir.File("no/such/dir/t.trace"), "torvik", error));
  EXPECT_EQ(error, "No such file or directory");
  error.clear();
  EXPECT_FALSE(fw::TrafficTrace::Open(dir.Path().string(), "torvik", error));  // a directory
  EXPECT_EQ(error, "Is a directory");
}

// Lines reach the kernel while the program runs: a process killed outright
// keeps everything but the last moments, and has no closing line.
TEST_F(Trace, AKilledProcessKeepsWhatWasTracedBeforeTheKill) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::string error;
    auto trace = fw::TrafficTrace::Open(path, "torvik", error);
    if (!trace) _exit(3);
    std::this_thread::sleep_for(100ms);  // the writer is asleep: each chunk must wake it
    trace->OnTraffic(TrafficDirection::Sent, AllBytes(), 9600);
    std::this_thread::sleep_for(100ms);
    trace->OnTraffic(TrafficDirection::Received, std::vector<std::uint8_t>{'O', 'K'}, 9600);
    std::this_thread::sleep_for(300ms);  // no close
    raise(SIGKILL);
    _exit(4);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << status;
  const ParsedTrace read = ParseTrace(ReadText(path));
  EXPECT_TRUE(read.problems.empty());
  EXPECT_FALSE(read.ended);
  ASSERT_EQ(read.chunks.size(), 2u);
  EXPECT_EQ(read.chunks[0].bytes, AllBytes());
  EXPECT_EQ(read.chunks[1].bytes, (std::vector<std::uint8_t>{'O', 'K'}));
}

// A chunk that would take the queue past its bound is dropped and counted;
// the count goes down before the next chunk that fits, or at the close.
TEST_F(Trace, ALossIsRecordedInsteadOfWaiting) {
  {
    auto trace = Open();
    ASSERT_TRUE(trace);
    const std::vector<std::uint8_t> huge(fw::TrafficTrace::kMaxQueuedBytes + 1, 0xEE);
    trace->OnTraffic(TrafficDirection::Received, std::vector<std::uint8_t>{1}, 9600);
    trace->OnTraffic(TrafficDirection::Received, huge, 9600);
    trace->OnTraffic(TrafficDirection::Received, huge, 9600);
    trace->OnTraffic(TrafficDirection::Received, std::vector<std::uint8_t>{2}, 9600);
    trace->OnTraffic(TrafficDirection::Received, huge, 9600);
  }
  const std::string text = ReadText(path);
  const ParsedTrace read = ParseTrace(text);
  EXPECT_TRUE(read.problems.empty());
  EXPECT_EQ(read.lostChunks, 3u);
  ASSERT_EQ(read.chunks.size(), 2u);
  EXPECT_EQ(read.chunks[1].bytes, std::vector<std::uint8_t>{2});
  const std::string lostTwo = " LOST 2 " + std::to_string(2 * (fw::TrafficTrace::kMaxQueuedBytes + 1)) + "\n";
  const std::size_t lostAt = text.find(lostTwo);
  ASSERT_NE(lostAt, std::string::npos) << text;
  EXPECT_LT(lostAt, text.find(" RX 9600 0000 02 "));
  EXPECT_NE(text.find(" LOST 1 " + std::to_string(fw::TrafficTrace::kMaxQueuedBytes + 1) + "\n"), std::string::npos);
  EXPECT_NE(text.find(", 2 chunks, 2 bytes, 3 chunks lost\n"), std::string::npos) << text;
}

// The engine's writer and monitor threads report at once.
TEST_F(Trace, TwoThreadsAtOnceKeepEachOnesOrder) {
  constexpr int kEach = 3000;
  {
    auto trace = Open();
    ASSERT_TRUE(trace);
    const auto run = [&](TrafficDirection direction) {
      for (int i = 0; i < kEach; ++i) {
        const std::uint8_t chunk[] = {static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i), 0x55};
        trace->OnTraffic(direction, chunk, 9600);
      }
    };
    std::thread other(run, TrafficDirection::Received);
    run(TrafficDirection::Sent);
    other.join();
  }
  const ParsedTrace read = ParseTrace(ReadText(path));
  ASSERT_EQ(read.chunks.size(), 2u * kEach);
  std::array<int, 2> next{0, 0};
  for (const auto& c : read.chunks) {
    int& expected = next[c.direction == TrafficDirection::Sent ? 0 : 1];
    ASSERT_EQ(c.bytes.size(), 3u);
    EXPECT_EQ(c.bytes[0] * 256 + c.bytes[1], expected);
    ++expected;
  }
  EXPECT_EQ(next, (std::array<int, 2>{kEach, kEach}));
}

TEST(TraceParse, LinesItCannotReadAreNamedAndTheRestKept) {
  const ParsedTrace read = ParseTrace(
      "# brevan traffic trace, started 2026-12-08T20:00:00.000Z\n"
      "     0.010 TX 9600 0000 41 42  |AB|\n"
      "     0.011 TX 9600 0020 43  |C|\n"        // continues nothing
      "     0.012 XX 9600 0000 41  |A|\n"        // direction
      "     0.013 RX 9600 0000 4G  |A|\n"        // hex
      "     0.015 RX 9600 0000 44  |D|\n"
      "     0.015 RX 9600 0001 45  |E|\n"        // its continuation
      "     0.016 LOST 4\n");
  EXPECT_EQ(read.program, "brevan");
  ASSERT_EQ(read.chunks.size(), 2u);
  EXPECT_EQ(read.chunks[1].bytes, (std::vector<std::uint8_t>{'D', 'E'}));
  EXPECT_FALSE(read.ended);
  EXPECT_EQ(read.problems, (std::vector<std::string>{
                               "line 3: continuation without its chunk", "line 4: bad direction 'XX'",
                               "line 5: bad byte '4G'", "line 8: bad LOST record"}));
  EXPECT_EQ(ParseTrace("hello\n").problems, std::vector<std::string>{"line 1: bad time"});
  EXPECT_EQ(ParseTrace("# something else\n").problems, std::vector<std::string>{"line 1: not a traffic trace"});
}

std::array<std::uint8_t, serial::kPageBytes> Page(std::uint8_t seed) {
  std::array<std::uint8_t, serial::kPageBytes> page{};
  for (std::size_t i = 0; i < page.size(); ++i) page[i] = static_cast<std::uint8_t>(seed * 31 + i);
  return page;
}

void Put(std::vector<std::uint8_t>& line, std::span<const std::uint8_t> bytes) {
  line.insert(line.end(), bytes.begin(), bytes.end());
}

TEST(TraceReplay, PageFramesAmongOtherBytesWriteTheirPages) {
  std::vector<std::uint8_t> line = {'A', 'T', '+', 0x24, 0x24, 0x2C};  // stray '$' and a frame's start
  Put(line, serial::BuildCommandPacket(0x2D, "A1"));
  // A command frame whose payload looks like a page frame's start is stepped over whole.
  const std::string lookalike = "A$ A, C211";
  Put(line, serial::BuildCommandPacket(0x2D, lookalike));
  Put(line, serial::BuildBlockPacket(Page(1), 0x2000));
  Put(line, serial::BuildBlockPacket(Page(2), 0x2080));
  // Page data holding a page frame's start stays data.
  auto tricky = Page(3);
  tricky[10] = 0x24, tricky[11] = 0x2C, tricky[12] = 0xD3;
  Put(line, serial::BuildBlockPacket(tricky, 0x2100));
  Put(line, serial::BuildBlockPacket(Page(9), 0x2080));  // sent again: the last one stands
  Put(line, serial::BuildBlockPacket(Page(4), 0xFFC0));  // wraps past the top
  auto last = serial::BuildBlockPacket(Page(5), 0x3000);
  Put(line, std::span<const std::uint8_t>(last).first(100));  // cut off: writes nothing

  const auto image = testing_support::RebuildFlash(line);
  EXPECT_EQ(image.pages, 5);
  EXPECT_EQ(image.distinctPages, 4) << "0x2080 went twice";
  std::vector<std::uint8_t> expected(65536, 0xFF);
  const auto place = [&](std::size_t at, const std::array<std::uint8_t, serial::kPageBytes>& page) {
    for (std::size_t i = 0; i < page.size(); ++i) expected[(at + i) % 65536] = page[i];
  };
  place(0x2000, Page(1));
  place(0x2080, Page(9));
  place(0x2100, tricky);
  place(0xFFC0, Page(4));
  EXPECT_EQ(image.bytes, expected);
}

// SIGTERM, SIGHUP and SIGQUIT end a run as Ctrl-C does, and tell which came.
TEST(TraceSignals, PoliteEndRequestsRunTheCancelCommandAndAreTold) {
  for (const int signal : {SIGTERM, SIGHUP, SIGQUIT, SIGINT}) {
    SCOPED_TRACE(signal);
    std::ostringstream out;
    fw::TerminalHost host(out, false);
    fwtest::KitDialog dialog;
    fw::CancelOnInterrupt guard(host);
    ASSERT_TRUE(guard.Active());
    EXPECT_EQ(fw::CancelOnInterrupt::Signal(), 0);
    std::thread sender([signal] {
      std::this_thread::sleep_for(20ms);
      raise(signal);
      raise(SIGHUP);  // a second one changes nothing
    });
    EXPECT_EQ(host.RunModal(dialog), fw::kIdCancel);
    sender.join();
    EXPECT_TRUE(fw::CancelOnInterrupt::Interrupted());
    EXPECT_EQ(fw::CancelOnInterrupt::Signal(), signal);
  }
}

void Ignore(int) {}

TEST(TraceSignals, TheHandlersThatWereThereComeBack) {
  struct sigaction mine {};
  mine.sa_handler = Ignore;
  sigemptyset(&mine.sa_mask);
  std::array<struct sigaction, 3> before{};
  const std::array<int, 3> signals = {SIGTERM, SIGHUP, SIGQUIT};
  for (std::size_t i = 0; i < signals.size(); ++i) sigaction(signals[i], &mine, &before[i]);
  {
    std::ostringstream out;
    fw::TerminalHost host(out, false);
    fw::CancelOnInterrupt guard(host);
    struct sigaction now {};
    sigaction(SIGTERM, nullptr, &now);
    EXPECT_NE(now.sa_handler, &Ignore);
  }
  for (std::size_t i = 0; i < signals.size(); ++i) {
    struct sigaction now {};
    sigaction(signals[i], &before[i], &now);
    EXPECT_EQ(now.sa_handler, &Ignore) << signals[i];
  }
}

}  // namespace
