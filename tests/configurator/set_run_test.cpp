// The Set's run without a window or a port: a fake view keeps the log and
// the clock, a fake link takes the writes and plays the monitor thread's
// part (received bytes, an acknowledgement ending a write's wait).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "configurator/resources/torvik_strings.h"
#include "configurator/set_run/set_records.h"
#include "configurator/set_run/set_run.h"
#include "serial/line_tally.h"

namespace {

using namespace torvik;

class FakeView final : public ISetView {
 public:
  CSetRun* run = nullptr;
  std::uint32_t now = 5000;
  std::vector<std::string> log;
  std::vector<unsigned> pauses;

  std::uint32_t RunTicks() override { return now; }
  void RunPause(unsigned ms) override {
    pauses.push_back(ms);
    now += ms;
  }
  void ShowSentLabel(std::string_view label) override { log.emplace_back(label); }
  void ShowLogLine(std::string_view text, bool append) override {
    if (append && !log.empty()) log.back() += text;
    else log.emplace_back(text);
  }
  // The window's message handler hands the line straight back.
  void SendLogLine(const char* text, std::intptr_t mode) override { run->LogLine(text, mode); }
  std::string TimeOutText() override { return std::string(TorvikString(IDS_TIMEOUT)); }
};

class FakeLink final : public ISetLink {
 public:
  CReplyWait wait;
  std::atomic<std::uint32_t> lastActivity{0};
  serial::LineTally tally;
  std::vector<std::string> writes;

  CReplyWait& ReplyWait() override { return wait; }
  std::atomic<std::uint32_t>& LastActivity() override { return lastActivity; }
  void Write(const std::uint8_t* data, int length) override {
    writes.emplace_back(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length));
  }
  std::uint64_t ReceivedTotal() const override { return tally.Total(); }
  std::string ReceivedLast(std::size_t n) const override { return tally.Last(n); }
};

// Every event, as one line of text, in the order told.
class EventLog final : public ISetObserver {
 public:
  std::vector<std::string> events;
  void OnSetStarted(const SetFacts& f) override { events.push_back("started " + std::string(f.serialNo)); }
  void OnItemSent(const SentItem& i) override {
    events.push_back("sent " + std::to_string(i.sequence) + " " + std::string(i.label) + (i.expectReply ? " awaited" : "") +
                     " left " + std::to_string(i.stillQueued));
  }
  void OnItemAcknowledged(std::uint32_t sequence, std::uint32_t) override {
    events.push_back("ack " + std::to_string(sequence));
  }
  void OnItemTimedOut(const TimedOutItem& i) override {
    events.push_back("timeout " + std::to_string(i.sequence) + " [" + std::string(i.lastBytes) + "]");
  }
  void OnIdle() override { events.emplace_back("idle"); }
  void OnSetEnded(SetOutcome outcome) override {
    static constexpr const char* kNames[] = {"passed", "failed", "refused", "interrupted"};
    events.push_back(std::string("ended ") + kNames[static_cast<int>(outcome)]);
  }
  int Count(std::string_view prefix) const {
    int n = 0;
    for (const std::string& e : events) n += e.starts_with(prefix);
    return n;
  }
};

struct RunRig {
  FakeView view;
  FakeLink link;
  CSendQueue queue;
  CSetRun run{view, link, queue};
  EventLog events;
  CSentRecords records;

  RunRig() {
    view.run = &run;
    run.Attach(events);
    run.Attach(records);
    run.PortOpened();  // the first write is number 2
  }
  void Queue(std::vector<ComposedCommand> commands) { run.QueueCommands(commands); }
  void Start() { run.Started({"SN1", "Z1", "Z1:demo", "82", "9600", view.now}); }
  // The monitor thread: bytes arrive, and an acknowledgement ends write sequence's wait.
  void Receive(std::string_view bytes) {
    link.tally.Add({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
    link.lastActivity.store(view.now);
  }
  void Acknowledge(std::uint32_t sequence) { run.Acknowledged(sequence); }
  void Advance(std::uint32_t ms) { view.now += ms; }
};

const std::vector<ComposedCommand> kThree = {
    {"KAVEL,APN,cmnet\r\n", "APN", true}, {"AT\r\n", "AT", false}, {"KAVEL,SAVE\r\n", "SAVE", true}};

TEST(TorvikSetRun, TheSendTickWritesOneItemAtATimeInOrderAndWaitsOnlyForAwaitedReplies) {
  RunRig rig;
  rig.Queue(kThree);
  rig.run.SendTick();
  rig.run.SendTick();  // APN's reply is awaited: nothing more goes
  ASSERT_EQ(rig.link.writes, std::vector<std::string>{"KAVEL,APN,cmnet\r\n"});
  EXPECT_FALSE(rig.run.QueueIdle());

  rig.Acknowledge(rig.link.wait.Sequence());
  rig.run.SendTick();  // AT expects nothing: the pause, and the next tick goes on at once
  EXPECT_EQ(rig.view.pauses, std::vector<unsigned>{CSetRun::kNoReplyPauseMs});
  rig.run.SendTick();
  EXPECT_EQ(rig.link.writes, (std::vector<std::string>{"KAVEL,APN,cmnet\r\n", "AT\r\n", "KAVEL,SAVE\r\n"}));
  EXPECT_EQ(rig.view.log, (std::vector<std::string>{"APN....OK....", "AT", "SAVE"}));

  const std::vector<std::string> sent = {"sent 2 APN awaited left 2", "sent 3 AT left 1", "sent 4 SAVE awaited left 0"};
  std::vector<std::string> told;
  for (const std::string& e : rig.events.events)
    if (e.starts_with("sent ")) told.push_back(e);
  EXPECT_EQ(told, sent);
  ASSERT_EQ(rig.records.Items().size(), 3u);
  EXPECT_EQ(rig.records.Items()[1].bytes, "AT\r\n");
  EXPECT_EQ(rig.records.Items()[1].outcome, SentRecord::Outcome::Sent);
  EXPECT_EQ(rig.records.Items()[2].outcome, SentRecord::Outcome::Waiting);
  EXPECT_EQ(rig.events.Count("idle"), 0);  // SAVE still waits
}

TEST(TorvikSetRun, TheTimeOutTickEndsAWaitAfterSilenceOrTenSecondsAndLogsTheTimeOutLine) {
  {
    SCOPED_TRACE("more than 3 s of silence");
    RunRig rig;
    rig.Queue({kThree[0]});
    rig.run.SendTick();
    rig.Advance(kSilenceLimitMs);
    rig.run.TimeoutTick();  // exactly 3 s: still waiting
    EXPECT_EQ(rig.link.wait.load(), 1);
    rig.Advance(1);
    rig.run.TimeoutTick();
    EXPECT_EQ(rig.link.wait.load(), 0);
    EXPECT_EQ(rig.view.log, (std::vector<std::string>{"APN", "超时错误"}));
    EXPECT_EQ(rig.events.Count("timeout 2 []"), 1);
    EXPECT_EQ(rig.records.Items()[0].outcome, SentRecord::Outcome::TimedOut);
    EXPECT_EQ(rig.records.Items()[0].endedAt, rig.view.now);
    rig.Advance(kSilenceLimitMs + 1);
    rig.run.TimeoutTick();  // no wait: no second line
    EXPECT_EQ(rig.view.log.size(), 2u);
  }
  {
    SCOPED_TRACE("a receiver that talks without an acknowledgement");
    RunRig rig;
    rig.Receive("before");  // not this item's
    rig.Queue({kThree[0]});
    rig.run.SendTick();
    for (int s = 0; s < 10; ++s) {
      rig.Advance(1000);
      rig.Receive("x");
      rig.run.TimeoutTick();
      EXPECT_EQ(rig.link.wait.load(), 1) << "after " << s + 1 << " s";
    }
    rig.Advance(1);
    rig.run.TimeoutTick();
    EXPECT_EQ(rig.link.wait.load(), 0);
    EXPECT_EQ(rig.events.Count("timeout 2 [xxxxxxxxxx]"), 1);
    EXPECT_EQ(rig.records.Items()[0].rxAtEnd - rig.records.Items()[0].rxAtWrite, 10u);
  }
}

TEST(TorvikSetRun, AnAcknowledgementIsCreditedToTheItemItWasFoundFor) {
  {
    SCOPED_TRACE("found, then held back before it is reported");
    RunRig rig;
    rig.Queue({kThree[0], kThree[2]});
    rig.run.SendTick();
    const std::uint32_t apn = rig.link.wait.Sequence();
    rig.run.SendTick();  // the wait is not over until the window takes the report
    EXPECT_EQ(rig.view.log, std::vector<std::string>{"APN"});
    rig.run.Acknowledged(apn);
    rig.run.SendTick();
    EXPECT_EQ(rig.view.log, (std::vector<std::string>{"APN....OK....", "SAVE"}));
    EXPECT_EQ(rig.records.Items()[0].outcome, SentRecord::Outcome::Acknowledged);
    EXPECT_EQ(rig.records.Items()[1].outcome, SentRecord::Outcome::Waiting);
    EXPECT_EQ(rig.link.wait.load(), 1);
  }
  {
    SCOPED_TRACE("found after a time-out ended its wait");
    RunRig rig;
    rig.Queue({kThree[0], kThree[2]});
    rig.run.SendTick();
    const std::uint32_t apn = rig.link.wait.Sequence();
    rig.Advance(kMaxReplyWaitMs + 1);
    rig.run.TimeoutTick();
    rig.run.SendTick();
    rig.Acknowledge(apn);  // the wait is over: it ends nothing and lands on no line
    EXPECT_EQ(rig.view.log, (std::vector<std::string>{"APN", "超时错误", "SAVE"}));
    EXPECT_EQ(rig.records.Items()[0].outcome, SentRecord::Outcome::TimedOut);
    EXPECT_EQ(rig.records.Items()[1].outcome, SentRecord::Outcome::Waiting);
    EXPECT_EQ(rig.events.Count("ack"), 0);
  }
  {
    SCOPED_TRACE("a line with the same text is only a line");
    RunRig rig;
    rig.Queue({kThree[0]});
    rig.run.SendTick();
    rig.link.wait.End(rig.link.wait.Sequence());
    const std::string sameText = CSetRun::kAcknowledgedText;
    rig.run.LogLine(sameText.c_str(), kLogAppend);
    EXPECT_EQ(rig.view.log, std::vector<std::string>{"APN....OK...."});
    EXPECT_EQ(rig.records.Items()[0].outcome, SentRecord::Outcome::Waiting);
    EXPECT_EQ(rig.events.Count("ack"), 0);
  }
}

TEST(TorvikSetRun, ASetEndsOnceWithItsOutcomeWhenTheLastWaitHasEnded) {
  {
    SCOPED_TRACE("every reply came: passed");
    RunRig rig;
    rig.Queue({kThree[0]});
    rig.run.SendTick();
    rig.Acknowledge(rig.link.wait.Sequence());  // the link's own sequence: idle, no Set
    EXPECT_EQ(rig.events.Count("idle"), 1);
    EXPECT_EQ(rig.events.Count("ended"), 0);
    rig.Start();
    rig.Queue(kThree);
    for (int tick = 0; tick < 3; ++tick) {
      rig.run.SendTick();
      if (rig.link.wait.load() == 1) rig.Acknowledge(rig.link.wait.Sequence());
    }
    rig.run.SendTick();
    ASSERT_GE(rig.events.events.size(), 2u);
    EXPECT_EQ(rig.events.events.back(), "ended passed");
    EXPECT_EQ(rig.events.events[rig.events.events.size() - 2], "idle");
    EXPECT_EQ(rig.events.Count("ended"), 1);
    EXPECT_EQ(rig.run.LastSet(), SetResult::Started);
  }
  {
    SCOPED_TRACE("a wait timed out: failed, once the queue is through");
    RunRig rig;
    rig.Start();
    rig.Queue({kThree[0], kThree[1]});
    rig.run.SendTick();
    rig.Advance(kSilenceLimitMs + 1);
    rig.run.TimeoutTick();
    EXPECT_EQ(rig.events.Count("ended"), 0);  // AT is still queued
    rig.run.SendTick();
    EXPECT_EQ(rig.events.events.back(), "ended failed");
  }
  {
    SCOPED_TRACE("refused: nothing written");
    RunRig rig;
    rig.run.Refused();
    EXPECT_EQ(rig.events.events, std::vector<std::string>{"ended refused"});
    EXPECT_EQ(rig.run.LastSet(), SetResult::Refused);
    EXPECT_TRUE(rig.link.writes.empty());
  }
  {
    SCOPED_TRACE("the port closed mid-Set: interrupted, and every observer told");
    RunRig rig;
    EventLog second;
    rig.run.Attach(second);
    rig.run.Attach(second);  // attached once
    rig.Start();
    rig.Queue(kThree);
    rig.run.SendTick();
    rig.run.PortClosed();
    EXPECT_EQ(rig.events.events.back(), "ended interrupted");
    EXPECT_EQ(second.events, (std::vector<std::string>{"started SN1", "sent 2 APN awaited left 2", "ended interrupted"}));
    EXPECT_EQ(rig.queue.count, 0);
    rig.run.Detach(second);
    rig.run.Refused();
    EXPECT_EQ(second.Count("ended"), 1);
  }
}

TEST(TorvikSetRun, AReceiverTypeIsFoundByItsNameAmongThoseOffered) {
  RunRig rig;
  ReceiverTypeTable table{};
  table[0].name = "82";
  table[1].name = "X7";
  table[2].name = "X7";
  rig.run.SetReceiverTypes(std::span<const ReceiverType>(table.data(), 3));
  EXPECT_EQ(rig.run.FindReceiverType("82"), 0);
  EXPECT_EQ(rig.run.FindReceiverType("X7"), 2);  // the last of that name, as the front-end always took
  EXPECT_EQ(rig.run.FindReceiverType("X"), -1);
  EXPECT_EQ(rig.run.FindReceiverType(""), -1);  // rows past those read are not offered
}

}  // namespace
