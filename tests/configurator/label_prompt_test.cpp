// --scan's labels: what a scanner's line may hold, and the prompt that asks
// again after a bad read until a good one or the end of the input.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "configurator/app/label_prompt.h"
#include "support/json_lines.h"

namespace {

using torvik::CheckLabel;
using torvik::LabelFault;

TEST(TorvikLabel, PrintableUtf8OfOneTo64BytesIsALabel) {
  EXPECT_EQ(CheckLabel("SN-0001"), LabelFault::None);
  EXPECT_EQ(CheckLabel("A"), LabelFault::None);
  EXPECT_EQ(CheckLabel(std::string(64, 'x')), LabelFault::None);
  EXPECT_EQ(CheckLabel("板 Ünit €5 \xF0\x9F\x93\xA6"), LabelFault::None) << "two-, three- and four-byte sequences";
  EXPECT_EQ(CheckLabel(" spaced label "), LabelFault::None);

  EXPECT_EQ(CheckLabel(""), LabelFault::Empty);
  EXPECT_EQ(CheckLabel(std::string(65, 'x')), LabelFault::TooLong);
  EXPECT_EQ(CheckLabel(std::string(22, 'x') + std::string(14, '\0') + "板板板板板板板板板"), LabelFault::ControlCharacter);
  EXPECT_EQ(CheckLabel("板板板板板板板板板板板板板板板板板板板板板板"), LabelFault::TooLong) << "66 bytes, 22 characters";
  for (const std::string& bad : std::vector<std::string>{"a\tb", "a\rb", "ab\n", std::string("a\0b", 3), "\x1B[2J", "a\x7F", "a\xC2\x85"})
    EXPECT_EQ(CheckLabel(bad), LabelFault::ControlCharacter) << testing::PrintToString(bad);
  for (const std::string& bad : std::vector<std::string>{"\xFF", "a\x80", "\xC3", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                                "\xE2\x82", "\xF0\x9F\x93"})
    EXPECT_EQ(CheckLabel(bad), LabelFault::NotUtf8) << testing::PrintToString(bad);
}

TEST(TorvikLabel, TheLineEndIsTrimmedAndNothingElse) {
  EXPECT_EQ(torvik::TrimLineEnd("SN1\r"), "SN1");
  EXPECT_EQ(torvik::TrimLineEnd("SN1\r\n"), "SN1");
  EXPECT_EQ(torvik::TrimLineEnd(" SN1 \r"), " SN1 ");
  EXPECT_EQ(torvik::TrimLineEnd("\r"), "");
  EXPECT_EQ(torvik::TrimLineEnd("S\rN"), "S\rN");
}

struct Asked {
  std::optional<std::string> label;
  std::vector<nlohmann::json> events;
  std::string human;
};

Asked Ask(const std::string& input, int board = 2) {
  std::istringstream in(input);
  std::ostringstream human, json;
  Asked asked;
  {
    fw::RunOutput output(human, false, fw::ProgressMode::None, &json);
    asked.label = torvik::AskLabel(&in, output, board);
  }
  asked.events = testing_support::ParseJsonLines(json.str());
  testing_support::ExpectHumanTellsTheSame(asked.events, human.str());
  asked.human = human.str();
  return asked;
}

TEST(TorvikLabel, ABadReadIsNamedAndTheScannerAskedAgain) {
  const Asked asked = Ask("\r\n" + std::string(70, '7') + "\nSN\x01" "9\r\nSN-42\r\nnever read\n");
  EXPECT_EQ(asked.label, "SN-42");
  std::vector<std::string> names;
  for (const nlohmann::json& e : asked.events) names.push_back(e["event"]);
  EXPECT_EQ(names, (std::vector<std::string>{"prompt", "label-refused", "prompt", "label-refused", "prompt",
                                             "label-refused", "prompt"}));
  EXPECT_EQ(asked.events[0]["board"], 2);
  EXPECT_EQ(asked.events[1]["reason"], "empty");
  EXPECT_EQ(asked.events[3]["reason"], "too-long");
  EXPECT_EQ(asked.events[3]["bytes"], 70);
  EXPECT_EQ(asked.events[5]["reason"], "control-character");
  EXPECT_NE(asked.human.find("Board 2: scan its label"), std::string::npos) << asked.human;
  EXPECT_NE(asked.human.find("The label has 70 bytes, at most 64"), std::string::npos) << asked.human;
}

TEST(TorvikLabel, TheEndOfTheInputEndsTheAsking) {
  EXPECT_EQ(Ask("").label, std::nullopt);
  const Asked afterBad = Ask("\xFF\n", 1);
  EXPECT_EQ(afterBad.label, std::nullopt);
  ASSERT_EQ(afterBad.events.size(), 3u);
  EXPECT_EQ(afterBad.events[1]["reason"], "not-utf8");
  // A last line without its line end is a whole label.
  EXPECT_EQ(Ask("SN-7").label, "SN-7");
  std::ostringstream human;
  fw::RunOutput output(human, false, fw::ProgressMode::None, nullptr);
  EXPECT_EQ(torvik::AskLabel(nullptr, output, 1), std::nullopt) << "no input at all";
}

}  // namespace
