// The configurator's sending on the headless host and the virtual clock: the
// queue, the rate broadcast, pacing, acknowledgements, time-outs and the log.
#include <gtest/gtest.h>

#include <algorithm>

#include "torvik_dialog_harness.h"

using namespace torviktest;

namespace {

const std::string kFrame("\x24\x35\xCA\x02\x00\x01\x01\xD9", 8);

std::vector<std::string> Heads(const std::vector<std::string>& items) {
  std::vector<std::string> heads;
  for (const std::string& item : items) heads.push_back(item == kFrame ? "FRAME" : item.substr(0, item.find("\r\n")));
  return heads;
}

TEST(TorvikSend, QueueFollowsModeApnKindAndDirectLink) {
  struct Case {
    int modeId, apnId;
    bool direct;
    std::vector<std::string> head;  // the queue's first items
    std::size_t size;
  };
  const Case cases[] = {
      {IDC_CHECK_HERON, IDC_CHECK_MOBILE_APN, true, {"KAVEL,CLOSE,", "KAVEL,DIRECT,ON", "KAVEL,APN,cmnet,,,"}, 22},
      {IDC_CHECK_HERON, IDC_CHECK_MOBILE_APN, false, {"FRAME", "KAVEL,CLOSE,", "KAVEL,DIRECT,ON", "KAVEL,APN,cmnet,,,"}, 23},
      {IDC_CHECK_VRS, IDC_CHECK_MOBILE_APN, true, {"KAVEL,CLOSE,", "KAVEL,DIRECT,ON", "KAVEL,APN,cmnet,,,",
                                                   "KAVEL,IPSET,198.51.100.20,6060,RTCM30,"}, 20},
      {IDC_CHECK_NTRIP, IDC_CHECK_CDMA, true, {"KAVEL,CLOSE,", "KAVEL,DIRECT,ON", "KAVEL,APN,,vnet,vnet,"}, 20},
      {IDC_CHECK_GSM, IDC_CHECK_CUSTOM_APN, false, {"FRAME", "KAVEL,CLOSE,", "KAVEL,DIRECT,ON", "KAVEL,APN,,,,"}, 23},
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.Start();
    rig.host.Click(c.modeId);
    rig.host.Click(c.apnId);
    if (!c.direct) rig.host.Click(IDC_CHECK_DIRECT);
    rig.OpenPort();
    const std::size_t opening = static_cast<std::size_t>(rig.queue.count);  // the link preparation, gone out
    rig.host.Click(IDC_BUTTON_SET);
    std::vector<std::string> heads = Heads(rig.Queued());
    heads.erase(heads.begin(), heads.begin() + static_cast<std::ptrdiff_t>(std::min(opening, heads.size())));
    ASSERT_EQ(heads.size(), c.size) << c.modeId << " " << c.apnId;
    for (std::size_t i = 0; i < c.head.size(); ++i) EXPECT_EQ(heads[i], c.head[i]) << c.modeId << " " << c.apnId;
    EXPECT_EQ(heads.back(), "KAVEL,DIRECT,OFF");
  }
}

TEST(TorvikSend, RateBroadcastGoesOutAtOnceAtFiveRatesEndingAtTheTypesRate) {
  Rig rig;
  rig.Start();
  rig.OpenPort();
  rig.host.SelectItem(IDC_COMBO_TYPE, 1);  // X7 at 115200
  const std::uint64_t set = rig.NowMs();
  rig.host.Click(IDC_BUTTON_SET);
  // The handler has returned: the broadcast is on the wire, nothing queued has gone.
  EXPECT_EQ(rig.NowMs() - set, 4400u);
  ASSERT_EQ(rig.writes.size(), 10u);
  const std::uint32_t rates[] = {57600, 115200, 38400, 19200, 9600};
  for (std::size_t i = 0; i < 10; ++i) {
    EXPECT_EQ(rig.writes[i].bytes, "KAVEL,COM,115200,9600,\r\n");
    EXPECT_EQ(rig.writes[i].rate, rates[i / 2]);
    EXPECT_EQ(rig.writes[i].atMs - set, 400 + (i / 2) * 800) << i;  // 400 ms after each rate change
  }
  EXPECT_EQ(rig.port->Inner().CurrentRate(), 115200u);
  rig.RunUntilIdle();
  for (std::size_t i = 10; i < rig.writes.size(); ++i) EXPECT_EQ(rig.writes[i].rate, 115200u);
  // The receiver switched with the broadcast and took every command at its new rate.
  EXPECT_EQ(rig.Model().GetReport().receiverRates.back(), 115200u);
  EXPECT_EQ(rig.Model().GetReport().savedRate, 115200u);
}

TEST(TorvikSend, ItemsWithoutReplyArePacedOnePerTickPlus400Ms) {
  Rig rig;
  rig.Start();
  rig.host.Click(IDC_CHECK_DIRECT);  // off: the port's preparation is three items without reply
  rig.host.Click(IDC_BUTTON_PORT);
  const int ms = rig.RunUntilIdle();
  EXPECT_GE(ms, 1250);
  EXPECT_LE(ms, 1350);
  EXPECT_EQ(rig.Log(), (std::vector<std::string>{"打开直连GPRS..", "KAVEL,CLOSE", "KAVEL,DIRECT,ON"}));
  rig.Run(60);
  EXPECT_EQ(rig.queue.count, 0);  // the next tick emptied it
  EXPECT_TRUE(rig.Model().GetReport().directLinkOpen);
}

TEST(TorvikSend, EveryAwaitedItemIsAcknowledgedAlsoWhenRepliesComeByteByByte) {
  for (sim::Split split : {sim::Split::None, sim::Split::Bytes, sim::Split::Random}) {
    sim::ModelOptions options;
    options.split = split;
    options.receiverRate = 19200;  // not the type's: the broadcast brings it there
    options.ackDelayMs = 30;
    Rig rig(options);
    rig.Start();
    rig.OpenPort();
    rig.host.Click(IDC_BUTTON_SET);
    rig.RunUntilIdle();
    const std::vector<std::string> log = rig.LogSinceSet();
    ASSERT_EQ(log.size(), 22u);
    EXPECT_EQ(log[2], "设置APN VPN....OK....");
    EXPECT_EQ(log[13], "....OK....");  // an empty label gets its acknowledgement too
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string& l) { return l.ends_with("....OK...."); }), 17);
    EXPECT_EQ(std::count(log.begin(), log.end(), "超时错误"), 0);
    const sim::Report& report = rig.Model().GetReport();
    EXPECT_EQ(report.settingsLog.size(), 16u);
    EXPECT_EQ(report.serialNumber, "26120801");
  }
}

TEST(TorvikSend, SilenceEndsAWaitBetween3And4Seconds) {
  sim::ModelOptions options;
  options.noAck = {"APN", "SETGPRS"};
  Rig rig(options);
  rig.Start();
  rig.OpenPort();
  rig.host.Click(IDC_BUTTON_SET);
  rig.RunUntilIdle();
  const std::vector<std::string> log = rig.LogSinceSet();
  ASSERT_GE(log.size(), 7u);
  EXPECT_EQ(log[2], "设置APN VPN");
  EXPECT_EQ(log[3], "超时错误");
  EXPECT_EQ(log[4], "设置本机机号");
  EXPECT_EQ(log[5], "超时错误");
  EXPECT_EQ(log[6], "设置本机电话号码....OK....");  // the sequence goes on
  const auto at = [&rig](std::string_view head) {
    for (const Write& w : rig.writes)
      if (w.bytes.starts_with(head)) return w.atMs;
    return std::uint64_t{0};
  };
  const std::uint64_t waited = at("KAVEL,SETGPRS") - at("KAVEL,APN");
  EXPECT_GT(waited, 3000u);
  EXPECT_LE(waited, 4050u);
}

TEST(TorvikSend, AReceiverThatKeepsTalkingEndsAWaitTenSecondsAfterTheWrite) {
  sim::ModelOptions options;
  options.noAck = {"APN"};
  options.babbleMs = 200;
  Rig rig(options);
  rig.Start();
  rig.OpenPort();
  rig.host.Click(IDC_BUTTON_SET);
  rig.RunUntilIdle(60000);
  std::uint64_t apn = 0, next = 0;
  for (const Write& w : rig.writes) {
    if (w.bytes.starts_with("KAVEL,APN")) apn = w.atMs;
    if (w.bytes.starts_with("KAVEL,SETGPRS")) next = w.atMs;
  }
  EXPECT_GT(next - apn, 10000u);
  EXPECT_LE(next - apn, 11050u);
  EXPECT_EQ(rig.LogSinceSet()[3], "超时错误");
  EXPECT_GT(rig.Model().GetReport().babbleLines, 100u);
}

TEST(TorvikSend, AnAcknowledgementReportedAfterItsWaitTimedOutDoesNotEndTheNextOne) {
  Rig rig(std::nullopt);
  // The receiver talks without end, so only the 10 s limit ends the first
  // command's wait; its answer completes just after that limit.
  rig.Scripted().script = [](const std::string& line) {
    std::vector<ScriptedFarEnd::Answer> answers;
    if (!line.starts_with("KAVEL,APN")) return answers;
    for (std::uint32_t t = 500; t < kMaxReplyWaitMs; t += 500) answers.push_back({t, "$GPGGA,1*00\r\n"});
    answers.push_back({kMaxReplyWaitMs + 1, "KAVEL,APN,OK\r\n"});
    return answers;
  };
  rig.Start();
  // While the monitor thread pauses before reporting, the UI thread goes on
  // (a pause of a whole time-out period, so that a tick surely falls in it):
  // its time-out tick ends the first wait and its send tick writes the next item.
  rig.dialog->m_link.m_pause = [&rig](unsigned) { rig.host.Advance(1000); };
  rig.host.Click(IDC_CHECK_VRS);
  rig.OpenPort();
  rig.host.Click(IDC_BUTTON_SET);
  rig.Run(12000);
  const std::vector<std::string> log = rig.LogSinceSet();
  ASSERT_GE(log.size(), 5u);
  EXPECT_EQ(log[2], "设置APN VPN");
  EXPECT_EQ(log[3], "超时错误");
  EXPECT_EQ(log[4], "设置用户名密码");  // the late acknowledgement is not credited to the next item
  EXPECT_EQ(rig.dialog->m_link.m_bWaitingReply.load(), 1);
  rig.Run(4000);
  ASSERT_GE(rig.LogSinceSet().size(), 6u);
  EXPECT_EQ(rig.LogSinceSet()[5], "超时错误");  // its own time-out, 3 to 4 s after its write
}

TEST(TorvikSend, ASecondSetIsAppendedAndItsBroadcastGoesOutBetweenTheFirstsItems) {
  sim::ModelOptions options;
  options.ackDelayMs = 100;
  Rig rig(options);
  rig.Start();
  rig.OpenPort();
  rig.host.Click(IDC_BUTTON_SET);
  rig.Run(2000);
  const int firstLeft = rig.queue.count - rig.queue.nextIndex;
  ASSERT_GT(firstLeft, 0);
  const std::size_t before = rig.writes.size();
  rig.host.Click(IDC_BUTTON_SET);
  EXPECT_EQ(rig.queue.count - rig.queue.nextIndex, firstLeft + 22);
  EXPECT_TRUE(rig.writes[before].bytes.starts_with("KAVEL,COM,9600,9600"));
  rig.RunUntilIdle();
  EXPECT_EQ(rig.Model().GetReport().settingsLog.size(), 32u);
  EXPECT_EQ(rig.Model().GetReport().serialNumber, "26120802");
}

TEST(TorvikSend, LogKeepsFiftyLinesAndCutsLongOnes) {
  Rig rig;
  rig.Start();
  auto send = [&rig](const std::string& text, std::intptr_t mode) {
    rig.host.SendMessage(WM_LOGLINE, reinterpret_cast<std::uintptr_t>(text.c_str()), mode);
  };
  for (int i = 0; i < 50; ++i) send("line " + std::to_string(i), 0);
  send("....OK....", kLogAppend);
  EXPECT_EQ(rig.host.GetCount(IDC_LIST_LOG), 50);
  EXPECT_EQ(rig.Log().back(), "line 49....OK....");
  EXPECT_EQ(rig.host.GetCurSel(IDC_LIST_LOG), 49);
  send("超时错误", 0);
  EXPECT_EQ(rig.host.GetCount(IDC_LIST_LOG), 0);
  send(std::string(250, 'a'), 0);
  send("....OK....", kLogAppend);
  EXPECT_EQ(rig.Log().back().size(), kLogLineMax);
  send("....OK....", kLogAppend);  // onto a full line: still one line, still cut
  EXPECT_EQ(rig.Log(), std::vector<std::string>{std::string(250, 'a') + "....O"});
}

TEST(TorvikSend, BabbleNeitherAcknowledgesNorHidesALaterAcknowledgement) {
  Rig rig;
  rig.Start();
  rig.OpenPort();
  const std::string babble = "$GPGGA,000000.00,0000.0000,N,00000.0000,E,1,08,1.0,0.0,M,0.0,M,,*00\r\n";
  for (int i = 0; i < 20000; ++i) rig.dialog->m_link.OnDataReceived(reinterpret_cast<const std::uint8_t*>(babble.data()),
                                                                   static_cast<int>(babble.size()));
  // Nothing acknowledged; a real acknowledgement still counts.
  EXPECT_EQ(rig.Log().back(), "KAVEL,DIRECT,ON");
  const std::string ack = "KAVEL,X,OK\r\n";
  rig.dialog->m_link.OnDataReceived(reinterpret_cast<const std::uint8_t*>(ack.data()), static_cast<int>(ack.size()));
  EXPECT_EQ(rig.Log().back(), "KAVEL,DIRECT,ON....OK....");
}

}  // namespace
