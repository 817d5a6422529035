#pragma once
// What the terminal updater adds after the window's own texts when an upgrade
// has stopped: a diagnosis of a time-out, a summary of a success, and the
// result for scripts.
#include <cstdint>
#include <string>

#include "framework/terminal/run_output.h"
#include "framework/ui_language.h"
#include "updater/upgrade/upgrade_observer.h"

namespace brevan {

// The result's outcome word for an exit code.
std::string_view OutcomeWord(int exitCode);

struct UpgradeRunFacts {
  fw::UiLanguage language = fw::UiLanguage::English;
  int exitCode = 0;
  std::int64_t wallMs = 0;  // from UPDATE to the end
  std::string port;
  std::string baud;
};

// From what the run told when it ended: nothing is read from the window or the engine.
void ReportUpgradeEnd(fw::RunOutput& output, const UpgradeSummary& run, const UpgradeRunFacts& facts);

}  // namespace brevan
