#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "records/private_file.h"

namespace records {

namespace {

bool MakeDirectories(const std::string& dir, std::string& error) {
  if (dir.empty()) return true;
  struct stat st{};
  if (::stat(dir.c_str(), &st) == 0) return true;
  const std::size_t slash = dir.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !MakeDirectories(dir.substr(0, slash), error)) return false;
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
    error = dir + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace

bool EnsurePrivateFile(const std::string& path, std::string& error) {
  const std::size_t slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !MakeDirectories(path.substr(0, slash), error)) return false;
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd >= 0) {
    ::close(fd);
    return true;
  }
  if (errno == EEXIST) return true;  // an existing store keeps its mode
  error = std::strerror(errno);
  return false;
}

}  // namespace records
