// receiver-sim as a process on a real pseudo-terminal, driven with plain
// termios the way a serial program drives a port.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "support/temp_dir.h"
#include "tests/simulator/json_check.h"
#include "tests/simulator/reply_frames.h"
#include "tests/simulator/virtual_pc.h"

extern char** environ;
bool SetArbitraryRate(int fd, std::uint32_t rate);

namespace {

using namespace std::chrono_literals;

class CDaemon {
 public:
  explicit CDaemon(std::vector<std::string> args) {
    args.insert(args.begin(), RECEIVER_SIM);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2];
    if (pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    if (posix_spawn(&m_pid, RECEIVER_SIM, &actions, nullptr, argv.data(), environ) != 0) m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    m_out = out[0];
  }
  ~CDaemon() {
    if (m_pid > 0 && !m_exited) kill(m_pid, SIGKILL), waitpid(m_pid, nullptr, 0);
    if (m_out >= 0) close(m_out);
  }
  // What it prints, up to the first line end (the slave path) or to the end.
  std::string Output(bool firstLineOnly) {
    std::string text;
    pollfd p{m_out, POLLIN, 0};
    char c;
    while (poll(&p, 1, 3000) > 0 && read(m_out, &c, 1) == 1 && !(firstLineOnly && c == '\n')) text += c;
    return text;
  }
  // The exit status, -1 when still running after timeout.
  int Wait(std::chrono::milliseconds timeout) {
    int status = 0;
    for (const auto end = std::chrono::steady_clock::now() + timeout; std::chrono::steady_clock::now() < end;) {
      if (waitpid(m_pid, &status, WNOHANG) == m_pid) return m_exited = true, WIFEXITED(status) ? WEXITSTATUS(status) : 128;
      std::this_thread::sleep_for(10ms);
    }
    return -1;
  }
  void Signal(int s) { kill(m_pid, s); }

 private:
  pid_t m_pid = -1;
  int m_out = -1;
  bool m_exited = false;
};

void SetSpeed(int fd, speed_t speed) {
  termios t{};
  tcgetattr(fd, &t);
  cfmakeraw(&t);
  cfsetispeed(&t, speed);
  cfsetospeed(&t, speed);
  tcsetattr(fd, TCSANOW, &t);
}

int OpenPort(const std::string& path, speed_t speed) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
  if (fd >= 0) SetSpeed(fd, speed);
  return fd;
}

void Write(int fd, std::string_view bytes) { ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size())); }
void Write(int fd, const std::vector<std::uint8_t>& bytes) { Write(fd, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())); }

// Reads until want bytes have come or timeout has passed.
std::vector<std::uint8_t> Read(int fd, std::size_t want, std::chrono::milliseconds timeout) {
  std::vector<std::uint8_t> got;
  for (const auto end = std::chrono::steady_clock::now() + timeout; got.size() < want && std::chrono::steady_clock::now() < end;) {
    pollfd p{fd, POLLIN, 0};
    std::uint8_t buffer[512];
    if (poll(&p, 1, 20) <= 0) continue;
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) got.insert(got.end(), buffer, buffer + n);
  }
  return got;
}

TEST(ReceiverSim, ServesTheUpdaterAndKeepsItsFilesCurrent) {
  testing_support::TempDir dir;
  const std::string port = dir.File("port"), flash = dir.File("flash.bin"), report = dir.File("report.json");
  CDaemon daemon({"--link", port, "--flash-out", flash, "--report", report, "--exit-after", "20"});
  const std::string slave = daemon.Output(true);
  ASSERT_FALSE(slave.empty());
  EXPECT_EQ(std::filesystem::read_symlink(port).string(), slave);

  int fd = OpenPort(port, B9600);
  ASSERT_GE(fd, 0);
  Write(fd, "\r\nKAVEL,SOFTWARE,\r\n");
  std::this_thread::sleep_for(50ms);
  SetSpeed(fd, B57600);
  Write(fd, simtest::kQuery);
  const auto frames = simtest::ParseReplies(Read(fd, 54, 2000ms));
  ASSERT_EQ(simtest::Types(frames), "-./");
  EXPECT_EQ(frames[0].payload, "GTM900-2");

  const auto page = simtest::PageFrame(0x2000, 5);
  Write(fd, page);
  EXPECT_EQ(simtest::Types(simtest::ParseReplies(Read(fd, 10, 2000ms))), "1");
  const auto image = testing_support::ReadFile(flash);
  ASSERT_EQ(image.size(), 65536U);
  EXPECT_TRUE(std::equal(page.begin() + 5, page.end(), image.begin() + 0x2000));
  EXPECT_EQ(image[0x2080], 0xFF);

  // The PC closes and reopens the port: the line stays up.
  close(fd);
  fd = OpenPort(port, B57600);
  ASSERT_GE(fd, 0);
  Write(fd, simtest::PageFrame(0x2080, 6));
  EXPECT_EQ(simtest::Types(simtest::ParseReplies(Read(fd, 10, 2000ms))), "1");
  close(fd);

  daemon.Signal(SIGTERM);
  EXPECT_EQ(daemon.Wait(3000ms), 0);
  EXPECT_FALSE(std::filesystem::is_symlink(port));
  const auto bytes = testing_support::ReadFile(report);
  const std::string json(bytes.begin(), bytes.end());
  EXPECT_TRUE(simtest::CJsonCheck::Valid(json)) << json;
  for (const char* part : {R"("kind":"receiver","text":"KAVEL,SOFTWARE,")", R"("pcRates":[9600,57600])",
                           R"("queries":1,)", R"("pagesReceived":2,)", R"("address":8320,"count":1)"}) {
    EXPECT_NE(json.find(part), std::string::npos) << part;
  }
}

// The daemon hears the PC at the rate the PC set on its side, standard or arbitrary.
TEST(ReceiverSim, LearnsThePcRateFromThePortSettings) {
  testing_support::TempDir dir;
  const std::string port = dir.File("port");
  CDaemon daemon({"--link", port, "--receiver-rate", "250000", "--exit-after", "20"});
  ASSERT_FALSE(daemon.Output(true).empty());
  const int fd = OpenPort(port, B57600);
  ASSERT_GE(fd, 0);
  Write(fd, "KAVEL,BURST,40,\r\n");
  EXPECT_LT(Read(fd, 40, 500ms).size(), 40U);
  ASSERT_TRUE(SetArbitraryRate(fd, 250000));
  Write(fd, "\r\nKAVEL,BURST,40,\r\n");
  const auto burst = Read(fd, 40, 2000ms);
  ASSERT_EQ(burst.size(), 40U);
  for (std::size_t i = 0; i < burst.size(); ++i) EXPECT_EQ(burst[i], sim::BurstByte(i)) << i;
  close(fd);
  daemon.Signal(SIGINT);
  EXPECT_EQ(daemon.Wait(3000ms), 0);
}

// The configurator's faults on a real port: a late answer, a withheld one,
// and the receiver's own sentences in between; the report names the board's settings.
TEST(ReceiverSim, LateAndWithheldAcknowledgementsBetweenReceiverOutput) {
  testing_support::TempDir dir;
  const std::string port = dir.File("port"), report = dir.File("report.json");
  CDaemon daemon({"--link", port, "--report", report, "--ack-delay", "300", "--no-ack", "SERIAL", "--babble=50",
                  "--exit-after", "20"});
  ASSERT_FALSE(daemon.Output(true).empty());
  const int fd = OpenPort(port, B9600);
  ASSERT_GE(fd, 0);
  // Timed from before the write: the receiver may take the line before the write returns.
  const auto sent = std::chrono::steady_clock::now();
  Write(fd, "KAVEL,DIRECT,ON\r\nKAVEL,SERIAL,10012607\r\nKAVEL,APN,cmnet,u,p,\r\n");
  std::string got;
  while (got.find("KAVEL,APN,OK\r\n") == std::string::npos && std::chrono::steady_clock::now() - sent < 2000ms) {
    const auto bytes = Read(fd, 1, 20ms);
    got.append(bytes.begin(), bytes.end());
  }
  const auto elapsed = std::chrono::steady_clock::now() - sent;
  EXPECT_GE(elapsed, 300ms);
  EXPECT_LT(elapsed, 1500ms);
  EXPECT_NE(got.find("KAVEL,APN,OK\r\n"), std::string::npos) << got;
  EXPECT_NE(got.find("$GPGGA,"), std::string::npos) << got;
  EXPECT_EQ(got.find("SERIAL"), std::string::npos) << got;
  close(fd);
  daemon.Signal(SIGTERM);
  EXPECT_EQ(daemon.Wait(3000ms), 0);
  const auto bytes = testing_support::ReadFile(report);
  const std::string json(bytes.begin(), bytes.end());
  EXPECT_TRUE(simtest::CJsonCheck::Valid(json)) << json;
  for (const char* part : {R"("settingsAcked":{"APN":1,"SERIAL":0})", R"("serialNumber":"10012607")",
                           R"("settingFields":{"APN":["cmnet","u","p",""],"SERIAL":["10012607"]})"}) {
    EXPECT_NE(json.find(part), std::string::npos) << part << "\n" << json;
  }
  EXPECT_EQ(json.find(R"("babbleLines":0,)"), std::string::npos);
}

TEST(ReceiverSim, ExitAfterAndTheLink) {
  testing_support::TempDir dir;
  const std::string port = dir.File("port");
  std::filesystem::create_symlink("/nonexistent/old-port", port);
  const auto start = std::chrono::steady_clock::now();
  CDaemon daemon({"--link", port, "--exit-after", "0.3"});
  EXPECT_FALSE(daemon.Output(true).empty()) << "an old symlink is replaced";
  EXPECT_EQ(daemon.Wait(3000ms), 0);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
  EXPECT_FALSE(std::filesystem::is_symlink(port));

  testing_support::WriteFile(port, std::string_view("not a link"));
  CDaemon refused({"--link", port, "--exit-after", "5"});
  EXPECT_EQ(refused.Wait(3000ms), 1);
  EXPECT_EQ(testing_support::ReadFile(port).size(), 10U);
}

// A caller may stop it the moment it names its port: the stop is still a
// clean one, with the report written and the link taken away.
TEST(ReceiverSim, StoppedAsSoonAsItIsReadyStillLeavesItsReport) {
  for (int attempt = 0; attempt < 20; ++attempt) {
    testing_support::TempDir dir;
    const std::string port = dir.File("port"), report = dir.File("report.json");
    CDaemon daemon({"--link", port, "--report", report});
    ASSERT_FALSE(daemon.Output(true).empty());
    daemon.Signal(SIGTERM);
    ASSERT_EQ(daemon.Wait(3000ms), 0) << "attempt " << attempt;
    EXPECT_FALSE(testing_support::ReadFile(report).empty()) << "attempt " << attempt;
    EXPECT_FALSE(std::filesystem::is_symlink(port)) << "attempt " << attempt;
  }
}

TEST(ReceiverSim, CommandLine) {
  CDaemon help({"--help"});
  const std::string text = help.Output(false);
  EXPECT_EQ(help.Wait(3000ms), 0);
  for (const char* option : {"--link", "--module", "--serial", "--software-version", "--refuse", "--silent",
                             "--power-on-delay", "--receiver-rate", "--wire-timing", "--drop-ack", "--drop-page", "--late-ack",
                             "--late-ack-pages", "--late-answer", "--split",
                             "--garbage", "--damage", "--noise", "--seed", "--burst", "--echo", "--flash-out", "--report",
                             "--exit-after", "--ack-delay", "--no-ack", "--error-reply", "--babble", "--help"}) {
    EXPECT_NE(text.find(std::string("  ") + option + " "), std::string::npos) << option;
  }
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"--exit-after", "1"}, {"--link", "p", "--drop-ack", "0"}, {"--link", "p", "--drop-page", "3,"},
        {"--link", "p", "--late-answer", "-1"}, {"--link", "p", "--split", "x"},
        {"--link", "p", "--noise", "2"}, {"--link", "p", "--bogus"}, {"--link", "p", "--receiver-rate", "0"},
        {"--link", "p", "--no-ack", "APN,"}, {"--link", "p", "--no-ack="}, {"--link", "p", "--babble", "1e3"},
        {"--link", "p", "--error-reply", ",COM"}, {"--link", "p", "--error-reply"},
        {"--link", "p", "--ack-delay", "-5"}, {"--link", "p", "--babble"}}) {
    CDaemon daemon(bad);
    EXPECT_EQ(daemon.Wait(3000ms), 2) << bad.back();
  }
}

}  // namespace
