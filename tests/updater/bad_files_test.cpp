// Files that are not what they should be: a program file cut inside its
// overlay or with a damaged magic, and HEX files that are huge, binary junk or
// made of very long lines. Each ends with a clear result, quickly.
#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "support/temp_dir.h"
#include "updater/image_bank/image_bank.h"
#include "updater/resources/brevan_strings.h"

namespace {

using brevan::CHexImageConverter;
using brevan::CImageBank;
using brevan::FileStep;
using testing_support::TempDir;
using testing_support::WriteFile;

constexpr std::size_t kPrefix = 5000;

// A program file: code, then ten blocks each headed by the magic.
std::vector<std::uint8_t> ProgramWithOverlay() {
  std::vector<std::uint8_t> file(kPrefix + brevan::kOverlaySize, 0x90);
  const auto magic = brevan::OverlayMagic();
  for (std::size_t k = 0; k < brevan::kOverlayBlocks; ++k) {
    std::copy(magic.begin(), magic.end(), file.begin() + static_cast<std::ptrdiff_t>(kPrefix + k * brevan::kBlockSize));
  }
  return file;
}

TEST(BadProgramFile, ACutOrADamagedMagicIsRefusedWithTheFilesNameOrNotTakenForAnOverlay) {
  enum class Ends { Loads, Truncated, NoOverlay };
  struct Row {
    const char* what;
    std::function<void(std::vector<std::uint8_t>&)> damage;
    Ends ends;
    std::int64_t bytesFound = 0;
  };
  const Row rows[] = {
      {"cut inside the first block's header", [](auto& f) { f.resize(kPrefix + 20); }, Ends::Truncated, 20},
      {"cut in the middle of block 4", [](auto& f) { f.resize(kPrefix + 4 * brevan::kBlockSize + 1234); }, Ends::Truncated,
       4 * brevan::kBlockSize + 1234},
      {"cut one byte before the last byte read", [](auto& f) { f.resize(f.size() - 8); }, Ends::Truncated,
       brevan::kOverlayBytesRead - 1},
      // The first magic found is block 1's: the overlay seems to start a block late and runs past the end.
      {"block 0's magic damaged", [](auto& f) { f[kPrefix + 3] ^= 0x20; }, Ends::Truncated,
       brevan::kOverlaySize - brevan::kBlockSize},
      {"every magic damaged", [](auto& f) { for (std::size_t k = 0; k < 10; ++k) f[kPrefix + k * brevan::kBlockSize] = 0; },
       Ends::NoOverlay},
      {"a later block's magic damaged", [](auto& f) { f[kPrefix + 5 * brevan::kBlockSize + 8] ^= 1; }, Ends::Loads},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    TempDir dir;
    auto file = ProgramWithOverlay();
    row.damage(file);
    auto bank = std::make_unique<CImageBank>(dir.File("pgm.isp"));
    bank->m_strExePath = dir.File("Brevan.exe");
    WriteFile(bank->m_strExePath, file);
    bank->PrepareSlots();
    const bool found = bank->FindImageBank();
    EXPECT_FALSE(bank->Problem());
    if (row.ends == Ends::NoOverlay) {
      EXPECT_FALSE(found);
      continue;
    }
    ASSERT_TRUE(found);
    EXPECT_EQ(bank->LoadImageBank(), row.ends == Ends::Loads);
    if (row.ends == Ends::Truncated) {
      EXPECT_EQ(bank->Problem().step, FileStep::OverlayTruncated);
      EXPECT_EQ(bank->Problem().bytesFound, row.bytesFound);
      EXPECT_EQ(bank->m_nLoadMode, -1);
      const std::string text = brevan::DescribeFileProblem(fw::UiLanguage::English, bank->Problem());
      EXPECT_NE(text.find(bank->m_strExePath), std::string::npos) << text;
    }
  }
}

TEST(BadHexFile, HugeJunkOrLongLinedFilesConvertQuicklyWithinTheImage) {
  std::mt19937 rng(7);
  std::string junk(1 << 20, '\0');
  for (char& c : junk) c = static_cast<char>(rng());
  junk[0] = ':';  // a record mark first, so reading does not stop at once
  std::string huge;  // 10 MB of records, each 16 bytes at a rising address
  for (std::size_t i = 0; huge.size() < 10'000'000; ++i) {
    char line[64];
    std::snprintf(line, sizeof line, ":10%04X00%032X00\r\n", static_cast<unsigned>((i * 16) & 0xFFFF), 0u);
    huge += line;
  }
  const std::string longLine = ":10000000" + std::string(9991, 'A') + "\n:0100100042AD\n";
  struct Row {
    const char* what;
    std::string text;
    int expectByte0;        // image[0] afterwards
    int expectByte0x1000;   // image[0x1000] afterwards
  };
  const Row rows[] = {
      {"10 MB of records", huge, 0x00, 0x00},
      {"binary junk", junk, -1, -1},
      {"a 10,000-character line", longLine, 0xAA, 0xFF},  // cut at 199 characters, then reading ends
      {"10,000-character lines only", std::string(10'000, ':') + "\n" + std::string(10'000, 'x'), 0xFF, 0xFF},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    TempDir dir;
    WriteFile(dir.File("in.hex"), row.text);
    CHexImageConverter converter(dir.File("pgm.isp"));
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(converter.ConvertHexFile(dir.File("in.hex"))) << converter.Problem().cause;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(testing_support::ReadFile(converter.ImagePath()).size(), CHexImageConverter::kImageSize);
    if (row.expectByte0 >= 0) {
      EXPECT_EQ(converter.Image()[0], row.expectByte0);
    }
    if (row.expectByte0x1000 >= 0) {
      EXPECT_EQ(converter.Image()[0x1000], row.expectByte0x1000);
    }

    // As the chosen firmware file the whole bank loads from it, its raw bytes in the flat slots.
    auto bank = std::make_unique<CImageBank>(dir.File("pgm2.isp"));
    bank->PrepareSlots();
    ASSERT_TRUE(bank->LoadImageFromFile(dir.File("in.hex")));
    EXPECT_EQ(bank->m_nLoadMode, 1);
    EXPECT_EQ(bank->SlotBytes(4)[1], static_cast<std::uint8_t>(row.text[1]));
  }
}

}  // namespace
