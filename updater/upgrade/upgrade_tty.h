#pragma once
// The updater's serial engine: CTTYnew whose receive hook is the upgrade
// reply parser, with the reply fields on the engine object. Made as
// serial::Engine<CUpgradeTTY>, which closes it before the parser's fields go.
#include <memory>

#include "serial/engine.h"
#include "serial/line_tally.h"
#include "updater/upgrade/updater_engine_profile.h"
#include "updater/upgrade/upgrade_replies.h"

namespace brevan {

class CUpgradeTTY : public CTTYnew, public CUpgradeReplies {
 public:
  CUpgradeTTY(serial::EngineKey key, serial::IEngineOwner& owner,
              std::unique_ptr<serial::ISerialPort> port = serial::MakePlatformSerialPort())
      : CTTYnew(key, owner, UpdaterEngineProfile(), std::move(port)) {}

  void OnDataReceived(const std::uint8_t* data, int length) override {
    if (data != nullptr && length > 0) m_rxTally.Add({data, static_cast<std::size_t>(length)});
    ParseReplies(data, length);
  }

  // What came back since Open, for the terminal's diagnoses.
  serial::LineTally m_rxTally;

 protected:
  void ResetReceiveState() override {
    m_rxTally.Reset();
    ResetForOpen();
  }
};

}  // namespace brevan
