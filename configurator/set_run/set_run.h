#pragma once
// CSetRun: the Set once its checks have passed, and the link's sequences.
// The queued items go out one at a time on the send tick; each wait for an
// acknowledgement ends with the acknowledgement, after more than 3 s of
// silence, or 10 s after its write at the latest (the time-out tick). The
// run keeps the window's log through its view and tells its observers what
// happened. The window owns it and hands it its ticks and log messages.
#include <atomic>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "configurator/command_set/command_set.h"
#include "configurator/send_queue/send_queue.h"
#include "configurator/set_run/set_observer.h"
#include "configurator/set_run/set_ports.h"
#include "configurator/type_file/receiver_type.h"

namespace torvik {

// How the last Set ended, for scripts.
enum class SetResult { None, Started, Refused };

inline constexpr std::intptr_t kLogAppend = 2;

class CSetRun {
 public:
  static constexpr unsigned kNoReplyPauseMs = 400;
  // An acknowledgement the monitor thread is reporting through the log-line
  // message: its message alone carries this text's address, so another log
  // line arriving meanwhile (a time-out's) never takes these facts for its own.
  static constexpr char kAcknowledgedText[] = "....OK....";

  CSetRun(ISetView& view, ISetLink& link, CSendQueue& queue);
  CSetRun(const CSetRun&) = delete;
  CSetRun& operator=(const CSetRun&) = delete;

  // Observers stay attached until detached; each is told once per event.
  void Attach(ISetObserver& observer);
  void Detach(ISetObserver& observer);

  // The receiver types the window offers, for a front-end to check a name against.
  void SetReceiverTypes(std::span<const ReceiverType> types) { m_types = types; }
  // The index of the type called name, or -1.
  int FindReceiverType(std::string_view name) const;
  std::span<const ReceiverType> ReceiverTypes() const { return m_types; }

  // The port: opened (the queue and any wait start afresh), refused, closed.
  void PortOpened();
  void PortFailed(const serial::OpenError& error);
  void PortClosed();

  // A Set whose checks passed, or one refused.
  void Started(const SetFacts& facts);
  void Refused();
  SetResult LastSet() const { return m_lastSet; }

  void QueueCommands(const std::vector<ComposedCommand>& commands);

  void SendTick();
  void TimeoutTick();
  // An acknowledgement found on the monitor thread for write sequence; its
  // wait ends when the window takes the log-line message it sends.
  void Acknowledged(std::uint32_t sequence);
  // The window's log-line message.
  void LogLine(const char* text, std::intptr_t mode);

  // Nothing left to write and no wait pending.
  bool QueueIdle() const;
  // Bytes received since the port opened.
  std::uint64_t ReceivedTotal() const { return m_link.ReceivedTotal(); }

 private:
  template <class F>
  void Tell(F event) {
    for (ISetObserver* o : m_observers) event(*o);
  }
  void ClearQueue();
  // After each step: tells the observers when everything has gone out and
  // no reply is awaited any more, and how a Set in progress ended.
  void NoteProgress();
  void EndSet(SetOutcome outcome);

  ISetView& m_view;
  ISetLink& m_link;
  CSendQueue& m_queue;
  std::vector<ISetObserver*> m_observers;
  std::span<const ReceiverType> m_types;

  std::uint32_t m_dwWriteTime = 0;        // the last item's write, UI thread only
  std::uint64_t m_rxAtWrite = 0;          // bytes received before it
  std::uint32_t m_nTimedOutSequence = 0;  // the write whose wait the last time-out ended
  std::atomic<std::uint32_t> m_ackSequence{0};

  SetResult m_lastSet = SetResult::None;
  bool m_bSetActive = false;
  bool m_bTimedOutInSet = false;
  bool m_bIdle = true;
  int m_nAwaited = 0;  // written items whose wait has not been reported ended
};

}  // namespace torvik
