// The upgrade: UPDATE starts it, the 25 ms timer drives it through probing
// and writing, the reply parser on the monitor thread feeds it.
#include <cstdio>
#include <cstring>

#include "updater/app/brevan_dlg.h"
#include "updater/resources/brevan_strings.h"
#include "updater/resources/brevan_templates.h"
#include "updater/upgrade/tick_step.h"

namespace brevan {
namespace {

constexpr std::string_view kUpgradeCommand = "\r\nKAVEL,SOFTWARE,\r\n";
constexpr std::uint8_t kQueryCommand = 0x2D;
constexpr std::string_view kQueryArgument = "c0";
constexpr std::uint32_t kLoaderBaud = 57600;
constexpr int kProbeTicksPerSecond = 40;
constexpr int kAckWaitTicks = 60;  // a page goes again after 61 ticks without acknowledgement
constexpr int kMaxRetries = 5;
// The same wait in wall time, for the acknowledgement pacing: 61 ticks of 25 ms.
constexpr std::uint32_t kAckWaitMs = (kAckWaitTicks + 1) * CBrevanDlg::kTickMs;
// A page frame's 133 bytes take 23.1 ms at the loader's rate: no answer to it can come sooner.
constexpr std::uint32_t kFrameWireMs = 133 * 10 * 1000 / kLoaderBaud;

std::string WithSeconds(std::string_view suffix, const std::string& before, int seconds, const std::string& after) {
  std::array<char, 16> digits{};
  std::snprintf(digits.data(), digits.size(), "%02d", seconds);
  std::string text = before + digits.data() + after;
  text += suffix;
  return text;
}

}  // namespace

void CBrevanDlg::BarPos(int pos) { m_progress.SetPos(pos); }
void CBrevanDlg::BarStep() { m_progress.StepIt(); }

void CBrevanDlg::EndUpgrade(UpgradeOutcome outcome) {
  m_pageRecord.endTick = Host().GetTickCount();
  KillTimer(kUpgradeTimer);
  m_tty.Close();
  m_outcome = outcome;
}

void CBrevanDlg::OnOK() {
  m_pageRecord = {};
  m_nProbeTicks = 0;
  m_nCountdown = 16;
  m_nPageOffset = -kPageSize;
  UpdateData(true);
  const std::string port = Combo(IDC_COMBO_PORT).GetWindowText();
  m_profile.WriteProfileString(kProfileSection, kProfilePort, port);
  m_profile.WriteProfileInt(kProfileSection, kProfileBaud, Combo(IDC_COMBO_BAUD).GetCurSel());
  KillTimer(kUpgradeTimer);

  const bool breakStart = m_strBaud == "BREAK";
  CommSettings settings;
  settings.portName = port;
  settings.baudRate = breakStart ? 9600u : static_cast<std::uint32_t>(TextValue(m_strBaud));

  m_tty.Close();
  // With the port closed no monitor thread reads the hook.
  if (m_pacing == PagePacing::Ack) {
    m_tty.m_onPageAck = [this] {
      m_dwAckAt.store(Host().GetTickCount());
      PostMessage(kPageAckMessage);
    };
  }
  else {
    m_tty.m_onPageAck = nullptr;
  }
  if (!m_tty.Open(settings)) {
    AppendMessage(IDS_PORT_WRONG);
    m_outcome = UpgradeOutcome::PortFailed;
    ShowStatusLine();
    return;
  }
  m_outcome = UpgradeOutcome::Running;
  if (breakStart) {
    m_tty.SetBreak();
    Sleep(200);
    m_tty.ClearBreak();
    Sleep(1000);
    m_tty.SetBreak();
    Sleep(200);
    m_tty.ClearBreak();
    Sleep(200);
  }
  AppendMessage(IDS_PORT_OPENED);
  ShowStatusLine();
  AppendMessage(IDS_POWER_ON);

  const auto* command = reinterpret_cast<const std::uint8_t*>(kUpgradeCommand.data());
  const int commandLength = static_cast<int>(kUpgradeCommand.size());
  m_tty.WriteBytes(command, commandLength);
  Sleep(20);
  m_tty.WriteBytes(command, commandLength);
  Sleep(20);
  SetTimer(kUpgradeTimer, kTickMs);

  settings.baudRate = kLoaderBaud;
  m_tty.ApplySettings(settings);
  Sleep(10);
  for (int i = 0; i < commandLength; ++i) m_tty.WriteByte(command[i]);
  Sleep(10);
  m_nRetries = 0;
  RestartWait();
  m_tty.m_bPageAck = 0;
  m_tty.SendCommandPacket(kQueryCommand, kQueryArgument);
  ShowStatusLine();
}

void CBrevanDlg::OnTimer(unsigned) {
  const TickChoice choice = ChooseTickStep([this] { return m_tty.m_bProbing.load(); },
                                           [this] { return m_tty.m_nModuleType.load(); });
  switch (choice.step) {
    case TickStep::Probing:
      ProbingTick();
      break;
    case TickStep::Refusal:
      Refusal();
      break;
    case TickStep::Writing:
      WritingStep(choice.moduleType, Wake::Tick);
      break;
  }
}

void CBrevanDlg::OnPageAcknowledged() {
  // A wake posted before the upgrade ended, or while probing goes on, has nothing to step.
  if (m_pacing != PagePacing::Ack || !UpgradeRunning()) return;
  const TickChoice choice = ChooseTickStep([this] { return m_tty.m_bProbing.load(); },
                                           [this] { return m_tty.m_nModuleType.load(); });
  if (choice.step == TickStep::Writing) WritingStep(choice.moduleType, Wake::Acknowledgement);
}

void CBrevanDlg::RestartWait() {
  m_nWaitTicks = 0;
  m_dwWaitStart = Host().GetTickCount();
}

// Tick pacing reads the flag on the tick and clears it at the end of every
// tick. Ack pacing takes it as each acknowledgement is reported, so one that
// comes while the next page goes out belongs to that page; but an answer
// cannot come before its frame has crossed the wire, and one that does is
// left to an earlier frame (a late or doubled acknowledgement). Taken, it
// would move the writing a page ahead of the loader, and at the end close
// the port with the last page still on the wire.
bool CBrevanDlg::TakeAcknowledgement(Wake wake) {
  if (m_pacing == PagePacing::Tick) return m_tty.m_bPageAck.load() == 1;
  if (wake != Wake::Acknowledgement || m_tty.m_bPageAck.exchange(0) != 1) return false;
  if (m_nPageOffset == -kPageSize) return true;  // no frame sent yet: the answer that ended probing
  return static_cast<std::int32_t>(m_dwAckAt.load() - m_dwFrameStart) >= static_cast<std::int32_t>(kFrameWireMs);
}

bool CBrevanDlg::WaitIsOver() {
  if (m_pacing == PagePacing::Ack)
    return static_cast<std::int32_t>(Host().GetTickCount() - m_dwWaitStart) >= static_cast<std::int32_t>(kAckWaitMs);
  return m_nWaitTicks > kAckWaitTicks;
}

void CBrevanDlg::ProbingTick() {
  m_tty.SendCommandPacket(kQueryCommand, kQueryArgument);
  m_nRetries = 0;
  RestartWait();
  m_tty.m_bPageAck = 0;
  if (m_nProbeTicks % kProbeTicksPerSecond == 0) {
    m_nCountdown -= 1;
    BarPos(m_nCountdown * 100 / 16);
    BarStep();
    LoadMessage(IDS_COUNTDOWN_CAPTION);
    m_progress.SetText(WithSeconds(" ", m_strMsg[0], m_nCountdown, m_strMsg[1]));
    LoadMessage(IDS_COUNTDOWN_LINE);
    const std::string line = WithSeconds("\r\n", m_strMsg[0], m_nCountdown, m_strMsg[1]);
    if (m_nCountdown != 0) {
      Edit(IDC_EDIT_STATUS).SetWindowText(m_strStatus + line);
      Edit(IDC_EDIT_STATUS).LineScroll(m_nStatusLines, 0);
    } else if (m_tty.m_bOtherModuleNamed.load() != 0) {
      OtherModuleAtCountdownEnd();
    } else {
      LoadMessage(IDS_OVERTIME);
      Edit(IDC_EDIT_STATUS).SetWindowText(m_strMsg[0] + "\r\n");
      Edit(IDC_EDIT_STATUS).LineScroll(m_nStatusLines, 0);
      KillTimer(kUpgradeTimer);
      m_nCountdown = 0;
      BarPos(0);
      BarStep();
      m_tty.Close();
      m_outcome = UpgradeOutcome::TimedOut;
      m_pageRecord.endTick = Host().GetTickCount();
    }
  }
  m_nProbeTicks += 1;
}

void CBrevanDlg::StopWithMessage(int messageId, UpgradeOutcome outcome) {
  AppendMessage(messageId);
  ShowStatusLine();
  m_nRetries = 0;
  m_nWaitTicks = 0;
  m_tty.m_bProbing = 1;
  EndUpgrade(outcome);
}

// The loader answered, but only with names of modules the bank has no slot
// for: no image fits this board, which is not a silent line.
void CBrevanDlg::OtherModuleAtCountdownEnd() {
  m_nCountdown = 0;
  BarPos(0);
  BarStep();
  UpdateData(true);
  CopyReplyTexts();
  StopWithMessage(IDS_WRONG_FIRMWARE, UpgradeOutcome::WrongFirmware);
  UpdateData(false);
}

void CBrevanDlg::Refusal() {
  UpdateData(true);
  StopWithMessage(IDS_REFUSED, UpgradeOutcome::Refused);
}

// One step of the writing phase, woken by the timer or (ack pacing) by a
// parsed acknowledgement. The rules are the same; only the wait is counted
// in ticks or in milliseconds.
void CBrevanDlg::WritingStep(int moduleType, Wake wake) {
  if (wake == Wake::Tick) m_nWaitTicks += 1;
  if (m_nRetries > kMaxRetries) {
    StopWithMessage(IDS_OVERTIME, UpgradeOutcome::TimedOut);
  } else if (TakeAcknowledgement(wake)) {
    m_nPageOffset = m_nPageOffset == -kPageSize ? 0 : m_nPageOffset + kPageSize;
    m_nRetries = 0;
    RestartWait();
    PageStep(moduleType);
  } else if (wake == Wake::Tick && WaitIsOver()) {
    m_nRetries += 1;
    RestartWait();
    if (m_nPageOffset == -kPageSize) m_nPageOffset = 0;
    PageStep(moduleType);
  }
  if (m_pacing == PagePacing::Tick) m_tty.m_bPageAck = 0;
}

void CBrevanDlg::PageStep(int t) {
  const std::int32_t o = m_nPageOffset;
  const std::int32_t length = m_bank.m_nImageLength[static_cast<std::size_t>(t)];
  const auto percent = static_cast<int>(static_cast<std::uint32_t>(o) * 100u / static_cast<std::uint32_t>(length));
  if (o == 0 && !FirstPageCheck(t)) {
    BarPos(0);
    return;
  }
  BarPos(percent);
  UpdateData(false);
  if (o < length) {
    // Only a page inside the image is copied: the completion step's offset lies past it.
    const std::uint8_t* page = m_bank.m_imageBank[static_cast<std::size_t>(t)].data() + o;
    std::memcpy(m_pageBuffer.data(), page, m_pageBuffer.size());
    const int address = o + (t <= 3 ? 0x2000 : 0x4000);
    NotePageSent(t, o, address);
    m_tty.m_bFirstPageSent = 1;  // from now on an identification answer acknowledges nothing
    SendPage(address & 0xFFFF);
  } else {
    Completion(t);
  }
}

void CBrevanDlg::SendPage(int address) {
  if (m_pacing == PagePacing::Ack) {
    m_dwFrameStart = Host().GetTickCount();
    m_tty.WriteBlockPacket(m_pageBuffer.data(), address);
  } else {
    m_tty.SendBlockPacket(m_pageBuffer.data(), address);
  }
}

void CBrevanDlg::NotePageSent(int slot, int offset, int address) {
  PageRecord& r = m_pageRecord;
  if (r.offset < 0) r.firstPageTick = Host().GetTickCount();
  if (offset == r.offset) {
    r.sendings += 1;
    r.pagesResent += 1;
  } else {
    r.sendings = 1;
  }
  r.slot = slot;
  r.offset = offset;
  r.address = address;
}

void CBrevanDlg::CopyReplyTexts() {
  m_strSerialNo = m_tty.SerialNo();
  m_strSoftwareVersion = m_tty.SoftwareVersion();
  m_strHardwareVersion = m_tty.ModuleName();
}

bool CBrevanDlg::FirstPageCheck(int t) {
  if (m_bank.m_nLoadMode == 1 && t != m_bank.m_nLoadedModule) {
    UpdateData(true);
    CopyReplyTexts();
    StopWithMessage(IDS_WRONG_FIRMWARE, UpgradeOutcome::WrongFirmware);
    UpdateData(false);
    return false;
  }
  m_progress.SetText("");
  CopyReplyTexts();
  LoadMessage(IDS_UPDATING);
  m_strStatus = m_strMsg[0] + "\r\n";
  ShowStatusLine();
  if (TextValue(m_bank.m_strImageVersion[static_cast<std::size_t>(t)]) < TextValue(m_strSoftwareVersion)) {
    AppendMessage(IDS_OLD_FIRMWARE);
    ShowStatusLine();
  }
  UpdateData(false);
  return true;
}

void CBrevanDlg::Completion(int t) {
  BarPos(100);
  BarStep();
  AppendMessage(IDS_UPDATED);
  ShowStatusLine();
  m_tty.m_bProbing = 1;
  m_nProbeTicks = 0;
  m_nCountdown = 16;
  m_nPageOffset = 0;
  UpdateData(true);
  EndUpgrade(UpgradeOutcome::Completed);
  if (TextValue(m_bank.m_strImageVersion[static_cast<std::size_t>(t)]) < TextValue(m_strSoftwareVersion)) {
    LoadMessage(IDS_OLD_FIRMWARE);
    MessageBox(m_strMsg[0]);
  }
}

}  // namespace brevan
