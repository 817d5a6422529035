#pragma once
// The updater's serial engine: CTTYnew whose receive hook is the upgrade
// reply parser, with the reply fields on the engine object.
#include <memory>

#include "serial/tty_engine.h"
#include "updater/upgrade/upgrade_replies.h"

namespace brevan {

class CUpgradeTTY : public CTTYnew, public CUpgradeReplies {
 public:
  explicit CUpgradeTTY(std::unique_ptr<serial::ISerialPort> port = serial::MakePlatformSerialPort())
      : CTTYnew(EngineProfile::Updater(), std::move(port)) {}
  ~CUpgradeTTY() override { Close(); }  // the monitor must not outlive the parser's fields

  void OnDataReceived(const std::uint8_t* data, int length) override { ParseReplies(data, length); }

 protected:
  void ResetReceiveState() override { ResetForOpen(); }
};

}  // namespace brevan
