// The Intel HEX converter over arbitrary files: the conversion of a file that
// opens always writes a whole 64 KB image, and the line reader's lines agree
// with a plain reading of the same bytes.
#include <string>
#include <vector>

#include "framework/file.h"
#include "fuzz/fuzz_support.h"
#include "updater/image_bank/hex_image_converter.h"
#include "updater/image_bank/hex_line_reader.h"

namespace {

// The reader's rule spelled out: LF ends a line, CR LF counts as LF, a line
// is cut at 199 characters and reading stops there.
std::vector<std::string> PlainLines(std::string_view text) {
  std::vector<std::string> lines;
  std::string line;
  bool any = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    any = true;
    if (c == '\n' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
      if (c == '\r') ++i;
      lines.push_back(line);
      line.clear();
      any = false;
      continue;
    }
    if (line.size() == brevan::CHexLineReader::kLineCapacity) {
      lines.push_back(line);
      return lines;
    }
    line += c;
  }
  if (any) lines.push_back(line);
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string hexPath = fuzz::ScratchFile("input.hex");
  static const std::string imagePath = fuzz::ScratchFile("pgm.isp");
  fuzz::WriteWhole(hexPath, {data, size});

  CFile file;
  FUZZ_CHECK(file.Open(hexPath, FileMode::Read));
  brevan::CHexLineReader reader(file);
  std::vector<std::string> lines;
  for (;;) {
    const auto r = reader.Next();
    FUZZ_CHECK(r != brevan::CHexLineReader::Result::Error);
    if (r == brevan::CHexLineReader::Result::End) break;
    FUZZ_CHECK(reader.line().size() <= brevan::CHexLineReader::kLineCapacity);
    lines.emplace_back(reader.line());
  }
  FUZZ_CHECK(lines == PlainLines({reinterpret_cast<const char*>(data), size}));

  brevan::CHexImageConverter converter(imagePath);
  FUZZ_CHECK(converter.ConvertHexFile(hexPath));
  FUZZ_CHECK(!converter.Problem());
  CFile image;
  FUZZ_CHECK(image.Open(imagePath, FileMode::Read));
  FUZZ_CHECK(image.Size() == static_cast<std::int64_t>(brevan::CHexImageConverter::kImageSize));
  return 0;
}
