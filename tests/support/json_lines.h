#pragma once
// A terminal run's JSON lines, parsed, and the check that they tell what the
// human output of the same run tells.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "framework/terminal/run_output.h"

namespace testing_support {

inline std::vector<nlohmann::json> ParseJsonLines(const std::string& text) {
  std::vector<nlohmann::json> events;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    const nlohmann::json event = nlohmann::json::parse(line, nullptr, false);
    EXPECT_FALSE(event.is_discarded()) << "not JSON: " << line;
    EXPECT_TRUE(event.is_object() && event.contains("event") && event.contains("t_ms")) << line;
    events.push_back(event);
  }
  return events;
}

inline std::vector<nlohmann::json> EventsNamed(const std::vector<nlohmann::json>& events, std::string_view name) {
  std::vector<nlohmann::json> named;
  for (const nlohmann::json& e : events)
    if (e["event"] == name) named.push_back(e);
  return named;
}

// With --progress none, the human output is exactly the texts of the events
// in their order, line for line.
inline void ExpectHumanTellsTheSame(const std::vector<nlohmann::json>& events, const std::string& human) {
  std::vector<std::string> fromJson;
  for (const nlohmann::json& e : events) {
    if (!e.contains("text")) continue;
    const std::string text = e["text"].get<std::string>();
    // A status or log line may be empty and is printed all the same; a result without a summary prints nothing.
    if (text.empty() && e["event"] != "result" && e["event"] != "diagnosis") fromJson.emplace_back();
    for (std::string& line : fw::SplitLines(text)) fromJson.push_back(std::move(line));
  }
  const std::vector<std::string> printed = fw::SplitLines(human);
  std::size_t same = 0;
  while (same < printed.size() && same < fromJson.size() && printed[same] == fromJson[same]) ++same;
  EXPECT_TRUE(same == printed.size() && same == fromJson.size())
      << "line " << same + 1 << " differs: human \"" << (same < printed.size() ? printed[same] : "(none)")
      << "\", JSON \"" << (same < fromJson.size() ? fromJson[same] : "(none)") << "\"";
}

}  // namespace testing_support
