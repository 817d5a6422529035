#include "framework/profile_place.h"

namespace fw {

std::string UserProfilePath(std::string_view appDataFolder, std::string_view fileName) {
  while (!appDataFolder.empty() && (appDataFolder.back() == '\\' || appDataFolder.back() == '/')) {
    appDataFolder.remove_suffix(1);
  }
  if (appDataFolder.empty() || fileName.empty()) return {};
  std::string_view stem = fileName;
  const std::size_t dot = stem.rfind('.');
  if (dot != std::string_view::npos && dot != 0) stem = stem.substr(0, dot);
  std::string path(appDataFolder);
  path += '\\';
  path += stem;
  path += '\\';
  path += fileName;
  return path;
}

ProfileLocation ChooseProfileLocation(std::string_view windowsFile, std::string_view userFile, bool userFileExists,
                                      bool windowsFileWritable) {
  // Without a user folder there is nowhere else: the platform's place, as before.
  if (userFile.empty()) return {std::string(windowsFile), {}};
  // Choices once saved there are the newest: a later write to the Windows
  // directory would hide them behind an older file, so they stay where they are.
  if (userFileExists) return {std::string(userFile), {}};
  if (windowsFileWritable) return {std::string(windowsFile), {}};
  // Until the first write creates the user's file, what an administrator left
  // in the Windows directory is still what the window starts with.
  return {std::string(userFile), std::string(windowsFile)};
}

}  // namespace fw
