#pragma once
// The updater's main window: start-up, the image bank, UPDATE and the
// 25 ms upgrade state machine, written once against the framework.
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
#include "updater/upgrade/upgrade_tty.h"

namespace brevan {

// How the last upgrade ended, for scripts (the window itself only shows messages).
enum class UpgradeOutcome { None, Running, Completed, PortFailed, TimedOut, Refused, WrongFirmware };

// What wakes the next page step. Tick: the 25 ms timer, one step per tick at
// most, an acknowledgement counted only between ticks (the window's pacing).
// Ack: the parsed acknowledgement itself, the page frame in one write; the
// timer still runs the probing and the 1,525 ms waits.
enum class PagePacing { Tick, Ack };

// The page phase as it went, for the terminal's summary and diagnoses.
struct PageRecord {
  int slot = -1;
  int offset = -1;   // of the last page sent
  int address = 0;   // its load address
  int sendings = 0;  // how often it went out
  int pagesResent = 0;  // sendings of any page after its first
  std::uint32_t firstPageTick = 0;  // host tick of the first page's first sending
  std::uint32_t endTick = 0;        // host tick when the upgrade ended
};

class CBrevanDlg : public fw::CDialog {
 public:
  static constexpr unsigned kUpgradeTimer = 1;
  static constexpr unsigned kTickMs = 25;
  static constexpr unsigned kAboutCommand = 0x0010;
  // Posted by the monitor thread when an acknowledgement was parsed (ack pacing).
  static constexpr unsigned kPageAckMessage = fw::kWmUser + 0x21;
  static constexpr int kPageSize = 128;
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
  void ShowStatusLine();

  // True when start-up stopped (file dialog cancelled, a file unreadable):
  // the window has ended and the program exits with code 1.
  bool StartUpStopped() const { return m_bStartUpStopped; }
  UpgradeOutcome Outcome() const { return m_outcome; }
  bool UpgradeRunning() const { return m_outcome == UpgradeOutcome::Running; }
  const PageRecord& Pages() const { return m_pageRecord; }
  // Chosen before UPDATE; the window itself always paces by the tick.
  void SetPagePacing(PagePacing pacing) { m_pacing = pacing; }
  PagePacing Pacing() const { return m_pacing; }

  // Where the port names come from (the platform's list unless a test says otherwise).
  std::function<std::vector<std::string>()> m_listPorts;

  fw::UiLanguage m_language;
  fw::CProfile m_profile;
  fw::MessageLines m_strMsg;
  CImageBank m_bank;
  std::int32_t m_nWaitTicks = 0;
  std::int32_t m_nRetries = 0;
  serial::Engine<CUpgradeTTY> m_tty;
  std::int32_t m_nStatusLines = 0;
  std::string m_strStatus;
  std::int32_t m_nProbeTicks = 0;
  std::int32_t m_nCountdown = 0;
  std::array<std::uint8_t, kPageSize> m_pageBuffer{};
  std::int32_t m_nPageOffset = -kPageSize;
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

 private:
  void AppendMessage(int id);
  void StartUpStop(const std::string& message);
  bool LoadImageFromFile();
  void ProbingTick();
  void Refusal();
  void OtherModuleAtCountdownEnd();
  enum class Wake { Tick, Acknowledgement };
  void OnPageAcknowledged();
  void WritingStep(int moduleType, Wake wake);
  bool TakeAcknowledgement(Wake wake);
  bool WaitIsOver();
  void RestartWait();
  void SendPage(int address);
  void PageStep(int moduleType);
  bool FirstPageCheck(int moduleType);  // false when it ended the upgrade
  void Completion(int moduleType);
  void CopyReplyTexts();
  void NotePageSent(int slot, int offset, int address);
  void EndUpgrade(UpgradeOutcome outcome);
  // The message, then the counters reset and the upgrade ended, as every refusal and time-out does.
  void StopWithMessage(int messageId, UpgradeOutcome outcome);
  // Bar position, the gradient control first so both agree.
  void BarPos(int pos);
  void BarStep();

  bool m_bStartUpStopped = false;
  UpgradeOutcome m_outcome = UpgradeOutcome::None;
  PageRecord m_pageRecord;
  PagePacing m_pacing = PagePacing::Tick;
  std::uint32_t m_dwWaitStart = 0;  // host tick when the current wait began (ack pacing)
  std::uint32_t m_dwFrameStart = 0;  // host tick just before the last page frame's write (ack pacing)
  std::atomic<std::uint32_t> m_dwAckAt{0};  // host tick of the last acknowledgement, stamped by the monitor thread
};

// The number formed by a text's leading decimal digits after optional white
// space and sign; 0 when there are none. Clamped to int.
int TextValue(std::string_view text);

}  // namespace brevan
