#include "serial/posix/posix_serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "serial/posix/group_name_posix.h"
#include "serial/posix/posix_line.h"

namespace serial {

std::unique_ptr<ISerialPort> MakePlatformSerialPort() { return std::make_unique<posix::CPosixSerialPort>(); }

namespace posix {

namespace {

// A gone device keeps reporting hang-up; the monitor looks again this often.
constexpr int kHangupPauseMs = 50;

void CloseFd(std::atomic<int>& fd) {
  const int old = fd.exchange(-1);
  if (old >= 0) ::close(old);
}

void Signal(int efd) {
  const std::uint64_t one = 1;
  if (efd >= 0) (void)!::write(efd, &one, sizeof one);
}

void Reset(int efd) {
  std::uint64_t value = 0;
  if (efd >= 0) (void)!::read(efd, &value, sizeof value);
}

// Milliseconds left until `end`, rounded up so that a wait never ends early.
int MsUntil(std::chrono::steady_clock::time_point end) {
  const auto left = end - std::chrono::steady_clock::now();
  if (left <= std::chrono::steady_clock::duration::zero()) return 0;
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  return static_cast<int>(std::min<long long>(ms, INT_MAX));
}

std::string GroupName(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {};
  return GroupNameOf(st.st_gid).value_or(std::string());
}

// The monitor thread's state, shared with the thread itself so that a Close
// called from the monitor's own callback (which cannot join itself) leaves it
// valid until the thread is done.
struct MonitorState {
  std::function<void()> loop;
  int niceIncrement = 0;
  int doneFd = -1;
  ~MonitorState() {
    if (doneFd >= 0) ::close(doneFd);
  }
};

void* RunMonitor(void* arg) {
  const std::unique_ptr<std::shared_ptr<MonitorState>> holder(static_cast<std::shared_ptr<MonitorState>*>(arg));
  const std::shared_ptr<MonitorState> state = *holder;
  if (state->niceIncrement > 0) {
    // Per thread on Linux: the thread id names just this thread.
    const auto self = static_cast<id_t>(::gettid());
    errno = 0;
    const int current = ::getpriority(PRIO_PROCESS, self);
    if (errno == 0) (void)::setpriority(PRIO_PROCESS, self, std::min(current + state->niceIncrement, 19));
  }
  state->loop();
  Signal(state->doneFd);
  return nullptr;
}

class CPosixMonitorThread : public IMonitorThread {
 public:
  explicit CPosixMonitorThread(std::shared_ptr<MonitorState> state) : m_state(std::move(state)) {}
  ~CPosixMonitorThread() override { Join(); }
  CPosixMonitorThread(const CPosixMonitorThread&) = delete;
  CPosixMonitorThread& operator=(const CPosixMonitorThread&) = delete;

  bool Start() {
    auto* arg = new std::shared_ptr<MonitorState>(m_state);
    if (::pthread_create(&m_thread, nullptr, RunMonitor, arg) != 0) {
      delete arg;
      return false;
    }
    m_running = true;
    return true;
  }

  void Join() override {
    if (!m_running) return;
    m_running = false;
    if (::pthread_equal(m_thread, ::pthread_self()) != 0) {
      ::pthread_detach(m_thread);  // the thread ends once its loop sees the port closed
    } else {
      ::pthread_join(m_thread, nullptr);
    }
  }

  // Readable once the loop has returned.
  std::intptr_t WaitHandle() const override { return m_state->doneFd; }

 private:
  std::shared_ptr<MonitorState> m_state;
  pthread_t m_thread{};
  bool m_running = false;
};

}  // namespace

OpenFailure ClassifyOpenErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR: return OpenFailure::NotFound;
    case EACCES:
    case EPERM: return OpenFailure::AccessDenied;
    case EBUSY:
    case EWOULDBLOCK: return OpenFailure::Busy;
    default: return OpenFailure::Other;
  }
}

CPosixSerialPort::~CPosixSerialPort() { CloseDevice(); }

std::string CPosixSerialPort::DevicePath(std::string_view portName, bool /*namespacePrefix*/) const {
  if (portName.starts_with('/')) return std::string(portName);
  std::string path = "/dev/";
  path += portName;
  return path;
}

void CPosixSerialPort::FailOpen(OpenFailure kind, const std::string& path, int error) {
  m_openError = {kind, path, std::strerror(error), {}};
  if (kind == OpenFailure::AccessDenied) m_openError.permissionGroup = GroupName(path);
}

bool CPosixSerialPort::OpenDevice(const std::string& path) {
  m_openError = {};
  if (m_fd.load() >= 0) {
    m_openError = {OpenFailure::Busy, path, "the port is already open", {}};
    return false;
  }
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    FailOpen(error == EISDIR ? OpenFailure::NotSerial : ClassifyOpenErrno(error), path, error);
    return false;
  }
  const auto fail = [&](OpenFailure kind, int error) {
    ::close(fd);
    FailOpen(kind, path, error);
    return false;
  };
  // The lock first, so that a port someone else holds is left as it was.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    return fail(error == EWOULDBLOCK ? OpenFailure::Busy : OpenFailure::Other, error);
  }
  int exclusive = 0;
  if (::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) return fail(OpenFailure::Busy, EBUSY);
  // A file or a device that is no terminal answers ENOTTY here.
  const auto notTerminal = [](int error) { return error == ENOTTY ? OpenFailure::NotSerial : OpenFailure::Other; };
  if (::ioctl(fd, TIOCEXCL) != 0) {
    const int error = errno;
    return fail(notTerminal(error), error);
  }

  LineImage line;
  if (!ReadLine(fd, line)) {
    const int error = errno;
    return fail(notTerminal(error), error);
  }
  MakeRaw(line);
  if (!WriteLine(fd, line)) return fail(OpenFailure::Other, errno);

  const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  const int kick = wake >= 0 ? ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK) : -1;
  if (kick < 0) {
    const int error = errno;
    if (wake >= 0) ::close(wake);
    ::ioctl(fd, TIOCNXCL);
    return fail(OpenFailure::Other, error);
  }

  {
    const std::lock_guard lock(m_stateMutex);
    m_dcb = PortDcb{};
    m_dcb.fBinary = 1;
    m_dcb.fDtrControl = kDtrControlEnable;
    m_dcb.fRtsControl = kRtsControlEnable;
    LineToDcb(line, m_dcb);
  }
  {
    const std::lock_guard lock(m_outMutex);
    m_timeouts = {};
    DropOutputLocked();
  }
  {
    const std::lock_guard lock(m_maskMutex);
    m_mask.store(0);
    Signal(wake);  // the eventfd is readable exactly while the mask is 0
  }
  m_wakeFd.store(wake);
  m_kickFd.store(kick);
  m_fd.store(fd);
  return true;
}

bool CPosixSerialPort::CloseDevice() {
  const int fd = m_fd.exchange(-1);
  CloseFd(m_wakeFd);
  CloseFd(m_kickFd);
  {
    const std::lock_guard lock(m_outMutex);
    DropOutputLocked();
  }
  m_mask.store(0);
  if (fd < 0) return false;
  ::ioctl(fd, TIOCNXCL);
  ::flock(fd, LOCK_UN);
  ::close(fd);
  return true;
}

bool CPosixSerialPort::SetCommMask(std::uint32_t mask) {
  const std::lock_guard lock(m_maskMutex);
  if (m_fd.load() < 0) return false;
  const std::uint32_t previous = m_mask.exchange(mask);
  if (mask == 0 && previous != 0) {
    Signal(m_wakeFd.load());
  } else if (mask != 0 && previous == 0) {
    Reset(m_wakeFd.load());
  }
  return true;
}

bool CPosixSerialPort::SetupComm(std::uint32_t inQueue, std::uint32_t outQueue) {
  // The kernel sizes its own queues; the values are kept for what they ask.
  const std::lock_guard lock(m_stateMutex);
  m_inQueue = inQueue;
  m_outQueue = outQueue;
  return m_fd.load() >= 0;
}

bool CPosixSerialPort::SetCommTimeouts(const CommTimeouts& timeouts) {
  const std::lock_guard lock(m_outMutex);
  m_timeouts = timeouts;
  return m_fd.load() >= 0;
}

bool CPosixSerialPort::GetCommState(PortDcb& dcb) {
  const int fd = m_fd.load();
  LineImage line;
  if (fd < 0 || !ReadLine(fd, line)) return false;
  const std::lock_guard lock(m_stateMutex);
  dcb = m_dcb;
  LineToDcb(line, dcb);
  return true;
}

bool CPosixSerialPort::SetCommState(const PortDcb& dcb) {
  const int fd = m_fd.load();
  LineImage line;
  if (fd < 0 || !ReadLine(fd, line)) return false;
  if (!DcbToLine(dcb, line) || !WriteLine(fd, line)) return false;
  const std::lock_guard lock(m_stateMutex);
  m_dcb = dcb;
  return true;
}

bool CPosixSerialPort::EscapeCommFunction(EscapeCode code) {
  const int fd = m_fd.load();
  if (fd < 0) return false;
  int dtr = TIOCM_DTR;
  int rts = TIOCM_RTS;
  switch (code) {
    case EscapeCode::SetBreak: return ::ioctl(fd, TIOCSBRK) == 0;
    case EscapeCode::ClrBreak: return ::ioctl(fd, TIOCCBRK) == 0;
    case EscapeCode::SetDtr: return ::ioctl(fd, TIOCMBIS, &dtr) == 0;
    case EscapeCode::ClrDtr: return ::ioctl(fd, TIOCMBIC, &dtr) == 0;
    case EscapeCode::SetRts: return ::ioctl(fd, TIOCMBIS, &rts) == 0;
  }
  return false;
}

bool CPosixSerialPort::PurgeComm(std::uint32_t flags) {
  const int fd = m_fd.load();
  if (fd < 0) return false;
  const bool rx = (flags & (kPurgeRxAbort | kPurgeRxClear)) != 0;
  const bool tx = (flags & (kPurgeTxAbort | kPurgeTxClear)) != 0;
  if (tx) {
    const std::lock_guard lock(m_outMutex);
    DropOutputLocked();
  }
  return FlushLine(fd, rx, tx);
}

void CPosixSerialPort::DropOutputLocked() {
  m_out.clear();
  m_retiredTotal = m_queuedTotal;
  m_pendingBytes.store(0);
}

void CPosixSerialPort::FlushLocked(int fd) {
  while (!m_out.empty()) {
    Segment& head = m_out.front();
    if (head.expires && Clock::now() >= head.deadline) {
      m_retiredTotal += head.bytes.size() - head.sent;
      m_out.pop_front();
      continue;
    }
    const ssize_t n = ::write(fd, head.bytes.data() + head.sent, head.bytes.size() - head.sent);
    if (n > 0) {
      head.sent += static_cast<std::size_t>(n);
      m_retiredTotal += static_cast<std::uint64_t>(n);
      if (head.sent == head.bytes.size()) m_out.pop_front();
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    DropOutputLocked();  // the port failed the write: nothing queued will get out
    return;
  }
  m_pendingBytes.store(static_cast<std::size_t>(m_queuedTotal - m_retiredTotal));
}

void CPosixSerialPort::Write(std::span<const std::uint8_t> data, std::uint32_t waitMs) {
  const int fd = m_fd.load();
  if (fd < 0 || data.empty()) return;
  const auto start = Clock::now();
  const auto waitEnd = start + std::chrono::milliseconds(waitMs);
  std::uint64_t mine = 0;
  {
    const std::lock_guard lock(m_outMutex);
    Segment segment{{data.begin(), data.end()}, 0, false, {}};
    const std::uint64_t timeoutMs = std::uint64_t{m_timeouts.WriteTotalTimeoutMultiplier} * data.size() +
                                    m_timeouts.WriteTotalTimeoutConstant;
    if (timeoutMs != 0) {
      segment.expires = true;
      segment.deadline = start + std::chrono::milliseconds(timeoutMs);
    }
    m_out.push_back(std::move(segment));
    m_queuedTotal += data.size();
    mine = m_queuedTotal;
    FlushLocked(fd);
    if (m_retiredTotal >= mine) return;
  }
  for (;;) {
    const int left = MsUntil(waitEnd);
    if (left == 0) break;
    pollfd p{fd, POLLOUT, 0};
    const int rc = ::poll(&p, 1, left);
    if (rc < 0 && errno != EINTR) break;
    const std::lock_guard lock(m_outMutex);
    FlushLocked(fd);
    if (m_retiredTotal >= mine) return;
  }
  Signal(m_kickFd.load());  // the monitor carries on with what is left
}

int CPosixSerialPort::Read(std::span<std::uint8_t> dest, std::uint32_t /*waitMs*/) {
  // Reads never block (VMIN 0, VTIME 0, O_NONBLOCK): there is nothing to wait for.
  const int fd = m_fd.load();
  if (fd < 0 || dest.empty()) return 0;
  const std::size_t want = std::min<std::size_t>(dest.size(), INT_MAX);
  for (;;) {
    const ssize_t n = ::read(fd, dest.data(), want);
    if (n > 0) return static_cast<int>(n);
    if (n < 0 && errno == EINTR) continue;
    return 0;
  }
}

bool CPosixSerialPort::PrepareEventWait() { return m_fd.load() >= 0 && m_wakeFd.load() >= 0; }

void CPosixSerialPort::PauseUnlessWoken(int ms) const {
  pollfd p{m_wakeFd.load(), POLLIN, 0};
  (void)::poll(&p, 1, ms);
}

std::uint32_t CPosixSerialPort::WaitCommEvent() {
  const int fd = m_fd.load();
  const int wake = m_wakeFd.load();
  const int kick = m_kickFd.load();
  if (fd < 0 || wake < 0) {
    PauseUnlessWoken(kHangupPauseMs);
    return 0;
  }
  for (;;) {
    Reset(kick);  // before looking at the queue, so that a later kick is not lost
    const std::uint32_t mask = m_mask.load();
    if (mask == 0) return 0;
    short portEvents = 0;
    if ((mask & kEvRxChar) != 0) portEvents |= POLLIN;
    if (m_pendingBytes.load() != 0) portEvents |= POLLOUT;
    pollfd fds[3] = {{fd, portEvents, 0}, {wake, POLLIN, 0}, {kick, POLLIN, 0}};
    const int rc = ::poll(fds, 3, -1);
    if (rc < 0) {
      if (errno == EINTR) continue;
      PauseUnlessWoken(kHangupPauseMs);
      return 0;
    }
    if ((fds[1].revents & POLLIN) != 0) return 0;
    const short got = fds[0].revents;
    if ((got & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
      // A gone device stays "ready" for ever: look again only after a pause.
      if (m_pendingBytes.load() != 0) {
        const std::lock_guard lock(m_outMutex);
        FlushLocked(fd);
      }
      PauseUnlessWoken(kHangupPauseMs);
      return (got & POLLIN) != 0 && (mask & kEvRxChar) != 0 ? kEvRxChar : 0;
    }
    if ((got & POLLOUT) != 0) {
      const std::lock_guard lock(m_outMutex);
      FlushLocked(fd);
    }
    if ((got & POLLIN) != 0) return kEvRxChar;
  }
}

std::unique_ptr<IMonitorThread> CPosixSerialPort::StartMonitorThread(int priority, std::function<void()> loop,
                                                                    std::function<void()> /*onReceived*/) {
  auto state = std::make_shared<MonitorState>();
  state->loop = std::move(loop);
  // Below normal is a nice increment; a raise would need privileges, and a
  // monitor asleep in poll gains nothing from it.
  state->niceIncrement = priority < 0 ? std::min(-priority, 19) : 0;
  state->doneFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (state->doneFd < 0) return nullptr;
  auto thread = std::make_unique<CPosixMonitorThread>(std::move(state));
  if (!thread->Start()) return nullptr;
  return thread;
}

}  // namespace posix
}  // namespace serial
