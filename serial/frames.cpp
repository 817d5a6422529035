#include "serial/frames.h"

#include <algorithm>
#include <limits>

namespace serial {

namespace {

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The decimal number at the start of text, as a leading-integer conversion
// reads it (white space, optional sign, digits), 0 when there is none; kept to 32 bits.
std::int32_t LeadingInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t value = 0;
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = std::min(value * 10 + (text[i] - '0'), kLimit);
  }
  value = negative ? -value : value;
  return static_cast<std::int32_t>(
      std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

std::uint8_t Low8(std::int32_t v) { return static_cast<std::uint8_t>(v & 0xFF); }

}  // namespace

std::array<std::uint8_t, kBlockPacketSize> BuildBlockPacket(std::span<const std::uint8_t, kPageBytes> data,
                                                            int address) {
  std::array<std::uint8_t, kBlockPacketSize> frame{};
  frame[0] = 0x24;
  frame[1] = 0x2C;
  frame[2] = 0xD3;
  frame[3] = Low8(address / 256);
  frame[4] = Low8(address);
  std::copy(data.begin(), data.end(), frame.begin() + 5);
  return frame;
}

std::vector<std::uint8_t> CommandPayload(std::string_view text) {
  std::vector<std::uint8_t> payload;
  std::size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && text[pos] == ' ') ++pos;
    const std::size_t end = std::min(text.find(' ', pos), text.size());
    const std::string_view token = text.substr(pos, end - pos);
    pos = end;
    if (token.empty()) continue;
    const std::string_view number = token.substr(1);
    switch (token[0]) {
      case 'A':
      case 'a':
        payload.push_back(token.size() > 1 ? static_cast<std::uint8_t>(token[1]) : 0);
        break;
      case 'C':
      case 'c':
        payload.push_back(Low8(LeadingInteger(number)));
        break;
      case 'I':
      case 'i': {
        const std::int32_t v = LeadingInteger(number);
        payload.push_back(Low8(v));
        payload.push_back(Low8(v / 256));
        break;
      }
      case 'L':
      case 'l': {
        // Low half first, each half high byte first.
        const std::int32_t v = LeadingInteger(number);
        const std::int32_t lo = v % 65536;
        const std::int32_t hi = v / 65536;
        payload.push_back(Low8(lo / 256));
        payload.push_back(Low8(lo));
        payload.push_back(Low8(hi / 256));
        payload.push_back(Low8(hi));
        break;
      }
      default:
        break;  // tokens of other letters add nothing
    }
  }
  return payload;
}

std::vector<std::uint8_t> BuildCommandPacket(std::uint8_t command, std::string_view argumentText) {
  const std::vector<std::uint8_t> payload = CommandPayload(argumentText);
  std::vector<std::uint8_t> frame;
  frame.reserve(payload.size() + 8);
  const auto n = payload.size();
  frame.push_back(0x24);
  frame.push_back(command);
  frame.push_back(static_cast<std::uint8_t>(command ^ 0xFF));
  frame.push_back(static_cast<std::uint8_t>(n & 0xFF));
  frame.push_back(static_cast<std::uint8_t>((n >> 8) & 0xFF));
  frame.insert(frame.end(), payload.begin(), payload.end());
  std::uint8_t check = 0;
  for (const std::uint8_t b : frame) check ^= b;
  frame.push_back(check);
  frame.push_back(0x0D);
  frame.push_back(0x0A);
  return frame;
}

}  // namespace serial
