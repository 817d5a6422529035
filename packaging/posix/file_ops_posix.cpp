#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "packaging/file_ops.h"

namespace brevan::pack::platform {

bool CopyPermissionBits(std::string_view from, std::string_view to, std::string& cause) {
  struct stat st{};
  if (::stat(std::string(from).c_str(), &st) != 0 ||
      ::chmod(std::string(to).c_str(), st.st_mode & (S_IRWXU | S_IRWXG | S_IRWXO)) != 0) {
    cause = std::strerror(errno);
    return false;
  }
  return true;
}

bool ReplaceFile(std::string_view from, std::string_view to, std::string& cause) {
  // rename() replaces the target in one step: a reader sees the old or the new file.
  if (std::rename(std::string(from).c_str(), std::string(to).c_str()) != 0) {
    cause = std::strerror(errno);
    return false;
  }
  return true;
}

void RemoveFile(std::string_view path) { std::remove(std::string(path).c_str()); }

}  // namespace brevan::pack::platform
