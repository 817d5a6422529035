#include "framework/text_format.h"

#include <vector>

namespace fw {

std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> args) {
  const std::vector<std::string_view> values(args);
  std::string out;
  out.reserve(pattern.size() + 32);
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '%' && i + 1 < pattern.size()) {
      const char next = pattern[i + 1];
      if (next == '%') {
        out += '%';
        ++i;
        continue;
      }
      if (next >= '1' && next <= '9') {
        const std::size_t index = static_cast<std::size_t>(next - '1');
        if (index < values.size()) out += values[index];
        ++i;
        continue;
      }
    }
    out += c;
  }
  return out;
}

}  // namespace fw
