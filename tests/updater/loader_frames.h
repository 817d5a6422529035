#pragma once
// The loader's reply frames as the board sends them, for feeding the parser.
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "updater/upgrade/upgrade_replies.h"

namespace loaderframes {

using Bytes = std::vector<std::uint8_t>;

// '$', type, complement, length, two unexamined bytes, payload, the XOR of all before it, two unexamined bytes.
inline Bytes Reply(char type, std::string_view payload) {
  const auto t = static_cast<std::uint8_t>(type);
  Bytes frame;
  frame.reserve(payload.size() + 10);
  for (std::uint8_t b : {std::uint8_t{0x24}, t, static_cast<std::uint8_t>(0xFF - t),
                         static_cast<std::uint8_t>(payload.size() & 0xFF), static_cast<std::uint8_t>(payload.size() >> 8),
                         std::uint8_t{0x55}, std::uint8_t{0xAA}})
    frame.push_back(b);
  for (char c : payload) frame.push_back(static_cast<std::uint8_t>(c));
  std::uint8_t check = 0;
  for (std::uint8_t b : frame) check ^= b;
  for (int b : {int{check}, 0x22, 0x33}) frame.push_back(static_cast<std::uint8_t>(b));
  return frame;
}

inline Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

inline void Feed(brevan::CUpgradeReplies& r, const Bytes& bytes) {
  r.ParseReplies(bytes.data(), static_cast<int>(bytes.size()));
}

}  // namespace loaderframes
