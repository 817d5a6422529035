#pragma once
// The updater's main window: start-up, the image bank's versions, UPDATE,
// and the view of the upgrade run it owns, written once against the framework.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "controls/flat_combo_box.h"
#include "controls/gradient_progress_ctrl.h"
#include "controls/hover_edit.h"
#include "controls/xp_button.h"
#include "framework/dialog.h"
#include "framework/profile.h"
#include "framework/string_table.h"
#include "framework/ui_language.h"
#include "updater/image_bank/image_bank.h"
#include "updater/upgrade/text_value.h"
#include "updater/upgrade/upgrade_engine_link.h"
#include "updater/upgrade/upgrade_run.h"
#include "updater/upgrade/upgrade_tty.h"

namespace brevan {

class CBrevanDlg : public fw::CDialog, private IUpgradeView, private IUpgradeClock {
 public:
  static constexpr unsigned kUpgradeTimer = 1;
  static constexpr unsigned kTickMs = CUpgradeRun::kTickMs;
  static constexpr unsigned kAboutCommand = 0x0010;
  // Posted by the monitor thread when an acknowledgement was parsed (ack pacing).
  static constexpr unsigned kPageAckMessage = fw::kWmUser + 0x21;
  static constexpr int kPageSize = CUpgradeRun::kPageSize;
  // The profile's section and keys: the port and the baud list's index.
  static constexpr std::string_view kProfileSection = "TRX4800update";
  static constexpr std::string_view kProfilePort = "Serial Port";
  static constexpr std::string_view kProfileBaud = "Band Port";

  // intermediate: where a chosen HEX file's 64 KB image is written.
  CBrevanDlg(fw::UiLanguage language, fw::CProfile profile,
             std::unique_ptr<serial::ISerialPort> port = serial::MakePlatformSerialPort(),
             ImageFilePlace intermediate = DefaultIntermediateImagePlace());
  ~CBrevanDlg() override;

  bool OnInitDialog() override;
  void DoDataExchange(fw::CDataExchange& dx) override;
  void OnOK() override;
  void OnCancel() override;
  void OnTimer(unsigned id) override;
  bool OnSysCommand(unsigned commandId) override;
  std::string EngineMessageText(serial::EngineMessage message) const override;

  void LoadMessage(int id);
  void ShowStatusLine() override;

  // True when start-up stopped (file dialog cancelled, a file unreadable):
  // the window has ended and the program exits with code 1.
  bool StartUpStopped() const { return m_bStartUpStopped; }
  UpgradeOutcome Outcome() const { return m_run.Outcome(); }
  bool UpgradeRunning() const { return m_run.UpgradeRunning(); }
  const PageRecord& Pages() const { return m_run.Pages(); }
  // Chosen before UPDATE; the window itself always paces by the tick.
  void SetPagePacing(PagePacing pacing) { m_run.SetPagePacing(pacing); }
  PagePacing Pacing() const { return m_run.Pacing(); }
  void AddObserver(IUpgradeObserver& observer) { m_run.AddObserver(observer); }
  void RemoveObserver(IUpgradeObserver& observer) { m_run.RemoveObserver(observer); }
  // A trace of the line's bytes; added while no upgrade runs.
  bool AddTrafficTap(serial::ITrafficTap& tap) { return m_tty.AddTrafficTap(tap); }

  // Where the port names come from (the platform's list unless a test says otherwise).
  std::function<std::vector<std::string>()> m_listPorts;

  fw::UiLanguage m_language;
  fw::CProfile m_profile;
  fw::MessageLines m_strMsg;
  CImageBank m_bank;
  serial::Engine<CUpgradeTTY> m_tty;
  std::int32_t m_nStatusLines = 0;
  std::string m_strStatus;
  controls::CXPButton m_btnUpdate;
  controls::CXPButton m_btnCancel;
  controls::CGradientProgressCtrl m_progress;
  controls::CHoverEdit m_editStatus;
  controls::CFlatComboBox m_comboPort;
  std::string m_strSerialNo;
  std::string m_strSoftwareVersion;
  std::string m_strHardwareVersion;
  std::string m_strBaud = "9600";
  std::array<std::string, kModuleCount> m_strVersionBox;
  int m_hIcon;
  CUpgradeEngineLink m_link{m_tty};
  // The upgrade; its counters and page offset are its own (m_run.m_nPageOffset).
  CUpgradeRun m_run;

 private:
  void StartUpStop(const std::string& message);
  bool LoadImageFromFile();

  // The run's view and clock.
  void AppendStatus(std::string_view line) override;
  void RestartStatus(std::string_view line) override;
  void ShowStatusWith(std::string_view extra) override;
  void ShowStatusInstead(std::string_view text) override;
  void BarPos(int pos) override;
  void BarStep() override;
  void BarText(std::string_view text) override;
  void ExchangeData(bool save) override;
  void ShowReplyTexts(std::string serialNo, std::string softwareVersion, std::string moduleName) override;
  std::string SoftwareVersionShown() const override { return m_strSoftwareVersion; }
  void ShowMessageBox(std::string_view text) override;
  void WakeOnAcknowledgement() override;
  std::uint32_t Now() override;
  void Pause(unsigned ms) override;
  void StartTicks(unsigned ms) override;
  void StopTicks() override;

  bool m_bStartUpStopped = false;
};

}  // namespace brevan
