#pragma once
// A terminal program's command line against its table of options: each one
// a flag or taking the next argument as its value, told to the program in
// the order given so the first fault is the one reported. --help and -h are
// every program's.
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace fe {

enum class Takes { Nothing, Value };

struct OptionSpec {
  std::string_view name;  // "--port"
  Takes takes = Takes::Value;
};

// One option and its value (empty for a flag); false refuses it.
using OptionSink = std::function<bool(std::string_view name, const std::string& value)>;

struct ParseVerdict {
  bool ok = true;
  bool help = false;
  std::string badOption;  // the argument at fault when not ok
};

// The tables are looked up in turn; a name in none of them, or one whose
// value is missing, is at fault.
ParseVerdict ParseOptions(std::span<const std::span<const OptionSpec>> tables, const std::vector<std::string>& args,
                          const OptionSink& sink);

}  // namespace fe
