#include "framework/profile.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace fw {
namespace {

// Files larger than this are taken as damaged and read as empty.
constexpr off_t kMaxProfileBytes = 16 * 1024 * 1024;

std::string ReadWhole(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  std::string text;
  struct stat st{};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMaxProfileBytes) {
    char buf[8192];
    for (;;) {
      const ssize_t n = ::read(fd, buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      text.append(buf, static_cast<std::size_t>(n));
      if (text.size() > static_cast<std::size_t>(kMaxProfileBytes)) {
        text.clear();
        break;
      }
    }
  }
  ::close(fd);
  return text;
}

bool MakeDirectories(const std::string& dir) {
  for (std::size_t pos = 1; pos <= dir.size(); ++pos) {
    if (pos != dir.size() && dir[pos] != '/') continue;
    const std::string part = dir.substr(0, pos);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return true;
}

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Readers see either the old file or the new one, never a half-written one.
bool ReplaceAtomically(const std::string& path, const std::string& text) {
  const std::size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash != 0 && !MakeDirectories(path.substr(0, slash))) return false;
  std::string temp = path;
  temp += ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  struct stat old{};
  if (::stat(path.c_str(), &old) == 0) ::fchmod(fd, old.st_mode & 07777);
  else ::fchmod(fd, 0644);
  const bool ok = WriteAll(fd, text) && ::fsync(fd) == 0;
  if (::close(fd) != 0 || !ok || ::rename(temp.c_str(), path.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace

CProfile CProfile::ForProgram(std::string_view program) {
  std::string name(program);
  name += ".INI";
  std::string dir = ProfileDirectory(program, std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
  if (dir.empty()) return CProfile(std::move(name));
  dir += '/';
  dir += name;
  return CProfile(std::move(dir));
}

CProfile CProfile::AtFile(std::string path) { return CProfile(std::move(path)); }

std::string CProfile::FilePath() const { return m_file; }

std::string CProfile::GetProfileString(std::string_view section, std::string_view key, std::string_view def) const {
  const std::optional<std::string> value = ini::Find(ReadWhole(m_file), section, key);
  return value ? *value : std::string(def);
}

int CProfile::GetProfileInt(std::string_view section, std::string_view key, int def) const {
  const std::string value = GetProfileString(section, key, {});
  if (value.empty()) return def;
  return ini::ParseInt(value);
}

bool CProfile::WriteProfileString(std::string_view section, std::string_view key, std::string_view value) const {
  return ReplaceAtomically(m_file, ini::Set(ReadWhole(m_file), section, key, value));
}

}  // namespace fw
