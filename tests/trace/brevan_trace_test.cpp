// The shipped terminal updater with --trace against receiver-sim on a pty
// with the line's timing: the trace of a whole upgrade rebuilds exactly the
// memory the board holds, and a trace cut short by SIGTERM is complete and
// closed, with 128 + 15 as the exit code.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <regex>
#include <thread>

#include "support/posix/pty_testkit.h"
#include "support/temp_dir.h"
#include "support/trace_replay.h"
#include "updater/image_bank/image_bank.h"

extern char** environ;

using serial::TrafficDirection;
using serial::posix::testkit::CChildProcess;
using namespace std::chrono_literals;

namespace {

// The updater as a user runs it: its own process, its output in a file.
class Program {
 public:
  Program(std::vector<std::string> args, const std::string& outPath, const std::string& configDir) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = {"XDG_CONFIG_HOME=" + configDir, "LANG=C", "PATH=/usr/bin:/bin"};
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Program() {
    if (m_pid > 0 && !m_status) {
      ::kill(m_pid, SIGKILL);
      ::waitpid(m_pid, nullptr, 0);
    }
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  bool Ok() const { return m_pid > 0; }
  void Signal(int signal) const { ::kill(m_pid, signal); }
  // The exit code, or -(signal) when a signal ended it; nullopt while it runs past the deadline.
  std::optional<int> Wait(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!m_status) {
      int status = 0;
      const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
      if (done == m_pid) {
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
      } else if (std::chrono::steady_clock::now() > deadline) {
        return std::nullopt;
      } else {
        std::this_thread::sleep_for(20ms);
      }
    }
    return m_status;
  }

 private:
  pid_t m_pid = -1;
  std::optional<int> m_status;
};

std::string ReadText(const std::string& path) {
  const auto bytes = testing_support::ReadFile(path);
  return {bytes.begin(), bytes.end()};
}

std::vector<std::uint8_t> ReceivedBytes(const testing_support::ParsedTrace& trace) {
  std::vector<std::uint8_t> received;
  for (const auto& c : trace.chunks)
    if (c.direction == TrafficDirection::Received) received.insert(received.end(), c.bytes.begin(), c.bytes.end());
  return received;
}

class BrevanTrace : public ::testing::Test {
 protected:
  void StartSim(std::vector<std::string> options) {
    std::vector<std::string> argv = {RECEIVER_SIM_PATH, "--link", link, "--wire-timing", "--flash-out", flash,
                                     "--report", report};
    argv.insert(argv.end(), options.begin(), options.end());
    sim = std::make_unique<CChildProcess>(argv);
    ASSERT_TRUE(sim->Ok());
    ASSERT_FALSE(sim->ReadLine(10000).empty()) << "receiver-sim did not come up";
  }
  std::unique_ptr<Program> StartBrevan() {
    auto program = std::make_unique<Program>(
        std::vector<std::string>{BREVAN_SHIPPED_PATH, "--port", link, "--baud", "9600", "--trace", trace, "--db", "none"},
        out, dir.File("config"));
    EXPECT_TRUE(program->Ok());
    return program;
  }
  // A number from the simulator's report; complete once it has stopped.
  long ReportNumber(const std::string& name) {
    const std::string text = ReadText(report);
    std::smatch m;
    if (!std::regex_search(text, m, std::regex("\"" + name + "\":(\\d+)"))) return -1;
    return std::stol(m[1]);
  }

  testing_support::TempDir dir;
  std::string link = dir.File("receiver");
  std::string flash = dir.File("flash.bin");
  std::string report = dir.File("report.json");
  std::string trace = dir.File("line.trace");
  std::string out = dir.File("out.txt");
  std::unique_ptr<CChildProcess> sim;
};

TEST_F(BrevanTrace, AWholeUpgradeReplaysIntoTheMemoryTheBoardHolds) {
  StartSim({});
  auto brevan = StartBrevan();
  ASSERT_EQ(brevan->Wait(60s), 0) << ReadText(out);
  sim->Stop();

  const auto read = testing_support::ParseTrace(ReadText(trace));
  ASSERT_TRUE(read.problems.empty()) << read.problems.front();
  EXPECT_EQ(read.program, "brevan");
  EXPECT_TRUE(read.ended);
  EXPECT_EQ(read.lostChunks, 0u);
  // The upgrade starts at the chosen rate; the loader is spoken to at its own.
  ASSERT_FALSE(read.chunks.empty());
  EXPECT_EQ(read.chunks.front().baud, 9600u);
  EXPECT_EQ(read.chunks.front().direction, TrafficDirection::Sent);
  EXPECT_EQ(read.chunks.back().direction, TrafficDirection::Received);

  const auto image = testing_support::RebuildFlash(testing_support::SentBytes(read));
  const auto board = testing_support::ReadFile(flash);
  ASSERT_EQ(board.size(), 65536u);
  EXPECT_EQ(image.bytes, board) << "the trace's page frames do not rebuild the board's memory";
  EXPECT_EQ(image.pages, ReportNumber("pagesReceived"));

  // The module receiver-sim reports by default, GTM900-2, is slot 0, written from 0x2000.
  auto bank = std::make_unique<brevan::CImageBank>(brevan::ImageFilePlace{dir.File("pgm.isp")});
  bank->m_strExePath = BREVAN_SHIPPED_PATH;
  bank->PrepareSlots();
  ASSERT_TRUE(bank->FindImageBank());
  ASSERT_TRUE(bank->LoadImageBank());
  const auto length = static_cast<std::size_t>(bank->m_nImageLength[0]);
  ASSERT_GT(length, 0u);
  // Every page of the image, each at least once (a loaded machine may send one again).
  EXPECT_EQ(image.distinctPages, static_cast<int>(length / 128));
  const auto slot = bank->SlotBytes(0);
  EXPECT_TRUE(std::equal(slot.begin(), slot.begin() + static_cast<std::ptrdiff_t>(length), image.bytes.begin() + 0x2000));
  // Nothing but the image was written.
  EXPECT_TRUE(std::all_of(image.bytes.begin(), image.bytes.begin() + 0x2000, [](std::uint8_t b) { return b == 0xFF; }));
}

// The loader falls silent after page 20 has been acknowledged; while the
// updater waits for the next acknowledgement it is asked to end.
TEST_F(BrevanTrace, SigtermMidRunLeavesACompleteClosedTrace) {
  constexpr int kAnswered = 20;
  StartSim({"--stop-after", std::to_string(kAnswered)});
  auto brevan = StartBrevan();
  // Once page 21 has gone out, the last acknowledgement has come in.
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  int pagesOut = 0;
  while (pagesOut <= kAnswered && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(50ms);
    pagesOut = testing_support::RebuildFlash(testing_support::SentBytes(testing_support::ParseTrace(ReadText(trace))))
                   .pages;
  }
  ASSERT_GT(pagesOut, kAnswered) << "the trace did not show page 21 going out in time\n" << ReadText(out);
  ASSERT_FALSE(brevan->Wait(0ms)) << "the updater ended before the signal\n" << ReadText(out);
  brevan->Signal(SIGTERM);
  ASSERT_EQ(brevan->Wait(20s), 128 + SIGTERM) << ReadText(out);
  sim->Stop();

  const auto read = testing_support::ParseTrace(ReadText(trace));
  ASSERT_TRUE(read.problems.empty()) << read.problems.front();
  EXPECT_TRUE(read.ended) << "the trace was not closed";
  EXPECT_EQ(read.lostChunks, 0u);
  // Everything the loader said is there, up to its last acknowledgement, whole.
  ASSERT_EQ(ReportNumber("acksSent"), kAnswered);
  const std::vector<std::uint8_t> ack = {0x24, 0x31, 0xCE, 0x00, 0x00, 0x00, 0x00, 0xDB, 0x0D, 0x0A};
  const auto received = ReceivedBytes(read);
  int acks = 0;
  for (auto it = received.begin(); (it = std::search(it, received.end(), ack.begin(), ack.end())) != received.end();
       ++it)
    ++acks;
  EXPECT_EQ(acks, kAnswered);
  ASSERT_GE(received.size(), ack.size());
  EXPECT_TRUE(std::equal(ack.begin(), ack.end(), received.end() - static_cast<std::ptrdiff_t>(ack.size())))
      << "the last acknowledgement is not the end of what the trace received";
  // The pages the board took are those the trace shows going out first.
  const auto image = testing_support::RebuildFlash(testing_support::SentBytes(read));
  const auto board = testing_support::ReadFile(flash);
  ASSERT_EQ(board.size(), 65536u);
  const std::size_t answeredEnd = 0x2000 + kAnswered * 128;
  EXPECT_TRUE(std::equal(board.begin(), board.begin() + static_cast<std::ptrdiff_t>(answeredEnd), image.bytes.begin()));
}

}  // namespace
