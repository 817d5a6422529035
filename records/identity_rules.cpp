#include "records/identity_rules.h"

#include <array>
#include <cstdio>

namespace records {

namespace {

std::string Digits(std::int64_t value, int width) {
  std::array<char, 24> text{};
  std::snprintf(text.data(), text.size(), "%0*lld", width, static_cast<long long>(value));
  return text.data();
}

bool IsDigits(std::string_view text) {
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return !text.empty();
}

}  // namespace

std::int64_t SerialsPerDay(SerialForm form) { return form == SerialForm::Narrow ? 100 : 10'000; }

std::size_t SerialLength(SerialForm form) { return form == SerialForm::Narrow ? 8 : 10; }

std::string DayPrefix(const LocalDate& date) {
  return Digits(date.year % 100, 2) + Digits(date.month, 2) + Digits(date.day, 2);
}

std::string DayUpper(const LocalDate& date) {
  std::string upper = DayPrefix(date);
  ++upper.back();  // '9' becomes ':', still above every digit
  return upper;
}

std::string FormatSerial(const LocalDate& date, std::int64_t count, SerialForm form) {
  const std::int64_t per = SerialsPerDay(form);
  const std::int64_t suffix = ((count % per) + per) % per;
  return DayPrefix(date) + Digits(suffix, form == SerialForm::Narrow ? 2 : 4);
}

std::optional<std::int64_t> SerialSuffix(std::string_view serial, const LocalDate& date, SerialForm form) {
  const std::string prefix = DayPrefix(date);
  if (serial.size() != SerialLength(form) || serial.substr(0, prefix.size()) != prefix) return std::nullopt;
  const std::string_view digits = serial.substr(prefix.size());
  if (!IsDigits(digits)) return std::nullopt;
  std::int64_t value = 0;
  for (char c : digits) value = value * 10 + (c - '0');
  return value;
}

std::optional<std::int64_t> NextFreeCount(std::int64_t from, SerialForm form, const std::set<std::int64_t>& takenSuffixes) {
  const std::int64_t per = SerialsPerDay(form);
  if (static_cast<std::int64_t>(takenSuffixes.size()) >= per) return std::nullopt;
  for (std::int64_t count = from; count < from + per; ++count) {
    if (!takenSuffixes.contains(((count % per) + per) % per)) return count;
  }
  return std::nullopt;
}

std::string FormatDate(const LocalDate& date) {
  return Digits(date.year, 4) + "-" + Digits(date.month, 2) + "-" + Digits(date.day, 2);
}

std::string FormatLocalId(std::int64_t value) { return "Z" + Digits(value, 8); }

std::string FormatLogin(std::int64_t value) { return FormatLocalId(value) + ":demo"; }

bool ValidDate(const LocalDate& date) {
  static constexpr std::array<int, 12> kDays{31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (date.year < 2000 || date.year > 2099 || date.month < 1 || date.month > 12 || date.day < 1) return false;
  const bool leap = date.year % 4 == 0;  // 2000..2099
  if (date.month == 2 && !leap) return date.day <= 28;
  return date.day <= kDays[static_cast<std::size_t>(date.month - 1)];
}

bool ValidLocalId(std::string_view text) { return text.size() == 9 && text[0] == 'Z' && IsDigits(text.substr(1)); }

bool ValidLogin(std::string_view text) {
  return text.size() == 14 && ValidLocalId(text.substr(0, 9)) && text.substr(9) == ":demo";
}

IdDraw::IdDraw() {
  std::random_device device;
  std::seed_seq seed{device(), device(), device(), device(), device(), device(), device(), device()};
  m_engine.seed(seed);
}

}  // namespace records
