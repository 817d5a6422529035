// Traffic taps on the engine against the in-process port: the line carries
// the same bytes with taps as without, and each write or read is reported
// once, in order, with its direction and the rate then in force.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "serial/engine.h"
#include "serial/frames.h"
#include "serial/loopback/loopback_port.h"
#include "serial/tty_engine.h"
#include "support/manual_clock.h"
#include "support/scripted_far_end.h"
#include "updater/upgrade/updater_engine_profile.h"

namespace {

using serial::TrafficDirection;

using testing_support::ManualClock;
using testing_support::ScriptedFarEnd;

struct Seen {
  TrafficDirection direction;
  std::vector<std::uint8_t> bytes;
  std::uint32_t baud;
  bool operator==(const Seen&) const = default;
};

class RecordingTap : public serial::ITrafficTap {
 public:
  void OnTraffic(TrafficDirection direction, std::span<const std::uint8_t> bytes, std::uint32_t baud) noexcept override {
    seen.push_back({direction, {bytes.begin(), bytes.end()}, baud});
  }
  std::vector<Seen> seen;
};

class Engine : public CTTYnew {
 public:
  using CTTYnew::CTTYnew;
  void OnDataReceived(const std::uint8_t* data, int length) override {
    // The tap has seen this chunk already, as the last thing it saw.
    tapHadIt.push_back(tap != nullptr && !tap->seen.empty() &&
                       tap->seen.back().bytes == std::vector<std::uint8_t>(data, data + length));
  }
  RecordingTap* tap = nullptr;
  std::vector<bool> tapHadIt;
};

struct Rig {
  ManualClock clock;
  ScriptedFarEnd far;
  serial::CPlainEngineOwner owner;
  serial::CLoopbackPort* port = nullptr;
  std::unique_ptr<serial::Engine<Engine>> engine;
  Rig() {
    auto p = std::make_unique<serial::CLoopbackPort>(far, clock);
    port = p.get();
    engine = std::make_unique<serial::Engine<Engine>>(owner, brevan::UpdaterEngineProfile(), std::move(p));
  }
};

CommSettings At(std::uint32_t rate) { return {"COM1", rate, 8, 0, 0, 0, 0, 0}; }

std::array<std::uint8_t, serial::kPageBytes> Page(std::uint8_t seed) {
  std::array<std::uint8_t, serial::kPageBytes> page{};
  for (std::size_t i = 0; i < page.size(); ++i) page[i] = static_cast<std::uint8_t>(seed + i * 7);
  return page;
}

// The writes the updater makes in an upgrade's start: text, single bytes, a
// rate change, a command frame, page frames, and the board's replies.
void Session(Rig& rig) {
  const std::uint8_t hello[] = {'A', 'T', '\r', '\n'};
  ASSERT_EQ(rig.engine->Open(At(57600)), 1);
  rig.engine->WriteBytes(hello, 4);
  rig.engine->WriteBytes(hello, 0);  // nothing goes out, nothing is reported
  rig.engine->ApplySettings(At(9600));
  rig.engine->WriteByte(0x1B);
  rig.engine->WriteByte(0x1A5);  // the low byte only
  rig.engine->SendCommandPacket(0x2D, "A1 I300");
  rig.far.Send(0, {0x24, 0x01, 0x02});
  rig.far.Send(0, std::vector<std::uint8_t>(1500, 0x55));
  rig.port->Pump();
  const auto first = Page(1);
  const auto second = Page(2);
  rig.engine->SendBlockPacket(first.data(), 0x2000);
  rig.engine->SendBlockPacket(second.data(), 0xFF80);
  rig.engine->Close();
  rig.engine->WriteByte(0x00);  // closed: neither on the line nor reported
}

TEST(EngineTap, TheLineCarriesTheSameWritesWithTapsAsWithout) {
  Rig bare;
  Session(bare);
  Rig tapped;
  RecordingTap a, b;
  ASSERT_TRUE(tapped.engine->AddTrafficTap(a));
  ASSERT_TRUE(tapped.engine->AddTrafficTap(b));
  Session(tapped);
  EXPECT_EQ(tapped.far.received, bare.far.received);
  EXPECT_EQ(tapped.port->Log().rates, bare.port->Log().rates);
  ASSERT_FALSE(a.seen.empty());
  EXPECT_EQ(a.seen, b.seen);
}

TEST(EngineTap, EachWriteAndReadIsOneChunkInOrderWithItsDirectionAndRate) {
  Rig rig;
  RecordingTap tap;
  rig.engine->tap = &tap;
  ASSERT_TRUE(rig.engine->AddTrafficTap(tap));
  Session(rig);

  const auto frame1 = serial::BuildBlockPacket(Page(1), 0x2000);
  const auto frame2 = serial::BuildBlockPacket(Page(2), 0xFF80);
  const auto command = serial::BuildCommandPacket(0x2D, "A1 I300");
  const std::vector<Seen> expectedSent = {
      {TrafficDirection::Sent, {'A', 'T', '\r', '\n'}, 57600},
      {TrafficDirection::Sent, {0x1B}, 9600},
      {TrafficDirection::Sent, {0xA5}, 9600},
      {TrafficDirection::Sent, command, 9600},
      {TrafficDirection::Sent, {frame1.begin(), frame1.end()}, 9600},
      {TrafficDirection::Sent, {frame2.begin(), frame2.end()}, 9600},
  };
  std::vector<std::uint8_t> expectedReceived = {0x24, 0x01, 0x02};
  expectedReceived.insert(expectedReceived.end(), 1500, 0x55);

  std::vector<Seen> sent;
  std::vector<std::uint8_t> received;
  std::string pattern;  // S or R per chunk
  for (const Seen& s : tap.seen) {
    pattern += s.direction == TrafficDirection::Sent ? 'S' : 'R';
    if (s.direction == TrafficDirection::Sent) {
      sent.push_back(s);
    } else {
      EXPECT_LE(s.bytes.size(), static_cast<std::size_t>(CTTYnew::kChunk));
      EXPECT_EQ(s.baud, 9600u);
      received.insert(received.end(), s.bytes.begin(), s.bytes.end());
    }
  }
  EXPECT_EQ(sent, expectedSent);
  EXPECT_EQ(received, expectedReceived);
  // The replies come between the command and the first page, in at least two chunks (1503 > 1024).
  EXPECT_EQ(pattern.find('R'), 4u) << pattern;
  EXPECT_EQ(pattern.rfind('R'), pattern.size() - 3) << pattern;
  EXPECT_GE(std::count(pattern.begin(), pattern.end(), 'R'), 2) << pattern;
  // Every chunk reached the tap before OnDataReceived.
  ASSERT_FALSE(rig.engine->tapHadIt.empty());
  for (const bool had : rig.engine->tapHadIt) EXPECT_TRUE(had);
}

// Four places; a tap is held once; a removed tap hears nothing more; a rate
// the driver refuses leaves the rate in force.
TEST(EngineTap, FourPlacesEachTapOnceAndTheRateInForce) {
  Rig rig;
  std::array<RecordingTap, 5> taps;
  for (std::size_t i = 0; i < CTTYnew::kMaxTaps; ++i) EXPECT_TRUE(rig.engine->AddTrafficTap(taps[i]));
  EXPECT_FALSE(rig.engine->AddTrafficTap(taps[4]));
  rig.engine->RemoveTrafficTap(taps[1]);
  EXPECT_FALSE(rig.engine->AddTrafficTap(taps[0]));
  EXPECT_TRUE(rig.engine->AddTrafficTap(taps[4]));

  EXPECT_EQ(rig.engine->LineRate(), 0u);
  ASSERT_EQ(rig.engine->Open(At(38400)), 1);
  EXPECT_EQ(rig.engine->ApplySettings(At(0)), 0);  // the driver refuses 0 baud
  rig.engine->WriteByte('x');
  rig.engine->RemoveTrafficTap(taps[0]);
  rig.engine->WriteByte('y');
  const Seen x{TrafficDirection::Sent, {'x'}, 38400};
  const Seen y{TrafficDirection::Sent, {'y'}, 38400};
  EXPECT_EQ(taps[0].seen, std::vector<Seen>{x});
  EXPECT_TRUE(taps[1].seen.empty());
  for (const std::size_t i : {2u, 3u, 4u}) EXPECT_EQ(taps[i].seen, (std::vector<Seen>{x, y})) << i;
}

}  // namespace
