// The serial engine's Close on the headless host: its monitor thread reports
// each chunk to the UI thread with SendMessage while the UI thread waits in
// Close for that very thread; the wait must serve the send. The dialog wires
// that wait into every engine it owns: the engine here is wired by nothing else.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "configurator/send_queue/configurator_engine_profile.h"
#include "dialog_testkit.h"
#include "serial/engine.h"
#include "support/posix/pty_testkit.h"
#include "tests/support/failing_port.h"

using namespace fwtest;

namespace {

constexpr unsigned kWmReceived = fw::kWmUser + 10;

class ReportingTTY : public CTTYnew {
 public:
  ReportingTTY(serial::EngineKey key, serial::IEngineOwner& owner, fw::CDialog& dialog)
      : CTTYnew(key, owner), m_dialog(dialog) {}
  void OnDataReceived(const std::uint8_t*, int length) override {
    entered = 1;
    answers += static_cast<int>(m_dialog.SendMessage(kWmReceived, static_cast<std::uintptr_t>(length), 0));
    if (finished != nullptr) ++*finished;
  }
  std::atomic<int> entered{0};
  std::atomic<int> answers{0};
  std::atomic<int>* finished = nullptr;  // outlives the engine

 private:
  fw::CDialog& m_dialog;
};

class ReceiveDialog : public fw::CDialog {
 public:
  ReceiveDialog() : CDialog(KitTemplate()) {
    OnMessage(kWmReceived, [this](std::uintptr_t length, std::intptr_t) -> std::intptr_t {
      bytes += static_cast<int>(length);
      return 1;
    });
  }
  int bytes = 0;
  serial::Engine<ReportingTTY> m_tty{*this, *this};
};

bool WaitUntil(const std::atomic<int>& flag) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!flag.load() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return flag.load() != 0;
}

CommSettings PtySettings(const serial::posix::testkit::CPtyPair& pty) {
  CommSettings settings;
  settings.portName = pty.SlavePath();
  settings.baudRate = 115200;
  return settings;
}

}  // namespace

TEST(HeadlessEngine, CloseServesTheMonitorsSendInsteadOfDeadlocking) {
  serial::posix::testkit::CPtyPair pty;
  ASSERT_TRUE(pty.Ok());
  fw::HeadlessHost host;
  ReceiveDialog dialog;
  host.Start(dialog);
  ASSERT_EQ(dialog.m_tty.Open(PtySettings(pty)), 1);
  const std::uint8_t bytes[] = {'a', 'b', 'c'};
  ASSERT_EQ(pty.Send(bytes, 1000), 3u);
  // The UI thread serves nothing yet, so the monitor stays inside its send.
  ASSERT_TRUE(WaitUntil(dialog.m_tty.entered));
  EXPECT_EQ(dialog.bytes, 0);
  EXPECT_EQ(dialog.m_tty.Close(), 1);
  EXPECT_FALSE(dialog.m_tty.IsConnected());
  EXPECT_GE(dialog.bytes, 1);
  EXPECT_LE(dialog.bytes, 3);
  EXPECT_GE(dialog.m_tty.answers.load(), 1);
}

TEST(HeadlessEngine, TheDialogsEndClosesItsEnginesWhileTheHostStillServes) {
  serial::posix::testkit::CPtyPair pty;
  ASSERT_TRUE(pty.Ok());
  ReceiveDialog dialog;
  {
    fw::HeadlessHost host;
    host.Start(dialog);
    ASSERT_EQ(dialog.m_tty.Open(PtySettings(pty)), 1);
    const std::uint8_t byte = 'x';
    ASSERT_EQ(pty.Send({&byte, 1}, 1000), 1u);
    ASSERT_TRUE(WaitUntil(dialog.m_tty.entered));
    // The host goes first, its dialog stays: the monitor's send is served on the way out.
  }
  EXPECT_FALSE(dialog.IsAttached());
  EXPECT_FALSE(dialog.m_tty.IsConnected());
  EXPECT_EQ(dialog.m_tty.answers.load(), 1);
}

TEST(HeadlessEngine, AnEngineDestroyedOpenEndsItsMonitorBeforeItsFieldsGo) {
  serial::posix::testkit::CPtyPair pty;
  ASSERT_TRUE(pty.Ok());
  fw::HeadlessHost host;
  auto dialog = std::make_unique<ReceiveDialog>();
  host.Start(*dialog);
  ASSERT_EQ(dialog->m_tty.Open(PtySettings(pty)), 1);
  const std::uint8_t byte = 'y';
  ASSERT_EQ(pty.Send({&byte, 1}, 1000), 1u);
  std::atomic<int> finished{0};
  dialog->m_tty.finished = &finished;
  ASSERT_TRUE(WaitUntil(dialog->m_tty.entered));
  // Destroyed with its monitor inside OnDataReceived: the engine closes first, serving the
  // send, and the hook runs to its end before anything of the dialog goes.
  dialog.reset();
  EXPECT_EQ(finished.load(), 1);
  host.Advance(10);  // the host forgot the dialog: nothing to call
}

namespace {

using testing_support::CFailingPort;

// An engine that reports its failures, owned by a dialog that words them (or not).
template <class Words>
class WordingDialog : public fw::CDialog {
 public:
  explicit WordingDialog(CFailingPort::Step failing)
      : CDialog(KitTemplate()), m_tty(*this, ConfiguratorEngineProfile(), std::make_unique<CFailingPort>(failing)) {}
  std::string EngineMessageText(serial::EngineMessage message) const override { return Words{}(message); }
  serial::Engine<CTTYnew> m_tty;
};

struct OwnWords {
  std::string operator()(serial::EngineMessage message) const {
    switch (message) {
      case serial::EngineMessage::PortUnavailable: return "port: own words";
      case serial::EngineMessage::LineRejected: return "line: own words";
      case serial::EngineMessage::MonitorEventFailed: return "monitor: own words";
    }
    return {};
  }
};
struct NoWords {
  std::string operator()(serial::EngineMessage) const { return {}; }
};

std::vector<std::string> BoxesAfterOpen(fw::CDialog& dialog, CTTYnew& tty, fw::HeadlessHost& host) {
  host.Start(dialog);
  TorvikCommSettings settings;
  settings.portName = "COM1";
  tty.Open(settings, CTTYnew::kBelowNormalPriority);
  tty.Close();
  std::vector<std::string> texts;
  for (const auto& box : host.MessageBoxes()) texts.push_back(box.text);
  return texts;
}

}  // namespace

// The engine names what went wrong; the words, or none, are its owner's.
TEST(HeadlessEngine, EngineMessagesShowInTheOwningDialogsWords) {
  const std::pair<CFailingPort::Step, std::string> cases[] = {
      {CFailingPort::Step::Open, "port: own words"},
      {CFailingPort::Step::LineSettings, "line: own words"},
      {CFailingPort::Step::EventWait, "monitor: own words"},
  };
  for (const auto& [step, words] : cases) {
    fw::HeadlessHost host;
    WordingDialog<OwnWords> dialog(step);
    EXPECT_EQ(BoxesAfterOpen(dialog, dialog.m_tty, host), std::vector<std::string>{words});
    fw::HeadlessHost quiet;
    WordingDialog<NoWords> silent(step);
    EXPECT_TRUE(BoxesAfterOpen(silent, silent.m_tty, quiet).empty()) << words;
  }
  fw::HeadlessHost host;
  WordingDialog<OwnWords> working(CFailingPort::Step::None);
  EXPECT_TRUE(BoxesAfterOpen(working, working.m_tty, host).empty());
}
