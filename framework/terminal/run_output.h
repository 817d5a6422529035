#pragma once
// What a terminal run tells its user and its scripts. Every event goes to the
// human stream (status and log lines, message boxes, the progress display,
// diagnoses, the summary) and, with JSON lines on, as one JSON object per
// line to the JSON stream. Safe to call from the monitor thread (message
// boxes) while the UI thread prints.
#include <chrono>
#include <cstdint>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

// auto: a bar redrawn in place on a terminal, plain lines otherwise.
enum class ProgressMode { Auto, Bar, Plain, None };
std::optional<ProgressMode> ParseProgressMode(std::string_view text);

// What a progress display shows: a percentage, and when the run counts
// units (pages, commands) how many of how many are done.
struct ProgressView {
  ProgressView(int percentShown = 0) : percent(percentShown) {}  // NOLINT: a bare percentage reads as a view
  ProgressView(int percentShown, int doneUnits, int totalUnits) : percent(percentShown), done(doneUnits), total(totalUnits) {}
  int percent;
  int done = -1;   // -1: not counted
  int total = -1;
  bool HasUnits() const { return done >= 0 && total > 0; }
  bool operator==(const ProgressView&) const = default;
};

// The words around the counted units, from the program's string table:
// %1 done, %2 total, %3 elapsed, %4 remaining ("--:--" while unknown).
struct ProgressWords {
  std::string units = "%1/%2 %3 %4";
};

class RunOutput {
 public:
  using Clock = std::chrono::steady_clock;

  // json: null for human output only.
  RunOutput(std::ostream& human, bool humanIsTerminal, ProgressMode mode, std::ostream* json);
  ~RunOutput();
  RunOutput(const RunOutput&) = delete;
  RunOutput& operator=(const RunOutput&) = delete;

  void SetProgressWords(ProgressWords words) { m_words = std::move(words); }
  bool JsonOn() const { return m_json != nullptr; }
  // Fields every JSON event carries after its name (a station's slot: its port).
  void TagEvents(nlohmann::ordered_json fields) { m_tags = std::move(fields); }

  void Status(std::string_view line) { Event("status", line); }
  void Log(std::string_view line) { Event("log", line); }
  // A message box's lines.
  void Message(std::string_view text);
  void Progress(const ProgressView& view);
  // A named cause with its explanation; fields add what a script needs.
  void Diagnosis(std::string_view cause, const std::vector<std::string>& lines, nlohmann::ordered_json fields = nlohmann::ordered_json::object());
  // The run's end: human lines (a summary), then the result object.
  void Result(int exitCode, std::string_view outcome, const std::vector<std::string>& lines,
              nlohmann::ordered_json fields = nlohmann::ordered_json::object());
  // Lines for people only.
  void Say(const std::vector<std::string>& lines);
  // A named event beyond the ones above (what a run was made with, a prompt):
  // the lines for people, the event with their text and the fields for scripts.
  void Notice(std::string_view event, const std::vector<std::string>& lines,
              nlohmann::ordered_json fields = nlohmann::ordered_json::object());

  // Milliseconds since the output began.
  std::int64_t ElapsedMs() const;

 private:
  void Event(std::string_view name, std::string_view text);
  // With m_lock held.
  void PrintHuman(const std::vector<std::string>& lines);
  void WriteJson(nlohmann::ordered_json object);
  void DrawBar();
  void ClearBar();
  std::string UnitsText(const ProgressView& view) const;

  std::mutex m_lock;
  std::ostream& m_human;
  ProgressMode m_mode;
  std::ostream* m_json;
  nlohmann::ordered_json m_tags = nlohmann::ordered_json::object();
  ProgressWords m_words;
  Clock::time_point m_start = Clock::now();
  // The counted phase began with the first view that counts units.
  std::optional<Clock::time_point> m_unitsStart;
  std::optional<ProgressView> m_shown;  // the last view drawn or printed
  std::optional<ProgressView> m_reported;  // the last view put on the JSON stream
  bool m_barShown = false;
};

// Splits text into lines at CR LF, LF or CR; an empty last piece is dropped.
std::vector<std::string> SplitLines(std::string_view text);
// "1.5" for 1,500 ms: seconds with one decimal.
std::string SecondsText(std::int64_t ms);
// "1:05" for 65,000 ms; "--:--" for nullopt.
std::string MinutesSeconds(std::optional<std::int64_t> ms);
// What bytes looked like, for a diagnosis: "41 54 0D 0A |AT..|", at most max bytes.
std::string HexAndText(std::string_view bytes, std::size_t max = 32);

}  // namespace fw
