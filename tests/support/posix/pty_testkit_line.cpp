// The decoding side of the test kit: reads flag bits with the kernel's own
// names, apart from <termios.h> like the mapping it checks.
#include <asm/termbits.h>

#include "support/posix/pty_testkit.h"

namespace serial::posix::testkit {

LineFacts Describe(const LineImage& t) {
  LineFacts f;
  f.anyRate = (t.cflag & CBAUD) == BOTHER;
  f.inRate = t.ispeed;
  f.outRate = t.ospeed;
  switch (t.cflag & CSIZE) {
    case CS5: f.dataBits = 5; break;
    case CS6: f.dataBits = 6; break;
    case CS7: f.dataBits = 7; break;
    case CS8: f.dataBits = 8; break;
    default: break;
  }
  f.parity = (t.cflag & PARENB) != 0;
  f.oddParity = (t.cflag & PARODD) != 0;
  f.markSpace = (t.cflag & CMSPAR) != 0;
  f.twoStopBits = (t.cflag & CSTOPB) != 0;
  f.rtsCts = (t.cflag & CRTSCTS) != 0;
  f.local = (t.cflag & CLOCAL) != 0;
  f.receiverOn = (t.cflag & CREAD) != 0;
  f.xonOutput = (t.iflag & IXON) != 0;
  f.xonInput = (t.iflag & IXOFF) != 0;
  f.parityCheck = (t.iflag & INPCK) != 0;
  f.raw = (t.lflag & (ECHO | ECHONL | ICANON | ISIG | IEXTEN)) == 0 && (t.oflag & OPOST) == 0 &&
          (t.iflag & (ICRNL | INLCR | IGNCR | ISTRIP | BRKINT | PARMRK)) == 0;
  f.startChar = t.cc[VSTART];
  f.stopChar = t.cc[VSTOP];
  f.vmin = t.cc[VMIN];
  f.vtime = t.cc[VTIME];
  return f;
}

LineImage CookedLine() {
  LineImage t;
  t.iflag = ICRNL | IXON | BRKINT | IMAXBEL;
  t.oflag = OPOST | ONLCR;
  t.cflag = B38400 | CS8 | CREAD | HUPCL;
  t.lflag = ISIG | ICANON | ECHO | ECHOE | ECHOK | IEXTEN;
  t.cc[VMIN] = 1;
  t.cc[VSTART] = 0x11;
  t.cc[VSTOP] = 0x13;
  t.ispeed = 38400;
  t.ospeed = 38400;
  return t;
}

void SetStandardRate(LineImage& t, std::uint32_t rate) {
  std::uint32_t code = B9600;
  switch (rate) {
    case 19200: code = B19200; break;
    case 38400: code = B38400; break;
    case 57600: code = B57600; break;
    case 115200: code = B115200; break;
    default: break;
  }
  t.cflag = (t.cflag & ~std::uint32_t{CBAUD | (CBAUD << IBSHIFT)}) | code;
  t.ispeed = rate;
  t.ospeed = rate;
}

void SetMinChars(LineImage& t, std::uint8_t count) { t.cc[VMIN] = count; }

}  // namespace serial::posix::testkit
