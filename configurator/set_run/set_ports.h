#pragma once
// What a Set needs from its window and from its serial link, so that it runs
// the same on every host and under a test without one.
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "configurator/send_queue/reply_wait.h"

namespace torvik {

class ISetView {
 public:
  virtual ~ISetView() = default;
  // The host's tick count, and the window's pause (it keeps serving the host).
  virtual std::uint32_t RunTicks() = 0;
  virtual void RunPause(unsigned ms) = 0;
  // A written item's label as a new log line, kept in view.
  virtual void ShowSentLabel(std::string_view label) = 0;
  // A log line; append: to the end of the last one.
  virtual void ShowLogLine(std::string_view text, bool append) = 0;
  // Sends the window its log-line message (from any thread); its handler
  // hands the text back to CSetRun::LogLine.
  virtual void SendLogLine(const char* text, std::intptr_t mode) = 0;
  // The time-out's log line, in the window's language.
  virtual std::string TimeOutText() = 0;
};

class ISetLink {
 public:
  virtual ~ISetLink() = default;
  virtual CReplyWait& ReplyWait() = 0;
  virtual std::atomic<std::uint32_t>& LastActivity() = 0;
  virtual void Write(const std::uint8_t* data, int length) = 0;
  // Bytes received since the port opened, and the latest n of them.
  virtual std::uint64_t ReceivedTotal() const = 0;
  virtual std::string ReceivedLast(std::size_t n) const = 0;
};

}  // namespace torvik
