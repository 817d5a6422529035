// The demo firmware set: deterministic, free of the overlay magic, split
// images blank where the slot does not reach, and the written .bin and .hex
// files agreeing with each other and with the updater's own HEX converter.
#include "packaging/demo_firmware.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "packaging/intel_hex_reader.h"
#include "support/temp_dir.h"
#include "updater/image_bank/image_bank.h"

using brevan::pack::MakeDemoImage;
using brevan::pack::MemoryImage;
using testing_support::ReadFile;
using testing_support::TempDir;

namespace {

bool ContainsMagic(std::span<const std::uint8_t> bytes) {
  const auto magic = brevan::OverlayMagic();
  return std::search(bytes.begin(), bytes.end(), magic.begin(), magic.end()) != bytes.end();
}

TEST(DemoFirmware, ImagesAreRepeatableDistinctAndFreeOfTheMagic) {
  std::vector<MemoryImage> images;
  for (int k = 0; k < 10; ++k) {
    images.push_back(MakeDemoImage(k));
    EXPECT_EQ(images.back(), MakeDemoImage(k)) << "slot " << k;
    EXPECT_FALSE(ContainsMagic(images.back())) << "slot " << k;
    for (int j = 0; j < k; ++j) EXPECT_NE(images[static_cast<std::size_t>(j)], images.back()) << j << " vs " << k;
  }
  // Split images: the bytes between the slot's head and its body are never loaded.
  for (std::size_t k = 0; k < 4; ++k) {
    EXPECT_TRUE(std::all_of(images[k].begin() + 0xAF, images[k].begin() + 0x20AF, [](auto b) { return b == 0xFF; }))
        << "slot " << k;
  }
}

TEST(DemoFirmware, WrittenFilesMatchTheImagesInBothFormats) {
  TempDir dir;
  std::ostringstream out;
  std::ostringstream err;
  const std::vector<std::string> args = {"--out", dir.Path().string()};
  ASSERT_EQ(brevan::pack::RunMakeDemoFirmware(args, out, err), 0) << err.str();
  EXPECT_NE(ReadFile(dir.File("README.txt")).size(), 0u);

  auto parsed = std::make_unique<MemoryImage>();
  for (int k = 0; k < 10; ++k) {
    const MemoryImage image = MakeDemoImage(k);
    const std::string stem = dir.File(brevan::pack::DemoFileStem(k));
    EXPECT_EQ(ReadFile(stem + ".bin"), std::vector<std::uint8_t>(image.begin(), image.end())) << stem;

    const auto hex = ReadFile(stem + ".hex");
    EXPECT_FALSE(ContainsMagic(hex)) << stem;
    std::string message;
    ASSERT_TRUE(brevan::pack::ParseIntelHex({reinterpret_cast<const char*>(hex.data()), hex.size()}, stem, *parsed,
                                            message))
        << message;
    EXPECT_EQ(*parsed, image) << stem;
    // The updater's forgiving converter must read the same image.
    brevan::CHexImageConverter converter(dir.File("pgm.isp"));
    ASSERT_TRUE(converter.ConvertHexFile(stem + ".hex"));
    EXPECT_TRUE(std::equal(image.begin(), image.end(), converter.Image().begin())) << stem;
  }
  EXPECT_EQ(brevan::pack::DemoFileStem(0), "demo-slot0-GTM900-2");

  // Chosen as the updater's firmware file, slot 0's HEX file loads module 0.
  auto bank = std::make_unique<brevan::CImageBank>(dir.File("pgm.isp"));
  bank->PrepareSlots();
  ASSERT_TRUE(bank->LoadImageFromFile(dir.File("demo-slot0-GTM900-2.hex")));
  EXPECT_EQ(bank->m_nLoadedModule, 0);
  EXPECT_EQ(bank->m_strImageVersion[0], "591021");
  EXPECT_EQ(bank->m_nImageLength[0], 24064);
}

TEST(DemoFirmware, RefusesAMissingDirectoryAndBadUsage) {
  TempDir dir;
  std::ostringstream out;
  std::ostringstream err;
  const std::string missing = dir.File("no-such-dir");
  EXPECT_EQ(brevan::pack::RunMakeDemoFirmware(std::vector<std::string>{"--out", missing}, out, err), 1);
  EXPECT_NE(err.str().find("no-such-dir"), std::string::npos) << err.str();
  EXPECT_EQ(brevan::pack::RunMakeDemoFirmware(std::vector<std::string>{"--out"}, out, err), 2);
  EXPECT_EQ(brevan::pack::RunMakeDemoFirmware(std::vector<std::string>{}, out, err), 2);
}

}  // namespace
