#include "frontend/front_end.h"

#include <array>
#include <memory>

#include "frontend/run_output_setup.h"
#include "framework/text_format.h"

namespace fe {
namespace {

constexpr std::array<OptionSpec, 3> kSharedOptions{{
    {"--json", Takes::Nothing},
    {"--progress", Takes::Value},
    {"--trace", Takes::Value},
}};

bool TakeShared(SharedOptions& shared, std::string_view name, const std::string& value) {
  if (name == "--json") {
    shared.json = true;
  } else if (name == "--progress") {
    const std::optional<fw::ProgressMode> mode = fw::ParseProgressMode(value);
    if (!mode) return false;
    shared.progress = *mode;
  } else if (name == "--trace") {
    // An empty name is no file: a fault of the line, not a file that cannot be written.
    if (value.empty()) return false;
    shared.trace = value;
  }
  return true;
}

}  // namespace

ParseVerdict ReadCommandLine(IFrontEnd& program, const std::vector<std::string>& args, SharedOptions& shared) {
  const ProgramFacts facts = program.Facts();
  const std::array<std::span<const OptionSpec>, 2> tables{kSharedOptions, facts.options};
  ParseVerdict verdict = ParseOptions(tables, args, [&](std::string_view name, const std::string& value) {
    for (const OptionSpec& spec : kSharedOptions)
      if (spec.name == name) return TakeShared(shared, name, value);
    return program.Take(name, value);
  });
  if (!verdict.ok) return verdict;
  if (std::optional<std::string> bad = program.Complete(verdict.help)) {
    verdict.ok = false;
    verdict.badOption = std::move(*bad);
  }
  return verdict;
}

void PrintUsageError(const ProgramTexts& texts, std::string_view badOption, std::ostream& err) {
  if (!texts.badOption.empty()) err << fw::FormatText(texts.badOption, {std::string(badOption)}) << '\n';
  err << texts.usage << '\n';
}

int RunFrontEnd(IFrontEnd& program, const std::vector<std::string>& args, const Console& console) {
  SharedOptions shared;
  const ParseVerdict verdict = ReadCommandLine(program, args, shared);
  const ProgramFacts facts = program.Facts();
  if (!verdict.ok) {
    PrintUsageError(facts.texts, verdict.badOption, console.err);
    return kExitUsage;
  }
  if (verdict.help) {
    console.out << facts.texts.usage << '\n';
    return kExitDone;
  }
  if (const std::optional<int> code = program.BeforeRun(console)) return *code;
  if (const std::optional<int> code = program.RunSeveral(console, shared)) return *code;

  const std::unique_ptr<fw::RunOutput> output = OpenRunOutput(console, shared.json, shared.progress);
  output->SetProgressWords({std::string(facts.texts.progressUnits)});
  std::unique_ptr<fw::TrafficTrace> trace;  // outlives the dialog's engine
  if (shared.trace) {
    std::string error;
    trace = fw::TrafficTrace::Open(*shared.trace, facts.name, error);
    if (!trace) {
      console.err << fw::FormatText(facts.texts.badTrace, {*shared.trace, error}) << '\n';
      output->Result(kExitUsage, OutcomeWord(facts.words, kExitUsage), {});
      return kExitUsage;
    }
  }
  RunContext run(*output, trace.get(), console.err, facts.words, facts.texts.badOption);
  return program.Run(run, shared);
}

}  // namespace fe
