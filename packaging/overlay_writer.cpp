#include "packaging/overlay_writer.h"

#include <algorithm>

namespace brevan::pack {

namespace {

constexpr std::size_t kLetterAt = kMagicSize;      // 9
constexpr std::size_t kFormatAt = kLetterAt + 1;   // 10
constexpr std::size_t kFormatChars = 12;
constexpr std::size_t kZeroAt = kFormatAt + kFormatChars;  // 22; 23-29 stay 0xFF
static_assert(kFirstBlockFormat.size() == kFormatChars && kOtherBlockFormat.size() == kFormatChars);
static_assert(kZeroAt + 8 == kBlockHeaderSize);

}  // namespace

std::vector<std::uint8_t> BuildOverlay(std::span<const MemoryImage, kOverlayBlocks> images) {
  std::vector<std::uint8_t> overlay(kOverlaySize, 0xFF);
  const auto magic = OverlayMagic();
  for (std::size_t k = 0; k < kOverlayBlocks; ++k) {
    const auto block = std::span(overlay).subspan(k * kBlockSize, kBlockSize);
    std::copy(magic.begin(), magic.end(), block.begin());
    block[kLetterAt] = static_cast<std::uint8_t>(k == 0 ? kFirstBlockLetter : kOtherBlockLetter);
    const std::string_view format = k == 0 ? kFirstBlockFormat : kOtherBlockFormat;
    std::copy(format.begin(), format.end(), block.begin() + kFormatAt);
    block[kZeroAt] = 0x00;
    // The image's top 30 bytes do not fit beside the header and are dropped.
    std::copy_n(images[k].begin(), kBlockDataSize, block.begin() + kBlockHeaderSize);
  }
  return overlay;
}

}  // namespace brevan::pack
