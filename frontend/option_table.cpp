#include "frontend/option_table.h"

namespace fe {
namespace {

const OptionSpec* Find(std::span<const std::span<const OptionSpec>> tables, std::string_view name) {
  for (std::span<const OptionSpec> table : tables)
    for (const OptionSpec& spec : table)
      if (spec.name == name) return &spec;
  return nullptr;
}

}  // namespace

ParseVerdict ParseOptions(std::span<const std::span<const OptionSpec>> tables, const std::vector<std::string>& args,
                          const OptionSink& sink) {
  ParseVerdict verdict;
  const std::string noValue;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      verdict.help = true;
      continue;
    }
    const OptionSpec* spec = Find(tables, arg);
    const bool takesValue = spec != nullptr && spec->takes == Takes::Value;
    const bool accepted = spec != nullptr && (!takesValue || i + 1 < args.size()) &&
                          sink(spec->name, takesValue ? args[++i] : noValue);
    if (!accepted) return {false, verdict.help, arg};
  }
  return verdict;
}

}  // namespace fe
