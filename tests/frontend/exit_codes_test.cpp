// The one table of exit codes and outcome words, against the words each
// program's JSON result lines carry.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "configurator/app/torvik_run_report.h"
#include "configurator/app/torvik_terminal.h"
#include "frontend/exit_codes.h"
#include "updater/app/brevan_run_report.h"
#include "updater/app/brevan_terminal.h"

namespace {

TEST(FrontendExitCodes, EveryCodeHasItsOwnWordInEachProgram) {
  for (const fe::OutcomeWords& words : {brevan::kBrevanOutcomeWords, torvik::kTorvikOutcomeWords}) {
    std::set<int> codes;
    std::set<std::string> seen;
    for (const fe::ExitRow& row : fe::ExitTable()) {
      EXPECT_TRUE(codes.insert(row.code).second) << row.code;
      const std::string word(fe::OutcomeWord(words, row.code));
      EXPECT_FALSE(word.empty()) << row.code;
      EXPECT_TRUE(seen.insert(word).second) << word;
    }
    EXPECT_EQ(codes.size(), 9u);
  }
}

TEST(FrontendExitCodes, TheWordsScriptsReadStayPut) {
  const std::vector<std::pair<int, std::string>> brevanWords{
      {0, "upgraded"}, {1, "no-firmware"}, {2, "port-failed"}, {3, "timed-out"}, {4, "refused"},
      {5, "wrong-firmware"}, {6, "store"}, {64, "usage"}, {130, "cancelled"}, {143, "cancelled"}, {129, "cancelled"}};
  for (const auto& [code, word] : brevanWords) EXPECT_EQ(brevan::OutcomeWord(code), word) << code;
  const std::vector<std::pair<int, std::string>> torvikWords{
      {0, "acknowledged"}, {2, "port-failed"}, {3, "timed-out"}, {4, "refused"}, {6, "store"},
      {64, "usage"}, {130, "interrupted"}, {143, "interrupted"}};
  for (const auto& [code, word] : torvikWords) EXPECT_EQ(torvik::TorvikOutcomeWord(code), word) << code;
}

TEST(FrontendExitCodes, ASignalEndsWith128PlusItsNumber) {
  EXPECT_EQ(fe::InterruptedExit(2), 130);
  EXPECT_EQ(fe::InterruptedExit(15), 143);
  EXPECT_EQ(fe::InterruptedExit(1), 129);
  EXPECT_EQ(fe::InterruptedExit(0), fe::kExitInterrupted);  // Cancel without a signal
}

}  // namespace
