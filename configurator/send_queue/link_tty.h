#pragma once
// CLinkTTY: the configurator's serial link. Its monitor-thread hook runs the
// acknowledgement test on every received chunk over the bytes that came
// since the last write and, when an acknowledgement completes, pauses
// 200 ms, ends the wait of that write and reports it to the window.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "configurator/send_queue/ack_watch.h"
#include "configurator/send_queue/reply_wait.h"
#include "serial/line_tally.h"
#include "serial/tty_engine.h"

class CLinkTTY : public CTTYnew {
 public:
  static constexpr unsigned kAckPauseMs = 200;

  CLinkTTY(serial::EngineKey key, serial::IEngineOwner& owner,
           std::unique_ptr<serial::ISerialPort> port = serial::MakePlatformSerialPort());

  void OnDataReceived(const std::uint8_t* data, int length) override;

  // Set by the window before the port first opens.
  std::function<std::uint32_t()> m_tickCount;       // the host's tick count, from any thread
  std::function<void(unsigned ms)> m_pause;         // the monitor thread's pause (a real sleep)
  // An acknowledgement: the write it was found for. Runs on the monitor thread;
  // the window sends itself WM_LOGLINE and ends the wait when it takes it, so
  // the next item cannot go out before "....OK...." is on this item's line.
  std::function<void(std::uint32_t sequence)> m_onAcknowledged;

  CReplyWait m_bWaitingReply;
  std::atomic<std::uint32_t> m_dwLastActivity{0};
  // Received bytes and chunks since the port opened, for the record of a run.
  std::atomic<std::uint64_t> m_nBytesReceived{0};
  // What came back since the port opened, for the terminal's diagnoses.
  serial::LineTally m_rxTally;

 protected:
  void ResetReceiveState() override;

 private:
  CAckWatch m_rx;  // monitor thread only
};
