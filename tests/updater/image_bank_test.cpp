// The image bank: finding the overlay, both slot layouts traced back to file
// offsets, the length rounding, the version texts, and load mode 1.
#include "updater/image_bank/image_bank.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/temp_dir.h"

using brevan::CImageBank;
using brevan::FileStep;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

constexpr std::size_t kBlock = 0x10000;

std::string Magic() {
  const auto m = brevan::OverlayMagic();
  return {m.begin(), m.end()};
}

// A byte that differs from its neighbours and from other blocks, so that a
// slot byte read from the wrong file offset is noticed.
std::uint8_t Pattern(std::size_t fileOffset) {
  return static_cast<std::uint8_t>((fileOffset * 131 + (fileOffset >> 8) * 7 + 3) % 251);
}

// A program file: `prefix` bytes of code, then a ten-block overlay whose
// headers carry the magic and whose other bytes follow Pattern().
std::vector<std::uint8_t> ProgramFile(std::size_t prefix) {
  std::vector<std::uint8_t> file(prefix + 10 * kBlock);
  for (std::size_t i = 0; i < file.size(); ++i) file[i] = Pattern(i);
  const std::string magic = Magic();
  for (std::size_t k = 0; k < 10; ++k) {
    std::memcpy(&file[prefix + k * kBlock], magic.data(), magic.size());
  }
  return file;
}

class ImageBankTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::unique_ptr<CImageBank> bank = std::make_unique<CImageBank>(dir.File("pgm.isp"));

  void UseProgram(const std::vector<std::uint8_t>& bytes) {
    bank->m_strExePath = dir.File("brevan");
    WriteFile(bank->m_strExePath, bytes);
    bank->PrepareSlots();
  }
};

TEST_F(ImageBankTest, SlotBytesComeFromTheirFileOffsetsInBothLayouts) {
  constexpr std::size_t kPrefix = 12345;
  const auto file = ProgramFile(kPrefix);
  UseProgram(file);
  ASSERT_TRUE(bank->FindImageBank());
  EXPECT_EQ(bank->m_nOverlayOffset, static_cast<std::int32_t>(kPrefix));
  ASSERT_TRUE(bank->LoadImageBank());
  EXPECT_EQ(bank->m_nLoadMode, 10);
  EXPECT_EQ(bank->m_nLoadedModule, -1);

  for (std::size_t k = 0; k < 10; ++k) {
    const std::size_t block = kPrefix + k * kBlock;
    const auto& slot = bank->m_imageBank[k];
    if (k < 4) {
      for (std::size_t s = 0; s < 0xAF; ++s) ASSERT_EQ(slot[s], file[block + 30 + s]) << k << ":" << s;
      for (std::size_t s = 0xAF; s < 0xE000; ++s) ASSERT_EQ(slot[s], file[block + 0x201E + s]) << k << ":" << s;
      EXPECT_EQ(slot[0xAF], file[block + 0x20CD]);
      // The body's last 30 bytes are the next block's header: its magic.
      EXPECT_EQ(std::string(slot.begin() + 0xDFE2, slot.begin() + 0xDFEB), Magic());
      for (std::size_t s = 0xE000; s < kBlock; ++s) ASSERT_EQ(slot[s], 0xFF) << k << ":" << s;
    } else {
      for (std::size_t s = 0; s < 0xFFDB; ++s) ASSERT_EQ(slot[s], file[block + 30 + s]) << k << ":" << s;
    }
  }
}

TEST_F(ImageBankTest, SearchRestartsAfterAPartialMatchAndTakesTheFirstOccurrence) {
  auto file = ProgramFile(4096);
  const std::string magic = Magic();
  // "DDATASTART" and "DATASTAR" + "X" before the real overlay: the first
  // full match starts at the second D of the doubled one.
  std::memcpy(&file[100], "DATASTARX", 9);
  file[1000] = 'D';
  std::memcpy(&file[1001], magic.data(), magic.size());
  UseProgram(file);
  ASSERT_TRUE(bank->FindImageBank());
  EXPECT_EQ(bank->m_nOverlayOffset, 1001);
}

TEST_F(ImageBankTest, MagicAcrossTheSearchsReadChunksIsFound) {
  // The search reads 1 MiB at a time; put the magic across that boundary and
  // a partial match just before it.
  for (const std::size_t at : {std::size_t{(1u << 20) - 4}, std::size_t{(1u << 20) - 9}, std::size_t{(1u << 20)},
                               std::size_t{(2u << 20) - 1}}) {
    std::vector<std::uint8_t> file(at + 9 + 100, 0x11);
    std::memcpy(&file[at - 3], "DAT", 3);
    const std::string magic = Magic();
    std::memcpy(&file[at], magic.data(), magic.size());
    UseProgram(file);
    EXPECT_TRUE(bank->FindImageBank()) << at;
    EXPECT_EQ(bank->m_nOverlayOffset, static_cast<std::int32_t>(at));
  }
}

TEST_F(ImageBankTest, NoMagicIsNotFoundWithoutAProblem) {
  std::vector<std::uint8_t> file(300000, 'D');
  UseProgram(file);
  EXPECT_FALSE(bank->FindImageBank());
  EXPECT_EQ(bank->m_nOverlayOffset, 0);
  EXPECT_FALSE(bank->Problem());
}

TEST_F(ImageBankTest, UnreadableOrTruncatedProgramFileStopsLoadingWithItsName) {
  bank->m_strExePath = dir.File("missing.exe");
  EXPECT_FALSE(bank->FindImageBank());
  EXPECT_EQ(bank->Problem().step, FileStep::Open);
  EXPECT_EQ(bank->Problem().path, bank->m_strExePath);
  EXPECT_FALSE(bank->Problem().cause.empty());

  // The last block's last 7 bytes are never read: a file may end right after the last byte read.
  auto file = ProgramFile(1000);
  file.resize(file.size() - 8);
  UseProgram(file);
  ASSERT_TRUE(bank->FindImageBank());
  EXPECT_FALSE(bank->LoadImageBank());
  EXPECT_EQ(bank->Problem().step, FileStep::OverlayTruncated);
  EXPECT_EQ(bank->Problem().bytesFound, 10 * 65536 - 8);
  EXPECT_EQ(bank->m_nLoadMode, -1);
}

TEST_F(ImageBankTest, AnOverlayEndingRightAfterItsLastReadByteLoads) {
  constexpr std::size_t kPrefix = 1000;
  const auto whole = ProgramFile(kPrefix);
  for (const std::size_t cut : {std::size_t{0}, std::size_t{1}, std::size_t{7}}) {
    std::vector<std::uint8_t> file(whole.begin(), whole.end() - static_cast<std::ptrdiff_t>(cut));
    UseProgram(file);
    ASSERT_TRUE(bank->FindImageBank()) << cut;
    ASSERT_TRUE(bank->LoadImageBank()) << cut;
    EXPECT_EQ(bank->m_nLoadMode, 10);
    // Slot 9's last byte read is the file's last byte.
    EXPECT_EQ(bank->m_imageBank[9][0xFFDA], whole[kPrefix + 9 * kBlock + 30 + 0xFFDA]) << cut;
  }
  EXPECT_EQ(whole.size() - 7, kPrefix + 9 * kBlock + 30 + 0xFFDB);
}

TEST_F(ImageBankTest, LengthsRoundTheLastUsedByteUpToWholePages) {
  bank->PrepareSlots();
  for (auto& slot : bank->m_imageBank) slot.fill(0xFF);
  auto& s = bank->m_imageBank;
  s[0][0x7F] = 0;          // last byte of page 0
  s[1][0x80] = 0;          // first byte of page 1
  s[2][0xDFBF] = 0;        // at the scan start
  s[3][0xDFC0] = 0;        // above it: ignored; the slot is empty
  s[4][0xE000] = 0x12;     // slot 4 scans from 0xDFBF like slots 0-3
  s[4][0x1000] = 0x34;
  s[6][0xFFDA] = 0;        // slots 6-9 scan from 0xFFDA
  s[7][0xFFDB] = 0;        // beyond it
  s[8][0] = 0;             // only byte 0 used
  bank->MeasureImageLengths();
  EXPECT_EQ(bank->m_nImageLength[0], 128);
  EXPECT_EQ(bank->m_nImageLength[1], 256);
  EXPECT_EQ(bank->m_nImageLength[2], 0xE000);
  EXPECT_EQ(bank->m_nImageLength[3], 128);
  EXPECT_EQ(bank->m_nImageLength[4], 0x1080);
  EXPECT_EQ(bank->m_nImageLength[5], 128);
  EXPECT_EQ(bank->m_nImageLength[6], 0x10000);
  EXPECT_EQ(bank->m_nImageLength[7], 128);
  EXPECT_EQ(bank->m_nImageLength[8], 128);
  EXPECT_EQ(bank->m_nImageLength[9], 128);
}

TEST_F(ImageBankTest, VersionTextsStopAtNulOrAtTheSlotsCharacterCount) {
  bank->PrepareSlots();
  auto put = [&](int slot, std::size_t at, std::string_view text) {
    std::memcpy(&bank->m_imageBank[slot][at], text.data(), text.size());
  };
  put(0, 0xB0, "5910219999");  // 6 characters taken
  put(2, 0xB0, std::string_view("7100412\0xyz", 11));
  put(3, 0xB0, "8091230ABCDEFGHIJKLMN");  // 16 taken
  put(5, 0x4000, "A120807-and-then-more-text");  // 20 taken
  bank->m_imageBank[6][0x4000] = 0;
  EXPECT_EQ(bank->CutVersionText(0), "591021");
  EXPECT_EQ(bank->CutVersionText(2), "7100412");
  EXPECT_EQ(bank->CutVersionText(3), "8091230ABCDEFGHI");
  EXPECT_EQ(bank->CutVersionText(5), "A120807-and-then-mor");
  EXPECT_EQ(bank->CutVersionText(6), "");
}

// A HEX text file with slot 0's version at 0x20B0 and, as raw text, an 'A'
// version at its byte 0x4000: both slot 0 and slot 5 match, the later wins.
TEST_F(ImageBankTest, LoadModeOneTakesTheLastSlotWhoseTextCarriesItsLetter) {
  std::string hex = ":0400000002337A0001\n:0620B00035393130323120\n:00000001FF\n";
  hex += "# not a record: conversion stops here\n";
  hex.resize(0x4000, '#');
  hex += "A120807";
  hex.append(40, '\0');
  const std::string chosen = dir.File("firmware.hex");
  WriteFile(chosen, hex);
  bank->PrepareSlots();
  ASSERT_TRUE(bank->LoadImageFromFile(chosen)) << bank->Problem().cause;
  EXPECT_EQ(bank->m_nLoadMode, 1);
  EXPECT_EQ(bank->m_nLoadedModule, 5);
  EXPECT_EQ(bank->m_strImageVersion[0], "591021");
  EXPECT_EQ(bank->m_strImageVersion[5], "A120807");
  for (int k : {1, 2, 3, 4, 6, 7, 8, 9}) EXPECT_EQ(bank->m_strImageVersion[k], "") << k;

  // Slots 0-3: the converted image in the split layout.
  EXPECT_EQ(bank->m_imageBank[0][0], 0x02);
  EXPECT_EQ(bank->m_imageBank[0][2], 0x7A);
  for (int k = 1; k < 4; ++k) {
    EXPECT_TRUE(std::equal(bank->m_imageBank[0].begin(), bank->m_imageBank[0].begin() + 0xE000,
                           bank->m_imageBank[k].begin()))
        << k;
  }
  // Slots 4-9: the file's own bytes, 0xFF past its end.
  for (int k = 4; k < 10; ++k) {
    EXPECT_EQ(bank->m_imageBank[k][0], ':') << k;
    EXPECT_EQ(bank->m_imageBank[k][0x4000], 'A') << k;
    EXPECT_EQ(bank->m_imageBank[k][0x4000 + 7 + 40], 0xFF) << k;
  }
  EXPECT_EQ(bank->m_nImageLength[4], 0x4080);  // last non-0xFF byte: the final NUL at 0x402E
}

TEST_F(ImageBankTest, LoadModeOneWithNoMatchingTextLeavesTheLoadedModuleUnset) {
  const std::string chosen = dir.File("plain.bin");
  WriteFile(chosen, std::string(100, 'x'));
  bank->PrepareSlots();
  ASSERT_TRUE(bank->LoadImageFromFile(chosen));
  EXPECT_EQ(bank->m_nLoadMode, 1);
  EXPECT_EQ(bank->m_nLoadedModule, -1);
  for (const auto& text : bank->m_strImageVersion) EXPECT_EQ(text, "");
}

TEST_F(ImageBankTest, LoadModeOneReportsTheFileThatFailed) {
  bank->PrepareSlots();
  EXPECT_FALSE(bank->LoadImageFromFile(dir.File("nope.hex")));
  EXPECT_EQ(bank->Problem().step, FileStep::Open);
  EXPECT_EQ(bank->Problem().path, dir.File("nope.hex"));

  const std::string chosen = dir.File("ok.hex");
  WriteFile(chosen, std::string(":00000001FF\n"));
  CImageBank unwritable(dir.File("no-such-dir/pgm.isp"));
  unwritable.PrepareSlots();
  EXPECT_FALSE(unwritable.LoadImageFromFile(chosen));
  EXPECT_EQ(unwritable.Problem().step, FileStep::Create);
  EXPECT_EQ(unwritable.Problem().path, dir.File("no-such-dir/pgm.isp"));
  EXPECT_EQ(unwritable.m_nLoadMode, -1);
}

}  // namespace
