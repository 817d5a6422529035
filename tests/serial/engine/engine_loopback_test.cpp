// The engine's steps, results and order against the in-process port: what
// reaches the device, what the two programs' engines do differently, and how
// received bytes reach OnDataReceived.
#include <gtest/gtest.h>

#include <map>

#include "configurator/send_queue/configurator_engine_profile.h"
#include "serial/loopback/loopback_port.h"
#include "serial/engine.h"
#include "serial/tty_engine.h"
#include "support/manual_clock.h"
#include "support/scripted_far_end.h"
#include "updater/upgrade/updater_engine_profile.h"

namespace {

using serial::CLoopbackPort;
using serial::EscapeCode;

using testing_support::ManualClock;
using testing_support::ScriptedFarEnd;

class RecordingEngine : public CTTYnew {
 public:
  using CTTYnew::CTTYnew;
  void OnDataReceived(const std::uint8_t* data, int length) override {
    chunks.emplace_back(data, data + length);
    if (onChunk) onChunk();
  }
  void ResetReceiveState() override { ++resets; }
  std::vector<std::vector<std::uint8_t>> chunks;
  std::function<void()> onChunk;
  int resets = 0;
};

struct Rig {
  ManualClock clock;
  ScriptedFarEnd far;
  serial::CPlainEngineOwner owner;
  CLoopbackPort* port = nullptr;  // owned by the engine
  std::unique_ptr<serial::Engine<RecordingEngine>> engine;
  std::vector<serial::EngineMessage> boxes;

  explicit Rig(EngineProfile profile, std::set<std::string> busy = {}) {
    auto p = std::make_unique<CLoopbackPort>(far, clock, std::set<std::string>{"COM1", "COM7"}, std::move(busy));
    port = p.get();
    owner.onMessage = [this](serial::EngineMessage message) { boxes.push_back(message); };
    engine = std::make_unique<serial::Engine<RecordingEngine>>(owner, profile, std::move(p));
  }
};

CommSettings Updater(std::string port = "COM1", std::uint32_t rate = 9600) {
  return {std::move(port), rate, 8, 0, 0, 0, 0, 0};
}

TorvikCommSettings Configurator(std::string port = "COM1", std::uint32_t rate = 9600) {
  TorvikCommSettings s;
  s.portName = std::move(port);
  s.baudRate = rate;
  return s;
}

TEST(EngineOpenClose, UpdaterOpensThePortAsNamedWithItsQueuesAndTimeouts) {
  Rig rig(brevan::UpdaterEngineProfile());
  EXPECT_NE(rig.engine->Open(Updater("COM1", 19200)), 0);
  EXPECT_TRUE(rig.engine->IsConnected());
  const auto& log = rig.port->Log();
  EXPECT_EQ(log.lastPath, "COM1");
  EXPECT_EQ(log.inQueue, 524288u);
  EXPECT_EQ(log.outQueue, 4096u);
  EXPECT_EQ(log.timeouts.ReadIntervalTimeout, 0xFFFFFFFFu);
  EXPECT_EQ(log.timeouts.ReadTotalTimeoutMultiplier, 0u);
  EXPECT_EQ(log.timeouts.ReadTotalTimeoutConstant, 0u);
  EXPECT_EQ(log.timeouts.WriteTotalTimeoutMultiplier, 0u);
  EXPECT_EQ(log.timeouts.WriteTotalTimeoutConstant, 5000u);
  EXPECT_EQ(rig.port->CurrentRate(), 19200u);
  EXPECT_TRUE(log.escapes.empty());  // the updater does not raise DTR and RTS itself

  EXPECT_EQ(rig.engine->Close(), 1);
  EXPECT_FALSE(rig.port->IsOpen());
  EXPECT_EQ(log.escapes, std::vector<EscapeCode>{EscapeCode::ClrDtr});
  EXPECT_EQ(log.purges, std::vector<std::uint32_t>{0x000F});
  EXPECT_EQ(rig.engine->Close(), 0);
}

TEST(EngineOpenClose, ConfiguratorUsesTheNamespacePathRaisesLinesAndPurgesOnClose) {
  Rig rig(ConfiguratorEngineProfile());
  EXPECT_NE(rig.engine->Open(Configurator("COM7"), CTTYnew::kBelowNormalPriority), 0);
  const auto& log = rig.port->Log();
  EXPECT_EQ(log.lastPath, "//./COM7");
  EXPECT_EQ(log.inQueue, 5242880u);
  EXPECT_EQ(log.outQueue, 32768u);
  EXPECT_EQ(log.escapes, (std::vector<EscapeCode>{EscapeCode::SetDtr, EscapeCode::SetRts}));
  rig.engine->Close();
  EXPECT_EQ(log.purges, (std::vector<std::uint32_t>{0x0008, 0x0004, 0x000F}));
  EXPECT_EQ(log.escapes.back(), EscapeCode::ClrDtr);
  EXPECT_TRUE(rig.boxes.empty());
}

TEST(EngineOpenClose, FailuresAreToldApartAndOnlyTheConfiguratorShowsThem) {
  Rig updater(brevan::UpdaterEngineProfile(), {"COM7"});
  EXPECT_EQ(updater.engine->Open(Updater("COM9")), 0);
  EXPECT_EQ(updater.engine->LastOpenError().kind, serial::OpenFailure::NotFound);
  EXPECT_EQ(updater.engine->Open(Updater("COM7")), 0);
  EXPECT_EQ(updater.engine->LastOpenError().kind, serial::OpenFailure::Busy);
  EXPECT_TRUE(updater.boxes.empty());

  Rig configurator(ConfiguratorEngineProfile(), {"COM7"});
  EXPECT_EQ(configurator.engine->Open(Configurator("COM7"), -1), 0);
  EXPECT_EQ(configurator.boxes, std::vector<serial::EngineMessage>{serial::EngineMessage::PortUnavailable});
  EXPECT_FALSE(configurator.engine->IsConnected());

  // A rate the driver refuses: the handle is closed again and nothing runs.
  EXPECT_EQ(configurator.engine->Open(Configurator("COM1", 0), -1), 0);
  EXPECT_EQ(configurator.boxes.back(), serial::EngineMessage::LineRejected);
  EXPECT_FALSE(configurator.port->IsOpen());
  EXPECT_FALSE(configurator.engine->IsConnected());
  EXPECT_EQ(configurator.engine->WriteBytes(reinterpret_cast<const std::uint8_t*>("x"), 1), 0);
}

TEST(EngineOpenClose, OpenTwiceFailsAndLeavesTheFirstConnectionWorking) {
  Rig rig(brevan::UpdaterEngineProfile());
  ASSERT_NE(rig.engine->Open(Updater()), 0);
  EXPECT_EQ(rig.engine->Open(Updater("COM7")), 0);
  EXPECT_EQ(rig.engine->resets, 2);  // the parser's state is reset even then
  EXPECT_EQ(rig.port->Log().opens, 1);
  EXPECT_EQ(rig.engine->WriteByte(0x141), 1);
  ASSERT_EQ(rig.far.received.size(), 1u);
  EXPECT_EQ(rig.far.received[0].bytes, std::vector<std::uint8_t>{0x41});
}

TEST(EngineOpenClose, ANeverOpenedEngineTouchesNoDevice) {
  Rig rig(ConfiguratorEngineProfile());
  EXPECT_EQ(rig.engine->Close(), 0);
  std::array<std::uint8_t, 8> buffer{};
  EXPECT_EQ(rig.engine->ReadBytes(buffer.data(), 8), 0);
  EXPECT_EQ(rig.engine->WriteBytes(buffer.data(), 8), 0);
  EXPECT_EQ(rig.engine->WriteByte(1), 0);
  EXPECT_EQ(rig.engine->SendBlockPacket(std::array<std::uint8_t, 128>{}.data(), 0x2000), 0);
  rig.engine->SendCommandPacket(0x2D, "c0");
  EXPECT_EQ(rig.port->Log().opens, 0);
  EXPECT_TRUE(rig.port->Log().escapes.empty());
  EXPECT_TRUE(rig.far.received.empty());
}

TEST(EngineOpenClose, DestroyingAnOpenEngineClosesThePort) {
  // The port dies with the engine, so it reports its close to the test.
  class CountingPort : public CLoopbackPort {
   public:
    CountingPort(serial::IFarEnd& far, const serial::IClock& clock, int& closes)
        : CLoopbackPort(far, clock), m_closes(closes) {}
    bool CloseDevice() override {
      const bool closed = CLoopbackPort::CloseDevice();
      if (closed) ++m_closes;
      return closed;
    }

   private:
    int& m_closes;
  };
  ManualClock clock;
  ScriptedFarEnd far;
  int closes = 0;
  serial::CPlainEngineOwner owner;
  auto engine = std::make_unique<serial::Engine<CTTYnew>>(owner, brevan::UpdaterEngineProfile(),
                                                          std::make_unique<CountingPort>(far, clock, closes));
  ASSERT_NE(engine->Open(Updater()), 0);
  EXPECT_EQ(closes, 0);
  engine.reset();
  EXPECT_EQ(closes, 1);
}

TEST(EngineTraffic, FramesGoOutByteByByteAtTheCurrentRate) {
  Rig rig(brevan::UpdaterEngineProfile());
  ASSERT_NE(rig.engine->Open(Updater("COM1", 9600)), 0);
  ASSERT_EQ(rig.engine->ApplySettings(Updater("COM1", 57600)), 1);
  rig.engine->SendCommandPacket(0x2D, "c0");
  ASSERT_EQ(rig.far.received.size(), 9u);  // one write per byte
  for (const auto& r : rig.far.received) {
    EXPECT_EQ(r.bytes.size(), 1u);
    EXPECT_EQ(r.rate, 57600u);
  }
  EXPECT_EQ(rig.far.AllReceived(), (std::vector<std::uint8_t>{0x24, 0x2D, 0xD2, 0x01, 0x00, 0x00, 0xDA, 0x0D, 0x0A}));

  std::array<std::uint8_t, 128> page{};
  page.fill(0x5A);
  rig.far.received.clear();
  EXPECT_EQ(rig.engine->SendBlockPacket(page.data(), 0x4100), 1);
  EXPECT_EQ(rig.far.received.size(), 133u);
  EXPECT_EQ(rig.far.AllReceived()[3], 0x41);

  EXPECT_EQ(rig.engine->SetBreak(), 1);
  EXPECT_EQ(rig.engine->ClearBreak(), 1);
  EXPECT_EQ(rig.far.breaks, (std::vector<bool>{true, false}));
}

TEST(EngineTraffic, ReceivedBytesArriveInOrderInChunksOfAtMost1024) {
  Rig rig(brevan::UpdaterEngineProfile());
  ASSERT_NE(rig.engine->Open(Updater()), 0);
  std::vector<std::uint8_t> burst(2500);
  for (std::size_t i = 0; i < burst.size(); ++i) burst[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
  rig.far.Send(1000, burst);
  rig.port->Pump();  // not due yet
  EXPECT_TRUE(rig.engine->chunks.empty());
  rig.clock.now = 1000;
  rig.port->Pump();
  ASSERT_EQ(rig.engine->chunks.size(), 3u);
  EXPECT_EQ(rig.engine->chunks[0].size(), 1024u);
  EXPECT_EQ(rig.engine->chunks[1].size(), 1024u);
  EXPECT_EQ(rig.engine->chunks[2].size(), 452u);
  std::vector<std::uint8_t> all;
  for (const auto& c : rig.engine->chunks) all.insert(all.end(), c.begin(), c.end());
  EXPECT_EQ(all, burst);
}

TEST(EngineTraffic, BytesArrivingWhileTheHandlerRunsComeInTheSameDrain) {
  Rig rig(brevan::UpdaterEngineProfile());
  ASSERT_NE(rig.engine->Open(Updater()), 0);
  rig.far.Send(0, {1, 2, 3});
  int pumpsInside = 0;
  rig.engine->onChunk = [&] {
    if (rig.engine->chunks.size() == 1) {
      rig.far.Send(0, {4, 5});
      rig.port->Pump();  // a nested pump must not start a second drain
      ++pumpsInside;
    }
  };
  rig.port->Pump();
  EXPECT_EQ(pumpsInside, 1);
  ASSERT_EQ(rig.engine->chunks.size(), 2u);
  EXPECT_EQ(rig.engine->chunks[1], (std::vector<std::uint8_t>{4, 5}));
}

TEST(EngineTraffic, NothingIsDeliveredAfterClose) {
  Rig rig(brevan::UpdaterEngineProfile());
  ASSERT_NE(rig.engine->Open(Updater()), 0);
  rig.far.Send(0, {9, 9});
  rig.engine->Close();
  rig.port->Pump();
  EXPECT_TRUE(rig.engine->chunks.empty());
  // A fresh Open starts with an empty driver queue and a fresh monitor.
  ASSERT_NE(rig.engine->Open(Updater()), 0);
  rig.far.Send(0, {7});
  rig.port->Pump();
  ASSERT_EQ(rig.engine->chunks.size(), 1u);
  EXPECT_EQ(rig.engine->chunks[0], std::vector<std::uint8_t>{7});
}

}  // namespace
