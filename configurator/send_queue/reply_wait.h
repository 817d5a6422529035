#pragma once
// The wait for an acknowledgement, shared by the UI thread (which starts a
// wait at each write and ends it at a time-out) and the monitor thread
// (which ends it when an acknowledgement completes). The flag and the
// number of the write it belongs to live in one atomic word, so an
// acknowledgement or a time-out ends only the wait it was found for, never
// the next item's.
#include <atomic>
#include <cstdint>

// The longest silence before a wait ends, and the longest wait after a write
// however much the receiver talks meanwhile.
inline constexpr std::uint32_t kSilenceLimitMs = 3000;
inline constexpr std::uint32_t kMaxReplyWaitMs = 10000;

// Milliseconds from `from` to `to` on the wrapping 32-bit tick count; a
// `from` stored by another thread after `to` was read counts as 0, not as
// almost 50 days.
constexpr std::uint32_t TicksSince(std::uint32_t from, std::uint32_t to) {
  const auto d = static_cast<std::int32_t>(to - from);
  return d > 0 ? static_cast<std::uint32_t>(d) : 0u;
}

class CReplyWait {
 public:
  // 1 while an item that expects a reply waits for it, else 0.
  std::int32_t load() const { return static_cast<std::int32_t>(m_word.load() & 1u); }
  operator std::int32_t() const { return load(); }  // NOLINT: reads like the flag it is
  // The number of the last write (it changes with every Begin and Clear).
  std::uint32_t Sequence() const { return m_word.load() >> 1; }

  // A write: a new number, waiting when the item expects a reply. Returns the number.
  std::uint32_t Begin(bool expectReply);
  // Ends the wait of write `sequence`; false when that wait is over already
  // (or another write has begun since).
  bool End(std::uint32_t sequence);
  // No wait, and no earlier write's acknowledgement or time-out ends a later one.
  void Clear();

 private:
  std::atomic<std::uint32_t> m_word{0};
};
