#pragma once
// The Set's view of the configurator's serial link.
#include "configurator/send_queue/link_tty.h"
#include "configurator/set_run/set_ports.h"

namespace torvik {

class CLinkTTYPort final : public ISetLink {
 public:
  explicit CLinkTTYPort(CLinkTTY& link) : m_link(link) {}

  CReplyWait& ReplyWait() override { return m_link.m_bWaitingReply; }
  std::atomic<std::uint32_t>& LastActivity() override { return m_link.m_dwLastActivity; }
  void Write(const std::uint8_t* data, int length) override { m_link.WriteBytes(data, length); }
  std::uint64_t ReceivedTotal() const override { return m_link.m_rxTally.Total(); }
  std::string ReceivedLast(std::size_t n) const override { return m_link.m_rxTally.Last(n); }

 private:
  CLinkTTY& m_link;
};

}  // namespace torvik
