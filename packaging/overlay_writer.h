#pragma once
// Builds the image overlay the updater finds behind its program file: block k
// holds a 30-byte header and the first 65,506 bytes of source image k.
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "packaging/memory_image.h"
#include "updater/image_bank/overlay_format.h"

namespace brevan::pack {

// Header after the magic: format letter and 12-character format text. Block 0
// carries the older format's marks, blocks 1-9 the newer one's.
inline constexpr char kFirstBlockLetter = 'b';
inline constexpr char kOtherBlockLetter = 'c';
inline constexpr std::string_view kFirstBlockFormat = "VERSION 3.00";
inline constexpr std::string_view kOtherBlockFormat = "VERSION 4.00";

// Returns the 655,360-byte overlay for the ten images.
std::vector<std::uint8_t> BuildOverlay(std::span<const MemoryImage, kOverlayBlocks> images);

}  // namespace brevan::pack
