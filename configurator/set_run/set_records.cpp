#include "configurator/set_run/set_records.h"

namespace torvik {

std::string_view SentOutcomeName(SentRecord::Outcome outcome) {
  switch (outcome) {
    case SentRecord::Outcome::Sent: return "sent";
    case SentRecord::Outcome::Waiting: return "waiting";
    case SentRecord::Outcome::Acknowledged: return "acknowledged";
    case SentRecord::Outcome::TimedOut: return "timed-out";
  }
  return "sent";
}

bool CSentRecords::AnyWaiting() const {
  for (const SentRecord& r : m_items)
    if (r.outcome == SentRecord::Outcome::Waiting) return true;
  return false;
}

SentRecord* CSentRecords::RecordOf(std::uint32_t sequence) {
  for (auto it = m_items.rbegin(); it != m_items.rend(); ++it)
    if (it->sequence == sequence) return &*it;
  return nullptr;
}

void CSentRecords::OnItemSent(const SentItem& item) {
  SentRecord record;
  record.sequence = item.sequence;
  record.label = item.label;
  record.bytes.assign(reinterpret_cast<const char*>(item.bytes.data()), item.bytes.size());
  record.expectReply = item.expectReply;
  record.writtenAt = item.writtenAt;
  record.rxAtWrite = item.receivedBefore;
  record.outcome = record.expectReply ? SentRecord::Outcome::Waiting : SentRecord::Outcome::Sent;
  m_items.push_back(std::move(record));
}

void CSentRecords::OnItemAcknowledged(std::uint32_t sequence, std::uint32_t at) {
  if (SentRecord* record = RecordOf(sequence)) {
    record->outcome = SentRecord::Outcome::Acknowledged;
    record->endedAt = at;
  }
}

void CSentRecords::OnItemTimedOut(const TimedOutItem& item) {
  if (SentRecord* record = RecordOf(item.sequence)) {
    record->outcome = SentRecord::Outcome::TimedOut;
    record->endedAt = item.endedAt;
    record->rxAtEnd = item.receivedBy;
    record->rxTail = item.lastBytes;
  }
}

}  // namespace torvik
