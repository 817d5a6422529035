// The configurator window's controls on the headless host: start values, the
// port button, the exclusive choices, presets, the checks before Set and the
// values prepared for the next board.
#include <gtest/gtest.h>

#include <regex>

#include "configurator/app/server_presets.h"
#include "torvik_dialog_harness.h"

using namespace torviktest;

namespace {

TEST(TorvikWindow, StartValues) {
  Rig rig;
  rig.Start();
  const fw::HeadlessHost& h = rig.host;
  const std::pair<int, std::string> texts[] = {
      {IDC_EDIT_COUNT, "1"}, {IDC_EDIT_SERIAL_NO, "26120801"}, {IDC_EDIT_BASE_ID, "T07821235"},
      {IDC_EDIT_SERVER_IP, std::string(kPresetAddressB)}, {IDC_EDIT_SERVER_PORT, "6060"},
      {IDC_EDIT_DNS, std::string(kDefaultCasterAddress)}, {IDC_EDIT_LOCAL_PHONE, "13812345678"},
      {IDC_EDIT_BASE_PHONE, "13812345679"}, {IDC_EDIT_GGA, ""}, {IDC_EDIT_INTERVAL, "0"}, {IDC_EDIT_USER, ""},
      {IDC_COMBO_MOUNT, "RTCM30"}, {IDC_BUTTON_PORT, "打开串口"}};
  for (const auto& [id, text] : texts) EXPECT_EQ(h.GetWindowText(id), text) << id;
  EXPECT_EQ(h.GetCurSel(IDC_COMBO_MOUNT), 5);
  EXPECT_EQ(h.GetCurSel(IDC_COMBO_SERVER), 1);
  EXPECT_EQ(h.GetCurSel(IDC_COMBO_PORT), 0);
  EXPECT_EQ(h.GetCount(IDC_COMBO_TYPE), 3);
  EXPECT_EQ(h.GetCurSel(IDC_COMBO_TYPE), 0);
  EXPECT_TRUE(std::regex_match(h.GetWindowText(IDC_EDIT_LOCAL_ID), std::regex("Z000\\d{5}")));
  EXPECT_TRUE(std::regex_match(h.GetWindowText(IDC_EDIT_USER_PASS), std::regex("Z000\\d{5}:demo")));
  for (int id : {IDC_CHECK_MOBILE_APN, IDC_CHECK_HERON, IDC_CHECK_NETWORK, IDC_CHECK_DIRECT}) EXPECT_EQ(h.GetCheck(id), 1) << id;
  for (int id : {IDC_CHECK_CUSTOM_APN, IDC_CHECK_CDMA, IDC_CHECK_VRS, IDC_CHECK_NTRIP, IDC_CHECK_GSM, IDC_CHECK_USE_DNS,
                 IDC_CHECK_FIXED_UPLOAD})
    EXPECT_EQ(h.GetCheck(id), 0) << id;
  for (int id : {IDC_EDIT_APN, IDC_EDIT_SERVER_IP, IDC_EDIT_DNS, IDC_COMBO_MOUNT, IDC_EDIT_LOCAL_PHONE, IDC_EDIT_BASE_PHONE})
    EXPECT_FALSE(h.IsWindowEnabled(id)) << id;
  for (int id : {IDC_EDIT_USER_PASS, IDC_EDIT_BASE_ID, IDC_EDIT_LOCAL_ID, IDC_BUTTON_SET, IDC_COMBO_PORT})
    EXPECT_TRUE(h.IsWindowEnabled(id)) << id;
  EXPECT_TRUE(h.HasTimer(CTorvikDlg::IDT_SEND));
  EXPECT_TRUE(h.HasTimer(CTorvikDlg::IDT_TIMEOUT));
  ASSERT_EQ(h.SystemMenu().size(), 2u);
  EXPECT_EQ(h.SystemMenu()[1].text, "关于 Torvik(&A)...");
  EXPECT_EQ(h.Icon(), IDR_MAINFRAME);
}

TEST(TorvikWindow, PortButtonOpensClosesAndReopens) {
  Rig rig;
  rig.Start();
  rig.host.Click(IDC_BUTTON_PORT);
  EXPECT_EQ(rig.host.GetWindowText(IDC_BUTTON_PORT), "关闭串口");
  EXPECT_FALSE(rig.host.IsWindowEnabled(IDC_COMBO_PORT));
  EXPECT_EQ(rig.queue.count, 2);  // 直通 on: CLOSE and DIRECT,ON
  rig.RunUntilIdle();
  EXPECT_EQ(rig.host.GetCount(IDC_LIST_LOG), 2);
  rig.host.Click(IDC_BUTTON_PORT);
  EXPECT_EQ(rig.host.GetWindowText(IDC_BUTTON_PORT), "打开串口");
  EXPECT_EQ(rig.host.GetCount(IDC_LIST_LOG), 0);
  EXPECT_FALSE(rig.host.IsWindowEnabled(IDC_BUTTON_SET));
  EXPECT_TRUE(rig.host.IsWindowEnabled(IDC_COMBO_PORT));
  const std::size_t written = rig.writes.size();
  rig.Run(500);
  EXPECT_EQ(rig.writes.size(), written);  // closing sent nothing
  rig.host.Click(IDC_BUTTON_PORT);
  EXPECT_EQ(rig.queue.count, 2);
  EXPECT_EQ(rig.port->Inner().Log().opens, 2);
  EXPECT_EQ(rig.port->Inner().Log().lastPath, "//./COM1");

  // A port that is not there: the engine's box, the window stays closed.
  rig.host.Click(IDC_BUTTON_PORT);
  rig.dialog->Combo(IDC_COMBO_PORT).AddString("COM9");
  rig.host.SelectItem(IDC_COMBO_PORT, 2);
  rig.host.Click(IDC_BUTTON_PORT);
  ASSERT_FALSE(rig.Boxes().empty());
  EXPECT_EQ(rig.Boxes().back(), "通讯建立错误,串口已被其他程序打开");
  EXPECT_EQ(rig.dialog->m_bPortOpen, 0);
  EXPECT_EQ(rig.host.GetWindowText(IDC_BUTTON_PORT), "打开串口");
}

TEST(TorvikWindow, ApnKindsAreExclusiveAndKeepTheUsersOwnCredentials) {
  Rig rig;
  rig.Start();
  fw::HeadlessHost& h = rig.host;
  h.Type(IDC_EDIT_USER, "alice");
  h.Type(IDC_EDIT_PASSWORD, "pw");
  h.Click(IDC_CHECK_CDMA);  // from 移动APN: vnet, nothing saved
  EXPECT_EQ(h.GetWindowText(IDC_EDIT_USER), "vnet");
  EXPECT_EQ(h.GetCheck(IDC_CHECK_MOBILE_APN), 0);
  EXPECT_EQ(rig.dialog->m_strSavedUser, "");
  h.Click(IDC_CHECK_MOBILE_APN);  // back: the saved pair, empty at start
  EXPECT_EQ(h.GetWindowText(IDC_EDIT_USER), "");
  h.Type(IDC_EDIT_USER, "bob");
  h.Click(IDC_CHECK_CUSTOM_APN);
  EXPECT_EQ(h.GetWindowText(IDC_EDIT_USER), "bob");
  EXPECT_TRUE(h.IsWindowEnabled(IDC_EDIT_APN));
  EXPECT_EQ(h.GetCheck(IDC_CHECK_MOBILE_APN) + h.GetCheck(IDC_CHECK_CUSTOM_APN) + h.GetCheck(IDC_CHECK_CDMA), 1);
  h.Click(IDC_CHECK_CDMA);
  h.Click(IDC_CHECK_CDMA);  // again while chosen: saves vnet, stays chosen
  EXPECT_EQ(h.GetCheck(IDC_CHECK_CDMA), 1);
  EXPECT_EQ(rig.dialog->m_strSavedUser, "vnet");
  EXPECT_FALSE(h.IsWindowEnabled(IDC_EDIT_APN));
}

TEST(TorvikWindow, ModesAreExclusiveAndEnableTheirControls) {
  struct Case {
    int mode;
    std::vector<int> enabled, disabled;
  };
  const Case cases[] = {
      {IDC_CHECK_NTRIP, {IDC_COMBO_MOUNT, IDC_EDIT_USER_PASS}, {IDC_EDIT_BASE_ID, IDC_EDIT_LOCAL_PHONE}},
      {IDC_CHECK_GSM, {IDC_EDIT_LOCAL_PHONE, IDC_EDIT_BASE_PHONE}, {IDC_COMBO_MOUNT, IDC_EDIT_USER_PASS, IDC_EDIT_BASE_ID}},
      {IDC_CHECK_VRS, {IDC_EDIT_LOCAL_ID}, {IDC_COMBO_MOUNT, IDC_EDIT_USER_PASS, IDC_EDIT_BASE_ID, IDC_EDIT_BASE_PHONE}},
      {IDC_CHECK_HERON, {IDC_EDIT_USER_PASS, IDC_EDIT_BASE_ID}, {IDC_COMBO_MOUNT, IDC_EDIT_LOCAL_PHONE}},
  };
  Rig rig;
  rig.Start();
  for (const Case& c : cases) {
    rig.host.Click(c.mode);
    rig.host.Click(c.mode);  // the chosen mode stays chosen
    EXPECT_EQ(rig.host.GetCheck(c.mode), 1);
    EXPECT_EQ(rig.host.GetCheck(IDC_CHECK_HERON) + rig.host.GetCheck(IDC_CHECK_VRS) + rig.host.GetCheck(IDC_CHECK_NTRIP) +
                  rig.host.GetCheck(IDC_CHECK_GSM), 1);
    for (int id : c.enabled) EXPECT_TRUE(rig.host.IsWindowEnabled(id)) << c.mode << " " << id;
    for (int id : c.disabled) EXPECT_FALSE(rig.host.IsWindowEnabled(id)) << c.mode << " " << id;
  }
}

TEST(TorvikWindow, ServerPresetsAndDns) {
  Rig rig;
  rig.Start();
  fw::HeadlessHost& h = rig.host;
  h.SelectItem(IDC_COMBO_SERVER, 0);
  EXPECT_EQ(h.GetWindowText(IDC_EDIT_SERVER_IP), kPresetAddressA);
  EXPECT_EQ(h.GetWindowText(IDC_EDIT_SERVER_PORT), "2010");
  EXPECT_FALSE(h.IsWindowEnabled(IDC_EDIT_SERVER_IP));
  h.SelectItem(IDC_COMBO_SERVER, 2);
  EXPECT_EQ(h.GetWindowText(IDC_EDIT_SERVER_IP), "");
  EXPECT_EQ(h.GetWindowText(IDC_EDIT_SERVER_PORT), "2010");  // unchanged
  EXPECT_TRUE(h.IsWindowEnabled(IDC_EDIT_SERVER_IP));
  h.Click(IDC_CHECK_USE_DNS);
  EXPECT_FALSE(h.IsWindowEnabled(IDC_COMBO_SERVER));
  EXPECT_TRUE(h.IsWindowEnabled(IDC_EDIT_DNS));
  EXPECT_TRUE(h.IsWindowEnabled(IDC_EDIT_SERVER_IP));  // keeps its state
  h.Click(IDC_CHECK_USE_DNS);
  EXPECT_TRUE(h.IsWindowEnabled(IDC_COMBO_SERVER));
  EXPECT_FALSE(h.IsWindowEnabled(IDC_EDIT_DNS));
}

TEST(TorvikWindow, RefusedSetsWriteQueueAndAdvanceNothing) {
  struct Case {
    std::function<void(Rig&)> prepare;
    std::string box;
  };
  const Case cases[] = {
      {[](Rig& r) { r.host.Click(IDC_CHECK_CDMA); r.host.Click(IDC_CHECK_GSM); }, "CDMA 无GSM 模式"},
      {[](Rig& r) { r.host.Click(IDC_CHECK_CDMA); r.host.Click(IDC_CHECK_USE_DNS); }, "CDMA 无DNS 模式"},
      {[](Rig& r) { r.host.Click(IDC_CHECK_NTRIP); r.host.Type(IDC_EDIT_USER_PASS, "demo:demo"); }, "Please set user:password"},
      {[](Rig& r) { r.host.Click(IDC_CHECK_USE_DNS); r.host.Type(IDC_EDIT_DNS, std::string(300, 'd')); },
       "DNS 太长,命令超过255字节"},
      {[](Rig& r) { r.host.Type(IDC_EDIT_USER, "a\r\nb"); }, "用户名 含有不能发送的字符"},
      {[](Rig& r) { r.host.SelectItem(IDC_COMBO_TYPE, 2); }, "仪器类型 BAD 的波特率不是数字"},
      {[](Rig& r) { r.host.Type(IDC_EDIT_INTERVAL, "256"); }, "“请填入一个在0和255之间的整数。”"},
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.Start();
    rig.OpenPort();
    c.prepare(rig);
    const std::string id = rig.host.GetWindowText(IDC_EDIT_LOCAL_ID);
    const int queued = rig.queue.count;
    rig.host.Click(IDC_BUTTON_SET);
    ASSERT_FALSE(rig.Boxes().empty()) << c.box;
    EXPECT_EQ(rig.Boxes().back(), c.box);
    EXPECT_EQ(rig.dialog->LastSet(), SetResult::Refused);
    EXPECT_TRUE(rig.writes.empty()) << c.box;
    EXPECT_EQ(rig.queue.count, queued) << c.box;
    EXPECT_EQ(rig.host.GetWindowText(IDC_EDIT_COUNT), "1");
    EXPECT_EQ(rig.host.GetWindowText(IDC_EDIT_LOCAL_ID), id);
  }
  // The same text in other letter case is accepted; after a click on HERON the CDMA Set goes on.
  Rig rig;
  rig.Start();
  rig.OpenPort();
  rig.host.Click(IDC_CHECK_NTRIP);
  rig.host.Type(IDC_EDIT_USER_PASS, "Demo:demo");
  rig.host.Click(IDC_BUTTON_SET);
  EXPECT_EQ(rig.dialog->LastSet(), SetResult::Started);
}

TEST(TorvikWindow, TheNextBoardGetsNewIdsAndTheCountsSerialNumber) {
  Rig rig;
  rig.Start();
  rig.OpenPort();
  rig.host.Type(IDC_EDIT_COUNT, "99");
  EXPECT_EQ(rig.host.GetWindowText(IDC_EDIT_SERIAL_NO), "26120899");
  const std::string id = rig.host.GetWindowText(IDC_EDIT_LOCAL_ID);
  const std::string login = rig.host.GetWindowText(IDC_EDIT_USER_PASS);
  rig.host.Click(IDC_BUTTON_SET);
  EXPECT_EQ(rig.host.GetWindowText(IDC_EDIT_COUNT), "100");
  EXPECT_EQ(rig.host.GetWindowText(IDC_EDIT_SERIAL_NO), "26120800");
  // The window's own writes run no change handler, so the new ids stay.
  EXPECT_NE(rig.host.GetWindowText(IDC_EDIT_LOCAL_ID), id);
  EXPECT_EQ(rig.host.GetWindowText(IDC_EDIT_LOCAL_ID), rig.dialog->m_strLocalId);
  EXPECT_NE(rig.host.GetWindowText(IDC_EDIT_USER_PASS), login);
  const std::vector<std::string> queued = rig.Queued();
  EXPECT_NE(std::find(queued.begin(), queued.end(), "KAVEL,SERIAL,26120899\r\n"), queued.end());

  rig.host.Type(IDC_EDIT_COUNT, "");  // emptied: the prompt, and the count comes back
  ASSERT_FALSE(rig.Boxes().empty());
  EXPECT_EQ(rig.Boxes().back(), "请键入一个整数。");
  EXPECT_EQ(rig.host.GetWindowText(IDC_EDIT_COUNT), "100");
}

TEST(TorvikWindow, TypedTextSurvivesTheLogAndTheMountPointGoesAsTyped) {
  sim::ModelOptions options;
  options.ackDelayMs = 50;
  Rig rig(options);
  rig.Start();
  rig.OpenPort();
  rig.host.Click(IDC_CHECK_NTRIP);
  rig.host.Type(IDC_COMBO_MOUNT, "RTCM3");
  rig.host.Click(IDC_BUTTON_SET);
  rig.Run(400);
  rig.host.Type(IDC_EDIT_GGA, "for the next board");  // typed while acknowledgements come in
  rig.RunUntilIdle();
  EXPECT_EQ(rig.host.GetWindowText(IDC_EDIT_GGA), "for the next board");
  EXPECT_EQ(rig.Model().GetReport().settingFields.at("IPSET").at(2), "RTCM3");
}

// The mount point box takes what is typed, however long; past 98 characters
// Set is refused with the exchange's prompt and nothing goes, at 98 it goes whole.
TEST(TorvikWindow, MountPointsUpTo98CharactersGoAndLongerOnesAreRefusedAtSet) {
  sim::ModelOptions options;
  options.ackDelayMs = 20;
  Rig rig(options);
  rig.Start();
  rig.OpenPort();
  rig.host.Click(IDC_CHECK_NTRIP);
  std::string mount;
  for (int i = 0; i < 99; ++i) mount += static_cast<char>('A' + i % 26);
  rig.host.Type(IDC_COMBO_MOUNT, mount);
  EXPECT_EQ(rig.host.GetWindowText(IDC_COMBO_MOUNT), mount);
  rig.host.Click(IDC_BUTTON_SET);
  ASSERT_FALSE(rig.Boxes().empty());
  EXPECT_EQ(rig.Boxes().back(), "“请填入不多于98个的字符。”");
  EXPECT_EQ(rig.dialog->LastSet(), SetResult::Refused);
  EXPECT_TRUE(rig.writes.empty());
  EXPECT_EQ(rig.host.GetFocus(), IDC_COMBO_MOUNT);

  mount.pop_back();
  rig.host.Type(IDC_COMBO_MOUNT, mount);
  rig.host.Click(IDC_BUTTON_SET);
  EXPECT_EQ(rig.dialog->LastSet(), SetResult::Started);
  rig.RunUntilIdle();
  EXPECT_EQ(rig.Model().GetReport().settingFields.at("IPSET").at(2), mount);
}

// No board hears a Set with the port closed, whether never opened or closed
// again: it is refused before anything is read, written, queued or advanced.
TEST(TorvikWindow, SetWithThePortClosedIsRefusedAndUsesUpNothing) {
  Rig rig;
  rig.Start();
  for (int round = 0; round < 2; ++round) {
    const std::string serial = rig.host.GetWindowText(IDC_EDIT_SERIAL_NO);
    const std::string id = rig.host.GetWindowText(IDC_EDIT_LOCAL_ID);
    const std::string login = rig.host.GetWindowText(IDC_EDIT_USER_PASS);
    const std::size_t boxes = rig.Boxes().size();
    rig.host.Click(IDC_BUTTON_SET);
    ASSERT_EQ(rig.Boxes().size(), boxes + 1) << round;
    EXPECT_EQ(rig.Boxes().back(), "请先打开串口");
    EXPECT_EQ(rig.dialog->LastSet(), SetResult::Refused);
    rig.Run(9000);
    EXPECT_TRUE(rig.writes.empty()) << round;
    EXPECT_EQ(rig.queue.count, 0) << round;
    EXPECT_TRUE(rig.Log().empty()) << round;
    EXPECT_EQ(rig.host.GetWindowText(IDC_EDIT_COUNT), "1");
    EXPECT_EQ(rig.host.GetWindowText(IDC_EDIT_SERIAL_NO), serial);
    EXPECT_EQ(rig.host.GetWindowText(IDC_EDIT_LOCAL_ID), id);
    EXPECT_EQ(rig.host.GetWindowText(IDC_EDIT_USER_PASS), login);
    // Opened and closed again: the same.
    rig.OpenPort();
    rig.host.Click(IDC_BUTTON_PORT);
    rig.host.Click(IDC_BUTTON_SET);  // disabled now: the click does nothing
    rig.dialog->Button(IDC_BUTTON_SET).EnableWindow(true);
    rig.queue.Clear();
    rig.writes.clear();
  }
}

}  // namespace
