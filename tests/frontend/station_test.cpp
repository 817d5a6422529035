// A station's pieces without a line: the lines a slot writes, the events it
// tags with its port, the tally read back from them, the worst of the
// slots' ends, and one signal cancelling every slot's host.
#include <gtest/gtest.h>

#include <csignal>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "framework/terminal/line_sink.h"
#include "framework/terminal/run_output.h"
#include "framework/terminal/terminal_host.h"
#include "frontend/station.h"
#include "tests/framework/dialog_testkit.h"

namespace {

TEST(StationLines, ALineIsHandedOverWholeHoweverItWasWritten) {
  std::vector<std::string> lines;
  {
    fw::LineSink sink([&](std::string_view line) { lines.emplace_back(line); });
    sink << "first " << 1;
    sink.write(" half", 5);
    sink << "\nsecond\n\n";
    sink.put('t');
    sink << "ail";
    EXPECT_EQ(lines, (std::vector<std::string>{"first 1 half", "second", ""}));
  }
  EXPECT_EQ(lines.back(), "tail") << "what had no line end yet is handed over at the end";
}

TEST(StationLines, EveryEventCarriesItsPortRightAfterItsName) {
  std::ostringstream human, json;
  fw::RunOutput output(human, false, fw::ProgressMode::Plain, &json);
  output.TagEvents({{"port", "/dev/ttyUSB1"}});
  output.Status("KAVEL,CLOSE");
  output.Diagnosis("port-failed", {"gone"}, {{"port", "/dev/ttyUSB1"}});
  output.Result(3, "timed-out", {"done"}, {{"board", 2}});
  std::istringstream lines(json.str());
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) {
    const nlohmann::ordered_json event = nlohmann::ordered_json::parse(line);
    auto it = event.begin();
    EXPECT_EQ(it.key(), "event");
    ++it;
    EXPECT_EQ(it.key(), "port") << line;
    EXPECT_EQ(*it, "/dev/ttyUSB1");
    ++count;
  }
  EXPECT_EQ(count, 3);
  EXPECT_EQ(nlohmann::json::parse(json.str().substr(json.str().rfind('{')))["board"], 2);
}

std::string Event(const nlohmann::json& j) { return j.dump(); }

TEST(StationTally, BoardsPassedFailedAndTheCauseOfTheLastFailure) {
  fe::SlotEvents torvik("/dev/ttyS1", false);
  torvik.Take(Event({{"event", "status"}, {"text", "KAVEL,CLOSE"}}));
  torvik.Take(Event({{"event", "result"}, {"exit", 0}, {"outcome", "acknowledged"}, {"board", 1}}));
  torvik.Take(Event({{"event", "diagnosis"}, {"cause", "unanswered"}, {"text", "1 of 20 commands went unanswered:\n  GGA"}}));
  torvik.Take(Event({{"event", "result"}, {"exit", 3}, {"outcome", "timed-out"}, {"board", 2}}));
  torvik.Take("not json at all {");
  // A run's own end after its boards (a store that went away) is no board.
  torvik.Take(Event({{"event", "result"}, {"exit", 6}, {"outcome", "store"}}));
  torvik.Ended(6);
  const fe::SlotTally& t = torvik.Tally();
  EXPECT_EQ(t.boards, 2);
  EXPECT_EQ(t.passed, 1);
  EXPECT_EQ(t.failed, 1);
  ASSERT_TRUE(t.lastPassed.has_value());
  EXPECT_FALSE(*t.lastPassed);
  EXPECT_EQ(t.lastCause, "1 of 20 commands went unanswered:");
  EXPECT_EQ(t.exitCode, 6);

  // An upgrade per result, but a port that never opened is no board; its cause stays.
  fe::SlotEvents brevan("/dev/ttyS2", true);
  brevan.Take(Event({{"event", "diagnosis"}, {"cause", "missing"}, {"text", "No such device: /dev/ttyS2"}}));
  brevan.Take(Event({{"event", "result"}, {"exit", 2}, {"outcome", "port-failed"}}));
  brevan.Ended(2);
  EXPECT_EQ(brevan.Tally().boards, 0);
  EXPECT_FALSE(brevan.Tally().lastPassed.has_value());
  EXPECT_EQ(brevan.Tally().lastCause, "No such device: /dev/ttyS2");

  fe::SlotEvents upgraded("/dev/ttyS3", true);
  upgraded.Take(Event({{"event", "result"}, {"exit", 0}, {"outcome", "upgraded"}}));
  EXPECT_EQ(upgraded.Tally().passed, 1);
  EXPECT_TRUE(upgraded.Tally().lastCause.empty());
}

TEST(StationEnds, TheWorstOfTheSlotsInTheTablesOrder) {
  EXPECT_EQ(fe::WorseExit(fe::kExitDone, fe::kExitTimedOut), fe::kExitTimedOut);
  EXPECT_EQ(fe::WorseExit(fe::kExitTimedOut, fe::kExitPortFailed), fe::kExitTimedOut);
  EXPECT_EQ(fe::WorseExit(fe::kExitStore, fe::kExitRefused), fe::kExitStore);
  EXPECT_EQ(fe::WorseExit(fe::kExitStore, fe::kExitInterrupted), fe::kExitInterrupted);
  EXPECT_EQ(fe::WorseExit(143, fe::kExitUsage), 143) << "a signal's code is an interruption";
  EXPECT_EQ(fe::WorseExit(fe::kExitDone, fe::kExitDone), fe::kExitDone);
}

TEST(StationEnds, PortsAStationRefuses) {
  const fw::UiLanguage en = fw::UiLanguage::English;
  EXPECT_FALSE(fe::StationPortsFault({"/dev/a", "/dev/b"}, en));
  EXPECT_EQ(fe::StationPortsFault({"/dev/a", "/dev/b", "/dev/a"}, en), "--port /dev/a");
  std::vector<std::string> nine;
  for (int i = 0; i < 9; ++i) nine.push_back("/dev/p" + std::to_string(i));
  const std::optional<std::string> tooMany = fe::StationPortsFault(nine, en);
  ASSERT_TRUE(tooMany);
  EXPECT_NE(tooMany->find('8'), std::string::npos) << *tooMany;
  EXPECT_NE(fe::StationOnePortOnly("--scan", fw::UiLanguage::Chinese).find("--scan"), std::string::npos);
}

// Every slot's host on its own thread, one Ctrl-C: each runs its Cancel.
TEST(StationInterrupts, OneSignalCancelsEverySlotsHost) {
  constexpr int kSlots = 3;
  std::array<int, kSlots> answers{};
  std::atomic<int> armed{0};
  std::vector<std::thread> slots;
  for (int i = 0; i < kSlots; ++i) {
    slots.emplace_back([&, i] {
      std::ostringstream out;
      fw::TerminalHost host(out, false);
      fwtest::KitDialog dialog;
      fw::CancelOnInterrupt guard(host);
      EXPECT_TRUE(guard.Active());
      armed.fetch_add(1);
      answers[static_cast<std::size_t>(i)] = host.RunModal(dialog);  // no timers: only the signal ends it
    });
  }
  while (armed.load() < kSlots) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  std::raise(SIGINT);
  for (std::thread& t : slots) t.join();
  for (const int answer : answers) EXPECT_EQ(answer, fw::kIdCancel);
  EXPECT_EQ(fw::CancelOnInterrupt::Signal(), SIGINT);
}

}  // namespace
