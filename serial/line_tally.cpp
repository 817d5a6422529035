#include "serial/line_tally.h"

#include <algorithm>

namespace serial {

void LineTally::Reset() {
  std::lock_guard<std::mutex> lock(m_lock);
  m_first.clear();
  m_total.store(0);
}

void LineTally::Add(std::span<const std::uint8_t> bytes) {
  std::lock_guard<std::mutex> lock(m_lock);
  std::uint64_t total = m_total.load();
  for (const std::uint8_t byte : bytes) {
    if (m_first.size() < kKept) m_first += static_cast<char>(byte);
    m_ring[static_cast<std::size_t>(total % kKept)] = static_cast<char>(byte);
    ++total;
  }
  m_total.store(total);
}

std::string LineTally::First() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_first;
}

std::string LineTally::Last(std::size_t n) const {
  std::lock_guard<std::mutex> lock(m_lock);
  const std::uint64_t total = m_total.load();
  const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>({n, kKept, total}));
  std::string bytes;
  for (std::uint64_t i = total - count; i < total; ++i) bytes += m_ring[static_cast<std::size_t>(i % kKept)];
  return bytes;
}

}  // namespace serial
