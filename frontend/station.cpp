#include "frontend/station.h"

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>

#include "framework/terminal/line_sink.h"
#include "framework/text_format.h"
#include "frontend/station_screen.h"
#include "frontend/station_strings.h"

namespace fe {
namespace {

std::string Text(fw::UiLanguage language, int id, std::initializer_list<std::string_view> args = {}) {
  return fw::FormatText(StationStrings().Lookup(language, id), args);
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
    m_starts.assign(m_slots.size(), false);
  }

  int Run(const SlotRun& run) {
    const Console& console = m_setup.console;
    const bool wantScreen = console.outIsTerminal && !m_setup.json && m_setup.progress != fw::ProgressMode::Plain &&
                            m_setup.progress != fw::ProgressMode::None;
    if (wantScreen) m_screen = StationScreen::Open(console.language, m_setup.busyTextId);
    // Keys start boards only when someone can press them; else every slot goes straight on.
    m_keys = m_screen != nullptr && ::isatty(STDIN_FILENO) != 0;
    std::vector<std::thread> threads;
    std::vector<int> codes(m_slots.size(), kExitDone);
    for (std::size_t i = 0; i < m_slots.size(); ++i) {
      threads.emplace_back([this, &run, &codes, i] {
        codes[i] = RunSlot(i, run);
        const std::lock_guard<std::mutex> lock(m_lock);
        m_slots[i].Ended(codes[i]);
        ++m_slotsEnded;
        m_changed.notify_all();
      });
    }
    if (m_screen) Redraw();
    for (std::thread& t : threads) t.join();
    if (m_screen) {
      m_screen->Draw(Tallies(), m_output.ElapsedMs());
      m_screen.reset();  // the terminal as it was; the final state follows as plain lines
      for (const std::string& line : m_heldErrors) console.err << line << '\n';
      console.err.flush();
    }
    int worst = kExitDone;
    for (const int code : codes) worst = WorseExit(worst, code);
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
      NextBoardGate gate;
      if (m_keys) gate = [this, index] { return WaitForStart(index); };
      code = run(context, port, gate);
    }
    return code;
  }

  // The view redrawn as events come, about every 100 ms, and the operator's
  // keys read between: Enter starts every idle slot, a slot's number that
  // slot, q ends each slot at its next board.
  void Redraw() {
    std::unique_lock<std::mutex> lock(m_lock);
    while (m_slotsEnded < m_slots.size()) {
      const std::vector<SlotTally> tallies = Tallies();
      lock.unlock();
      m_screen->Draw(tallies, m_output.ElapsedMs());
      const int key = m_screen->ReadKey(100);
      lock.lock();
      if (key == '\n' || key == '\r' || key == StationScreen::kEnter) {
        for (std::size_t i = 0; i < m_slots.size(); ++i)
          if (m_slots[i].Tally().idle) m_starts[i] = true;
      } else if (key >= '1' && key <= '9' && static_cast<std::size_t>(key - '1') < m_slots.size()) {
        m_starts[static_cast<std::size_t>(key - '1')] = true;
      } else if (key == 'q' || key == 'Q') {
        m_quit = true;
      }
      m_changed.notify_all();
    }
  }
  bool WaitForStart(std::size_t index) {
    std::unique_lock<std::mutex> lock(m_lock);
    m_slots[index].State().idle = true;
    m_changed.notify_all();
    while (!m_starts[index] && !m_quit && !fw::CancelOnInterrupt::Interrupted())
      m_changed.wait_for(lock, std::chrono::milliseconds(100));
    m_slots[index].State().idle = false;
    const bool start = m_starts[index] && !m_quit && !fw::CancelOnInterrupt::Interrupted();
    m_starts[index] = false;
    return start;
  }
  std::vector<SlotTally> Tallies() const {
    std::vector<SlotTally> tallies;
    for (const SlotEvents& slot : m_slots) tallies.push_back(slot.Tally());
    return tallies;
  }

  void Human(const std::string& port, std::string_view line) {
    const std::lock_guard<std::mutex> lock(m_lock);
    if (m_screen) return;  // the view tells it
    std::ostream& to = m_setup.json ? m_setup.console.err : m_setup.console.out;
    to << port << ": " << line << '\n';
    to.flush();
  }
  void Error(const std::string& port, std::string_view line) {
    const std::lock_guard<std::mutex> lock(m_lock);
    if (m_screen) {
      m_heldErrors.push_back(port + ": " + std::string(line));  // after the view, not through it
      return;
    }
    m_setup.console.err << port << ": " << line << '\n';
    m_setup.console.err.flush();
  }
  void Json(std::size_t index, std::string_view line) {
    const std::lock_guard<std::mutex> lock(m_lock);
    m_slots[index].Take(line);
    m_changed.notify_all();
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
      const std::optional<bool> verdict = t.Verdict();
      std::string last = !verdict ? Text(language, kStationNoBoard) : Text(language, *verdict ? kStationPass : kStationFail);
      if (verdict && !*verdict) {
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
  std::condition_variable m_changed;
  std::vector<SlotEvents> m_slots;
  std::size_t m_slotsEnded = 0;
  std::vector<bool> m_starts;  // the operator started that slot's next board
  bool m_quit = false;
  std::unique_ptr<StationScreen> m_screen;  // on a terminal
  bool m_keys = false;                      // the operator's keys start the slots' boards
  std::vector<std::string> m_heldErrors;    // said while the view was up
};

}  // namespace

void SlotEvents::Ended(int exitCode) {
  m_tally.exitCode = exitCode;
  m_tally.ended = true;
  m_tally.done = m_tally.total = -1;
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
  if (name == "progress") {
    m_tally.done = event.value("done", -1);
    m_tally.total = event.value("total", -1);
    return;
  }
  if (name == "diagnosis") {
    const std::vector<std::string> lines = fw::SplitLines(event.value("text", ""));
    m_cause = lines.empty() ? "" : lines.front();
    return;
  }
  if (name != "result") return;
  const int code = event.value("exit", kExitDone);
  const bool board = event.contains("board") ||
                     (m_everyResultIsABoard && code != kExitNoFirmware && code != kExitPortFailed && code != kExitUsage);
  if (!board) return;
  m_tally.done = m_tally.total = -1;
  m_tally.serialNo = event.value("serial_no", "");
  m_tally.label = event.value("label", "");
  ++m_tally.boards;
  const bool passed = code == kExitDone;
  passed ? ++m_tally.passed : ++m_tally.failed;
  m_tally.lastPassed = passed;
  m_tally.lastCause = passed ? "" : (m_cause.empty() ? event.value("outcome", "") : m_cause);
  m_cause.clear();
}

std::string YieldText(int passed, int boards) {
  if (boards == 0) return "--";
  return std::to_string(passed * 100 / boards) + "%";
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
