// The advice line for real failures of the POSIX port: a missing path, files
// that are no terminal, a pty another process holds, and a device node an
// unprivileged user may not open; and the /proc scan, bounded.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "frontend/port_advice.h"
#include "serial/port_list.h"
#include "serial/posix/port_holders_posix.h"
#include "support/posix/pty_testkit.h"
#include "serial/serial_port.h"
#include "support/temp_dir.h"

namespace {

using serial::posix::testkit::CPtyPair;
using serial::posix::testkit::IsRoot;

constexpr unsigned kNobody = 65534;

serial::OpenError FailedOpen(const std::string& path) {
  const auto port = serial::MakePlatformSerialPort();
  EXPECT_FALSE(port->OpenDevice(path)) << path;
  return port->LastOpenError();
}

fe::PortAdvice Advise(const std::string& path, fw::UiLanguage language = fw::UiLanguage::English) {
  return fe::AdviseOnOpenFailure(FailedOpen(path), language);
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A process that opens the device and holds it as another program would,
// under its own command name, until it is killed.
class HolderProcess {
 public:
  HolderProcess(const std::string& path, const char* name, CPtyPair::Hold hold) {
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) return;
    m_pid = ::fork();
    if (m_pid == 0) {
      ::prctl(PR_SET_NAME, name);
      const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
      const bool held = fd >= 0 && (hold == CPtyPair::Hold::Lock ? ::flock(fd, LOCK_EX | LOCK_NB) == 0
                                                                  : ::ioctl(fd, TIOCEXCL) == 0);
      const char answer = held ? '1' : '0';
      (void)!::write(ready[1], &answer, 1);
      for (;;) ::pause();
    }
    ::close(ready[1]);
    pollfd p{ready[0], POLLIN, 0};
    char answer = 0;
    m_ok = m_pid > 0 && ::poll(&p, 1, 5000) == 1 && ::read(ready[0], &answer, 1) == 1 && answer == '1';
    ::close(ready[0]);
  }
  ~HolderProcess() {
    if (m_pid <= 0) return;
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
  }
  HolderProcess(const HolderProcess&) = delete;
  HolderProcess& operator=(const HolderProcess&) = delete;

  bool Ok() const { return m_ok; }
  pid_t Pid() const { return m_pid; }

 private:
  pid_t m_pid = -1;
  bool m_ok = false;
};

// The advice a process of user `uid` gets (group nobody, no other groups):
// "cause<TAB>text", or what went wrong on the way.
std::string AdviceAsUser(uid_t uid, const std::string& path) {
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return "pipe failed";
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(out[0]);
    if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(uid) != 0) ::_exit(2);
    const auto port = serial::MakePlatformSerialPort();
    if (port->OpenDevice(path)) ::_exit(3);
    const fe::PortAdvice advice = fe::AdviseOnOpenFailure(port->LastOpenError(), fw::UiLanguage::English);
    const std::string line = advice.cause + "\t" + advice.text;
    ::_exit(::write(out[1], line.data(), line.size()) == static_cast<ssize_t>(line.size()) ? 0 : 4);
  }
  ::close(out[1]);
  std::string line;
  char chunk[512];
  for (ssize_t n; (n = ::read(out[0], chunk, sizeof chunk)) > 0;) line.append(chunk, static_cast<std::size_t>(n));
  ::close(out[0]);
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return "fork failed";
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return "child ended with " + std::to_string(status) + " (2: could not drop to the user, 3: the port opened)";
  }
  return line;
}

gid_t GroupId(const char* name) {
  const group* g = ::getgrnam(name);
  return g != nullptr ? g->gr_gid : static_cast<gid_t>(-1);
}

// ---- no such device, not a serial device ----

TEST(PortAdviceReal, MissingPathListsThePortsThatExist) {
  const std::string path = "/dev/ttyUSB-missing-" + std::to_string(::getpid());
  const fe::PortAdvice advice = Advise(path);
  EXPECT_EQ(advice.cause, "no-such-device");
  EXPECT_TRUE(Contains(advice.text, path + " does not exist")) << advice.text;
  // What /dev holds, looked up here on its own.
  std::vector<std::string> expected = serial::ListCommPorts();
  for (const auto& entry : std::filesystem::directory_iterator("/dev")) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with("ttyAMA") || name.starts_with("rfcomm")) expected.push_back(entry.path().string());
  }
  if (expected.empty()) {
    EXPECT_TRUE(Contains(advice.text, "Serial ports here: none found;")) << advice.text;
  }
  for (std::size_t i = 0; i < std::min<std::size_t>(expected.size(), 12); ++i) {
    EXPECT_TRUE(Contains(advice.text, expected[i])) << expected[i] << " missing in: " << advice.text;
  }

  const fe::PortAdvice chinese = Advise(path, fw::UiLanguage::Chinese);
  EXPECT_EQ(chinese.cause, "no-such-device");
  EXPECT_TRUE(Contains(chinese.text, "设备不存在：" + path + " 不存在。")) << chinese.text;
  if (expected.empty()) {
    EXPECT_TRUE(Contains(chinese.text, "未找到")) << chinese.text;
  }

  // A path through a file is missing too.
  EXPECT_EQ(Advise("/etc/passwd/ttyS0").cause, "no-such-device");
}

TEST(PortAdviceReal, FilesAndDevicesThatAreNoTerminalAreNotSerialDevices) {
  testing_support::TempDir dir;
  testing_support::WriteFile(dir.File("capture.txt"), "$GPGGA,not a port");
  struct Case {
    std::string path, what;
  };
  for (const Case& c : {Case{dir.File("capture.txt"), "is a regular file, not a serial port"},
                        Case{dir.Path().string(), "is a directory, not a serial port"},
                        Case{"/dev/null", "is a device that is no terminal, not a serial port"}}) {
    const fe::PortAdvice advice = Advise(c.path);
    EXPECT_EQ(advice.cause, "not-a-serial-device") << c.path;
    EXPECT_TRUE(Contains(advice.text, "Not a serial device: " + c.path + " " + c.what)) << advice.text;
    EXPECT_TRUE(Contains(advice.text, "Serial ports here: ")) << advice.text;
  }
  EXPECT_TRUE(Contains(Advise("/dev/null", fw::UiLanguage::Chinese).text, "/dev/null 是非终端的设备"));
}

TEST(PortAdviceReal, AThousandCharacterPathFailsWithItsCauseOnOneBoundedLine) {
  std::string deep = "/tmp";
  while (deep.size() < 1000) deep += "/x";
  std::string wide = "/tmp/" + std::string(1000, 'a');  // one name longer than any file system takes
  for (const auto& [path, cause] : {std::pair{deep, "no-such-device"}, std::pair{wide, "open-failed"}}) {
    const fe::PortAdvice advice = Advise(path);
    EXPECT_EQ(advice.cause, cause);
    EXPECT_EQ(advice.text.find('\n'), std::string::npos);
    EXPECT_LT(advice.text.size(), 600u) << advice.text;
    EXPECT_TRUE(Contains(advice.text, "...")) << advice.text;
  }
  EXPECT_TRUE(Contains(Advise(wide).text, "File name too long"));
}

// ---- in use ----

class PortAdviceHeld : public ::testing::TestWithParam<CPtyPair::Hold> {};

TEST_P(PortAdviceHeld, NamesTheProcessThatHoldsThePort) {
  CPtyPair pty;  // a fresh pty each time: TIOCEXCL outlives its holder
  ASSERT_TRUE(pty.Ok());
  const HolderProcess holder(pty.SlavePath(), "port-holder", GetParam());
  ASSERT_TRUE(holder.Ok());
  const fe::PortAdvice advice = Advise(pty.SlavePath());
  EXPECT_EQ(advice.cause, "in-use");
  EXPECT_TRUE(Contains(advice.text, pty.SlavePath() + " is held by port-holder (pid " +
                                        std::to_string(holder.Pid()) + ")"))
      << advice.text;
  EXPECT_TRUE(Contains(advice.text, "Close that program")) << advice.text;

  const fe::PortAdvice chinese = Advise(pty.SlavePath(), fw::UiLanguage::Chinese);
  EXPECT_TRUE(Contains(chinese.text, "port-holder（进程号 " + std::to_string(holder.Pid()) + "）")) << chinese.text;

  // Named through a link, as /dev/serial/by-id names ports.
  testing_support::TempDir dir;
  std::filesystem::create_symlink(pty.SlavePath(), dir.File("by-id"));
  const fe::PortAdvice linked = Advise(dir.File("by-id"));
  EXPECT_TRUE(Contains(linked.text, "held by port-holder (pid " + std::to_string(holder.Pid()) + ")")) << linked.text;
}

TEST_P(PortAdviceHeld, TheModemManagerIsTheUsualSuspect) {
  CPtyPair pty;
  ASSERT_TRUE(pty.Ok());
  const HolderProcess holder(pty.SlavePath(), "ModemManager", GetParam());
  ASSERT_TRUE(holder.Ok());
  const fe::PortAdvice advice = Advise(pty.SlavePath());
  EXPECT_EQ(advice.cause, "in-use");
  EXPECT_TRUE(Contains(advice.text, "ModemManager (pid " + std::to_string(holder.Pid()) + "), the modem manager"))
      << advice.text;
  EXPECT_TRUE(Contains(advice.text, "sudo systemctl stop ModemManager")) << advice.text;
  EXPECT_TRUE(Contains(advice.text, "ENV{ID_MM_DEVICE_IGNORE}=\"1\"")) << advice.text;
}

INSTANTIATE_TEST_SUITE_P(LockOrExclusive, PortAdviceHeld,
                         ::testing::Values(CPtyPair::Hold::Lock, CPtyPair::Hold::Exclusive),
                         [](const auto& param) { return param.param == CPtyPair::Hold::Lock ? "Flock" : "Tiocexcl"; });

// ---- permission denied ----

class PortAdviceDenied : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(IsRoot()) << "the device node must get a group the test user is not in, which only root can give; "
                             "run this test as root (as CI does)";
    ASSERT_TRUE(pty.Ok());
  }
  void Node(const char* group, unsigned mode) {
    ASSERT_TRUE(pty.SetSlaveGroup(group)) << group;
    ASSERT_TRUE(pty.ChmodSlave(mode));
  }
  CPtyPair pty;
};

TEST_F(PortAdviceDenied, AUserOutsideTheGroupIsToldHowToJoinIt) {
  Node("dialout", 0660);
  EXPECT_EQ(AdviceAsUser(kNobody, pty.SlavePath()),
            "permission-denied\tPermission denied: " + pty.SlavePath() +
                " belongs to group dialout, which user nobody is not in. Join it with sudo usermod -aG dialout "
                "nobody, then log out and in again.");
}

TEST_F(PortAdviceDenied, AModeWithoutGroupAccessIsNamedInsteadOfTheGroup) {
  Node("dialout", 0600);
  const std::string line = AdviceAsUser(kNobody, pty.SlavePath());
  EXPECT_TRUE(Contains(line, "permission-denied\tPermission denied: " + pty.SlavePath() +
                                 " has mode 0600, which gives its group dialout no read and write access"))
      << line;
  EXPECT_FALSE(Contains(line, "usermod")) << line;
}

TEST_F(PortAdviceDenied, AUserListedInTheGroupButNotInThisSessionIsToldToLogInAgain) {
  // The daemon account's own group is daemon; the child runs without it, as
  // a session begun before the user joined would.
  const passwd* daemon = ::getpwnam("daemon");
  ASSERT_NE(daemon, nullptr) << "the test needs the system account daemon";
  ASSERT_EQ(daemon->pw_gid, GroupId("daemon")) << "the daemon account's group is not daemon";
  Node("daemon", 0660);
  const std::string line = AdviceAsUser(daemon->pw_uid, pty.SlavePath());
  EXPECT_TRUE(Contains(line, "permission-denied\tPermission denied: " + pty.SlavePath() +
                                 " belongs to group daemon; user daemon is in that group now, but this session "
                                 "began before. Log out and in again"))
      << line;
}

// ---- the /proc scan ----

// A fake /proc, in memory where the system has /dev/shm: thousands of
// entries on a loaded disk take longer to make than the scan does.
class ScratchDir {
 public:
  ScratchDir() {
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    m_path = base / ("port-advice-proc-" + std::to_string(::getpid()));
    std::filesystem::remove_all(m_path);
    std::filesystem::create_directories(m_path);
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& Path() const { return m_path; }

 private:
  std::filesystem::path m_path;
};

TEST(PortHolderScan, ThousandsOfProcessesAreScannedQuicklyAndTheBudgetEndsALongerScan) {
  ScratchDir proc;
  constexpr int kProcesses = 3000;
  const std::string target = "/dev/ttyFAKE0";
  for (int pid = 1; pid <= kProcesses; ++pid) {
    const auto fd = proc.Path() / std::to_string(pid) / "fd";
    std::filesystem::create_directories(fd);
    std::filesystem::create_symlink("/dev/null", fd / "0");
    std::filesystem::create_symlink(pid == 17 || pid == kProcesses ? target : "/dev/ttyFAKE00", fd / "2");
  }
  std::ofstream(proc.Path() / "17" / "comm") << "proc17\n";
  std::ofstream(proc.Path() / std::to_string(kProcesses) / "comm") << "proc3000\n";
  std::filesystem::create_directories(proc.Path() / "4000");  // ended while the scan ran: no fd left
  std::filesystem::create_directories(proc.Path() / "self" / "fd");
  std::filesystem::create_symlink(target, proc.Path() / "self" / "fd" / "3");

  const auto start = std::chrono::steady_clock::now();
  const auto scan = serial::posix::FindDescriptorHolders(proc.Path().string(), target, std::chrono::seconds(5));
  const auto took = std::chrono::steady_clock::now() - start;
  RecordProperty("scan_ms", static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
  EXPECT_LT(took, std::chrono::seconds(2));
  EXPECT_TRUE(scan.complete);
  std::set<std::pair<long, std::string>> found;
  for (const auto& h : scan.holders) found.insert({h.pid, h.name});
  EXPECT_EQ(found, (std::set<std::pair<long, std::string>>{{17, "proc17"}, {kProcesses, "proc3000"}}));

  const auto cut = std::chrono::steady_clock::now();
  const auto brief = serial::posix::FindDescriptorHolders(proc.Path().string(), target, std::chrono::milliseconds(0));
  EXPECT_LT(std::chrono::steady_clock::now() - cut, std::chrono::milliseconds(200));
  EXPECT_FALSE(brief.complete);

  EXPECT_FALSE(serial::posix::FindDescriptorHolders((proc.Path() / "none").string(), target, std::chrono::seconds(1))
                   .complete);
}

TEST(PortHolderScan, LocksCountOnlyWhenGrantedOnThatFile) {
  const std::string locks =
      "1: FLOCK  ADVISORY  WRITE 4242 00:1a:7 0 EOF\n"
      "1: -> FLOCK  ADVISORY  WRITE 5151 00:1a:7 0 EOF\n"  // waiting
      "2: POSIX  ADVISORY  WRITE 777 00:1a:8 0 EOF\n"      // another inode
      "3: OFDLCK ADVISORY  WRITE -1 00:1a:7 0 EOF\n"       // no process
      "4: POSIX  ADVISORY  READ 99 fd:01:7 0 EOF\n"        // another device
      "5: FLOCK  ADVISORY  WRITE 4242 00:1a:7 0 EOF\n"
      "junk line\n"
      "6: FLOCK  ADVISORY  WRITE 31 00:1a:7 0 EOF";
  EXPECT_EQ(serial::posix::ParseLockHolders(locks, 0, 0x1a, 7), (std::vector<long>{4242, 31}));
  EXPECT_TRUE(serial::posix::ParseLockHolders("", 0, 0x1a, 7).empty());
}

}  // namespace
