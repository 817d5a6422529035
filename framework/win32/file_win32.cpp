#include "framework/file.h"

#include <windows.h>

#include "framework/win32/wide_text.h"

namespace {
HANDLE AsHandle(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }
}  // namespace

CFile::~CFile() { Close(); }

void CFile::RememberError() { m_error = fw::win32::SystemErrorText(GetLastError()); }

bool CFile::Open(std::string_view path, FileMode mode) {
  Close();
  const bool read = mode == FileMode::Read;
  HANDLE h = CreateFileW(fw::win32::Widen(path).c_str(), read ? GENERIC_READ : GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         read ? OPEN_EXISTING : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    RememberError();
    return false;
  }
  m_handle = reinterpret_cast<std::intptr_t>(h);
  return true;
}

void CFile::Close() {
  if (IsOpen()) {
    CloseHandle(AsHandle(m_handle));
    m_handle = kNoHandle;
  }
}

std::int64_t CFile::Read(std::span<std::uint8_t> dest) {
  std::size_t done = 0;
  while (done < dest.size()) {
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(dest.size() - done, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(AsHandle(m_handle), dest.data() + done, want, &got, nullptr)) {
      RememberError();
      return -1;
    }
    if (got == 0) break;
    done += got;
  }
  return static_cast<std::int64_t>(done);
}

bool CFile::Seek(std::int64_t offset) {
  LARGE_INTEGER pos;
  pos.QuadPart = offset;
  if (!SetFilePointerEx(AsHandle(m_handle), pos, nullptr, FILE_BEGIN)) {
    RememberError();
    return false;
  }
  return true;
}

bool CFile::Write(std::span<const std::uint8_t> src) {
  std::size_t done = 0;
  while (done < src.size()) {
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(src.size() - done, 1u << 30));
    DWORD put = 0;
    if (!WriteFile(AsHandle(m_handle), src.data() + done, want, &put, nullptr)) {
      RememberError();
      return false;
    }
    done += put;
  }
  return true;
}

std::int64_t CFile::Size() {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(AsHandle(m_handle), &size)) {
    RememberError();
    return -1;
  }
  return size.QuadPart;
}
