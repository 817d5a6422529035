// Receive throughput: a 1 MiB burst from the far end of a pseudo-terminal
// through the engine, against `cat` reading the same kind of pty in the same
// run. Medians over several runs, and the ratio.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "support/posix/pty_testkit.h"
#include "serial/engine.h"

namespace {

using serial::posix::testkit::CCatReader;
using serial::posix::testkit::CPtyPair;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kBurst = 1 << 20;
constexpr int kTimeoutMs = 30000;

class CCountingTTY : public CTTYnew {
 public:
  CCountingTTY(serial::EngineKey key, serial::IEngineOwner& owner) : CTTYnew(key, owner) {}
  void OnDataReceived(const std::uint8_t* data, int length) override {
    const std::lock_guard lock(m_mutex);
    m_sum += data[length - 1];  // touch the data as a program would
    m_count += static_cast<std::size_t>(length);
    if (m_count >= kBurst) m_done.notify_all();
  }
  bool WaitAll() {
    std::unique_lock lock(m_mutex);
    return m_done.wait_for(lock, std::chrono::milliseconds(kTimeoutMs), [&] { return m_count >= kBurst; });
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_done;
  std::size_t m_count = 0;
  std::uint64_t m_sum = 0;
};

std::vector<std::uint8_t> Burst() {
  std::vector<std::uint8_t> bytes(kBurst);
  std::uint32_t x = 12345;
  for (auto& b : bytes) {
    x = x * 1664525u + 1013904223u;
    b = static_cast<std::uint8_t>(x >> 24);
  }
  return bytes;
}

// Seconds for the burst to reach the reader; negative on failure.
template <typename Receive>
double TimeBurst(CPtyPair& pty, const std::vector<std::uint8_t>& burst, Receive&& receive) {
  const auto start = Clock::now();
  std::thread sender([&] { pty.Send(burst, kTimeoutMs); });
  const bool ok = receive();
  const auto end = Clock::now();
  sender.join();
  return ok ? std::chrono::duration<double>(end - start).count() : -1.0;
}

double EngineRun(const std::vector<std::uint8_t>& burst) {
  CPtyPair pty;
  serial::CPlainEngineOwner owner;
  serial::Engine<CCountingTTY> engine(owner);
  CommSettings settings;
  settings.portName = pty.SlavePath();
  settings.baudRate = 115200;
  if (!pty.Ok() || engine.Open(settings) == 0) return -1.0;
  return TimeBurst(pty, burst, [&] { return engine.WaitAll(); });
}

double CatRun(const std::vector<std::uint8_t>& burst) {
  CPtyPair pty;
  const int slave = pty.Ok() ? pty.OpenSlaveRaw() : -1;
  CCatReader cat(slave);
  CPtyPair::CloseFd(slave);  // cat holds its own copy
  if (!cat.Ok()) return -1.0;
  return TimeBurst(pty, burst, [&] { return cat.Drain(kBurst, kTimeoutMs) == kBurst; });
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 9;
  if (runs < 1) {
    std::fprintf(stderr, "usage: serial-rx-bench [RUNS]\n");
    return 2;
  }
  const auto burst = Burst();
  std::vector<double> engine, cat;
  for (int i = 0; i < runs; ++i) {
    // Alternate which goes first, so that neither always finds a warm system.
    const double a = (i % 2 == 0) ? EngineRun(burst) : CatRun(burst);
    const double b = (i % 2 == 0) ? CatRun(burst) : EngineRun(burst);
    const double e = (i % 2 == 0) ? a : b;
    const double c = (i % 2 == 0) ? b : a;
    if (e <= 0 || c <= 0) {
      std::fprintf(stderr, "serial-rx-bench: run %d failed (%s)\n", i + 1, e <= 0 ? "engine" : "cat");
      return 1;
    }
    engine.push_back(e);
    cat.push_back(c);
  }
  const double mib = static_cast<double>(kBurst) / (1024.0 * 1024.0);
  const double engineRate = mib / Median(engine);
  const double catRate = mib / Median(cat);
  std::printf("1 MiB burst over a pty through the engine: median %.1f MiB/s over %d runs\n", engineRate, runs);
  std::printf("cat reading the same kind of pty:          median %.1f MiB/s over %d runs\n", catRate, runs);
  std::printf("ratio: %.2f (target: at least 0.5)\n", engineRate / catRate);
  return 0;
}
