#include "configurator/set_run/set_run.h"

#include <algorithm>
#include <string>

namespace torvik {

CSetRun::CSetRun(ISetView& view, ISetLink& link, CSendQueue& queue) : m_view(view), m_link(link), m_queue(queue) {}

void CSetRun::Attach(ISetObserver& observer) {
  if (std::find(m_observers.begin(), m_observers.end(), &observer) == m_observers.end())
    m_observers.push_back(&observer);
}

void CSetRun::Detach(ISetObserver& observer) { std::erase(m_observers, &observer); }

int CSetRun::FindReceiverType(std::string_view name) const {
  // The last row of that name, as the window's list would be searched.
  int found = -1;
  for (std::size_t i = 0; i < m_types.size(); ++i)
    if (m_types[i].name == name) found = static_cast<int>(i);
  return found;
}

// --- The port -----------------------------------------------------------------------

void CSetRun::ClearQueue() {
  m_queue.Clear();
  Tell([](ISetObserver& o) { o.OnItemsQueued(0); });
}

void CSetRun::PortOpened() {
  Tell([](ISetObserver& o) { o.OnPortOpened(); });
  m_link.ReplyWait().Clear();
  m_nAwaited = 0;
  ClearQueue();
}

void CSetRun::PortFailed(const serial::OpenError& error) {
  Tell([&error](ISetObserver& o) { o.OnPortFailed(error); });
}

void CSetRun::PortClosed() {
  ClearQueue();  // nothing more goes to the receiver
  if (m_bSetActive) EndSet(SetOutcome::Interrupted);
}

// --- The Set ------------------------------------------------------------------------

void CSetRun::Started(const SetFacts& facts) {
  m_lastSet = SetResult::Started;
  m_bSetActive = true;
  m_bTimedOutInSet = false;
  Tell([&facts](ISetObserver& o) { o.OnSetStarted(facts); });
}

void CSetRun::Refused() {
  m_lastSet = SetResult::Refused;
  Tell([](ISetObserver& o) { o.OnSetEnded(SetOutcome::Refused); });
}

void CSetRun::EndSet(SetOutcome outcome) {
  m_bSetActive = false;
  Tell([outcome](ISetObserver& o) { o.OnSetEnded(outcome); });
}

void CSetRun::QueueCommands(const std::vector<ComposedCommand>& commands) {
  for (const ComposedCommand& c : commands) m_queue.Add(MakeSendItem(std::string_view(c.bytes), c.label, c.expectReply));
  if (commands.empty()) return;
  m_bIdle = false;
  const int waiting = std::max(0, m_queue.count - m_queue.nextIndex);
  Tell([waiting](ISetObserver& o) { o.OnItemsQueued(waiting); });
}

bool CSetRun::QueueIdle() const {
  return m_queue.nextIndex >= m_queue.count && m_link.ReplyWait().load() == 0;
}

void CSetRun::NoteProgress() {
  if (m_bIdle || !QueueIdle() || m_nAwaited > 0) return;
  m_bIdle = true;
  Tell([](ISetObserver& o) { o.OnIdle(); });
  if (m_bSetActive) EndSet(m_bTimedOutInSet ? SetOutcome::Failed : SetOutcome::Passed);
}

// --- The ticks ----------------------------------------------------------------------

void CSetRun::SendTick() {
  CReplyWait& wait = m_link.ReplyWait();
  if (wait.load() == 1) return;
  CSendItem* item = m_queue.Next();
  if (item == nullptr) {
    m_queue.Clear();
    return;
  }
  const std::uint32_t now = m_view.RunTicks();
  m_link.LastActivity().store(now);
  m_dwWriteTime = now;
  const bool expectReply = item->expectReply != 0;
  const std::uint32_t sequence = wait.Begin(expectReply);
  if (expectReply) ++m_nAwaited;
  m_rxAtWrite = m_link.ReceivedTotal();
  if (!m_observers.empty()) {
    SentItem sent;
    sent.sequence = sequence;
    sent.label = item->label.data();
    sent.bytes = std::span<const std::uint8_t>(item->data.data(), static_cast<std::size_t>(item->length));
    sent.expectReply = expectReply;
    sent.writtenAt = now;
    sent.receivedBefore = m_rxAtWrite;
    sent.stillQueued = std::max(0, m_queue.count - m_queue.nextIndex - 1);
    Tell([&sent](ISetObserver& o) { o.OnItemSent(sent); });
  }
  m_link.Write(item->data.data(), item->length);
  const std::string_view label = item->label.data();
  m_view.ShowSentLabel(label);
  Tell([label](ISetObserver& o) { o.OnLogLine(label, false); });
  if (!expectReply) m_view.RunPause(kNoReplyPauseMs);
  m_queue.Advance();
  NoteProgress();
}

void CSetRun::TimeoutTick() {
  CReplyWait& wait = m_link.ReplyWait();
  const std::uint32_t now = m_view.RunTicks();
  if (wait.load() == 0) {
    m_link.LastActivity().store(now);
    return;
  }
  const bool silent = TicksSince(m_link.LastActivity().load(), now) > kSilenceLimitMs;
  const bool tooLong = TicksSince(m_dwWriteTime, now) > kMaxReplyWaitMs;
  if (!silent && !tooLong) return;
  m_link.LastActivity().store(now);
  // Only this write's wait: an acknowledgement may have ended it meanwhile.
  const std::uint32_t sequence = wait.Sequence();
  if (!wait.End(sequence)) return;
  m_nTimedOutSequence = sequence;
  m_nAwaited = std::max(0, m_nAwaited - 1);
  if (m_bSetActive) m_bTimedOutInSet = true;
  if (!m_observers.empty()) {
    TimedOutItem timedOut;
    timedOut.sequence = sequence;
    timedOut.endedAt = now;
    timedOut.receivedBy = m_link.ReceivedTotal();
    const std::string last = m_link.ReceivedLast(static_cast<std::size_t>(timedOut.receivedBy - m_rxAtWrite));
    timedOut.lastBytes = last;
    Tell([&timedOut](ISetObserver& o) { o.OnItemTimedOut(timedOut); });
  }
  const std::string text = m_view.TimeOutText();
  m_view.SendLogLine(text.c_str(), 0);
  NoteProgress();
}

// --- The log ------------------------------------------------------------------------

void CSetRun::Acknowledged(std::uint32_t sequence) {
  m_ackSequence.store(sequence);
  m_view.SendLogLine(kAcknowledgedText, kLogAppend);
}

void CSetRun::LogLine(const char* text, std::intptr_t mode) {
  // Only the acknowledgement's own message reads its facts: a time-out line
  // sent while the monitor thread waits to report one is a line like any other.
  if (text == kAcknowledgedText) {
    // The wait ends here, on the UI thread: a send tick cannot slip in
    // between its end and this line, and put the next label under it.
    const std::uint32_t sequence = m_ackSequence.load();
    const bool endedWait = m_link.ReplyWait().End(sequence);
    // An acknowledgement whose wait a time-out ended while it was being
    // reported would land on the next item's line: it is left out.
    if (!endedWait && sequence == m_nTimedOutSequence) return;
    if (endedWait) {
      m_nAwaited = std::max(0, m_nAwaited - 1);
      const std::uint32_t at = m_view.RunTicks();
      Tell([sequence, at](ISetObserver& o) { o.OnItemAcknowledged(sequence, at); });
    }
  }
  const std::string_view line = text != nullptr ? text : "";
  const bool append = mode == kLogAppend;
  m_view.ShowLogLine(line, append);
  Tell([line, append](ISetObserver& o) { o.OnLogLine(line, append); });
  NoteProgress();
}

}  // namespace torvik
