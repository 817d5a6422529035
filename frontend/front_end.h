#pragma once
// The run skeleton both terminal programs share: the command line read
// against the shared options (--help, --json, --progress, --trace) and the
// program's own, help or the usage on a fault (exit 64), the output and the
// trace set up, then the program's run on a terminal host that turns
// interrupts into Cancel. A program supplies its options, its texts and its
// run; everything scripts rely on is decided here.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/console.h"
#include "frontend/exit_codes.h"
#include "frontend/option_table.h"
#include "frontend/run_context.h"

namespace fe {

// A program's words, from its string table.
struct ProgramTexts {
  std::string_view usage;          // printed by --help; after a fault, on standard error
  std::string_view badOption;      // %1 the option, before the usage; empty: the usage alone
  std::string_view badTrace;       // %1 the file, %2 the system's text
  std::string_view progressUnits;  // fw::ProgressWords::units
};

struct ProgramFacts {
  std::string_view name;  // the trace file's header
  OutcomeWords words;
  ProgramTexts texts;
  std::span<const OptionSpec> options;  // its own, beyond the shared ones
};

// The options every terminal program reads the same way.
struct SharedOptions {
  bool json = false;
  fw::ProgressMode progress = fw::ProgressMode::Auto;
  std::optional<std::string> trace;
};

class IFrontEnd {
 public:
  virtual ~IFrontEnd() = default;
  virtual ProgramFacts Facts() const = 0;
  // One of its own options, in the order given; false refuses the value.
  virtual bool Take(std::string_view name, const std::string& value) = 0;
  // The line as a whole, once read: the option at fault, nullopt when it is fine.
  virtual std::optional<std::string> Complete(bool /*help*/) { return std::nullopt; }
  // Work that needs no run (a listing); a code ends the program with it.
  virtual std::optional<int> BeforeRun(const Console& /*console*/) { return std::nullopt; }
  // Several ports: a station of runs (station.h) in place of the one run; nullopt for one port.
  virtual std::optional<int> RunSeveral(const Console& /*console*/, const SharedOptions& /*shared*/) {
    return std::nullopt;
  }
  // Open the dialog on the host, pre-fill, press, wait, report; the exit code.
  virtual int Run(RunContext& run, const SharedOptions& shared) = 0;
};

// Reads the shared options and hands the program's to it; the verdict.
ParseVerdict ReadCommandLine(IFrontEnd& program, const std::vector<std::string>& args, SharedOptions& shared);

// The usage after a fault: the program's line naming the option (when it has one), then the usage.
void PrintUsageError(const ProgramTexts& texts, std::string_view badOption, std::ostream& err);

int RunFrontEnd(IFrontEnd& program, const std::vector<std::string>& args, const Console& console);

}  // namespace fe
