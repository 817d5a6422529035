// Line physics: what a UART at one rate assembles from characters sent at
// another, and that equal rates pass every byte unchanged. (The model's
// garbling shows in the conversation and receiver tests.)
#include <gtest/gtest.h>

#include "simulator/model/line.h"

namespace {

std::vector<sim::Character> ReceiveAll(sim::CLine& line, std::uint32_t rate) {
  std::vector<sim::Character> got;
  while (const auto c = line.Peek(sim::BitUs(rate))) {
    line.Commit(*c);
    got.push_back(*c);
  }
  return got;
}

TEST(Line, EqualRatesPassEveryByte) {
  for (const std::uint32_t rate : {300U, 9600U, 57600U, 250000U, 3000000U}) {
    sim::CLine line;
    for (int b = 0; b < 256; ++b) line.Put(sim::CharacterLevels(static_cast<std::uint8_t>(b)), sim::BitUs(rate), 0, 0);
    const auto got = ReceiveAll(line, rate);
    ASSERT_EQ(got.size(), 256U) << rate;
    for (int b = 0; b < 256; ++b) {
      EXPECT_EQ(got[b].value, b) << rate;
      EXPECT_FALSE(got[b].framingError);
    }
  }
}

// 0x55 at 9600 seen at 19200: each sender bit spans two receiver bits. The
// first character samples sender slots 0,0,1,1,2,2,3,3,4 (data 0,1,1,0,0,1,1,0)
// and a low stop bit; the next falling edge is the sender's slot 6.
TEST(Line, FasterReceiverSplitsACharacter) {
  sim::CLine line;
  line.Put(sim::CharacterLevels(0x55), sim::BitUs(9600), 0, 0);
  const auto got = ReceiveAll(line, 19200);
  ASSERT_EQ(got.size(), 2U);
  EXPECT_EQ(got[0].value, 0x66);
  EXPECT_TRUE(got[0].framingError);
  EXPECT_EQ(got[1].value, 0xE6);
  EXPECT_FALSE(got[1].framingError);
}

// 0x0F 0x00 at 28800 seen at 9600 (a receiver bit spans three sender bits,
// samples fall mid-slot): the first falling edge is no start bit (mid-bit it
// reads high); the second, at 0x0F's bit 4, starts one character whose data
// samples read 0x0F's stop bit, three bits of 0x00, then the idle line:
// 1,0,0,0,1,1,1,1.
TEST(Line, SlowerReceiverMergesCharacters) {
  sim::CLine line;
  line.Put(sim::CharacterLevels(0x0F), sim::BitUs(28800), 0, 0);
  line.Put(sim::CharacterLevels(0x00), sim::BitUs(28800), 0, 0);
  const auto got = ReceiveAll(line, 9600);
  ASSERT_EQ(got.size(), 1U);
  EXPECT_EQ(got[0].value, 0xF1);
  EXPECT_FALSE(got[0].framingError);
}

}  // namespace
