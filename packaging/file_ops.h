#pragma once
// The few file operations CFile does not offer; one backend per system
// (posix/, win32/). Each returns false with the system's cause on failure.
#include <string>
#include <string_view>

namespace brevan::pack::platform {

// POSIX: to gets from's rwx bits. Windows: nothing to copy.
bool CopyPermissionBits(std::string_view from, std::string_view to, std::string& cause);
// Moves from over to, replacing an existing to.
bool ReplaceFile(std::string_view from, std::string_view to, std::string& cause);
// Best effort: removes a file we made; a missing file is fine.
void RemoveFile(std::string_view path);

}  // namespace brevan::pack::platform
