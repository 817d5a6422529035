#include "updater/image_bank/hex_line_reader.h"

namespace brevan {

int CHexLineReader::Peek() {
  if (m_pos == m_filled) {
    if (m_atEnd) return -1;
    const std::int64_t n = m_file.Read(m_chunk);
    if (n <= 0) {
      m_atEnd = true;
      m_readFailed = n < 0;
      return -1;
    }
    m_pos = 0;
    m_filled = static_cast<std::size_t>(n);
  }
  return m_chunk[m_pos];
}

CHexLineReader::Result CHexLineReader::Next() {
  m_lineLength = 0;
  if (m_refused) return Result::End;
  bool readAny = false;
  for (;;) {
    int c = Peek();
    if (c < 0) {
      if (m_readFailed) return Result::Error;
      return readAny ? Result::Line : Result::End;
    }
    readAny = true;
    if (c == '\r') {
      // Dropped only when a line feed follows; a lone CR is an ordinary character.
      Advance();
      const int next = Peek();
      if (next == '\n') {
        Advance();
        return Result::Line;
      }
      if (m_readFailed) return Result::Error;
    } else if (c == '\n') {
      Advance();
      return Result::Line;
    } else {
      Advance();
    }
    if (m_lineLength == kLineCapacity) {
      // A 200th character that does not end the line: the stream fails here.
      m_refused = true;
      return Result::Line;
    }
    m_line[m_lineLength++] = static_cast<char>(c);
  }
}

}  // namespace brevan
