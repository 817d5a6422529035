// The send tick, the time-out tick and the log: the queued items go out one
// at a time; each wait for an acknowledgement ends with the acknowledgement,
// after more than 3 s of silence, or 10 s after its write at the latest.
#include <cstring>

#include "configurator/app/torvik_dlg.h"
#include "configurator/resources/torvik_strings.h"
#include "configurator/resources/torvik_templates.h"

namespace torvik {
namespace {

// The longest prefix of text of at most max bytes that ends on a character boundary.
std::string CutToBytes(std::string text, std::size_t max) {
  if (text.size() <= max) return text;
  std::size_t end = max;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0u) == 0x80u) --end;
  text.resize(end);
  return text;
}

}  // namespace

void CTorvikDlg::OnTimer(unsigned id) {
  if (id == IDT_SEND) SendTick();
  else if (id == IDT_TIMEOUT) TimeoutTick();
}

bool CTorvikDlg::QueueIdle() const {
  return m_queue.nextIndex >= m_queue.count && m_link.m_bWaitingReply.load() == 0;
}

SentRecord* CTorvikDlg::RecordOf(std::uint32_t sequence) {
  for (auto it = m_records.rbegin(); it != m_records.rend(); ++it)
    if (it->sequence == sequence) return &*it;
  return nullptr;
}

void CTorvikDlg::SendTick() {
  if (m_link.m_bWaitingReply.load() == 1) return;
  CSendItem* item = m_queue.Next();
  if (item == nullptr) {
    m_queue.Clear();
    return;
  }
  const std::uint32_t now = Host().GetTickCount();
  m_link.m_dwLastActivity.store(now);
  m_dwWriteTime = now;
  const std::uint32_t sequence = m_link.m_bWaitingReply.Begin(item->expectReply != 0);
  if (m_bKeepRecords) {
    SentRecord record;
    record.sequence = sequence;
    record.label = item->label.data();
    record.bytes.assign(reinterpret_cast<const char*>(item->data.data()), static_cast<std::size_t>(item->length));
    record.expectReply = item->expectReply != 0;
    record.writtenAt = now;
    record.rxAtWrite = m_link.m_rxTally.Total();
    record.outcome = record.expectReply ? SentRecord::Outcome::Waiting : SentRecord::Outcome::Sent;
    m_records.push_back(std::move(record));
  }
  m_link.WriteBytes(item->data.data(), item->length);
  fw::CListBox log = List(IDC_LIST_LOG);
  const int line = log.AddString(item->label.data());
  // The line being sent stays in view (the 50-line rule waits for the next log message).
  if (line > 0) log.SetCurSel(line);
  if (item->expectReply == 0) Sleep(kNoReplyPauseMs);
  m_queue.Advance();
}

void CTorvikDlg::TimeoutTick() {
  const std::uint32_t now = Host().GetTickCount();
  if (m_link.m_bWaitingReply.load() == 0) {
    m_link.m_dwLastActivity.store(now);
    return;
  }
  const bool silent = TicksSince(m_link.m_dwLastActivity.load(), now) > kSilenceLimitMs;
  const bool tooLong = TicksSince(m_dwWriteTime, now) > kMaxReplyWaitMs;
  if (!silent && !tooLong) return;
  m_link.m_dwLastActivity.store(now);
  // Only this write's wait: an acknowledgement may have ended it meanwhile.
  const std::uint32_t sequence = m_link.m_bWaitingReply.Sequence();
  if (!m_link.m_bWaitingReply.End(sequence)) return;
  m_nTimedOutSequence = sequence;
  if (SentRecord* record = RecordOf(sequence)) {
    record->outcome = SentRecord::Outcome::TimedOut;
    record->endedAt = now;
    record->rxAtEnd = m_link.m_rxTally.Total();
    record->rxTail = m_link.m_rxTally.Last(static_cast<std::size_t>(record->rxAtEnd - record->rxAtWrite));
  }
  LoadMessage(IDS_TIMEOUT);
  const std::string text = m_strMsg[0];
  SendMessage(WM_LOGLINE, reinterpret_cast<std::uintptr_t>(text.c_str()), 0);
}

std::intptr_t CTorvikDlg::OnLogLine(const char* text, std::intptr_t mode) {
  // Only the acknowledgement's own message reads its facts: a time-out line
  // sent while the monitor thread waits to report one is a line like any other.
  if (text == kAcknowledgedText) {
    const std::uint32_t sequence = m_ackSequence.load();
    // An acknowledgement whose wait a time-out ended while it was being
    // reported would land on the next item's line: it is left out.
    if (m_ackEndedWait.load() == 0 && sequence == m_nTimedOutSequence) return 0;
    SentRecord* record = m_ackEndedWait.load() == 1 ? RecordOf(sequence) : nullptr;
    if (record != nullptr) {
      record->outcome = SentRecord::Outcome::Acknowledged;
      record->endedAt = Host().GetTickCount();
    }
  }
  fw::CListBox log = List(IDC_LIST_LOG);
  const std::string added = text != nullptr ? text : "";
  const int lines = log.GetCount();
  if (mode == kLogAppend && lines >= 1) {
    const std::string last = log.GetText(lines - 1);
    log.DeleteString(lines - 1);
    log.AddString(CutToBytes(last + added, kLogLineMax));
  } else {
    log.AddString(CutToBytes(added, kLogLineMax));
  }
  const int now = log.GetCount();
  if (now > 1) log.SetCurSel(now - 1);
  if (now > kLogLinesKept) log.ResetContent();
  // The other controls are left alone: what the operator is typing for the
  // next board stays as typed.
  return 0;
}

}  // namespace torvik
