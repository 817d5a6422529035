#pragma once
// The configurator's main window: start-up, the port button, Set with its
// checks and the settings sequence, the exclusive choices, written once
// against the framework. The Set itself (the ticks, the acknowledgements,
// the log's bookkeeping) is its run's; the window is the run's view.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "configurator/command_set/command_set.h"
#include "configurator/send_queue/link_tty.h"
#include "configurator/send_queue/send_queue.h"
#include "configurator/set_run/link_tty_port.h"
#include "configurator/set_run/set_run.h"
#include "configurator/type_file/receiver_type.h"
#include "framework/dialog.h"
#include "framework/string_table.h"
#include "serial/comm_settings.h"
#include "serial/engine.h"

namespace torvik {

inline constexpr unsigned WM_LOGLINE = fw::kWmUser + 122;
inline constexpr std::size_t kLogLineMax = 255;
inline constexpr int kLogLinesKept = 50;

struct LocalDate {
  int year, month, day;
};

class CTorvikDlg : public fw::CDialog, private ISetView {
 public:
  static constexpr unsigned IDT_SEND = 10;
  static constexpr unsigned IDT_TIMEOUT = 1;
  static constexpr unsigned kSendTickMs = 50;
  static constexpr unsigned kTimeoutTickMs = 1000;
  static constexpr unsigned kNoReplyPauseMs = CSetRun::kNoReplyPauseMs;
  static constexpr unsigned kRatePauseMs = 400;
  static constexpr unsigned kAboutCommand = 0x0010;
  static constexpr std::array<std::uint32_t, 5> kBroadcastRates = {57600, 115200, 38400, 19200, 9600};

  explicit CTorvikDlg(std::unique_ptr<serial::ISerialPort> port = serial::MakePlatformSerialPort(),
                      CSendQueue& queue = TheSendQueue());
  ~CTorvikDlg() override;

  bool OnInitDialog() override;
  void DoDataExchange(fw::CDataExchange& dx) override;
  void OnTimer(unsigned id) override;
  bool OnSysCommand(unsigned commandId) override;
  std::string EngineMessageText(serial::EngineMessage message) const override;

  void LoadMessage(int id);
  void UpdateSerialNo();
  void SwitchReceiverRate();
  void SendAll();
  void QueueFinish();

  // Test and front-end seams: where ports, the date, the seed and the type file come from.
  std::function<std::vector<std::string>()> m_listPorts;
  std::function<LocalDate()> m_localDate;
  std::function<unsigned()> m_seed;
  std::string m_typeFilePath;

  // For scripts and tests: the Set's run (observers attach to it), the last
  // Set, whether anything still waits.
  CSetRun& Run() { return m_run; }
  // What the link moves, to a trace; false when no more taps fit.
  bool TapTraffic(serial::ITrafficTap& tap) { return m_link.AddTrafficTap(tap); }
  SetResult LastSet() const { return m_run.LastSet(); }
  bool QueueIdle() const { return m_run.QueueIdle(); }
  CSendQueue& Queue() { return m_queue; }

  // Values.
  std::int32_t m_nCount = 1;
  std::string m_strSerialNo;
  std::int32_t m_bMobileApn = 1;
  std::string m_strLocalId;
  std::string m_strBaseId = "T07821235";
  std::int32_t m_bModeHeron = 1;
  std::string m_strUserPass;
  std::int32_t m_bModeVrs = 0;
  std::int32_t m_bModeNtrip = 0;
  std::int32_t m_nPort;
  std::string m_strUser;
  std::string m_strPassword;
  std::int32_t m_bCustomApn = 0;
  std::string m_strApn;
  std::int32_t m_bDirect = 1;
  std::int32_t m_bCdma = 0;
  std::string m_strServerIp;
  std::int32_t m_nServerPreset = 1;
  std::int32_t m_bModeGsm = 0;
  std::string m_strLocalPhone = "13812345678";
  std::string m_strBasePhone = "13812345679";
  std::int32_t m_bNetworkOn = 1;
  std::string m_strDns;
  std::int32_t m_bUseDns = 0;
  std::string m_strMountPoint = "RTCM30";
  std::string m_strGga;
  std::int32_t m_bFixedUpload = 0;
  std::int32_t m_nUploadInterval = 0;

  // State.
  ReceiverTypeTable m_types;
  std::int32_t m_nTypeCount = 0;
  std::int32_t m_nTypeIndex = 0;
  fw::MessageLines m_strMsg;
  std::string m_strSavedUser;
  std::string m_strSavedPassword;
  TorvikCommSettings m_comm;
  std::int32_t m_bPortOpen = 0;
  serial::Engine<CLinkTTY> m_link;
  int m_hIcon;

 private:
  void OnPortButton();
  void OnSet();
  void OnApnKind(int clickedId);
  void OnMode(int clickedId);
  void OnServerPreset();
  void OnUseDns();
  void FillCredentials();
  void EnableModeControls();
  void QueueDirectOpen();
  void QueueDirectResume();
  void QueueCommands(const std::vector<ComposedCommand>& commands);
  void PrepareNextBoard();
  // A message box with entry id's first line, %1 replaced by arg.
  void Refuse(int id, std::string_view arg = {});
  std::string FieldName(Field field);
  SettingsValues CurrentValues() const;
  std::string RandomId(std::string_view suffix);

  // The run's view.
  std::uint32_t RunTicks() override;
  void RunPause(unsigned ms) override;
  void ShowSentLabel(std::string_view label) override;
  void ShowLogLine(std::string_view text, bool append) override;
  void SendLogLine(const char* text, std::intptr_t mode) override;
  std::string TimeOutText() override;

  CSendQueue& m_queue;
  std::minstd_rand m_random;
  std::vector<ComposedCommand> m_pendingSettings;
  std::vector<ComposedCommand> m_pendingFinish;
  // WM_LOGLINE does the acknowledgement's bookkeeping only when it carries this text.
  static constexpr const char* kAcknowledgedText = CSetRun::kAcknowledgedText;
  CLinkTTYPort m_linkPort;
  CSetRun m_run;
};

}  // namespace torvik
