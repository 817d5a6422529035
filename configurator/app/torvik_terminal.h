#pragma once
// The configurator on the terminal host: the window's start-up, the options
// typed into its controls as a person would, the port opened and Set
// pressed, the log printed, and an exit code that tells how it went.
#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace torvik {

enum TorvikExit : int {
  kExitAcknowledged = 0,
  kExitPortFailed = 2,
  kExitTimedOut = 3,
  kExitRefused = 4,
  kExitUsage = 64,
  kExitInterrupted = 130,
};

struct TorvikTerminalRun {
  bool outIsTerminal = false;
  bool errIsTerminal = false;
  bool inIsTerminal = false;  // Enter between boards only then
  std::istream* in = nullptr;
};

int RunTorvikTerminal(const std::vector<std::string>& args, const TorvikTerminalRun& run, std::ostream& out,
                      std::ostream& err);

}  // namespace torvik
