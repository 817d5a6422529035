// The updater window: construction, start-up, data exchange, the status box
// and the system menu. The window's side of the upgrade is in brevan_upgrade.cpp.
#include "updater/app/brevan_dlg.h"

#include "framework/comm_port_list.h"
#include "framework/ddx.h"
#include "updater/app/about_dlg.h"
#include "updater/resources/brevan_strings.h"
#include "updater/resources/brevan_templates.h"

namespace brevan {
CBrevanDlg::CBrevanDlg(fw::UiLanguage language, fw::CProfile profile, std::unique_ptr<serial::ISerialPort> port,
                       ImageFilePlace intermediate)
    : CDialog(BrevanMainTemplate(language)),
      m_listPorts(fw::ListCommPorts),
      m_language(language),
      m_profile(std::move(profile)),
      m_bank(std::move(intermediate)),
      m_tty(*this, std::move(port)),
      m_hIcon(IDR_MAINFRAME),
      m_run(language, *this, *this, m_link, m_bank) {
  SetDdxPrompts(fw::DdxPromptsFor(fw::FrameworkPrompts(), language));
  // The port list's other notifications do nothing.
  OnCommand(IDC_COMBO_PORT, fw::Notify::SelChange, [this] { UpdateData(true); });
  m_tty.m_replyMessageBox = [this](std::string_view text) { MessageBox(text); };
  OnMessage(kPageAckMessage, [this](std::uintptr_t, std::intptr_t) -> std::intptr_t {
    m_run.OnPageAcknowledged();
    return 0;
  });
}

CBrevanDlg::~CBrevanDlg() = default;

void CBrevanDlg::LoadMessage(int id) { fw::LoadMessage(BrevanStrings(), m_language, id, m_strMsg); }

void CBrevanDlg::ShowStatusLine() {
  Edit(IDC_EDIT_STATUS).SetWindowText(m_strStatus);
  Edit(IDC_EDIT_STATUS).LineScroll(m_nStatusLines, 0);
  ++m_nStatusLines;
}

void CBrevanDlg::DoDataExchange(fw::CDataExchange& dx) {
  fw::DDX_Control(&dx, fw::kIdOk, m_btnUpdate);
  fw::DDX_Control(&dx, fw::kIdCancel, m_btnCancel);
  fw::DDX_Control(&dx, IDC_PROGRESS, m_progress);
  fw::DDX_Control(&dx, IDC_EDIT_STATUS, m_editStatus);
  fw::DDX_Control(&dx, IDC_COMBO_PORT, m_comboPort);
  fw::DDX_Text(&dx, IDC_EDIT_SERIAL_NO, m_strSerialNo);
  fw::DDX_Text(&dx, IDC_EDIT_SOFTWARE_VERSION, m_strSoftwareVersion);
  fw::DDX_Text(&dx, IDC_EDIT_HARDWARE_VERSION, m_strHardwareVersion);
  fw::DDX_CBString(&dx, IDC_COMBO_BAUD, m_strBaud);
  static constexpr std::array<std::pair<int, int>, kModuleCount> kBoxes = {{
      {IDC_EDIT_VERSION_0, 0}, {IDC_EDIT_VERSION_0 + 1, 1}, {IDC_EDIT_VERSION_0 + 2, 2}, {IDC_EDIT_VERSION_0 + 3, 3},
      {IDC_EDIT_VERSION_0 + 4, 4}, {IDC_EDIT_VERSION_6, 6}, {IDC_EDIT_VERSION_7, 7}, {IDC_EDIT_VERSION_5, 5},
      {IDC_EDIT_VERSION_8, 8}, {IDC_EDIT_VERSION_9, 9},
  }};
  for (auto [id, slot] : kBoxes) fw::DDX_Text(&dx, id, m_strVersionBox[static_cast<std::size_t>(slot)]);
}

bool CBrevanDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  LoadMessage(IDS_ABOUTBOX);
  AppendAboutItem(kAboutCommand, m_strMsg[0]);
  Host().SetIcon(m_hIcon);

  fw::CComboBox ports = Combo(IDC_COMBO_PORT);
  for (const std::string& name : m_listPorts()) ports.AddString(name);
  std::string port = m_profile.GetProfileString(kProfileSection, kProfilePort, "");
  if (port.empty()) port = "COM1";
  ports.SetWindowText(port);

  UpdateData(false);
  LoadMessage(IDS_STATUS_RUNNING);
  m_strStatus = m_strMsg[0] + "\r\n";
  ShowStatusLine();

  m_bank.PrepareSlots();
  m_progress.SetShowText(1);
  m_progress.SetRange(0, 100);
  m_progress.SetPos(0);

  m_bank.m_strExePath = Host().GetModuleFileName();
  if (m_bank.FindImageBank()) {
    if (!m_bank.LoadImageBank()) {
      StartUpStop(DescribeFileProblem(m_language, m_bank.Problem()));
      return true;
    }
  } else if (m_bank.Problem().step != FileStep::None) {
    StartUpStop(DescribeFileProblem(m_language, m_bank.Problem()));
    return true;
  } else if (!LoadImageFromFile()) {
    return true;
  }
  m_strVersionBox = m_bank.m_strImageVersion;

  UpdateData(false);
  Combo(IDC_COMBO_BAUD).SetCurSel(m_profile.GetProfileInt(kProfileSection, kProfileBaud, 0));
  return true;
}

bool CBrevanDlg::LoadImageFromFile() {
  std::string chosen;
  if (!Host().GetOpenFileName({"Choose File", "HEX File (*.*)|*.*||", true}, chosen)) {
    StartUpStop("");
    return false;
  }
  if (!m_bank.LoadImageFromFile(chosen)) {
    StartUpStop(DescribeFileProblem(m_language, m_bank.Problem()));
    return false;
  }
  return true;
}

void CBrevanDlg::StartUpStop(const std::string& message) {
  if (!message.empty()) MessageBox(message);
  m_bStartUpStopped = true;
  EndDialog(fw::kIdCancel);
}

void CBrevanDlg::OnCancel() { EndDialog(fw::kIdCancel); }

// The updater's engine reports no open failures (the window says why in its
// status line); the monitor's failure is the one message it shows.
std::string CBrevanDlg::EngineMessageText(serial::EngineMessage message) const {
  if (message != serial::EngineMessage::MonitorEventFailed) return {};
  return std::string(BrevanString(m_language, IDS_ENGINE_MONITOR_FAILED));
}

bool CBrevanDlg::OnSysCommand(unsigned commandId) {
  if ((commandId & 0xFFF0u) != kAboutCommand) return false;
  CAboutDlg about;
  DoModal(about);
  return true;
}

}  // namespace brevan
