#include <windows.h>

#include "framework/profile.h"

#include <vector>

#include "framework/win32/wide_text.h"

namespace fw {
namespace {

bool IsFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The folder of a profile path, made when missing (one level: the program's
// folder under the user's application data).
void MakeParentFolder(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos || slash == 0) return;
  CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
}

}  // namespace

CProfile CProfile::ForProgram(std::string_view program) {
  std::string name(program);
  name += ".INI";
  return CProfile(std::move(name));
}

CProfile CProfile::AtFile(std::string path) { return CProfile(std::move(path)); }

std::string CProfile::FilePath() const {
  if (m_file.find_first_of("\\/:") != std::string::npos) return m_file;
  // A bare name is placed by the platform in the Windows directory.
  wchar_t dir[MAX_PATH + 1] = {};
  const UINT n = GetWindowsDirectoryW(dir, MAX_PATH + 1);
  if (n == 0 || n > MAX_PATH) return m_file;
  std::string path = win32::Narrow(std::wstring_view(dir, n));
  if (path.back() != '\\') path += '\\';
  path += m_file;
  return path;
}

namespace {

// The file reads go to: the profile's own, or the stand-in while it does not exist yet.
std::wstring ReadName(const std::string& file, const std::string& readWhileMissing) {
  std::wstring name = win32::Widen(file);
  if (!readWhileMissing.empty() && !IsFile(name)) name = win32::Widen(readWhileMissing);
  return name;
}

}  // namespace

std::string CProfile::GetProfileString(std::string_view section, std::string_view key, std::string_view def) const {
  const std::wstring file = ReadName(m_file, m_readWhileMissing);
  const std::wstring wsection = win32::Widen(section);
  const std::wstring wkey = win32::Widen(key);
  const std::wstring wdef = win32::Widen(def);
  // The call truncates silently (returning size - 1); grow until the value fits.
  std::vector<wchar_t> buf(256);
  for (;;) {
    const DWORD n = GetPrivateProfileStringW(wsection.c_str(), wkey.c_str(), wdef.c_str(), buf.data(),
                                             static_cast<DWORD>(buf.size()), file.c_str());
    if (n + 1 < buf.size() || buf.size() >= (1u << 24)) return win32::Narrow(std::wstring_view(buf.data(), n));
    buf.resize(buf.size() * 4);
  }
}

int CProfile::GetProfileInt(std::string_view section, std::string_view key, int def) const {
  return static_cast<int>(GetPrivateProfileIntW(win32::Widen(section).c_str(), win32::Widen(key).c_str(), def,
                                                ReadName(m_file, m_readWhileMissing).c_str()));
}

bool CProfile::WriteProfileString(std::string_view section, std::string_view key, std::string_view value) const {
  const std::wstring file = win32::Widen(m_file);
  auto write = [&] {
    return WritePrivateProfileStringW(win32::Widen(section).c_str(), win32::Widen(key).c_str(),
                                      win32::Widen(value).c_str(), file.c_str()) != FALSE;
  };
  if (write()) return true;
  // A placed profile's folder does not exist until its first write.
  if (m_readWhileMissing.empty()) return false;
  MakeParentFolder(file);
  return write();
}

}  // namespace fw
