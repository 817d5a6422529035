#pragma once
// The upgrade run's line: the updater's serial engine.
#include "serial/engine.h"
#include "updater/upgrade/upgrade_seams.h"
#include "updater/upgrade/upgrade_tty.h"

namespace brevan {

class CUpgradeEngineLink final : public IUpgradeLink {
 public:
  explicit CUpgradeEngineLink(serial::Engine<CUpgradeTTY>& tty) : m_tty(tty) {}

  CUpgradeReplies& Replies() override { return m_tty; }
  const serial::LineTally& RxTally() const override { return m_tty.m_rxTally; }
  const serial::OpenError& LastOpenError() const override { return m_tty.LastOpenError(); }
  bool Open(const CommSettings& settings) override { return m_tty.Open(settings) != 0; }
  void Close() override { m_tty.Close(); }
  void ApplySettings(const CommSettings& settings) override { m_tty.ApplySettings(settings); }
  void SetBreak() override { m_tty.SetBreak(); }
  void ClearBreak() override { m_tty.ClearBreak(); }
  void WriteBytes(const std::uint8_t* data, int length) override { m_tty.WriteBytes(data, length); }
  void WriteByte(int value) override { m_tty.WriteByte(value); }
  void SendCommandPacket(std::uint8_t command, std::string_view argument) override {
    m_tty.SendCommandPacket(command, argument);
  }
  void SendBlockPacket(const std::uint8_t* page, int address) override { m_tty.SendBlockPacket(page, address); }
  void WriteBlockPacket(const std::uint8_t* page, int address) override { m_tty.WriteBlockPacket(page, address); }

 private:
  serial::Engine<CUpgradeTTY>& m_tty;
};

}  // namespace brevan
