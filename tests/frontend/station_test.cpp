// A station's pieces without a line: the lines a slot writes, the events it
// tags with its port, the tally read back from them, the worst of the
// slots' ends, one signal cancelling every slot's host, a receiver's arrival
// on an idle port, and scanned labels handed to the slots in turn.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <mutex>
#include <set>
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

// Samples every 100 ms, as a waiting slot takes them.
TEST(StationArrival, TalkAfterTwoQuietSecondsAndNeverBabble) {
  {
    fe::ArrivalWatch watch;
    std::uint64_t received = 500;  // what the last board's Set left
    for (std::uint64_t ms = 0; ms <= 2000; ms += 100) EXPECT_FALSE(watch.Take(ms, received)) << ms;
    EXPECT_TRUE(watch.Take(2100, received + 40)) << "talk after 2 s of quiet";
  }
  {
    fe::ArrivalWatch watch;
    EXPECT_FALSE(watch.Take(0, 0));
    EXPECT_FALSE(watch.Take(1900, 0));
    EXPECT_FALSE(watch.Take(2000, 12)) << "the last quiet sample was 1.9 s in";
    for (std::uint64_t ms = 2100; ms < 3900; ms += 100) EXPECT_FALSE(watch.Take(ms, 12));
    EXPECT_FALSE(watch.Take(3900, 20)) << "quiet again only 1.9 s";
    for (std::uint64_t ms = 4000; ms < 6000; ms += 100) EXPECT_FALSE(watch.Take(ms, 20));
    EXPECT_TRUE(watch.Take(6000, 21));
  }
  {
    fe::ArrivalWatch watch;  // a sentence every 300 ms
    std::uint64_t received = 0;
    for (std::uint64_t ms = 0; ms < 20000; ms += 100) {
      if (ms % 300 == 0) received += 74;
      EXPECT_FALSE(watch.Take(ms, received)) << ms;
    }
  }
  {
    fe::ArrivalWatch watch;  // the port opened anew counts from 0: that is no talk
    EXPECT_FALSE(watch.Take(0, 900));
    EXPECT_FALSE(watch.Take(1000, 0));
    for (std::uint64_t ms = 1100; ms <= 2000; ms += 100) EXPECT_FALSE(watch.Take(ms, 0));
    EXPECT_TRUE(watch.Take(2100, 30)) << "the quiet ran on across the reopening";
  }
}

// Off a terminal the labels are lines of standard input: the slot that asked
// first gets the first line, none is handed twice or lost (the last has no
// line end), and once they are used up every slot that asks is told the input ended.
TEST(StationLabels, LinesOfTheInputGoToTheSlotsInTheOrderTheyAsk) {
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  const std::string input = "first\nsecond\nthird";
  ASSERT_EQ(::write(pipeFds[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
  ::close(pipeFds[1]);

  std::ostringstream out;
  std::ostringstream err;
  const fe::Console console{out, err};
  const fe::ProgramFacts facts{"test", {"done", "interrupted"}, {"usage", "", "", "items"}, {}};
  fe::StationSetup setup{console, true, fw::ProgressMode::None, facts, false, 0};
  setup.scanLabels = true;
  setup.inputFd = pipeFds[0];
  std::mutex lock;
  std::vector<std::pair<std::string, std::string>> taken;
  int ended = 0;
  const int code = fe::RunStation(setup, {"/dev/a", "/dev/b"},
                                  [&](fe::RunContext&, const std::string& port, const fe::SlotHooks& hooks) {
                                    EXPECT_FALSE(hooks.gate) << "a label starts the board off a terminal";
                                    if (port == "/dev/b") std::this_thread::sleep_for(std::chrono::milliseconds(300));
                                    for (int board = 0; board < 3; ++board) {
                                      std::optional<std::string> label = hooks.label();
                                      {
                                        const std::lock_guard<std::mutex> hold(lock);
                                        if (!label) {
                                          ++ended;
                                          break;
                                        }
                                        taken.emplace_back(port, *label);
                                      }
                                      if (port == "/dev/a") std::this_thread::sleep_for(std::chrono::milliseconds(600));
                                    }
                                    return fe::kExitDone;
                                  });
  ::close(pipeFds[0]);
  EXPECT_EQ(code, fe::kExitDone);
  ASSERT_EQ(taken.size(), 3u);
  EXPECT_EQ(taken[0], (std::pair<std::string, std::string>{"/dev/a", "first"}));
  EXPECT_EQ(taken[1], (std::pair<std::string, std::string>{"/dev/b", "second"})) << "a is busy with its board";
  EXPECT_EQ(taken[2].second, "third");
  EXPECT_EQ(ended, 2) << "both slots learn that the input ended";
}

}  // namespace
