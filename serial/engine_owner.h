#pragma once
// Who holds a serial engine, and what the engine needs from it: the wait for
// its monitor thread's end in Close, and the message boxes the engine shows.
// A dialog is the owner of the engines among its members; it keeps serving
// the messages other threads send to its windows while it waits, since the
// monitor thread may be inside a message box owned by the dialog or inside a
// SendMessage to it.
#include <functional>

class CTTYnew;

namespace serial {

class IMonitorThread;

// What the engine has to tell the user; the owner words it from its program's
// string table.
enum class EngineMessage {
  PortUnavailable,     // the device did not open (absent, or held by another program)
  LineRejected,        // the driver refused the line settings
  MonitorEventFailed,  // the monitor thread could not prepare its wait: nothing will be received
};

class IEngineOwner {
 public:
  // Returns once the thread has ended (and has been reaped).
  virtual void WaitForMonitorEnd(IMonitorThread& thread) = 0;
  // From any thread: the monitor's failure, the configurator's open failures.
  virtual void ShowEngineMessage(EngineMessage message) = 0;
  // An engine starts and stops belonging to this owner (serial::Engine does both).
  virtual void AdoptEngine(CTTYnew& engine) = 0;
  virtual void ReleaseEngine(CTTYnew& engine) = 0;

 protected:
  ~IEngineOwner() = default;
};

// An owner without windows (command-line tools, tests of the engine alone):
// Close joins the monitor thread; messages go to onMessage when it is set.
class CPlainEngineOwner final : public IEngineOwner {
 public:
  std::function<void(EngineMessage message)> onMessage;

  void WaitForMonitorEnd(IMonitorThread& thread) override;
  void ShowEngineMessage(EngineMessage message) override {
    if (onMessage) onMessage(message);
  }
  void AdoptEngine(CTTYnew&) override {}
  void ReleaseEngine(CTTYnew&) override {}
};

}  // namespace serial
