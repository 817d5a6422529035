// The receiver-type file reader over arbitrary files: rows within the table,
// fields as a plain reading of the same bytes gives them.
#include <memory>
#include <string>
#include <vector>

#include "configurator/type_file/type_file_reader.h"
#include "fuzz/fuzz_support.h"

namespace {

// The reader's rule spelled out: CR LF reads as LF; a piece ends after its LF
// or at 253 characters read; a NUL drops the rest of its piece.
std::vector<std::string> PlainPieces(std::string_view text) {
  std::vector<std::string> pieces;
  std::size_t i = 0;
  while (i < text.size() && pieces.size() < kTypeFileRowsRead) {
    std::string piece;
    bool cut = false;
    for (std::size_t consumed = 0; consumed < 253 && i < text.size(); ++consumed) {
      char c = text[i++];
      if (c == '\r' && i < text.size() && text[i] == '\n') c = text[i++];
      if (c == '\0') cut = true;
      if (!cut) piece += c;
      if (c == '\n') break;
    }
    pieces.push_back(std::move(piece));
  }
  return pieces;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = fuzz::ScratchFile(kTypeFileName);
  fuzz::WriteWhole(path, {data, size});
  auto table = std::make_unique<ReceiverTypeTable>();
  const int rows = ReadReceiverTypes(path, *table);
  FUZZ_CHECK(rows >= 1 && rows <= kTypeFileRowsRead);

  const std::vector<std::string> pieces = PlainPieces({reinterpret_cast<const char*>(data), size});
  if (pieces.empty()) {
    FUZZ_CHECK(rows == 1 && table->at(0).name == "82" && table->at(0).baud == "9600");
    return 0;
  }
  FUZZ_CHECK(static_cast<std::size_t>(rows) == pieces.size());
  for (int r = 0; r < rows; ++r) {
    const ReceiverType& row = table->at(static_cast<std::size_t>(r));
    const ReceiverType split = SplitTypeLine(pieces[static_cast<std::size_t>(r)]);
    FUZZ_CHECK(row.name == split.name && row.baud == split.baud && row.led1 == split.led1 && row.led2 == split.led2);
    std::size_t total = 0;
    for (const std::string* field : {&row.name, &row.baud, &row.led1, &row.led2}) {
      FUZZ_CHECK(field->find('\0') == std::string::npos);
      total += field->size();
    }
    FUZZ_CHECK(total <= 253);
    const std::int64_t rate = ReceiverTypeRate(row.baud);
    FUZZ_CHECK(rate >= -1 && rate <= 0xFFFFFFFFll);
  }
  return 0;
}
