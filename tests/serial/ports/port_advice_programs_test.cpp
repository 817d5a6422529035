// brevan and torvik, run as programs, when the port does not open: exit code
// 2, the window's message, and the advice line right after it on the same
// stream; for a missing path and for a device node an unprivileged user may
// not open.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/posix/pty_testkit.h"
#include "support/temp_dir.h"

namespace {

using serial::posix::testkit::CPtyPair;

constexpr unsigned kNobody = 65534;

struct Finished {
  int code = -1;  // the exit code, -1 when it did not end by itself in time
  std::string out, err;
};

// Runs argv in `dir` with only the environment given; as user and group
// nobody with no other groups when `unprivileged`.
Finished RunProcess(const std::vector<std::string>& argv, const std::string& dir, const std::vector<std::string>& env,
             bool unprivileged) {
  int out[2], err[2];
  if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::vector<char*> args, vars;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    for (const auto& v : env) vars.push_back(const_cast<char*>(v.c_str()));
    args.push_back(nullptr);
    vars.push_back(nullptr);
    if (::dup2(out[1], 1) < 0 || ::dup2(err[1], 2) < 0 || ::chdir(dir.c_str()) != 0) ::_exit(120);
    if (unprivileged && (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
      ::_exit(121);
    }
    ::execve(args[0], args.data(), vars.data());
    ::_exit(122);
  }
  ::close(out[1]);
  ::close(err[1]);
  Finished done;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  int open = 2;
  while (open > 0 && std::chrono::steady_clock::now() < end) {
    if (::poll(fds, 2, 200) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char chunk[4096];
      const ssize_t n = ::read(fds[i].fd, chunk, sizeof chunk);
      if (n > 0) {
        (i == 0 ? done.out : done.err).append(chunk, static_cast<std::size_t>(n));
      } else {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  if (open > 0) ::kill(pid, SIGKILL);
  for (const pollfd& p : fds)
    if (p.fd >= 0) ::close(p.fd);
  int status = 0;
  if (pid > 0 && ::waitpid(pid, &status, 0) == pid && open == 0 && WIFEXITED(status)) done.code = WEXITSTATUS(status);
  return done;
}

// The line that follows `message` on the stream that carries the message.
std::string LineAfter(const std::string& stream, const std::string& message) {
  std::istringstream lines(stream);
  for (std::string line; std::getline(lines, line);) {
    if (line != message) continue;
    std::string next;
    std::getline(lines, next);
    return next;
  }
  return "(no line \"" + message + "\")";
}

struct Program {
  const char* name;
  const char* path;
  const char* locale;
  const char* windowMessage;
};

void PrintTo(const Program& p, std::ostream* os) { *os << p.name << " " << p.locale; }

class PortAdviceProgram : public ::testing::TestWithParam<Program> {
 protected:
  void SetUp() override {
    // Written to by the unprivileged run: the profile and the intermediate image.
    std::filesystem::permissions(dir.Path(), std::filesystem::perms::all);
    testing_support::WriteFile(dir.File("gprscdmaset.ini"), "82,9600,HIGH,HIGH,\n");
  }
  Finished Open(const std::string& port, bool unprivileged) {
    const std::string home = dir.Path().string();
    return RunProcess({GetParam().path, "--port", port}, home,
               {"PATH=/usr/bin:/bin", "HOME=" + home, "XDG_CONFIG_HOME=" + home, "TMPDIR=" + home,
                std::string("LC_ALL=") + GetParam().locale},
               unprivileged);
  }
  bool English() const { return std::string_view(GetParam().locale) == "C"; }
  // The advice follows the window's message on the same stream, whichever that is.
  static std::string Advice(const Finished& run, const std::string& message) {
    const std::string onOut = LineAfter(run.out, message);
    return onOut.starts_with("(no line") ? LineAfter(run.err, message) : onOut;
  }

  testing_support::TempDir dir;
};

TEST_P(PortAdviceProgram, MissingDeviceExitsTwoWithTheCauseAfterTheWindowsMessage) {
  const std::string path = "/dev/ttyUSB-gone-" + std::to_string(::getpid());
  const Finished run = Open(path, false);
  EXPECT_EQ(run.code, 2) << run.out << run.err;
  const std::string advice = Advice(run, GetParam().windowMessage);
  const std::string expected = English() ? "No such device: " + path + " does not exist. Serial ports here: "
                                         : "设备不存在：" + path + " 不存在。本机的串口：";
  EXPECT_TRUE(advice.starts_with(expected)) << advice << "\n--- out:\n" << run.out << "--- err:\n" << run.err;
}

TEST_P(PortAdviceProgram, NodeOfAGroupTheUserIsNotInNamesTheGroupAndHowToJoin) {
  ASSERT_TRUE(serial::posix::testkit::IsRoot())
      << "the device node must get a group the test user is not in, which only root can give; run this test as "
         "root (as CI does)";
  CPtyPair pty;
  ASSERT_TRUE(pty.Ok());
  ASSERT_TRUE(pty.SetSlaveGroup("dialout"));
  ASSERT_TRUE(pty.ChmodSlave(0660));
  const Finished run = Open(pty.SlavePath(), true);
  EXPECT_EQ(run.code, 2) << run.out << run.err;
  const std::string& p = pty.SlavePath();
  const std::string expected =
      English() ? "Permission denied: " + p +
                      " belongs to group dialout, which user nobody is not in. Join it with sudo usermod -aG dialout "
                      "nobody, then log out and in again."
                : "无权限：" + p +
                      " 属于用户组 dialout，而用户 nobody 不在该组。请执行 sudo usermod -aG dialout nobody "
                      "加入该组，然后重新登录。";
  EXPECT_EQ(Advice(run, GetParam().windowMessage), expected) << "--- out:\n" << run.out << "--- err:\n" << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    BothPrograms, PortAdviceProgram,
    ::testing::Values(Program{"brevan", BREVAN_PATH, "C", "Status:>>COM port wrong!"},
                      Program{"brevan", BREVAN_PATH, "zh_CN.UTF-8", "状态:>>串口打开错误"},
                      Program{"torvik", TORVIK_PATH, "C", "通讯建立错误,串口已被其他程序打开"},
                      Program{"torvik", TORVIK_PATH, "zh_CN.UTF-8", "通讯建立错误,串口已被其他程序打开"}),
    [](const auto& param) {
      return std::string(param.param.name) + (std::string_view(param.param.locale) == "C" ? "English" : "Chinese");
    });

}  // namespace
