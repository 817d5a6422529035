#include "configurator/send_queue/reply_wait.h"

std::uint32_t CReplyWait::Begin(bool expectReply) {
  const std::uint32_t sequence = (m_word.load() >> 1) + 1;
  m_word.store((sequence << 1) | (expectReply ? 1u : 0u));
  return sequence & 0x7FFFFFFFu;
}

bool CReplyWait::End(std::uint32_t sequence) {
  std::uint32_t waiting = (sequence << 1) | 1u;
  return m_word.compare_exchange_strong(waiting, sequence << 1);
}

void CReplyWait::Clear() { m_word.store(((m_word.load() >> 1) + 1) << 1); }
