// The forgiving HEX reader: data records at 16-bit addresses, everything
// else ignored, the line rules of a 200-character text buffer.
#include "updater/image_bank/hex_image_converter.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

using brevan::CHexImageConverter;
using brevan::FileStep;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

class HexConverterTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::unique_ptr<CHexImageConverter> converter = std::make_unique<CHexImageConverter>(dir.File("pgm.isp"));

  // Converts text; returns the image file's bytes.
  std::vector<std::uint8_t> Convert(std::string_view text) {
    const std::string input = dir.File("in.hex");
    WriteFile(input, text);
    EXPECT_TRUE(converter->ConvertHexFile(input)) << converter->Problem().cause;
    return ReadFile(dir.File("pgm.isp"));
  }

  static std::size_t CountNotFF(const std::vector<std::uint8_t>& image) {
    return static_cast<std::size_t>(std::count_if(image.begin(), image.end(), [](std::uint8_t b) { return b != 0xFF; }));
  }
};

TEST_F(HexConverterTest, DataRecordLandsAtItsAddressAndTheRestIsFF) {
  const auto image = Convert(":0300300002337A1E\n:00000001FF\n");
  ASSERT_EQ(image.size(), 65536u);
  EXPECT_EQ(image[0x30], 0x02);
  EXPECT_EQ(image[0x31], 0x33);
  EXPECT_EQ(image[0x32], 0x7A);
  EXPECT_EQ(CountNotFF(image), 3u);
  EXPECT_TRUE(std::equal(image.begin(), image.end(), converter->Image().begin()));
}

TEST_F(HexConverterTest, LaterRecordsOverwriteAndEndOfFileDoesNotStopReading) {
  const auto image = Convert(
      ":02100000AABB00\r\n"
      ":00000001FF\r\n"
      ":0110010011DD\r\n"        // after the end-of-file record: still written
      ":020000040001F9\r\n"     // extended linear address: ignored
      ":020000021000EC\r\n"     // extended segment address: ignored
      ":0410000005060708CC\r\n" // later record at 0x1000 wins
  );
  EXPECT_EQ(image[0x1000], 0x05);
  EXPECT_EQ(image[0x1001], 0x06);
  EXPECT_EQ(image[0x1002], 0x07);
  EXPECT_EQ(image[0x1003], 0x08);
  EXPECT_EQ(CountNotFF(image), 4u);
}

TEST_F(HexConverterTest, LowerCaseDigitsAndForeignCharactersFollowTheDigitRule) {
  const auto upper = Convert(":04ABC000DEADBEEF00\n");
  const auto lower = Convert(":04abc000deadbeef00\n");
  EXPECT_EQ(upper, lower);
  EXPECT_EQ(upper[0xABC0], 0xDE);
  EXPECT_EQ(upper[0xABC3], 0xEF);

  // 'G' counts as its code 71: "0G" is 71, "G0" is 71*16 kept to 8 bits.
  const auto odd = Convert(":020000000GG0FF\n");
  EXPECT_EQ(odd[0], 71);
  EXPECT_EQ(odd[1], static_cast<std::uint8_t>(71 * 16));
  // An address digit out of range puts every byte past 0xFFFF: nothing written.
  EXPECT_EQ(CountNotFF(Convert(":01G0000012FF\n")), 0u);
  // A record type with a foreign digit is not a data record.
  EXPECT_EQ(CountNotFF(Convert(":0100000G12FF\n")), 0u);
}

TEST_F(HexConverterTest, ConversionEndsAtTheFirstLineWithoutAColon) {
  EXPECT_EQ(CountNotFF(Convert("; comment\n:0100000012ED\n")), 0u);
  const auto image = Convert(":0100000012ED\n\n:0100010034CA\n");  // an empty line ends it too
  EXPECT_EQ(image[0], 0x12);
  EXPECT_EQ(image[1], 0xFF);
}

TEST_F(HexConverterTest, BytesPastTheTopAreDroppedAndShortLinesWriteWhatTheyHold) {
  const auto top = Convert(":04FFFE00A1A2A3A400\n");
  EXPECT_EQ(top[0xFFFE], 0xA1);
  EXPECT_EQ(top[0xFFFF], 0xA2);
  EXPECT_EQ(CountNotFF(top), 2u);

  // Count 0x10 but only two and a half bytes of digits: two bytes written.
  const auto shortLine = Convert(":10200000C1C2C\n");
  EXPECT_EQ(shortLine[0x2000], 0xC1);
  EXPECT_EQ(shortLine[0x2001], 0xC2);
  EXPECT_EQ(CountNotFF(shortLine), 2u);
  EXPECT_EQ(CountNotFF(Convert(":10\n:0100000012ED\n")), 1u);  // a stub line writes nothing and reading goes on
}

TEST_F(HexConverterTest, ALineOver199CharactersIsCutAndEndsReading) {
  // Count 0xFF (255 bytes) on a 209-character line: only characters up to 198
  // are in the buffer, which hold 95 data bytes.
  std::string line = ":FF000000";
  for (int i = 0; i < 100; ++i) line += "5A";
  const auto image = Convert(line + "\n:01F0000077FF\n");
  EXPECT_EQ(image[94], 0x5A);
  EXPECT_EQ(image[95], 0xFF);
  EXPECT_EQ(image[0xF000], 0xFF);  // the next line is never read
  EXPECT_EQ(CountNotFF(image), 95u);

  // Exactly 199 characters and its CR LF: an ordinary line.
  std::string full = ":5F000000";
  for (int i = 0; i < 95; ++i) full += "11";
  ASSERT_EQ(full.size(), 199u);
  const auto fits = Convert(full + "\r\n:01F0000077FF\r\n");
  EXPECT_EQ(fits[94], 0x11);
  EXPECT_EQ(fits[0xF000], 0x77);
}

TEST_F(HexConverterTest, FileProblemsNameTheFile) {
  EXPECT_FALSE(converter->ConvertHexFile(dir.File("missing.hex")));
  EXPECT_EQ(converter->Problem().step, FileStep::Open);
  EXPECT_EQ(converter->Problem().path, dir.File("missing.hex"));

  const std::string input = dir.File("in.hex");
  WriteFile(input, std::string(":0100000012ED\n"));
  CHexImageConverter noDir(dir.File("absent/pgm.isp"));
  EXPECT_FALSE(noDir.ConvertHexFile(input));
  EXPECT_EQ(noDir.Problem().step, FileStep::Create);
  EXPECT_EQ(noDir.Problem().path, dir.File("absent/pgm.isp"));
  EXPECT_FALSE(noDir.Problem().cause.empty());
}

TEST(IntermediateImagePath, IsTheFixedFileOrAPrivateOneInTheTemporaryDirectory) {
#ifdef _WIN32
  EXPECT_EQ(brevan::DefaultIntermediateImagePlace().path, "c:\\pgm.isp");
  EXPECT_FALSE(brevan::DefaultIntermediateImagePlace().privateDirectory.empty());
#else
  const char* saved = std::getenv("TMPDIR");
  const std::string keep = saved ? saved : "";
  setenv("TMPDIR", "/var/tmp/x/", 1);
  EXPECT_EQ(brevan::DefaultIntermediateImagePlace().path, "");
  EXPECT_EQ(brevan::DefaultIntermediateImagePlace().privateDirectory, "/var/tmp/x");
  unsetenv("TMPDIR");
  EXPECT_EQ(brevan::DefaultIntermediateImagePlace().privateDirectory, "/tmp");
  if (saved) setenv("TMPDIR", keep.c_str(), 1);
#endif
}

}  // namespace
