#pragma once
// The acknowledgement test over the bytes received since the last write or
// acknowledgement, whichever came later: at least 10 of them, containing
// both "KAVEL" and "OK\r\n" in either order, split anywhere across chunks.
// It keeps a matcher state per pattern instead of the bytes themselves, so
// a receiver that talks without end costs neither memory nor growing work:
// constant work per byte, a few words of state. The watch follows the
// number of the last write and starts afresh when it changes, so an earlier
// item's answer (a modem's "OK") never completes a later item's
// acknowledgement.
#include <cstdint>
#include <span>
#include <string_view>

class CAckWatch {
 public:
  // Adds a received chunk; true when the bytes since the last acknowledgement
  // now make one (the watch then starts afresh, as if emptied).
  bool Append(std::span<const std::uint8_t> chunk);
  void Reset();
  // The write that the bytes appended from now on follow; another write than
  // the one followed so far empties the watch first.
  void Follow(std::uint32_t write);
  // The write the bytes held (and an acknowledgement they make) belong to.
  std::uint32_t Write() const { return m_write; }

  // Bytes since the last write or acknowledgement (saturating).
  std::uint64_t Size() const { return m_size; }

 private:
  // Streaming search for a short pattern: the length of the longest pattern
  // prefix that ends the bytes seen so far.
  class Matcher {
   public:
    explicit constexpr Matcher(std::string_view pattern) : m_pattern(pattern) {}
    // true once the whole pattern has occurred.
    bool Feed(std::uint8_t byte);
    void Reset() { m_matched = 0; m_found = false; }
    bool Found() const { return m_found; }

   private:
    std::string_view m_pattern;
    std::size_t m_matched = 0;
    bool m_found = false;
  };

  Matcher m_kavel{"KAVEL"};
  Matcher m_ok{"OK\r\n"};
  std::uint64_t m_size = 0;
  std::uint32_t m_write = 0;
};
