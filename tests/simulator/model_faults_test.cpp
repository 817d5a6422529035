// Fault injection, the loader's resynchronisation, and bad input.
#include <gtest/gtest.h>

#include <memory>

#include "simulator/model/random.h"
#include "tests/simulator/reply_frames.h"
#include "tests/simulator/virtual_pc.h"

namespace {

using simtest::CVirtualPc;
using simtest::kQuery;
using simtest::PageFrame;
using simtest::ParseReplies;
using simtest::Types;

// A model whose loader listens, and the PC at 57600.
std::unique_ptr<CVirtualPc> Loader(sim::ModelOptions o) {
  o.receiverRate = 57600;
  auto pc = std::make_unique<CVirtualPc>(std::move(o), 57600);
  pc->Send("KAVEL,SOFTWARE,\r\n");
  pc->Run(10000);
  return pc;
}

std::vector<std::uint8_t> IdentificationReply(const sim::ModelOptions& o) {
  auto pc = Loader(o);
  pc->Send(kQuery);
  return pc->Run(200000);
}

TEST(Faults, DroppedLateAndExtraReplies) {
  sim::ModelOptions o;
  o.dropAckPages = {2, 3};
  o.lateAckMs = 40;
  o.zeroAfterPage = 1;
  o.finishAfterPage = 4;
  auto pc = Loader(o);
  std::string replies;
  // Frames 1 to 5: pages 1, 2, 2 again, 3, 4; ',' and '0' count pages, not frames.
  for (const int page : {1, 2, 2, 3, 4}) {
    pc->Send(PageFrame(static_cast<std::uint16_t>(0x2000 + 0x80 * page), static_cast<std::uint8_t>(page)));
    const std::uint64_t sent = pc->now;
    EXPECT_TRUE(pc->Run(39999).empty());
    replies += Types(ParseReplies(pc->Run(1))) + "|";
    if (page == 1) {
      EXPECT_EQ(pc->chunkTimes.back(), sent + 40000);
    }
  }
  EXPECT_EQ(replies, "10|||1|1,|");
  EXPECT_EQ(pc->model.GetReport().acksDropped, 2U);
  EXPECT_EQ(pc->model.GetReport().pageWrites.at(0x2100), 2U);
}

TEST(Faults, LostPageFramesSelectedLateAcknowledgementsAndLateAnswers) {
  sim::ModelOptions o;
  o.dropPages = {2};
  o.lateAckMs = 40;
  o.lateAckPages = {3};
  o.lateAnswerMs = 30;
  auto pc = Loader(o);
  std::string replies;
  for (int page = 1; page <= 4; ++page) {
    pc->Send(PageFrame(static_cast<std::uint16_t>(0x2000 + 0x80 * page), static_cast<std::uint8_t>(page)));
    replies += Types(ParseReplies(pc->Run(30000))) + "|";
  }
  // Page 2 never arrived; page 3's acknowledgement comes 40 ms late, after page 4 went out.
  EXPECT_EQ(replies, "1|||11|");
  const sim::Report& r = pc->model.GetReport();
  EXPECT_EQ(r.pagesLost, 1U);
  ASSERT_EQ(r.pages.size(), 4U);
  EXPECT_TRUE(r.pages[1].lost);
  EXPECT_FALSE(r.pages[1].acknowledged);
  EXPECT_EQ(r.pageWrites.count(0x2100), 0U);
  EXPECT_EQ(pc->model.Flash()[0x2100], 0xFF);
  EXPECT_EQ(pc->model.Flash()[0x2180], 3);

  pc->Send(kQuery);
  EXPECT_TRUE(pc->Run(29000).empty());
  EXPECT_EQ(Types(ParseReplies(pc->Run(10000))), "-./");
}

TEST(Faults, SplitRepliesKeepTheirBytes) {
  const auto whole = IdentificationReply({});
  sim::ModelOptions bytes;
  bytes.split = sim::Split::Bytes;
  auto pc = Loader(bytes);
  pc->Send(kQuery);
  EXPECT_EQ(pc->Run(200000), whole);
  EXPECT_EQ(pc->chunks.size(), whole.size());
  EXPECT_EQ(pc->chunkTimes.back() - pc->chunkTimes.front(), (whole.size() - 1) * 1000);

  auto chunkSizes = [&whole](std::uint64_t seed) {
    sim::ModelOptions o;
    o.split = sim::Split::Random;
    o.seed = seed;
    auto r = Loader(o);
    r->Send(kQuery);
    EXPECT_EQ(r->Run(300000), whole);
    std::vector<std::size_t> sizes;
    for (const auto& c : r->chunks) sizes.push_back(c.size());
    return sizes;
  };
  const auto sizes = chunkSizes(7);
  EXPECT_EQ(chunkSizes(7), sizes);
  EXPECT_NE(chunkSizes(8), sizes);
  EXPECT_GT(sizes.size(), 4U);
  for (const auto s : sizes) EXPECT_LE(s, 16U);
}

TEST(Faults, GarbageDamageAndNoiseAreSeeded) {
  const auto whole = IdentificationReply({});
  for (const bool garbage : {false, true}) {
    sim::ModelOptions o;
    o.garbage = garbage;
    o.damage = !garbage;
    const auto raw = IdentificationReply(o);
    EXPECT_GT(raw.size(), whole.size());
    EXPECT_EQ(raw, IdentificationReply(o));
    EXPECT_EQ(ParseReplies(raw).size(), 3U) << "the updater's rule skips what is in front";
    EXPECT_EQ(raw[0] == 0x24, !garbage);
    if (!garbage) {
      EXPECT_NE(raw[1] + raw[2], 0xFF) << "the copy in front has a wrong complement";
    }
  }
  auto noisy = [](std::uint64_t seed) {
    sim::ModelOptions o;
    o.noise = 0.3;
    o.seed = seed;
    return IdentificationReply(o);
  };
  EXPECT_NE(noisy(1), whole);
  EXPECT_EQ(noisy(1), noisy(1));
  EXPECT_NE(noisy(1), noisy(2));

  sim::ModelOptions in;
  in.noiseToDevice = 1.0;  // every character of the query hit
  auto pc = Loader(in);
  pc->Send(kQuery);
  pc->Run(50000);
  EXPECT_EQ(pc->model.GetReport().queries, 0U);
}

TEST(Loader, ResynchronisesAndForgetsStalePartialFrames) {
  auto pc = Loader({});
  const auto skippedBefore = pc->model.GetReport().loaderSkipped;
  pc->Send(std::vector<std::uint8_t>{0x24, 0x24, 0x2D, 0x00, 0x24, 0x2C, 0x11, 0x24, 0x2D, 0xD2, 0x01, 0x99, 0x13});
  pc->Send(std::vector<std::uint8_t>(kQuery.begin(), kQuery.begin() + 4));
  pc->Run(1000);
  pc->Send(std::vector<std::uint8_t>(kQuery.begin() + 4, kQuery.end()));
  EXPECT_EQ(Types(ParseReplies(pc->Run(50000))), "-./");
  EXPECT_EQ(pc->model.GetReport().loaderSkipped - skippedBefore, 13U);
  // A query between pages is answered again.
  pc->Send(PageFrame(0x4000, 1));
  pc->Send(kQuery);
  pc->Send(PageFrame(0x4080, 2));
  EXPECT_EQ(Types(ParseReplies(pc->Run(50000))), "1-./1");
  // Part of a page, then silence: the page sent again is taken whole.
  const auto page = PageFrame(0x4000, 9);
  pc->Send(std::vector<std::uint8_t>(page.begin(), page.begin() + 60));
  EXPECT_TRUE(pc->Run(200000).empty());
  pc->Send(page);
  EXPECT_EQ(Types(ParseReplies(pc->Run(50000))), "1");
  EXPECT_EQ(pc->model.GetReport().pagesCut, 1U);
  EXPECT_TRUE(std::equal(page.begin() + 5, page.end(), pc->model.Flash().begin() + 0x4000));
}

// Random bytes at random rates, some absurd, in both timing modes with every
// fault on: nothing crashes or hangs, and the far end still works afterwards.
TEST(BadInput, RandomTrafficNeverBreaksTheModel) {
  for (const bool wire : {false, true}) {
    sim::ModelOptions o;
    o.wireTiming = wire;
    o.split = sim::Split::Random;
    o.garbage = o.damage = true;
    o.noise = 0.05;
    o.burstBytes = 300;
    CVirtualPc pc(o);
    sim::CRandom random(42);
    static constexpr std::uint32_t kRates[] = {0, 1, 49, 300, 9600, 57600, 115200, 4000000, 20000000};
    for (int i = 0; i < 1500; ++i) {
      std::vector<std::uint8_t> bytes(random.Between(0, 40));
      for (auto& b : bytes) b = static_cast<std::uint8_t>(random.Next());
      if (i % 50 == 0) {
        const std::string_view line = i % 100 ? "KAVEL,BURST,\r\n" : "KAVEL,DIRECT,ON\r\nKAVEL,APN,a,\r\n";
        bytes.insert(bytes.end(), line.begin(), line.end());
      }
      pc.rate = kRates[random.Between(0, 8)];
      pc.Send(bytes);
      pc.Run(random.Between(0, 20000));
    }
    pc.Run(400'000'000);  // with wire timing the slow rates left a long queue
    pc.rate = 9600;
    pc.Send(std::string(270, '\r'));  // ends any half binary frame the receiver is collecting
    pc.Send("KAVEL,COM,57600,\r\n");
    pc.rate = 57600;
    pc.Send("\r\nKAVEL,SOFTWARE,\r\n");
    pc.Run(300000);
    pc.Send(kQuery);
    EXPECT_GE(ParseReplies(pc.Run(300000)).size(), 1U) << wire;
  }
}

}  // namespace

namespace {

TEST(Faults, StopAfterLeavesTheLoaderSilentForGood) {
  sim::ModelOptions o;
  o.stopAfterPage = 3;
  auto pc = Loader(o);
  std::string replies;
  // Pages 1, 2, 2 again, 3: the repeat does not count, page 3 is the third and still answered.
  for (const int page : {1, 2, 2, 3, 4, 5}) {
    pc->Send(PageFrame(static_cast<std::uint16_t>(0x2000 + 0x80 * page), static_cast<std::uint8_t>(page)));
    replies += Types(ParseReplies(pc->Run(30000))) + "|";
  }
  EXPECT_EQ(replies, "1|1|1|1|||");
  pc->Send(kQuery);
  EXPECT_TRUE(pc->Run(500000).empty()) << "the identification query too goes unanswered";
  // A page already in the flash is not rewritten either.
  pc->Send(PageFrame(0x2080, 0x55));
  EXPECT_TRUE(pc->Run(30000).empty());

  const sim::Report& r = pc->model.GetReport();
  EXPECT_EQ(r.pageWrites.size(), 3U);
  EXPECT_EQ(r.pageWrites.count(0x2200), 0U);
  EXPECT_EQ(r.pageWrites.at(0x2100), 2U);
  EXPECT_EQ(r.pagesIgnored, 3U);
  EXPECT_EQ(r.acksSent, 4U);
  ASSERT_EQ(r.pages.size(), 7U);
  EXPECT_TRUE(r.pages[3].acknowledged);
  EXPECT_FALSE(r.pages[4].acknowledged);
  EXPECT_FALSE(r.pages[4].lost) << "heard, not lost on the way";
  EXPECT_EQ(pc->model.Flash()[0x2180], 3);
  EXPECT_EQ(pc->model.Flash()[0x2200], 0xFF);
  EXPECT_EQ(pc->model.Flash()[0x2080], 1) << "the late frame for page 1 left it as it was";
}

}  // namespace
