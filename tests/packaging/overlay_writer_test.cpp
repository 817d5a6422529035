// The overlay's block layout: each block's 30-byte header, and every data
// byte traced back to its source image.
#include "packaging/overlay_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using brevan::pack::MemoryImage;

namespace {

TEST(OverlayWriter, TenBlocksOfHeaderAndImageBytes) {
  // Each image byte tells its image and address apart from the others.
  std::vector<MemoryImage> images(10);
  for (std::size_t k = 0; k < 10; ++k) {
    for (std::size_t a = 0; a < images[k].size(); ++a) {
      images[k][a] = static_cast<std::uint8_t>((a * 131 + (a >> 8) * 7 + k * 29 + 1) % 251);
    }
  }
  const auto overlay = brevan::pack::BuildOverlay(std::span<const MemoryImage, 10>(images.data(), 10));
  ASSERT_EQ(overlay.size(), 655360u);

  const auto magic = brevan::OverlayMagic();
  for (std::size_t k = 0; k < 10; ++k) {
    const std::size_t block = k * 65536;
    std::string header(magic.begin(), magic.end());
    header += k == 0 ? "bVERSION 3.00" : "cVERSION 4.00";
    header += '\0';
    header.append(7, '\xFF');
    ASSERT_EQ(header.size(), 30u);
    EXPECT_EQ(std::string(overlay.begin() + static_cast<std::ptrdiff_t>(block),
                          overlay.begin() + static_cast<std::ptrdiff_t>(block + 30)),
              header)
        << "block " << k;
    // Image bytes 0..65505 follow the header; 0xFFE2 and up are not carried.
    for (std::size_t a = 0; a < 65506; ++a) {
      ASSERT_EQ(overlay[block + 30 + a], images[k][a]) << "block " << k << " image byte " << a;
    }
  }
}

}  // namespace
