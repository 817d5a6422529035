#pragma once
// Bytes sent to a receiver as hex digits: spaced in upper case for a person
// (a listing, a page), packed in lower case for files and JSON.
#include <cstdint>
#include <span>
#include <string>

namespace records {

std::string SpacedHex(std::span<const std::uint8_t> bytes);  // "24 4D 0D"
std::string PackedHex(std::span<const std::uint8_t> bytes);  // "244d0d"

}  // namespace records
