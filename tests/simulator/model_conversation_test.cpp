// The updater's conversation with the far end at the bit level, with and
// without wire timing: identification, pages, refusal, silence, power-on.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/simulator/reply_frames.h"
#include "tests/simulator/virtual_pc.h"

namespace {

using simtest::CVirtualPc;
using simtest::kQuery;
using simtest::PageFrame;
using simtest::ParseReplies;
using simtest::Types;

constexpr std::string_view kUpgrade = "\r\nKAVEL,SOFTWARE,\r\n";

// As the updater does: the command twice at the user's rate, then once more
// byte by byte at 57600.
void StartUpgrade(CVirtualPc& pc) {
  pc.Send(kUpgrade);
  pc.Run(20000);
  pc.Send(kUpgrade);
  pc.Run(20000);
  pc.rate = 57600;
  for (const char c : kUpgrade) {
    pc.Send(std::string_view(&c, 1));
    pc.Run(200);
  }
  pc.Run(10000);
}

class Conversation : public testing::TestWithParam<bool> {
 protected:
  sim::ModelOptions Options() {
    sim::ModelOptions o;
    o.wireTiming = GetParam();
    return o;
  }
};

TEST_P(Conversation, IdentifiesWritesAndAcknowledgesPages) {
  CVirtualPc pc(Options());
  StartUpgrade(pc);
  const auto& report = pc.model.GetReport();
  ASSERT_EQ(report.commands.size(), 1U) << "only the first command is understood, at 9600";
  EXPECT_EQ(report.commands[0].rate, 9600U);
  EXPECT_GT(report.loaderSkipped, 0U) << "the later commands reached the loader as garbage";

  pc.Send(kQuery);
  const auto reply = pc.Run(50000);
  const auto frames = ParseReplies(reply);
  ASSERT_EQ(Types(frames), "-./");
  EXPECT_EQ(frames[0].payload, "GTM900-2");
  EXPECT_EQ(frames[1].payload, "SIM0000001");
  EXPECT_EQ(frames[2].payload, "591021");
  // 0x24, type, complement, length low byte first, ..., payload, check byte, CR LF.
  ASSERT_EQ(reply.size(), 8U + 10 + 10 + 10 + 6 + 10);
  EXPECT_EQ(std::vector<std::uint8_t>(reply.begin(), reply.begin() + 5), (std::vector<std::uint8_t>{0x24, 0x2D, 0xD2, 8, 0}));
  std::uint8_t check = 0;
  for (int i = 0; i < 15; ++i) check ^= reply[i];
  EXPECT_EQ(std::vector<std::uint8_t>(reply.begin() + 15, reply.begin() + 18), (std::vector<std::uint8_t>{check, 0x0D, 0x0A}));

  // A page past the top wraps to 0; one page comes twice.
  auto seedOf = [](std::uint16_t address) { return static_cast<std::uint8_t>(address >> 4); };
  for (const std::uint16_t address : std::vector<std::uint16_t>{0x2000, 0x2080, 0xFFC0, 0x2080}) {
    pc.Send(PageFrame(address, seedOf(address)));
    EXPECT_EQ(Types(ParseReplies(pc.Run(30000))), "1") << address;
  }
  const auto flash = pc.model.Flash();
  const auto page = PageFrame(0x2000, seedOf(0x2000));
  EXPECT_TRUE(std::equal(page.begin() + 5, page.end(), flash.begin() + 0x2000));
  const auto top = PageFrame(0xFFC0, seedOf(0xFFC0));
  EXPECT_TRUE(std::equal(top.begin() + 5, top.begin() + 69, flash.begin() + 0xFFC0));
  EXPECT_TRUE(std::equal(top.begin() + 69, top.end(), flash.begin()));
  EXPECT_EQ(flash[0x2100], 0xFF);
  EXPECT_EQ(flash[0x1FFF], 0xFF);
  EXPECT_EQ(report.pageWrites, (std::map<std::uint16_t, std::uint32_t>{{0x2000, 1}, {0x2080, 2}, {0xFFC0, 1}}));
  EXPECT_EQ(report.acksSent, 4U);
}

TEST_P(Conversation, RefusalAndSilence) {
  sim::ModelOptions refusing = Options();
  refusing.refuse = true;
  CVirtualPc pc(refusing);
  StartUpgrade(pc);
  pc.Send(kQuery);
  EXPECT_EQ(Types(ParseReplies(pc.Run(30000))), "+");

  sim::ModelOptions silent = Options();
  silent.silent = true;
  CVirtualPc quiet(silent);
  StartUpgrade(quiet);
  quiet.Send(kQuery);
  quiet.Send(PageFrame(0x4000, 1));
  EXPECT_TRUE(quiet.Run(100000).empty());
  EXPECT_EQ(quiet.model.GetReport().queries, 1U);
  EXPECT_EQ(quiet.model.Flash()[0x4000], 1) << "a silent board still takes the page";
}

TEST_P(Conversation, QueriesBeforePowerOnAreLost) {
  sim::ModelOptions o = Options();
  o.powerOnDelayMs = 300;
  CVirtualPc pc(o);
  pc.Send(kUpgrade);
  pc.rate = 57600;
  for (int tick = 0; tick < 10; ++tick) {  // 250 ms of probing
    pc.Send(kQuery);
    EXPECT_TRUE(pc.Run(25000).empty()) << tick;
  }
  EXPECT_GT(pc.model.GetReport().bytesLost, 0U);
  pc.Run(100000);  // with wire timing the command itself took 20 ms
  pc.Send(kQuery);
  EXPECT_EQ(Types(ParseReplies(pc.Run(25000))), "-./");
}

INSTANTIATE_TEST_SUITE_P(Timing, Conversation, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& p) { return p.param ? "Wire" : "Instant"; });

// 10 bits per character at the sender's rate, both ways; a character is
// complete at its stop-bit sample, 9.5 bit times after its start edge; bytes
// written at once queue behind each other.
TEST(WireTiming, TenBitsPerByteBothWays) {
  sim::ModelOptions o;
  o.wireTiming = true;
  o.receiverRate = 57600;
  CVirtualPc pc(o, 57600);
  pc.Send("KAVEL,SOFTWARE,\r\n");
  pc.Run(5000);
  const std::uint64_t t0 = pc.now;
  pc.Send(std::vector<std::uint8_t>(kQuery.begin(), kQuery.begin() + 4));
  pc.Send(std::vector<std::uint8_t>(kQuery.begin() + 4, kQuery.end()));
  const double bit = 1e6 / 57600;
  auto after = [bit](std::uint64_t from, std::size_t characters) {
    return from + static_cast<std::uint64_t>(std::ceil(static_cast<double>(characters - 1) * 10 * bit + 9.5 * bit));
  };
  const auto queryDone = after(t0, 9);
  pc.Run(queryDone - 1 - t0);
  EXPECT_EQ(pc.model.GetReport().queries, 0U);
  pc.Run(1);
  ASSERT_EQ(pc.model.GetReport().queries, 1U);
  const auto last = after(queryDone, 54);
  EXPECT_EQ(pc.Run(last - 1 - pc.now).size(), 53U);
  EXPECT_EQ(pc.Run(1).size(), 1U);
  EXPECT_EQ(pc.model.NextEventUs(), UINT64_MAX);
}

}  // namespace
