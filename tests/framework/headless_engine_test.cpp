// The serial engine's Close on the headless host: its monitor thread reports
// each chunk to the UI thread with SendMessage while the UI thread waits in
// Close for that very thread; the wait must serve the send.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "dialog_testkit.h"
#include "serial/posix/pty_testkit.h"
#include "serial/tty_engine.h"

using namespace fwtest;

namespace {

constexpr unsigned kWmReceived = fw::kWmUser + 10;

class ReceiveDialog : public fw::CDialog {
 public:
  ReceiveDialog() : CDialog(KitTemplate()) {
    OnMessage(kWmReceived, [this](std::uintptr_t length, std::intptr_t) -> std::intptr_t {
      bytes += static_cast<int>(length);
      return 1;
    });
  }
  int bytes = 0;
};

class ReportingEngine : public CTTYnew {
 public:
  explicit ReportingEngine(fw::HeadlessHost& host) : m_host(host) {}
  void OnDataReceived(const std::uint8_t*, int length) override {
    entered = 1;
    answers += static_cast<int>(m_host.SendMessage(kWmReceived, static_cast<std::uintptr_t>(length), 0));
  }
  std::atomic<int> entered{0};
  std::atomic<int> answers{0};

 private:
  fw::HeadlessHost& m_host;
};

}  // namespace

TEST(HeadlessEngine, CloseServesTheMonitorsSendInsteadOfDeadlocking) {
  serial::posix::testkit::CPtyPair pty;
  ASSERT_TRUE(pty.Ok());
  ReceiveDialog dialog;
  fw::HeadlessHost host;
  host.Start(dialog);
  ReportingEngine engine(host);
  engine.m_waitForMonitor = [&host](serial::IMonitorThread& thread) {
    fw::JoinServingSentMessages(host, [&thread] { thread.Join(); });
  };
  CommSettings settings;
  settings.portName = pty.SlavePath();
  settings.baudRate = 115200;
  ASSERT_EQ(engine.Open(settings), 1);
  const std::uint8_t bytes[] = {'a', 'b', 'c'};
  ASSERT_EQ(pty.Send(bytes, 1000), 3u);
  // The UI thread serves nothing yet, so the monitor stays inside its send.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!engine.entered.load() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_EQ(engine.entered.load(), 1);
  EXPECT_EQ(dialog.bytes, 0);
  EXPECT_EQ(engine.Close(), 1);
  EXPECT_FALSE(engine.IsConnected());
  EXPECT_GE(dialog.bytes, 1);
  EXPECT_LE(dialog.bytes, 3);
  EXPECT_GE(engine.answers.load(), 1);
}
