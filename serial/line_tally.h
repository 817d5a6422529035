#pragma once
// What came back on a line, for a diagnosis when a run fails: the byte count
// since the port opened, the first bytes and the latest ones. Fed on the
// monitor thread, read on any thread; memory stays bounded however long a
// receiver talks.
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>

namespace serial {

class LineTally {
 public:
  static constexpr std::size_t kKept = 64;

  void Reset();
  void Add(std::span<const std::uint8_t> bytes);

  std::uint64_t Total() const { return m_total.load(); }
  // The first bytes since the last Reset, at most kKept.
  std::string First() const;
  // The last n bytes received (n at most kKept; fewer when fewer came).
  std::string Last(std::size_t n) const;

 private:
  std::atomic<std::uint64_t> m_total{0};
  mutable std::mutex m_lock;
  std::string m_first;
  std::array<char, kKept> m_ring{};  // the latest bytes, m_total % kKept is the next slot
};

}  // namespace serial
