#pragma once
// The line as the kernel's termios2 holds it, in a record free of platform
// headers, and the mapping between it and the PortDcb. The termios2 calls
// live apart from <termios.h>, whose struct of the same name they clash with.
#include <array>
#include <cstdint>

#include "serial/port_dcb.h"

namespace serial::posix {

struct LineImage {
  std::uint32_t iflag = 0;
  std::uint32_t oflag = 0;
  std::uint32_t cflag = 0;
  std::uint32_t lflag = 0;
  std::uint8_t line = 0;
  std::array<std::uint8_t, 19> cc{};
  std::uint32_t ispeed = 0;
  std::uint32_t ospeed = 0;
};

bool ReadLine(int fd, LineImage& image);
bool WriteLine(int fd, const LineImage& image);
// Drops what the driver holds in either direction.
bool FlushLine(int fd, bool input, bool output);

// Raw bytes both ways, no modem-line dependence, reads that never block.
void MakeRaw(LineImage& image);

// Puts the DCB's rate, frame, flow control and parity check onto `image`.
// False, leaving `image` unchanged, for a value no line can take (rate 0
// would hang up the line; a size outside 5..8; an unknown parity or stop code).
bool DcbToLine(const PortDcb& dcb, LineImage& image);

// Reads those fields back into `dcb`; fields termios has no counterpart for,
// and choices it cannot tell apart (one and a half stop bits, which of the
// two CTS/RTS flags asked for hardware flow control), keep the value in `dcb`.
void LineToDcb(const LineImage& image, PortDcb& dcb);

}  // namespace serial::posix
