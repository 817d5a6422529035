// receiver-sim: the device model served on a pseudo-terminal, on the real
// clock. It sleeps in ppoll until the PC writes, the model's next event is
// due, a file is to be refreshed, or a stop signal comes.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <iostream>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "simulator/daemon/options.h"
#include "simulator/daemon/pty.h"
#include "simulator/model/device_model.h"

namespace sim {
namespace {

constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();
constexpr std::uint64_t kReportPeriodUs = 200000;
constexpr std::uint64_t kMasterRetryUs = 50000;
constexpr std::uint64_t kMinSleepUs = 1000;          // like a USB adapter's latency timer
constexpr std::size_t kMaxPendingOutput = 1U << 20;  // beyond this a reader that never reads loses bytes

std::uint64_t NowUs() {
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch()).count());
}

bool WriteAtomically(const std::string& path, std::span<const std::uint8_t> bytes) {
  const std::string temp = path + ".tmp";
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  const bool ok = close(fd) == 0 && done == bytes.size();
  return ok && rename(temp.c_str(), path.c_str()) == 0;
}

void OnStopSignal(int) {}  // only interrupts ppoll; the loop sees EINTR

// SIGUSR1: the receiver is powered on again (a board put in the fixture).
volatile sig_atomic_t g_powerOn = 0;
void OnPowerOnSignal(int) { g_powerOn = 1; }

class CDaemon {
 public:
  explicit CDaemon(DaemonOptions options) : m_options(std::move(options)), m_model(m_options.model) {}

  int Run() {
    std::string error;
    if (!m_pty.Open(error)) {
      std::cerr << "receiver-sim: cannot make a pseudo-terminal: " << error << '\n';
      return 1;
    }
    if (!MakeLink()) return 1;

    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    sigaddset(&stopSignals, SIGUSR1);
    sigset_t waitMask;
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);  // delivered only inside ppoll
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGTERM);
    sigdelset(&waitMask, SIGHUP);
    sigdelset(&waitMask, SIGUSR1);
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (const int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &action, nullptr);
    action.sa_handler = OnPowerOnSignal;
    sigaction(SIGUSR1, &action, nullptr);

    const std::uint64_t start = NowUs();
    const std::uint64_t deadline =
        m_options.exitAfterSeconds > 0 ? start + static_cast<std::uint64_t>(m_options.exitAfterSeconds * 1e6) : kNever;
    WriteFlash();
    WriteReport(true);
    // Ready only now: a stop signal from here on is held for ppoll, and the
    // report exists, so a caller that stops us at once still gets both.
    std::cout << m_pty.SlavePath() << std::endl;
    Serve();  // starts the model's clock: the receiver's periodic output runs from here
    for (;;) {
      std::uint64_t now = NowUs();
      if (now >= deadline) break;
      std::uint64_t wake = std::min(deadline, m_model.NextEventUs());
      if (m_reportDirty) wake = std::min(wake, m_lastReportUs + kReportPeriodUs);
      if (m_masterRestUntilUs > now) wake = std::min(wake, m_masterRestUntilUs);
      if (wake > now) wake = std::max(wake, now + kMinSleepUs);

      pollfd fd{m_pty.Master(), 0, 0};
      if (m_masterRestUntilUs <= now) fd.events = static_cast<short>(POLLIN | (m_output.empty() ? 0 : POLLOUT));
      timespec timeout{};
      timespec* timeoutPtr = nullptr;
      if (wake != kNever) {
        const std::uint64_t wait = wake > now ? wake - now : 0;
        timeout.tv_sec = static_cast<time_t>(wait / 1000000);
        timeout.tv_nsec = static_cast<long>(wait % 1000000 * 1000);
        timeoutPtr = &timeout;
      }
      const int ready = ppoll(&fd, fd.events ? 1 : 0, timeoutPtr, &waitMask);
      if (ready < 0 && errno == EINTR) {
        if (g_powerOn == 0) break;  // a stop signal
        g_powerOn = 0;
        m_model.PowerOn(NowUs());
        m_reportDirty = true;
        Serve();
        continue;
      }
      if (fd.revents & POLLIN) ReadFromPc();
      if (fd.revents & (POLLHUP | POLLERR | POLLNVAL) && !(fd.revents & POLLIN)) Rest();
      Serve();
    }
    WriteFlash();
    WriteReport(true);
    RemoveLink();
    return 0;
  }

 private:
  bool MakeLink() {
    struct stat st {};
    if (lstat(m_options.link.c_str(), &st) == 0) {
      if (!S_ISLNK(st.st_mode)) {
        std::cerr << "receiver-sim: " << m_options.link << " exists and is not a symlink; not replacing it\n";
        return false;
      }
      unlink(m_options.link.c_str());
    }
    if (symlink(m_pty.SlavePath().c_str(), m_options.link.c_str()) != 0) {
      std::cerr << "receiver-sim: cannot link " << m_options.link << ": " << std::strerror(errno) << '\n';
      return false;
    }
    return true;
  }

  void RemoveLink() {
    std::vector<char> target(m_pty.SlavePath().size() + 2);
    const ssize_t n = readlink(m_options.link.c_str(), target.data(), target.size());
    if (n >= 0 && std::string(target.data(), static_cast<std::size_t>(n)) == m_pty.SlavePath()) unlink(m_options.link.c_str());
  }

  // A master whose slave side is gone reports hang-up at once; wait a little
  // instead of spinning on it.
  void Rest() { m_masterRestUntilUs = NowUs() + kMasterRetryUs; }

  void ReadFromPc() {
    std::uint8_t buffer[4096];
    for (;;) {
      const ssize_t n = read(m_pty.Master(), buffer, sizeof buffer);
      if (n > 0) {
        m_model.ReceiveFromPc(std::span<const std::uint8_t>(buffer, static_cast<std::size_t>(n)), m_pty.LineRate(), NowUs());
        m_reportDirty = true;
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) Rest();  // EIO: no slave side open
      return;
    }
  }

  void Serve() {
    for (auto& chunk : m_model.TakeBytesForPc(NowUs(), m_pty.LineRate())) {
      m_reportDirty = true;
      if (m_outputBytes + chunk.size() > kMaxPendingOutput) {
        m_dropped += chunk.size();
        continue;
      }
      m_outputBytes += chunk.size();
      m_output.push_back(std::move(chunk));
    }
    // The memory image first: a PC that has seen the acknowledgement finds the page in the file.
    if (m_model.GetReport().pages.size() != m_pagesWritten) WriteFlash();
    WriteOutput();
    if (m_reportDirty && NowUs() >= m_lastReportUs + kReportPeriodUs) WriteReport(false);
  }

  void WriteOutput() {
    while (!m_output.empty() && m_masterRestUntilUs <= NowUs()) {
      auto& chunk = m_output.front();
      const ssize_t n = write(m_pty.Master(), chunk.data() + m_outputOffset, chunk.size() - m_outputOffset);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK) Rest();
        return;
      }
      m_outputOffset += static_cast<std::size_t>(n);
      if (m_outputOffset == chunk.size()) {
        m_outputBytes -= chunk.size();
        m_output.pop_front();
        m_outputOffset = 0;
      }
    }
  }

  void WriteFlash() {
    m_pagesWritten = m_model.GetReport().pages.size();
    if (m_options.flashOut.empty()) return;
    if (!WriteAtomically(m_options.flashOut, m_model.Flash()) && !m_flashWarned) {
      std::cerr << "receiver-sim: cannot write " << m_options.flashOut << '\n';
      m_flashWarned = true;
    }
  }

  void WriteReport(bool force) {
    m_lastReportUs = NowUs();
    m_reportDirty = false;
    if (m_options.report.empty()) return;
    std::string json = m_model.ReportJson(m_dropped) + '\n';
    if (!force && json == m_lastReport) return;
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(json.data()), json.size());
    if (!WriteAtomically(m_options.report, bytes) && !m_reportWarned) {
      std::cerr << "receiver-sim: cannot write " << m_options.report << '\n';
      m_reportWarned = true;
    }
    m_lastReport = std::move(json);
  }

  DaemonOptions m_options;
  CDeviceModel m_model;
  CPseudoTerminal m_pty;
  std::deque<std::vector<std::uint8_t>> m_output;
  std::size_t m_outputOffset = 0;
  std::size_t m_outputBytes = 0;
  std::uint64_t m_dropped = 0;
  std::uint64_t m_masterRestUntilUs = 0;
  std::size_t m_pagesWritten = 0;
  bool m_reportDirty = false;
  std::uint64_t m_lastReportUs = 0;
  std::string m_lastReport;
  bool m_flashWarned = false;
  bool m_reportWarned = false;
};

}  // namespace
}  // namespace sim

constexpr int kAheadOfTheProgramsNice = -10;

int main(int argc, char** argv) {
  std::vector<std::string_view> args(argv + 1, argv + argc);
  sim::DaemonOptions options;
  if (const auto problem = sim::ParseDaemonOptions(args, options)) {
    std::cerr << "receiver-sim: " << *problem << '\n';
    return 2;
  }
  if (options.help) {
    std::cout << sim::DaemonUsage();
    return 0;
  }
  // A board never stalls, and the line's rate is read when its bytes are: where
  // the system grants it, the simulator goes ahead of the programs it answers,
  // so that a loaded machine delays its reads less. Refused, it runs as it is.
  (void)setpriority(PRIO_PROCESS, 0, kAheadOfTheProgramsNice);
  sim::CDaemon daemon(std::move(options));
  return daemon.Run();
}
