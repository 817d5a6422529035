#pragma once
// The framework's file class: binary files opened with sharing allowed to
// everyone, reads and writes that report the system's cause on failure.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

enum class FileMode {
  Read,         // existing file, read only
  CreateWrite,  // create or empty, write only
  CreateReadWrite,  // create or empty, read and write
};

class CFile {
 public:
  CFile() = default;
  ~CFile();
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;

  // path is UTF-8; the Win32 backend converts it at the boundary.
  bool Open(std::string_view path, FileMode mode);
  // Makes a new file named stem, random characters, extension in dir, read and
  // write: created exclusively, never through a link, for the user alone
  // (0600 on POSIX). path receives the name, also of a failed last attempt.
  bool CreatePrivate(std::string_view dir, std::string_view stem, std::string_view extension, std::string& path);
  void Close();
  // Deletes a file by name; false with ErrorText() set when it could not.
  bool Remove(std::string_view path);
  bool IsOpen() const { return m_handle != kNoHandle; }

  // Reads until dest is full or the file ends; returns the count, -1 on error.
  std::int64_t Read(std::span<std::uint8_t> dest);
  bool Seek(std::int64_t offset);
  // Writes all of src or fails.
  bool Write(std::span<const std::uint8_t> src);
  // Size of the open file, -1 on error.
  std::int64_t Size();

  // The system's text for the last failure, e.g. "No such file or directory".
  const std::string& ErrorText() const { return m_error; }

 private:
  static constexpr std::intptr_t kNoHandle = -1;
  void RememberError();

  std::intptr_t m_handle = kNoHandle;
  std::string m_error;
};
