#include "updater/app/brevan_upgrade_record.h"

#include "records/utc_time.h"

namespace brevan {

void UpgradeClock::OnStarted() {
  m_start = std::chrono::steady_clock::now();
  m_startedAt = records::UtcNow();
  m_ended = false;
  m_endedAt.clear();
}

void UpgradeClock::OnEnded(const UpgradeSummary& /*summary*/) {
  m_end = std::chrono::steady_clock::now();
  m_endedAt = records::UtcNow();
  m_ended = true;
}

std::string UpgradeClock::EndedAt() const { return m_ended ? m_endedAt : records::UtcNow(); }

std::int64_t UpgradeClock::DurationMs() const {
  if (m_startedAt.empty()) return 0;
  const auto end = m_ended ? m_end : std::chrono::steady_clock::now();
  return std::chrono::duration_cast<std::chrono::milliseconds>(end - m_start).count();
}

records::UpgradeRecord MakeUpgradeRecord(const UpgradeSummary& summary, const UpgradeClock& clock,
                                         const UpgradePlace& place) {
  records::UpgradeRecord r;
  r.station = place.station;
  r.port = place.port;
  r.boardSerial = summary.serialNo;
  r.module = summary.moduleName;
  r.softwareVersion = summary.softwareVersion;
  // The slot written, else the one the loader's name chose, else none.
  r.slot = summary.pages.slot >= 0 ? summary.pages.slot : summary.moduleName.empty() ? -1 : summary.moduleType;
  r.imageVersion = summary.imageVersion;
  r.pages = summary.pageCount;
  r.pagesResent = summary.pages.pagesResent;
  r.outcome = place.outcome;
  r.durationMs = clock.DurationMs();
  r.endedAt = clock.EndedAt();
  r.startedAt = clock.StartedAt().empty() ? r.endedAt : clock.StartedAt();
  return r;
}

}  // namespace brevan
