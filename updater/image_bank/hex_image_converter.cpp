#include "updater/image_bank/hex_image_converter.h"

#include "framework/file.h"
#include "framework/platform_paths.h"
#include "updater/image_bank/hex_line_reader.h"

namespace brevan {

namespace {

// '0'-'9', 'A'-'F', 'a'-'f' are digits; any other character counts as its own code.
std::uint32_t DigitValue(char c) {
  const auto u = static_cast<unsigned char>(c);
  if (u >= '0' && u <= '9') return u - '0';
  if (u >= 'A' && u <= 'F') return u - 'A' + 10;
  if (u >= 'a' && u <= 'f') return u - 'a' + 10;
  return u;
}

std::uint32_t FieldValue(std::string_view line, std::size_t first, std::size_t digits) {
  std::uint32_t value = 0;
  for (std::size_t i = first; i < first + digits; ++i) {
    value = value * 16 + (i < line.size() ? DigitValue(line[i]) : 0);
  }
  return value;
}

}  // namespace

ImageFilePlace DefaultIntermediateImagePlace() {
#ifdef _WIN32
  return ImageFilePlace::PrivateIn(fw::TemporaryDirectory(), "c:\\pgm.isp");
#else
  return ImageFilePlace::PrivateIn(fw::TemporaryDirectory());
#endif
}

bool CHexImageConverter::CreateImageFile() {
  if (!m_place.path.empty()) {
    m_strImagePath = m_place.path;
    if (m_imageFile.Open(m_strImagePath, FileMode::CreateReadWrite)) return true;
    if (m_place.privateDirectory.empty()) return false;
  }
  return m_imageFile.CreatePrivate(m_place.privateDirectory, "pgm-", ".isp", m_strImagePath);
}

void CHexImageConverter::RemoveImageFile() {
  m_imageFile.Close();
  if (m_imageFileMade) {
    m_imageFileMade = false;
    CFile remover;
    remover.Remove(m_strImagePath);
  }
}

void CHexImageConverter::ApplyRecordLine(std::string_view line) {
  constexpr std::size_t kDataStart = 9;
  if (line.size() <= kDataStart) return;  // no data digit present
  const std::uint32_t count = FieldValue(line, 1, 2);
  const std::uint32_t address = FieldValue(line, 3, 4);
  const std::uint32_t type = FieldValue(line, 7, 2);
  if (type != 0 || count == 0) return;
  // Only bytes whose two digits stand in the line are written, and only
  // inside the 64 KB image.
  const std::size_t present = (line.size() - kDataStart) / 2;
  const std::size_t n = std::min<std::size_t>(count, present);
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t target = static_cast<std::size_t>(address) + i;
    if (target >= kImageSize) break;
    const std::size_t at = kDataStart + 2 * i;
    m_image[target] = static_cast<std::uint8_t>(DigitValue(line[at]) * 16 + DigitValue(line[at + 1]));
  }
}

bool CHexImageConverter::ConvertHexFile(std::string_view path) {
  m_problem = {};
  RemoveImageFile();
  CFile input;
  if (!input.Open(path, FileMode::Read)) {
    m_problem = {FileStep::Open, std::string(path), input.ErrorText()};
    return false;
  }
  m_image.fill(0xFF);
  if (!CreateImageFile()) {
    m_problem = {FileStep::Create, m_strImagePath, m_imageFile.ErrorText()};
    return false;
  }
  m_imageFileMade = true;

  CHexLineReader reader(input);
  for (;;) {
    const CHexLineReader::Result r = reader.Next();
    if (r == CHexLineReader::Result::Error) {
      m_problem = {FileStep::Read, std::string(path), input.ErrorText()};
      RemoveImageFile();
      return false;
    }
    if (r == CHexLineReader::Result::End) break;
    const std::string_view line = reader.line();
    if (line.empty() || line[0] != ':') break;
    ApplyRecordLine(line);
  }

  if (!m_imageFile.Write(m_image)) {
    m_problem = {FileStep::Write, m_strImagePath, m_imageFile.ErrorText()};
    RemoveImageFile();
    return false;
  }
  return true;
}

}  // namespace brevan
