#pragma once
// The updater on the terminal host: the window's start-up, UPDATE pressed as
// a person would, status lines and a progress bar printed, and an exit code
// that tells how the upgrade ended.
#include <ostream>
#include <string>
#include <vector>

#include "framework/profile.h"
#include "framework/ui_language.h"
#include "frontend/exit_codes.h"

namespace brevan {

struct TerminalRun {
  fw::UiLanguage language = fw::UiLanguage::English;
  std::string modulePath;  // the program file, where the built-in images are looked for
  fw::CProfile profile = fw::CProfile::ForProgram("brevan");
  bool outIsTerminal = false;
  bool errIsTerminal = false;
};

// The shared table's codes, by the updater's names for them.
enum TerminalExit : int {
  kExitUpgraded = fe::kExitDone,
  kExitNoFirmware = fe::kExitNoFirmware,
  kExitPortFailed = fe::kExitPortFailed,
  kExitTimedOut = fe::kExitTimedOut,
  kExitRefused = fe::kExitRefused,
  kExitWrongFirmware = fe::kExitWrongFirmware,
  kExitUsage = fe::kExitUsage,
  kExitCancelled = fe::kExitInterrupted,
};

// The updater's words for the ends it names its own way.
inline constexpr fe::OutcomeWords kBrevanOutcomeWords{"upgraded", "cancelled"};

int RunBrevanTerminal(const std::vector<std::string>& args, const TerminalRun& run, std::ostream& out,
                      std::ostream& err);

}  // namespace brevan
