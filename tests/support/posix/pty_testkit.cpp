#include "support/posix/pty_testkit.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>

namespace serial::posix::testkit {

namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point end) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

CPtyPair::CPtyPair() {
  const int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return;
  std::array<char, 128> name{};
  if (::grantpt(fd) != 0 || ::unlockpt(fd) != 0 || ::ptsname_r(fd, name.data(), name.size()) != 0 ||
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK) != 0) {
    ::close(fd);
    return;
  }
  m_master = fd;
  m_slavePath = name.data();
}

CPtyPair::~CPtyPair() { CloseMaster(); }

void CPtyPair::CloseMaster() {
  if (m_master >= 0) ::close(m_master);
  m_master = -1;
}

void CPtyPair::CloseFd(int fd) {
  if (fd >= 0) ::close(fd);
}

std::size_t CPtyPair::Send(std::span<const std::uint8_t> bytes, int timeoutMs) {
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::size_t done = 0;
  while (m_master >= 0 && done < bytes.size()) {
    const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) break;
    const int left = MsLeft(end);
    if (left == 0) break;
    pollfd p{m_master, POLLOUT, 0};
    ::poll(&p, 1, left);
  }
  return done;
}

std::vector<std::uint8_t> CPtyPair::Receive(std::size_t count, int timeoutMs, int quietMs) {
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::vector<std::uint8_t> got;
  std::array<std::uint8_t, 65536> buffer{};
  while (m_master >= 0 && got.size() < count) {
    const ssize_t n = ::read(m_master, buffer.data(), std::min(buffer.size(), count - got.size()));
    if (n > 0) {
      got.insert(got.end(), buffer.begin(), buffer.begin() + n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) break;
    int wait = MsLeft(end);
    if (quietMs >= 0) wait = std::min(wait, quietMs);
    if (wait == 0) break;
    pollfd p{m_master, POLLIN, 0};
    if (::poll(&p, 1, wait) == 0 && quietMs >= 0) break;
  }
  return got;
}

bool CPtyPair::ReadSlaveLine(LineImage& image) const { return m_master >= 0 && ReadLine(m_master, image); }

bool CPtyPair::WriteSlaveLine(const LineImage& image) const { return m_master >= 0 && WriteLine(m_master, image); }

bool CPtyPair::ChmodSlave(unsigned mode) const {
  return !m_slavePath.empty() && ::chmod(m_slavePath.c_str(), static_cast<mode_t>(mode)) == 0;
}

bool CPtyPair::SetSlaveGroup(const std::string& groupName) const {
  std::array<char, 4096> buffer{};
  group entry{};
  group* found = nullptr;
  if (::getgrnam_r(groupName.c_str(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) {
    return false;
  }
  return ::chown(m_slavePath.c_str(), static_cast<uid_t>(-1), found->gr_gid) == 0;
}

int CPtyPair::OpenSlaveRaw(Hold hold) const {
  const int fd = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  if ((hold == Hold::Exclusive && ::ioctl(fd, TIOCEXCL) != 0) ||
      (hold == Hold::Lock && ::flock(fd, LOCK_EX | LOCK_NB) != 0)) {
    ::close(fd);
    return -1;
  }
  LineImage line;
  if (!ReadLine(fd, line)) {
    ::close(fd);
    return -1;
  }
  MakeRaw(line);
  SetMinChars(line, 1);  // cat's read blocks for at least one byte
  if (!WriteLine(fd, line)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

CCatReader::CCatReader(int inputFd) {
  int pipeFds[2] = {-1, -1};
  if (inputFd < 0 || ::pipe2(pipeFds, O_CLOEXEC) != 0) return;
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_adddup2(&actions, inputFd, 0);
  ::posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  char arg0[] = "cat";
  char* argv[] = {arg0, nullptr};
  pid_t pid = -1;
  const int rc = ::posix_spawnp(&pid, "cat", &actions, nullptr, argv, environ);
  ::posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  if (rc != 0) {
    ::close(pipeFds[0]);
    return;
  }
  m_pid = pid;
  m_out = pipeFds[0];
}

CCatReader::~CCatReader() {
  if (m_pid > 0) {
    ::kill(m_pid, SIGTERM);
    ::waitpid(m_pid, nullptr, 0);
  }
  if (m_out >= 0) ::close(m_out);
}

std::size_t CCatReader::Drain(std::size_t count, int timeoutMs) {
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::array<std::uint8_t, 65536> buffer{};
  std::size_t got = 0;
  while (m_out >= 0 && got < count) {
    pollfd p{m_out, POLLIN, 0};
    const int left = MsLeft(end);
    if (left == 0 || ::poll(&p, 1, left) <= 0) break;
    const ssize_t n = ::read(m_out, buffer.data(), buffer.size());
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  return got;
}

CChildProcess::CChildProcess(const std::vector<std::string>& argv) {
  int pipeFds[2] = {-1, -1};
  if (argv.empty() || ::pipe2(pipeFds, O_CLOEXEC) != 0) return;
  std::vector<std::string> args = argv;
  std::vector<char*> pointers;
  for (auto& a : args) pointers.push_back(a.data());
  pointers.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  pid_t pid = -1;
  const int rc = ::posix_spawn(&pid, args[0].c_str(), &actions, nullptr, pointers.data(), environ);
  ::posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  if (rc != 0) {
    ::close(pipeFds[0]);
    return;
  }
  m_pid = pid;
  m_out = pipeFds[0];
}

CChildProcess::~CChildProcess() {
  End(SIGTERM);
  if (m_out >= 0) ::close(m_out);
}

void CChildProcess::End(int signal) {
  if (m_pid <= 0) return;
  ::kill(m_pid, signal);
  ::waitpid(m_pid, nullptr, 0);
  m_pid = -1;
}

void CChildProcess::Kill() { End(SIGKILL); }

void CChildProcess::Stop() { End(SIGTERM); }

void CChildProcess::Signal(int signal) const {
  if (m_pid > 0) ::kill(m_pid, signal);
}

std::string CChildProcess::ReadLine(int timeoutMs) {
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (const auto newline = m_buffered.find('\n'); newline != std::string::npos) {
      std::string line = m_buffered.substr(0, newline);
      m_buffered.erase(0, newline + 1);
      return line;
    }
    pollfd p{m_out, POLLIN, 0};
    const int left = MsLeft(end);
    if (m_out < 0 || left == 0 || ::poll(&p, 1, left) <= 0) return {};
    std::array<char, 4096> chunk{};
    const ssize_t n = ::read(m_out, chunk.data(), chunk.size());
    if (n <= 0) return {};
    m_buffered.append(chunk.data(), static_cast<std::size_t>(n));
  }
}

std::uint64_t ProcessCpuMicros() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  const auto micros = [](const timeval& tv) {
    return static_cast<std::uint64_t>(tv.tv_sec) * 1000000u + static_cast<std::uint64_t>(tv.tv_usec);
  };
  return micros(usage.ru_utime) + micros(usage.ru_stime);
}

int ThreadNice() {
  errno = 0;
  return ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
}

bool IsRoot() { return ::geteuid() == 0; }

std::string PrimaryGroupName() {
  std::array<char, 4096> buffer{};
  group entry{};
  group* found = nullptr;
  if (::getgrgid_r(::getgid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) return {};
  return found->gr_name;
}

int RunUnprivileged(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    if (::geteuid() == 0) {
      constexpr unsigned kNobody = 65534;
      if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(255);
    }
    ::_exit(body() & 0xFF);
  }
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace serial::posix::testkit
