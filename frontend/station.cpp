#include "frontend/station.h"

#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>

#include "framework/terminal/line_sink.h"
#include "framework/text_format.h"
#include "frontend/station_strings.h"

namespace fe {
namespace {

std::string Text(fw::UiLanguage language, int id, std::initializer_list<std::string_view> args = {}) {
  return fw::FormatText(StationStrings().Lookup(language, id), args);
}

std::string YieldText(int passed, int boards) {
  if (boards == 0) return "--";
  return std::to_string(passed * 100 / boards) + "%";
}

// A slot's streams: its people's lines, its JSON events and its errors, each
// merged into the station's under the station's lock.
class Station {
 public:
  Station(const StationSetup& setup, const std::vector<std::string>& ports)
      : m_setup(setup),
        m_output(setup.json ? setup.console.err : setup.console.out, false, fw::ProgressMode::None,
                 setup.json ? &setup.console.out : nullptr) {
    for (const std::string& port : ports) m_slots.emplace_back(port, setup.everyResultIsABoard);
  }

  int Run(const SlotRun& run) {
    std::vector<std::thread> threads;
    std::vector<int> codes(m_slots.size(), kExitDone);
    for (std::size_t i = 0; i < m_slots.size(); ++i)
      threads.emplace_back([this, &run, &codes, i] { codes[i] = RunSlot(i, run); });
    for (std::thread& t : threads) t.join();
    int worst = kExitDone;
    for (std::size_t i = 0; i < m_slots.size(); ++i) {
      m_slots[i].Ended(codes[i]);
      worst = WorseExit(worst, codes[i]);
    }
    return End(worst);
  }

 private:
  int RunSlot(std::size_t index, const SlotRun& run) {
    const std::string port = m_slots[index].Tally().port;
    fw::LineSink human([this, &port](std::string_view line) { Human(port, line); });
    fw::LineSink json([this, index](std::string_view line) { Json(index, line); });
    fw::LineSink err([this, &port](std::string_view line) { Error(port, line); });
    // Lines only: a bar redrawn in place would be torn by the other slots' lines.
    const fw::ProgressMode mode = m_setup.progress == fw::ProgressMode::None ? fw::ProgressMode::None : fw::ProgressMode::Plain;
    fw::RunOutput output(human, false, mode, &json);
    output.SetProgressWords({std::string(m_setup.facts.texts.progressUnits)});
    output.TagEvents({{"port", port}});
    int code = kExitDone;
    {
      RunContext context(output, nullptr, err, m_setup.facts.words, m_setup.facts.texts.badOption);
      code = run(context, port);
    }
    return code;
  }

  void Human(const std::string& port, std::string_view line) {
    const std::lock_guard<std::mutex> lock(m_lock);
    std::ostream& to = m_setup.json ? m_setup.console.err : m_setup.console.out;
    to << port << ": " << line << '\n';
    to.flush();
  }
  void Error(const std::string& port, std::string_view line) {
    const std::lock_guard<std::mutex> lock(m_lock);
    m_setup.console.err << port << ": " << line << '\n';
    m_setup.console.err.flush();
  }
  void Json(std::size_t index, std::string_view line) {
    const std::lock_guard<std::mutex> lock(m_lock);
    m_slots[index].Take(line);
    if (!m_setup.json) return;
    m_setup.console.out << line << '\n';
    m_setup.console.out.flush();
  }

  int End(int worst) {
    const fw::UiLanguage language = m_setup.console.language;
    std::vector<std::string> lines;
    nlohmann::ordered_json slots = nlohmann::ordered_json::array();
    int boards = 0;
    int passed = 0;
    int failed = 0;
    for (const SlotEvents& slot : m_slots) {
      const SlotTally& t = slot.Tally();
      boards += t.boards;
      passed += t.passed;
      failed += t.failed;
      const bool failedLast = t.lastPassed ? !*t.lastPassed : t.exitCode != kExitDone;
      std::string last = !t.lastPassed && !failedLast ? Text(language, kStationNoBoard)
                                                      : Text(language, failedLast ? kStationFail : kStationPass);
      if (failedLast) {
        const std::string cause = t.lastCause.empty() ? std::string(OutcomeWord(m_setup.facts.words, t.exitCode)) : t.lastCause;
        last += " (" + cause + ")";
      }
      lines.push_back(Text(language, kStationSlotSummary,
                           {t.port, std::to_string(t.boards), std::to_string(t.passed), std::to_string(t.failed), last}));
      slots.push_back({{"port", t.port},
                       {"boards", t.boards},
                       {"passed", t.passed},
                       {"failed", t.failed},
                       {"exit", t.exitCode},
                       {"outcome", OutcomeWord(m_setup.facts.words, t.exitCode)}});
    }
    lines.push_back(Text(language, kStationLineSummary,
                         {std::to_string(boards), std::to_string(passed), std::to_string(failed), YieldText(passed, boards)}));
    const std::lock_guard<std::mutex> lock(m_lock);  // the station's lines after every slot's
    m_output.Result(worst, OutcomeWord(m_setup.facts.words, worst), lines,
                  {{"station", true}, {"boards", boards}, {"passed", passed}, {"failed", failed}, {"slots", slots}});
    return worst;
  }

  const StationSetup& m_setup;
  fw::RunOutput m_output;  // the station's own lines: its summary and result
  std::mutex m_lock;
  std::vector<SlotEvents> m_slots;
};

}  // namespace

void SlotEvents::Ended(int exitCode) {
  m_tally.exitCode = exitCode;
  // A slot that ended before a board (its port did not open) keeps why.
  if (m_tally.boards == 0 && exitCode != kExitDone) m_tally.lastCause = m_cause;
}

SlotEvents::SlotEvents(std::string port, bool everyResultIsABoard) : m_everyResultIsABoard(everyResultIsABoard) {
  m_tally.port = std::move(port);
}

void SlotEvents::Take(std::string_view jsonLine) {
  const nlohmann::json event = nlohmann::json::parse(jsonLine, nullptr, false);
  if (!event.is_object()) return;
  const std::string name = event.value("event", "");
  if (name == "diagnosis") {
    m_cause = fw::SplitLines(event.value("text", "")).empty() ? "" : fw::SplitLines(event.value("text", "")).front();
    return;
  }
  if (name != "result") return;
  const int code = event.value("exit", kExitDone);
  const bool board = event.contains("board") ||
                     (m_everyResultIsABoard && code != kExitNoFirmware && code != kExitPortFailed && code != kExitUsage);
  if (!board) return;
  ++m_tally.boards;
  const bool passed = code == kExitDone;
  passed ? ++m_tally.passed : ++m_tally.failed;
  m_tally.lastPassed = passed;
  m_tally.lastCause = passed ? "" : (m_cause.empty() ? event.value("outcome", "") : m_cause);
  m_cause.clear();
}

std::optional<std::string> StationPortsFault(const std::vector<std::string>& ports, fw::UiLanguage language) {
  if (ports.size() > kMaxStationPorts) return Text(language, kStationTooManyPorts, {std::to_string(kMaxStationPorts)});
  for (std::size_t i = 0; i < ports.size(); ++i)
    for (std::size_t j = 0; j < i; ++j)
      if (ports[i] == ports[j]) return "--port " + ports[i];
  return std::nullopt;
}

std::string StationOnePortOnly(std::string_view option, fw::UiLanguage language) {
  return Text(language, kStationOnePortOnly, {option});
}

int RunStation(const StationSetup& setup, const std::vector<std::string>& ports, const SlotRun& run) {
  Station station(setup, ports);
  return station.Run(run);
}

}  // namespace fe
