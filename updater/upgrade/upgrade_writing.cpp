// The upgrade's writing phase: pages, acknowledgements, retries, completion.
#include <cstring>

#include "updater/image_bank/module_types.h"
#include "updater/resources/brevan_strings.h"
#include "updater/upgrade/text_value.h"
#include "updater/upgrade/upgrade_run.h"

namespace brevan {
namespace {

constexpr std::uint32_t kLoaderBaud = 57600;
constexpr int kAckWaitTicks = 60;  // a page goes again after 61 ticks without acknowledgement
constexpr int kMaxRetries = 5;
// The same wait in wall time, for the acknowledgement pacing: 61 ticks of 25 ms.
constexpr std::uint32_t kAckWaitMs = (kAckWaitTicks + 1) * CUpgradeRun::kTickMs;
// A page frame's 133 bytes take 23.1 ms at the loader's rate: no answer to it can come sooner.
constexpr std::uint32_t kFrameWireMs = 133 * 10 * 1000 / kLoaderBaud;

}  // namespace

void CUpgradeRun::RestartWait() {
  m_nWaitTicks = 0;
  m_dwWaitStart = m_clock.Now();
}

// Tick pacing reads the flag on the tick and clears it at the end of every
// tick. Ack pacing takes it as each acknowledgement is reported, so one that
// comes while the next page goes out belongs to that page; but an answer
// cannot come before its frame has crossed the wire, and one that does is
// left to an earlier frame (a late or doubled acknowledgement). Taken, it
// would move the writing a page ahead of the loader, and at the end close
// the port with the last page still on the wire.
bool CUpgradeRun::TakeAcknowledgement(Wake wake) {
  if (m_pacing == PagePacing::Tick) return m_replies.m_bPageAck.load() == 1;
  if (wake != Wake::Acknowledgement || m_replies.m_bPageAck.exchange(0) != 1) return false;
  if (m_nPageOffset == -kPageSize) return true;  // no frame sent yet: the answer that ended probing
  return static_cast<std::int32_t>(m_dwAckAt.load() - m_dwFrameStart) >= static_cast<std::int32_t>(kFrameWireMs);
}

bool CUpgradeRun::WaitIsOver() {
  if (m_pacing == PagePacing::Ack)
    return static_cast<std::int32_t>(m_clock.Now() - m_dwWaitStart) >= static_cast<std::int32_t>(kAckWaitMs);
  return m_nWaitTicks > kAckWaitTicks;
}

// One step of the writing phase, woken by the timer or (ack pacing) by a
// parsed acknowledgement. The rules are the same; only the wait is counted
// in ticks or in milliseconds.
void CUpgradeRun::WritingStep(int moduleType, Wake wake) {
  if (!m_bWriting) {
    m_bWriting = true;
    if (!m_observers.empty()) {
      const std::string name = m_replies.ModuleName();
      Tell([moduleType, &name](IUpgradeObserver& o) { o.OnModuleNamed(moduleType, name); });
    }
  }
  if (wake == Wake::Tick) m_nWaitTicks += 1;
  // The flag is read before the count: an acknowledgement the tick takes was
  // counted before it was flagged, so only later ones add to the count.
  const bool acknowledged = m_nRetries <= kMaxRetries && TakeAcknowledgement(wake);
  const std::int32_t heard = m_replies.m_nAcksHeard.load();
  if (m_nRetries > kMaxRetries) {
    StopWithMessage(IDS_OVERTIME, UpgradeOutcome::TimedOut);
  } else if (acknowledged) {
    m_nPageOffset = m_nPageOffset == -kPageSize ? 0 : m_nPageOffset + kPageSize;
    m_nRetries = 0;
    RestartWait();
    const int offset = m_nPageOffset;
    Tell([offset](IUpgradeObserver& o) { o.OnAcknowledgement(offset); });
    PageStep(moduleType);
  } else if (wake == Wake::Tick && WaitIsOver()) {
    m_nRetries += 1;
    RestartWait();
    if (m_nPageOffset == -kPageSize) m_nPageOffset = 0;
    const int offset = m_nPageOffset;
    const int retries = m_nRetries;
    Tell([offset, retries](IUpgradeObserver& o) { o.OnRetry(offset, retries); });
    PageStep(moduleType);
  }
  if (m_pacing == PagePacing::Tick) {
    // As the window always did: one that came while this tick ran is cleared
    // with it; if it was the page's own, the page goes again after the wait.
    // Counted, so that a report can tell such a repeat from a page the line lost.
    const std::int32_t during = m_replies.m_nAcksHeard.load() - heard;
    m_replies.m_bPageAck = 0;
    if (during > 0) m_pageRecord.acksLostInTick += during;
  }
}

void CUpgradeRun::PageStep(int t) {
  const std::int32_t o = m_nPageOffset;
  const std::int32_t length = m_bank.m_nImageLength[static_cast<std::size_t>(t)];
  const auto percent = static_cast<int>(static_cast<std::uint32_t>(o) * 100u / static_cast<std::uint32_t>(length));
  const PageStepFacts step{t, o, length, percent};
  Tell([&step](IUpgradeObserver& observer) { observer.OnPageStep(step); });
  if (o == 0 && !FirstPageCheck(t)) {
    m_view.BarPos(0);
    return;
  }
  m_view.BarPos(percent);
  m_view.ExchangeData(false);
  if (o < length) {
    // Only a page inside the image is copied: the completion step's offset lies past it.
    const std::uint8_t* page = m_bank.m_imageBank[static_cast<std::size_t>(t)].data() + o;
    std::memcpy(m_pageBuffer.data(), page, m_pageBuffer.size());
    const int address = o + static_cast<int>(LoadAddress(t));
    NotePageSent(t, o, address);
    m_replies.m_bFirstPageSent = 1;  // from now on an identification answer acknowledges nothing
    SendPage(address & 0xFFFF);
    const PageSentFacts sent{t, o / kPageSize + 1, o, address, kPageSize, m_pageRecord.sendings};
    Tell([&sent](IUpgradeObserver& observer) { observer.OnPageSent(sent); });
    if (o == 0 && m_pageRecord.sendings == 1 && !m_observers.empty()) {
      const UpgradeSummary soFar = Summary();
      Tell([&soFar](IUpgradeObserver& observer) { observer.OnFirstPageSent(soFar); });
    }
  } else {
    Completion(t);
  }
}

void CUpgradeRun::SendPage(int address) {
  if (m_pacing == PagePacing::Ack) {
    m_dwFrameStart = m_clock.Now();
    m_link.WriteBlockPacket(m_pageBuffer.data(), address);
  } else {
    m_link.SendBlockPacket(m_pageBuffer.data(), address);
  }
}

void CUpgradeRun::NotePageSent(int slot, int offset, int address) {
  PageRecord& r = m_pageRecord;
  if (r.offset < 0) r.firstPageTick = m_clock.Now();
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

void CUpgradeRun::CopyReplyTexts() {
  m_view.ShowReplyTexts(m_replies.SerialNo(), m_replies.SoftwareVersion(), m_replies.ModuleName());
}

bool CUpgradeRun::FirstPageCheck(int t) {
  if (m_bank.m_nLoadMode == 1 && t != m_bank.m_nLoadedModule) {
    m_view.ExchangeData(true);
    CopyReplyTexts();
    StopWithMessage(IDS_WRONG_FIRMWARE, UpgradeOutcome::WrongFirmware);
    m_view.ExchangeData(false);
    return false;
  }
  m_view.BarText("");
  CopyReplyTexts();
  m_view.RestartStatus(Line(IDS_UPDATING));
  m_view.ShowStatusLine();
  if (TextValue(m_bank.m_strImageVersion[static_cast<std::size_t>(t)]) < TextValue(m_view.SoftwareVersionShown())) {
    m_view.AppendStatus(Line(IDS_OLD_FIRMWARE));
    m_view.ShowStatusLine();
  }
  m_view.ExchangeData(false);
  return true;
}

void CUpgradeRun::Completion(int t) {
  m_view.BarPos(100);
  m_view.BarStep();
  m_view.AppendStatus(Line(IDS_UPDATED));
  m_view.ShowStatusLine();
  m_replies.m_bProbing = 1;
  m_nProbeTicks = 0;
  m_nCountdown = kCountdownSeconds;
  m_nPageOffset = 0;
  m_view.ExchangeData(true);
  EndUpgrade(UpgradeOutcome::Completed);
  if (TextValue(m_bank.m_strImageVersion[static_cast<std::size_t>(t)]) < TextValue(m_view.SoftwareVersionShown()))
    m_view.ShowMessageBox(Line(IDS_OLD_FIRMWARE));
}

}  // namespace brevan
