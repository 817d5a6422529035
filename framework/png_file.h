#pragma once
// A minimal PNG writer: 8-bit RGB, stored deflate blocks, no compression
// library. Screenshots and the drawing layer's reference images use it.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace fw {

// CRC-32 as PNG chunks and zip use it (reflected, polynomial 0xEDB88320).
std::uint32_t Crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc = 0);
// Adler-32 as zlib streams end with it.
std::uint32_t Adler32(std::span<const std::uint8_t> bytes, std::uint32_t adler = 1);

// The whole file in memory; empty when the size is not positive, the pixel
// count does not match (width * height * 3 bytes, rows top to bottom) or the
// image is too large for one PNG.
std::vector<std::uint8_t> EncodePng(int width, int height, std::span<const std::uint8_t> rgb);
// false when the image is refused (as EncodePng) or the file cannot be written.
bool WritePngFile(const std::string& path, int width, int height, std::span<const std::uint8_t> rgb);

}  // namespace fw
