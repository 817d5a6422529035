#pragma once
// The upgrade: UPDATE starts it, the 25 ms timer (and, with ack pacing, each
// parsed acknowledgement) drives it through probing and writing; it shows
// itself through its view and tells its observers what happens.
#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/string_table.h"
#include "framework/ui_language.h"
#include "updater/image_bank/image_bank.h"
#include "updater/upgrade/upgrade_observer.h"
#include "updater/upgrade/upgrade_outcome.h"
#include "updater/upgrade/upgrade_seams.h"

namespace brevan {

class CUpgradeRun {
 public:
  static constexpr unsigned kTickMs = 25;
  static constexpr int kPageSize = 128;
  static constexpr int kCountdownSeconds = 16;

  CUpgradeRun(fw::UiLanguage language, IUpgradeView& view, IUpgradeClock& clock, IUpgradeLink& link,
              const CImageBank& bank);
  CUpgradeRun(const CUpgradeRun&) = delete;
  CUpgradeRun& operator=(const CUpgradeRun&) = delete;

  // UPDATE, once the window has saved its choices: the port and the rate text.
  void Start(const std::string& port, const std::string& baud);
  void OnTick();
  // The UI thread's answer to WakeOnAcknowledgement.
  void OnPageAcknowledged();

  UpgradeOutcome Outcome() const { return m_outcome; }
  bool UpgradeRunning() const { return m_outcome == UpgradeOutcome::Running; }
  const PageRecord& Pages() const { return m_pageRecord; }
  // Chosen before UPDATE; the window itself always paces by the tick.
  void SetPagePacing(PagePacing pacing) { m_pacing = pacing; }
  PagePacing Pacing() const { return m_pacing; }
  UpgradeSummary Summary() const;

  // Observers outlive the run or are removed first; attach while no upgrade runs.
  void AddObserver(IUpgradeObserver& observer);
  void RemoveObserver(IUpgradeObserver& observer);

  std::int32_t m_nWaitTicks = 0;
  std::int32_t m_nRetries = 0;
  std::int32_t m_nProbeTicks = 0;
  std::int32_t m_nCountdown = 0;
  std::array<std::uint8_t, kPageSize> m_pageBuffer{};
  std::int32_t m_nPageOffset = -kPageSize;

 private:
  enum class Wake { Tick, Acknowledgement };
  const std::string& Line(int id, std::size_t line = 0);
  void ProbingTick();
  void Refusal();
  void OtherModuleAtCountdownEnd();
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
  void TellEnded();
  template <class Call>
  void Tell(Call&& call) {
    for (IUpgradeObserver* observer : m_observers) call(*observer);
  }

  fw::UiLanguage m_language;
  IUpgradeView& m_view;
  IUpgradeClock& m_clock;
  IUpgradeLink& m_link;
  CUpgradeReplies& m_replies;
  const CImageBank& m_bank;
  std::vector<IUpgradeObserver*> m_observers;
  fw::MessageLines m_strMsg;
  std::string m_strBaud;

  UpgradeOutcome m_outcome = UpgradeOutcome::None;
  PageRecord m_pageRecord;
  PagePacing m_pacing = PagePacing::Tick;
  bool m_bWriting = false;  // the first writing step has come
  std::uint32_t m_dwWaitStart = 0;  // host tick when the current wait began (ack pacing)
  std::uint32_t m_dwFrameStart = 0;  // host tick just before the last page frame's write (ack pacing)
  std::atomic<std::uint32_t> m_dwAckAt{0};  // host tick of the last acknowledgement, stamped by the monitor thread
};

}  // namespace brevan
