// Both programs' help and usage through the skeleton: the updater's in the
// run's language, the configurator's one bilingual text, and the faults
// each program reads from its own options.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "configurator/app/torvik_options.h"
#include "configurator/app/torvik_terminal.h"
#include "configurator/resources/torvik_strings.h"
#include "framework/text_format.h"
#include "updater/app/brevan_terminal.h"
#include "updater/resources/brevan_strings.h"

namespace {

struct Ran {
  int code;
  std::string out, err;
};

Ran Brevan(const std::vector<std::string>& args, fw::UiLanguage language) {
  const brevan::TerminalRun run{language, "/nonexistent/brevan", fw::CProfile::AtFile("/nonexistent/b.INI"), false,
                                false};
  std::ostringstream out, err;
  const int code = brevan::RunBrevanTerminal(args, run, out, err);
  return {code, out.str(), err.str()};
}

Ran Torvik(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int code = torvik::RunTorvikTerminal(args, {}, out, err);
  return {code, out.str(), err.str()};
}

TEST(FrontendHelp, TheUpdatersHelpIsInTheRunsLanguage) {
  const Ran english = Brevan({"--help"}, fw::UiLanguage::English);
  const Ran chinese = Brevan({"-h"}, fw::UiLanguage::Chinese);
  EXPECT_EQ(english.code, 0);
  EXPECT_EQ(chinese.code, 0);
  EXPECT_EQ(english.out, std::string(brevan::BrevanString(fw::UiLanguage::English, brevan::IDS_LIST_USAGE)) + "\n");
  EXPECT_EQ(chinese.out, std::string(brevan::BrevanString(fw::UiLanguage::Chinese, brevan::IDS_LIST_USAGE)) + "\n");
  EXPECT_NE(english.out, chinese.out);
  EXPECT_NE(english.out.find("--port"), std::string::npos);
  EXPECT_NE(chinese.out.find("--port"), std::string::npos);
  EXPECT_EQ(english.err + chinese.err, "");
}

TEST(FrontendHelp, TheUpdatersUsageFaultsShowItsUsageAloneIn64) {
  const std::vector<std::vector<std::string>> faults{
      {"--progress", "fancy"}, {"--pace", "fast"}, {"--list", "--port", "p"}, {"--baud", "1234"},
      {"--port"}, {"--bogus"}, {"--trace", ""}, {"--help", "--list", "--baud", "9600"}};
  for (const fw::UiLanguage language : {fw::UiLanguage::English, fw::UiLanguage::Chinese}) {
    const std::string usage = std::string(brevan::BrevanString(language, brevan::IDS_LIST_USAGE)) + "\n";
    for (const std::vector<std::string>& args : faults) {
      const Ran r = Brevan(args, language);
      EXPECT_EQ(r.code, brevan::kExitUsage) << args[0];
      EXPECT_EQ(r.err, usage) << args[0];
      EXPECT_EQ(r.out, "");
    }
  }
  // --help answers before the rate is looked at.
  EXPECT_EQ(Brevan({"--baud", "1234", "--help"}, fw::UiLanguage::English).code, 0);
}

TEST(FrontendHelp, TheConfiguratorsHelpIsOneTextInBothLanguages) {
  const std::string usage = std::string(torvik::TorvikString(torvik::IDS_TERMINAL_USAGE)) + "\n";
  const Ran r = Torvik({"--help"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, usage);
  EXPECT_NE(r.out.find("usage: torvik"), std::string::npos);
  EXPECT_NE(r.out.find("用法: torvik"), std::string::npos);
  // Help needs no port.
  EXPECT_EQ(Torvik({"-h", "--mode", "vrs"}).code, 0);
}

TEST(FrontendHelp, TheConfiguratorsFaultsNameTheOptionBeforeTheUsage) {
  const std::string usage = std::string(torvik::TorvikString(torvik::IDS_TERMINAL_USAGE)) + "\n";
  const std::vector<std::pair<std::vector<std::string>, std::string>> faults{
      {{"--mode", "vrs"}, "--port"},
      {{"--port", ""}, "--port"},
      {{"--port", "p", "--mode", "fast", "--bogus", "x"}, "--mode"},
      {{"--port", "p", "--progress", "fancy"}, "--progress"},
      {{"--port", "p", "--count", "0"}, "--count"},
      {{"--port", "p", "--interval", "256"}, "--interval"},
      {{"--port", "p", "--apn-name", std::string(99, 'a')}, "--apn-name"},
      {{"--port", "p", "--trace", ""}, "--trace"},
      {{"--port", "p", "--report"}, "--report"},
  };
  for (const auto& [args, bad] : faults) {
    const Ran r = Torvik(args);
    EXPECT_EQ(r.code, torvik::kExitUsage) << bad;
    const std::string line =
        fw::FormatText(torvik::TorvikString(torvik::IDS_TERMINAL_BAD_OPTION), {bad}) + "\n";
    EXPECT_EQ(r.err, line + usage) << bad;
  }
}

TEST(FrontendHelp, TheConfiguratorsUsageNamesEveryOptionOfItsTable) {
  const std::string usage(torvik::TorvikString(torvik::IDS_TERMINAL_USAGE));
  for (const fe::OptionSpec& spec : torvik::TorvikOptionTable())
    EXPECT_NE(usage.find("  " + std::string(spec.name) + " "), std::string::npos) << spec.name;
  for (const std::string shared : {"--json", "--progress", "--trace"})
    EXPECT_NE(usage.find("  " + shared + " "), std::string::npos) << shared;
}

}  // namespace
