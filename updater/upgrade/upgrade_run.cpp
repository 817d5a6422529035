// The upgrade's start, its timer, the probing with its countdown, and its end.
#include "updater/upgrade/upgrade_run.h"

#include <algorithm>
#include <cstdio>

#include "updater/resources/brevan_strings.h"
#include "updater/upgrade/text_value.h"
#include "updater/upgrade/tick_step.h"

namespace brevan {
namespace {

constexpr std::string_view kUpgradeCommand = "\r\nKAVEL,SOFTWARE,\r\n";
constexpr std::uint8_t kQueryCommand = 0x2D;
constexpr std::string_view kQueryArgument = "c0";
constexpr std::uint32_t kLoaderBaud = 57600;
constexpr int kProbeTicksPerSecond = 40;

std::string WithSeconds(std::string_view suffix, const std::string& before, int seconds, const std::string& after) {
  std::array<char, 16> digits{};
  std::snprintf(digits.data(), digits.size(), "%02d", seconds);
  std::string text = before + digits.data() + after;
  text += suffix;
  return text;
}

}  // namespace

CUpgradeRun::CUpgradeRun(fw::UiLanguage language, IUpgradeView& view, IUpgradeClock& clock, IUpgradeLink& link,
                         const CImageBank& bank)
    : m_language(language), m_view(view), m_clock(clock), m_link(link), m_replies(link.Replies()), m_bank(bank) {}

void CUpgradeRun::AddObserver(IUpgradeObserver& observer) {
  if (std::find(m_observers.begin(), m_observers.end(), &observer) == m_observers.end())
    m_observers.push_back(&observer);
}

void CUpgradeRun::RemoveObserver(IUpgradeObserver& observer) { std::erase(m_observers, &observer); }

const std::string& CUpgradeRun::Line(int id, std::size_t line) {
  fw::LoadMessage(BrevanStrings(), m_language, id, m_strMsg);
  return m_strMsg[line];
}

void CUpgradeRun::Start(const std::string& port, const std::string& baud) {
  m_pageRecord = {};
  m_nProbeTicks = 0;
  m_nCountdown = kCountdownSeconds;
  m_nPageOffset = -kPageSize;
  m_bWriting = false;
  m_strBaud = baud;
  Tell([](IUpgradeObserver& o) { o.OnStarted(); });
  m_clock.StopTicks();

  const bool breakStart = baud == "BREAK";
  CommSettings settings;
  settings.portName = port;
  settings.baudRate = breakStart ? 9600u : static_cast<std::uint32_t>(TextValue(baud));

  m_link.Close();
  // With the port closed no monitor thread reads the hook.
  if (m_pacing == PagePacing::Ack) {
    m_replies.m_onPageAck = [this] {
      m_dwAckAt.store(m_clock.Now());
      m_view.WakeOnAcknowledgement();
    };
  } else {
    m_replies.m_onPageAck = nullptr;
  }
  if (!m_link.Open(settings)) {
    m_view.AppendStatus(Line(IDS_PORT_WRONG));
    m_outcome = UpgradeOutcome::PortFailed;
    m_view.ShowStatusLine();
    TellEnded();
    return;
  }
  m_outcome = UpgradeOutcome::Running;
  if (breakStart) {
    m_link.SetBreak();
    m_clock.Pause(200);
    m_link.ClearBreak();
    m_clock.Pause(1000);
    m_link.SetBreak();
    m_clock.Pause(200);
    m_link.ClearBreak();
    m_clock.Pause(200);
  }
  m_view.AppendStatus(Line(IDS_PORT_OPENED));
  m_view.ShowStatusLine();
  m_view.AppendStatus(Line(IDS_POWER_ON));

  const auto* command = reinterpret_cast<const std::uint8_t*>(kUpgradeCommand.data());
  const int commandLength = static_cast<int>(kUpgradeCommand.size());
  m_link.WriteBytes(command, commandLength);
  m_clock.Pause(20);
  m_link.WriteBytes(command, commandLength);
  m_clock.Pause(20);
  m_clock.StartTicks(kTickMs);

  settings.baudRate = kLoaderBaud;
  m_link.ApplySettings(settings);
  m_clock.Pause(10);
  for (int i = 0; i < commandLength; ++i) m_link.WriteByte(command[i]);
  m_clock.Pause(10);
  m_nRetries = 0;
  RestartWait();
  m_replies.m_bPageAck = 0;
  m_link.SendCommandPacket(kQueryCommand, kQueryArgument);
  m_view.ShowStatusLine();
}

void CUpgradeRun::OnTick() {
  const TickChoice choice = ChooseTickStep([this] { return m_replies.m_bProbing.load(); },
                                           [this] { return m_replies.m_nModuleType.load(); });
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

void CUpgradeRun::OnPageAcknowledged() {
  // A wake posted before the upgrade ended, or while probing goes on, has nothing to step.
  if (m_pacing != PagePacing::Ack || !UpgradeRunning()) return;
  const TickChoice choice = ChooseTickStep([this] { return m_replies.m_bProbing.load(); },
                                           [this] { return m_replies.m_nModuleType.load(); });
  if (choice.step == TickStep::Writing) WritingStep(choice.moduleType, Wake::Acknowledgement);
}

void CUpgradeRun::ProbingTick() {
  m_link.SendCommandPacket(kQueryCommand, kQueryArgument);
  m_nRetries = 0;
  RestartWait();
  m_replies.m_bPageAck = 0;
  if (m_nProbeTicks % kProbeTicksPerSecond == 0) {
    m_nCountdown -= 1;
    m_view.BarPos(m_nCountdown * 100 / kCountdownSeconds);
    m_view.BarStep();
    Line(IDS_COUNTDOWN_CAPTION);
    m_view.BarText(WithSeconds(" ", m_strMsg[0], m_nCountdown, m_strMsg[1]));
    Line(IDS_COUNTDOWN_LINE);
    const std::string line = WithSeconds("\r\n", m_strMsg[0], m_nCountdown, m_strMsg[1]);
    const int secondsLeft = m_nCountdown;
    Tell([secondsLeft](IUpgradeObserver& o) { o.OnCountdown(secondsLeft); });
    if (m_nCountdown != 0) {
      m_view.ShowStatusWith(line);
    } else if (m_replies.m_bOtherModuleNamed.load() != 0) {
      Tell([](IUpgradeObserver& o) { o.OnCountdownEnd(true); });
      OtherModuleAtCountdownEnd();
    } else {
      Tell([](IUpgradeObserver& o) { o.OnCountdownEnd(false); });
      m_view.ShowStatusInstead(Line(IDS_OVERTIME) + "\r\n");
      m_clock.StopTicks();
      m_nCountdown = 0;
      m_view.BarPos(0);
      m_view.BarStep();
      m_link.Close();
      m_outcome = UpgradeOutcome::TimedOut;
      m_pageRecord.endTick = m_clock.Now();
      TellEnded();
    }
  }
  m_nProbeTicks += 1;
}

void CUpgradeRun::StopWithMessage(int messageId, UpgradeOutcome outcome) {
  m_view.AppendStatus(Line(messageId));
  m_view.ShowStatusLine();
  m_nRetries = 0;
  m_nWaitTicks = 0;
  m_replies.m_bProbing = 1;
  EndUpgrade(outcome);
}

void CUpgradeRun::EndUpgrade(UpgradeOutcome outcome) {
  m_pageRecord.endTick = m_clock.Now();
  m_clock.StopTicks();
  m_link.Close();
  m_outcome = outcome;
  TellEnded();
}

void CUpgradeRun::TellEnded() {
  if (m_observers.empty()) return;
  const UpgradeSummary summary = Summary();
  Tell([&summary](IUpgradeObserver& o) { o.OnEnded(summary); });
}

// The loader answered, but only with names of modules the bank has no slot
// for: no image fits this board, which is not a silent line.
void CUpgradeRun::OtherModuleAtCountdownEnd() {
  m_nCountdown = 0;
  m_view.BarPos(0);
  m_view.BarStep();
  m_view.ExchangeData(true);
  CopyReplyTexts();
  StopWithMessage(IDS_WRONG_FIRMWARE, UpgradeOutcome::WrongFirmware);
  m_view.ExchangeData(false);
}

void CUpgradeRun::Refusal() {
  m_view.ExchangeData(true);
  StopWithMessage(IDS_REFUSED, UpgradeOutcome::Refused);
}

UpgradeSummary CUpgradeRun::Summary() const {
  UpgradeSummary s;
  s.outcome = m_outcome;
  s.pages = m_pageRecord;
  s.pageOffset = m_nPageOffset;
  s.moduleType = m_replies.m_nModuleType.load();
  s.otherModuleNamed = m_replies.m_bOtherModuleNamed.load() != 0;
  s.loadedModule = m_bank.m_nLoadedModule;
  s.moduleName = m_replies.ModuleName();
  s.serialNo = m_replies.SerialNo();
  s.softwareVersion = m_replies.SoftwareVersion();
  s.baud = m_strBaud;
  if (m_pageRecord.slot >= 0 && m_pageRecord.slot < kModuleCount) {
    const auto slot = static_cast<std::size_t>(m_pageRecord.slot);
    s.imageVersion = m_bank.m_strImageVersion[slot];
    s.imageLength = m_bank.m_nImageLength[slot];
    s.pageCount = (s.imageLength + kPageSize - 1) / kPageSize;
  }
  const serial::LineTally& tally = m_link.RxTally();
  s.rxBytes = tally.Total();
  s.rxFirst = tally.First();
  s.bytesParsed = m_replies.m_nBytesParsed.load();
  const std::uint64_t atAck = m_replies.m_nBytesAtLastAck.load();
  s.bytesAfterLastAck = s.bytesParsed >= atAck ? s.bytesParsed - atAck : 0;
  if (s.bytesAfterLastAck > 0)
    s.rxAfterLastAck = tally.Last(static_cast<std::size_t>(std::min<std::uint64_t>(s.bytesAfterLastAck, serial::LineTally::kKept)));
  s.acksHeard = m_replies.m_nAcksHeard.load();
  s.openError = m_link.LastOpenError();
  return s;
}

}  // namespace brevan
