#include "framework/terminal/line_sink.h"

namespace fw {

LineSink::LineSink(OnLine onLine) : std::ostream(static_cast<std::streambuf*>(this)), m_onLine(std::move(onLine)) {}

LineSink::~LineSink() {
  if (!m_line.empty()) m_onLine(m_line);
}

std::streambuf::int_type LineSink::overflow(std::streambuf::int_type c) {
  using Traits = std::streambuf::traits_type;
  if (!Traits::eq_int_type(c, Traits::eof())) Take(Traits::to_char_type(c));
  return Traits::not_eof(c);
}

std::streamsize LineSink::xsputn(const char* text, std::streamsize count) {
  for (std::streamsize i = 0; i < count; ++i) Take(text[i]);
  return count;
}

void LineSink::Take(char c) {
  if (c != '\n') {
    m_line += c;
    return;
  }
  m_onLine(m_line);
  m_line.clear();
}

}  // namespace fw
