#pragma once
// The record of one upgrade, from what the run told its observers: the times
// it started and ended, and its summary (for a run that never ended, what it
// told when its first page went out). Nothing is read from the window.
#include <chrono>
#include <cstdint>
#include <string>

#include "records/record_store.h"
#include "updater/upgrade/upgrade_observer.h"

namespace brevan {

class UpgradeTrail final : public IUpgradeObserver {
 public:
  void OnStarted() override;
  void OnPageSent(const PageSentFacts& page) override;
  void OnFirstPageSent(const UpgradeSummary& soFar) override;
  void OnEnded(const UpgradeSummary& summary) override;

  // The summary it ended with, else what was known when it stopped.
  const UpgradeSummary& Summary() const { return m_summary; }

  // UTC ISO-8601; empty before the event.
  const std::string& StartedAt() const { return m_startedAt; }
  // The end, or now when the run never told it (an interrupted one).
  std::string EndedAt() const;
  std::int64_t DurationMs() const;

 private:
  std::string m_startedAt;
  std::string m_endedAt;
  std::chrono::steady_clock::time_point m_start{};
  std::chrono::steady_clock::time_point m_end{};
  bool m_ended = false;
  UpgradeSummary m_summary;
};

struct UpgradePlace {
  std::string station;
  std::string port;
  std::string outcome;  // the result's outcome word
};

records::UpgradeRecord MakeUpgradeRecord(const UpgradeTrail& trail,
                                         const UpgradePlace& place);

}  // namespace brevan
