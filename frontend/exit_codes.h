#pragma once
// How a terminal run ended, as its exit code and as the outcome word of its
// JSON result line: one table for both programs, the contract scripts read.
#include <span>
#include <string_view>

namespace fe {

inline constexpr int kExitDone = 0;  // upgraded, acknowledged
inline constexpr int kExitNoFirmware = 1;
inline constexpr int kExitPortFailed = 2;
inline constexpr int kExitTimedOut = 3;
inline constexpr int kExitRefused = 4;
inline constexpr int kExitWrongFirmware = 5;
inline constexpr int kExitStore = 6;  // the record store unreachable, refused, busy or damaged; a record not written
inline constexpr int kExitUsage = 64;
inline constexpr int kExitInterrupted = 130;  // Ctrl-C; another signal ends with 128 + its number

// The two ends each program names in its own words.
struct OutcomeWords {
  std::string_view done;         // kExitDone
  std::string_view interrupted;  // kExitInterrupted and every code of a signal
};

struct ExitRow {
  int code;
  std::string_view word;  // empty: the program's own word (OutcomeWords)
};
std::span<const ExitRow> ExitTable();

// The result's outcome word for an exit code; a code outside the table
// (128 + a signal) is an interruption.
std::string_view OutcomeWord(const OutcomeWords& words, int exitCode);

// Of two ends, the one further down the table (a signal's code counts as an
// interruption): a station's exit code is the worst of its slots'.
int WorseExit(int a, int b);

// The exit code of a run a signal ended: 128 + the signal, kExitInterrupted when none is known.
int InterruptedExit(int signal);

}  // namespace fe
