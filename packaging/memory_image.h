#pragma once
// The board's 64 KB memory image: image byte a is program address a.
#include <array>
#include <cstddef>
#include <cstdint>

namespace brevan::pack {

inline constexpr std::size_t kImageSize = 0x10000;
using MemoryImage = std::array<std::uint8_t, kImageSize>;

}  // namespace brevan::pack
