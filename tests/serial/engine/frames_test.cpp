// The updater's frames and the configurator's receive buffer.
#include <gtest/gtest.h>

#include <numeric>

#include "serial/byte_buffer.h"
#include "serial/frames.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(CommandPacket, IdentificationQueryIsTheNineKnownBytes) {
  EXPECT_EQ(serial::BuildCommandPacket(0x2D, "c0"), (Bytes{0x24, 0x2D, 0xD2, 0x01, 0x00, 0x00, 0xDA, 0x0D, 0x0A}));
}

TEST(CommandPacket, EmptyArgumentsGiveAnEightByteFrameWithTheXorOfTheHeader) {
  const Bytes frame = serial::BuildCommandPacket(0x41, "");
  ASSERT_EQ(frame.size(), 8u);
  EXPECT_EQ(frame[2], 0xBE);
  EXPECT_EQ(frame[5], 0x24 ^ 0x41 ^ 0xBE ^ 0x00 ^ 0x00);
  EXPECT_EQ(frame[6], 0x0D);
  EXPECT_EQ(frame[7], 0x0A);
}

TEST(CommandPacket, TokensAddBytesByTheirLetter) {
  EXPECT_EQ(serial::CommandPayload("L305419896"), (Bytes{0x56, 0x78, 0x12, 0x34}));
  EXPECT_EQ(serial::CommandPayload("I4660"), (Bytes{0x34, 0x12}));
  EXPECT_EQ(serial::CommandPayload("Ax"), (Bytes{'x'}));
  EXPECT_EQ(serial::CommandPayload("a"), (Bytes{0x00}));
  EXPECT_EQ(serial::CommandPayload("Z9"), Bytes{});
  EXPECT_EQ(serial::CommandPayload("c300"), (Bytes{300 & 0xFF}));
  EXPECT_EQ(serial::CommandPayload("Cx"), (Bytes{0}));  // no number: 0
  EXPECT_EQ(serial::CommandPayload("i-1"), (Bytes{0xFF, 0x00}));  // -1 / 256 truncates to 0
  // Runs of spaces are one separator; the order of tokens is kept.
  EXPECT_EQ(serial::CommandPayload("  c1   I258 Ab "), (Bytes{1, 0x02, 0x01, 'b'}));
  // A number may follow white space other than the separator, as a leading-integer conversion skips it;
  // white space after the sign ends the number.
  EXPECT_EQ(serial::CommandPayload("c\t7 I\n\v\f\r258 L\t-1"), (Bytes{7, 0x02, 0x01, 0x00, 0xFF, 0x00, 0x00}));
  EXPECT_EQ(serial::CommandPayload("c-\t7 c\x01" "5"), (Bytes{0, 0}));
  // Overlong numbers are kept to 32 bits, never overflowing.
  EXPECT_EQ(serial::CommandPayload("c99999999999999999999").size(), 1u);

  const Bytes frame = serial::BuildCommandPacket(0x2E, "I4660 c7");
  ASSERT_EQ(frame.size(), 3u + 8u);
  EXPECT_EQ(frame[3], 3);
  EXPECT_EQ(frame[4], 0);
  const std::uint8_t x = std::accumulate(frame.begin(), frame.begin() + 8, std::uint8_t{0},
                                         [](std::uint8_t a, std::uint8_t b) { return static_cast<std::uint8_t>(a ^ b); });
  EXPECT_EQ(frame[8], x);
}

TEST(BlockPacket, AddressHighByteFirstThenTheDataUnchanged) {
  std::array<std::uint8_t, 128> page{};
  for (std::size_t i = 0; i < page.size(); ++i) page[i] = static_cast<std::uint8_t>(255 - i);
  const auto frame = serial::BuildBlockPacket(page, 0x2001);
  ASSERT_EQ(frame.size(), 133u);
  EXPECT_EQ(frame[0], 0x24);
  EXPECT_EQ(frame[1], 0x2C);
  EXPECT_EQ(frame[2], 0xD3);
  EXPECT_EQ(frame[3], 0x20);
  EXPECT_EQ(frame[4], 0x01);
  EXPECT_TRUE(std::equal(page.begin(), page.end(), frame.begin() + 5));
  // Only the low 16 bits of the address go out.
  const auto high = serial::BuildBlockPacket(page, 0x4000 + 0xC000);
  EXPECT_EQ(high[3], 0x00);
  EXPECT_EQ(high[4], 0x00);
}

TEST(ByteBuffer, FindReturnsTheIndexPastTheMatchOrTellsWhyNot) {
  CByteBuffer buffer;
  const std::string letters = "ABCDEFGHIJ";
  EXPECT_EQ(buffer.Append(reinterpret_cast<const std::uint8_t*>(letters.data()), 10), 10);
  auto find = [&](std::string_view p, int start) {
    return buffer.Find(reinterpret_cast<const std::uint8_t*>(p.data()), static_cast<int>(p.size()), start);
  };
  EXPECT_EQ(find("CDE", 0), 5);
  EXPECT_EQ(find("HIJ", 0), 10);
  EXPECT_EQ(find("CDE", 8), -1);
  EXPECT_EQ(find("ABCDEFGHIJKL", 0), -1);
  EXPECT_EQ(find("XYZ", 0), 0);
  EXPECT_EQ(find("CDE", 3), 0);  // the only match starts before `start`
  EXPECT_EQ(find("A", 0), 1);
}

TEST(ByteBuffer, GrowsInWholeKilobytesAndResetKeepsALargeBlock) {
  CByteBuffer buffer;
  EXPECT_EQ(buffer.Capacity(), 0);
  std::vector<std::uint8_t> data(1025);
  std::iota(data.begin(), data.end(), std::uint8_t{0});
  buffer.Append(data.data(), 1025);
  EXPECT_EQ(buffer.Capacity(), 2048);
  EXPECT_EQ(buffer.GetSize(), 1025);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), buffer.Data()));
  // Growing again keeps what was stored.
  buffer.Append(data.data(), 1025);
  EXPECT_EQ(buffer.Capacity(), 3072);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), buffer.Data() + 1025));
  buffer.Reset();
  EXPECT_EQ(buffer.GetSize(), 0);
  EXPECT_EQ(buffer.Capacity(), 3072);

  CByteBuffer empty;
  empty.Reset();
  EXPECT_EQ(empty.GetSize(), 0);
  EXPECT_EQ(empty.Capacity(), 1024);
  // Filling the block exactly, then one more byte.
  empty.Append(data.data(), 1024);
  empty.Append(data.data(), 1);
  EXPECT_EQ(empty.GetSize(), 1025);
  EXPECT_GE(empty.Capacity(), 1025);
}

}  // namespace
