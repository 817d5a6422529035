// The profile's INI text model over arbitrary texts: a value written with Set
// is what Find reads back, every other key keeps its value, and integers read
// without fault.
//
// Input = section '\x01' key '\x01' value '\x01' text; a name that an INI line
// cannot hold (line break, ']' in a section, '=' in a key, ...) is skipped.
#include <string>

#include "framework/profile.h"
#include "fuzz/fuzz_support.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool Writable(std::string_view section, std::string_view key, std::string_view value) {
  if (section.find_first_of("]\n") != std::string_view::npos || Trim(section) != section) return false;
  if (key.find_first_of("=\n") != std::string_view::npos || Trim(key) != key) return false;
  if (!key.empty() && (key.front() == ';' || key.front() == '[')) return false;
  return value.find('\n') == std::string_view::npos;
}

// Splits off the text before the next '\x01'.
std::string_view Take(std::string_view& rest) {
  const std::size_t at = rest.find('\x01');
  const std::string_view part = rest.substr(0, at);
  rest = at == std::string_view::npos ? std::string_view() : rest.substr(at + 1);
  return part;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  const std::string_view section = Take(rest);
  const std::string_view key = Take(rest);
  const std::string_view value = Take(rest);
  const std::string_view text = rest;

  const auto before = fw::ini::Find(text, section, key);
  if (before) fw::ini::ParseInt(*before);
  fw::ini::ParseInt(value);
  if (!Writable(section, key, value)) return 0;

  const std::string after = fw::ini::Set(text, section, key, value);
  FUZZ_CHECK(fw::ini::Find(after, section, key) == std::string(Trim(value)));
  // Another key of the same section keeps what it read before.
  const std::string other = std::string(key) + "x";
  FUZZ_CHECK(fw::ini::Find(after, section, other) == fw::ini::Find(text, section, other));
  return 0;
}
