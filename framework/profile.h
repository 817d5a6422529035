#pragma once
// The program's private settings file ("<program>.INI"): string and integer
// values by section and key, names compared without regard to ASCII case.
//
// Win32: the platform's private-profile calls with the bare file name, so the
// file lives in the Windows directory, or with a path Placed() chose (see
// framework/profile_place.h). POSIX: the same INI format in
// $XDG_CONFIG_HOME/<program>/<program>.INI, else ~/.config/<program>/...,
// rewritten atomically (temporary file, then rename).
//
// Integers read like the platform does: leading blanks, an optional sign and
// the leading decimal digits; a value present without digits reads as 0, a
// missing or empty value gives the default.
//
// Texts are UTF-8. On Windows the platform keeps a file it creates in the ANSI
// code page, so there values outside that code page do not survive.
#include <optional>
#include <string>
#include <string_view>

#include "framework/profile_place.h"

// <windows.h> maps these names to its own calls; the member names win in
// files that include this header after it.
#ifdef GetProfileString
#undef GetProfileString
#endif
#ifdef WriteProfileString
#undef WriteProfileString
#endif
#ifdef GetProfileInt
#undef GetProfileInt
#endif

namespace fw {

class CProfile {
 public:
  // The profile of the program named (e.g. "Brevan" gives "Brevan.INI").
  static CProfile ForProgram(std::string_view program);
  // A profile at an explicit path (tests, tools).
  static CProfile AtFile(std::string path);
  // Win32: written to location.file, whose folder is made when missing; read
  // from location.readWhileMissing while location.file does not exist.
  static CProfile Placed(ProfileLocation location);

  // Name handed to the platform: the bare file name, or the explicit path.
  const std::string& FileName() const { return m_file; }
  // Full path of the file on this system (UTF-8).
  std::string FilePath() const;

  std::string GetProfileString(std::string_view section, std::string_view key, std::string_view def) const;
  bool WriteProfileString(std::string_view section, std::string_view key, std::string_view value) const;
  int GetProfileInt(std::string_view section, std::string_view key, int def) const;
  bool WriteProfileInt(std::string_view section, std::string_view key, int value) const;

 private:
  explicit CProfile(std::string file, std::string readWhileMissing = {})
      : m_file(std::move(file)), m_readWhileMissing(std::move(readWhileMissing)) {}
  std::string m_file;
  std::string m_readWhileMissing;
};

// "C:\\x\\Brevan.exe" or "/usr/bin/brevan" to "Brevan.INI" / "brevan.INI".
std::string ProfileFileName(std::string_view modulePath);

// The INI text model the POSIX backend keeps files in; platform-neutral so
// that it is tested everywhere.
namespace ini {
// The value of key in section; nullopt when either is missing.
std::optional<std::string> Find(std::string_view text, std::string_view section, std::string_view key);
// text with key in section set to value, all other lines kept as they were.
std::string Set(std::string_view text, std::string_view section, std::string_view key, std::string_view value);
// The platform's integer reading of a present value.
int ParseInt(std::string_view value);
}  // namespace ini

// POSIX: the directory the program's profile lives in, from the values of
// XDG_CONFIG_HOME and HOME (either may be null); empty when neither helps.
std::string ProfileDirectory(std::string_view program, const char* xdgConfigHome, const char* home);

}  // namespace fw
