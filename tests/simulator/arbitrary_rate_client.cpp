// Kept apart: the kernel's termios2 header clashes with <termios.h>.
#include <cstdint>

#if defined(__linux__)
#include <asm/termbits.h>
#include <sys/ioctl.h>

bool SetArbitraryRate(int fd, std::uint32_t rate) {
  struct termios2 t {};
  if (ioctl(fd, TCGETS2, &t) != 0) return false;
  t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
  t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  t.c_ispeed = rate;
  t.c_ospeed = rate;
  return ioctl(fd, TCSETS2, &t) == 0;
}
#else
bool SetArbitraryRate(int, std::uint32_t) { return false; }
#endif
