// The strict Intel HEX reader: every record type, address bases kept to 16
// bits, line ends, and each kind of malformed line refused with its number.
#include "packaging/intel_hex_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using brevan::pack::MemoryImage;
using brevan::pack::ParseIntelHex;

namespace {

// A record with its checksum; the literal records below anchor the sum.
std::string Record(std::uint8_t type, std::uint16_t address, const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> bytes = {static_cast<std::uint8_t>(data.size()), static_cast<std::uint8_t>(address >> 8),
                                     static_cast<std::uint8_t>(address), type};
  bytes.insert(bytes.end(), data.begin(), data.end());
  unsigned sum = 0;
  for (const auto b : bytes) sum += b;
  bytes.push_back(static_cast<std::uint8_t>(-sum));
  std::string line = ":";
  for (const auto b : bytes) {
    constexpr char kHex[] = "0123456789ABCDEF";
    line += kHex[b >> 4];
    line += kHex[b & 15];
  }
  return line + "\n";
}

const std::string kEnd = ":00000001FF\n";

class IntelHexReaderTest : public ::testing::Test {
 protected:
  std::unique_ptr<MemoryImage> image = std::make_unique<MemoryImage>();
  std::string message;

  void Parse(const std::string& text) { ASSERT_TRUE(ParseIntelHex(text, "fw.hex", *image, message)) << message; }
  std::size_t NonBlankBytes() const {
    return static_cast<std::size_t>(std::count_if(image->begin(), image->end(), [](auto b) { return b != 0xFF; }));
  }
};

TEST_F(IntelHexReaderTest, DataRecordFillsItsAddressesAndLeavesTheRestFF) {
  image->fill(0x00);  // the reader must start from 0xFF itself
  Parse(":10010000214601360121470136007EFE09D2190140\n" + kEnd);
  const std::vector<std::uint8_t> expected = {0x21, 0x46, 0x01, 0x36, 0x01, 0x21, 0x47, 0x01,
                                              0x36, 0x00, 0x7E, 0xFE, 0x09, 0xD2, 0x19, 0x01};
  EXPECT_EQ(std::vector<std::uint8_t>(image->begin() + 0x100, image->begin() + 0x110), expected);
  EXPECT_EQ(NonBlankBytes(), 16u);
}

TEST_F(IntelHexReaderTest, SegmentAndLinearBasesApplyAndAddressesWrapAt64K) {
  Parse(Record(0x02, 0, {0x01, 0x23}) + Record(0x00, 0x0005, {0xA1}) +  // 0x1230 + 5
        Record(0x02, 0, {0x0F, 0x00}) + Record(0x00, 0x1008, {0xA2}) +  // 0xF000 + 0x1008 wraps
        Record(0x04, 0, {0x00, 0x01}) + Record(0x00, 0x2345, {0xA3}) +  // upper 16 bits dropped
        Record(0x00, 0xFFFE, {0xB0, 0xB1, 0xB2}) +                      // wraps inside one record
        ":020000021000EC\n" + Record(0x00, 0x0040, {0xA4}) + kEnd);     // segment 0x1000: base 0x10000
  EXPECT_EQ((*image)[0x1235], 0xA1);
  EXPECT_EQ((*image)[0x0008], 0xA2);
  EXPECT_EQ((*image)[0x2345], 0xA3);
  EXPECT_EQ((*image)[0xFFFE], 0xB0);
  EXPECT_EQ((*image)[0xFFFF], 0xB1);
  EXPECT_EQ((*image)[0x0000], 0xB2);
  EXPECT_EQ((*image)[0x0040], 0xA4);
  EXPECT_EQ(NonBlankBytes(), 7u);
}

TEST_F(IntelHexReaderTest, StartRecordsAreIgnoredAndEndOfFileStopsReading) {
  Parse(Record(0x03, 0, {0x12, 0x34, 0x56, 0x78}) + ":0400000500001234B1\n" + Record(0x00, 0x10, {0x55}) + kEnd +
        Record(0x00, 0x20, {0x66}) + "not a record at all\n");
  EXPECT_EQ((*image)[0x10], 0x55);
  EXPECT_EQ(NonBlankBytes(), 1u);
}

TEST_F(IntelHexReaderTest, CrLfLowercaseAndBlankLinesReadTheSame) {
  Parse(Record(0x00, 0x1234, {0xAB, 0xCD}) + kEnd);
  const MemoryImage reference = *image;
  Parse("\r\n:02123400abCd40\r\n\r\n:00000001ff\r\n\r\n\n");
  EXPECT_EQ(*image, reference);
}

struct BadHex {
  const char* name;
  std::string text;
  const char* where;  // "line N", or the cause for a file-wide fault
};

void PrintTo(const BadHex& b, std::ostream* os) { *os << b.name; }

class IntelHexRefusal : public ::testing::TestWithParam<BadHex> {};

TEST_P(IntelHexRefusal, NamesFileAndLine) {
  auto image = std::make_unique<MemoryImage>();
  std::string message;
  EXPECT_FALSE(ParseIntelHex(GetParam().text, "dir/fw.hex", *image, message));
  EXPECT_NE(message.find("dir/fw.hex"), std::string::npos) << message;
  EXPECT_NE(message.find(GetParam().where), std::string::npos) << message;
}

const std::string kGood = Record(0x00, 0x0100, {1, 2, 3, 4});

INSTANTIATE_TEST_SUITE_P(
    Cases, IntelHexRefusal,
    ::testing::Values(
        BadHex{"Checksum", kGood + ":0400000001020304F1\n" + kEnd, "line 2: checksum mismatch (record ends in F1, bytes call for F2)"},
        BadHex{"NonHexDigit", ":04010000010G0304F1\n" + kEnd, "line 1: 'G' at column 13"},
        BadHex{"SpaceInRecord", kGood + kGood + ":04010000 01020304F1\n" + kEnd, "line 3: ' ' at column 10"},
        BadHex{"OddDigits", ":0401000001020304F\n" + kEnd, "line 1: odd number"},
        BadHex{"MoreBytesThanCount", ":020100000102037B\n" + kEnd, "line 1: record says 2 data bytes but carries 3"},
        BadHex{"FewerBytesThanCount", ":04010000010279\n" + kEnd, "line 1: record says 4 data bytes but carries 2"},
        BadHex{"TooShort", ":0000\n" + kEnd, "line 1: record too short"},
        BadHex{"NoColon", kGood + "0400000001020304F2\n" + kEnd, "line 2: a record must start with ':'"},
        BadHex{"UnknownType", Record(0x06, 0, {}) + kEnd, "line 1: unknown record type 06"},
        BadHex{"EndWithData", Record(0x01, 0, {0x00}), "line 1: a type 01 record carries 1"},
        BadHex{"LinearBaseWithOneByte", Record(0x04, 0, {0x01}) + kEnd, "line 1: a type 04 record carries 1"},
        BadHex{"SegmentBaseWithThreeBytes", Record(0x02, 0, {1, 2, 3}) + kEnd, "line 1: a type 02 record carries 3"},
        BadHex{"BlankLinesCount", "\n\r\n" + kGood + ":04010000010203\n", "line 4:"},
        BadHex{"NoEndRecord", kGood + kGood, "no end-of-file record"},
        BadHex{"Empty", "", "no end-of-file record"}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
