// The terminal configurator against receiver-sim over a pty in real time,
// with the line's wire timing: a whole Set ends with the board holding what
// was entered; an unanswered command and a refused Set end as they should.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>

#include "configurator/app/torvik_terminal.h"
#include "support/posix/pty_testkit.h"
#include "support/process_resources.h"
#include "support/temp_dir.h"

using serial::posix::testkit::CChildProcess;
using nlohmann::json;

namespace {

class TorvikSim : public ::testing::Test {
 protected:
  void SetUp() override {
    // The type file is read from the current directory, as the window reads it.
    testing_support::WriteFile(dir.File("gprscdmaset.ini"), "82,9600,HIGH,HIGH,\nX7,115200,LOW,HIGH,\n");
    m_oldDir = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    // These runs keep no records (--db none); a run that opens the default
    // store opens the test's own, never the user's.
    ::setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
  }
  void TearDown() override { std::filesystem::current_path(m_oldDir); }

  void Start(std::vector<std::string> options) {
    std::vector<std::string> argv = {RECEIVER_SIM_PATH, "--link", link, "--wire-timing", "--receiver-rate", "19200",
                                     "--report", simReport};
    argv.insert(argv.end(), options.begin(), options.end());
    sim = std::make_unique<CChildProcess>(argv);
    ASSERT_TRUE(sim->Ok());
    ASSERT_FALSE(sim->ReadLine(10000).empty()) << "receiver-sim did not come up";
  }
  // A run leaves no thread and no descriptor behind (the test's own threads
  // that end meanwhile are `threadsGone`).
  int Set(std::vector<std::string> args, int threadsGone = 0) {
    std::vector<std::string> all = {"--port", link, "--type", "X7", "--report", boards, "--db", "none"};
    all.insert(all.end(), args.begin(), args.end());
    std::thread([] {}).join();  // the thread sanitizer's own thread starts with the first thread
    const auto before = testing_support::SettledProcessResources();
    const int code = torvik::RunTorvikTerminal(all, {}, out, err);
    const auto after = testing_support::SettledProcessResources();
    EXPECT_EQ(after.threads, before.threads - threadsGone);
    EXPECT_EQ(after.descriptors, before.descriptors);
    return code;
  }
  // What the board ended with; complete once the simulator has stopped.
  json SimReport() {
    sim->Stop();
    const std::vector<std::uint8_t> bytes = testing_support::ReadFile(simReport);
    return json::parse(bytes.begin(), bytes.end());
  }
  json Board(std::size_t index) {
    const std::vector<std::uint8_t> bytes = testing_support::ReadFile(boards);
    std::istringstream lines(std::string(bytes.begin(), bytes.end()));
    std::string line;
    for (std::size_t i = 0; std::getline(lines, line); ++i)
      if (i == index) return json::parse(line);
    return {};
  }

  testing_support::TempDir dir;
  std::string link = dir.File("receiver");
  std::string simReport = dir.File("sim.json");
  std::string boards = dir.File("boards.jsonl");
  std::unique_ptr<CChildProcess> sim;
  std::ostringstream out, err;
  std::filesystem::path m_oldDir;
};

TEST_F(TorvikSim, TheBoardEndsWithExactlyTheSettingsEntered) {
  Start({"--ack-delay", "20"});
  ASSERT_EQ(Set({"--mode", "ntrip", "--apn", "custom", "--apn-name", "corp.apn", "--user", "u1", "--password", "p,1",
                 "--user-pass", "alice:pw", "--mount", "RTCM3", "--server", "custom", "--address", "203.0.113.7",
                 "--server-port", "2101", "--gga", "$GPGGA,1,2", "--fixed-upload", "on", "--interval", "5",
                 "--count", "42", "--network", "off", "--dns", "on", "--dns-name", "caster.example.org"}),
            torvik::kExitAcknowledged)
      << out.str() << err.str();
  const json board = Board(0);
  const json r = SimReport();
  const json& f = r["settingFields"];
  EXPECT_EQ(f["APN"], json({"corp.apn", "u1", "p", "1", ""}));  // a comma in a field goes as typed
  EXPECT_EQ(f["IPSET"], json({"203.0.113.7", "2101", "RTCM3", ""}));
  EXPECT_EQ(f["USER"], json({"alice:pw", ""}));
  EXPECT_EQ(f["LED"], json({"LOW", "HIGH"}));
  EXPECT_EQ(f["OPEN"], json({"OFF", "OFF"}));
  EXPECT_EQ(f["USEDNS"], json({"ON"}));
  EXPECT_EQ(f["DNS"], json({"caster.example.org", ""}));
  EXPECT_EQ(f["USEGGA"], json({"ON", "5"}));
  EXPECT_EQ(f["GGA"], json({"$GPGGA,1,2", ""}));
  EXPECT_TRUE(r["settings"].contains("MODEGPRS"));
  EXPECT_TRUE(r["settings"].contains("MODENTRIP"));
  EXPECT_FALSE(r["settings"].contains("SETGPRS"));  // not in NTRIP mode
  EXPECT_EQ(r["serialNumber"], board["serialNumber"]);
  EXPECT_TRUE(board["serialNumber"].get<std::string>().ends_with("42"));
  EXPECT_EQ(r["savedRate"], 115200);
  EXPECT_EQ(r["configSaved"], true);
  EXPECT_EQ(r["receiverRates"].back(), 115200);  // the broadcast brought it from 19200
  EXPECT_EQ(r["moduleRate"], 115200);
  EXPECT_EQ(r["moduleEcho"], false);
  EXPECT_FALSE(r["directLinkOpen"].get<bool>());

  // Every settings command once, in order, at the type's rate.
  const std::vector<std::string> order = {"APN", "IPSET", "USER", "MODEGPRS", "MODENTRIP", "LED", "OPEN", "USEDNS",
                                          "DNS", "USEGGA", "GGA", "SERIAL", "NO.", "SAVECONFIG"};
  std::vector<std::string> heard;
  for (const json& c : r["commands"]) {
    if (c["kind"] != "setting") continue;
    const std::string text = c["text"];
    heard.push_back(text.substr(6, text.find(',', 6) == std::string::npos ? std::string::npos : text.find(',', 6) - 6));
    EXPECT_EQ(c["rate"], 115200) << text;
  }
  EXPECT_EQ(heard, order);
  for (const json& item : board["items"])
    if (item["replyAwaited"].get<bool>()) {
      EXPECT_EQ(item["outcome"], "acknowledged") << item["label"];
    }
  EXPECT_EQ(board["receiverType"], "X7");
}

TEST_F(TorvikSim, AnUnansweredCommandTimesOutAndTheSequenceGoesOn) {
  Start({"--no-ack", "USER"});
  EXPECT_EQ(Set({"--mode", "vrs"}), torvik::kExitTimedOut) << out.str() << err.str();
  EXPECT_NE(out.str().find("超时错误"), std::string::npos);
  const json board = Board(0);
  int timedOut = 0;
  for (const json& item : board["items"]) {
    if (item["outcome"] != "timed-out") continue;
    ++timedOut;
    EXPECT_TRUE(item["bytes"].get<std::string>().starts_with("KAVEL,USER,"));
    EXPECT_GT(item["endedMs"].get<int>() - item["writtenMs"].get<int>(), 3000);
  }
  EXPECT_EQ(timedOut, 1);
  EXPECT_EQ(SimReport()["configSaved"], true);
}

TEST_F(TorvikSim, BoardAfterBoardTheWindowPreparesTheNextOneAndQEnds) {
  Start({});
  std::istringstream keys("\nq\n");  // Enter for the second board, q before the third
  torvik::TorvikTerminalRun run;
  run.inIsTerminal = true;
  run.in = &keys;
  EXPECT_EQ(torvik::RunTorvikTerminal({"--port", link, "--report", boards, "--boards", "3", "--count", "99",
                                       "--local-id", "FIRST", "--user-pass", "first:pw", "--db", "none"},
                                      run, out, err),
            torvik::kExitAcknowledged)
      << out.str() << err.str();
  const json first = Board(0), second = Board(1);
  ASSERT_FALSE(second.is_null());
  EXPECT_TRUE(Board(2).is_null());
  EXPECT_EQ(first["localId"], "FIRST");
  EXPECT_EQ(first["userPass"], "first:pw");
  EXPECT_TRUE(first["serialNumber"].get<std::string>().ends_with("99"));
  // The second board takes what the window prepared: new random ids, the count's next serial number.
  EXPECT_TRUE(std::regex_match(second["localId"].get<std::string>(), std::regex("Z000\\d{5}")));
  EXPECT_TRUE(std::regex_match(second["userPass"].get<std::string>(), std::regex("Z000\\d{5}:demo")));
  EXPECT_TRUE(second["serialNumber"].get<std::string>().ends_with("00"));
  EXPECT_EQ(SimReport()["serialNumber"], second["serialNumber"]);
}

TEST_F(TorvikSim, ARefusedSetSendsNothing) {
  Start({});
  EXPECT_EQ(Set({"--mode", "gsm", "--apn", "cdma"}), torvik::kExitRefused);
  EXPECT_NE(out.str().find("CDMA 无GSM 模式"), std::string::npos) << out.str();
  const json r = SimReport();
  for (const json& c : r["commands"]) EXPECT_NE(c["kind"], "setting") << c["text"];
  EXPECT_EQ(r["receiverRates"].size(), 1u);  // no broadcast either
}

TEST_F(TorvikSim, UsageAndPortErrors) {
  EXPECT_EQ(Set({"--mode", "fast"}), torvik::kExitUsage);
  EXPECT_NE(err.str().find("--mode"), std::string::npos);
  EXPECT_EQ(Set({"--mount", std::string(99, 'm')}), torvik::kExitUsage);
  EXPECT_EQ(Set({"--type", "none"}), torvik::kExitUsage);
  EXPECT_EQ(torvik::RunTorvikTerminal({"--port", dir.File("absent")}, {}, out, err), torvik::kExitPortFailed);
  EXPECT_NE(out.str().find("通讯建立错误,串口已被其他程序打开"), std::string::npos);
}

// The command an item carried: "KAVEL,NO.,,\r\n" -> "NO.".
std::string NameOf(const std::string& bytes) {
  if (!bytes.starts_with("KAVEL,")) return {};
  return bytes.substr(6, bytes.find(',', 6) - 6);
}

// Every awaited item ends acknowledged or, for the names given, timed out
// after its limit; every setting written is on the board as written.
void CheckOutcomes(const json& board, const json& sim, const std::set<std::string>& timedOut, int minWaitMs,
                   int maxWaitMs) {
  std::set<std::string> seen;
  for (const json& item : board["items"]) {
    const std::string bytes = item["bytes"], name = NameOf(bytes);
    if (sim["settings"].contains(name)) {
      EXPECT_EQ(sim["settings"][name].get<std::string>() + "\\r\\n", bytes);
    }
    if (!item["replyAwaited"].get<bool>()) continue;
    if (!timedOut.contains(name)) {
      EXPECT_EQ(item["outcome"], "acknowledged") << bytes;
      continue;
    }
    seen.insert(name);
    EXPECT_EQ(item["outcome"], "timed-out") << bytes;
    const int waited = item["endedMs"].get<int>() - item["writtenMs"].get<int>();
    EXPECT_GT(waited, minWaitMs) << bytes;
    EXPECT_LE(waited, maxWaitMs) << bytes;
  }
  EXPECT_EQ(seen, timedOut);
}

struct FaultRow {
  const char* name;
  std::vector<std::string> sim;  // receiver-sim's faults
  std::string type;              // X7 at 115200, 82 at 9600
  int exitCode;
  std::set<std::string> timedOut;
  int minWaitMs = 3000, maxWaitMs = 4100;
};
void PrintTo(const FaultRow& row, std::ostream* os) { *os << row.name; }

class TorvikSimFaults : public TorvikSim, public ::testing::WithParamInterface<FaultRow> {};

TEST_P(TorvikSimFaults, EndsWithItsOutcome) {
  const FaultRow& row = GetParam();
  Start(row.sim);
  EXPECT_EQ(Set({"--type", row.type}), row.exitCode) << out.str() << err.str();
  const std::string text = out.str();
  std::size_t timeOuts = 0;
  for (std::size_t at = text.find("超时错误"); at != std::string::npos; at = text.find("超时错误", at + 1)) ++timeOuts;
  EXPECT_EQ(timeOuts, row.timedOut.size());
  const json board = Board(0);
  const json r = SimReport();
  CheckOutcomes(board, r, row.timedOut, row.minWaitMs, row.maxWaitMs);
  const int rate = row.type == "X7" ? 115200 : 9600;
  EXPECT_EQ(r["receiverRates"].back(), rate);
  EXPECT_EQ(r["savedRate"], rate);
  EXPECT_EQ(r["configSaved"], true);
}

const FaultRow kFaultRows[] = {
    {"SeveralLostAcknowledgements", {"--no-ack", "SETGPRS,LED,SERIAL"}, "X7", torvik::kExitTimedOut,
     {"SETGPRS", "LED", "SERIAL"}},
    // The module's "OK" just before does not make the refusal of the saved rate an acknowledgement.
    {"ErrorReplyToTheSavedRate", {"--error-reply", "COM"}, "X7", torvik::kExitTimedOut, {"COM"}},
    {"RepliesByteByByte", {"--split", "bytes"}, "X7", torvik::kExitAcknowledged, {}},
    {"RepliesInRandomChunks", {"--split", "random", "--seed", "7"}, "X7", torvik::kExitAcknowledged, {}},
    // The talk keeps the line from falling silent: only the 10 s limit ends the wait.
    {"BabbleAndALostAcknowledgement", {"--babble", "100", "--no-ack", "APN"}, "X7", torvik::kExitTimedOut, {"APN"},
     10000, 11100},
    {"Babble", {"--babble", "100"}, "X7", torvik::kExitAcknowledged, {}},
    {"ReceiverAt57600", {"--receiver-rate", "57600"}, "X7", torvik::kExitAcknowledged, {}},
    {"ReceiverAt115200TypeAt9600", {"--receiver-rate", "115200"}, "82", torvik::kExitAcknowledged, {}},
};

INSTANTIATE_TEST_SUITE_P(Rows, TorvikSimFaults, ::testing::ValuesIn(kFaultRows),
                         [](const auto& row) { return std::string(row.param.name); });

// The receiver goes away (killed) while the queued commands go out: the
// writes after it go nowhere and their waits time out one by one; the run
// ends with exit 3 and nothing left behind.
TEST_F(TorvikSim, APortThatVanishesMidSetTimesOutTheRest) {
  // The babble keeps the report fresh (rewritten 200 ms after a change, once
  // the simulator wakes); NO.'s wait lasts over 3 s, so SAVECONFIG surely
  // goes out after the kill.
  Start({"--no-ack", "NO.", "--babble", "100"});
  std::thread killer([this] {
    // Not before the run has counted its descriptors (NO. comes after the 4.4 s broadcast).
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < until) {
      std::ifstream in(simReport);
      const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      if (text.find("KAVEL,NO.") != std::string::npos) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    sim->Kill();
  });
  const auto start = std::chrono::steady_clock::now();
  const int code = Set({}, 1);
  killer.join();
  EXPECT_EQ(code, torvik::kExitTimedOut) << out.str() << err.str();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  json nothing;
  nothing["settings"] = json::object();
  CheckOutcomes(Board(0), nothing, {"NO.", "SAVECONFIG"}, 3000, 5000);
}

// Another program holds the port (its exclusive mode, or its lock): exit 2 with the window's message.
TEST_F(TorvikSim, APortHeldByAnotherProgramIsNotOpened) {
  Start({});
  for (bool exclusive : {true, false}) {
    SCOPED_TRACE(exclusive ? "TIOCEXCL" : "flock");
    const int fd = ::open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(exclusive ? ::ioctl(fd, TIOCEXCL) : ::flock(fd, LOCK_EX | LOCK_NB), 0);
    out.str("");
    EXPECT_EQ(Set({}), torvik::kExitPortFailed);
    EXPECT_NE(out.str().find("通讯建立错误,串口已被其他程序打开"), std::string::npos) << out.str();
    ::close(fd);
  }
  EXPECT_EQ(SimReport()["receiverRates"].size(), 1u);  // nothing reached the receiver
}

}  // namespace
