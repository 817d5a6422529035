#pragma once
// The updater on the terminal host: the window's start-up, UPDATE pressed as
// a person would, status lines and a progress bar printed, and an exit code
// that tells how the upgrade ended.
#include <ostream>
#include <string>
#include <vector>

#include "framework/profile.h"
#include "framework/ui_language.h"

namespace brevan {

struct TerminalRun {
  fw::UiLanguage language = fw::UiLanguage::English;
  std::string modulePath;  // the program file, where the built-in images are looked for
  fw::CProfile profile = fw::CProfile::ForProgram("brevan");
  bool outIsTerminal = false;
  bool errIsTerminal = false;
};

enum TerminalExit : int {
  kExitUpgraded = 0,
  kExitNoFirmware = 1,
  kExitPortFailed = 2,
  kExitTimedOut = 3,
  kExitRefused = 4,
  kExitWrongFirmware = 5,
  kExitUsage = 64,
  kExitCancelled = 130,
};

int RunBrevanTerminal(const std::vector<std::string>& args, const TerminalRun& run, std::ostream& out,
                      std::ostream& err);

}  // namespace brevan
