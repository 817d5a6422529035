#pragma once
// Turns an Intel HEX text file into the 64 KB memory image of the board and
// writes that image to the intermediate file. A forgiving reader: data
// records at their 16-bit addresses, everything else ignored.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "updater/image_bank/file_problem.h"

namespace brevan {

// "c:\pgm.isp" on Windows; pgm.isp in the temporary directory elsewhere.
std::string DefaultIntermediateImagePath();

class CHexImageConverter {
 public:
  static constexpr std::size_t kImageSize = 0x10000;

  explicit CHexImageConverter(std::string intermediatePath = DefaultIntermediateImagePath())
      : m_strImagePath(std::move(intermediatePath)) {}

  // Converts the file at path and writes the image file. False when a file
  // could not be opened, read, created or written; Problem() says which.
  bool ConvertHexFile(std::string_view path);

  // Applies one record line to the image (exposed for the tests and benches).
  void ApplyRecordLine(std::string_view line);

  std::span<const std::uint8_t, kImageSize> Image() const { return m_image; }
  const std::string& ImagePath() const { return m_strImagePath; }
  const FileProblem& Problem() const { return m_problem; }

 private:
  std::array<std::uint8_t, kImageSize> m_image{};
  std::string m_strImagePath;
  FileProblem m_problem;
};

}  // namespace brevan
