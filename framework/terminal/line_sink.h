#pragma once
// An output stream that hands each complete line to a callback: what a run
// writes to "its terminal" becomes lines a station can tag, merge with other
// runs' lines under one lock, or read as events. What is left without a line
// end is handed over when the stream is destroyed.
#include <functional>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>

namespace fw {

class LineSink : private std::streambuf, public std::ostream {
 public:
  using OnLine = std::function<void(std::string_view line)>;
  explicit LineSink(OnLine onLine);
  ~LineSink() override;
  LineSink(const LineSink&) = delete;
  LineSink& operator=(const LineSink&) = delete;

 private:
  std::streambuf::int_type overflow(std::streambuf::int_type c) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;
  void Take(char c);

  OnLine m_onLine;
  std::string m_line;
};

}  // namespace fw
