#include <cerrno>
#include <cstdio>
#include <cstring>

#include "framework/win32/wide_text.h"
#include "packaging/file_ops.h"

namespace brevan::pack::platform {

bool CopyPermissionBits(std::string_view, std::string_view, std::string&) { return true; }

bool ReplaceFile(std::string_view from, std::string_view to, std::string& cause) {
  // The C runtime's rename does not replace: remove the old target first.
  const std::wstring wideTo = fw::win32::Widen(to);
  if (_wremove(wideTo.c_str()) != 0 && errno != ENOENT) {
    cause = std::strerror(errno);
    return false;
  }
  if (_wrename(fw::win32::Widen(from).c_str(), wideTo.c_str()) != 0) {
    cause = std::strerror(errno);
    return false;
  }
  return true;
}

void RemoveFile(std::string_view path) { _wremove(fw::win32::Widen(path).c_str()); }

}  // namespace brevan::pack::platform
