#include "framework/file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

CFile::~CFile() { Close(); }

void CFile::RememberError() { m_error = std::strerror(errno); }

bool CFile::Open(std::string_view path, FileMode mode) {
  Close();
  const std::string p(path);
  const int flags = mode == FileMode::Read ? O_RDONLY : (O_WRONLY | O_CREAT | O_TRUNC);
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
