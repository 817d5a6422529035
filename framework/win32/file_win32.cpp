#include "framework/file.h"

#include <windows.h>

#include "framework/win32/wide_text.h"

#include "framework/platform_paths.h"

namespace {
HANDLE AsHandle(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }

// Ten name characters, different per call and per process; CREATE_NEW keeps
// the file ours if a name is taken all the same.
std::string RandomNameCharacters() {
  static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";  // names are caseless here
  static LONG counter = 0;
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  unsigned long long mix = static_cast<unsigned long long>(now.QuadPart) ^
                           (static_cast<unsigned long long>(GetCurrentProcessId()) << 32) ^
                           static_cast<unsigned long long>(InterlockedIncrement(&counter)) * 0x9E3779B97F4A7C15ULL;
  std::string text;
  for (int i = 0; i < 10; ++i) {
    mix = mix * 6364136223846793005ULL + 1442695040888963407ULL;
    text += kAlphabet[(mix >> 33) % (sizeof kAlphabet - 1)];
  }
  return text;
}
}  // namespace

CFile::~CFile() { Close(); }

void CFile::RememberError() { m_error = fw::win32::SystemErrorText(GetLastError()); }

bool CFile::Open(std::string_view path, FileMode mode) {
  Close();
  const bool read = mode == FileMode::Read;
  const DWORD access = read ? GENERIC_READ
                       : mode == FileMode::CreateWrite ? GENERIC_WRITE
                                                       : GENERIC_READ | GENERIC_WRITE;
  HANDLE h = CreateFileW(fw::win32::Widen(path).c_str(), access,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         read ? OPEN_EXISTING : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    RememberError();
    return false;
  }
  m_handle = reinterpret_cast<std::intptr_t>(h);
  return true;
}

bool CFile::CreatePrivate(std::string_view dir, std::string_view stem, std::string_view extension,
                          std::string& path) {
  Close();
  for (int attempt = 0; attempt < 100; ++attempt) {
    path = fw::JoinPath(std::string(dir), std::string(stem) + RandomNameCharacters() + std::string(extension));
    // CREATE_NEW fails on any existing name, a link included; no sharing for writers.
    HANDLE h = CreateFileW(fw::win32::Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      m_handle = reinterpret_cast<std::intptr_t>(h);
      return true;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
  }
  RememberError();
  return false;
}

bool CFile::Remove(std::string_view path) {
  if (!DeleteFileW(fw::win32::Widen(path).c_str())) {
    RememberError();
    return false;
  }
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
