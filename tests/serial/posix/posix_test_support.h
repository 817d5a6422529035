#pragma once
// An engine that keeps what its monitor hands over, and small helpers for
// the POSIX port's tests.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "support/collecting_tty.h"
#include "support/posix/pty_testkit.h"
#include "serial/engine.h"
#include "serial/tty_engine.h"
#include "updater/upgrade/updater_engine_profile.h"

namespace posix_test {

using namespace std::chrono_literals;

// The shared collector, and the nice value of the monitor thread that handed over the last chunk.
class CCollectingTTY : public testing_support::CollectingTTY {
 public:
  using testing_support::CollectingTTY::CollectingTTY;

  void OnDataReceived(const std::uint8_t* data, int length) override {
    m_monitorNice.store(serial::posix::testkit::ThreadNice());
    CollectingTTY::OnDataReceived(data, length);
  }
  // Chunks of no bytes or of more than the engine hands over at once.
  int BadChunks() {
    const auto chunks = ChunkSizes();
    return static_cast<int>(
        std::count_if(chunks.begin(), chunks.end(), [](int n) { return n < 1 || n > kChunk; }));
  }
  int MonitorNice() const { return m_monitorNice.load(); }

 private:
  std::atomic<int> m_monitorNice{-100};
};

// Made with an owner: serial::CPlainEngineOwner for the engine alone.
using CCollectingEngine = serial::Engine<CCollectingTTY>;

// Bytes that differ from their neighbours over a long stretch, so that a
// lost, repeated or swapped piece shows.
inline std::vector<std::uint8_t> Pattern(std::size_t count, std::uint32_t seed = 1) {
  std::vector<std::uint8_t> bytes(count);
  std::uint32_t x = seed * 2654435761u + 1;
  for (auto& b : bytes) {
    x = x * 1664525u + 1013904223u;
    b = static_cast<std::uint8_t>(x >> 24);
  }
  return bytes;
}

inline CommSettings Settings(const std::string& path, std::uint32_t rate = 115200) {
  CommSettings s;
  s.portName = path;
  s.baudRate = rate;
  return s;
}

inline int CountEntries(const char* dir) {
  int n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir)) ++n;
  return n;
}

}  // namespace posix_test
