#include "frontend/station.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <array>
#include <atomic>
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
    m_labels.resize(m_slots.size());
  }

  int Run(const SlotRun& run) {
    const Console& console = m_setup.console;
    const bool wantScreen = console.outIsTerminal && !m_setup.json && m_setup.progress != fw::ProgressMode::Plain &&
                            m_setup.progress != fw::ProgressMode::None;
    if (wantScreen)
      m_screen = StationScreen::Open(console.language, m_setup.busyTextId,
                                     m_setup.autoStart ? kStationAutoIdle : kStationIdle);
    // Keys start boards only when someone can press them; else every slot goes straight on.
    m_keys = m_screen != nullptr && ::isatty(STDIN_FILENO) != 0;
    // Off the view, scanned labels are lines of the input, read on a thread of their own.
    std::thread reader;
    if (m_setup.scanLabels && !m_keys) {
      if (m_setup.inputFd >= 0)
        reader = std::thread([this] { ReadLabels(m_setup.inputFd); });
      else
        m_inputEnded = true;
    }
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
    m_slotsDone = true;
    if (reader.joinable()) reader.join();
    if (m_screen) {
      m_screen->Draw(Tallies(), m_output.ElapsedMs(), std::nullopt);
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
    fw::LineSink human([this, index](std::string_view line) { Human(index, line); });
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
      SlotHooks hooks;
      // A scanned label starts its board; otherwise the operator's keys do.
      if (m_setup.autoStart || (m_keys && !m_setup.scanLabels))
        hooks.gate = [this, index, &output](const PortListen& listen) { return WaitForStart(index, listen, output); };
      if (m_setup.scanLabels) hooks.label = [this, index] { return NextLabel(index); };
      code = run(context, port, hooks);
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
      std::optional<LabelEntry> entry;
      if (m_setup.scanLabels) entry = LabelEntry{m_typed, LabelTarget()};
      lock.unlock();
      m_screen->Draw(tallies, m_output.ElapsedMs(), entry);
      const int key = m_screen->ReadKey(100);
      lock.lock();
      if (m_setup.scanLabels) {
        TypeLabelKey(key);
      } else if (key == '\n' || key == '\r' || key == StationScreen::kEnter) {
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
  // With labels scanned into the view: what is typed collects on its line;
  // Enter hands it to the chosen slot (Tab chooses among those that ask),
  // Escape clears it, Ctrl-D ends the input.
  void TypeLabelKey(int key) {
    if (key == '\n' || key == '\r' || key == StationScreen::kEnter) {
      const std::optional<std::size_t> to = LabelTarget();
      if (!m_typed.empty() && to) {
        m_labels[*to] = m_typed;
        m_typed.clear();
      }
    } else if (key == '\t') {
      for (std::size_t step = 1; step <= m_slots.size(); ++step) {
        const std::size_t next = (m_target.value_or(m_slots.size() - 1) + step) % m_slots.size();
        if (AwaitsLabel(next)) {
          m_target = next;
          break;
        }
      }
    } else if (key == StationScreen::kBackspace || key == 127 || key == 8) {
      if (!m_typed.empty()) m_typed.pop_back();
      while (!m_typed.empty() && (static_cast<unsigned char>(m_typed.back()) & 0xC0) == 0x80) m_typed.pop_back();
    } else if (key == 27) {
      m_typed.clear();
    } else if (key == 4) {
      m_inputEnded = true;
    } else if (key >= 0x20 && key < 0x100 && key != 0x7F && m_typed.size() < kMaxTypedLabel) {
      m_typed.push_back(static_cast<char>(key));
    }
  }
  // A slot that asks and has not been handed a label yet. One handed a label
  // asks until its thread takes it: a second label scanned before then goes
  // to the next slot, instead of replacing the first.
  bool AwaitsLabel(std::size_t i) const { return m_slots[i].Tally().asksLabel && !m_labels[i]; }
  // The slot a label typed now goes to: the chosen one while it waits, else the first that waits.
  std::optional<std::size_t> LabelTarget() const {
    if (m_target && AwaitsLabel(*m_target)) return m_target;
    for (std::size_t i = 0; i < m_slots.size(); ++i)
      if (AwaitsLabel(i)) return i;
    return std::nullopt;
  }

  // Lines of the input, each a label for the slot that has waited longest.
  void ReadLabels(int fd) {
    std::string pending;
    std::array<char, 512> buffer{};
    while (!m_slotsDone && !fw::CancelOnInterrupt::Interrupted()) {
      pollfd p{fd, POLLIN, 0};
      const int ready = ::poll(&p, 1, 100);
      if (ready < 0 && errno != EINTR) break;
      if (ready <= 0) continue;
      const ssize_t n = ::read(fd, buffer.data(), buffer.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      pending.append(buffer.data(), static_cast<std::size_t>(n));
      std::size_t end;
      while ((end = pending.find('\n')) != std::string::npos) {
        const std::lock_guard<std::mutex> lock(m_lock);
        m_lines.push_back(pending.substr(0, end));
        pending.erase(0, end + 1);
        m_changed.notify_all();
      }
    }
    const std::lock_guard<std::mutex> lock(m_lock);
    if (!pending.empty()) m_lines.push_back(pending);  // a last line without its end
    m_inputEnded = true;
    m_changed.notify_all();
  }

  std::optional<std::string> NextLabel(std::size_t index) {
    std::unique_lock<std::mutex> lock(m_lock);
    SlotTally& state = m_slots[index].State();
    state.asksLabel = true;
    m_asking.push_back(index);
    m_changed.notify_all();
    std::optional<std::string> label;
    while (!m_quit && !fw::CancelOnInterrupt::Interrupted()) {
      if (m_labels[index]) {
        label = std::move(m_labels[index]);
        m_labels[index].reset();
        break;
      }
      // Lines of the input go to the slots in the order they asked.
      if (!m_lines.empty() && m_asking.front() == index) {
        label = std::move(m_lines.front());
        m_lines.pop_front();
        break;
      }
      if (m_inputEnded && m_lines.empty()) break;
      m_changed.wait_for(lock, std::chrono::milliseconds(100));
    }
    m_asking.erase(std::find(m_asking.begin(), m_asking.end(), index));
    state.asksLabel = false;
    if (m_target == index) m_target.reset();
    m_changed.notify_all();
    return label;
  }

  // Until the operator starts the slot's next board, or with autoStart its
  // receiver arrives on the port; false when the slot is to end.
  bool WaitForStart(std::size_t index, const PortListen& listen, fw::RunOutput& output) {
    // Said first, so that a script knows from when the quiet counts.
    const bool byReceiver = m_setup.autoStart && listen;
    output.Notice("waiting", {Text(m_setup.console.language, byReceiver ? kStationWaitsReceiver : kStationWaitsOperator)},
                  {{"starts", byReceiver ? "receiver" : "operator"}, {"quiet_ms", byReceiver ? kArrivalQuietMs : 0}});
    std::unique_lock<std::mutex> lock(m_lock);
    m_slots[index].State().idle = true;
    m_changed.notify_all();
    ArrivalWatch arrival;
    bool arrived = false;
    const auto started = std::chrono::steady_clock::now();
    while (!m_starts[index] && !m_quit && !fw::CancelOnInterrupt::Interrupted()) {
      if (!m_setup.autoStart || !listen) {
        m_changed.wait_for(lock, std::chrono::milliseconds(100));
        continue;
      }
      lock.unlock();  // the slot's host is served meanwhile
      const std::optional<std::uint64_t> received = listen(100);
      lock.lock();
      if (!received) break;
      const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
      if (arrival.Take(static_cast<std::uint64_t>(ms.count()), *received)) {
        arrived = true;
        break;
      }
    }
    m_slots[index].State().idle = false;
    const bool start = (m_starts[index] || arrived) && !m_quit && !fw::CancelOnInterrupt::Interrupted();
    m_starts[index] = false;
    return start;
  }
  std::vector<SlotTally> Tallies() const {
    std::vector<SlotTally> tallies;
    for (const SlotEvents& slot : m_slots) tallies.push_back(slot.Tally());
    return tallies;
  }

  void Human(std::size_t index, std::string_view line) {
    const std::lock_guard<std::mutex> lock(m_lock);
    if (m_screen) {  // the view tells it, and shows the slot's latest line
      m_slots[index].State().lastLine = line;
      return;
    }
    std::ostream& to = m_setup.json ? m_setup.console.err : m_setup.console.out;
    to << m_slots[index].Tally().port << ": " << line << '\n';
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
  std::atomic<bool> m_slotsDone{false};
  // Scanned labels: given in the view per slot, or lines of the input in the order slots ask.
  static constexpr std::size_t kMaxTypedLabel = 256;
  std::vector<std::optional<std::string>> m_labels;
  std::deque<std::string> m_lines;
  std::deque<std::size_t> m_asking;
  bool m_inputEnded = false;
  std::string m_typed;
  std::optional<std::size_t> m_target;
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

bool ArrivalWatch::Take(std::uint64_t nowMs, std::uint64_t received) {
  if (!m_sampled) {
    m_sampled = true;
    m_received = received;
    m_quietSinceMs = m_lastSampleMs = nowMs;
    return false;
  }
  if (received < m_received) {  // the port opened anew and counts from 0: no talk
    m_received = received;
    m_lastSampleMs = nowMs;
    return false;
  }
  // Bytes came after the last sample: the quiet ran from its start up to that sample.
  const bool came = received != m_received;
  const bool arrived = came && m_lastSampleMs - m_quietSinceMs >= m_quietMs;
  if (came) {
    m_received = received;
    m_quietSinceMs = nowMs;
  }
  m_lastSampleMs = nowMs;
  return arrived;
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
