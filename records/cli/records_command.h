#pragma once
// `torvik records` and `brevan records`: list, show, export (and torvik's
// logins) over a store opened read-only. Each program gives its flavour:
// torvik's records are boards, brevan's are upgrades.
#include <string>
#include <string_view>
#include <vector>

#include "frontend/console.h"

namespace records {

enum class RecordsFlavour { Boards, Upgrades };

struct RecordsProgram {
  std::string_view name;  // "torvik", "brevan": in messages
  RecordsFlavour flavour = RecordsFlavour::Boards;
};

// Exit codes: 0 done, 1 nothing for the key or an output file not written,
// fe::kExitStore, fe::kExitUsage. args: what follows "records".
int RunRecordsCommand(const RecordsProgram& program, const std::vector<std::string>& args, const fe::Console& console);

}  // namespace records
