// What the terminal configurator tells after the log, from real runs against
// receiver-sim: which commands went unanswered and what came back meanwhile,
// the board's summary, and JSON lines that say the same as the human output.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>

#include "configurator/app/torvik_terminal.h"
#include "framework/sha256.h"
#include "support/posix/pty_testkit.h"
#include "support/json_lines.h"
#include "support/temp_dir.h"

using nlohmann::json;
using serial::posix::testkit::CChildProcess;
using testing_support::EventsNamed;

namespace {

class TorvikReport : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::WriteFile(dir.File("gprscdmaset.ini"), "X7,115200,LOW,HIGH,\n");
    m_oldDir = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    // These runs keep no records (--db none); a run that opens the default
    // store opens the test's own, never the user's.
    ::setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
  }
  void TearDown() override { std::filesystem::current_path(m_oldDir); }

  void Start(std::vector<std::string> options) {
    std::vector<std::string> argv = {RECEIVER_SIM_PATH, "--link", link, "--wire-timing", "--receiver-rate", "115200"};
    argv.insert(argv.end(), options.begin(), options.end());
    sim = std::make_unique<CChildProcess>(argv);
    ASSERT_TRUE(sim->Ok());
    ASSERT_FALSE(sim->ReadLine(10000).empty()) << "receiver-sim did not come up";
  }
  int Set(std::vector<std::string> args, std::istream* in = nullptr) {
    std::vector<std::string> all = {"--port", link, "--type", "X7", "--report", boards, "--json",
                                     "--progress", "none", "--db", "none"};
    all.insert(all.end(), args.begin(), args.end());
    torvik::TorvikTerminalRun run;
    run.in = in;
    const int code = torvik::RunTorvikTerminal(all, run, out, err);
    events = testing_support::ParseJsonLines(out.str());
    testing_support::ExpectHumanTellsTheSame(events, err.str());
    return code;
  }
  json Only(std::string_view name) {
    const std::vector<json> named = EventsNamed(events, name);
    EXPECT_EQ(named.size(), 1u) << name << " in " << out.str();
    return named.empty() ? json::object() : named.front();
  }
  json BoardRecord() {
    const std::vector<std::uint8_t> bytes = testing_support::ReadFile(boards);
    return json::parse(std::string(bytes.begin(), bytes.end()));
  }
  std::vector<json> BoardRecords() {
    const std::vector<std::uint8_t> bytes = testing_support::ReadFile(boards);
    std::istringstream lines(std::string(bytes.begin(), bytes.end()));
    std::vector<json> records;
    for (std::string line; std::getline(lines, line);) records.push_back(json::parse(line));
    return records;
  }
  // Labels of the board record's items that timed out.
  std::set<std::string> TimedOutLabels() {
    std::set<std::string> labels;
    const json record = BoardRecord();
    for (const json& item : record["items"])
      if (item["outcome"] == "timed-out") labels.insert(item["label"].get<std::string>());
    return labels;
  }

  testing_support::TempDir dir;
  std::string link = dir.File("receiver");
  std::string boards = dir.File("boards.jsonl");
  std::unique_ptr<CChildProcess> sim;
  std::ostringstream out, err;
  std::vector<json> events;

 private:
  std::filesystem::path m_oldDir;
};

TEST_F(TorvikReport, UnansweredCommandsAreNamedAndTheSummaryMatchesTheBoardRecord) {
  Start({"--no-ack", "APN,SERIAL"});
  ASSERT_EQ(Set({"--local-id", "Z1234", "--user-pass", "rover:pw"}), torvik::kExitTimedOut) << err.str();
  const json d = Only("diagnosis");
  EXPECT_EQ(d["cause"], "unanswered");
  std::set<std::string> named;
  for (const json& command : d["commands"]) {
    named.insert(command["label"].get<std::string>());
    EXPECT_EQ(command["bytes_back"], 0) << "a quiet line: nothing came back while it waited";
    EXPECT_GE(command["waited_ms"].get<int>(), 3000);
  }
  EXPECT_EQ(named, TimedOutLabels());
  EXPECT_EQ(named.size(), 2u);
  EXPECT_NE(d["text"].get<std::string>().find("2 of 17 commands went unanswered"), std::string::npos) << d["text"];

  const json result = Only("result");
  const json record = BoardRecord();
  EXPECT_EQ(result["exit"], 3);
  EXPECT_EQ(result["board"], 1);
  EXPECT_EQ(result["acknowledged"], 15);
  EXPECT_EQ(result["timed_out"], 2);
  EXPECT_EQ(result["serial_no"], record["serialNumber"]);
  EXPECT_EQ(result["local_id"], "Z1234");
  EXPECT_EQ(result["user_pass"], "rover:pw");
  EXPECT_NE(err.str().find("Board 1: 15 acknowledged, 2 timed out; serial number " +
                           record["serialNumber"].get<std::string>() + ", local id Z1234, login rover:pw"),
            std::string::npos);

  // Every command counted once, the last step the whole Set.
  const std::vector<json> steps = EventsNamed(events, "progress");
  ASSERT_FALSE(steps.empty());
  EXPECT_EQ(steps.back()["done"], steps.back()["total"]);
}

TEST_F(TorvikReport, WhatATalkingReceiverSentDuringAnUnansweredWaitIsShown) {
  Start({"--no-ack", "APN", "--babble", "300"});
  ASSERT_EQ(Set({}), torvik::kExitTimedOut) << err.str();
  const json d = Only("diagnosis");
  ASSERT_EQ(d["commands"].size(), 1u);
  const json command = d["commands"][0];
  EXPECT_GT(command["bytes_back"].get<int>(), 100) << "ten seconds of position output";
  EXPECT_NE(command["last_bytes"].get<std::string>().find("|"), std::string::npos);
  EXPECT_NE(d["text"].get<std::string>().find("bytes came back, none an acknowledgement"), std::string::npos);
  EXPECT_EQ(Only("result")["acknowledged"], 16);
}

// A receiver that refuses the saved rate with an error line (after the
// module's "OK" to the AT lines): a time-out, never counted as acknowledged.
TEST_F(TorvikReport, AnErrorReplyIsNamedAsUnansweredNotCountedAsAcknowledged) {
  Start({"--error-reply", "COM"});
  ASSERT_EQ(Set({}), torvik::kExitTimedOut) << err.str();
  const json d = Only("diagnosis");
  EXPECT_EQ(d["cause"], "unanswered");
  ASSERT_EQ(d["commands"].size(), 1u);
  const json command = d["commands"][0];
  EXPECT_EQ(TimedOutLabels(), std::set<std::string>{command["label"].get<std::string>()});
  EXPECT_EQ(command["bytes_back"], 17) << "KAVEL,COM,ERROR and its line end, nothing from before the write";
  EXPECT_NE(command["last_bytes"].get<std::string>().find("KAVEL,COM,ERROR"), std::string::npos) << command;
  const json result = Only("result");
  EXPECT_EQ(result["acknowledged"], 16);
  EXPECT_EQ(result["timed_out"], 1);
  EXPECT_EQ(result["outcome"], "timed-out");
  const json record = BoardRecord();
  for (const json& item : record["items"])
    if (item["bytes"].get<std::string>().starts_with("KAVEL,COM,") && item["replyAwaited"].get<bool>()) {
      EXPECT_EQ(item["outcome"], "timed-out");
    }
}

TEST_F(TorvikReport, AnAcknowledgedSetHasNoDiagnosis) {
  Start({});
  ASSERT_EQ(Set({}), torvik::kExitAcknowledged) << err.str();
  EXPECT_TRUE(EventsNamed(events, "diagnosis").empty());
  EXPECT_EQ(Only("result")["outcome"], "acknowledged");
  EXPECT_EQ(Only("result")["timed_out"], 0);
  EXPECT_EQ(EventsNamed(events, "log").size() > 17, true);
}

// A line's profile: named at the start by its stem and digest, the command
// line over it (its receiver type is not in this station's type file), and
// every board's record carrying it.
TEST_F(TorvikReport, AProfileRunNamesItsProfileAndEveryBoardRecordCarriesIt) {
  Start({});
  const std::string profileText = "# line 7\n[torvik]\ntype = 82\nlocal-id = Z7007\nuser-pass = \"rover:pw\"\nboards = 2\n";
  const std::string profile = dir.File("line-7.ini");
  testing_support::WriteFile(profile, profileText);
  const std::string digest = fw::Sha256Hex(profileText);
  ASSERT_EQ(Set({"--profile", profile}), torvik::kExitAcknowledged) << err.str();
  const json named = Only("profile");
  EXPECT_EQ(named["name"], "line-7");
  EXPECT_EQ(named["file"], profile);
  EXPECT_EQ(named["sha256"], digest);
  EXPECT_EQ(named["text"].get<std::string>().find("Profile line-7 (sha256 " + digest.substr(0, 12) + ")"), 0u)
      << named["text"];
  EXPECT_EQ(events.front()["event"], "profile") << "before anything else of the run";

  const std::vector<json> results = EventsNamed(events, "result");
  ASSERT_EQ(results.size(), 2u) << "two boards, from the profile";
  EXPECT_EQ(results[0]["local_id"], "Z7007");
  EXPECT_EQ(results[0]["user_pass"], "rover:pw");
  const std::vector<json> records = BoardRecords();
  ASSERT_EQ(records.size(), 2u);
  for (const json& record : records) {
    EXPECT_EQ(record["profile"], "line-7");
    EXPECT_EQ(record["profileSha256"], digest);
    EXPECT_EQ(record["receiverType"], "X7") << "the command line's type, not the profile's";
    EXPECT_FALSE(record.contains("label"));
  }
}

// --scan with a barcode scanner on standard input: a damaged read is named
// and asked again, the good label goes with the board, and the end of the
// input before the second board's label ends the run with the first board.
TEST_F(TorvikReport, ScanReadsEachBoardsLabelAskingAgainAfterABadRead) {
  Start({});
  std::istringstream scanner("SN\x1B" "0001\r\nSN-0001\r\n");
  ASSERT_EQ(Set({"--scan", "--boards", "3"}, &scanner), torvik::kExitAcknowledged) << err.str();
  std::vector<std::string> asked;
  for (const json& e : events) {
    const std::string name = e["event"];
    if (name == "prompt" || name == "label-refused" || name == "input-ended" || name == "result") asked.push_back(name);
  }
  EXPECT_EQ(asked, (std::vector<std::string>{"prompt", "label-refused", "prompt", "result", "prompt", "input-ended"}));
  EXPECT_EQ(Only("label-refused")["reason"], "control-character");
  EXPECT_EQ(Only("input-ended")["boards"], 1);
  const json result = Only("result");
  EXPECT_EQ(result["label"], "SN-0001");
  EXPECT_NE(result["text"].get<std::string>().find("Board 1, label SN-0001: 17 acknowledged"), std::string::npos)
      << result["text"];
  const std::vector<json> records = BoardRecords();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0]["label"], "SN-0001");
  EXPECT_FALSE(records[0].contains("profile"));
  // The first label is asked for once the port is open and the link prepared, before Set.
  const std::vector<json> prompts = EventsNamed(events, "prompt");
  EXPECT_EQ(prompts[0]["board"], 1);
  EXPECT_EQ(prompts[2]["board"], 2);
}

}  // namespace
