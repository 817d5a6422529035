#pragma once
// A station: one run per port at the same time, each on a thread of its own
// with its own terminal host, clock, engine and output, so that one slot's
// message box, babble or time-out never delays another's ticks. What the
// slots say is merged line by line: JSON events carry their port, lines for
// people start with it. The exit code is the worst of the slots'; the end
// counts boards per slot and for the station.
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
};

// Before each board after a slot's first: true when the operator has started
// it, false to end the slot (q, or an interruption). Empty: the slot goes
// straight on (off a terminal).
using NextBoardGate = std::function<bool()>;
// One slot's work: the program's boards on that port, on the context given.
using SlotRun = std::function<int(RunContext& context, const std::string& port, const NextBoardGate& gate)>;

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
  bool idle = false;  // waiting for the operator to start its next board

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
