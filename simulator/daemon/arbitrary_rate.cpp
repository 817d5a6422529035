// Kept apart from pty.cpp: the kernel's termios2 header clashes with <termios.h>.
#include <cstdint>

#include "simulator/daemon/pty.h"

#if defined(__linux__)
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace sim {
bool ReadArbitraryRate(int fd, std::uint32_t& rate) {
  struct termios2 t {};
  if (ioctl(fd, TCGETS2, &t) != 0 || (t.c_cflag & CBAUD) != BOTHER) return false;
  rate = t.c_ospeed;
  return true;
}
}  // namespace sim
#else
namespace sim {
bool ReadArbitraryRate(int, std::uint32_t&) { return false; }
}  // namespace sim
#endif
