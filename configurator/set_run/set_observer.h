#pragma once
// What a Set tells those who follow it (the terminal's output, reports,
// records): the board it is for, each item as it goes out and how its wait
// ended, every log line, and how the Set ended. Observers are called on the
// UI thread, in the order things happened; the texts and bytes they are
// handed live only for the call.
#include <cstdint>
#include <span>
#include <string_view>

#include "serial/serial_port.h"

namespace torvik {

enum class SetOutcome {
  Passed,       // every awaited item acknowledged
  Failed,       // at least one wait timed out
  Refused,      // a check refused the Set: nothing was written
  Interrupted,  // the port was closed before the last item's wait ended
};

// The board a Set is for, as the window held it when Set was pressed.
struct SetFacts {
  std::string_view serialNo;
  std::string_view localId;
  std::string_view userPass;  // the login
  std::string_view typeName;  // the type file's bytes
  std::string_view typeBaud;
  std::uint32_t startedAt = 0;  // host tick count
};

struct SentItem {
  std::uint32_t sequence = 0;  // the write's number
  std::string_view label;
  std::span<const std::uint8_t> bytes;
  bool expectReply = false;
  std::uint32_t writtenAt = 0;      // host tick count
  std::uint64_t receivedBefore = 0;  // bytes received since the port opened, at the write
  int stillQueued = 0;               // items after this one
};

struct TimedOutItem {
  std::uint32_t sequence = 0;
  std::uint32_t endedAt = 0;
  std::uint64_t receivedBy = 0;  // bytes received since the port opened, at the time-out
  std::string_view lastBytes;    // the latest of those since the item's write
};

class ISetObserver {
 public:
  virtual ~ISetObserver() = default;

  virtual void OnPortOpened() {}
  virtual void OnPortFailed(const serial::OpenError& /*error*/) {}
  virtual void OnSetStarted(const SetFacts& /*facts*/) {}
  // Items were added to (or the queue emptied of them): how many wait now.
  virtual void OnItemsQueued(int /*waiting*/) {}
  virtual void OnItemSent(const SentItem& /*item*/) {}
  virtual void OnItemAcknowledged(std::uint32_t /*sequence*/, std::uint32_t /*at*/) {}
  virtual void OnItemTimedOut(const TimedOutItem& /*item*/) {}
  // A line as the log shows it; append: added to the end of the last line.
  virtual void OnLogLine(std::string_view /*text*/, bool /*append*/) {}
  // Everything queued has gone out and no reply is awaited.
  virtual void OnIdle() {}
  virtual void OnSetEnded(SetOutcome /*outcome*/) {}
};

}  // namespace torvik
