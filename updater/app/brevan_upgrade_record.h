#pragma once
// The record of one upgrade, from what the run told its observers: the times
// it started and ended, and its summary. Nothing is read from the window.
#include <chrono>
#include <cstdint>
#include <string>

#include "records/record_store.h"
#include "updater/upgrade/upgrade_observer.h"

namespace brevan {

class UpgradeClock final : public IUpgradeObserver {
 public:
  void OnStarted() override;
  void OnEnded(const UpgradeSummary& summary) override;

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
};

struct UpgradePlace {
  std::string station;
  std::string port;
  std::string outcome;  // the result's outcome word
};

records::UpgradeRecord MakeUpgradeRecord(const UpgradeSummary& summary, const UpgradeClock& clock,
                                         const UpgradePlace& place);

}  // namespace brevan
