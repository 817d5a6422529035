// A traffic tap on the engine over a pseudo-terminal: the monitor thread
// reports what it reads while the test's thread writes, at the same time
// (the thread sanitizer build runs this too).
#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "posix_test_support.h"

using namespace posix_test;
using serial::TrafficDirection;
using serial::posix::testkit::CPtyPair;

namespace {

class CountingTap : public serial::ITrafficTap {
 public:
  void OnTraffic(TrafficDirection direction, std::span<const std::uint8_t> bytes, std::uint32_t baud) noexcept override {
    const std::lock_guard lock(m_mutex);
    auto& into = direction == TrafficDirection::Sent ? m_sent : m_received;
    into.insert(into.end(), bytes.begin(), bytes.end());
    if (baud != m_expectedBaud) ++m_wrongBaud;
  }
  std::vector<std::uint8_t> Sent() {
    const std::lock_guard lock(m_mutex);
    return m_sent;
  }
  std::vector<std::uint8_t> Received() {
    const std::lock_guard lock(m_mutex);
    return m_received;
  }
  int WrongBaud() {
    const std::lock_guard lock(m_mutex);
    return m_wrongBaud;
  }

 private:
  std::mutex m_mutex;
  std::vector<std::uint8_t> m_sent, m_received;
  std::uint32_t m_expectedBaud = 115200;
  int m_wrongBaud = 0;
};

TEST(PosixTap, BothDirectionsAtOnceReachTheTapWholeAndInOrder) {
  CPtyPair pty;
  ASSERT_TRUE(pty.Ok());
  serial::CPlainEngineOwner owner;
  CCollectingEngine engine{owner};
  CountingTap tap;
  ASSERT_TRUE(engine.AddTrafficTap(tap));
  ASSERT_EQ(engine.Open(Settings(pty.SlavePath())), 1) << engine.LastOpenError().detail;

  const auto inbound = Pattern(200000, 3);
  const auto outbound = Pattern(20000, 4);
  std::thread farEnd([&] { EXPECT_EQ(pty.Send(inbound, 20000), inbound.size()); });
  std::vector<std::uint8_t> atFarEnd;
  std::thread farReader([&] { atFarEnd = pty.Receive(outbound.size(), 20000); });
  for (std::size_t at = 0; at < outbound.size(); at += 500) {
    if ((at / 500) % 2 == 0) {
      engine.WriteBytes(outbound.data() + at, 500);
    } else {
      for (std::size_t i = 0; i < 500; ++i) engine.WriteByte(outbound[at + i]);
    }
  }
  farEnd.join();
  farReader.join();
  ASSERT_TRUE(engine.WaitForBytes(inbound.size(), 20s));
  engine.Close();

  EXPECT_EQ(atFarEnd, outbound);
  EXPECT_EQ(tap.Sent(), outbound);
  EXPECT_EQ(tap.Received(), inbound);
  EXPECT_EQ(tap.Received(), engine.Bytes());
  EXPECT_EQ(tap.WrongBaud(), 0);
}

}  // namespace
