#include "records/hex_text.h"

namespace records {
namespace {

std::string Hex(std::span<const std::uint8_t> bytes, const char* digits, bool spaced) {
  std::string text;
  text.reserve(bytes.size() * (spaced ? 3 : 2));
  for (const std::uint8_t b : bytes) {
    if (spaced && !text.empty()) text += ' ';
    text += digits[b >> 4];
    text += digits[b & 0x0F];
  }
  return text;
}

}  // namespace

std::string SpacedHex(std::span<const std::uint8_t> bytes) { return Hex(bytes, "0123456789ABCDEF", true); }
std::string PackedHex(std::span<const std::uint8_t> bytes) { return Hex(bytes, "0123456789abcdef", false); }

}  // namespace records
