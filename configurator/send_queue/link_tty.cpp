#include "configurator/send_queue/link_tty.h"

#include <chrono>
#include <span>
#include <thread>

CLinkTTY::CLinkTTY(serial::EngineKey key, serial::IEngineOwner& owner, std::unique_ptr<serial::ISerialPort> port)
    : CTTYnew(key, owner, EngineProfile::Configurator(), std::move(port)),
      m_tickCount([] {
        using namespace std::chrono;
        return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
      }),
      m_pause([](unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }) {}

void CLinkTTY::ResetReceiveState() {
  m_rx.Reset();
  m_rxTally.Reset();
}

void CLinkTTY::OnDataReceived(const std::uint8_t* data, int length) {
  m_dwLastActivity.store(m_tickCount());
  if (data == nullptr || length <= 0) return;
  m_nBytesReceived.fetch_add(static_cast<std::uint64_t>(length));
  m_rxTally.Add(std::span(data, static_cast<std::size_t>(length)));
  // The write number is stored before the write goes out: what came before
  // it (an earlier item's answer) is dropped here, not counted towards it.
  m_rx.Follow(m_bWaitingReply.Sequence());
  if (!m_rx.Append(std::span(data, static_cast<std::size_t>(length)))) return;
  // The acknowledgement belongs to the write its bytes followed, even if
  // another write begins during the pause.
  const std::uint32_t sequence = m_rx.Write();
  m_pause(kAckPauseMs);
  if (m_onAcknowledged) m_onAcknowledged(sequence);
}
