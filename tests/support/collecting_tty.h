#pragma once
// An engine that keeps what its monitor thread hands over, for the tests of
// the real ports: the bytes, the size of each chunk, and waits on them.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "serial/engine.h"
#include "serial/tty_engine.h"
#include "updater/upgrade/updater_engine_profile.h"

namespace testing_support {

class CollectingTTY : public CTTYnew {
 public:
  CollectingTTY(serial::EngineKey key, serial::IEngineOwner& owner, EngineProfile profile = brevan::UpdaterEngineProfile())
      : CTTYnew(key, owner, profile) {}

  void OnDataReceived(const std::uint8_t* data, int length) override {
    const std::lock_guard lock(m_lock);
    m_bytes.insert(m_bytes.end(), data, data + length);
    m_chunks.push_back(length);
    m_changed.notify_all();
  }

  // True once at least `count` bytes have come; false when `within` passed first.
  bool WaitForBytes(std::size_t count, std::chrono::milliseconds within = std::chrono::seconds(5)) {
    std::unique_lock lock(m_lock);
    return m_changed.wait_for(lock, within, [&] { return m_bytes.size() >= count; });
  }
  // True once nothing has come for `quiet`; false if data kept coming for `within`.
  bool WaitForQuiet(std::chrono::milliseconds quiet, std::chrono::milliseconds within) {
    const auto until = std::chrono::steady_clock::now() + within;
    std::unique_lock lock(m_lock);
    while (std::chrono::steady_clock::now() < until) {
      const std::size_t before = m_bytes.size();
      m_changed.wait_for(lock, quiet);
      if (m_bytes.size() == before) return true;
    }
    return false;
  }
  std::vector<std::uint8_t> Bytes() {
    const std::lock_guard lock(m_lock);
    return m_bytes;
  }
  std::vector<int> ChunkSizes() {
    const std::lock_guard lock(m_lock);
    return m_chunks;
  }
  void Forget() {
    const std::lock_guard lock(m_lock);
    m_bytes.clear();
    m_chunks.clear();
  }
  serial::ISerialPort& TestPort() { return Port(); }

 private:
  std::mutex m_lock;
  std::condition_variable m_changed;
  std::vector<std::uint8_t> m_bytes;
  std::vector<int> m_chunks;
};

}  // namespace testing_support
