#pragma once
// Where a terminal run's output goes: with JSON lines on, standard output
// carries them and people read standard error; otherwise people read
// standard output. The progress display follows the human stream.
#include <memory>

#include "frontend/console.h"
#include "framework/terminal/run_output.h"

namespace fe {

std::unique_ptr<fw::RunOutput> OpenRunOutput(const Console& console, bool json, fw::ProgressMode progress);

}  // namespace fe
