#pragma once
// One queued transmission: the bytes, their log label and whether the sender
// waits for the receiver's acknowledgement after writing them.
#include <array>
#include <cstdint>

class CSendItem {
 public:
  static constexpr int kDataSize = 256;
  static constexpr int kLabelSize = 256;

  CSendItem() = default;
  virtual ~CSendItem() = default;
  CSendItem(const CSendItem&) = delete;
  CSendItem& operator=(const CSendItem&) = delete;

  std::array<std::uint8_t, kDataSize> data{};
  std::int32_t length = 0;
  std::array<char, kLabelSize> label{};  // NUL-terminated
  std::int32_t expectReply = 0;
};
