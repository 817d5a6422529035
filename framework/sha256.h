#pragma once
// SHA-256 of a byte string: fingerprints of the files a run was made with, so
// that a record names exactly the settings behind it.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace fw {

class CSha256 {
 public:
  using Digest = std::array<std::uint8_t, 32>;

  CSha256();
  void Update(std::span<const std::uint8_t> bytes);
  void Update(std::string_view bytes);
  // The digest of everything given; the object starts over afterwards.
  Digest Finish();

 private:
  void Block(const std::uint8_t* block);

  std::array<std::uint32_t, 8> m_state{};
  std::array<std::uint8_t, 64> m_pending{};
  std::size_t m_pendingSize = 0;
  std::uint64_t m_totalBytes = 0;
};

// 64 lower-case hex digits.
std::string HexDigest(const CSha256::Digest& digest);
std::string Sha256Hex(std::string_view bytes);

}  // namespace fw
