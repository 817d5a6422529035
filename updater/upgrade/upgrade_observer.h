#pragma once
// What an upgrade tells those who watch it: the terminal's output, its
// report, JSON lines, traces. An observer learns the run only from these
// calls and the summary it is handed; it reads no window or engine.
#include <cstdint>
#include <string>
#include <string_view>

#include "serial/serial_port.h"
#include "updater/upgrade/upgrade_outcome.h"

namespace brevan {

// The writing moved to a page (or past the last one), before the bar shows it.
struct PageStepFacts {
  int slot = -1;
  int offset = 0;
  int imageLength = 0;
  int percent = 0;  // as the bar is set: past 100 at the completion step
};

struct PageSentFacts {
  int slot = -1;
  int page = 0;  // 1-based
  int offset = 0;
  int address = 0;
  int bytes = 0;
  int sending = 0;  // 1 for a page's first sending, more for its retries
};

// What the run knows once it has stopped (or at any moment, from Summary()).
struct UpgradeSummary {
  UpgradeOutcome outcome = UpgradeOutcome::None;
  PageRecord pages;
  int pageOffset = 0;    // the writing's offset as the run left it
  int moduleType = 0;    // as the reply parser decided it
  bool otherModuleNamed = false;  // a name reply named a module the bank has no slot for
  int loadedModule = -1;          // the one image file's module (load mode 1), -1 otherwise
  std::string moduleName;
  std::string serialNo;
  std::string softwareVersion;
  std::string baud;  // the rate text UPDATE was pressed with
  // Of the slot whose pages went out (pages.slot); empty and 0 before any page.
  std::string imageVersion;
  int imageLength = 0;
  int pageCount = 0;
  // What came back since the port opened.
  std::uint64_t rxBytes = 0;
  std::string rxFirst;                 // the first bytes received
  std::uint64_t bytesParsed = 0;
  std::uint64_t bytesAfterLastAck = 0;  // received after the last acknowledgement ended (all, when none came)
  std::string rxAfterLastAck;          // the latest of those, as many as the tally keeps
  int acksHeard = 0;
  serial::OpenError openError;  // why the port did not open (PortFailed)
};

class IUpgradeObserver {
 public:
  virtual ~IUpgradeObserver() = default;
  virtual void OnStarted() {}                      // UPDATE pressed
  virtual void OnCountdown(int /*secondsLeft*/) {}  // each second of probing
  virtual void OnCountdownEnd(bool /*otherModuleNamed*/) {}
  // Probing is over: the loader named a module the bank has a slot for.
  virtual void OnModuleNamed(int /*slot*/, std::string_view /*name*/) {}
  virtual void OnAcknowledgement(int /*nextOffset*/) {}
  virtual void OnRetry(int /*offset*/, int /*retries*/) {}
  virtual void OnPageStep(const PageStepFacts& /*step*/) {}
  virtual void OnPageSent(const PageSentFacts& /*page*/) {}
  // The first page has gone out: what the run knows then (the board's
  // identification, the slot and its image), for those who must tell an
  // upgrade that never ends (an interrupted one).
  virtual void OnFirstPageSent(const UpgradeSummary& /*soFar*/) {}
  virtual void OnEnded(const UpgradeSummary& /*summary*/) {}
};

}  // namespace brevan
