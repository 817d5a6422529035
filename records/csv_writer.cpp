#include "records/csv_writer.h"

#include <string>

namespace records {

void CsvWriter::Field(std::string_view text) {
  if (!m_first) m_out.put(',');
  m_first = false;
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
    m_out.write(text.data(), static_cast<std::streamsize>(text.size()));
    return;
  }
  m_out.put('"');
  for (char c : text) {
    if (c == '"') m_out.put('"');
    m_out.put(c);
  }
  m_out.put('"');
}

void CsvWriter::Field(std::int64_t value) { Field(std::to_string(value)); }

void CsvWriter::EndRow() {
  m_out.write("\r\n", 2);
  m_first = true;
}

}  // namespace records
