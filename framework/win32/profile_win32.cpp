#include <windows.h>

#include "framework/profile.h"

#include <vector>

#include "framework/win32/wide_text.h"

namespace fw {

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

std::string CProfile::GetProfileString(std::string_view section, std::string_view key, std::string_view def) const {
  const std::wstring file = win32::Widen(m_file);
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
                                                win32::Widen(m_file).c_str()));
}

bool CProfile::WriteProfileString(std::string_view section, std::string_view key, std::string_view value) const {
  return WritePrivateProfileStringW(win32::Widen(section).c_str(), win32::Widen(key).c_str(),
                                    win32::Widen(value).c_str(), win32::Widen(m_file).c_str()) != FALSE;
}

}  // namespace fw
