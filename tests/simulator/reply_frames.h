#pragma once
// Loader reply frames read back the way the updater reads them: skip any
// byte that does not start 0x24, type, complement; a frame is n + 10 bytes.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace simtest {

struct ParsedFrame {
  std::uint8_t type = 0;
  std::string payload;
};

inline std::vector<ParsedFrame> ParseReplies(std::span<const std::uint8_t> bytes) {
  std::vector<ParsedFrame> frames;
  std::size_t pos = 0;
  while (pos + 7 < bytes.size()) {
    if (bytes[pos] != 0x24 || bytes[pos + 1] + bytes[pos + 2] != 0xFF) {
      ++pos;
      continue;
    }
    const std::size_t n = bytes[pos + 3] | static_cast<std::size_t>(bytes[pos + 4]) << 8;
    if (n + 10 > bytes.size() - pos) break;
    frames.push_back(ParsedFrame{bytes[pos + 1], std::string(bytes.begin() + static_cast<std::ptrdiff_t>(pos + 7),
                                                             bytes.begin() + static_cast<std::ptrdiff_t>(pos + 7 + n))});
    pos += n + 10;
  }
  return frames;
}

inline std::string Types(const std::vector<ParsedFrame>& frames) {
  std::string types;
  for (const auto& f : frames) types += static_cast<char>(f.type);
  return types;
}

}  // namespace simtest
