#include "framework/png_file.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>

namespace fw {
namespace {

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}
constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();

void PutBe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 24));
  out.push_back(static_cast<std::uint8_t>(v >> 16));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}

void PutChunk(std::vector<std::uint8_t>& out, const char (&type)[5], std::span<const std::uint8_t> data) {
  PutBe32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t typeAt = out.size();
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(type[i]));
  out.insert(out.end(), data.begin(), data.end());
  // The CRC covers type and data, not the length.
  PutBe32(out, Crc32(std::span<const std::uint8_t>(out).subspan(typeAt)));
}

// zlib stream of stored blocks (at most 65535 bytes each).
std::vector<std::uint8_t> StoredZlib(std::span<const std::uint8_t> raw) {
  std::vector<std::uint8_t> z;
  z.reserve(raw.size() + raw.size() / 65535 * 5 + 16);
  z.push_back(0x78);  // deflate, 32 KiB window
  z.push_back(0x01);  // no preset dictionary, fastest; 0x7801 is a multiple of 31
  std::size_t at = 0;
  do {
    const std::size_t n = std::min<std::size_t>(raw.size() - at, 65535);
    const bool last = at + n == raw.size();
    z.push_back(last ? 1 : 0);  // BFINAL, BTYPE 00
    const auto len = static_cast<std::uint16_t>(n);
    const auto nlen = static_cast<std::uint16_t>(~len);
    z.push_back(static_cast<std::uint8_t>(len));
    z.push_back(static_cast<std::uint8_t>(len >> 8));
    z.push_back(static_cast<std::uint8_t>(nlen));
    z.push_back(static_cast<std::uint8_t>(nlen >> 8));
    z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(at), raw.begin() + static_cast<std::ptrdiff_t>(at + n));
    at += n;
  } while (at < raw.size());
  PutBe32(z, Adler32(raw));
  return z;
}

}  // namespace

std::uint32_t Crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc) {
  crc = ~crc;
  for (std::uint8_t b : bytes) crc = kCrcTable[(crc ^ b) & 0xFFu] ^ (crc >> 8);
  return ~crc;
}

std::uint32_t Adler32(std::span<const std::uint8_t> bytes, std::uint32_t adler) {
  constexpr std::uint32_t kMod = 65521;
  std::uint32_t a = adler & 0xFFFFu, b = adler >> 16;
  std::size_t i = 0;
  while (i < bytes.size()) {
    // 5552 is the most bytes before b can overflow 32 bits.
    const std::size_t end = std::min(bytes.size(), i + 5552);
    for (; i < end; ++i) {
      a += bytes[i];
      b += a;
    }
    a %= kMod;
    b %= kMod;
  }
  return (b << 16) | a;
}

std::vector<std::uint8_t> EncodePng(int width, int height, std::span<const std::uint8_t> rgb) {
  if (width <= 0 || height <= 0) return {};
  const auto w = static_cast<std::uint64_t>(width), h = static_cast<std::uint64_t>(height);
  const std::uint64_t rowBytes = w * 3;
  // One IDAT chunk holds the whole stream; keep it well inside 2^31 - 1.
  const std::uint64_t rawBytes = (rowBytes + 1) * h;
  if (rawBytes > (std::uint64_t{1} << 30) || rgb.size() != rowBytes * h) return {};

  std::vector<std::uint8_t> raw;
  raw.reserve(static_cast<std::size_t>(rawBytes));
  for (std::uint64_t y = 0; y < h; ++y) {
    raw.push_back(0);  // filter: none
    const auto row = rgb.subspan(static_cast<std::size_t>(y * rowBytes), static_cast<std::size_t>(rowBytes));
    raw.insert(raw.end(), row.begin(), row.end());
  }

  std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> ihdr;
  PutBe32(ihdr, static_cast<std::uint32_t>(width));
  PutBe32(ihdr, static_cast<std::uint32_t>(height));
  ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, adaptive filters, no interlace
  PutChunk(out, "IHDR", ihdr);
  PutChunk(out, "IDAT", StoredZlib(raw));
  PutChunk(out, "IEND", {});
  return out;
}

bool WritePngFile(const std::string& path, int width, int height, std::span<const std::uint8_t> rgb) {
  const std::vector<std::uint8_t> png = EncodePng(width, height, rgb);
  if (png.empty() || path.empty()) return false;
  // The path is UTF-8; through a u8 path the library opens it by its wide name on Windows.
  const std::filesystem::path file(std::u8string(path.begin(), path.end()));
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  out.close();
  return !out.fail();
}

}  // namespace fw
