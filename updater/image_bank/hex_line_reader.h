#pragma once
// Reads a text file line by line the way a text stream's getline into a
// 200-character buffer does: line feeds end lines, a carriage return before a
// line feed is dropped, and a line longer than 199 characters is cut there,
// after which the stream refuses further reads.
#include <array>
#include <cstdint>
#include <string_view>

#include "framework/file.h"

namespace brevan {

class CHexLineReader {
 public:
  static constexpr std::size_t kLineCapacity = 199;

  explicit CHexLineReader(CFile& file) : m_file(file) {}

  enum class Result { Line, End, Error };
  // On Line, line() holds the characters (NULs included).
  Result Next();
  std::string_view line() const { return {m_line.data(), m_lineLength}; }

 private:
  // -1 at end of file or on a read error (m_readFailed tells which).
  int Peek();
  void Advance() { ++m_pos; }

  CFile& m_file;
  std::array<std::uint8_t, 16384> m_chunk{};
  std::size_t m_pos = 0;
  std::size_t m_filled = 0;
  bool m_atEnd = false;
  bool m_readFailed = false;
  bool m_refused = false;
  std::array<char, kLineCapacity> m_line{};
  std::size_t m_lineLength = 0;
};

}  // namespace brevan
