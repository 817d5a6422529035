#pragma once
// What the line view shows for a span of local days, read from the store in
// one pass per part. The web pages and /api/summary render it; nothing here
// knows HTML or HTTP.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "records/record_store.h"

namespace records::web {

// Local calendar days [first, last], both included, in the server's time zone.
struct DaySpan {
  LocalDate first;
  LocalDate last;
};

// Boards started in the span. failed counts failed, refused and interrupted
// boards; running those still `started`. yield = passed / (passed + failed),
// none when both are 0. boardsPerHour = ended boards per active hour (a clock
// hour in which at least one board started).
struct StationTally {
  std::string station;  // empty: the whole line
  std::int64_t boards = 0;
  std::int64_t passed = 0;
  std::int64_t failed = 0;
  std::int64_t refused = 0;      // part of failed
  std::int64_t interrupted = 0;  // part of failed
  std::int64_t running = 0;
  std::int64_t activeHours = 0;
  double yield = 0;  // 0..1; meaningful only when passed + failed > 0
  double boardsPerHour = 0;
};

// One local clock hour of the span ("2026-12-09 14"), by start time.
struct HourTally {
  std::string hour;
  std::int64_t passed = 0;
  std::int64_t failed = 0;
};

// A reason boards did not pass: an item that was not acknowledged (its label
// and outcome, e.g. timed-out), or "refused" for boards refused before the
// Set (item empty). Most frequent first; stations by count, then name.
struct FailureCause {
  std::string item;
  std::string outcome;
  std::int64_t count = 0;
  std::vector<std::pair<std::string, std::int64_t>> stations;
};

struct LineSummary {
  DaySpan span;
  std::string fromUtc;  // the span's bounds as the store compares them: [fromUtc, toUtc)
  std::string toUtc;
  StationTally line;
  std::vector<StationTally> stations;  // by name
  std::vector<HourTally> hours;        // every hour of the span from its first board to its last
  std::vector<FailureCause> causes;
  std::vector<BoardRow> recent;        // the span's last 50 boards, newest first
  std::vector<UpgradeRow> upgrades;    // the span's upgrades, newest first (at most 200)
};

Result<LineSummary> Summarize(RecordStore& store, const DaySpan& span);

}  // namespace records::web
