#include "framework/terminal/run_output.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "framework/text_format.h"

namespace fw {
namespace {

constexpr int kBarWidth = 40;

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
  return text;
}

}  // namespace

std::optional<ProgressMode> ParseProgressMode(std::string_view text) {
  if (text == "auto") return ProgressMode::Auto;
  if (text == "bar") return ProgressMode::Bar;
  if (text == "plain") return ProgressMode::Plain;
  if (text == "none") return ProgressMode::None;
  return std::nullopt;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::string current;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(std::move(current));
      current.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      current += c;
    }
  }
  if (!current.empty()) lines.push_back(std::move(current));
  return lines;
}

std::string MinutesSeconds(std::optional<std::int64_t> ms) {
  if (!ms || *ms < 0) return "--:--";
  const std::int64_t seconds = (*ms + 500) / 1000;
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), "%lld:%02lld", static_cast<long long>(seconds / 60),
                static_cast<long long>(seconds % 60));
  return text.data();
}

std::string SecondsText(std::int64_t ms) {
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), "%.1f", static_cast<double>(ms) / 1000.0);
  return text.data();
}

std::string HexAndText(std::string_view bytes, std::size_t max) {
  const std::size_t shown = std::min(bytes.size(), max);
  std::string hex;
  std::string printable;
  for (std::size_t i = 0; i < shown; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    std::array<char, 4> digits{};
    std::snprintf(digits.data(), digits.size(), "%02X", byte);
    if (!hex.empty()) hex += ' ';
    hex += digits.data();
    printable += byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '.';
  }
  std::string text = (hex.empty() ? "|" : hex + " |") + printable + "|";
  if (bytes.size() > shown) text += " ...";
  return text;
}

RunOutput::RunOutput(std::ostream& human, bool humanIsTerminal, ProgressMode mode, std::ostream* json)
    : m_human(human), m_json(json) {
  m_mode = mode == ProgressMode::Auto ? (humanIsTerminal ? ProgressMode::Bar : ProgressMode::Plain) : mode;
}

RunOutput::~RunOutput() {
  std::lock_guard<std::mutex> lock(m_lock);
  if (m_barShown) m_human << '\n';
  m_human.flush();
  if (m_json != nullptr) m_json->flush();
}

std::int64_t RunOutput::ElapsedMs() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_start).count();
}

void RunOutput::ClearBar() {
  if (m_barShown) m_human << "\r\033[K";
}

void RunOutput::DrawBar() {
  const ProgressView& view = *m_shown;
  const int filled = view.percent * kBarWidth / 100;
  m_human << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
          << std::string(static_cast<std::size_t>(kBarWidth - filled), '.') << "] " << view.percent << '%';
  if (view.HasUnits()) m_human << ' ' << UnitsText(view);
  m_barShown = true;
  m_human.flush();
}

std::string RunOutput::UnitsText(const ProgressView& view) const {
  std::optional<std::int64_t> elapsed;
  std::optional<std::int64_t> remaining;
  if (m_unitsStart) {
    elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - *m_unitsStart).count();
    if (view.done > 0) remaining = *elapsed * (view.total - view.done) / view.done;
    if (view.done >= view.total) remaining = 0;
  }
  return FormatText(m_words.units, {std::to_string(view.done), std::to_string(view.total), MinutesSeconds(elapsed),
                                    MinutesSeconds(remaining)});
}

void RunOutput::PrintHuman(const std::vector<std::string>& lines) {
  ClearBar();
  for (const std::string& line : lines) m_human << line << '\n';
  if (m_barShown) DrawBar();
  m_human.flush();
}

void RunOutput::WriteJson(nlohmann::ordered_json object) {
  if (m_json == nullptr) return;
  if (!m_tags.empty()) {
    nlohmann::ordered_json tagged = nlohmann::ordered_json::object();
    auto rest = object.begin();
    if (rest != object.end() && rest.key() == "event") tagged["event"] = *rest++;
    for (auto it = m_tags.begin(); it != m_tags.end(); ++it) tagged[it.key()] = *it;
    for (; rest != object.end(); ++rest) tagged[rest.key()] = *rest;
    object = std::move(tagged);
  }
  object["t_ms"] = ElapsedMs();
  // Bytes that are not UTF-8 (a garbled line) are replaced rather than refused.
  *m_json << object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
  m_json->flush();
}

void RunOutput::Event(std::string_view name, std::string_view text) {
  std::lock_guard<std::mutex> lock(m_lock);
  PrintHuman({std::string(text)});
  WriteJson({{"event", name}, {"text", text}});
}

void RunOutput::Message(std::string_view text) {
  const std::vector<std::string> lines = SplitLines(text);
  std::lock_guard<std::mutex> lock(m_lock);
  PrintHuman(lines);
  WriteJson({{"event", "message"}, {"text", text}});
}

void RunOutput::Progress(const ProgressView& given) {
  ProgressView view = given;
  view.percent = std::clamp(view.percent, 0, 100);
  std::lock_guard<std::mutex> lock(m_lock);
  if (view.HasUnits() && !m_unitsStart) m_unitsStart = Clock::now();
  if (m_json != nullptr && (!m_reported || *m_reported != view)) {
    m_reported = view;
    nlohmann::ordered_json event{{"event", "progress"}, {"percent", view.percent}};
    if (view.HasUnits()) {
      const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - *m_unitsStart).count();
      event["done"] = view.done;
      event["total"] = view.total;
      event["elapsed_ms"] = elapsed;
      event["remaining_ms"] = view.done > 0 ? nlohmann::ordered_json(elapsed * (view.total - view.done) / view.done)
                                            : nlohmann::ordered_json(nullptr);
    }
    WriteJson(std::move(event));
  }
  if (m_mode == ProgressMode::None || (m_shown && *m_shown == view)) return;
  if (m_mode == ProgressMode::Bar) {
    m_shown = view;
    ClearBar();
    DrawBar();
    return;
  }
  // Plain lines: one per tenth of the way, and for a bar that starts over.
  const bool worthALine = !m_shown || view.percent / 10 != m_shown->percent / 10 || view.percent < m_shown->percent;
  if (!worthALine) return;
  m_shown = view;
  m_human << "progress " << view.percent << '%';
  if (view.HasUnits()) m_human << ' ' << UnitsText(view);
  m_human << '\n';
  m_human.flush();
}

void RunOutput::Diagnosis(std::string_view cause, const std::vector<std::string>& lines, nlohmann::ordered_json fields) {
  std::lock_guard<std::mutex> lock(m_lock);
  PrintHuman(lines);
  nlohmann::ordered_json event{{"event", "diagnosis"}, {"cause", cause}, {"text", Joined(lines)}};
  if (fields.is_object()) event.update(fields);
  WriteJson(std::move(event));
}

void RunOutput::Result(int exitCode, std::string_view outcome, const std::vector<std::string>& lines,
                       nlohmann::ordered_json fields) {
  std::lock_guard<std::mutex> lock(m_lock);
  PrintHuman(lines);
  nlohmann::ordered_json event{{"event", "result"}, {"exit", exitCode}, {"outcome", outcome}, {"text", Joined(lines)}};
  if (fields.is_object()) event.update(fields);
  WriteJson(std::move(event));
}

void RunOutput::Say(const std::vector<std::string>& lines) {
  std::lock_guard<std::mutex> lock(m_lock);
  PrintHuman(lines);
}

void RunOutput::Notice(std::string_view event, const std::vector<std::string>& lines, nlohmann::ordered_json fields) {
  std::lock_guard<std::mutex> lock(m_lock);
  PrintHuman(lines);
  nlohmann::ordered_json object{{"event", event}, {"text", Joined(lines)}};
  if (fields.is_object()) object.update(fields);
  WriteJson(std::move(object));
}

}  // namespace fw
