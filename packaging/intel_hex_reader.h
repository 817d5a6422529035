#pragma once
// A strict Intel HEX reader for the board's 64 KB memory image. Records 00
// (data), 01 (end of file), 02 and 04 (address bases) are applied, 03 and 05
// (start addresses) are checked and ignored. Every line's digits, length and
// checksum are verified; addresses are kept to 16 bits, as the board has them.
#include <string>
#include <string_view>

#include "packaging/memory_image.h"

namespace brevan::pack {

// Fills image with 0xFF and applies the records in text. False with a message
// naming fileName and the line when a record is malformed or the end-of-file
// record is missing; image is then partly written and must not be used.
// Lines end in LF or CR LF; blank lines are skipped; text after the end-of-file
// record is not read.
[[nodiscard]] bool ParseIntelHex(std::string_view text, std::string_view fileName, MemoryImage& image,
                                 std::string& message);

}  // namespace brevan::pack
