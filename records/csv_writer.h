#pragma once
// CSV as RFC 4180 has it: fields with a comma, quote, CR or LF are quoted,
// quotes inside doubled, rows end in CRLF.
#include <cstdint>
#include <ostream>
#include <string_view>

namespace records {

class CsvWriter {
 public:
  explicit CsvWriter(std::ostream& out) : m_out(out) {}

  void Field(std::string_view text);
  void Field(std::int64_t value);
  void EndRow();

 private:
  std::ostream& m_out;
  bool m_first = true;
};

}  // namespace records
