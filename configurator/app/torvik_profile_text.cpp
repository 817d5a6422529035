#include "configurator/app/torvik_profile_text.h"

#include <algorithm>
#include <array>
#include <map>

namespace torvik {
namespace {

// The skeleton's options: they belong to a run, never to a profile.
constexpr std::array<std::string_view, 4> kSkeletonKeys{"help", "json", "progress", "trace"};
constexpr std::array<std::string_view, 2> kProfileOptions{"--profile", "--save-profile"};

std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

bool IsProfileOption(std::string_view name) {
  return std::find(kProfileOptions.begin(), kProfileOptions.end(), name) != kProfileOptions.end();
}

// The option a key names, when a profile may give it.
const fe::OptionSpec* ProfileOption(std::string_view name) {
  for (const fe::OptionSpec& spec : TorvikOptionTable())
    if (spec.name == name && spec.takes == fe::Takes::Value && !IsProfileOption(name)) return &spec;
  return nullptr;
}

bool CommandLineOnly(std::string_view key, std::string_view name) {
  if (std::find(kSkeletonKeys.begin(), kSkeletonKeys.end(), key) != kSkeletonKeys.end()) return true;
  for (const fe::OptionSpec& spec : TorvikOptionTable())
    if (spec.name == name) return true;  // a flag, or --profile itself
  return false;
}

bool IsQuote(char c) { return c == '"' || c == '\''; }

bool NeedsQuotes(std::string_view value) {
  return value.empty() || Trim(value) != value || IsQuote(value.front());
}

}  // namespace

ParsedProfile ParseProfile(std::string_view text) {
  ParsedProfile parsed;
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);  // an editor's byte-order mark
  std::map<std::string, int> firstLines;
  int number = 0;
  auto fail = [&](ProfileFaultKind kind, std::string_view key, std::string_view value = {}, int firstLine = 0) {
    parsed.fault = ProfileFault{kind, number, std::string(key), std::string(value), firstLine};
    return parsed;
  };
  while (!text.empty()) {
    ++number;
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    line = Trim(line);
    if (line.empty() || line.front() == '#' || line.front() == ';') continue;
    if (line.front() == '[') {
      if (!line.ends_with(']')) return fail(ProfileFaultKind::NotKeyValue, {});
      const std::string_view section = Trim(line.substr(1, line.size() - 2));
      if (Lower(section) != "torvik") return fail(ProfileFaultKind::UnknownSection, section);
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos || Trim(line.substr(0, equals)).empty())
      return fail(ProfileFaultKind::NotKeyValue, {});
    const std::string_view key = Trim(line.substr(0, equals));
    std::string_view value = Trim(line.substr(equals + 1));
    const std::string lowerKey = Lower(key);
    const std::string name = "--" + lowerKey;
    if (ProfileOption(name) == nullptr)
      return fail(CommandLineOnly(lowerKey, name) ? ProfileFaultKind::NotInProfile : ProfileFaultKind::UnknownKey, key);
    if (const auto first = firstLines.find(name); first != firstLines.end())
      return fail(ProfileFaultKind::Repeated, key, {}, first->second);
    firstLines.emplace(name, number);
    if (!value.empty() && IsQuote(value.front())) {
      if (value.size() < 2 || value.back() != value.front()) return fail(ProfileFaultKind::OpenQuote, key);
      value = value.substr(1, value.size() - 2);
    }
    parsed.entries.push_back({number, {name, std::string(value)}});
  }
  return parsed;
}

MergedOptions MergeOptions(std::span<const ProfileEntry> profile, std::span<const GivenOption> commandLine) {
  MergedOptions merged;
  std::map<std::string, std::string, std::less<>> last;
  for (const ProfileEntry& entry : profile) {
    if (!TakeTorvikOption(merged.options, entry.option.name, entry.option.value)) {
      merged.fault = ProfileFault{ProfileFaultKind::BadValue, entry.line, entry.option.name.substr(2),
                                  entry.option.value, 0};
      return merged;
    }
    last[entry.option.name] = entry.option.value;
  }
  // Taken once already when the line was read: each is accepted again.
  for (const GivenOption& given : commandLine) {
    TakeTorvikOption(merged.options, given.name, given.value);
    last[given.name] = given.value;
  }
  for (const fe::OptionSpec& spec : TorvikOptionTable())
    if (const auto found = last.find(spec.name); found != last.end())
      merged.values.push_back({std::string(spec.name), found->second});
  return merged;
}

ProfileWriting WriteProfileText(std::span<const GivenOption> values, std::string_view header) {
  ProfileWriting writing;
  std::string text;
  for (std::string_view rest = header; !rest.empty();) {
    const std::size_t end = rest.find('\n');
    text += std::string(rest.substr(0, end)) + "\n";
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  }
  text += "[torvik]\n";
  for (const GivenOption& option : values) {
    if (option.value.find_first_of("\r\n") != std::string::npos) {
      writing.unsavable = option.name;
      return writing;
    }
    const std::string_view key = std::string_view(option.name).substr(2);
    text += std::string(key) + " = ";
    text += NeedsQuotes(option.value) ? "\"" + option.value + "\"" : option.value;
    text += '\n';
  }
  writing.text = std::move(text);
  return writing;
}

}  // namespace torvik
