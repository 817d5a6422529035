#include "framework/file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "framework/platform_paths.h"

namespace {

// Ten name characters from the system's random source; the clock and the
// process id stand in if it fails (O_EXCL still keeps the file ours).
std::string RandomNameCharacters() {
  static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  unsigned char bytes[10];
  if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    auto mix = static_cast<unsigned long long>(now.tv_nsec) ^ (static_cast<unsigned long long>(::getpid()) << 32);
    for (unsigned char& b : bytes) {
      mix = mix * 6364136223846793005ULL + 1442695040888963407ULL;
      b = static_cast<unsigned char>(mix >> 56);
    }
  }
  std::string text;
  for (const unsigned char b : bytes) text += kAlphabet[b % (sizeof kAlphabet - 1)];
  return text;
}

}  // namespace

CFile::~CFile() { Close(); }

void CFile::RememberError() { m_error = std::strerror(errno); }

bool CFile::Open(std::string_view path, FileMode mode) {
  Close();
  const std::string p(path);
  const int flags = mode == FileMode::Read          ? O_RDONLY
                    : mode == FileMode::CreateWrite ? (O_WRONLY | O_CREAT | O_TRUNC)
                                                    : (O_RDWR | O_CREAT | O_TRUNC);
  const int fd = ::open(p.c_str(), flags | O_CLOEXEC, 0644);
  if (fd < 0) {
    RememberError();
    return false;
  }
  struct stat st{};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    m_error = std::strerror(EISDIR);
    return false;
  }
  m_handle = fd;
  return true;
}

bool CFile::CreatePrivate(std::string_view dir, std::string_view stem, std::string_view extension,
                          std::string& path) {
  Close();
  for (int attempt = 0; attempt < 100; ++attempt) {
    path = fw::JoinPath(std::string(dir), std::string(stem) + RandomNameCharacters() + std::string(extension));
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
      m_handle = fd;
      return true;
    }
    if (errno != EEXIST) break;
  }
  RememberError();
  return false;
}

bool CFile::Remove(std::string_view path) {
  if (::unlink(std::string(path).c_str()) != 0) {
    RememberError();
    return false;
  }
  return true;
}

void CFile::Close() {
  if (IsOpen()) {
    ::close(static_cast<int>(m_handle));
    m_handle = kNoHandle;
  }
}

std::int64_t CFile::Read(std::span<std::uint8_t> dest) {
  std::size_t done = 0;
  while (done < dest.size()) {
    const ssize_t n = ::read(static_cast<int>(m_handle), dest.data() + done, dest.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      RememberError();
      return -1;
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return static_cast<std::int64_t>(done);
}

bool CFile::Seek(std::int64_t offset) {
  if (::lseek(static_cast<int>(m_handle), static_cast<off_t>(offset), SEEK_SET) < 0) {
    RememberError();
    return false;
  }
  return true;
}

bool CFile::Write(std::span<const std::uint8_t> src) {
  std::size_t done = 0;
  while (done < src.size()) {
    const ssize_t n = ::write(static_cast<int>(m_handle), src.data() + done, src.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      RememberError();
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::int64_t CFile::Size() {
  struct stat st{};
  if (::fstat(static_cast<int>(m_handle), &st) != 0) {
    RememberError();
    return -1;
  }
  return static_cast<std::int64_t>(st.st_size);
}
