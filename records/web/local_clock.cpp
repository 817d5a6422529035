#include "records/web/local_clock.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "records/utc_time.h"

namespace records::web {

namespace {

std::chrono::year_month_day Ymd(const LocalDate& day) {
  return {std::chrono::year{day.year}, std::chrono::month{static_cast<unsigned>(day.month)},
          std::chrono::day{static_cast<unsigned>(day.day)}};
}

std::string FormatUtcSeconds(std::time_t t) {
  std::tm utc{};
  gmtime_r(&t, &utc);
  std::array<char, 32> text{};
  std::strftime(text.data(), text.size(), "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text.data();
}

}  // namespace

bool ValidDay(const LocalDate& day) {
  if (day.year < 1970 || day.year > 9998 || day.month < 1 || day.month > 12 || day.day < 1 || day.day > 31) return false;
  return Ymd(day).ok();
}

LocalDate NextDay(const LocalDate& day) {
  const std::chrono::year_month_day next{std::chrono::sys_days{Ymd(day)} + std::chrono::days{1}};
  return {static_cast<int>(next.year()), static_cast<int>(static_cast<unsigned>(next.month())),
          static_cast<int>(static_cast<unsigned>(next.day()))};
}

std::string DayText(const LocalDate& day) {
  std::array<char, 16> text{};
  std::snprintf(text.data(), text.size(), "%04d-%02d-%02d", day.year, day.month, day.day);
  return text.data();
}

std::string LocalDayStartUtc(const LocalDate& day) {
  std::tm local{};
  local.tm_year = day.year - 1900;
  local.tm_mon = day.month - 1;
  local.tm_mday = day.day;
  local.tm_isdst = -1;  // the zone's rule for that day
  // mktime reads TZ afresh (tzset), so a zone set since the last call counts.
  return FormatUtcSeconds(std::mktime(&local));
}

std::optional<std::int64_t> UtcSeconds(std::string_view text) {
  if (!ValidUtc(text)) return std::nullopt;
  const auto field = [text](std::size_t at, std::size_t digits) {
    int value = 0;
    for (std::size_t i = at; i < at + digits; ++i) value = value * 10 + (text[i] - '0');
    return value;
  };
  const std::chrono::sys_days day{std::chrono::year_month_day{
      std::chrono::year{field(0, 4)}, std::chrono::month{static_cast<unsigned>(field(5, 2))},
      std::chrono::day{static_cast<unsigned>(field(8, 2))}}};
  return std::chrono::duration_cast<std::chrono::seconds>(day.time_since_epoch()).count() +
         field(11, 2) * 3600 + field(14, 2) * 60 + field(17, 2);
}

std::int64_t LocalHours::HourOf(std::int64_t t) {
  if (t >= m_start && t < m_end) return m_start;
  const std::time_t at = static_cast<std::time_t>(t);
  std::tm local{};
  localtime_r(&at, &local);
  // Zones change their offset where a local hour begins, so the hour is one
  // stretch of 3600 s.
  m_start = t - local.tm_min * 60 - local.tm_sec;
  m_end = m_start + 3600;
  return m_start;
}

std::string LocalHours::Label(std::int64_t start) {
  const std::time_t at = static_cast<std::time_t>(start);
  std::tm local{};
  localtime_r(&at, &local);
  std::array<char, 32> text{};
  std::strftime(text.data(), text.size(), "%Y-%m-%d %H", &local);
  return text.data();
}

}  // namespace records::web
