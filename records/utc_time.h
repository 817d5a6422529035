#pragma once
// Times as the store keeps them: UTC ISO-8601 text, 2026-12-09T21:05:00Z.
#include <chrono>
#include <string>

namespace records {

std::string FormatUtc(std::chrono::system_clock::time_point when);
std::string UtcNow();

}  // namespace records
