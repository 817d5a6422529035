#include "configurator/send_queue/ack_watch.h"

bool CAckWatch::Matcher::Feed(std::uint8_t byte) {
  if (m_found) return true;
  // Neither pattern has a proper prefix that is also its suffix ("KAVEL",
  // "OK\r\n"), so after a mismatch only a fresh start at this byte can match.
  const auto c = static_cast<char>(byte);
  if (c == m_pattern[m_matched]) {
    ++m_matched;
  } else {
    m_matched = c == m_pattern[0] ? 1 : 0;
  }
  if (m_matched == m_pattern.size()) m_found = true;
  return m_found;
}

bool CAckWatch::Append(std::span<const std::uint8_t> chunk) {
  for (std::uint8_t byte : chunk) {
    m_kavel.Feed(byte);
    m_ok.Feed(byte);
  }
  if (m_size < UINT64_MAX - chunk.size()) m_size += chunk.size();
  else m_size = UINT64_MAX;
  if (m_size < 10 || !m_kavel.Found() || !m_ok.Found()) return false;
  Reset();
  return true;
}

void CAckWatch::Reset() {
  m_kavel.Reset();
  m_ok.Reset();
  m_size = 0;
}

void CAckWatch::Follow(std::uint32_t write) {
  if (write == m_write) return;
  m_write = write;
  Reset();
}
