#pragma once
// Where a Windows program keeps its profile when the Windows directory may not
// be writable for the user who runs it (a 64-bit program is not redirected,
// so there a write by a user without administrator rights just fails).
//
// The file in the Windows directory is kept where it can be written; else the
// profile goes to <application data>\<program>\<program>.INI. Once that file
// exists it is read first. The choice is plain logic over what the host found
// out by trying, so it is tested on every platform.
#include <string>
#include <string_view>

namespace fw {

struct ProfileLocation {
  std::string file;              // written, and read once it exists
  std::string readWhileMissing;  // read instead while file does not exist (empty: none)
};

// "C:\\Users\\u\\AppData\\Roaming" and "Brevan.INI" to
// "C:\\Users\\u\\AppData\\Roaming\\Brevan\\Brevan.INI"; empty without a folder.
std::string UserProfilePath(std::string_view appDataFolder, std::string_view fileName);

// windowsFile: the bare name the platform puts in the Windows directory;
// userFile: UserProfilePath's result (may be empty); userFileExists: a file is
// there; windowsFileWritable: opening it for writing (created when missing,
// never emptied) succeeded.
ProfileLocation ChooseProfileLocation(std::string_view windowsFile, std::string_view userFile, bool userFileExists,
                                      bool windowsFileWritable);

}  // namespace fw
