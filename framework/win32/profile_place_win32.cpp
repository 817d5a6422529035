#include <windows.h>
#include <shlobj.h>

#include "framework/win32/profile_place_win32.h"

#include <string>

#include "framework/profile_place.h"
#include "framework/win32/wide_text.h"

namespace fw::win32 {
namespace {

std::string WindowsDirectoryFile(const std::string& name) {
  wchar_t dir[MAX_PATH + 1] = {};
  const UINT n = GetWindowsDirectoryW(dir, MAX_PATH + 1);
  if (n == 0 || n > MAX_PATH) return {};
  std::string path = Narrow(std::wstring_view(dir, n));
  if (path.back() != '\\') path += '\\';
  return path + name;
}

std::string AppDataFolder() {
  wchar_t dir[MAX_PATH + 1] = {};
  if (SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, dir) != S_OK) return {};
  return Narrow(dir);
}

bool IsFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Opens the file for writing as the profile calls would: created when
// missing, an existing one left as it is. A file made only for the trial is
// removed again. Refused (no rights, read-only, a directory of that name):
// false.
bool CanWrite(const std::string& path) {
  if (path.empty()) return false;
  const std::wstring wide = Widen(path);
  HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool created = GetLastError() != ERROR_ALREADY_EXISTS;
  CloseHandle(file);
  if (created) DeleteFileW(wide.c_str());
  return true;
}

}  // namespace

CProfile PlacedProgramProfile(std::string_view modulePath) {
  const std::string name = ProfileFileName(modulePath);
  const std::string userFile = UserProfilePath(AppDataFolder(), name);
  const bool userFileExists = !userFile.empty() && IsFile(userFile);
  // Only tried when it matters: a user's own file wins anyway.
  const bool windowsWritable = !userFile.empty() && !userFileExists && CanWrite(WindowsDirectoryFile(name));
  return CProfile::Placed(ChooseProfileLocation(name, userFile, userFileExists, windowsWritable));
}

}  // namespace fw::win32
