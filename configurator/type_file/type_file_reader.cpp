#include "configurator/type_file/type_file_reader.h"

#include <array>
#include <cstdio>
#include <memory>

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

constexpr std::size_t kPieceLength = 253;  // as fgets with a 254-byte buffer

}  // namespace

std::int64_t ReceiverTypeRate(std::string_view baud) {
  std::int64_t value = 0;
  std::size_t i = 0;
  for (; i < baud.size() && baud[i] >= '0' && baud[i] <= '9'; ++i) {
    value = value * 10 + (baud[i] - '0');
    if (value > 0xFFFFFFFFll) return -1;
  }
  if (i == 0) return -1;
  return value;
}

ReceiverType SplitTypeLine(std::string_view line) {
  std::array<std::string, 4> fields;
  std::size_t field = 0;
  for (char c : line) {
    if (c == ',') {
      if (++field >= fields.size()) break;  // a fifth field and later ones are ignored
      continue;
    }
    fields[field] += c;
  }
  return {std::move(fields[0]), std::move(fields[1]), std::move(fields[2]), std::move(fields[3])};
}

namespace {

// One piece of a line: at most 253 characters, its LF included when it fits;
// CR LF reads as LF. Like a C string, a piece ends at a NUL byte (the rest of
// that piece is dropped). false at the end of the file with nothing read.
bool ReadPiece(std::FILE* file, std::string& piece) {
  piece.clear();
  bool any = false;
  bool cut = false;
  for (std::size_t consumed = 0; consumed < kPieceLength; ++consumed) {
    int c = std::getc(file);
    if (c == EOF) break;
    any = true;
    if (c == '\r') {
      const int next = std::getc(file);
      if (next == '\n') c = '\n';
      else if (next != EOF) std::ungetc(next, file);
    }
    if (c == '\0') cut = true;
    if (!cut) piece += static_cast<char>(c);
    if (c == '\n') break;
  }
  return any;
}

}  // namespace

int ReadReceiverTypes(const std::string& path, ReceiverTypeTable& table) {
  int count = 0;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (file) {
    std::string piece;
    while (count < kTypeFileRowsRead && ReadPiece(file.get(), piece))
      table[static_cast<std::size_t>(count++)] = SplitTypeLine(piece);
  }
  if (count == 0) table[0] = {"82", "9600", "HIGH", "HIGH"};
  return count == 0 ? 1 : count;
}
