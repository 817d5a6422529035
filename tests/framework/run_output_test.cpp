// What a terminal run prints for people and writes for scripts: the progress
// modes, the JSON lines, and the small formats of diagnoses.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <thread>

#include "framework/terminal/run_output.h"

namespace {

std::vector<nlohmann::json> Lines(const std::string& text) {
  std::vector<nlohmann::json> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(nlohmann::json::parse(line));
  return lines;
}

}  // namespace

TEST(RunOutput, ProgressModesDrawABarPrintTenthsOrStayQuiet) {
  for (const fw::ProgressMode mode : {fw::ProgressMode::Bar, fw::ProgressMode::Plain, fw::ProgressMode::None}) {
    std::ostringstream human;
    fw::RunOutput output(human, false, mode, nullptr);
    output.SetProgressWords({"%1/%2 pages, %3 elapsed, %4 left"});
    for (int done = 0; done <= 20; ++done) output.Progress(fw::ProgressView(done * 5, done, 20));
    const std::string text = human.str();
    if (mode == fw::ProgressMode::None) {
      EXPECT_EQ(text, "");
    } else if (mode == fw::ProgressMode::Plain) {
      // 0%, then one line per tenth: 11 lines, the last one full.
      EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 11) << text;
      EXPECT_NE(text.find("progress 100% 20/20 pages, 0:00 elapsed, 0:00 left\n"), std::string::npos) << text;
    } else {
      // Every step redraws in place; nothing but the bar is on the line.
      EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 21 + 20) << "a draw per step, a clear before each redraw";
      EXPECT_NE(text.find("] 50% 10/20 pages"), std::string::npos);
    }
  }
}

TEST(RunOutput, AutoIsABarOnATerminalAndPlainLinesElsewhere) {
  std::ostringstream onTerminal, piped;
  {
    fw::RunOutput a(onTerminal, true, fw::ProgressMode::Auto, nullptr);
    fw::RunOutput b(piped, false, fw::ProgressMode::Auto, nullptr);
    a.Progress(40);
    b.Progress(40);
  }
  EXPECT_EQ(onTerminal.str().substr(0, 2), "\r[");
  EXPECT_EQ(piped.str(), "progress 40%\n");
}

TEST(RunOutput, RemainingTimeFollowsThePaceSoFar) {
  std::ostringstream human;
  fw::RunOutput output(human, false, fw::ProgressMode::Plain, nullptr);
  output.Progress(fw::ProgressView(0, 0, 4));
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  output.Progress(fw::ProgressView(25, 1, 4));  // one of four in about 1 s: about 3 s to go
  EXPECT_NE(human.str().find("progress 0% 0/4 0:00 --:--\n"), std::string::npos) << human.str();
  // Three more quarters at the pace of the first; seconds are rounded, and a loaded machine may sleep longer.
  std::smatch m;
  const std::string text = human.str();
  ASSERT_TRUE(std::regex_search(text, m, std::regex("progress 25% 1/4 0:(\\d\\d) 0:(\\d\\d)\n"))) << text;
  const int elapsed = std::stoi(m[1]);
  const int remaining = std::stoi(m[2]);
  EXPECT_GE(elapsed, 1);
  EXPECT_NEAR(remaining, 3 * elapsed, 2) << text;
}

TEST(RunOutput, JsonLinesCarryEveryEventWhileTheBarStaysOnTheHumanStream) {
  std::ostringstream human, json;
  fw::RunOutput output(human, true, fw::ProgressMode::Bar, &json);
  output.Status("Status:>>COM port opened!");
  output.Progress(fw::ProgressView(50, 1, 2));
  output.Progress(fw::ProgressView(50, 1, 2));  // no change: no second event
  output.Message("Upgrade finish!\r\nsecond line");
  output.Log(std::string("bad \xFF byte"));
  output.Diagnosis("no-reply", {"Nothing came back.", "Check the cable."}, {{"bytes", 0}});
  output.Result(3, "timed-out", {}, {{"wall_ms", 16000}});
  const std::vector<nlohmann::json> lines = Lines(json.str());
  ASSERT_EQ(lines.size(), 6u) << json.str();
  EXPECT_EQ(lines[0]["event"], "status");
  EXPECT_EQ(lines[1]["event"], "progress");
  EXPECT_EQ(lines[1]["done"], 1);
  EXPECT_EQ(lines[1]["total"], 2);
  EXPECT_TRUE(lines[1]["remaining_ms"].is_number());
  EXPECT_EQ(lines[2]["text"], "Upgrade finish!\r\nsecond line");
  EXPECT_EQ(lines[3]["text"], "bad \xEF\xBF\xBD byte") << "a byte that is no UTF-8 is replaced, the line kept";
  EXPECT_EQ(lines[4]["cause"], "no-reply");
  EXPECT_EQ(lines[4]["text"], "Nothing came back.\nCheck the cable.");
  EXPECT_EQ(lines[4]["bytes"], 0);
  EXPECT_EQ(lines[5]["exit"], 3);
  EXPECT_EQ(lines[5]["outcome"], "timed-out");
  EXPECT_EQ(lines[5]["wall_ms"], 16000);
  for (const nlohmann::json& line : lines) EXPECT_TRUE(line["t_ms"].is_number_integer());
  // People read the same lines; the bar is redrawn under them.
  EXPECT_NE(human.str().find("Check the cable.\n\r["), std::string::npos);
  EXPECT_EQ(json.str().find('\r'), std::string::npos) << "JSON text escapes control characters";
}

TEST(RunOutput, ANoticeIsItsLinesForPeopleAndANamedEventWithItsFields) {
  std::ostringstream human, json;
  fw::RunOutput output(human, false, fw::ProgressMode::None, &json);
  output.Notice("profile", {"Profile line-a", "second"}, {{"name", "line-a"}});
  output.Notice("prompt", {});
  const std::vector<nlohmann::json> lines = Lines(json.str());
  ASSERT_EQ(lines.size(), 2u) << json.str();
  EXPECT_EQ(lines[0]["text"], "Profile line-a\nsecond");
  EXPECT_EQ(lines[0]["name"], "line-a");
  EXPECT_EQ(lines[0]["event"], "profile");
  EXPECT_EQ(lines[1]["event"], "prompt");
  EXPECT_EQ(lines[1]["text"], "");
  EXPECT_EQ(human.str(), "Profile line-a\nsecond\n");
}

TEST(RunOutput, BytesAreShownAsHexAndTextWithinALimit) {
  EXPECT_EQ(fw::HexAndText("AT\r\n"), "41 54 0D 0A |AT..|");
  EXPECT_EQ(fw::HexAndText(std::string(40, 'x'), 4), "78 78 78 78 |xxxx| ...");
  EXPECT_EQ(fw::HexAndText(""), "||");
  EXPECT_EQ(fw::MinutesSeconds(65'000), "1:05");
  EXPECT_EQ(fw::MinutesSeconds(std::nullopt), "--:--");
  EXPECT_EQ(fw::ParseProgressMode("plain"), fw::ProgressMode::Plain);
  EXPECT_FALSE(fw::ParseProgressMode("fancy").has_value());
}
