// The engine against the receiver model through the in-process port, on a
// virtual clock: the updater's conversation from the upgrade command to an
// acknowledged page.
#include <gtest/gtest.h>

#include <string>

#include "serial/engine.h"
#include "serial/frames.h"
#include "serial/loopback/model_far_end.h"
#include "serial/tty_engine.h"
#include "support/manual_clock.h"
#include "updater/upgrade/updater_engine_profile.h"

namespace {

using testing_support::ManualClock;

class CollectingEngine : public CTTYnew {
 public:
  using CTTYnew::CTTYnew;
  void OnDataReceived(const std::uint8_t* data, int length) override { received.append(data, data + length); }
  std::string received;
};

struct Conversation {
  ManualClock clock;
  serial::CModelFarEnd far;
  serial::CLoopbackPort* port;
  serial::CPlainEngineOwner owner;
  std::unique_ptr<serial::Engine<CollectingEngine>> engine;

  explicit Conversation(sim::ModelOptions options) : far(std::move(options)) {
    auto p = std::make_unique<serial::CLoopbackPort>(far, clock);
    port = p.get();
    engine = std::make_unique<serial::Engine<CollectingEngine>>(owner, brevan::UpdaterEngineProfile(), std::move(p));
  }
  // Advances the virtual clock by ms in 1 ms steps, pumping as a host would.
  void Run(int ms) {
    for (int i = 0; i < ms; ++i) {
      clock.now += 1000;
      port->Pump();
    }
  }
  void Text(std::string_view text) {
    engine->WriteBytes(reinterpret_cast<const std::uint8_t*>(text.data()), static_cast<int>(text.size()));
  }
  void StartUpgrade(std::uint32_t userRate) {
    ASSERT_NE(engine->Open(CommSettings{"COM1", userRate, 8, 0, 0, 0, 0, 0}), 0);
    Text("\r\nKAVEL,SOFTWARE,\r\n");
    Text("\r\nKAVEL,SOFTWARE,\r\n");
    Run(50);
    ASSERT_EQ(engine->ApplySettings(CommSettings{"COM1", 57600, 8, 0, 0, 0, 0, 0}), 1);
    Text("\r\nKAVEL,SOFTWARE,\r\n");
  }
};

// The payload of the first reply frame of the given type in the stream.
std::string ReplyPayload(const std::string& stream, char type) {
  for (std::size_t p = 0; p + 7 <= stream.size(); ++p) {
    const auto t = static_cast<unsigned char>(stream[p + 1]);
    if (stream[p] != '$' || t != static_cast<unsigned char>(type) ||
        static_cast<unsigned char>(stream[p + 2]) != 0xFF - t) {
      continue;
    }
    const std::size_t n = static_cast<unsigned char>(stream[p + 3]) | (static_cast<unsigned char>(stream[p + 4]) << 8);
    if (p + 7 + n > stream.size()) return {};
    return stream.substr(p + 7, n);
  }
  return "<none>";
}

TEST(EngineWithModel, UpgradeConversationIdentifiesTheBoardAndWritesAPage) {
  sim::ModelOptions options;
  options.module = "CC864";
  options.serial = "SN42";
  options.softwareVersion = "C120220";
  options.wireTiming = true;
  Conversation c(options);
  c.StartUpgrade(9600);
  c.engine->SendCommandPacket(0x2D, "c0");
  c.Run(30);
  EXPECT_EQ(ReplyPayload(c.engine->received, '-'), "CC864");
  EXPECT_EQ(ReplyPayload(c.engine->received, '.'), "SN42");
  EXPECT_EQ(ReplyPayload(c.engine->received, '/'), "C120220");

  c.engine->received.clear();
  std::array<std::uint8_t, 128> page{};
  for (std::size_t i = 0; i < page.size(); ++i) page[i] = static_cast<std::uint8_t>(i ^ 0xA5);
  EXPECT_EQ(c.engine->SendBlockPacket(page.data(), 0x4000), 1);
  c.Run(40);  // 133 bytes at 57600 take about 23 ms on the wire
  EXPECT_NE(ReplyPayload(c.engine->received, '1'), "<none>");
  const auto flash = c.far.Model().Flash();
  EXPECT_TRUE(std::equal(page.begin(), page.end(), flash.begin() + 0x4000));
  EXPECT_EQ(flash[0x4000 + 128], 0xFF);
}

TEST(EngineWithModel, AQueryAtTheWrongRateIsNotUnderstood) {
  Conversation c(sim::ModelOptions{});
  ASSERT_NE(c.engine->Open(CommSettings{"COM1", 9600, 8, 0, 0, 0, 0, 0}), 0);
  c.Text("\r\nKAVEL,SOFTWARE,\r\n");
  c.Run(20);
  // Still at 9600: the loader listens at 57600 only.
  for (int i = 0; i < 10; ++i) {
    c.engine->SendCommandPacket(0x2D, "c0");
    c.Run(25);
  }
  EXPECT_EQ(ReplyPayload(c.engine->received, '-'), "<none>");
  EXPECT_EQ(c.far.Model().GetReport().queries, 0u);

  // The upgrade command at a rate the receiver does not listen at is garbage to it.
  Conversation wrongUserRate(sim::ModelOptions{});
  wrongUserRate.StartUpgrade(38400);
  EXPECT_FALSE(wrongUserRate.far.Model().GetReport().upgradeStarted);
}

TEST(EngineWithModel, RefusalAndSilenceAreWhatTheLoaderSays) {
  sim::ModelOptions refuse;
  refuse.refuse = true;
  Conversation r(refuse);
  r.StartUpgrade(9600);
  r.engine->SendCommandPacket(0x2D, "c0");
  r.Run(10);
  EXPECT_NE(ReplyPayload(r.engine->received, '+'), "<none>");
  EXPECT_EQ(ReplyPayload(r.engine->received, '-'), "<none>");

  sim::ModelOptions silent;
  silent.silent = true;
  Conversation s(silent);
  s.StartUpgrade(9600);
  for (int i = 0; i < 20; ++i) {
    s.engine->SendCommandPacket(0x2D, "c0");
    s.Run(25);
  }
  EXPECT_TRUE(s.engine->received.empty());
}

}  // namespace
