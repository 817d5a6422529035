#include <windows.h>

#include <array>

#include "framework/platform_paths.h"
#include "framework/ui_language.h"
#include "framework/win32/wide_text.h"

namespace fw {

std::string ModuleFilePath() {
  std::array<wchar_t, 32768> buf{};
  const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
  if (n == 0 || n >= buf.size()) return {};
  return win32::Narrow(std::wstring_view(buf.data(), n));
}

std::string HostName() {
  std::array<wchar_t, 256> name{};
  DWORD size = static_cast<DWORD>(name.size());
  if (!GetComputerNameExW(ComputerNameDnsHostname, name.data(), &size)) return {};
  return win32::Narrow(std::wstring_view(name.data(), size));
}

std::string TemporaryDirectory() {
  std::array<wchar_t, MAX_PATH + 1> buf{};
  const DWORD n = GetTempPathW(static_cast<DWORD>(buf.size()), buf.data());
  std::string dir = (n == 0 || n > buf.size()) ? std::string("C:\\") : win32::Narrow(std::wstring_view(buf.data(), n));
  while (dir.size() > 3 && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
  return dir;
}

std::string JoinPath(const std::string& dir, const std::string& name) {
  if (dir.empty() || dir.back() == '\\' || dir.back() == '/') return dir + name;
  return dir + "\\" + name;
}

UiLanguage SystemUiLanguage() {
  // Primary language is the low 10 bits of the language id; 4 is Chinese.
  return (GetSystemDefaultLangID() & 0x3FF) == LANG_CHINESE ? UiLanguage::Chinese : UiLanguage::English;
}

}  // namespace fw
