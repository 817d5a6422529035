// The receiver's command interpreter and rate, the direct link with the
// board's settings and the module's AT commands, test traffic, the report.
#include <gtest/gtest.h>

#include "tests/simulator/json_check.h"
#include "tests/simulator/virtual_pc.h"

namespace {

using simtest::CVirtualPc;

std::string Text(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

const std::vector<std::uint8_t> kDirectLinkFrame = {0x24, 0x35, 0xCA, 0x02, 0x00, 0x01, 0x01, 0xD9};

TEST(Receiver, PortRateFollowsComAndIgnoresBadRates) {
  CVirtualPc pc({});
  pc.Send("KAVEL,COM,115200,9600,\r\n");
  pc.Send("KAVEL,DIRECT,ON\r\n");  // still at 9600: garbled
  pc.Run(1000);
  EXPECT_EQ(pc.model.DeviceRate(), 115200U);
  EXPECT_FALSE(pc.model.GetReport().directLinkOpen);
  pc.rate = 115200;
  pc.Send("KAVEL,COM,0,9600,\r\nKAVEL,COM,fast,\r\nKAVEL,COM,99999999999,\r\nKAVEL,COM,38400,115200,SAVE\r\n");
  EXPECT_TRUE(pc.Run(100000).empty()) << "no reply while the direct link is closed";
  EXPECT_EQ(pc.model.GetReport().receiverRates, (std::vector<std::uint32_t>{9600, 115200, 38400}));
  EXPECT_EQ(pc.model.GetReport().commands.back().rate, 115200U) << "logged at the rate it arrived at";

  // The configurator's broadcast, twice at each of five rates, reaches a receiver at any of them.
  for (const std::uint32_t start : {9600U, 19200U, 38400U, 57600U, 115200U}) {
    sim::ModelOptions o;
    o.receiverRate = start;
    CVirtualPc other(o);
    for (const std::uint32_t r : {57600U, 115200U, 38400U, 19200U, 9600U}) {
      other.rate = r;
      other.Send("KAVEL,COM,19200,9600,\r\nKAVEL,COM,19200,9600,\r\n");
      other.Run(400000);
    }
    EXPECT_EQ(other.model.DeviceRate(), 19200U) << start;
  }
}

TEST(Receiver, SettingsAreAcknowledgedOnlyWhileTheDirectLinkIsOpen) {
  CVirtualPc pc({});
  pc.Send("KAVEL,APN,cmnet,u,p,\r\nAT+IPR=115200\r\n");
  EXPECT_TRUE(pc.Run(100000).empty());
  std::vector<std::uint8_t> frameThenLine = kDirectLinkFrame;
  const std::string_view line = "KAVEL,APN,cmnet,u,p,\r\n";
  frameThenLine.insert(frameThenLine.end(), line.begin(), line.end());
  pc.Send(frameThenLine);
  EXPECT_EQ(Text(pc.Run(100000)), "KAVEL,APN,OK\r\n");
  pc.Send("KAVEL,GGA,\"$GPGGA,1,2\",\n");  // LF alone ends a line; '$' in text starts no frame
  pc.Send("KAVEL,APN,,a,b,\r\nKAVEL,NO.,,\r\nKAVEL,MODEGPRS\r\nKAVEL,COM,9600,115200,SAVE\r\n");
  EXPECT_EQ(Text(pc.Run(100000)), "KAVEL,GGA,OK\r\nKAVEL,APN,OK\r\nKAVEL,NO.,OK\r\nKAVEL,MODEGPRS,OK\r\nKAVEL,COM,OK\r\n");
  pc.Send("KAVEL,DIRECT,ON\r\nAT+IPR=115200\r\nATE0\r\n");
  EXPECT_EQ(Text(pc.Run(100000)), "\r\nOK\r\n\r\nOK\r\n") << "the module answers, the receiver does not";
  pc.Send("KAVEL,DIRECT,OFF\r\nKAVEL,USEDNS,ON\r\nATE1\r\n");
  EXPECT_TRUE(pc.Run(100000).empty());

  const auto& r = pc.model.GetReport();
  EXPECT_EQ(r.settings.at("APN"), "KAVEL,APN,,a,b,") << "the last one wins";
  EXPECT_EQ(r.settings.at("GGA"), "KAVEL,GGA,\"$GPGGA,1,2\",");
  EXPECT_EQ(r.settings.count("USEDNS"), 0U);
  EXPECT_EQ(r.settingsLog.size(), 5U);
  EXPECT_EQ(r.atCommands, (std::vector<std::string>{"AT+IPR=115200", "ATE0"}));
  EXPECT_EQ(r.moduleRate, 115200U);
  EXPECT_FALSE(r.moduleEcho);
  ASSERT_EQ(r.directLink.size(), 2U) << "DIRECT,ON on an open link changes nothing";
  EXPECT_EQ(r.directLink[0].cause, "direct-link frame");
  EXPECT_FALSE(r.directLink[1].open);
}

TEST(TestTraffic, BurstPatternAndEcho) {
  sim::ModelOptions o;
  o.burstBytes = 70000;
  o.wireTiming = true;
  o.receiverRate = 921600;
  CVirtualPc pc(o, 921600);
  pc.Send("KAVEL,BURST,\r\n");
  const auto burst = pc.Run(1'000'000);
  ASSERT_EQ(burst.size(), 70000U);
  for (std::size_t i = 0; i < burst.size(); ++i) ASSERT_EQ(burst[i], sim::BurstByte(i)) << i;
  pc.Send("KAVEL,BURST,5,\r\n");
  EXPECT_EQ(pc.Run(100000).size(), 5U);

  sim::ModelOptions e;
  e.echo = true;
  CVirtualPc echo(e);
  const std::string data("\x00\xFF\x24\x0DKAVEL,SOFTWARE,\r\n", 21);
  echo.Send(data);
  EXPECT_EQ(Text(echo.Run(100000)), data);
  EXPECT_FALSE(echo.model.GetReport().upgradeStarted) << "echo interprets nothing";
}

TEST(Report, JsonRecordsWhatHappened) {
  CVirtualPc pc({});
  pc.Send(kDirectLinkFrame);
  pc.Send("KAVEL,USER,x:\"y\\z\xB0\x01,\r\n");
  pc.Send("KAVEL,SOFTWARE,\r\n");
  pc.rate = 57600;
  pc.Send(simtest::PageFrame(0x4000, 7));
  pc.Run(100000);
  const std::string json = pc.model.ReportJson();
  ASSERT_TRUE(simtest::CJsonCheck::Valid(json)) << json;
  for (const char* part : {R"("settings":{"USER":"KAVEL,USER,x:\"y\\z\u00b0\u0001,"})",
                           R"({"atUs":5000000,"rate":9600,"kind":"frame","text":"24 35 CA 02 00 01 01 D9"})",
                           R"("directLink":[{"atUs":5000000,"open":true,"cause":"direct-link frame"}])",
                           R"("pcRates":[9600,57600])", R"("upgradeStarted":true)", R"("pagesReceived":1)",
                           R"("pageWrites":[{"address":16384,"count":1}])", R"("acksSent":1)", R"("repliesSent":{"1":1})"}) {
    EXPECT_NE(json.find(part), std::string::npos) << part << "\n" << json;
  }
  EXPECT_FALSE(simtest::CJsonCheck::Valid(json.substr(0, json.size() - 1)));
}

}  // namespace
