#pragma once
// One direction of an RS-232 line at the bit level: the characters a sender
// put on it (8N1: start bit, 8 data bits LSB first, stop bit; idle high) and a
// receiving UART that hunts for a falling edge and samples mid-bit at its own
// rate. A receiver at another rate than the sender therefore assembles the
// garbled characters a real UART would; a low stop-bit sample is a framing
// error and the character is delivered as sampled.
//
// Times are microseconds on the line's own time axis (doubles); the device
// model maps them to the caller's clock. Characters must be put on in time
// order; each starts no earlier than the end of the one before.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

namespace sim {

// Levels of the ten bit slots of a character: bit k of the result is the
// level of slot k (0 start, 1..8 data LSB first, 9 stop).
constexpr std::uint16_t CharacterLevels(std::uint8_t byte) {
  return static_cast<std::uint16_t>((std::uint16_t{byte} << 1) | 0x200U);
}

constexpr double BitUs(std::uint32_t rate) { return 1e6 / static_cast<double>(rate); }

// A character a receiver assembled, with what it needs to commit it.
struct Character {
  std::uint8_t value = 0;
  bool framingError = false;
  double stopSampleUs = 0;  // when the receiver sampled the stop bit: the character is complete
  std::uint64_t tag = 0;    // tag of the sent character whose edge started this one
  double huntAfterUs = 0;
};

class CLine {
 public:
  // Puts one character on the line from max(earliestUs, end of the line);
  // returns its start time. tag travels to the characters it starts.
  double Put(std::uint16_t levels, double bitUs, double earliestUs, std::uint64_t tag);

  // The next character a receiver at bitUs assembles, hunting from its last
  // position but not before notBeforeUs; nullopt when no falling edge is left.
  // Samples past the last character read idle (high), so callers only commit
  // characters whose stop sample lies where the line is already final.
  std::optional<Character> Peek(double bitUs, double notBeforeUs = 0) const;
  void Commit(const Character& character);

  // The receiver is deaf before t: drops what ends by then, returns how many
  // characters were dropped.
  std::size_t DiscardBefore(double t);
  // Drops everything on the line; returns how many characters it held.
  std::size_t Clear();

  double EndUs() const { return m_endUs; }
  bool Empty() const { return m_frames.empty(); }
  // Characters still on the line (not yet behind the receiver).
  std::size_t Size() const { return m_frames.size(); }
  // Restarts the time axis at 0; only allowed while the line is empty.
  void Rebase();

 private:
  struct Frame {
    double startUs;
    double endUs;
    double bitUs;
    std::uint16_t levels;
    std::uint64_t tag;
  };
  int LevelBefore(std::size_t index) const;
  int Level(double t, std::size_t& hint) const;
  void PopPast(double t);

  std::deque<Frame> m_frames;
  double m_endUs = 0;       // end of the last character put on
  double m_huntUs = 0;      // the receiver hunts for the next start edge from here
  double m_poppedEndUs = -1;  // end and stop level of the last character dropped,
  int m_poppedStop = 1;       // for the edge into a character right behind it
};

}  // namespace sim
