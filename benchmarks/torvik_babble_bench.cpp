// A receiver that babbles: its periodic output (a GGA sentence at 115200 for
// a production shift and more, compressed in time) through a pty into the
// configurator's link. The acknowledgement test's cost per 1 KiB chunk and
// the process's resident memory after 1 KiB and after 1 GiB of it.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "configurator/send_queue/link_tty.h"
#include "serial/engine.h"
#include "support/posix/pty_testkit.h"

namespace {

using serial::posix::testkit::CPtyPair;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kChunk = 1024;

// Whole GGA sentences, as the receiver prints them, cut into 1 KiB chunks.
std::vector<std::uint8_t> BabbleBlock(std::size_t bytes) {
  const std::string line = "$GPGGA,081512.00,3150.7814,N,11711.9274,E,1,08,1.0,50.000,M,0.000,M,,*65\r\n";
  std::vector<std::uint8_t> block;
  block.reserve(bytes);
  while (block.size() < bytes) block.push_back(static_cast<std::uint8_t>(line[block.size() % line.size()]));
  return block;
}

long ResidentKib() {
  std::ifstream status("/proc/self/status");
  std::string key;
  long value = -1;
  while (status >> key) {
    if (key == "VmRSS:") {
      status >> value;
      return value;
    }
    status.ignore(1 << 12, '\n');
  }
  return value;
}

// Median nanoseconds per chunk over windows of chunks fed straight to the hook.
double NsPerChunk(CLinkTTY& link, const std::vector<std::uint8_t>& block) {
  std::vector<double> windows;
  for (int w = 0; w < 15; ++w) {
    const auto start = Clock::now();
    for (std::size_t off = 0; off + kChunk <= block.size(); off += kChunk)
      link.OnDataReceived(block.data() + off, static_cast<int>(kChunk));
    windows.push_back(std::chrono::duration<double, std::nano>(Clock::now() - start).count() /
                      static_cast<double>(block.size() / kChunk));
  }
  std::sort(windows.begin(), windows.end());
  return windows[windows.size() / 2];
}

bool WaitReceived(const CLinkTTY& link, std::uint64_t count) {
  const auto deadline = Clock::now() + std::chrono::minutes(5);
  while (link.m_nBytesReceived.load() < count) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const double gib = argc > 1 ? std::atof(argv[1]) : 1.0;
  const auto total = static_cast<std::uint64_t>(gib * 1024 * 1024 * 1024);
  if (total < (1u << 20)) {
    std::fprintf(stderr, "usage: torvik-babble-bench [GIB]\n");
    return 2;
  }
  serial::CPlainEngineOwner owner;
  const std::vector<std::uint8_t> block = BabbleBlock(1 << 20);

  // The hook alone: per-chunk cost at the start and after the whole babble.
  {
    serial::Engine<CLinkTTY> link(owner);
    const double early = NsPerChunk(link, block);
    for (std::uint64_t fed = 0; fed < total; fed += block.size())
      for (std::size_t off = 0; off < block.size(); off += kChunk) link.OnDataReceived(block.data() + off, static_cast<int>(kChunk));
    const double late = NsPerChunk(link, block);
    std::printf("acknowledgement test, 1 KiB chunk: median %.0f ns at the start, %.0f ns after %.2f GiB (ratio %.2f, "
                "target: the same within noise)\n",
                early, late, gib, late / early);
  }

  // The engine over a pty at full speed.
  CPtyPair pty;
  serial::Engine<CLinkTTY> link(owner);
  TorvikCommSettings settings;
  settings.portName = pty.SlavePath();
  settings.baudRate = 115200;
  if (!pty.Ok() || link.Open(settings, CTTYnew::kBelowNormalPriority) == 0) {
    std::fprintf(stderr, "torvik-babble-bench: the pty did not open\n");
    return 1;
  }
  pty.Send(std::span(block.data(), kChunk), 10000);
  if (!WaitReceived(link, kChunk)) return 1;
  const long afterKib = ResidentKib();
  const auto start = Clock::now();
  std::uint64_t sent = kChunk;
  while (sent < total) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), total - sent));
    if (pty.Send(std::span(block.data(), n), 60000) != n) return 1;
    sent += n;
  }
  if (!WaitReceived(link, total)) {
    std::fprintf(stderr, "torvik-babble-bench: the babble did not arrive\n");
    return 1;
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const long afterGib = ResidentKib();
  std::printf("resident memory: %ld KiB after 1 KiB of babble, %ld KiB after %.2f GiB (%.0f MiB/s through the pty; "
              "target: the same within noise)\n",
              afterKib, afterGib, gib, static_cast<double>(total) / (1 << 20) / seconds);
  return 0;
}
