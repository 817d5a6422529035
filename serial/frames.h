#pragma once
// The updater's two binary frames: the 133-byte page frame and the
// receiver's command frame.
#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace serial {

inline constexpr std::size_t kPageBytes = 128;
inline constexpr std::size_t kBlockPacketSize = 5 + kPageBytes;

// 24 2C D3, address high, address low, the 128 data bytes.
std::array<std::uint8_t, kBlockPacketSize> BuildBlockPacket(std::span<const std::uint8_t, kPageBytes> data,
                                                            int address);

// The payload of an argument text: tokens "A<char>", "C<n>", "I<n>", "L<n>".
std::vector<std::uint8_t> CommandPayload(std::string_view argumentText);

// "$", command, complement, length (low first), payload, XOR of all before, CR LF.
std::vector<std::uint8_t> BuildCommandPacket(std::uint8_t command, std::string_view argumentText);

}  // namespace serial
