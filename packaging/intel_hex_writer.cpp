#include "packaging/intel_hex_writer.h"

#include <algorithm>
#include <cstdint>
#include <span>

namespace brevan::pack {

namespace {

constexpr std::size_t kRowBytes = 16;

void AppendHexByte(std::string& out, std::uint8_t value) {
  constexpr std::string_view kDigits = "0123456789ABCDEF";
  out += kDigits[value >> 4];
  out += kDigits[value & 0x0F];
}

}  // namespace

std::string FormatIntelHex(const MemoryImage& image) {
  std::string out;
  for (std::size_t address = 0; address < image.size(); address += kRowBytes) {
    const auto row = std::span(image).subspan(address, kRowBytes);
    if (std::all_of(row.begin(), row.end(), [](std::uint8_t b) { return b == 0xFF; })) continue;
    const std::uint8_t header[] = {static_cast<std::uint8_t>(kRowBytes), static_cast<std::uint8_t>(address >> 8),
                                   static_cast<std::uint8_t>(address & 0xFF), 0x00};
    std::uint8_t sum = 0;
    out += ':';
    for (const std::uint8_t b : header) {
      AppendHexByte(out, b);
      sum = static_cast<std::uint8_t>(sum + b);
    }
    for (const std::uint8_t b : row) {
      AppendHexByte(out, b);
      sum = static_cast<std::uint8_t>(sum + b);
    }
    AppendHexByte(out, static_cast<std::uint8_t>(0x100 - sum));
    out += "\r\n";
  }
  out += ":00000001FF\r\n";
  return out;
}

}  // namespace brevan::pack
