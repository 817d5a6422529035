#include "records/web/line_summary.h"

#include <algorithm>
#include <map>
#include <string_view>
#include <tuple>

#include "records/web/local_clock.h"

namespace records::web {

namespace {

constexpr std::int64_t kRecentBoards = 50;
constexpr std::int64_t kUpgrades = 200;

// A tally as the boards go by: the active hours counted as the local hour of
// the start changes (the boards come oldest first).
struct Counting {
  StationTally tally;
  std::int64_t lastHour = -1;

  void Add(std::string_view outcome, std::optional<std::int64_t> hour) {
    StationTally& t = tally;
    ++t.boards;
    if (outcome == "passed") {
      ++t.passed;
    } else if (outcome == "started") {
      ++t.running;
    } else {
      ++t.failed;
      if (outcome == "refused") ++t.refused;
      if (outcome == "interrupted") ++t.interrupted;
    }
    if (hour && *hour != lastHour) {
      ++t.activeHours;
      lastHour = *hour;
    }
  }

  StationTally Finished() const {
    StationTally t = tally;
    const std::int64_t ended = t.passed + t.failed;
    if (ended > 0) t.yield = static_cast<double>(t.passed) / static_cast<double>(ended);
    if (t.activeHours > 0) t.boardsPerHour = static_cast<double>(ended) / static_cast<double>(t.activeHours);
    return t;
  }
};

StoreError BadSpan(const RecordStore& store, const LocalDate& day) {
  StoreError e = MakeError(ErrorKind::BadDate, store.Name());
  e.value = DayText(day);
  return e;
}

StoreError CountBoards(RecordStore& store, LineSummary& summary) {
  Counting line;
  std::map<std::string, Counting, std::less<>> stations;
  LocalHours clock;
  std::int64_t firstHour = 0;
  std::vector<HourTally> hours;  // from firstHour on, one per 3600 s
  StoreError e = store.ForEachBoardStart(summary.fromUtc, summary.toUtc, [&](const BoardStartRow& row) {
    std::optional<std::int64_t> hour;
    if (const std::optional<std::int64_t> t = UtcSeconds(row.startedAt)) hour = clock.HourOf(*t);
    line.Add(row.outcome, hour);
    auto station = stations.find(row.station);
    if (station == stations.end()) station = stations.emplace(std::string(row.station), Counting{}).first;
    station->second.Add(row.outcome, hour);
    if (!hour) return;
    if (hours.empty()) firstHour = *hour;
    // Oldest first: a start before the first hour would be a damaged order.
    if (*hour < firstHour) return;
    const auto at = static_cast<std::size_t>((*hour - firstHour) / 3600);
    if (at >= hours.size()) hours.resize(at + 1);
    if (row.outcome != "started") ++(row.outcome == "passed" ? hours[at].passed : hours[at].failed);
  });
  if (!e.Ok()) return e;
  summary.line = line.Finished();
  for (const auto& [name, counting] : stations) {
    summary.stations.push_back(counting.Finished());
    summary.stations.back().station = name;
  }
  for (std::size_t i = 0; i < hours.size(); ++i) {
    hours[i].hour = LocalHours::Label(firstHour + static_cast<std::int64_t>(i) * 3600);
  }
  summary.hours = std::move(hours);
  return {};
}

StoreError CollectCauses(RecordStore& store, LineSummary& summary) {
  std::map<std::pair<std::string, std::string>, FailureCause> causes;
  StoreError e = store.ForEachFailureCause(summary.fromUtc, summary.toUtc, [&](const FailureCauseRow& row) {
    FailureCause& cause = causes[{row.item, row.outcome}];
    cause.count += row.count;
    cause.stations.emplace_back(row.station, row.count);
  });
  if (!e.Ok()) return e;
  for (auto& [key, cause] : causes) {
    cause.item = key.first;
    cause.outcome = key.second;
    std::sort(cause.stations.begin(), cause.stations.end(),
              [](const auto& a, const auto& b) { return std::tie(b.second, a.first) < std::tie(a.second, b.first); });
    summary.causes.push_back(std::move(cause));
  }
  std::stable_sort(summary.causes.begin(), summary.causes.end(),
                   [](const FailureCause& a, const FailureCause& b) { return a.count > b.count; });
  return {};
}

}  // namespace

Result<LineSummary> Summarize(RecordStore& store, const DaySpan& span) {
  if (!ValidDay(span.first)) return BadSpan(store, span.first);
  if (!ValidDay(span.last) || std::tie(span.last.year, span.last.month, span.last.day) <
                                  std::tie(span.first.year, span.first.month, span.first.day)) {
    return BadSpan(store, span.last);
  }
  LineSummary summary;
  summary.span = span;
  summary.fromUtc = LocalDayStartUtc(span.first);
  summary.toUtc = LocalDayStartUtc(NextDay(span.last));
  if (StoreError e = CountBoards(store, summary); !e.Ok()) return e;
  if (StoreError e = CollectCauses(store, summary); !e.Ok()) return e;
  RecordFilter filter;
  filter.since = summary.fromUtc;
  filter.until = summary.toUtc;
  filter.limit = kRecentBoards;
  StoreError e = store.ForEachBoard(filter, [&](const BoardRow& row) { summary.recent.push_back(row); });
  if (!e.Ok()) return e;
  filter.limit = kUpgrades;
  e = store.ForEachUpgrade(filter, [&](const UpgradeRow& row) { summary.upgrades.push_back(row); });
  if (!e.Ok()) return e;
  return summary;
}

}  // namespace records::web
