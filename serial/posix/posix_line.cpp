// Only the kernel's own termios definitions here: <termios.h> declares a
// different struct termios and would clash with <asm/termbits.h>.
#include "serial/posix/posix_line.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <iterator>

namespace serial::posix {

namespace {

static_assert(NCCS == std::tuple_size_v<decltype(LineImage::cc)>);

constexpr std::uint32_t kSpeedBits = CBAUD | (CBAUD << IBSHIFT);

LineImage FromKernel(const termios2& t) {
  LineImage image;
  image.iflag = t.c_iflag;
  image.oflag = t.c_oflag;
  image.cflag = t.c_cflag;
  image.lflag = t.c_lflag;
  image.line = t.c_line;
  std::copy(std::begin(t.c_cc), std::end(t.c_cc), image.cc.begin());
  image.ispeed = t.c_ispeed;
  image.ospeed = t.c_ospeed;
  return image;
}

termios2 ToKernel(const LineImage& image) {
  termios2 t{};
  t.c_iflag = image.iflag;
  t.c_oflag = image.oflag;
  t.c_cflag = image.cflag;
  t.c_lflag = image.lflag;
  t.c_line = image.line;
  std::copy(image.cc.begin(), image.cc.end(), std::begin(t.c_cc));
  t.c_ispeed = image.ispeed;
  t.c_ospeed = image.ospeed;
  return t;
}

void SetFlag(std::uint32_t& flags, std::uint32_t bits, bool on) {
  if (on) {
    flags |= bits;
  } else {
    flags &= ~bits;
  }
}

}  // namespace

bool ReadLine(int fd, LineImage& image) {
  termios2 t{};
  if (::ioctl(fd, TCGETS2, &t) != 0) return false;
  image = FromKernel(t);
  return true;
}

bool WriteLine(int fd, const LineImage& image) {
  const termios2 t = ToKernel(image);
  return ::ioctl(fd, TCSETS2, &t) == 0;
}

bool FlushLine(int fd, bool input, bool output) {
  if (!input && !output) return true;
  const int which = input && output ? TCIOFLUSH : (input ? TCIFLUSH : TCOFLUSH);
  return ::ioctl(fd, TCFLSH, which) == 0;
}

void MakeRaw(LineImage& image) {
  image.iflag &= ~std::uint32_t{IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY |
                                INPCK | IUCLC | IMAXBEL};
  image.oflag &= ~std::uint32_t{OPOST};
  image.lflag &= ~std::uint32_t{ECHO | ECHONL | ICANON | ISIG | IEXTEN};
  image.cflag &= ~std::uint32_t{CSIZE | PARENB | PARODD | CMSPAR};
  image.cflag |= CS8 | CLOCAL | CREAD;
  image.cc[VMIN] = 0;
  image.cc[VTIME] = 0;
}

bool DcbToLine(const PortDcb& dcb, LineImage& image) {
  if (dcb.BaudRate == 0 || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > kSpaceParity ||
      dcb.StopBits > kTwoStopBits) {
    return false;
  }
  LineImage t = image;
  // Any rate, both directions alike.
  t.cflag = (t.cflag & ~kSpeedBits) | BOTHER | (BOTHER << IBSHIFT);
  t.ispeed = dcb.BaudRate;
  t.ospeed = dcb.BaudRate;

  static constexpr std::uint32_t kSizes[] = {CS5, CS6, CS7, CS8};
  t.cflag = (t.cflag & ~std::uint32_t{CSIZE}) | kSizes[dcb.ByteSize - 5];

  t.cflag &= ~std::uint32_t{PARENB | PARODD | CMSPAR};
  switch (dcb.Parity) {
    case kOddParity: t.cflag |= PARENB | PARODD; break;
    case kEvenParity: t.cflag |= PARENB; break;
    case kMarkParity: t.cflag |= PARENB | CMSPAR | PARODD; break;
    case kSpaceParity: t.cflag |= PARENB | CMSPAR; break;
    default: break;
  }
  // termios has no one and a half: two is the nearer frame.
  SetFlag(t.cflag, CSTOPB, dcb.StopBits != kOneStopBit);
  SetFlag(t.cflag, CRTSCTS, dcb.fOutxCtsFlow != 0 || dcb.fRtsControl == kRtsControlHandshake);
  SetFlag(t.iflag, IXON, dcb.fOutX != 0);
  SetFlag(t.iflag, IXOFF, dcb.fInX != 0);
  t.cc[VSTART] = static_cast<std::uint8_t>(dcb.XonChar);
  t.cc[VSTOP] = static_cast<std::uint8_t>(dcb.XoffChar);
  SetFlag(t.iflag, INPCK, dcb.fParity != 0);
  t.cflag |= CLOCAL | CREAD;
  image = t;
  return true;
}

void LineToDcb(const LineImage& image, PortDcb& dcb) {
  dcb.BaudRate = image.ospeed;
  switch (image.cflag & CSIZE) {
    case CS5: dcb.ByteSize = 5; break;
    case CS6: dcb.ByteSize = 6; break;
    case CS7: dcb.ByteSize = 7; break;
    default: dcb.ByteSize = 8; break;
  }
  if ((image.cflag & PARENB) == 0) {
    dcb.Parity = kNoParity;
  } else if ((image.cflag & CMSPAR) != 0) {
    dcb.Parity = (image.cflag & PARODD) != 0 ? kMarkParity : kSpaceParity;
  } else {
    dcb.Parity = (image.cflag & PARODD) != 0 ? kOddParity : kEvenParity;
  }
  if ((image.cflag & CSTOPB) == 0) {
    dcb.StopBits = kOneStopBit;
  } else if (dcb.StopBits == kOneStopBit) {
    dcb.StopBits = kTwoStopBits;
  }
  const bool ctsRts = (image.cflag & CRTSCTS) != 0;
  const bool askedFor = dcb.fOutxCtsFlow != 0 || dcb.fRtsControl == kRtsControlHandshake;
  if (ctsRts && !askedFor) {
    dcb.fOutxCtsFlow = 1;
    dcb.fRtsControl = kRtsControlHandshake;
  } else if (!ctsRts) {
    dcb.fOutxCtsFlow = 0;
    if (dcb.fRtsControl == kRtsControlHandshake) dcb.fRtsControl = kRtsControlEnable;
  }
  dcb.fOutX = (image.iflag & IXON) != 0 ? 1 : 0;
  dcb.fInX = (image.iflag & IXOFF) != 0 ? 1 : 0;
  dcb.XonChar = static_cast<char>(image.cc[VSTART]);
  dcb.XoffChar = static_cast<char>(image.cc[VSTOP]);
  dcb.fParity = (image.iflag & INPCK) != 0 ? 1 : 0;
}

}  // namespace serial::posix
