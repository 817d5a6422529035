// The configurator's faults on the headless host and the virtual clock:
// acknowledgements at the edges of the waits' limits, junk between replies,
// noise, every starting rate of the receiver and a line at a rate none of
// the broadcast's. Every Set ends with each awaited item acknowledged or
// timed out, never still waiting.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "torvik_dialog_harness.h"

using namespace torviktest;

namespace {

using Outcome = SentRecord::Outcome;

// "KAVEL,APN,cmnet,,,\r\n" -> "APN".
std::string NameOf(const std::string& bytes) {
  if (!bytes.starts_with("KAVEL,")) return {};
  return bytes.substr(6, bytes.find(',', 6) - 6);
}

// Opens the port, presses Set and runs until every item went and every wait ended.
void RunSet(Rig& rig, int limitMs = 200000) {
  rig.KeepRecords();
  rig.Start();
  rig.OpenPort();
  rig.records.Clear();
  rig.host.Click(IDC_BUTTON_SET);
  rig.RunUntilIdle(limitMs);
  ASSERT_TRUE(rig.dialog->QueueIdle());
}

// Opens the port and presses Set, the monitor thread's 200 ms pause taken
// out, so that a test can place the monitor's steps itself.
void PressSetWithoutTheMonitorsPause(Rig& rig) {
  rig.KeepRecords();
  rig.Start();
  rig.dialog->m_link.m_pause = [](unsigned) {};
  rig.OpenPort();
  rig.records.Clear();
  rig.host.Click(IDC_BUTTON_SET);
}

const SentRecord* Find(const Rig& rig, std::string_view name) {
  for (const SentRecord& r : rig.records.Items())
    if (NameOf(r.bytes) == name) return &r;
  return nullptr;
}

int Count(const Rig& rig, Outcome outcome) {
  return static_cast<int>(std::count_if(rig.records.Items().begin(), rig.records.Items().end(),
                                        [outcome](const SentRecord& r) { return r.outcome == outcome; }));
}

int Awaited(const Rig& rig) {
  return static_cast<int>(std::count_if(rig.records.Items().begin(), rig.records.Items().end(),
                                        [](const SentRecord& r) { return r.expectReply; }));
}

// A scripted receiver that acknowledges every command except APN, which gets `apn`.
void AnswerAllBut(Rig& rig, std::function<std::vector<ScriptedFarEnd::Answer>(const std::string&)> apn) {
  rig.Scripted().script = [apn](const std::string& line) {
    if (NameOf(line) == "APN") return apn(line);
    if (NameOf(line).empty() || line.starts_with("KAVEL,CLOSE") || line.starts_with("KAVEL,DIRECT"))
      return std::vector<ScriptedFarEnd::Answer>{};
    return std::vector<ScriptedFarEnd::Answer>{{20, "KAVEL," + NameOf(line) + ",OK\r\n"}};
  };
}

std::vector<ScriptedFarEnd::Answer> Babble(std::uint32_t untilMs) {
  std::vector<ScriptedFarEnd::Answer> answers;
  for (std::uint32_t t = 500; t < untilMs; t += 500) answers.push_back({t, "$GPGGA,1*00\r\n"});
  return answers;
}

// The time from APN's write to the tick that ends its unanswered wait.
std::uint32_t TimeOutAfterWrite(bool babbling) {
  Rig rig(std::nullopt);
  AnswerAllBut(rig, [babbling](const std::string&) { return babbling ? Babble(20000) : std::vector<ScriptedFarEnd::Answer>{}; });
  RunSet(rig);
  const SentRecord* apn = Find(rig, "APN");
  if (apn == nullptr || apn->outcome != Outcome::TimedOut) return 0;
  return apn->endedAt - apn->writtenAt;
}

TEST(TorvikFault, AcknowledgementJustBeforeOrAtTheTimeOutTick) {
  const std::uint32_t silence = TimeOutAfterWrite(false);
  const std::uint32_t longest = TimeOutAfterWrite(true);
  // The ticks come each second: the first one after the limit ends the wait.
  EXPECT_GT(silence, kSilenceLimitMs);
  EXPECT_LE(silence, kSilenceLimitMs + 1000);
  EXPECT_GT(longest, kMaxReplyWaitMs);
  EXPECT_LE(longest, kMaxReplyWaitMs + 1000);
  struct Case {
    bool babbling;
    std::uint32_t ackAfterMs;
    Outcome apn;
  };
  const Case cases[] = {
      // Past a limit the wait goes on until the time-out tick looks.
      {false, kSilenceLimitMs - 1, Outcome::Acknowledged},
      {false, kSilenceLimitMs + 1, Outcome::Acknowledged},
      {true, kMaxReplyWaitMs - 1, Outcome::Acknowledged},
      {true, kMaxReplyWaitMs + 1, Outcome::Acknowledged},
      {false, silence - 1, Outcome::Acknowledged},  // the last moment before the tick
      {false, silence, Outcome::TimedOut},          // the tick comes first
      {false, silence + 1, Outcome::TimedOut},
      {true, longest - 1, Outcome::Acknowledged},  // talk keeps the line alive: the 10 s limit decides
      {true, longest, Outcome::TimedOut},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "babbling " << c.babbling << ", acknowledged after " << c.ackAfterMs);
    Rig rig(std::nullopt);
    AnswerAllBut(rig, [&c](const std::string&) {
      std::vector<ScriptedFarEnd::Answer> answers = c.babbling ? Babble(c.ackAfterMs) : std::vector<ScriptedFarEnd::Answer>{};
      answers.push_back({c.ackAfterMs, "KAVEL,APN,OK\r\n"});
      return answers;
    });
    RunSet(rig);
    const SentRecord* apn = Find(rig, "APN");
    ASSERT_NE(apn, nullptr);
    EXPECT_EQ(apn->outcome, c.apn);
    // Whatever came late, every other command still has its own acknowledgement.
    EXPECT_EQ(Count(rig, Outcome::Acknowledged), Awaited(rig) - (c.apn == Outcome::TimedOut ? 1 : 0));
    const std::vector<std::string> log = rig.LogSinceSet();
    EXPECT_EQ(std::count(log.begin(), log.end(), "超时错误"), c.apn == Outcome::TimedOut ? 1 : 0);
    EXPECT_EQ(std::count(log.begin(), log.end(), "设置APN VPN....OK...."), c.apn == Outcome::Acknowledged ? 1 : 0);
  }
}

TEST(TorvikFault, JunkBetweenReplies) {
  using A = ScriptedFarEnd::Answer;
  struct Case {
    const char* what;
    std::vector<A> apn;       // what APN's line gets
    std::vector<A> setgprs;   // what the next command's line gets (empty: its proper acknowledgement)
    Outcome apnOutcome, setgprsOutcome;
  };
  const std::string junk("\x00\xFF\x01\x02\x7F$GP,,*\r", 10);
  const Case cases[] = {
      {"binary junk before the acknowledgement", {{10, junk}, {30, "KAVEL,APN,OK\r\n"}}, {}, Outcome::Acknowledged,
       Outcome::Acknowledged},
      {"the acknowledgement split in fragments", {{10, "KAVE"}, {12, "L,AP"}, {14, "N,OK\r"}, {16, "\n"}}, {},
       Outcome::Acknowledged, Outcome::Acknowledged},
      {"KAVE then OK: no KAVEL", {{10, "KAVE"}, {20, "OK\r\n"}, {30, junk}}, {}, Outcome::TimedOut,
       Outcome::Acknowledged},
      {"a lone OK", {{10, "OK\r\n"}}, {}, Outcome::TimedOut, Outcome::Acknowledged},
      {"junk that names KAVEL and OK completes one", {{10, junk + "KAVEL"}, {20, "xxOK\r\n"}}, {},
       Outcome::Acknowledged, Outcome::Acknowledged},
      // Nine bytes are one short, and what came before the next command's
      // write never counts towards it: one more byte completes nothing.
      {"KAVELOK<CR><LF> is one byte short", {{10, "KAVELOK\r\n"}}, {{10, "x"}}, Outcome::TimedOut,
       Outcome::TimedOut},
      // A lone OK while APN waits is not the next command's: its own answer needs both texts.
      {"a lone OK is not carried over", {{10, "OK\r\n"}}, {{10, "KAVEL,"}}, Outcome::TimedOut, Outcome::TimedOut},
      // One that comes after APN's wait ended and the next command was
      // written belongs to that command, whose answer then needs only KAVEL.
      {"a late lone OK counts for the command written before it", {{3500, "OK\r\n"}}, {{10, "KAVEL,"}},
       Outcome::TimedOut, Outcome::Acknowledged},
      {"junk alone", {{10, junk}, {1000, junk}}, {{10, junk}}, Outcome::TimedOut, Outcome::TimedOut},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Rig rig(std::nullopt);
    rig.Scripted().script = [&c](const std::string& line) {
      const std::string name = NameOf(line);
      if (name == "APN") return c.apn;
      if (name == "SETGPRS" && !c.setgprs.empty()) return c.setgprs;
      if (name.empty() || name == "CLOSE" || name == "DIRECT") return std::vector<A>{};
      return std::vector<A>{{20, "KAVEL," + name + ",OK\r\n"}};
    };
    RunSet(rig);
    ASSERT_NE(Find(rig, "APN"), nullptr);
    ASSERT_NE(Find(rig, "SETGPRS"), nullptr);
    EXPECT_EQ(Find(rig, "APN")->outcome, c.apnOutcome);
    EXPECT_EQ(Find(rig, "SETGPRS")->outcome, c.setgprsOutcome);
    EXPECT_EQ(Count(rig, Outcome::Waiting), 0);
    const std::vector<std::string> log = rig.LogSinceSet();
    EXPECT_EQ(static_cast<int>(std::count(log.begin(), log.end(), "超时错误")), Count(rig, Outcome::TimedOut));
  }
}

// A receiver that answers the module's AT lines as a modem does ("\r\nOK\r\n")
// and refuses the saving KAVEL,COM, with an error line that names KAVEL but
// holds no OK: that item times out, whatever an earlier item's answer left.
TEST(TorvikFault, AnErrorReplyAfterAModemsOkIsNoAcknowledgement) {
  using A = ScriptedFarEnd::Answer;
  struct Case {
    const char* what;
    std::optional<sim::ModelOptions> model;
    std::vector<A> error;  // a scripted receiver's answer to KAVEL,COM,...,SAVE
  };
  sim::ModelOptions refusing;
  refusing.errorReply = {"COM"};
  refusing.receiverRate = 19200;
  refusing.wireTiming = true;
  const Case cases[] = {
      {"receiver model", refusing, {}},
      {"scripted, one chunk", std::nullopt, {{20, "KAVEL,COM,ERROR\r\n"}}},
      {"scripted, split", std::nullopt, {{20, "KAV"}, {22, "EL,CO"}, {25, "M,ERROR\r"}, {27, "\n"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Rig rig(c.model);
    if (!c.model) {
      rig.Scripted().script = [&c](const std::string& line) {
        const std::string name = NameOf(line);
        if (line.starts_with("AT")) return std::vector<A>{{20, "\r\nOK\r\n"}};
        if (name == "COM" && line.find(",SAVE") != std::string::npos) return c.error;
        if (name.empty() || name == "COM" || name == "CLOSE" || name == "DIRECT") return std::vector<A>{};
        return std::vector<A>{{20, "KAVEL," + name + ",OK\r\n"}};
      };
    }
    RunSet(rig);
    const SentRecord* com = nullptr;
    for (const SentRecord& r : rig.records.Items())
      if (r.expectReply && NameOf(r.bytes) == "COM") com = &r;
    ASSERT_NE(com, nullptr);
    EXPECT_EQ(com->outcome, Outcome::TimedOut);
    EXPECT_EQ(Count(rig, Outcome::Acknowledged), Awaited(rig) - 1);
    const std::vector<std::string> log = rig.LogSinceSet();
    EXPECT_EQ(std::count(log.begin(), log.end(), "超时错误"), 1);
    const auto at = std::find(log.begin(), log.end(), com->label);
    ASSERT_NE(at, log.end()) << "the item's label stays as written, without an acknowledgement";
    ASSERT_NE(at + 1, log.end());
    EXPECT_EQ(*(at + 1), "超时错误");
    if (c.model) {
      EXPECT_EQ(rig.Model().GetReport().savedRate, 9600u);  // type 82's: stored, only the answer was an error
    }
  }
}

// The monitor thread completes an acknowledgement just after the time-out
// tick ended its wait, and waits to report it while the time-out's own log
// line is being sent: that line stays, and the acknowledgement of an item
// already timed out lands on no line.
TEST(TorvikFault, ATimeOutLineSentWhileAnAcknowledgementWaitsToBeReportedStays) {
  Rig rig(std::nullopt);  // answers nothing until told
  PressSetWithoutTheMonitorsPause(rig);
  std::thread monitor;
  std::atomic<int> reported{0};
  rig.host.beforeOwnSend = [&](unsigned msg, std::uintptr_t wparam, std::intptr_t) {
    if (msg != WM_LOGLINE || monitor.joinable() || std::string_view(reinterpret_cast<const char*>(wparam)) != "超时错误")
      return;
    monitor = std::thread([&rig, &reported] {
      const std::string ack = "KAVEL,COM,OK\r\n";
      rig.dialog->m_link.OnDataReceived(reinterpret_cast<const std::uint8_t*>(ack.data()), static_cast<int>(ack.size()));
      reported.store(1);
    });
    while (rig.host.othersSends.load() == 0) std::this_thread::yield();  // its report is on its way
  };
  for (int ms = 0; ms < 20000 && !monitor.joinable(); ++ms) rig.Step();
  ASSERT_TRUE(monitor.joinable()) << "no time-out came";
  fw::WaitServingSentMessages(rig.host, [&reported] { return reported.load() != 0; });
  monitor.join();
  rig.host.beforeOwnSend = nullptr;

  const SentRecord* timedOut = nullptr;
  for (const SentRecord& r : rig.records.Items())
    if (r.outcome == Outcome::TimedOut) timedOut = &r;
  ASSERT_NE(timedOut, nullptr);
  std::vector<std::string> log = rig.LogSinceSet();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2], timedOut->label);
  EXPECT_EQ(log.back(), "超时错误");

  // The rest of the Set, answered: each acknowledgement on its own item's line.
  AnswerAllBut(rig, [](const std::string& line) {
    return std::vector<ScriptedFarEnd::Answer>{{20, "KAVEL," + NameOf(line) + ",OK\r\n"}};
  });
  rig.RunUntilIdle();
  EXPECT_EQ(Count(rig, Outcome::TimedOut), 1);
  EXPECT_EQ(Count(rig, Outcome::Acknowledged), Awaited(rig) - 1);
  log = rig.LogSinceSet();
  EXPECT_EQ(std::count(log.begin(), log.end(), "超时错误"), 1);
  EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string& l) { return l.ends_with("....OK...."); }),
            Awaited(rig) - 1);
}

// A loaded PC may deschedule the monitor thread between finding an
// acknowledgement and reporting it; send ticks run meanwhile. The next item
// must still wait, so that "....OK...." lands on the line of its own item.
TEST(TorvikFault, TheNextItemWaitsUntilTheAcknowledgementIsOnItsLine) {
  Rig rig(std::nullopt);  // answers nothing until told
  PressSetWithoutTheMonitorsPause(rig);
  for (int ms = 0; ms < 2000 && rig.dialog->m_link.m_bWaitingReply.load() == 0; ++ms) rig.Step();
  ASSERT_EQ(rig.dialog->m_link.m_bWaitingReply.load(), 1) << "no item awaits a reply";
  const std::size_t written = rig.records.Items().size();
  ASSERT_GE(written, 1u);
  const std::size_t awaited = written - 1;

  const auto report = rig.dialog->m_link.m_onAcknowledged;
  std::atomic<int> stage{0};
  rig.dialog->m_link.m_onAcknowledged = [&](std::uint32_t sequence) {
    stage.store(1);
    while (stage.load() != 2) std::this_thread::yield();
    report(sequence);
    stage.store(3);
  };
  std::thread monitor([&rig] {
    const std::string ack = "KAVEL,APN,OK\r\n";
    rig.dialog->m_link.OnDataReceived(reinterpret_cast<const std::uint8_t*>(ack.data()), static_cast<int>(ack.size()));
  });
  while (stage.load() != 1) std::this_thread::yield();
  rig.Run(500);  // the send tick's turns while the report is held back
  EXPECT_EQ(rig.records.Items().size(), written) << "an item went out before the acknowledgement was shown";
  stage.store(2);
  fw::WaitServingSentMessages(rig.host, [&stage] { return stage.load() == 3; });
  monitor.join();
  rig.dialog->m_link.m_onAcknowledged = report;
  rig.Run(500);

  ASSERT_GT(rig.records.Items().size(), written);
  EXPECT_EQ(rig.records.Items()[awaited].outcome, Outcome::Acknowledged);
  const std::vector<std::string> log = rig.LogSinceSet();
  const auto line = std::find(log.begin(), log.end(), rig.records.Items()[awaited].label + "....OK....");
  ASSERT_NE(line, log.end()) << "the acknowledged item's line has no ....OK....";
  ASSERT_NE(line + 1, log.end());
  EXPECT_EQ(*(line + 1), rig.records.Items()[written].label);
}

// The settings a clean Set leaves on the board, to compare damaged runs with.
std::map<std::string, std::string> CleanSettings() {
  Rig rig;
  RunSet(rig);
  return rig.Model().GetReport().settings;
}

TEST(TorvikFault, NoiseEndsInAcknowledgementsOnlyWithTheSettingsEnteredOrInTimeOuts) {
  const std::map<std::string, std::string> clean = CleanSettings();
  ASSERT_EQ(clean.size(), 16u);
  struct Case {
    double toPc, toBoard;
  };
  const Case levels[] = {{0.001, 0}, {0.01, 0}, {0.05, 0}, {0, 0.001}, {0, 0.003}, {0.003, 0.003}};
  int runs = 0, timedOutRuns = 0, falseSuccesses = 0;
  for (const Case& level : levels) {
    for (std::uint64_t seed : {1, 2, 3}) {
      SCOPED_TRACE(testing::Message() << "noise to PC " << level.toPc << ", to board " << level.toBoard << ", seed " << seed);
      sim::ModelOptions options;
      options.noise = level.toPc;
      options.noiseToDevice = level.toBoard;
      options.seed = seed;
      options.receiverRate = 19200;
      Rig rig(options);
      RunSet(rig);
      ++runs;
      // Each written item carries the bytes queued for it and an outcome of its own.
      const std::vector<std::string> queued = [&rig] {
        std::vector<std::string> bytes;
        for (const SentRecord& r : rig.records.Items()) bytes.push_back(r.bytes);
        return bytes;
      }();
      ASSERT_EQ(queued.size(), 22u);
      EXPECT_EQ(Count(rig, Outcome::Waiting), 0);
      const std::map<std::string, std::string>& got = rig.Model().GetReport().settings;
      if (Count(rig, Outcome::TimedOut) > 0) {
        ++timedOutRuns;
        continue;
      }
      if (level.toBoard == 0) {
        EXPECT_EQ(got, clean);  // the board heard every byte as sent
      } else if (got != clean) {
        ++falseSuccesses;  // no checksum: a garbled value can be stored and acknowledged
      }
    }
  }
  EXPECT_EQ(runs, 18);
  EXPECT_GT(timedOutRuns, 0);  // the levels are high enough to hurt
  EXPECT_LT(timedOutRuns, runs);
  RecordProperty("falseSuccesses", falseSuccesses);

  // The line has no checksum: one flipped bit in a value is stored and
  // acknowledged like the value sent. What the record can still tell is
  // what was sent with which outcome.
  sim::ModelOptions options;
  options.noiseToDevice = 0.001;
  options.seed = 10;
  options.receiverRate = 19200;
  Rig rig(options);
  RunSet(rig);
  EXPECT_EQ(Count(rig, Outcome::Acknowledged), Awaited(rig));
  const SentRecord* setgsm = Find(rig, "SETGSM");
  ASSERT_NE(setgsm, nullptr);
  EXPECT_EQ(setgsm->bytes, "KAVEL,SETGSM,13812345678,13812345679\r\n");
  EXPECT_EQ(setgsm->outcome, Outcome::Acknowledged);
  EXPECT_EQ(rig.Model().GetReport().settings.at("SETGSM"), "KAVEL,SETGSM,138123t5678,13812345679");
}

TEST(TorvikFault, EveryStartingRateIsBroughtToTheTypesRate) {
  for (std::uint32_t start : {9600u, 19200u, 38400u, 57600u, 115200u}) {
    for (int type : {0, 1}) {  // 82 at 9600, X7 at 115200
      SCOPED_TRACE(testing::Message() << "receiver at " << start << ", type " << type);
      sim::ModelOptions options;
      options.receiverRate = start;
      options.wireTiming = true;
      Rig rig(options);
      rig.KeepRecords();
      rig.Start();
      rig.host.SelectItem(IDC_COMBO_TYPE, type);
      rig.OpenPort();
      rig.records.Clear();
      rig.host.Click(IDC_BUTTON_SET);
      rig.RunUntilIdle();
      const std::uint32_t rate = type == 0 ? 9600 : 115200;
      const sim::Report& report = rig.Model().GetReport();
      EXPECT_EQ(report.receiverRates.back(), rate);
      EXPECT_EQ(report.savedRate, rate);
      EXPECT_EQ(report.settings.size(), 16u);
      EXPECT_EQ(Count(rig, Outcome::Acknowledged), Awaited(rig));
      EXPECT_EQ(Count(rig, Outcome::TimedOut), 0);
    }
  }
}

TEST(TorvikFault, AReceiverAtARateOutsideTheBroadcastsHearsNothingAndEveryWaitTimesOut) {
  sim::ModelOptions options;
  options.receiverRate = 4800;
  options.wireTiming = true;
  Rig rig(options);
  RunSet(rig, 400000);
  const sim::Report& report = rig.Model().GetReport();
  EXPECT_EQ(report.receiverRates, std::vector<std::uint32_t>{4800});
  EXPECT_TRUE(report.settings.empty());
  EXPECT_GT(report.framingErrors, 0u);  // it heard garble
  EXPECT_EQ(Count(rig, Outcome::TimedOut), Awaited(rig));
  const std::vector<std::string> log = rig.LogSinceSet();
  EXPECT_EQ(static_cast<int>(std::count(log.begin(), log.end(), "超时错误")), Awaited(rig));
}

TEST(TorvikFault, ABabblingReceiverStillHasEveryCommandAcknowledged) {
  sim::ModelOptions options;
  options.babbleMs = 100;
  options.receiverRate = 38400;
  options.wireTiming = true;
  Rig rig(options);
  RunSet(rig);
  EXPECT_EQ(Count(rig, Outcome::Acknowledged), Awaited(rig));
  EXPECT_EQ(rig.Model().GetReport().settings.size(), 16u);
  EXPECT_GT(rig.Model().GetReport().babbleLines, 100u);
}

}  // namespace
