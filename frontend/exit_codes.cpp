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

namespace {
std::size_t Rank(int code) {
  for (std::size_t i = 0; i < kTable.size(); ++i)
    if (kTable[i].code == code) return i;
  return kTable.size() - 1;  // 128 + a signal: an interruption
}
}  // namespace

int WorseExit(int a, int b) { return Rank(b) > Rank(a) ? b : a; }

int InterruptedExit(int signal) { return signal > 0 ? 128 + signal : kExitInterrupted; }

}  // namespace fe
