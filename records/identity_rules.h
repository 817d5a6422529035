#pragma once
// The pure rules of identities: serial number forms, the local id and login
// formats, the next free count of a day and the random draw of ids.
#include <cstdint>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <string_view>

#include "records/record_store.h"

namespace records {

inline constexpr std::int64_t kIdValues = 100'000'000;  // Z00000000 .. Z99999999

// Serial numbers a day has in the form: 100 narrow, 10,000 wide.
std::int64_t SerialsPerDay(SerialForm form);
// "YYMMDD" of the date.
std::string DayPrefix(const LocalDate& date);
// The first text after every serial number of the day (the prefix with its
// last digit raised): the day's numbers are the range [prefix, upper).
std::string DayUpper(const LocalDate& date);
// YYMMDD + count mod 100 (2 digits) or mod 10,000 (4 digits).
std::string FormatSerial(const LocalDate& date, std::int64_t count, SerialForm form);
std::size_t SerialLength(SerialForm form);
// The count part of a serial number of the form and day; nullopt when the text
// is not one.
std::optional<std::int64_t> SerialSuffix(std::string_view serial, const LocalDate& date, SerialForm form);
// The first count from `from` on whose serial number is not among the taken
// suffixes of the day; nullopt when the day has none left.
std::optional<std::int64_t> NextFreeCount(std::int64_t from, SerialForm form, const std::set<std::int64_t>& takenSuffixes);

std::string FormatLocalId(std::int64_t value);  // Z%08d
std::string FormatLogin(std::int64_t value);    // Z%08d:demo
bool ValidDate(const LocalDate& date);
std::string FormatDate(const LocalDate& date);  // 2026-12-09
bool ValidLocalId(std::string_view text);
bool ValidLogin(std::string_view text);

// Draws uniformly from all 100,000,000 id values; seeded from the system's
// random device, one per store.
class IdDraw {
 public:
  IdDraw();
  std::int64_t Next() { return m_values(m_engine); }

 private:
  std::mt19937_64 m_engine;
  std::uniform_int_distribution<std::int64_t> m_values{0, kIdValues - 1};
};

}  // namespace records
