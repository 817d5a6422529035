#include <array>
#include <cstdlib>
#include <string_view>
#include <unistd.h>

#include "framework/platform_paths.h"
#include "framework/ui_language.h"

namespace fw {

std::string ModuleFilePath() {
  std::array<char, 4096> buf{};
  const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return {};
  return std::string(buf.data(), static_cast<std::size_t>(n));
}

std::string HostName() {
  std::array<char, 256> name{};
  if (gethostname(name.data(), name.size() - 1) != 0) return {};
  return std::string(name.data());
}

std::string TemporaryDirectory() {
  const char* tmp = std::getenv("TMPDIR");
  std::string dir = (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

std::string JoinPath(const std::string& dir, const std::string& name) {
  if (dir.empty() || dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

UiLanguage SystemUiLanguage() {
  for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(var);
    if (value == nullptr || *value == '\0') continue;
    return std::string_view(value).starts_with("zh") ? UiLanguage::Chinese : UiLanguage::English;
  }
  return UiLanguage::English;
}

}  // namespace fw
