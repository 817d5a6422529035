// The window's side of the upgrade: UPDATE saves the choices and starts the
// run; the timer drives it; the window is its view and its clock.
#include "updater/app/brevan_dlg.h"
#include "updater/resources/brevan_templates.h"

namespace brevan {

void CBrevanDlg::OnOK() {
  UpdateData(true);
  const std::string port = Combo(IDC_COMBO_PORT).GetWindowText();
  m_profile.WriteProfileString(kProfileSection, kProfilePort, port);
  m_profile.WriteProfileInt(kProfileSection, kProfileBaud, Combo(IDC_COMBO_BAUD).GetCurSel());
  m_run.Start(port, m_strBaud);
}

void CBrevanDlg::OnTimer(unsigned) { m_run.OnTick(); }

void CBrevanDlg::AppendStatus(std::string_view line) {
  m_strStatus += line;
  m_strStatus += "\r\n";
}

void CBrevanDlg::RestartStatus(std::string_view line) {
  m_strStatus = line;
  m_strStatus += "\r\n";
}

void CBrevanDlg::ShowStatusWith(std::string_view extra) {
  Edit(IDC_EDIT_STATUS).SetWindowText(m_strStatus + std::string(extra));
  Edit(IDC_EDIT_STATUS).LineScroll(m_nStatusLines, 0);
}

void CBrevanDlg::ShowStatusInstead(std::string_view text) {
  Edit(IDC_EDIT_STATUS).SetWindowText(text);
  Edit(IDC_EDIT_STATUS).LineScroll(m_nStatusLines, 0);
}

// The gradient control first, so it and the window's bar agree.
void CBrevanDlg::BarPos(int pos) { m_progress.SetPos(pos); }
void CBrevanDlg::BarStep() { m_progress.StepIt(); }
void CBrevanDlg::BarText(std::string_view text) { m_progress.SetText(text); }

void CBrevanDlg::ExchangeData(bool save) { UpdateData(save); }

void CBrevanDlg::ShowReplyTexts(std::string serialNo, std::string softwareVersion, std::string moduleName) {
  m_strSerialNo = std::move(serialNo);
  m_strSoftwareVersion = std::move(softwareVersion);
  m_strHardwareVersion = std::move(moduleName);
}

void CBrevanDlg::ShowMessageBox(std::string_view text) { MessageBox(text); }

void CBrevanDlg::WakeOnAcknowledgement() { PostMessage(kPageAckMessage); }

std::uint32_t CBrevanDlg::Now() { return Host().GetTickCount(); }
void CBrevanDlg::Pause(unsigned ms) { Sleep(ms); }
void CBrevanDlg::StartTicks(unsigned ms) { SetTimer(kUpgradeTimer, ms); }
void CBrevanDlg::StopTicks() { KillTimer(kUpgradeTimer); }

}  // namespace brevan
