// The option table's parser: which argument is at fault, in what order the
// program hears its options, and that --help never hides a fault.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "frontend/option_table.h"

namespace {

using fe::OptionSpec;
using fe::Takes;

constexpr std::array<OptionSpec, 3> kFirst{{{"--port", Takes::Value}, {"--list", Takes::Nothing}, {"--mode"}}};
constexpr std::array<OptionSpec, 1> kSecond{{{"--json", Takes::Nothing}}};

struct Heard {
  std::vector<std::pair<std::string, std::string>> options;
  fe::ParseVerdict verdict;
};

// refuse: a name whose value the program turns down.
Heard Parse(const std::vector<std::string>& args, std::string_view refuse = {}) {
  Heard heard;
  const std::array<std::span<const OptionSpec>, 2> tables{kFirst, kSecond};
  heard.verdict = fe::ParseOptions(tables, args, [&](std::string_view name, const std::string& value) {
    heard.options.emplace_back(std::string(name), value);
    return name != refuse;
  });
  return heard;
}

TEST(FrontendOptions, EveryOptionIsHeardInOrderWithItsValueFromEitherTable) {
  const Heard h = Parse({"--mode", "fast", "--json", "--port", "--list", "--list"});
  ASSERT_TRUE(h.verdict.ok) << h.verdict.badOption;
  EXPECT_FALSE(h.verdict.help);
  // A value is the next argument whatever it looks like; a flag takes none.
  const std::vector<std::pair<std::string, std::string>> expected{
      {"--mode", "fast"}, {"--json", ""}, {"--port", "--list"}, {"--list", ""}};
  EXPECT_EQ(h.options, expected);
}

TEST(FrontendOptions, TheArgumentAtFaultIsNamed) {
  struct Row {
    std::vector<std::string> args;
    std::string bad;
  };
  const std::vector<Row> rows{
      {{"--bogus"}, "--bogus"},
      {{"--port", "x", "--bogus", "y"}, "--bogus"},
      {{"port"}, "port"},
      {{"-p", "x"}, "-p"},
      {{"--port=x"}, "--port=x"},  // one argument, one name: no joined values
      {{"--list", "--port"}, "--port"},  // its value missing
      {{"--PORT", "x"}, "--PORT"},
  };
  for (const Row& row : rows) {
    const Heard h = Parse(row.args);
    EXPECT_FALSE(h.verdict.ok) << row.bad;
    EXPECT_EQ(h.verdict.badOption, row.bad);
  }
}

TEST(FrontendOptions, TheFirstFaultInTheLineWinsAndNothingAfterItIsHeard) {
  const Heard h = Parse({"--port", "x", "--mode", "fast", "--bogus", "--json"}, "--mode");
  EXPECT_FALSE(h.verdict.ok);
  EXPECT_EQ(h.verdict.badOption, "--mode");
  ASSERT_EQ(h.options.size(), 2u);
  EXPECT_EQ(h.options.back().first, "--mode");
}

TEST(FrontendOptions, HelpAnywhereIsNotedButDoesNotHideAFault) {
  for (const std::string help : {"--help", "-h"}) {
    EXPECT_TRUE(Parse({"--port", "x", help}).verdict.help);
    EXPECT_TRUE(Parse({help, "--json"}).verdict.ok);
    const Heard faulty = Parse({help, "--bogus"});
    EXPECT_FALSE(faulty.verdict.ok);
    EXPECT_TRUE(faulty.verdict.help);
    EXPECT_EQ(faulty.verdict.badOption, "--bogus");
  }
  // As a value, it is the value.
  const Heard asValue = Parse({"--port", "--help"});
  EXPECT_FALSE(asValue.verdict.help);
  ASSERT_EQ(asValue.options.size(), 1u);
  EXPECT_EQ(asValue.options[0].second, "--help");
}

TEST(FrontendOptions, AnEmptyLineIsFine) {
  const Heard h = Parse({});
  EXPECT_TRUE(h.verdict.ok);
  EXPECT_FALSE(h.verdict.help);
  EXPECT_TRUE(h.options.empty());
}

}  // namespace
