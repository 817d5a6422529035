#pragma once
// The pseudo-terminal receiver-sim serves on. The daemon keeps its own fd
// of the slave side open, so the PC's closes and reopens never hang the
// line up, and learns the PC's line rate from the termios the PC set.
#include <cstdint>
#include <string>

namespace sim {

class CPseudoTerminal {
 public:
  CPseudoTerminal() = default;
  ~CPseudoTerminal();
  CPseudoTerminal(const CPseudoTerminal&) = delete;
  CPseudoTerminal& operator=(const CPseudoTerminal&) = delete;

  // Makes the pair: master non-blocking, both in raw mode at 9600.
  bool Open(std::string& error);
  int Master() const { return m_master; }
  const std::string& SlavePath() const { return m_slavePath; }
  // The rate the slave side is set to (arbitrary rates included); 0 when unknown.
  std::uint32_t LineRate() const;

 private:
  int m_master = -1;
  int m_slave = -1;
  std::string m_slavePath;
};

// Linux: the output rate through termios2 when the rate is not one of the
// Bxxx constants; false elsewhere or for standard rates.
bool ReadArbitraryRate(int fd, std::uint32_t& rate);

}  // namespace sim
