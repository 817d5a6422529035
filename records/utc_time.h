#pragma once
// Times as the store keeps them: UTC ISO-8601 text, 2026-12-09T21:05:00Z.
#include <chrono>
#include <string>
#include <string_view>

namespace records {

std::string FormatUtc(std::chrono::system_clock::time_point when);
std::string UtcNow();
// Whether text is such a time: YYYY-MM-DDTHH:MM:SSZ with its fields in range.
bool ValidUtc(std::string_view text);

}  // namespace records
