#include "updater/app/brevan_upgrade_record.h"

#include "records/utc_time.h"

namespace brevan {

void UpgradeTrail::OnStarted() {
  m_start = std::chrono::steady_clock::now();
  m_startedAt = records::UtcNow();
  m_ended = false;
  m_endedAt.clear();
  m_summary = {};
}

void UpgradeTrail::OnFirstPageSent(const UpgradeSummary& soFar) {
  const int resent = m_summary.pages.pagesResent;
  m_summary = soFar;
  m_summary.pages.pagesResent = resent;
}

// Counted as the run counts them: every sending of a page after its first.
void UpgradeTrail::OnPageSent(const PageSentFacts& page) {
  if (page.sending > 1) m_summary.pages.pagesResent += 1;
}

void UpgradeTrail::OnEnded(const UpgradeSummary& summary) {
  m_summary = summary;
  m_end = std::chrono::steady_clock::now();
  m_endedAt = records::UtcNow();
  m_ended = true;
}

std::string UpgradeTrail::EndedAt() const { return m_ended ? m_endedAt : records::UtcNow(); }

std::int64_t UpgradeTrail::DurationMs() const {
  if (m_startedAt.empty()) return 0;
  const auto end = m_ended ? m_end : std::chrono::steady_clock::now();
  return std::chrono::duration_cast<std::chrono::milliseconds>(end - m_start).count();
}

records::UpgradeRecord MakeUpgradeRecord(const UpgradeTrail& trail, const UpgradePlace& place) {
  const UpgradeSummary& summary = trail.Summary();
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
  r.durationMs = trail.DurationMs();
  r.endedAt = trail.EndedAt();
  r.startedAt = trail.StartedAt().empty() ? r.endedAt : trail.StartedAt();
  return r;
}

}  // namespace brevan
