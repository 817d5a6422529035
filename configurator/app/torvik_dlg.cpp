// The configurator window: construction, start-up, data exchange, the port
// button, Set and the handlers that keep the choices consistent. The window
// as the Set's view is in torvik_send.cpp.
#include "configurator/app/torvik_dlg.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "configurator/app/about_dlg.h"
#include "configurator/app/server_presets.h"
#include "configurator/resources/torvik_strings.h"
#include "configurator/resources/torvik_templates.h"
#include "configurator/type_file/type_file_reader.h"
#include "framework/comm_port_list.h"
#include "framework/ddx.h"
#include "framework/protocol_text.h"
#include "framework/text_format.h"

namespace torvik {
namespace {

LocalDate Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

}  // namespace

CTorvikDlg::CTorvikDlg(std::unique_ptr<serial::ISerialPort> port, CSendQueue& queue)
    : CDialog(TorvikMainTemplate()),
      m_listPorts(fw::ListCommPorts),
      m_localDate(Today),
      m_seed([] { return static_cast<unsigned>(std::time(nullptr)); }),
      m_typeFilePath(kTypeFileName),
      m_nPort(kPresetPortB),
      m_link(*this, std::move(port)),
      m_hIcon(IDR_MAINFRAME),
      m_queue(queue),
      m_linkPort(m_link),
      m_run(*this, m_linkPort, queue) {
  SetDdxPrompts(fw::DdxPromptsFor(fw::FrameworkPrompts(), kTextLanguage));
  OnClicked(IDC_BUTTON_PORT, [this] { OnPortButton(); });
  OnClicked(IDC_BUTTON_SET, [this] { OnSet(); });
  OnCommand(IDC_EDIT_COUNT, fw::Notify::Change, [this] { UpdateSerialNo(); });
  for (int id : {IDC_CHECK_MOBILE_APN, IDC_CHECK_CUSTOM_APN, IDC_CHECK_CDMA}) OnClicked(id, [this, id] { OnApnKind(id); });
  for (int id : {IDC_CHECK_HERON, IDC_CHECK_VRS, IDC_CHECK_NTRIP, IDC_CHECK_GSM}) OnClicked(id, [this, id] { OnMode(id); });
  OnCommand(IDC_COMBO_SERVER, fw::Notify::SelChange, [this] { OnServerPreset(); });
  OnClicked(IDC_CHECK_USE_DNS, [this] { OnUseDns(); });
  OnClicked(IDC_CHECK_FIXED_UPLOAD, [this] {
    UpdateData(true);
    UpdateData(false);
  });
  OnMessage(WM_LOGLINE, [this](std::uintptr_t wparam, std::intptr_t lparam) {
    m_run.LogLine(reinterpret_cast<const char*>(wparam), lparam);
    return std::intptr_t{0};
  });
}

CTorvikDlg::~CTorvikDlg() = default;

void CTorvikDlg::LoadMessage(int id) { fw::LoadMessage(TorvikStrings(), kTextLanguage, id, m_strMsg); }

void CTorvikDlg::DoDataExchange(fw::CDataExchange& dx) {
  fw::DDX_Text(&dx, IDC_EDIT_COUNT, m_nCount);
  fw::DDV_MinMaxInt(&dx, m_nCount, 1, 9999);
  fw::DDX_Text(&dx, IDC_EDIT_SERIAL_NO, m_strSerialNo);
  fw::DDX_Check(&dx, IDC_CHECK_MOBILE_APN, m_bMobileApn);
  fw::DDX_Text(&dx, IDC_EDIT_LOCAL_ID, m_strLocalId);
  fw::DDX_Text(&dx, IDC_EDIT_BASE_ID, m_strBaseId);
  fw::DDX_Check(&dx, IDC_CHECK_HERON, m_bModeHeron);
  fw::DDX_Text(&dx, IDC_EDIT_USER_PASS, m_strUserPass);
  fw::DDV_MaxChars(&dx, m_strUserPass, 98);
  fw::DDX_Check(&dx, IDC_CHECK_VRS, m_bModeVrs);
  fw::DDX_Check(&dx, IDC_CHECK_NTRIP, m_bModeNtrip);
  fw::DDX_Text(&dx, IDC_EDIT_SERVER_PORT, m_nPort);
  fw::DDX_Text(&dx, IDC_EDIT_USER, m_strUser);
  fw::DDX_Text(&dx, IDC_EDIT_PASSWORD, m_strPassword);
  fw::DDX_Check(&dx, IDC_CHECK_CUSTOM_APN, m_bCustomApn);
  fw::DDX_Text(&dx, IDC_EDIT_APN, m_strApn);
  fw::DDV_MaxChars(&dx, m_strApn, 98);
  fw::DDX_Check(&dx, IDC_CHECK_DIRECT, m_bDirect);
  fw::DDX_Check(&dx, IDC_CHECK_CDMA, m_bCdma);
  fw::DDX_Text(&dx, IDC_EDIT_SERVER_IP, m_strServerIp);
  fw::DDX_CBIndex(&dx, IDC_COMBO_SERVER, m_nServerPreset);
  fw::DDX_Check(&dx, IDC_CHECK_GSM, m_bModeGsm);
  fw::DDX_Text(&dx, IDC_EDIT_LOCAL_PHONE, m_strLocalPhone);
  fw::DDX_Text(&dx, IDC_EDIT_BASE_PHONE, m_strBasePhone);
  fw::DDX_Check(&dx, IDC_CHECK_NETWORK, m_bNetworkOn);
  fw::DDX_Text(&dx, IDC_EDIT_DNS, m_strDns);
  fw::DDX_Check(&dx, IDC_CHECK_USE_DNS, m_bUseDns);
  // An item is selected only when it is exactly the text: "RTCM3" stays "RTCM3".
  fw::DDX_CBStringExact(&dx, IDC_COMBO_MOUNT, m_strMountPoint);
  fw::DDV_MaxChars(&dx, m_strMountPoint, 98);
  fw::DDX_Text(&dx, IDC_EDIT_GGA, m_strGga);
  fw::DDX_Check(&dx, IDC_CHECK_FIXED_UPLOAD, m_bFixedUpload);
  fw::DDX_Text(&dx, IDC_EDIT_INTERVAL, m_nUploadInterval);
  fw::DDV_MinMaxInt(&dx, m_nUploadInterval, 0, 255);
}

bool CTorvikDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  LoadMessage(IDS_ABOUTBOX);
  AppendAboutItem(kAboutCommand, m_strMsg[0]);
  Host().SetIcon(m_hIcon);

  fw::CComboBox ports = Combo(IDC_COMBO_PORT);
  for (const std::string& name : m_listPorts()) ports.AddString(name);
  ports.SetCurSel(0);

  m_comm = TorvikCommSettings{};
  m_link.m_tickCount = [this] { return Host().GetTickCount(); };
  m_link.m_onAcknowledged = [this](std::uint32_t sequence) { m_run.Acknowledged(sequence); };

  Edit(IDC_EDIT_SERVER_IP).EnableWindow(false);
  EnableModeControls();
  m_bPortOpen = 0;

  SetTimer(IDT_SEND, kSendTickMs);
  SetTimer(IDT_TIMEOUT, kTimeoutTickMs);
  UpdateSerialNo();

  Edit(IDC_EDIT_APN).EnableWindow(m_bCustomApn != 0);
  m_strSavedUser.clear();
  m_strSavedPassword.clear();
  m_strServerIp = kPresetAddressB;
  m_strDns = kDefaultCasterAddress;
  Edit(IDC_EDIT_DNS).EnableWindow(false);
  m_strMountPoint = "RTCM30";

  m_nTypeCount = ReadReceiverTypes(m_typeFilePath, m_types);
  m_run.SetReceiverTypes(std::span<const ReceiverType>(m_types.data(), static_cast<std::size_t>(m_nTypeCount)));
  fw::CComboBox types = Combo(IDC_COMBO_TYPE);
  // The file's bytes are in the system's code page; the combo shows them as text.
  for (int i = 0; i < m_nTypeCount; ++i)
    types.AddString(fw::ProtocolBytesToUtf8(m_types[static_cast<std::size_t>(i)].name));
  types.SetCurSel(0);

  m_random.seed(m_seed());
  m_strLocalId = RandomId("");
  m_strUserPass = RandomId(":demo");

  UpdateData(false);
  return true;
}

std::string CTorvikDlg::RandomId(std::string_view suffix) {
  // 0 to 32,767 on every host, so "Z%08d" always has eight digits.
  const unsigned value = static_cast<unsigned>(m_random() % 32768u);
  std::array<char, 16> id{};
  std::snprintf(id.data(), id.size(), "Z%08u", value);
  std::string text(id.data());
  text.append(suffix);
  return text;
}

void CTorvikDlg::UpdateSerialNo() {
  UpdateData(true);
  const LocalDate today = m_localDate();
  m_strSerialNo = SerialNumber(today.year, today.month, today.day, m_nCount);
  UpdateData(false);
}

std::string CTorvikDlg::EngineMessageText(serial::EngineMessage message) const {
  switch (message) {
    case serial::EngineMessage::PortUnavailable: return std::string(TorvikString(IDS_ENGINE_PORT_UNAVAILABLE));
    case serial::EngineMessage::LineRejected: return std::string(TorvikString(IDS_ENGINE_LINE_REJECTED));
    case serial::EngineMessage::MonitorEventFailed: return std::string(TorvikString(IDS_ENGINE_MONITOR_FAILED));
  }
  return {};
}

bool CTorvikDlg::OnSysCommand(unsigned commandId) {
  if ((commandId & 0xFFF0u) != kAboutCommand) return false;
  CAboutDlg about;
  DoModal(about);
  return true;
}

// --- Port button --------------------------------------------------------------

void CTorvikDlg::OnPortButton() {
  LoadMessage(IDS_PORT_BUTTON);
  List(IDC_LIST_LOG).ResetContent();
  UpdateData(true);
  if (m_bPortOpen == 1) {
    m_bPortOpen = 0;
    m_link.Close();  // nothing goes to the receiver
    Combo(IDC_COMBO_PORT).EnableWindow(true);
    Button(IDC_BUTTON_SET).EnableWindow(false);
    Button(IDC_BUTTON_PORT).SetWindowText(m_strMsg[0]);
    m_run.PortClosed();
    return;
  }
  fw::CComboBox ports = Combo(IDC_COMBO_PORT);
  const int selected = ports.GetCurSel();
  m_comm.portName = selected >= 0 ? ports.GetLBText(selected) : std::string();
  m_comm.baudRate = 9600;
  m_link.Close();
  m_bPortOpen = 0;
  if (m_link.Open(m_comm, CTTYnew::kBelowNormalPriority) == 0) {
    m_run.PortFailed(m_link.LastOpenError());  // the engine has said why
    return;
  }
  m_bPortOpen = 1;
  ports.EnableWindow(false);
  Button(IDC_BUTTON_SET).EnableWindow(true);
  Button(IDC_BUTTON_PORT).SetWindowText(m_strMsg[1]);
  m_run.PortOpened();
  if (m_bDirect == 0) QueueDirectOpen();
  else QueueDirectResume();
}

// --- Set ------------------------------------------------------------------------

SettingsValues CTorvikDlg::CurrentValues() const {
  SettingsValues v;
  v.apnKind = m_bCdma ? ApnKind::Cdma : m_bCustomApn ? ApnKind::Custom : ApnKind::Mobile;
  v.mode = m_bModeGsm ? WorkMode::Gsm : m_bModeVrs ? WorkMode::Vrs : m_bModeNtrip ? WorkMode::Ntrip : WorkMode::Heron;
  v.networkOn = m_bNetworkOn != 0;
  v.useDns = m_bUseDns != 0;
  v.fixedUpload = m_bFixedUpload != 0;
  v.user = m_strUser;
  v.password = m_strPassword;
  v.apn = m_strApn;
  v.localId = m_strLocalId;
  v.baseId = m_strBaseId;
  v.localPhone = m_strLocalPhone;
  v.basePhone = m_strBasePhone;
  v.serverIp = m_strServerIp;
  v.port = m_nPort;
  v.mountPoint = m_strMountPoint;
  v.userPass = m_strUserPass;
  v.dns = m_strDns;
  v.gga = m_strGga;
  v.uploadInterval = m_nUploadInterval;
  v.serialNo = m_strSerialNo;
  v.type = m_types[static_cast<std::size_t>(m_nTypeIndex)];
  return v;
}

void CTorvikDlg::Refuse(int id, std::string_view arg) {
  LoadMessage(id);
  MessageBox(fw::FormatText(m_strMsg[0], {arg}));
  m_run.Refused();
}

std::string CTorvikDlg::FieldName(Field field) {
  LoadMessage(IDS_FIELD_NAMES);
  return m_strMsg[static_cast<std::size_t>(field)];
}

void CTorvikDlg::OnSet() {
  // With the port closed no board can hear the sequence: running it would
  // only wait out its time-outs and use up a serial number and two ids.
  if (m_bPortOpen == 0) return Refuse(IDS_PORT_NOT_OPEN);
  // A failed check stops Set: nothing is written, queued or advanced.
  if (!UpdateData(true)) {
    m_run.Refused();
    return;
  }
  m_nTypeIndex = std::clamp(Combo(IDC_COMBO_TYPE).GetCurSel(), 0, m_nTypeCount - 1);
  if (m_bCdma && m_bModeGsm) return Refuse(IDS_CDMA_NO_GSM);
  if (m_bCdma && m_bUseDns) return Refuse(IDS_CDMA_NO_DNS);
  if (m_bModeNtrip && m_strUserPass == "demo:demo") return Refuse(IDS_SET_USER_PASS);

  // Every command is composed before the first byte goes, so a field that
  // cannot go refuses the whole Set.
  LoadMessage(IDS_SETTING_LABELS);
  const fw::MessageLines settingLabels = m_strMsg;
  LoadMessage(IDS_FINISH_LABELS);
  const fw::MessageLines finishLabels = m_strMsg;
  Composition composed = ComposeSettings(CurrentValues(), settingLabels, finishLabels, fw::ToProtocolBytes);
  if (composed.refusal) {
    switch (composed.refusal->reason) {
      case Refusal::Reason::BadRate:
        return Refuse(IDS_TYPE_RATE_BAD,
                      fw::ProtocolBytesToUtf8(m_types[static_cast<std::size_t>(m_nTypeIndex)].name));
      case Refusal::Reason::TooLong:
        return Refuse(IDS_FIELD_TOO_LONG, FieldName(composed.refusal->field));
      case Refusal::Reason::BadCharacter:
        return Refuse(IDS_FIELD_BAD_TEXT, FieldName(composed.refusal->field));
    }
  }
  constexpr std::size_t kFinishCommands = 7;
  m_pendingFinish.assign(composed.commands.end() - kFinishCommands, composed.commands.end());
  composed.commands.resize(composed.commands.size() - kFinishCommands);
  m_pendingSettings = std::move(composed.commands);
  const ReceiverType& type = m_types[static_cast<std::size_t>(m_nTypeIndex)];
  m_run.Started({m_strSerialNo, m_strLocalId, m_strUserPass, type.name, type.baud, Host().GetTickCount()});

  if (m_bDirect) {
    SwitchReceiverRate();
    QueueDirectResume();
  } else {
    QueueDirectOpen();
    SwitchReceiverRate();
  }
  SendAll();
  QueueFinish();
  PrepareNextBoard();
}

void CTorvikDlg::SwitchReceiverRate() {
  const std::optional<int> rate = TypeRate(m_types[static_cast<std::size_t>(m_nTypeIndex)]);
  const std::string text = RateBroadcastCommand(rate.value_or(0));
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  const int length = static_cast<int>(text.size());
  for (std::uint32_t r : kBroadcastRates) {
    m_comm.baudRate = r;
    m_link.ApplySettings(m_comm);
    Sleep(kRatePauseMs);
    m_link.WriteBytes(bytes, length);
    m_link.WriteBytes(bytes, length);
    Sleep(kRatePauseMs);
  }
  m_comm.baudRate = static_cast<std::uint32_t>(rate.value_or(0));
  m_link.ApplySettings(m_comm);
  Sleep(kRatePauseMs);
}

void CTorvikDlg::SendAll() {
  QueueCommands(m_pendingSettings);
  m_pendingSettings.clear();
}

void CTorvikDlg::QueueFinish() {
  QueueCommands(m_pendingFinish);
  m_pendingFinish.clear();
}

void CTorvikDlg::QueueDirectOpen() {
  LoadMessage(IDS_LINK_LABELS);
  QueueCommands(DirectOpenCommands(m_strMsg));
}

void CTorvikDlg::QueueDirectResume() {
  LoadMessage(IDS_LINK_LABELS);
  QueueCommands(DirectResumeCommands(m_strMsg));
}

void CTorvikDlg::QueueCommands(const std::vector<ComposedCommand>& commands) {
  m_run.QueueCommands(commands);
}

void CTorvikDlg::PrepareNextBoard() {
  m_strLocalId = RandomId("");
  m_strUserPass = RandomId(":demo");
  ++m_nCount;
  UpdateData(false);
  UpdateSerialNo();
}

// --- Exclusive choices, presets, DNS ------------------------------------------------

void CTorvikDlg::OnApnKind(int clickedId) {
  UpdateData(true);
  if (m_bCdma == 0) {
    m_strSavedUser = m_strUser;
    m_strSavedPassword = m_strPassword;
  }
  m_bMobileApn = clickedId == IDC_CHECK_MOBILE_APN;
  m_bCustomApn = clickedId == IDC_CHECK_CUSTOM_APN;
  m_bCdma = clickedId == IDC_CHECK_CDMA;
  FillCredentials();
  UpdateData(false);
  Edit(IDC_EDIT_APN).EnableWindow(m_bCustomApn != 0);
}

void CTorvikDlg::FillCredentials() {
  if (m_bCdma == 1) {
    m_strUser = "vnet";
    m_strPassword = "vnet";
  } else {
    m_strUser = m_strSavedUser;
    m_strPassword = m_strSavedPassword;
  }
}

void CTorvikDlg::OnMode(int clickedId) {
  UpdateData(true);
  m_bModeHeron = clickedId == IDC_CHECK_HERON;
  m_bModeVrs = clickedId == IDC_CHECK_VRS;
  m_bModeNtrip = clickedId == IDC_CHECK_NTRIP;
  m_bModeGsm = clickedId == IDC_CHECK_GSM;
  UpdateData(false);
  EnableModeControls();
}

void CTorvikDlg::EnableModeControls() {
  Combo(IDC_COMBO_MOUNT).EnableWindow(m_bModeNtrip != 0);
  Edit(IDC_EDIT_USER_PASS).EnableWindow(m_bModeNtrip != 0 || m_bModeHeron != 0);
  Edit(IDC_EDIT_BASE_ID).EnableWindow(m_bModeHeron != 0);
  Edit(IDC_EDIT_LOCAL_PHONE).EnableWindow(m_bModeGsm != 0);
  Edit(IDC_EDIT_BASE_PHONE).EnableWindow(m_bModeGsm != 0);
}

void CTorvikDlg::OnServerPreset() {
  UpdateData(true);
  switch (m_nServerPreset) {
    case 0:
      m_strServerIp = kPresetAddressA;
      m_nPort = kPresetPortA;
      break;
    case 1:
      m_strServerIp = kPresetAddressB;
      m_nPort = kPresetPortB;
      break;
    case 2:
      m_strServerIp.clear();
      break;
    default:
      break;
  }
  Edit(IDC_EDIT_SERVER_IP).EnableWindow(m_nServerPreset == 2);
  UpdateData(false);
}

void CTorvikDlg::OnUseDns() {
  UpdateData(true);
  Combo(IDC_COMBO_SERVER).EnableWindow(m_bUseDns == 0);
  Edit(IDC_EDIT_DNS).EnableWindow(m_bUseDns != 0);
  UpdateData(false);
}

}  // namespace torvik
