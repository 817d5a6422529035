// The configurator's side of the far end: the rate broadcast, settings and
// their acknowledgements (late, withheld), the receiver's own periodic output,
// and what the report keeps of the board's settings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "simulator/model/far_end.h"
#include "tests/simulator/json_check.h"
#include "tests/simulator/virtual_pc.h"

namespace {

using simtest::CVirtualPc;

std::string Text(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

const std::vector<std::uint8_t> kDirectLinkFrame = {0x24, 0x35, 0xCA, 0x02, 0x00, 0x01, 0x01, 0xD9};

// The configurator's rate broadcast: the command twice at each of five rates,
// 400 ms before and after, then the PC moves to the new rate.
void Broadcast(CVirtualPc& pc, std::uint32_t rate) {
  const std::string command = "KAVEL,COM," + std::to_string(rate) + ",9600,\r\n";
  for (const std::uint32_t r : {57600U, 115200U, 38400U, 19200U, 9600U}) {
    pc.rate = r;
    pc.Run(400000);
    pc.Send(command);
    pc.Send(command);
    pc.Run(400000);
  }
  pc.rate = rate;
  pc.Run(400000);
}

// Complete CR LF lines of what arrived.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end + 2 - start));
  }
  return lines;
}

bool ValidGga(const std::string& line) {
  if (line.size() != sim::kGgaSentenceSize || line.rfind("$GPGGA,", 0) != 0 || line.find('*') != line.size() - 5) return false;
  unsigned check = 0;
  for (std::size_t i = 1; i + 5 < line.size(); ++i) check ^= static_cast<unsigned char>(line[i]);
  char hex[3];
  std::snprintf(hex, sizeof hex, "%02X", check);
  return line.compare(line.size() - 4, 2, hex) == 0;
}

struct RateCase {
  bool wire;
  bool linkOpenFirst;  // the direct link was left open by an earlier Set, or is opened after the broadcast
  std::uint32_t start;
  std::uint32_t target;
};

TEST(Configurator, BroadcastSwitchesTheReceiverAndTheSavedRateIsAcknowledgedThere) {
  for (const RateCase c : {RateCase{false, false, 9600, 115200}, RateCase{true, false, 9600, 115200},
                           RateCase{false, true, 57600, 38400}, RateCase{true, true, 19200, 9600},
                           RateCase{true, false, 115200, 57600}}) {
    SCOPED_TRACE(testing::Message() << c.wire << ' ' << c.linkOpenFirst << ' ' << c.start << "->" << c.target);
    sim::ModelOptions o;
    o.wireTiming = c.wire;
    o.receiverRate = c.start;
    CVirtualPc pc(o, c.start);
    if (c.linkOpenFirst) pc.Send("KAVEL,DIRECT,ON\r\n");
    Broadcast(pc, c.target);
    EXPECT_EQ(pc.model.DeviceRate(), c.target);
    pc.Send(kDirectLinkFrame);
    pc.Send("KAVEL,CLOSE,\r\nKAVEL,DIRECT,ON\r\n");
    pc.Run(400000);
    pc.Send("KAVEL,COM," + std::to_string(c.target) + ",115200,SAVE\r\n");
    EXPECT_EQ(Text(pc.Run(3000000)), "KAVEL,COM,OK\r\n");
    EXPECT_EQ(pc.model.GetReport().savedRate, c.target);

    // A PC left at another rate is neither understood nor able to read the answer.
    pc.rate = c.target == 9600 ? 115200 : 9600;
    pc.Send("KAVEL,APN,cmnet,,,\r\n");
    EXPECT_EQ(Text(pc.Run(3000000)).find("OK\r\n"), std::string::npos);
    EXPECT_EQ(pc.model.GetReport().settings.count("APN"), 0U);
  }
}

struct DelayCase {
  bool wire;
  std::uint32_t delayMs;
  std::string_view command;
  std::string_view answer;
  bool delayed;
};

TEST(Configurator, SettingsAndComAnswerAfterTheAckDelayTheModuleAtOnce) {
  for (const DelayCase c : {DelayCase{false, 0, "KAVEL,APN,cmnet,u,p,\r\n", "KAVEL,APN,OK\r\n", true},
                            DelayCase{false, 250, "KAVEL,APN,cmnet,u,p,\r\n", "KAVEL,APN,OK\r\n", true},
                            DelayCase{true, 250, "KAVEL,SERIAL,10012607\r\n", "KAVEL,SERIAL,OK\r\n", true},
                            DelayCase{true, 3500, "KAVEL,COM,9600,115200,SAVE\r\n", "KAVEL,COM,OK\r\n", true},
                            DelayCase{false, 250, "ATE0\r\n", "\r\nOK\r\n", false}}) {
    SCOPED_TRACE(c.command);
    sim::ModelOptions o;
    o.wireTiming = c.wire;
    o.ackDelayMs = c.delayMs;
    CVirtualPc pc(o);
    pc.Send("KAVEL,DIRECT,ON\r\n");
    pc.Run(100000);
    const std::uint64_t sent = pc.now;
    pc.Send(c.command);
    // With wire timing the command up to its CR, then the answer's first byte, take 1.04 ms a byte at 9600.
    const std::uint64_t lineUs = c.wire ? c.command.size() * 1042 : 0;
    const std::uint64_t due = sent + (c.delayed ? c.delayMs * 1000ULL : 0) + lineUs;
    if (due > sent + 1000) {
      EXPECT_TRUE(pc.Run(due - 1000 - sent).empty());
    }
    const std::size_t before = pc.chunkTimes.size();
    EXPECT_EQ(Text(pc.Run(4000000)), c.answer);
    ASSERT_GT(pc.chunkTimes.size(), before);
    EXPECT_GE(pc.chunkTimes[before] + 1000, due);
    EXPECT_LE(pc.chunkTimes[before], due + 1000);
  }
}

TEST(Configurator, NoAckNamesAreStoredButNotAnswered) {
  for (const bool silent : {false, true}) {
    sim::ModelOptions o;
    o.noAck = {"APN", "SERIAL", "COM"};
    o.silent = silent;
    CVirtualPc pc(o);
    pc.Send(kDirectLinkFrame);
    pc.Send("KAVEL,APN,cmnet,u,p,\r\nKAVEL,SERIAL,10012607\r\nKAVEL,COM,9600,115200,SAVE\r\nKAVEL,USER,a:b,\r\nKAVEL,NO.,,\r\n");
    EXPECT_EQ(Text(pc.Run(1000000)), silent ? "" : "KAVEL,USER,OK\r\nKAVEL,NO.,OK\r\n");
    const sim::Report& r = pc.model.GetReport();
    const std::uint32_t acked = silent ? 0 : 1;
    EXPECT_EQ(r.settingsAcked, (std::map<std::string, std::uint32_t>{
                                   {"APN", 0}, {"COM", 0}, {"NO.", acked}, {"SERIAL", 0}, {"USER", acked}}));
    EXPECT_EQ(r.settingAcks, 2 * acked);
    EXPECT_EQ(r.settings.at("APN"), "KAVEL,APN,cmnet,u,p,");
    EXPECT_EQ(r.serialNumber, "10012607");
    EXPECT_EQ(r.savedRate, 9600U);
  }
}

// Refused settings are stored but answered with an error line that names
// KAVEL and holds no OK, after the same delay as an acknowledgement; the
// module's AT lines get a modem's answer, OK between line ends.
TEST(Configurator, ErrorReplyNamesAreStoredAndAnsweredWithAnError) {
  sim::ModelOptions o;
  o.errorReply = {"COM", "APN"};
  o.noAck = {"APN"};  // withheld wins over refused
  o.ackDelayMs = 100;
  CVirtualPc pc(o);
  pc.Send(kDirectLinkFrame);
  pc.Send("ATE0\r\n");
  EXPECT_EQ(Text(pc.Run(50000)), "\r\nOK\r\n");
  pc.Send("KAVEL,COM,9600,115200,SAVE\r\nKAVEL,APN,cmnet,u,p,\r\nKAVEL,USER,a:b,\r\n");
  EXPECT_EQ(Text(pc.Run(50000)), "");
  EXPECT_EQ(Text(pc.Run(1000000)), "KAVEL,COM,ERROR\r\nKAVEL,USER,OK\r\n");
  const sim::Report& r = pc.model.GetReport();
  EXPECT_EQ(r.savedRate, 9600U);
  EXPECT_EQ(r.settings.at("APN"), "KAVEL,APN,cmnet,u,p,");
  EXPECT_EQ(r.settingsAcked, (std::map<std::string, std::uint32_t>{{"APN", 0}, {"COM", 0}, {"USER", 1}}));
  EXPECT_EQ(r.settingAcks, 1U);
  // The receiver's own (plain) rate command is still answered by nobody.
  pc.Send("KAVEL,COM,9600,9600,\r\n");
  EXPECT_EQ(Text(pc.Run(1000000)), "");
}

class Babble : public testing::TestWithParam<bool> {};

TEST_P(Babble, GgaSentencesAtThePeriodAndThePortRateNeverAnAcknowledgement) {
  sim::ModelOptions o;
  o.wireTiming = GetParam();
  o.babbleMs = 100;
  CVirtualPc pc(o);
  pc.Run(0);
  const std::uint64_t start = pc.now;
  EXPECT_EQ(pc.model.NextEventUs(), start + 100000);
  // Commands go out halfway between two sentences, so none is on the wire at the old rate.
  auto betweenSentences = [&] { pc.Run(100000 - (pc.now - start + 50000) % 100000); };
  const auto lines = Lines(Text(pc.Run(1099000)));
  ASSERT_EQ(lines.size(), 10U);
  for (std::size_t k = 0; k < lines.size(); ++k) {
    EXPECT_TRUE(ValidGga(lines[k])) << lines[k];
    const std::string time = ",00000" + std::to_string((k + 1) / 10) + "." + std::to_string((k + 1) % 10) + "0,";
    EXPECT_EQ(lines[k].substr(6, 11), time) << "time of day since the start";
    EXPECT_EQ(lines[k].find("KAVEL"), std::string::npos);
    EXPECT_EQ(lines[k].find("OK"), std::string::npos);
  }
  if (!GetParam()) {
    for (std::size_t k = 0; k < pc.chunkTimes.size(); ++k) EXPECT_EQ(pc.chunkTimes[k], start + (k + 1) * 100000);
  }

  // At the port's new rate: garbage at the old one, sentences at the new one.
  betweenSentences();
  pc.Send("KAVEL,COM,115200,\r\n");
  const auto old = Text(pc.Run(500000));
  EXPECT_EQ(old.find("$GPGGA"), std::string::npos);
  pc.rate = 115200;
  const auto fresh = Lines(Text(pc.Run(500000)));
  ASSERT_GE(fresh.size(), 4U);
  EXPECT_TRUE(ValidGga(fresh.back()));

  // The upgrade hands the port to the loader: the receiver falls silent.
  betweenSentences();
  pc.Send("KAVEL,SOFTWARE,\r\n");
  pc.Run(5000);
  const auto lines0 = pc.model.GetReport().babbleLines;
  EXPECT_TRUE(pc.Run(1000000).empty());
  EXPECT_EQ(pc.model.GetReport().babbleLines, lines0);
  EXPECT_EQ(pc.model.NextEventUs(), UINT64_MAX);
}

TEST_P(Babble, APcThatDoesNotReadCostsBoundedMemory) {
  sim::ModelOptions o;
  o.wireTiming = GetParam();
  o.babbleMs = 10;
  sim::CDeviceModel model(o);
  const std::uint64_t start = 1'000'000;
  for (std::uint64_t t = start; t <= start + 60'000'000; t += 1'000'000) model.ReceiveFromPc({}, 9600, t);
  const sim::Report& r = model.GetReport();
  EXPECT_EQ(r.babbleLines + r.babbleLinesDropped, 6000U);
  EXPECT_LE(r.babbleLines * sim::kGgaSentenceSize, sim::kMaxBabbleBacklog + sim::kGgaSentenceSize);
  EXPECT_EQ(r.babbleBytesDropped, r.babbleLinesDropped * sim::kGgaSentenceSize);
  std::string got;
  for (const auto& chunk : model.TakeBytesForPc(start + 61'000'000, 9600)) got.append(chunk.begin(), chunk.end());
  const auto lines = Lines(got);
  EXPECT_EQ(lines.size(), r.babbleLines);
  for (const auto& line : lines) EXPECT_TRUE(ValidGga(line)) << line;

  // A jump of 30 years of clock is one step, not ten billion sentences.
  const std::uint64_t far = start + 61'000'000 + 946'080'000'000'000ULL;
  model.ReceiveFromPc({}, 9600, far);
  EXPECT_EQ(r.babbleLines + r.babbleLinesDropped, (far - start) / 10000);
  EXPECT_LE(model.TakeBytesForPc(far, 9600).size(), sim::kMaxBabbleBacklog / sim::kGgaSentenceSize + 1);
  EXPECT_EQ(model.NextEventUs(), far + 10000);
}

// Sentences longer than the period on the wire: the transmitter skips them,
// so an acknowledgement waits for one sentence at most.
TEST(Babble, ABusyTransmitterSkipsSentencesAndAcknowledgementsStillCome) {
  sim::ModelOptions o;
  o.wireTiming = true;
  o.babbleMs = 10;
  CVirtualPc pc(o);
  pc.Send("KAVEL,DIRECT,ON\r\n");
  pc.Run(1000000);
  const sim::Report& r = pc.model.GetReport();
  EXPECT_GT(r.babbleLinesDropped, 70U);
  EXPECT_LE(r.babbleLines, 14U);
  pc.Send("KAVEL,USER,a:b,\r\n");
  const std::uint64_t sent = pc.now;
  std::string got;
  while (got.find("KAVEL,USER,OK\r\n") == std::string::npos && pc.now - sent < 300000) got += Text(pc.Run(1000));
  // The command, at most one sentence in front, the acknowledgement: 1.04 ms a byte.
  EXPECT_LE(pc.now - sent, (17 + sim::kGgaSentenceSize + 15) * 1042 + 1000) << got;
}

INSTANTIATE_TEST_SUITE_P(Timing, Babble, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& p) { return p.param ? "Wire" : "Instant"; });

// A board put in its fixture: silence until it is powered on, then its
// start-up sentence, and the settings interpreter is no longer listening.
TEST(Configurator, PoweredOnAgainTheReceiverSaysSoAndClosesTheDirectLink) {
  for (const bool wire : {false, true}) {
    SCOPED_TRACE(wire);
    sim::ModelOptions o;
    o.wireTiming = wire;
    CVirtualPc pc(o);
    pc.Send("KAVEL,DIRECT,ON\r\n");
    pc.Run(100000);
    EXPECT_TRUE(pc.model.GetReport().directLinkOpen);
    EXPECT_TRUE(pc.Run(2000000).empty());
    pc.model.PowerOn(pc.now);
    EXPECT_EQ(Text(pc.Run(200000)), sim::StartUpSentence());
    EXPECT_FALSE(pc.model.GetReport().directLinkOpen);
    EXPECT_EQ(pc.model.GetReport().powerOns, 1U);
    // A setting now reaches the receiver's interpreter, not the board's.
    pc.Send("KAVEL,APN,cmnet,u,p,\r\n");
    EXPECT_TRUE(pc.Run(500000).empty());
    EXPECT_EQ(pc.model.GetReport().settings.count("APN"), 0U);
  }
}

// A whole Set with the direct link off, VRS mode and the mobile APN, as the
// configurator sends it, and the report of what the board ended with.
TEST(Configurator, ReportKeepsTheSettingsTheBoardEndedWith) {
  CVirtualPc pc({});
  Broadcast(pc, 115200);
  pc.Send(kDirectLinkFrame);
  std::string acks;
  for (const char* command :
       {"KAVEL,CLOSE,\r\n", "KAVEL,DIRECT,ON\r\n", "KAVEL,APN,cmnet,u,p,\r\n", "KAVEL,IPSET,S,2010,RTCM30,\r\n",
        "KAVEL,USER,Z00012345:demo,\r\n", "KAVEL,MODEGPRS\r\n", "KAVEL,MODEVRS\r\n", "KAVEL,LED,1,2\r\n",
        "KAVEL,OPEN,OFF,ON\r\n", "KAVEL,USEDNS,OFF\r\n", "KAVEL,DNS,,\r\n", "KAVEL,USEGGA,OFF,\r\n",
        "KAVEL,GGA,\"$GPGGA,1,2\",\r\n", "KAVEL,SERIAL,10012607\r\n", "AT+IPR=115200\r\n",
        "KAVEL,COM,115200,115200,SAVE\r\n", "ATE0\r\n", "KAVEL,NO.,,\r\n", "KAVEL,SAVECONFIG,\r\n", "KAVEL,DIRECT,OFF\r\n"}) {
    pc.Send(command);
    acks += Text(pc.Run(400000));
  }
  int oks = 0;
  for (std::size_t at = acks.find("OK\r\n"); at != std::string::npos; at = acks.find("OK\r\n", at + 1)) ++oks;
  EXPECT_EQ(oks, 17) << "15 settings answered, and the module twice";
  EXPECT_EQ(std::count(acks.begin(), acks.end(), '\n'), 19) << "the module's answers between line ends";
  const sim::Report& r = pc.model.GetReport();
  EXPECT_EQ(r.settingFields.at("APN"), (std::vector<std::string>{"cmnet", "u", "p", ""}));
  EXPECT_EQ(r.settingFields.at("GGA"), (std::vector<std::string>{"$GPGGA,1,2", ""}));
  EXPECT_TRUE(r.settingFields.at("MODEVRS").empty());
  EXPECT_EQ(r.settingFields.count("COM"), 0U) << "the rate is the receiver's: savedRate";
  EXPECT_EQ(r.settingsAcked.at("COM"), 1U);
  EXPECT_EQ(r.moduleRate, 115200U);
  EXPECT_FALSE(r.moduleEcho);
  EXPECT_FALSE(r.directLinkOpen);
  ASSERT_GE(r.commands.size(), 21U);
  const auto last = r.commands.end() - 21;
  EXPECT_EQ(last[0].kind, "frame");
  EXPECT_EQ(last[15].text, "AT+IPR=115200");
  EXPECT_EQ(last[15].kind, "at");
  for (auto c = last; c != r.commands.end(); ++c) EXPECT_EQ(c->rate, 115200U) << c->text;

  const std::string json = pc.model.ReportJson();
  ASSERT_TRUE(simtest::CJsonCheck::Valid(json)) << json;
  for (const char* part : {R"("APN":["cmnet","u","p",""])", R"("GGA":["$GPGGA,1,2",""])", R"("MODEVRS":[])",
                           R"("settingsAcked":{"APN":1,"COM":1,"DNS":1,)", R"("serialNumber":"10012607")",
                           R"("savedRate":115200)", R"("configSaved":true)", R"("configSaves":1)",
                           R"("kind":"at","text":"ATE0")", R"("babbleLines":0)"}) {
    EXPECT_NE(json.find(part), std::string::npos) << part << "\n" << json;
  }
}

}  // namespace
