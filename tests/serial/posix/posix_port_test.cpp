// The POSIX port on its own over a pseudo-terminal: paths, the mask's wake,
// purges, the state the kernel holds, and a closed port.
#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <thread>

#include "posix_test_support.h"
#include "serial/posix/posix_serial_port.h"

using namespace posix_test;
using serial::posix::CPosixSerialPort;
using serial::posix::LineImage;
using serial::posix::testkit::CPtyPair;
using serial::posix::testkit::Describe;

namespace {

class PosixPort : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.Ok());
    ASSERT_TRUE(port.OpenDevice(pty.SlavePath())) << port.LastOpenError().detail;
  }

  CPtyPair pty;
  CPosixSerialPort port;
};

// Sends a byte on the way out: a wait left hanging by a fault ends, so the
// test fails instead of blocking in the future's destructor.
class CUnstick {
 public:
  explicit CUnstick(CPtyPair& pty) : m_pty(pty) {}
  ~CUnstick() {
    const std::uint8_t byte = 0;
    m_pty.Send({&byte, 1}, 100);
  }
  CUnstick(const CUnstick&) = delete;
  CUnstick& operator=(const CUnstick&) = delete;

 private:
  CPtyPair& m_pty;
};

}  // namespace

TEST(PosixPortPath, DevNamesAndAbsolutePathsNoNamespacePrefix) {
  CPosixSerialPort port;
  EXPECT_EQ(port.DevicePath("ttyUSB0", false), "/dev/ttyUSB0");
  EXPECT_EQ(port.DevicePath("ttyS1", true), "/dev/ttyS1");
  EXPECT_EQ(port.DevicePath("/tmp/link", true), "/tmp/link");
}

TEST_F(PosixPort, ClearedMaskWakesTheWaitAndKeepsItAwakeUntilSetAgain) {
  ASSERT_TRUE(port.SetCommMask(serial::kEvRxChar));
  auto pending = std::async(std::launch::async, [&] { return port.WaitCommEvent(); });
  // Should a wait never end, a byte from the far end lets the test finish.
  const CUnstick unstick(pty);
  EXPECT_EQ(pending.wait_for(100ms), std::future_status::timeout);  // no input: it sleeps
  ASSERT_TRUE(port.SetCommMask(0));
  ASSERT_EQ(pending.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(pending.get(), 0u);
  EXPECT_EQ(port.WaitCommEvent(), 0u);  // a wait that starts after the clear ends at once
  EXPECT_EQ(port.WaitCommEvent(), 0u);

  ASSERT_TRUE(port.SetCommMask(serial::kEvRxChar));
  auto armed = std::async(std::launch::async, [&] { return port.WaitCommEvent(); });
  const CUnstick unstickArmed(pty);
  EXPECT_EQ(armed.wait_for(100ms), std::future_status::timeout);
  const std::uint8_t byte = 0x5A;
  ASSERT_EQ(pty.Send({&byte, 1}, 1000), 1u);
  ASSERT_EQ(armed.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(armed.get(), serial::kEvRxChar);
  std::uint8_t got = 0;
  EXPECT_EQ(port.Read({&got, 1}, 0), 1);
  EXPECT_EQ(got, byte);
  EXPECT_EQ(port.Read({&got, 1}, 0), 0);  // nothing more: 0 at once, no block
}

TEST_F(PosixPort, PurgeDropsInputAndQueuedOutput) {
  const auto input = Pattern(3000, 7);
  ASSERT_EQ(pty.Send(input, 1000), input.size());
  std::this_thread::sleep_for(20ms);
  ASSERT_TRUE(port.PurgeComm(serial::kPurgeRxClear));
  std::uint8_t buffer[64];
  EXPECT_EQ(port.Read(buffer, 0), 0);

  // The far end reads nothing: the pty fills and the rest queues in the port.
  const auto stale = Pattern(512 * 1024, 8);
  port.Write(stale, 10);
  ASSERT_GT(port.PendingOutput(), 0u);
  const std::size_t inKernel = stale.size() - port.PendingOutput();
  ASSERT_TRUE(port.PurgeComm(serial::kPurgeTxClear));
  EXPECT_EQ(port.PendingOutput(), 0u);
  const auto fresh = Pattern(100, 9);
  port.Write(fresh, 1000);
  // Only what the far end had already taken in may come before the new bytes.
  const auto got = pty.Receive(stale.size(), 5000, 1000);
  ASSERT_GE(got.size(), fresh.size());
  const std::size_t head = got.size() - fresh.size();
  EXPECT_LT(head, inKernel);
  EXPECT_TRUE(std::equal(got.begin(), got.begin() + static_cast<std::ptrdiff_t>(head), stale.begin()));
  EXPECT_TRUE(std::equal(fresh.begin(), fresh.end(), got.begin() + static_cast<std::ptrdiff_t>(head)));
}

TEST_F(PosixPort, StateIsWhatTheKernelHoldsPlusWhatTermiosCannotHold) {
  serial::PortDcb dcb;
  ASSERT_TRUE(port.GetCommState(dcb));
  dcb.BaudRate = 250000;
  dcb.StopBits = serial::kTwoStopBits;
  dcb.fOutX = dcb.fInX = 1;
  dcb.XonChar = 0x11;
  dcb.XoffChar = 0x13;
  dcb.fOutxDsrFlow = 1;
  dcb.fDtrControl = serial::kDtrControlHandshake;
  dcb.fNull = 1;
  dcb.XonLim = 100;
  dcb.EvtChar = '\n';
  ASSERT_TRUE(port.SetCommState(dcb));

  LineImage line;
  ASSERT_TRUE(pty.ReadSlaveLine(line));
  const auto facts = Describe(line);
  EXPECT_EQ(facts.outRate, 250000u);
  EXPECT_TRUE(facts.twoStopBits);
  EXPECT_TRUE(facts.xonOutput && facts.xonInput);
  EXPECT_TRUE(facts.raw);

  serial::PortDcb back;
  ASSERT_TRUE(port.GetCommState(back));
  EXPECT_EQ(back, dcb);

  // Changed behind the port's back: the read-back tells, the rest stays.
  serial::posix::testkit::SetStandardRate(line, 19200);
  ASSERT_TRUE(pty.WriteSlaveLine(line));
  ASSERT_TRUE(port.GetCommState(back));
  EXPECT_EQ(back.BaudRate, 19200u);
  EXPECT_EQ(back.fDtrControl, serial::kDtrControlHandshake);
  EXPECT_EQ(back.XonLim, 100);

  dcb.BaudRate = 0;
  EXPECT_FALSE(port.SetCommState(dcb));
  ASSERT_TRUE(port.GetCommState(back));
  EXPECT_EQ(back.BaudRate, 19200u);
}

TEST_F(PosixPort, SecondOpenOfTheSameObjectFailsAndTheFirstStays) {
  EXPECT_FALSE(port.OpenDevice(pty.SlavePath()));
  EXPECT_EQ(port.LastOpenError().kind, serial::OpenFailure::Busy);
  const auto bytes = Pattern(10, 3);
  port.Write(bytes, 1000);
  EXPECT_EQ(pty.Receive(bytes.size(), 2000), bytes);
}

TEST(PosixPortClosed, EveryCallRefusesAndNothingBlocks) {
  CPosixSerialPort port;
  serial::PortDcb dcb;
  EXPECT_FALSE(port.CloseDevice());
  EXPECT_FALSE(port.SetCommMask(serial::kEvRxChar));
  EXPECT_FALSE(port.SetupComm(1, 1));
  EXPECT_FALSE(port.SetCommTimeouts({}));
  EXPECT_FALSE(port.GetCommState(dcb));
  EXPECT_FALSE(port.SetCommState(dcb));
  EXPECT_FALSE(port.EscapeCommFunction(serial::EscapeCode::SetBreak));
  EXPECT_FALSE(port.PurgeComm(serial::kPurgeAll));
  EXPECT_FALSE(port.PrepareEventWait());
  const std::uint8_t byte = 1;
  port.Write({&byte, 1}, 1000);
  std::uint8_t got = 0;
  EXPECT_EQ(port.Read({&got, 1}, 1000), 0);
  EXPECT_EQ(port.WaitCommEvent(), 0u);
}
