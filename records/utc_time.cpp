#include "records/utc_time.h"

#include <array>
#include <cstdio>

namespace records {

std::string FormatUtc(std::chrono::system_clock::time_point when) {
  const auto seconds = std::chrono::floor<std::chrono::seconds>(when);
  const auto day = std::chrono::floor<std::chrono::days>(seconds);
  const std::chrono::year_month_day date{day};
  const std::chrono::hh_mm_ss time{seconds - day};
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                static_cast<int>(time.seconds().count()));
  return text.data();
}

std::string UtcNow() { return FormatUtc(std::chrono::system_clock::now()); }

bool ValidUtc(std::string_view text) {
  static constexpr std::string_view kShape = "dddd-dd-ddTdd:dd:ddZ";
  if (text.size() != kShape.size()) return false;
  for (std::size_t i = 0; i < kShape.size(); ++i) {
    const bool digit = text[i] >= '0' && text[i] <= '9';
    if (kShape[i] == 'd' ? !digit : text[i] != kShape[i]) return false;
  }
  const auto field = [text](std::size_t at) { return (text[at] - '0') * 10 + (text[at + 1] - '0'); };
  const std::chrono::year_month_day day{std::chrono::year{field(0) * 100 + field(2)},
                                        std::chrono::month{static_cast<unsigned>(field(5))},
                                        std::chrono::day{static_cast<unsigned>(field(8))}};
  return day.ok() && field(11) < 24 && field(14) < 60 && field(17) < 60;
}

}  // namespace records
