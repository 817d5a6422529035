// A port name far longer than any device's: the real platform port refuses it
// and the window reports the port, nothing overflows and nothing is sent.
#include <gtest/gtest.h>

#include "torvik_dialog_harness.h"
#include "configurator/resources/torvik_strings.h"
#include "tests/support/failing_port.h"

namespace {

using namespace torviktest;

TEST(TorvikBadPort, AThousandCharacterPortNameFailsTheOpenWithThePortMessage) {
  // The port box is a list: the name is one the system listed.
  for (const std::string& name : {std::string(1000, 'C'), "/dev/" + std::string(995, 'x')}) {
    SCOPED_TRACE(name.substr(0, 8));
    testing_support::TempDir dir;
    fw::HeadlessHost host;
    CSendQueue queue;
    CTorvikDlg dialog(serial::MakePlatformSerialPort(), queue);
    dialog.m_listPorts = [name] { return std::vector<std::string>{"COM1", name}; };
    dialog.m_typeFilePath = dir.File("gprscdmaset.ini");
    host.Start(dialog);
    ASSERT_TRUE(host.SelectItem(IDC_COMBO_PORT, 1));
    ASSERT_EQ(host.GetWindowText(IDC_COMBO_PORT), name);
    host.Click(IDC_BUTTON_PORT);
    host.Advance(100);
    const auto boxes = host.MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "通讯建立错误,串口已被其他程序打开");
    EXPECT_EQ(dialog.m_link.connected.load(), 0);
    EXPECT_TRUE(dialog.m_link.LastOpenError().path.ends_with(name)) << "the name reached the system whole";
    EXPECT_TRUE(host.IsWindowEnabled(IDC_COMBO_PORT));  // free for another choice
  }
}

// The engine's failures in the window's own words, from its table.
TEST(TorvikBadPort, TheEnginesFailuresShowTheTablesTexts) {
  using Step = testing_support::CFailingPort::Step;
  const std::pair<Step, int> cases[] = {
      {Step::Open, IDS_ENGINE_PORT_UNAVAILABLE},
      {Step::LineSettings, IDS_ENGINE_LINE_REJECTED},
      {Step::EventWait, IDS_ENGINE_MONITOR_FAILED},
  };
  for (const auto& [step, id] : cases) {
    testing_support::TempDir dir;
    fw::HeadlessHost host;
    CSendQueue queue;
    CTorvikDlg dialog(std::make_unique<testing_support::CFailingPort>(step), queue);
    dialog.m_listPorts = [] { return std::vector<std::string>{"COM1"}; };
    dialog.m_typeFilePath = dir.File("gprscdmaset.ini");
    host.Start(dialog);
    host.Click(IDC_BUTTON_PORT);
    const auto boxes = host.MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u) << id;
    EXPECT_EQ(boxes[0].text, TorvikString(id));
    // The port stays closed only when the open itself failed.
    EXPECT_EQ(dialog.m_bPortOpen, step == Step::EventWait ? 1 : 0) << id;
  }
  EXPECT_EQ(TorvikString(IDS_ENGINE_LINE_REJECTED), "连接错误");
  EXPECT_EQ(TorvikString(IDS_ENGINE_MONITOR_FAILED), "NO");
}

}  // namespace
