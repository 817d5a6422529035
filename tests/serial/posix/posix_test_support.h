#pragma once
// An engine that keeps what its monitor hands over, and small helpers for
// the POSIX port's tests.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <vector>

#include "support/posix/pty_testkit.h"
#include "serial/engine.h"
#include "serial/tty_engine.h"

namespace posix_test {

using namespace std::chrono_literals;

class CCollectingTTY : public CTTYnew {
 public:
  CCollectingTTY(serial::EngineKey key, serial::IEngineOwner& owner, EngineProfile profile = EngineProfile::Updater())
      : CTTYnew(key, owner, profile) {}

  void OnDataReceived(const std::uint8_t* data, int length) override {
    const int nice = serial::posix::testkit::ThreadNice();
    const std::lock_guard lock(m_mutex);
    m_bytes.insert(m_bytes.end(), data, data + length);
    if (length < 1 || length > kChunk) ++m_badChunks;
    ++m_chunks;
    m_monitorNice = nice;
    m_changed.notify_all();
  }

  // True once `count` bytes have come; false when `timeout` passed first.
  bool WaitFor(std::size_t count, std::chrono::milliseconds timeout = 5s) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_bytes.size() >= count; });
  }
  std::vector<std::uint8_t> Received() {
    const std::lock_guard lock(m_mutex);
    return m_bytes;
  }
  int Chunks() {
    const std::lock_guard lock(m_mutex);
    return m_chunks;
  }
  int BadChunks() {
    const std::lock_guard lock(m_mutex);
    return m_badChunks;
  }
  int MonitorNice() {
    const std::lock_guard lock(m_mutex);
    return m_monitorNice;
  }
  serial::ISerialPort& TestPort() { return Port(); }

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<std::uint8_t> m_bytes;
  int m_chunks = 0;
  int m_badChunks = 0;
  int m_monitorNice = -100;
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
