#include "simulator/daemon/pty.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

namespace sim {

namespace {

std::string Problem(const char* what) {
  std::string text(what);
  text += ": ";
  text += std::strerror(errno);
  return text;
}

std::uint32_t RateOfSpeed(speed_t speed) {
  static constexpr std::array<std::pair<speed_t, std::uint32_t>, 30> kRates = {{
      {B50, 50},           {B75, 75},           {B110, 110},         {B134, 134},         {B150, 150},
      {B200, 200},         {B300, 300},         {B600, 600},         {B1200, 1200},       {B1800, 1800},
      {B2400, 2400},       {B4800, 4800},       {B9600, 9600},       {B19200, 19200},     {B38400, 38400},
      {B57600, 57600},     {B115200, 115200},   {B230400, 230400},   {B460800, 460800},   {B500000, 500000},
      {B576000, 576000},   {B921600, 921600},   {B1000000, 1000000}, {B1152000, 1152000}, {B1500000, 1500000},
      {B2000000, 2000000}, {B2500000, 2500000}, {B3000000, 3000000}, {B3500000, 3500000}, {B4000000, 4000000},
  }};
  for (const auto& [code, rate] : kRates) {
    if (code == speed) return rate;
  }
  return 0;
}

}  // namespace

CPseudoTerminal::~CPseudoTerminal() {
  if (m_slave >= 0) close(m_slave);
  if (m_master >= 0) close(m_master);
}

bool CPseudoTerminal::Open(std::string& error) {
  m_master = posix_openpt(O_RDWR | O_NOCTTY);
  if (m_master < 0) {
    error = Problem("posix_openpt");
    return false;
  }
  if (grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
    error = Problem("grantpt/unlockpt");
    return false;
  }
  std::array<char, 128> name{};
  if (ptsname_r(m_master, name.data(), name.size()) != 0) {
    error = Problem("ptsname_r");
    return false;
  }
  m_slavePath = name.data();
  const int flags = fcntl(m_master, F_GETFL);
  if (flags < 0 || fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0) {
    error = Problem("fcntl on the master");
    return false;
  }
  m_slave = open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (m_slave < 0) {
    error = Problem("opening the slave side");
    return false;
  }
  // Raw, so that nothing echoes the far end's bytes back to it or rewrites
  // line ends; master and slave share these settings.
  termios t{};
  if (tcgetattr(m_slave, &t) != 0) {
    error = Problem("tcgetattr");
    return false;
  }
  cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  cfsetispeed(&t, B9600);
  cfsetospeed(&t, B9600);
  if (tcsetattr(m_slave, TCSANOW, &t) != 0) {
    error = Problem("tcsetattr");
    return false;
  }
  return true;
}

std::uint32_t CPseudoTerminal::LineRate() const {
  std::uint32_t rate = 0;
  if (ReadArbitraryRate(m_master, rate)) return rate;
  termios t{};
  if (tcgetattr(m_master, &t) != 0) return 0;
  return RateOfSpeed(cfgetospeed(&t));
}

}  // namespace sim
