#include "serial/port_list.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace serial {
namespace {

// Legacy nodes exist for ports that are not there; those report PORT_UNKNOWN
// or refuse the terminal calls.
bool LegacyPortAnswers(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  bool answers = false;
  struct serial_struct info{};
  if (::ioctl(fd, TIOCGSERIAL, &info) == 0) {
    answers = info.type != PORT_UNKNOWN;
  } else {
    struct termios tio{};
    answers = ::tcgetattr(fd, &tio) == 0;
  }
  ::close(fd);
  return answers;
}

}  // namespace

std::vector<std::string> ListCommPorts() { return ListSerialDevices("/dev", LegacyPortAnswers); }

}  // namespace serial
