#pragma once
// A station: one run per port at the same time, each on a thread of its own
// with its own terminal host, clock, engine and output, so that one slot's
// message box, babble or time-out never delays another's ticks. What the
// slots say is merged line by line: JSON events carry their port, lines for
// people start with it. The exit code is the worst of the slots'; the end
// counts boards per slot and for the station.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "frontend/console.h"
#include "frontend/front_end.h"
#include "frontend/run_context.h"

namespace fe {

inline constexpr std::size_t kMaxStationPorts = 8;

struct StationSetup {
  const Console& console;
  bool json = false;
  fw::ProgressMode progress = fw::ProgressMode::Auto;
  const ProgramFacts& facts;
  // A program whose every result line ends a board (an upgrade); otherwise
  // only results that name their board count as boards.
  bool everyResultIsABoard = false;
  // On a terminal, what a busy slot shows: %1 done, %2 total (setting 7/20,
  // upgrading 140/186 pages), from the station's string table.
  int busyTextId = 0;
  // A slot's next board starts when its idle port, silent for kArrivalQuietMs,
  // begins to receive (a receiver powered on or put in its fixture talks).
  bool autoStart = false;
  // Each board starts with its label scanned for that slot: typed into the
  // view on a terminal, else lines read from inputFd handed to the slots in
  // the order they ask.
  bool scanLabels = false;
  int inputFd = -1;
};

inline constexpr std::uint64_t kArrivalQuietMs = 2000;

// A receiver arriving on an idle port: something received after at least
// quietMs in which nothing was.
class ArrivalWatch {
 public:
  explicit ArrivalWatch(std::uint64_t quietMs = kArrivalQuietMs) : m_quietMs(quietMs) {}
  // The port's received total at nowMs; true when the receiver arrives now.
  bool Take(std::uint64_t nowMs, std::uint64_t received);

 private:
  std::uint64_t m_quietMs;
  bool m_sampled = false;
  std::uint64_t m_received = 0;
  std::uint64_t m_quietSinceMs = 0;
  std::uint64_t m_lastSampleMs = 0;
};

// What a slot's port has received since it opened, after serving the slot's
// host for up to ms; nullopt once the run has ended.
using PortListen = std::function<std::optional<std::uint64_t>(int ms)>;
// Before a slot's board (its first too with autoStart): true when it is to
// start, false to end the slot (q, the input ended, an interruption). Empty:
// the slot goes straight on (off a terminal, without autoStart).
using NextBoardGate = std::function<bool(const PortListen& listen)>;
// The next line scanned or typed for this slot (its board's label); nullopt
// when the input has ended or the slot is to stop.
using LabelSource = std::function<std::optional<std::string>()>;
struct SlotHooks {
  NextBoardGate gate;
  LabelSource label;  // with scanLabels only
};
// One slot's work: the program's boards on that port, on the context given.
using SlotRun = std::function<int(RunContext& context, const std::string& port, const SlotHooks& hooks)>;

// What a slot has done, as its events told it.
struct SlotTally {
  std::string port;
  int boards = 0;
  int passed = 0;
  int failed = 0;
  std::optional<bool> lastPassed;
  std::string lastCause;  // the failing board's diagnosis, in one line
  int exitCode = kExitDone;
  // What it does now: units done of total while a board runs (-1: none counted).
  int done = -1;
  int total = -1;
  std::string serialNo;  // of its last board
  std::string label;
  bool ended = false;
  bool idle = false;  // waiting for the operator (or its receiver) to start its next board
  bool asksLabel = false;  // waiting for its board's label
  std::string lastLine;    // the last line it said, for the view

  // PASS (true) or FAIL (false) as the slot stands: its last board's, or FAIL
  // for a slot that ended badly before any board; none while nothing is decided.
  std::optional<bool> Verdict() const {
    if (lastPassed) return lastPassed;
    if (ended && exitCode != kExitDone) return false;
    return std::nullopt;
  }
};

// The share of boards that passed, "66%"; "--" before any board.
std::string YieldText(int passed, int boards);

// Reads a slot's JSON events into its tally.
class SlotEvents {
 public:
  SlotEvents(std::string port, bool everyResultIsABoard);
  void Take(std::string_view jsonLine);
  const SlotTally& Tally() const { return m_tally; }
  void Ended(int exitCode);
  SlotTally& State() { return m_tally; }

 private:
  SlotTally m_tally;
  bool m_everyResultIsABoard;
  std::string m_cause;  // since the last board's end
};

// What is wrong with the ports given, as the option text a usage error names:
// more than a station takes, or one port twice. nullopt when they are fine.
std::optional<std::string> StationPortsFault(const std::vector<std::string>& ports, fw::UiLanguage language);
// The usage error's text for an option that takes a single --port.
std::string StationOnePortOnly(std::string_view option, fw::UiLanguage language);

int RunStation(const StationSetup& setup, const std::vector<std::string>& ports, const SlotRun& run);

}  // namespace fe
