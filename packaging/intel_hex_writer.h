#pragma once
// Writes a 64 KB memory image as Intel HEX text: type 00 records of 16 data
// bytes at their 16-bit addresses, one for every 16-byte row that is not all
// 0xFF, then the end-of-file record. Lines end in CR LF.
#include <string>

#include "packaging/memory_image.h"

namespace brevan::pack {

std::string FormatIntelHex(const MemoryImage& image);

}  // namespace brevan::pack
