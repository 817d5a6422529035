#pragma once
// What the terminal configurator adds after the window's log when a board's
// Set has ended: which commands went unanswered and what came back meanwhile,
// the board's summary, and the result for scripts.
#include "configurator/app/torvik_report.h"
#include "framework/terminal/run_output.h"

namespace torvik {

// The result's outcome word for an exit code.
std::string_view TorvikOutcomeWord(int exitCode);

void ReportBoardEnd(fw::RunOutput& output, const BoardRecord& record);

}  // namespace torvik
