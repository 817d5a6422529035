#include "framework/controls.h"

#include <climits>
#include <cstdint>

namespace fw {
namespace {

// Bytes of the UTF-8 sequence led by b (1 for a stray byte) and its UTF-16 units.
int SequenceBytes(unsigned char b) {
  if (b >= 0xF0) return 4;
  if (b >= 0xE0) return 3;
  if (b >= 0xC0) return 2;
  return 1;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

int Utf16Length(std::string_view text) {
  int units = 0;
  for (std::size_t i = 0; i < text.size();) {
    int bytes = SequenceBytes(static_cast<unsigned char>(text[i]));
    units += bytes == 4 ? 2 : 1;
    i += static_cast<std::size_t>(bytes);
  }
  return units;
}

std::string_view Utf16Prefix(std::string_view text, int units) {
  int used = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    int bytes = SequenceBytes(static_cast<unsigned char>(text[i]));
    int need = bytes == 4 ? 2 : 1;
    if (used + need > units) break;
    used += need;
    i += static_cast<std::size_t>(bytes);
  }
  if (i > text.size()) i = text.size();
  return text.substr(0, i);
}

bool BeginsWithNoCase(std::string_view item, std::string_view prefix) {
  if (prefix.size() > item.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (Lower(item[i]) != Lower(prefix[i])) return false;
  return true;
}

std::optional<int> ParseDialogInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::size_t digitsStart = i;
  std::int64_t value = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<std::int64_t>(INT_MAX) + 1) return std::nullopt;
    ++i;
  }
  if (i == digitsStart) return std::nullopt;
  while (i < text.size() && IsBlank(text[i])) ++i;
  if (i != text.size()) return std::nullopt;
  if (negative) value = -value;
  if (value > INT_MAX || value < INT_MIN) return std::nullopt;
  return static_cast<int>(value);
}

}  // namespace fw
