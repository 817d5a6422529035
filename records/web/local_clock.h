#pragma once
// The server's local calendar against the store's UTC times: where a local
// day begins, and which local clock hour an instant falls in.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "records/record_store.h"

namespace records::web {

// Whether day is a calendar day of the years 1970..9998 (it and the day
// after in the store's four-digit UTC text).
bool ValidDay(const LocalDate& day);
LocalDate NextDay(const LocalDate& day);
// "2026-12-09"
std::string DayText(const LocalDate& day);

// The UTC text (2026-12-09T16:00:00Z) of the local midnight that begins day;
// where the clock skips midnight, the first local time of the day.
std::string LocalDayStartUtc(const LocalDate& day);

// Seconds since the epoch of a UTC text as the store keeps it; none when the
// text is not one.
std::optional<std::int64_t> UtcSeconds(std::string_view text);

// Local clock hours of instants taken mostly in time order: the hour last
// found is kept, so that a day's boards cost one time-zone look-up an hour.
class LocalHours {
 public:
  // The first second of the local clock hour that holds t.
  std::int64_t HourOf(std::int64_t t);
  // The local hour that begins at start, "2026-12-09 14".
  static std::string Label(std::int64_t start);

 private:
  std::int64_t m_start = 0;
  std::int64_t m_end = 0;
};

}  // namespace records::web
