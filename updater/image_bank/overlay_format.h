#pragma once
// The image overlay appended to the updater's program file: ten blocks of
// 65,536 bytes, each a 30-byte header and 65,506 bytes of image data.
#include <array>
#include <cstdint>
#include <string_view>

namespace brevan {

inline constexpr std::uint32_t kSlotSize = 0x10000;
inline constexpr std::uint32_t kBlockSize = 0x10000;
inline constexpr std::uint32_t kBlockHeaderSize = 30;
inline constexpr std::uint32_t kBlockDataSize = kBlockSize - kBlockHeaderSize;  // 65,506
inline constexpr std::uint32_t kOverlayBlocks = 10;
inline constexpr std::uint32_t kOverlaySize = kBlockSize * kOverlayBlocks;  // 655,360
inline constexpr std::size_t kMagicSize = 9;

// Split-layout pieces: the image from 0x2000 up, then its first 175 bytes in front.
inline constexpr std::uint32_t kSplitImageBase = 0x2000;
inline constexpr std::uint32_t kSplitBodyBytes = 0xE000;
inline constexpr std::uint32_t kSplitHeadBytes = 0xAF;
// Flat layout: the image's first 65,499 bytes.
inline constexpr std::uint32_t kFlatBytes = 0xFFDB;

// How much of the overlay the bank reads: up to the end of the last block's
// flat data, 7 bytes short of the overlay's end. A program file may end there.
inline constexpr std::uint32_t kOverlayBytesRead = (kOverlayBlocks - 1) * kBlockSize + kBlockHeaderSize + kFlatBytes;
static_assert(kOverlayBytesRead == kOverlaySize - 7);
static_assert(3 * kBlockSize + kBlockHeaderSize + kSplitImageBase + kSplitBodyBytes <= kOverlayBytesRead,
              "the last split-layout read ends inside the overlay's read part");

// The overlay's magic text. It is put together at run time so that the nine
// bytes never stand in a row in any program file we build: the search takes
// the first occurrence in the file.
std::array<char, kMagicSize> OverlayMagic();

inline std::string_view AsView(const std::array<char, kMagicSize>& magic) {
  return {magic.data(), magic.size()};
}

}  // namespace brevan
