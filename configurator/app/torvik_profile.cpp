#include "configurator/app/torvik_profile.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>

#include "configurator/resources/torvik_strings.h"
#include "framework/file.h"
#include "framework/sha256.h"
#include "framework/text_format.h"

namespace torvik {
namespace {

std::string FileText(std::string_view pattern, const std::string& file, std::string_view second) {
  return fw::FormatText(pattern, {file, second});
}

}  // namespace

LoadedProfile LoadProfile(const std::string& file) {
  LoadedProfile loaded;
  loaded.identity.file = file;
  loaded.identity.name = std::filesystem::path(file).stem().string();
  CFile in;
  std::string bytes;
  if (in.Open(file, FileMode::Read)) {
    std::array<std::uint8_t, 4096> chunk{};
    while (bytes.size() <= kProfileMaxBytes) {
      const std::int64_t got = in.Read(chunk);
      if (got <= 0) {
        if (got < 0) loaded.fault = FileText(TorvikString(IDS_PROFILE_CANNOT_READ), file, in.ErrorText());
        break;
      }
      bytes.append(reinterpret_cast<const char*>(chunk.data()), static_cast<std::size_t>(got));
    }
  } else {
    loaded.fault = FileText(TorvikString(IDS_PROFILE_CANNOT_READ), file, in.ErrorText());
  }
  if (!loaded.fault.empty()) return loaded;
  if (bytes.size() > kProfileMaxBytes) {
    loaded.fault = FileText(TorvikString(IDS_PROFILE_TOO_LARGE), file, std::to_string(kProfileMaxBytes));
    return loaded;
  }
  loaded.identity.sha256 = fw::Sha256Hex(bytes);
  ParsedProfile parsed = ParseProfile(bytes);
  if (parsed.fault) loaded.fault = ProfileFaultText(file, *parsed.fault);
  loaded.entries = std::move(parsed.entries);
  return loaded;
}

std::string ProfileFaultText(const std::string& file, const ProfileFault& f) {
  const std::string line = std::to_string(f.line);
  switch (f.kind) {
    case ProfileFaultKind::NotKeyValue: return fw::FormatText(TorvikString(IDS_PROFILE_NOT_KEY_VALUE), {file, line});
    case ProfileFaultKind::UnknownSection:
      return fw::FormatText(TorvikString(IDS_PROFILE_SECTION), {file, line, f.key});
    case ProfileFaultKind::UnknownKey: return fw::FormatText(TorvikString(IDS_PROFILE_UNKNOWN_KEY), {file, line, f.key});
    case ProfileFaultKind::NotInProfile:
      return fw::FormatText(TorvikString(IDS_PROFILE_NOT_IN_PROFILE), {file, line, f.key});
    case ProfileFaultKind::Repeated:
      return fw::FormatText(TorvikString(IDS_PROFILE_REPEATED), {file, line, f.key, std::to_string(f.firstLine)});
    case ProfileFaultKind::OpenQuote: return fw::FormatText(TorvikString(IDS_PROFILE_OPEN_QUOTE), {file, line, f.key});
    case ProfileFaultKind::BadValue:
      return fw::FormatText(TorvikString(IDS_PROFILE_BAD_VALUE), {file, line, f.key, f.value});
  }
  return {};
}

std::optional<std::string> SaveProfile(const std::string& file, const std::vector<GivenOption>& values) {
  const ProfileWriting writing = WriteProfileText(values, TorvikString(IDS_PROFILE_HEADER));
  if (!writing.unsavable.empty())
    return fw::FormatText(TorvikString(IDS_PROFILE_LINE_BREAK), {file, writing.unsavable});
  CFile out;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(writing.text.data());
  if (!out.Open(file, FileMode::CreateWrite) || !out.Write(std::span(bytes, writing.text.size())))
    return FileText(TorvikString(IDS_PROFILE_CANNOT_WRITE), file, out.ErrorText());
  out.Close();
  return std::nullopt;
}

bool CTorvikProfileOptions::Take(std::string_view name, const std::string& value, bool& ok) {
  if (name == "--profile") m_file = value;
  else if (name == "--save-profile") m_saveTo = value;
  else return false;
  ok = !value.empty();
  return true;
}

void CTorvikProfileOptions::Complete(TorvikOptions& options) {
  if (!m_file && !m_saveTo) return;  // the options as the line gave them
  std::vector<ProfileEntry> entries;
  if (m_file) {
    LoadedProfile loaded = LoadProfile(*m_file);
    if (!loaded.fault.empty()) {
      m_fault = std::move(loaded.fault);
      return;
    }
    m_profile = loaded.identity;
    entries = std::move(loaded.entries);
  }
  MergedOptions merged = MergeOptions(entries, m_given);
  if (merged.fault) {
    m_fault = ProfileFaultText(*m_file, *merged.fault);
    return;
  }
  options = std::move(merged.options);
  m_values = std::move(merged.values);
}

std::optional<int> CTorvikProfileOptions::Start(fe::RunContext& context, const TorvikOptions& options) const {
  if (!m_fault.empty()) {
    context.Err() << m_fault << '\n';
    return context.End(fe::kExitUsage);
  }
  fw::RunOutput& output = context.Output();
  if (m_profile) {
    output.Notice("profile", {fw::FormatText(TorvikString(IDS_PROFILE_IN_USE), {m_profile->name, m_profile->ShortDigest()})},
                  {{"name", m_profile->name}, {"file", m_profile->file}, {"sha256", m_profile->sha256}});
  }
  if (m_saveTo) {
    if (const std::optional<std::string> fault = SaveProfile(*m_saveTo, m_values)) {
      context.Err() << *fault << '\n';
      return context.End(fe::kExitUsage);
    }
    output.Notice("profile-saved", {fw::FormatText(TorvikString(IDS_PROFILE_SAVED), {*m_saveTo})},
                  {{"file", *m_saveTo}});
    if (SaveOnly(options)) return fe::kExitDone;
  }
  return std::nullopt;
}

}  // namespace torvik
