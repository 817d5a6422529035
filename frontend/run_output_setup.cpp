#include "frontend/run_output_setup.h"

namespace fe {

std::unique_ptr<fw::RunOutput> OpenRunOutput(const Console& console, bool json, fw::ProgressMode progress) {
  if (json) return std::make_unique<fw::RunOutput>(console.err, console.errIsTerminal, progress, &console.out);
  return std::make_unique<fw::RunOutput>(console.out, console.outIsTerminal, progress, nullptr);
}

}  // namespace fe
