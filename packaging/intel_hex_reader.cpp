#include "packaging/intel_hex_reader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "framework/text_format.h"
#include "packaging/pack_messages.h"

namespace brevan::pack {

namespace {

enum RecordType : std::uint8_t {
  kData = 0x00,
  kEndOfFile = 0x01,
  kExtendedSegment = 0x02,
  kStartSegment = 0x03,
  kExtendedLinear = 0x04,
  kStartLinear = 0x05,
};

// Count, two address bytes, type and checksum.
constexpr std::size_t kFrameBytes = 5;

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string HexByte(std::uint8_t value) {
  constexpr std::string_view kDigits = "0123456789ABCDEF";
  return {kDigits[value >> 4], kDigits[value & 0x0F]};
}

bool IsBlank(std::string_view line) { return line.find_first_not_of(" \t") == std::string_view::npos; }

// Checks one record line and decodes its bytes; false with message set.
bool DecodeRecord(std::string_view line, std::string_view fileName, const std::string& lineNo,
                  std::vector<std::uint8_t>& bytes, std::string& message) {
  if (line.front() != ':') {
    message = fw::FormatText(msg::kHexNoColon, {fileName, lineNo});
    return false;
  }
  const std::string_view digits = line.substr(1);
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (DigitValue(digits[i]) < 0) {
      const char c = digits[i];
      const std::string shown = (c >= 0x20 && c < 0x7F) ? std::string(1, c) : "\\x" + HexByte(static_cast<std::uint8_t>(c));
      message = fw::FormatText(msg::kHexBadDigit, {fileName, lineNo, shown, std::to_string(i + 2)});
      return false;
    }
  }
  if (digits.size() % 2 != 0) {
    message = fw::FormatText(msg::kHexOddDigits, {fileName, lineNo});
    return false;
  }
  bytes.clear();
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(DigitValue(digits[i]) * 16 + DigitValue(digits[i + 1])));
  }
  if (bytes.size() < kFrameBytes) {
    message = fw::FormatText(msg::kHexTooShort, {fileName, lineNo});
    return false;
  }
  const std::size_t count = bytes[0];
  const std::size_t carried = bytes.size() - kFrameBytes;
  if (carried != count) {
    message = fw::FormatText(msg::kHexLengthMismatch,
                             {fileName, lineNo, std::to_string(count), std::to_string(carried)});
    return false;
  }
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i + 1 < bytes.size(); ++i) sum = static_cast<std::uint8_t>(sum + bytes[i]);
  const auto expected = static_cast<std::uint8_t>(0x100 - sum);
  if (bytes.back() != expected) {
    message = fw::FormatText(msg::kHexBadChecksum, {fileName, lineNo, HexByte(bytes.back()), HexByte(expected)});
    return false;
  }
  return true;
}

}  // namespace

bool ParseIntelHex(std::string_view text, std::string_view fileName, MemoryImage& image, std::string& message) {
  image.fill(0xFF);
  std::uint32_t base = 0;
  std::vector<std::uint8_t> bytes;
  std::size_t lineNumber = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t end = std::min(text.find('\n', pos), text.size());
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    ++lineNumber;
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (IsBlank(line)) continue;

    const std::string lineNo = std::to_string(lineNumber);
    if (!DecodeRecord(line, fileName, lineNo, bytes, message)) return false;
    const std::size_t count = bytes[0];
    const std::uint32_t offset = static_cast<std::uint32_t>(bytes[1]) << 8 | bytes[2];
    const std::uint8_t type = bytes[3];
    const std::span<const std::uint8_t> data = std::span(bytes).subspan(4, count);

    // Fixed data lengths of the records other than data.
    constexpr std::array<std::size_t, 6> kTypeLength = {0, 0, 2, 4, 2, 4};
    if (type > kStartLinear) {
      message = fw::FormatText(msg::kHexUnknownType, {fileName, lineNo, HexByte(type)});
      return false;
    }
    if (type != kData && count != kTypeLength[type]) {
      message = fw::FormatText(msg::kHexBadTypeLength, {fileName, lineNo, HexByte(type), std::to_string(count),
                                                        std::to_string(kTypeLength[type])});
      return false;
    }
    const std::uint32_t value = count == 2 ? static_cast<std::uint32_t>(data[0]) << 8 | data[1] : 0;
    switch (type) {
      case kData:
        for (std::size_t i = 0; i < count; ++i) {
          image[(base + offset + i) & 0xFFFF] = data[i];
        }
        break;
      case kEndOfFile:
        return true;
      case kExtendedSegment:
        base = value * 16;
        break;
      case kExtendedLinear:
        base = value << 16;
        break;
      default:  // start addresses: the board starts where its vector says
        break;
    }
  }
  message = fw::FormatText(msg::kHexNoEnd, {fileName});
  return false;
}

}  // namespace brevan::pack
