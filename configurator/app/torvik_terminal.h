#pragma once
// The configurator on the terminal host: the window's start-up, the options
// typed into its controls as a person would, the port opened and Set
// pressed, the log printed, and an exit code that tells how it went.
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "framework/ui_language.h"
#include "frontend/exit_codes.h"

namespace torvik {

// The shared table's codes, by the configurator's names for them.
enum TorvikExit : int {
  kExitAcknowledged = fe::kExitDone,
  kExitPortFailed = fe::kExitPortFailed,
  kExitTimedOut = fe::kExitTimedOut,
  kExitRefused = fe::kExitRefused,
  kExitUsage = fe::kExitUsage,
  kExitInterrupted = fe::kExitInterrupted,
};

// The configurator's words for the ends it names its own way.
inline constexpr fe::OutcomeWords kTorvikOutcomeWords{"acknowledged", "interrupted"};

struct TorvikTerminalRun {
  bool outIsTerminal = false;
  bool errIsTerminal = false;
  bool inIsTerminal = false;  // Enter between boards only then
  std::istream* in = nullptr;
  fw::UiLanguage language = fw::SystemUiLanguage();  // of the port advice; the window is Chinese
};

int RunTorvikTerminal(const std::vector<std::string>& args, const TorvikTerminalRun& run, std::ostream& out,
                      std::ostream& err);

}  // namespace torvik
