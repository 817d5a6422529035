#include "framework/profile.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace fw {

std::string ProfileFileName(std::string_view modulePath) {
  const std::size_t slash = modulePath.find_last_of("/\\");
  std::string_view base = slash == std::string_view::npos ? modulePath : modulePath.substr(slash + 1);
  const std::size_t dot = base.rfind('.');
  if (dot != std::string_view::npos && dot != 0) base = base.substr(0, dot);
  std::string name(base);
  name += ".INI";
  return name;
}

CProfile CProfile::Placed(ProfileLocation location) {
  return CProfile(std::move(location.file), std::move(location.readWhileMissing));
}

std::string ProfileDirectory(std::string_view program, const char* xdgConfigHome, const char* home) {
  std::string dir;
  if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/') {
    dir = xdgConfigHome;
  } else if (home != nullptr && home[0] != '\0') {
    dir = home;
    if (dir.back() != '/') dir += '/';
    dir += ".config";
  } else {
    return {};
  }
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  dir += '/';
  dir += program;
  return dir;
}

namespace ini {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

struct Line {
  std::size_t begin;  // offset of the line in the text
  std::size_t end;    // offset just past its content (before the LF)
};

std::vector<Line> SplitLines(std::string_view text) {
  std::vector<Line> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t lf = text.find('\n', pos);
    if (lf == std::string_view::npos) lf = text.size();
    lines.push_back({pos, lf});
    pos = lf + 1;
  }
  return lines;
}

// "[name]" gives name (trimmed); anything else is not a section header.
std::optional<std::string_view> SectionName(std::string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  const std::size_t close = line.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trim(line.substr(1, close - 1));
}

struct Pair {
  std::string_view key;
  std::string_view value;
};

// "key=value" (trimmed); comment lines and lines without '=' hold none.
std::optional<Pair> KeyValue(std::string_view line) {
  const std::string_view t = Trim(line);
  if (t.empty() || t.front() == ';') return std::nullopt;
  const std::size_t eq = t.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return Pair{Trim(t.substr(0, eq)), Trim(t.substr(eq + 1))};
}

std::string_view SkipBom(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  return text;
}

}  // namespace

std::optional<std::string> Find(std::string_view text, std::string_view section, std::string_view key) {
  text = SkipBom(text);
  bool inSection = false;
  for (const Line& l : SplitLines(text)) {
    const std::string_view line = text.substr(l.begin, l.end - l.begin);
    if (const auto name = SectionName(line)) {
      inSection = SameName(*name, section);
      continue;
    }
    if (!inSection) continue;
    if (const auto kv = KeyValue(line); kv && SameName(kv->key, key)) return std::string(kv->value);
  }
  return std::nullopt;
}

std::string Set(std::string_view text, std::string_view section, std::string_view key, std::string_view value) {
  std::string entry(key);
  entry += '=';
  entry += value;

  const std::size_t bom = text.size() - SkipBom(text).size();
  bool inSection = false;
  bool sawSection = false;
  std::size_t insertAt = 0;  // just past the last line of the wanted section
  for (Line l : SplitLines(text)) {
    // The mark is not part of the first line: a section header right behind it counts (and stays behind it).
    l.begin = std::max(l.begin, bom);
    const std::string_view line = text.substr(l.begin, l.end - l.begin);
    if (const auto name = SectionName(line)) {
      inSection = SameName(*name, section);
      if (inSection && !sawSection) {
        sawSection = true;
        insertAt = l.end;
      }
      continue;
    }
    if (!inSection) continue;
    if (const auto kv = KeyValue(line); kv && SameName(kv->key, key)) {
      std::string out(text.substr(0, l.begin));
      out += entry;
      out += text.substr(l.end);
      return out;
    }
    // Blank lines after a section's last entry stay between it and the next section.
    if (!Trim(line).empty()) insertAt = l.end;
  }

  std::string out;
  if (sawSection) {
    out = text.substr(0, insertAt);
    out += '\n';
    out += entry;
    out += text.substr(insertAt);
    if (insertAt == text.size()) out += '\n';
    return out;
  }
  out = text;
  if (!out.empty() && out.back() != '\n') out += '\n';
  out += '[';
  out += section;
  out += "]\n";
  out += entry;
  out += '\n';
  return out;
}

int ParseInt(std::string_view value) {
  std::size_t i = 0;
  while (i < value.size() && (value[i] == ' ' || value[i] == '\t')) ++i;
  bool negative = false;
  if (i < value.size() && (value[i] == '+' || value[i] == '-')) negative = value[i++] == '-';
  // Unsigned 32-bit arithmetic: too many digits wrap as on the platform.
  std::uint32_t n = 0;
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
    n = n * 10u + static_cast<std::uint32_t>(value[i] - '0');
  }
  if (negative) n = 0u - n;
  return static_cast<int>(n);
}

}  // namespace ini

bool CProfile::WriteProfileInt(std::string_view section, std::string_view key, int value) const {
  return WriteProfileString(section, key, std::to_string(value));
}

}  // namespace fw
