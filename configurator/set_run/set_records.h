#pragma once
// The written items of a Set as its observer sees them: one record per
// write, with its outcome and times, for reports and scripts.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "configurator/set_run/set_observer.h"

namespace torvik {

struct SentRecord {
  enum class Outcome { Sent, Waiting, Acknowledged, TimedOut };
  std::uint32_t sequence = 0;
  std::string label;
  std::string bytes;
  bool expectReply = false;
  std::uint32_t writtenAt = 0;  // host tick count
  Outcome outcome = Outcome::Sent;
  std::uint32_t endedAt = 0;
  // What came back while it waited: bytes received before its write and by
  // its end, and the last of them (a time-out's diagnosis).
  std::uint64_t rxAtWrite = 0;
  std::uint64_t rxAtEnd = 0;
  std::string rxTail;
};

// The word reports and records use for an item's outcome.
std::string_view SentOutcomeName(SentRecord::Outcome outcome);

class CSentRecords final : public ISetObserver {
 public:
  const std::vector<SentRecord>& Items() const { return m_items; }
  void Clear() { m_items.clear(); }
  // Whether any written item still waits for its acknowledgement.
  bool AnyWaiting() const;

  void OnItemSent(const SentItem& item) override;
  void OnItemAcknowledged(std::uint32_t sequence, std::uint32_t at) override;
  void OnItemTimedOut(const TimedOutItem& item) override;

 private:
  SentRecord* RecordOf(std::uint32_t sequence);

  std::vector<SentRecord> m_items;
};

}  // namespace torvik
