// One torvik process driving a station: a slot per port, each against its
// own receiver-sim, on one store. One slot's receiver babbles, one is silent,
// one port is not there: the others still pass at the pace of a slot alone,
// the exit code is the worst slot's, every JSON event names its port, and
// every board has an identity of its own. A fixture unplugged and plugged in
// again is found again. Ctrl-C stops every slot, and each board it stopped is
// recorded as interrupted. With --auto a slot starts when its receiver powers
// on; with --scan the labels go to the slots in the order they ask.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <thread>

#include "records/open_store.h"
#include "support/heard_identities.h"
#include "support/posix/pty_testkit.h"
#include "support/temp_dir.h"
#include "torvik_process.h"

using nlohmann::json;
using serial::posix::testkit::CChildProcess;

namespace {

using records_testing::ReadText;
using records_testing::Torvik;

constexpr int kBoards = 1;  // a silent receiver's board takes its every command's time-out

class TorvikStation : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::WriteFile(dir.File("gprscdmaset.ini"), "X7,115200,LOW,HIGH,\n");
    ::setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
  }
  void StartSim(const std::string& name, std::vector<std::string> extra = {}) {
    std::vector<std::string> argv{RECEIVER_SIM_PATH, "--link", dir.File(name), "--receiver-rate", "115200",
                                  "--report", dir.File(name + ".json")};
    argv.insert(argv.end(), extra.begin(), extra.end());
    auto sim = std::make_unique<CChildProcess>(argv);
    ASSERT_TRUE(sim->Ok());
    ASSERT_FALSE(sim->ReadLine(10000).empty()) << "receiver-sim did not come up";
    sims[name] = std::move(sim);
  }
  // The simulator's report as it stands.
  json SimReport(const std::string& name) {
    return json::parse(ReadText(dir.File(name + ".json")), nullptr, false);
  }
  // Waits until the run's log holds count events of that name on port (results: of boards).
  bool WaitForEvents(const std::string& name, const std::string& port, int count, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
      int seen = 0;
      for (const json& e : Events(dir.File("station.log")))
        if (e["event"] == name && (name != "result" || e.contains("board")) && e.value("port", "") == dir.File(port))
          ++seen;
      if (seen >= count) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }
  bool WaitForBoards(const std::string& port, int count, std::chrono::seconds limit) {
    return WaitForEvents("result", port, count, limit);
  }
  json StopSim(const std::string& name) {
    sims.at(name)->Stop();
    sims.erase(name);
    return SimReport(name);
  }
  // The station's last event (its result): each slot's entry by its port.
  std::map<std::string, json> SlotsByPort(const std::vector<json>& events) {
    std::map<std::string, json> slots;
    for (const json& slot : events.back()["slots"]) slots[slot["port"]] = slot;
    return slots;
  }
  std::vector<std::string> Args(const std::vector<std::string>& ports, int boards) {
    std::vector<std::string> args;
    for (const std::string& port : ports) args.insert(args.end(), {"--port", dir.File(port)});
    args.insert(args.end(), {"--type", "X7", "--mode", "heron", "--db", db, "--station", "bench-1", "--boards",
                             std::to_string(boards), "--json", "--progress", "none"});
    return args;
  }
  // The JSON events the run wrote, in order; the human lines are not JSON.
  std::vector<json> Events(const std::string& log) {
    std::vector<json> events;
    std::istringstream lines(ReadText(log));
    for (std::string line; std::getline(lines, line);) {
      json event = json::parse(line, nullptr, false);
      if (event.is_object() && event.contains("event")) events.push_back(std::move(event));
    }
    return events;
  }
  std::vector<records::BoardRow> Boards() {
    records::OpenOptions options;
    options.readOnly = true;
    auto store = records::OpenStore(db, options);
    EXPECT_TRUE(store.Ok()) << store.Error().detail;
    std::vector<records::BoardRow> rows;
    if (store.Ok()) {
      EXPECT_TRUE(store.Value()->ForEachBoard({}, [&](const records::BoardRow& row) { rows.push_back(row); }).Ok());
    }
    return rows;
  }
  // The gaps between the settings a receiver got, in ms: the slot's pacing.
  static std::vector<double> CommandGaps(const json& report) {
    std::vector<double> gaps;
    const json& commands = report["commands"];
    for (std::size_t i = 1; i < commands.size(); ++i)
      gaps.push_back(static_cast<double>(commands[i]["atUs"].get<std::uint64_t>() -
                                         commands[i - 1]["atUs"].get<std::uint64_t>()) / 1000.0);
    return gaps;
  }
  static double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
  }
  // Gaps on the send tick: within 12 ms of a multiple of its 50 ms.
  static double ShareOnTheTick(const std::vector<double>& gaps) {
    if (gaps.empty()) return 0;
    int on = 0;
    for (const double g : gaps) {
      const double off = g - 50.0 * std::round(g / 50.0);
      if (std::abs(off) <= 12.0) ++on;
    }
    return static_cast<double>(on) / static_cast<double>(gaps.size());
  }

  testing_support::TempDir dir;
  std::string db = dir.File("records.sqlite3");
  std::map<std::string, std::unique_ptr<CChildProcess>> sims;
};

TEST_F(TorvikStation, OneBabblingOneSilentOneMissingTheOthersPassAtTheirOwnPace) {
  // The pace of a slot alone, measured at the same time as the station's, in
  // a program of its own: the machine's load falls on both alike.
  StartSim("alone");
  StartSim("a");
  StartSim("b");
  StartSim("talks", {"--babble", "100"});
  StartSim("mute", {"--silent"});
  const std::vector<std::string> ports{"a", "b", "talks", "mute", "gone"};
  Torvik alone(Args({"alone"}, kBoards), dir.Path().string(), dir.File("alone.log"));
  Torvik station(Args(ports, kBoards), dir.Path().string(), dir.File("station.log"));
  const int code = station.Wait(std::chrono::seconds(180));
  ASSERT_EQ(alone.Wait(std::chrono::seconds(120)), 0) << ReadText(dir.File("alone.log"));
  const std::vector<double> aloneGaps = CommandGaps(StopSim("alone"));
  ASSERT_GT(aloneGaps.size(), 15u);
  const double paceAlone = Median(aloneGaps);
  const double shareAlone = ShareOnTheTick(aloneGaps);
  const std::string log = ReadText(dir.File("station.log"));
  EXPECT_EQ(code, 3) << "the worst slot timed out; a missing port (2) ranks below it\n" << log;

  // Every slot's event names its port; the station's own result ends the run.
  const std::vector<json> events = Events(dir.File("station.log"));
  ASSERT_FALSE(events.empty()) << log;
  std::map<std::string, int> eventsPerPort;
  for (std::size_t i = 0; i + 1 < events.size(); ++i) {
    ASSERT_TRUE(events[i].contains("port")) << events[i].dump();
    ++eventsPerPort[events[i]["port"].get<std::string>()];
  }
  for (const std::string& port : ports) EXPECT_GT(eventsPerPort[dir.File(port)], 0) << port;
  const json& end = events.back();
  EXPECT_EQ(end["event"], "result");
  EXPECT_EQ(end["station"], true);
  EXPECT_EQ(end["exit"], 3);
  EXPECT_EQ(end["boards"], 4 * kBoards);
  EXPECT_EQ(end["passed"], 3 * kBoards);
  EXPECT_EQ(end["failed"], kBoards);
  ASSERT_EQ(end["slots"].size(), ports.size());
  std::map<std::string, json> slots;
  for (const json& slot : end["slots"]) slots[slot["port"]] = slot;
  EXPECT_EQ(slots[dir.File("a")]["passed"], kBoards);
  EXPECT_EQ(slots[dir.File("talks")]["passed"], kBoards);
  EXPECT_EQ(slots[dir.File("mute")]["failed"], kBoards);
  EXPECT_EQ(slots[dir.File("mute")]["outcome"], "timed-out");
  EXPECT_EQ(slots[dir.File("gone")]["boards"], 0);
  EXPECT_EQ(slots[dir.File("gone")]["outcome"], "port-failed");
  EXPECT_NE(end["text"].get<std::string>().find(dir.File("gone") + " does not exist"), std::string::npos)
      << "the missing port's slot keeps its cause: " << end["text"];

  // The talking and the silent receivers did not stretch the others' ticks;
  // the slots ran at the same time (the simulators share the monotonic clock).
  std::map<std::string, json> reports;
  for (const std::string name : {"a", "b", "talks"}) reports[name] = StopSim(name);
  const auto first = [&](const std::string& n) { return reports[n]["commands"].front()["atUs"].get<std::uint64_t>(); };
  const auto last = [&](const std::string& n) { return reports[n]["commands"].back()["atUs"].get<std::uint64_t>(); };
  EXPECT_LT(first("a"), last("b"));
  EXPECT_LT(first("b"), last("a"));
  EXPECT_LT(first("talks"), last("a"));
  for (const std::string name : {"a", "b", "talks"}) {
    SCOPED_TRACE(name);
    const std::vector<double> gaps = CommandGaps(reports[name]);
    ASSERT_GT(gaps.size(), 15u);
    EXPECT_NEAR(Median(gaps), paceAlone, 10.0);
    // Most on the tick. A loaded machine (the sanitizer suites, many tests at
    // once) moves some, the lone slot's as much: the station may not move
    // many more than that, nor ever enough to fall below 0.8 on a quiet one.
    EXPECT_GE(ShareOnTheTick(gaps), std::min(0.8, shareAlone - 0.2)) << "alone " << shareAlone;
  }

  // One record per board, each identity its own, outcomes as the slots ended.
  std::set<std::string> serials, ids, logins;
  std::map<std::string, std::map<std::string, int>> outcomes;
  for (const records::BoardRow& row : Boards()) {
    if (row.port == dir.File("alone")) continue;
    serials.insert(row.serialNumber);
    ids.insert(row.localId);
    logins.insert(row.login);
    ++outcomes[row.port][row.outcome];
  }
  EXPECT_EQ(serials.size(), 4u * kBoards);
  EXPECT_EQ(ids.size(), 4u * kBoards);
  EXPECT_EQ(logins.size(), 4u * kBoards);
  EXPECT_EQ(outcomes[dir.File("a")]["passed"], kBoards);
  EXPECT_EQ(outcomes[dir.File("b")]["passed"], kBoards);
  EXPECT_EQ(outcomes[dir.File("talks")]["passed"], kBoards);
  EXPECT_EQ(outcomes[dir.File("mute")]["failed"], kBoards);
  EXPECT_EQ(outcomes.count(dir.File("gone")), 0u);
}

// A fixture unplugged mid-board and plugged in again (its receiver-sim killed
// and a new one on the same name): that board fails, the slot opens its port
// anew and sets the next board; the other slot never notices.
TEST_F(TorvikStation, AnUnpluggedFixtureFailsItsBoardAndIsFoundAgainOncePluggedBackIn) {
  StartSim("steady");
  StartSim("fixture");
  Torvik station(Args({"steady", "fixture"}, 2), dir.Path().string(), dir.File("station.log"));
  // Past the rate broadcast, into the board's settings.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (ReadText(dir.File("fixture.json")).find("KAVEL,NO.") == std::string::npos &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  sims.at("fixture")->Kill();
  sims.erase("fixture");
  StartSim("fixture");
  const int code = station.Wait(std::chrono::seconds(150));
  const std::string log = ReadText(dir.File("station.log"));
  EXPECT_EQ(code, 3) << log;
  const std::vector<json> events = Events(dir.File("station.log"));
  ASSERT_FALSE(events.empty()) << log;
  std::map<std::string, json> slots = SlotsByPort(events);
  EXPECT_EQ(slots[dir.File("steady")]["passed"], 2) << log;
  EXPECT_EQ(slots[dir.File("fixture")]["failed"], 1) << log;
  EXPECT_EQ(slots[dir.File("fixture")]["passed"], 1) << "the plugged-in fixture's board was not set\n" << log;
  std::map<std::string, std::vector<std::string>> outcomes;
  for (const records::BoardRow& row : Boards()) outcomes[row.port].push_back(row.outcome);
  EXPECT_EQ(outcomes[dir.File("fixture")], (std::vector<std::string>{"passed", "failed"})) << "newest first";
  EXPECT_EQ(outcomes[dir.File("steady")], (std::vector<std::string>{"passed", "passed"}));
  // The new receiver got the second board whole.
  EXPECT_EQ(testing_support::HeardIdentities(StopSim("fixture")).size(), 1u);
}

TEST_F(TorvikStation, CtrlCStopsEverySlotAndItsBoardIsRecordedInterrupted) {
  const std::vector<std::string> ports{"s1", "s2", "s3"};
  for (const std::string& port : ports) StartSim(port);
  Torvik station(Args(ports, 5), dir.Path().string(), dir.File("station.log"));
  // Once every slot has passed its first board, each is in the middle of its second.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
  std::set<std::string> passedOne;
  while (passedOne.size() < ports.size() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    for (const json& e : Events(dir.File("station.log")))
      if (e["event"] == "result" && e.value("board", 0) == 1 && e["exit"] == 0) passedOne.insert(e["port"]);
  }
  ASSERT_EQ(passedOne.size(), ports.size()) << ReadText(dir.File("station.log"));
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  station.Signal(SIGINT);
  EXPECT_EQ(station.Wait(std::chrono::seconds(30)), 130) << ReadText(dir.File("station.log"));
  const std::vector<json> events = Events(dir.File("station.log"));
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back()["outcome"], "interrupted");

  std::map<std::string, std::map<std::string, int>> outcomes;
  for (const records::BoardRow& row : Boards()) ++outcomes[row.port][row.outcome];
  for (const std::string& port : ports) {
    SCOPED_TRACE(port);
    EXPECT_GE(outcomes[dir.File(port)]["passed"], 1);
    EXPECT_EQ(outcomes[dir.File(port)]["interrupted"], 1);
    EXPECT_EQ(outcomes[dir.File(port)]["started"], 0) << "no board is left as if it were still running";
  }
}

// A receiver powered on (SIGUSR1 to its simulator) starts its slot's board;
// till then the slot waits, however long. A babbling receiver is never
// silent for 2 s, so its slot never starts by itself.
TEST_F(TorvikStation, AutoStartsABoardWhenItsReceiverPowersOnAndNeverOnABabblingOne) {
  StartSim("fixture");
  StartSim("babbling", {"--babble", "300"});
  std::vector<std::string> args = Args({"fixture", "babbling"}, 2);
  args.push_back("--auto");
  Torvik station(args, dir.Path().string(), dir.File("station.log"));
  for (int board = 1; board <= 2; ++board) {
    SCOPED_TRACE(board);
    // The slot says when it starts to wait; then longer than the 2 s of
    // quiet: nothing is set until the receiver talks.
    ASSERT_TRUE(WaitForEvents("waiting", "fixture", board, std::chrono::seconds(60))) << ReadText(dir.File("station.log"));
    std::this_thread::sleep_for(std::chrono::milliseconds(2600));
    EXPECT_EQ(testing_support::HeardIdentities(SimReport("fixture")).size(), static_cast<std::size_t>(board - 1))
        << ReadText(dir.File("station.log"));
    sims.at("fixture")->Signal(SIGUSR1);
    ASSERT_TRUE(WaitForBoards("fixture", board, std::chrono::seconds(60))) << ReadText(dir.File("station.log"));
  }
  EXPECT_TRUE(testing_support::HeardIdentities(SimReport("babbling")).empty());
  station.Signal(SIGINT);
  const int code = station.Wait(std::chrono::seconds(30));
  const std::string log = ReadText(dir.File("station.log"));
  EXPECT_EQ(code, 130) << log;
  const std::vector<json> events = Events(dir.File("station.log"));
  ASSERT_FALSE(events.empty()) << log;
  std::map<std::string, json> slots = SlotsByPort(events);
  EXPECT_EQ(slots[dir.File("fixture")]["passed"], 2) << log;
  EXPECT_EQ(slots[dir.File("fixture")]["exit"], 0) << log;
  EXPECT_EQ(slots[dir.File("babbling")]["boards"], 0) << log;
  EXPECT_EQ(StopSim("fixture")["powerOns"], 2);
}

// Off a terminal the labels are lines of standard input, each to the slot
// that has waited longest: every label is used once, and when they run out
// the slots that still ask end with the input.
TEST_F(TorvikStation, ScannedLabelsGoToTheSlotsInTurnUntilTheInputEnds) {
  StartSim("s1");
  StartSim("s2");
  testing_support::WriteFile(dir.File("labels.txt"), "LBL-1\nLBL-2\nLBL-3\n");
  std::vector<std::string> args = Args({"s1", "s2"}, 2);
  args.push_back("--scan");
  Torvik station(args, dir.Path().string(), dir.File("station.log"), dir.File("labels.txt"));
  const int code = station.Wait(std::chrono::seconds(120));
  const std::string log = ReadText(dir.File("station.log"));
  EXPECT_EQ(code, 0) << log;
  std::multiset<std::string> labels;
  std::map<std::string, int> perPort;
  for (const records::BoardRow& row : Boards()) {
    labels.insert(row.label);
    ++perPort[row.port];
    EXPECT_EQ(row.outcome, "passed") << row.label;
  }
  EXPECT_EQ(labels, (std::multiset<std::string>{"LBL-1", "LBL-2", "LBL-3"})) << log;
  EXPECT_EQ(perPort[dir.File("s1")] + perPort[dir.File("s2")], 3);
  EXPECT_GE(std::min(perPort[dir.File("s1")], perPort[dir.File("s2")]), 1) << "both slots took labels\n" << log;
  int prompts = 0;
  int ended = 0;
  for (const json& e : Events(dir.File("station.log"))) {
    if (e["event"] == "prompt") {
      ++prompts;
      EXPECT_TRUE(e.contains("port")) << e.dump();
    }
    if (e["event"] == "input-ended") ++ended;
  }
  EXPECT_EQ(prompts, 4) << "three labels taken, one asked for when the input had ended\n" << log;
  EXPECT_EQ(ended, 1) << log;
}

}  // namespace
