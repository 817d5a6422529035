// A port name far longer than any device's, typed or from a damaged profile:
// the real platform port refuses it and the window says so, nothing overflows.
#include <gtest/gtest.h>

#include "brevan_dialog_harness.h"
#include "tests/support/failing_port.h"
#include "updater/resources/brevan_strings.h"

namespace {

using brevan::UpgradeOutcome;

TEST(BrevanBadPort, AThousandCharacterPortNameFailsTheOpenWithThePortMessage) {
  const std::string longName(1000, 'C');
  const std::string longPath = "/dev/" + std::string(995, 'x');
  struct Row {
    const char* what;
    std::string profile;  // the profile file's text
    std::string typed;    // typed into the port box before UPDATE (empty: as the profile left it)
    std::string shown;    // the port box at start-up
  };
  const std::string junk("\x01\xFF[\0=\n=\n[[]]\nSerial Port\n", 25);
  const Row rows[] = {
      {"typed", "", longName, "COM1"},
      {"typed path", "", longPath, "COM1"},
      {"from a profile with junk", junk + "[TRX4800update]\nSerial Port=" + longName + "\nBand Port=x\n" + junk, "",
       longName},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    testing_support::TempDir dir;
    testing_support::WriteFile(dir.File("Brevan.INI"), row.profile);
    fw::HeadlessHost host;
    brevan::CBrevanDlg dialog(fw::UiLanguage::English, fw::CProfile::AtFile(dir.File("Brevan.INI")),
                              serial::MakePlatformSerialPort(), dir.File("pgm.isp"));
    dialog.m_listPorts = [] { return std::vector<std::string>{"COM1"}; };
    host.SetModuleFileName(brevantest::MakeProgramFile(dir, true));
    host.Start(dialog);
    ASSERT_FALSE(dialog.StartUpStopped());
    EXPECT_EQ(host.GetWindowText(brevan::IDC_COMBO_PORT), row.shown);
    if (!row.typed.empty()) {
      ASSERT_TRUE(host.Type(brevan::IDC_COMBO_PORT, row.typed));
    }
    host.Click(fw::kIdOk);
    host.Advance(100);
    EXPECT_EQ(dialog.Outcome(), UpgradeOutcome::PortFailed);
    EXPECT_NE(host.GetWindowText(brevan::IDC_EDIT_STATUS).find("Status:>>COM port wrong!"), std::string::npos)
        << host.GetWindowText(brevan::IDC_EDIT_STATUS);
    EXPECT_FALSE(host.HasTimer(brevan::CBrevanDlg::kUpgradeTimer));
    const std::string name = row.typed.empty() ? row.shown : row.typed;
    EXPECT_TRUE(dialog.m_tty.LastOpenError().path.ends_with(name)) << "the name reached the system whole";
  }
}

// A monitor that cannot start waiting is the one engine failure the updater
// shows: its "NO", from the table of the window's language.
TEST(BrevanBadPort, AMonitorThatCannotWaitShowsNoInEitherLanguage) {
  for (const fw::UiLanguage language : {fw::UiLanguage::English, fw::UiLanguage::Chinese}) {
    testing_support::TempDir dir;
    fw::HeadlessHost host;
    brevan::CBrevanDlg dialog(
        language, fw::CProfile::AtFile(dir.File("Brevan.INI")),
        std::make_unique<testing_support::CFailingPort>(testing_support::CFailingPort::Step::EventWait),
        dir.File("pgm.isp"));
    dialog.m_listPorts = [] { return std::vector<std::string>{"COM1"}; };
    host.SetModuleFileName(brevantest::MakeProgramFile(dir, true));
    host.Start(dialog);
    host.Click(fw::kIdOk);
    host.Advance(100);
    const auto boxes = host.MessageBoxes();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes[0].text, brevan::BrevanString(language, brevan::IDS_ENGINE_MONITOR_FAILED));
    EXPECT_EQ(boxes[0].text, "NO");
  }
}

}  // namespace
