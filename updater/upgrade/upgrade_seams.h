#pragma once
// What the upgrade run works through: the window that shows it (the view),
// the host's clock and timer, and the serial line with its reply parser.
// The window, the host and the engine implement them; tests fake them.
#include <cstdint>
#include <string>
#include <string_view>

#include "serial/comm_settings.h"
#include "serial/line_tally.h"
#include "serial/serial_port.h"
#include "updater/upgrade/upgrade_replies.h"

namespace brevan {

class IUpgradeView {
 public:
  virtual ~IUpgradeView() = default;
  // The status box: its log, a line added to it, the log shown and scrolled.
  virtual void AppendStatus(std::string_view line) = 0;
  virtual void RestartStatus(std::string_view line) = 0;
  virtual void ShowStatusLine() = 0;
  // Shown and scrolled without becoming part of the log.
  virtual void ShowStatusWith(std::string_view extra) = 0;
  virtual void ShowStatusInstead(std::string_view text) = 0;
  // The progress bar.
  virtual void BarPos(int pos) = 0;
  virtual void BarStep() = 0;
  virtual void BarText(std::string_view text) = 0;
  // Data exchange with the controls, as UpdateData.
  virtual void ExchangeData(bool save) = 0;
  // The board's texts into their boxes, and the software version as the box holds it.
  virtual void ShowReplyTexts(std::string serialNo, std::string softwareVersion, std::string moduleName) = 0;
  virtual std::string SoftwareVersionShown() const = 0;
  virtual void ShowMessageBox(std::string_view text) = 0;
  // Monitor thread: an acknowledgement was parsed; the UI thread should call OnPageAcknowledged.
  virtual void WakeOnAcknowledgement() = 0;
};

class IUpgradeClock {
 public:
  virtual ~IUpgradeClock() = default;
  virtual std::uint32_t Now() = 0;  // ms; any thread
  virtual void Pause(unsigned ms) = 0;
  virtual void StartTicks(unsigned ms) = 0;  // the 25 ms timer
  virtual void StopTicks() = 0;
};

class IUpgradeLink {
 public:
  virtual ~IUpgradeLink() = default;
  virtual CUpgradeReplies& Replies() = 0;
  virtual const serial::LineTally& RxTally() const = 0;
  virtual const serial::OpenError& LastOpenError() const = 0;
  virtual bool Open(const CommSettings& settings) = 0;
  virtual void Close() = 0;
  virtual void ApplySettings(const CommSettings& settings) = 0;
  virtual void SetBreak() = 0;
  virtual void ClearBreak() = 0;
  virtual void WriteBytes(const std::uint8_t* data, int length) = 0;
  virtual void WriteByte(int value) = 0;
  virtual void SendCommandPacket(std::uint8_t command, std::string_view argument) = 0;
  virtual void SendBlockPacket(const std::uint8_t* page, int address) = 0;   // byte by byte (tick pacing)
  virtual void WriteBlockPacket(const std::uint8_t* page, int address) = 0;  // one write (ack pacing)
};

}  // namespace brevan
