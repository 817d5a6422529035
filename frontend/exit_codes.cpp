#include "frontend/exit_codes.h"

#include <array>

namespace fe {
namespace {

constexpr std::array<ExitRow, 9> kTable{{
    {kExitDone, {}},
    {kExitNoFirmware, "no-firmware"},
    {kExitPortFailed, "port-failed"},
    {kExitTimedOut, "timed-out"},
    {kExitRefused, "refused"},
    {kExitWrongFirmware, "wrong-firmware"},
    {kExitStore, "store"},
    {kExitUsage, "usage"},
    {kExitInterrupted, {}},
}};

}  // namespace

std::span<const ExitRow> ExitTable() { return kTable; }

std::string_view OutcomeWord(const OutcomeWords& words, int exitCode) {
  if (exitCode == kExitDone) return words.done;
  for (const ExitRow& row : kTable)
    if (row.code == exitCode && !row.word.empty()) return row.word;
  return words.interrupted;
}

int InterruptedExit(int signal) { return signal > 0 ? 128 + signal : kExitInterrupted; }

}  // namespace fe
