#include "serial/port_list.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <system_error>

namespace serial {
namespace {

struct NameKey {
  std::string_view stem;
  std::string_view digits;  // without leading zeros
  std::string_view whole;
};

NameKey KeyOf(std::string_view name) {
  std::size_t end = name.size();
  while (end > 0 && name[end - 1] >= '0' && name[end - 1] <= '9') --end;
  std::string_view digits = name.substr(end);
  while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
  return {name.substr(0, end), digits, name};
}

bool Before(const NameKey& a, const NameKey& b) {
  if (a.stem != b.stem) return a.stem < b.stem;
  // Longer digit strings are larger numbers; equal lengths compare as text.
  if (a.digits.size() != b.digits.size()) return a.digits.size() < b.digits.size();
  if (a.digits != b.digits) return a.digits < b.digits;
  return a.whole < b.whole;
}

}  // namespace

bool IsNumberedName(std::string_view name, std::string_view stem) {
  if (!name.starts_with(stem) || name.size() == stem.size()) return false;
  return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(stem.size()), name.end(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

void SortByPortNumber(std::vector<std::string>& names) {
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return Before(KeyOf(a), KeyOf(b)); });
}

std::vector<std::string> ListSerialDevices(const std::string& dir, const SerialProbe& probeTtyS) {
  constexpr std::string_view kGroups[] = {"ttyS", "ttyUSB", "ttyACM"};
  std::vector<std::string> groups[std::size(kGroups)];
  std::error_code ec;
  std::filesystem::directory_iterator it(dir, ec);
  if (ec) return {};
  for (const std::filesystem::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) break;
    const std::string name = it->path().filename().string();
    for (std::size_t g = 0; g < std::size(kGroups); ++g) {
      if (IsNumberedName(name, kGroups[g])) groups[g].push_back(name);
    }
  }
  std::vector<std::string> out;
  for (std::size_t g = 0; g < std::size(kGroups); ++g) {
    SortByPortNumber(groups[g]);
    for (const std::string& name : groups[g]) {
      std::string path = (std::filesystem::path(dir) / name).string();
      if (g == 0 && probeTtyS && !probeTtyS(path)) continue;
      out.push_back(std::move(path));
    }
  }
  return out;
}

}  // namespace serial
