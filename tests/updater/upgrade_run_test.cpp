// The upgrade run on its own: a fake window, clock and line, no host. The
// loader's answers are real reply frames fed to the run's parser.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "loader_frames.h"
#include "updater/resources/brevan_strings.h"
#include "updater/upgrade/upgrade_run.h"

using loaderframes::Feed;
using loaderframes::Join;
using loaderframes::Reply;

namespace {

std::string Text(int id) {
  fw::MessageLines lines;
  fw::LoadMessage(brevan::BrevanStrings(), fw::UiLanguage::English, id, lines);
  return lines[0];
}

struct FakeView final : brevan::IUpgradeView {
  std::string log;
  std::string shown;
  std::vector<int> bar;
  std::vector<std::string> boxes;
  std::string software;
  int wakes = 0;

  void AppendStatus(std::string_view line) override { log += std::string(line) + "\r\n"; }
  void RestartStatus(std::string_view line) override { log = std::string(line) + "\r\n"; }
  void ShowStatusLine() override { shown = log; }
  void ShowStatusWith(std::string_view extra) override { shown = log + std::string(extra); }
  void ShowStatusInstead(std::string_view text) override { shown = text; }
  void BarPos(int pos) override { bar.push_back(pos); }
  void BarStep() override { bar.back() += 10; }
  void BarText(std::string_view) override {}
  void ExchangeData(bool) override {}
  void ShowReplyTexts(std::string, std::string softwareVersion, std::string) override { software = softwareVersion; }
  std::string SoftwareVersionShown() const override { return software; }
  void ShowMessageBox(std::string_view text) override { boxes.emplace_back(text); }
  void WakeOnAcknowledgement() override { ++wakes; }
};

struct FakeClock final : brevan::IUpgradeClock {
  std::uint32_t now = 1000;
  bool ticking = false;
  std::uint32_t Now() override { return now; }
  void Pause(unsigned ms) override { now += ms; }
  void StartTicks(unsigned ms) override { ticking = ms == brevan::CUpgradeRun::kTickMs; }
  void StopTicks() override { ticking = false; }
};

struct SentPage {
  int address;
  bool oneWrite;
  std::uint8_t first;
};

struct FakeLink final : brevan::IUpgradeLink {
  brevan::CUpgradeReplies replies;
  serial::LineTally tally;
  serial::OpenError error;
  bool opens = true;
  bool open = false;
  std::vector<SentPage> pages;

  brevan::CUpgradeReplies& Replies() override { return replies; }
  const serial::LineTally& RxTally() const override { return tally; }
  const serial::OpenError& LastOpenError() const override { return error; }
  bool Open(const CommSettings&) override {
    replies.ResetForOpen();
    tally.Reset();
    open = opens;
    return opens;
  }
  void Close() override { open = false; }
  void ApplySettings(const CommSettings&) override {}
  void SetBreak() override {}
  void ClearBreak() override {}
  void WriteBytes(const std::uint8_t*, int) override {}
  void WriteByte(int) override {}
  void SendCommandPacket(std::uint8_t, std::string_view) override {}
  std::function<void()> afterBlock;  // the far end, answering while the tick that sent the frame still runs
  void SendBlockPacket(const std::uint8_t* page, int address) override {
    pages.push_back({address, false, page[0]});
    if (afterBlock) afterBlock();
  }
  void WriteBlockPacket(const std::uint8_t* page, int address) override { pages.push_back({address, true, page[0]}); }
};

// What the observers are told, as one line per event.
struct Events final : brevan::IUpgradeObserver {
  std::vector<std::string> seen;
  brevan::UpgradeSummary ended;
  void OnStarted() override { seen.push_back("started"); }
  void OnCountdown(int s) override { seen.push_back("countdown " + std::to_string(s)); }
  void OnCountdownEnd(bool other) override { seen.push_back(other ? "countdown end, other module" : "countdown end"); }
  void OnModuleNamed(int slot, std::string_view name) override {
    seen.push_back("module " + std::to_string(slot) + " " + std::string(name));
  }
  void OnRetry(int offset, int retries) override {
    seen.push_back("retry " + std::to_string(offset) + " " + std::to_string(retries));
  }
  void OnPageSent(const brevan::PageSentFacts& p) override {
    seen.push_back("page " + std::to_string(p.page) + " sending " + std::to_string(p.sending));
  }
  void OnEnded(const brevan::UpgradeSummary& s) override {
    seen.push_back("ended");
    ended = s;
  }
  int Count(std::string_view prefix) const {
    int n = 0;
    for (const std::string& e : seen) n += e.starts_with(prefix);
    return n;
  }
};

constexpr int kPages = 3;

struct RunRig {
  FakeView view;
  FakeClock clock;
  FakeLink link;
  Events events;
  std::unique_ptr<brevan::CImageBank> bank = std::make_unique<brevan::CImageBank>();  // 640 KiB
  std::unique_ptr<brevan::CUpgradeRun> run;

  explicit RunRig(brevan::PagePacing pacing = brevan::PagePacing::Tick) {
    bank->m_nLoadMode = 10;
    for (std::size_t k = 0; k < brevan::kModuleCount; ++k) {
      bank->m_nImageLength[k] = kPages * 128;
      bank->m_strImageVersion[k] = "5";
      for (int page = 0; page < kPages; ++page) bank->m_imageBank[k][static_cast<std::size_t>(page * 128)] = static_cast<std::uint8_t>(0x40 + page);
    }
    run = std::make_unique<brevan::CUpgradeRun>(fw::UiLanguage::English, view, clock, link, *bank);
    run->SetPagePacing(pacing);
    run->AddObserver(events);
  }
  void Start() { run->Start("COM1", "9600"); }
  void Tick(int n = 1) {
    for (int i = 0; i < n && clock.ticking; ++i) {
      clock.now += brevan::CUpgradeRun::kTickMs;
      run->OnTick();
    }
  }
  void Hear(const loaderframes::Bytes& bytes) {
    link.tally.Add(bytes);
    Feed(link.replies, bytes);
  }
  // The identification answer of a board with that module.
  void Identify(std::string_view module) {
    Hear(Join({Reply('-', module), Reply('.', "SN01"), Reply('/', "3")}));
  }
  // As the window does with each posted wake.
  void DeliverWakes() {
    for (; view.wakes > 0; --view.wakes) run->OnPageAcknowledged();
  }
};

}  // namespace

TEST(UpgradeRun, APageUnansweredGoesAgainAfter61TicksAndTheSixthRetryEndsTheRun) {
  RunRig r;
  r.Start();
  ASSERT_TRUE(r.clock.ticking);
  r.Identify("GTM900-2");
  r.Tick();  // the answer that ended probing starts the writing
  ASSERT_EQ(r.link.pages.size(), 1u);
  EXPECT_EQ(r.link.pages[0].address, 0x2000);
  EXPECT_FALSE(r.link.pages[0].oneWrite);

  r.Tick(60);
  EXPECT_EQ(r.link.pages.size(), 1u) << "60 quiet ticks are still the wait";
  r.Tick();
  ASSERT_EQ(r.link.pages.size(), 2u) << "the 61st sends the page again";
  EXPECT_EQ(r.link.pages[1].address, 0x2000);

  // An acknowledgement takes the next page and the count starts afresh.
  r.Hear(Reply('1', ""));
  r.Tick();
  ASSERT_EQ(r.link.pages.size(), 3u);
  EXPECT_EQ(r.link.pages[2].address, 0x2080);
  EXPECT_EQ(r.link.pages[2].first, 0x41);
  r.Tick(60);
  EXPECT_EQ(r.link.pages.size(), 3u);

  r.Tick(1 + 61 * 5);
  EXPECT_EQ(r.link.pages.size(), 3u + 6u);
  EXPECT_EQ(r.run->Pages().sendings, 7);
  EXPECT_TRUE(r.run->UpgradeRunning()) << "six retries are allowed";
  r.Tick();
  EXPECT_EQ(r.run->Outcome(), brevan::UpgradeOutcome::TimedOut) << "the tick after the sixth retry ends it";
  EXPECT_EQ(r.link.pages.size(), 9u) << "no seventh retry";
  EXPECT_FALSE(r.clock.ticking);
  EXPECT_FALSE(r.link.open);
  EXPECT_TRUE(r.view.log.ends_with(Text(brevan::IDS_OVERTIME) + "\r\n"));

  EXPECT_EQ(r.events.Count("retry 0 "), 1);
  EXPECT_EQ(r.events.Count("retry 128 "), 6);
  EXPECT_EQ(r.events.Count("page 2 sending "), 7);
  EXPECT_EQ(r.events.seen.back(), "ended");
  EXPECT_EQ(r.events.ended.outcome, brevan::UpgradeOutcome::TimedOut);
  EXPECT_EQ(r.events.ended.pages.offset, 128);
  EXPECT_EQ(r.events.ended.acksHeard, 2) << "the closing '/' and one '1'";
}

TEST(UpgradeRun, TheCountdownEndsTheProbingAfter16SecondsAsATimeOutOrAsWrongFirmware) {
  {
    RunRig silent;
    silent.Start();
    silent.Tick(600);
    EXPECT_TRUE(silent.run->UpgradeRunning()) << "the last second has not begun";
    EXPECT_EQ(silent.run->m_nCountdown, 1);
    silent.Tick();
    EXPECT_EQ(silent.run->Outcome(), brevan::UpgradeOutcome::TimedOut);
    EXPECT_EQ(silent.run->m_nProbeTicks, 601);
    EXPECT_EQ(silent.run->m_nCountdown, 0);
    EXPECT_EQ(silent.view.shown, Text(brevan::IDS_OVERTIME) + "\r\n");
    EXPECT_EQ(silent.view.bar.back(), 10) << "set to 0, then stepped";
    EXPECT_FALSE(silent.clock.ticking);
    EXPECT_FALSE(silent.link.open);
    EXPECT_EQ(silent.events.Count("countdown "), 16 + 1);
    EXPECT_EQ(silent.events.seen[1], "countdown 15");
    EXPECT_EQ(silent.events.seen[silent.events.seen.size() - 3], "countdown 0");
    EXPECT_EQ(silent.events.seen[silent.events.seen.size() - 2], "countdown end");
    EXPECT_EQ(silent.events.ended.pages.offset, -1);
    EXPECT_TRUE(silent.link.pages.empty());
  }
  {
    // A name the bank has no slot for keeps probing; at the end it is wrong firmware, not silence.
    RunRig other;
    other.Start();
    other.Hear(Reply('-', "XYZ-1"));
    other.Tick(601);
    EXPECT_EQ(other.run->Outcome(), brevan::UpgradeOutcome::WrongFirmware);
    EXPECT_EQ(other.events.Count("countdown end, other module"), 1);
    EXPECT_TRUE(other.events.ended.otherModuleNamed);
    EXPECT_EQ(other.events.ended.moduleName, "XYZ-1");
    EXPECT_TRUE(other.view.log.ends_with(Text(brevan::IDS_WRONG_FIRMWARE) + "\r\n"));
    EXPECT_TRUE(other.link.pages.empty());
  }
  {
    // A refusal ends the run on the next tick.
    RunRig refused;
    refused.Start();
    refused.Hear(Reply('+', ""));
    refused.Tick();
    EXPECT_EQ(refused.run->Outcome(), brevan::UpgradeOutcome::Refused);
    EXPECT_TRUE(refused.view.log.ends_with(Text(brevan::IDS_REFUSED) + "\r\n"));
  }
}

TEST(UpgradeRun, EachSlotIsWrittenToItsLoadAddressAndCompletes) {
  for (int slot = 0; slot < brevan::kModuleCount; ++slot) {
    const brevan::ModuleSlot& row = brevan::kModuleSlots[static_cast<std::size_t>(slot)];
    const std::string reply = std::string(row.replyName) + (row.match == brevan::NameMatch::Prefix ? "X1" : "");
    RunRig r;
    r.Start();
    r.Identify(reply);
    r.Tick();
    for (int page = 1; page <= kPages; ++page) {
      r.Hear(Reply('1', ""));
      r.Tick();
    }
    ASSERT_EQ(r.run->Outcome(), brevan::UpgradeOutcome::Completed) << reply;
    const int base = slot <= 3 ? 0x2000 : 0x4000;  // the rule the table must hold, written out once here
    ASSERT_EQ(r.link.pages.size(), static_cast<std::size_t>(kPages)) << reply;
    for (int page = 0; page < kPages; ++page) {
      EXPECT_EQ(r.link.pages[static_cast<std::size_t>(page)].address, base + page * 128) << reply;
      EXPECT_EQ(r.link.pages[static_cast<std::size_t>(page)].first, 0x40 + page) << reply;
    }
    EXPECT_EQ(brevan::LoadAddress(slot), static_cast<std::uint32_t>(base));
    EXPECT_EQ(r.events.Count("module " + std::to_string(slot) + " " + reply), 1);
    const brevan::UpgradeSummary& s = r.events.ended;
    EXPECT_EQ(s.pages.slot, slot);
    EXPECT_EQ(s.pageCount, kPages);
    EXPECT_EQ(s.pageOffset, 0) << "the completion leaves the offset at 0";
    EXPECT_EQ(s.pages.pagesResent, 0);
    EXPECT_EQ(s.serialNo, "SN01");
    EXPECT_EQ(r.link.replies.m_bProbing.load(), 1);
    EXPECT_TRUE(r.view.log.ends_with(Text(brevan::IDS_UPDATED) + "\r\n"));
    EXPECT_TRUE(r.view.boxes.empty()) << "the board's version 3 is older than the image's 5";
  }
}

TEST(UpgradeRun, AckPacingStepsOnEachAcknowledgementButNotOnOneFasterThanTheWire) {
  RunRig r(brevan::PagePacing::Ack);
  r.Start();
  r.Identify("CC864.DUAL");
  EXPECT_EQ(r.view.wakes, 1) << "the closing '/' woke the window";
  r.DeliverWakes();
  ASSERT_EQ(r.link.pages.size(), 1u);
  EXPECT_TRUE(r.link.pages[0].oneWrite);
  EXPECT_EQ(r.link.pages[0].address, 0x4000);

  // 22 ms after the frame's write: no answer to it can have come yet.
  r.clock.now += 22;
  r.Hear(Reply('1', ""));
  r.DeliverWakes();
  EXPECT_EQ(r.link.pages.size(), 1u);
  // A tick between acknowledgements steps nothing: the flag was taken.
  r.Tick();
  EXPECT_EQ(r.link.pages.size(), 1u);

  r.clock.now += 23;
  r.Hear(Reply('1', ""));
  r.DeliverWakes();
  ASSERT_EQ(r.link.pages.size(), 2u);
  EXPECT_EQ(r.link.pages[1].address, 0x4080);

  // The wait is wall time: 1,525 ms after the last step, the page goes again.
  const std::uint32_t stepped = r.clock.now;
  r.clock.now = stepped + 1500;
  r.run->OnTick();
  EXPECT_EQ(r.link.pages.size(), 2u);
  r.clock.now = stepped + 1525;
  r.run->OnTick();
  ASSERT_EQ(r.link.pages.size(), 3u);
  EXPECT_EQ(r.link.pages[2].address, 0x4080);

  r.clock.now += 30;
  r.Hear(Reply('1', ""));
  r.DeliverWakes();
  r.clock.now += 30;
  r.Hear(Reply('1', ""));
  r.DeliverWakes();
  EXPECT_EQ(r.run->Outcome(), brevan::UpgradeOutcome::Completed);
  // A wake posted before the end steps nothing.
  r.clock.now += 30;
  r.Hear(Reply('1', ""));
  r.DeliverWakes();
  EXPECT_EQ(r.link.pages.size(), 4u);
  EXPECT_EQ(r.events.ended.pages.pagesResent, 1);
}

// Tick pacing clears the flag at the end of every tick: an acknowledgement
// that comes while the tick that sent its page still runs is lost, and the
// page goes again after the wait. The summary counts it, so that such a
// repeat is told from one the line caused; one heard between ticks is not.
TEST(UpgradeRun, AnAcknowledgementDuringTheSendingTickIsLostAndCounted) {
  RunRig r;
  r.Start();
  r.Identify("GTM900-2");
  bool answerAtOnce = true;
  r.link.afterBlock = [&] {
    if (std::exchange(answerAtOnce, false)) r.Hear(Reply('1', ""));
  };
  r.Tick();
  ASSERT_EQ(r.link.pages.size(), 1u);
  r.Tick(60);
  EXPECT_EQ(r.link.pages.size(), 1u) << "the acknowledgement went with the tick it came in";
  r.Tick();
  ASSERT_EQ(r.link.pages.size(), 2u);
  EXPECT_EQ(r.link.pages[1].address, 0x2000);
  for (int page = 1; page <= kPages; ++page) {
    r.Hear(Reply('1', ""));
    r.Tick();
  }
  ASSERT_EQ(r.run->Outcome(), brevan::UpgradeOutcome::Completed);
  EXPECT_EQ(r.events.ended.pages.pagesResent, 1);
  EXPECT_EQ(r.events.ended.pages.acksLostInTick, 1);
  EXPECT_EQ(r.events.ended.acksHeard, 2 + kPages) << "the answer that ended probing, the lost one, one per page";
}

TEST(UpgradeRun, APortThatDoesNotOpenEndsTheRunAtOnceAndEveryObserverIsTold) {
  RunRig r;
  Events second, removed;
  r.run->AddObserver(second);
  r.run->AddObserver(second);  // once is enough
  r.run->AddObserver(removed);
  r.run->RemoveObserver(removed);
  r.link.opens = false;
  r.link.error.path = "/dev/ttyS9";
  r.Start();
  EXPECT_EQ(second.seen, r.events.seen);
  EXPECT_TRUE(removed.seen.empty());
  EXPECT_EQ(r.run->Outcome(), brevan::UpgradeOutcome::PortFailed);
  EXPECT_FALSE(r.clock.ticking);
  EXPECT_EQ(r.view.shown, Text(brevan::IDS_PORT_WRONG) + "\r\n");
  EXPECT_EQ(r.events.seen, (std::vector<std::string>{"started", "ended"}));
  EXPECT_EQ(r.events.ended.openError.path, "/dev/ttyS9");
  EXPECT_EQ(r.events.ended.baud, "9600");
}
