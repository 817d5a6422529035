#pragma once
// A serial port wired straight to an in-process far end, on the host's
// clock. There is no monitor thread: Pump() plays its part on the calling
// thread, so a whole program runs deterministically on a virtual clock while
// the order of events stays the real engine's (characters arrive, the
// monitor's wait ends, the input is drained in chunks of up to 1024 bytes).
#include <cstdint>
#include <deque>
#include <functional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "serial/serial_port.h"

namespace serial {

// What stands at the far end of the line: the receiver model, or a test's fake.
class IFarEnd {
 public:
  virtual ~IFarEnd() = default;
  // Bytes the PC put on the line at pcRate, the first starting at nowUs.
  virtual void FromPc(std::span<const std::uint8_t> bytes, std::uint32_t pcRate, std::uint64_t nowUs) = 0;
  // Chunks that have reached the PC (listening at pcRate) by nowUs.
  virtual std::vector<std::vector<std::uint8_t>> ToPc(std::uint64_t nowUs, std::uint32_t pcRate) = 0;
  // When something new is due, or UINT64_MAX.
  virtual std::uint64_t NextEventUs() const = 0;
  // The PC's transmit line entered (on) or left the break state.
  virtual void LineBreak(bool /*on*/, std::uint64_t /*nowUs*/) {}
};

class IClock {
 public:
  virtual ~IClock() = default;
  virtual std::uint64_t NowUs() const = 0;
};

// What the port saw, for tests.
struct LoopbackLog {
  std::vector<EscapeCode> escapes;
  std::vector<std::uint32_t> purges;
  std::vector<std::uint32_t> rates;  // every rate set by SetCommState
  CommTimeouts timeouts;
  std::uint32_t inQueue = 0, outQueue = 0;
  int opens = 0, closes = 0;
  std::string lastPath;
};

class CLoopbackPort : public ISerialPort {
 public:
  // Devices that exist; a name in `busy` exists but is held by another program.
  CLoopbackPort(IFarEnd& farEnd, const IClock& clock, std::set<std::string> devices = {"COM1"},
                std::set<std::string> busy = {});

  // Delivers what the far end has sent by now and, if characters are waiting
  // and the monitor's wait is armed, runs the monitor's drain.
  void Pump();
  bool IsOpen() const { return m_open; }
  std::uint32_t CurrentRate() const { return m_dcb.BaudRate; }
  bool InBreak() const { return m_break; }
  const LoopbackLog& Log() const { return m_log; }
  // A rate the driver refuses, as a real driver refuses 0 baud.
  static bool RateAccepted(std::uint32_t rate) { return rate != 0; }

  std::string DevicePath(std::string_view portName, bool namespacePrefix) const override;
  bool OpenDevice(const std::string& path) override;
  const OpenError& LastOpenError() const override { return m_openError; }
  bool CloseDevice() override;
  bool SetCommMask(std::uint32_t mask) override;
  bool SetupComm(std::uint32_t inQueue, std::uint32_t outQueue) override;
  bool SetCommTimeouts(const CommTimeouts& timeouts) override;
  bool GetCommState(PortDcb& dcb) override;
  bool SetCommState(const PortDcb& dcb) override;
  bool EscapeCommFunction(EscapeCode code) override;
  bool PurgeComm(std::uint32_t flags) override;
  void Write(std::span<const std::uint8_t> data, std::uint32_t waitMs) override;
  int Read(std::span<std::uint8_t> dest, std::uint32_t waitMs) override;
  bool PrepareEventWait() override { return true; }
  void EndEventWait() override {}
  std::uint32_t WaitCommEvent() override { return 0; }
  std::unique_ptr<IMonitorThread> StartMonitorThread(int priority, std::function<void()> loop,
                                                     std::function<void()> onReceived) override;

 private:
  void Collect();

  IFarEnd& m_farEnd;
  const IClock& m_clock;
  std::set<std::string> m_devices;
  std::set<std::string> m_busy;
  bool m_open = false;
  bool m_break = false;
  std::uint32_t m_mask = 0;
  PortDcb m_dcb;
  std::deque<std::uint8_t> m_rx;
  std::function<void()> m_onReceived;
  bool m_draining = false;
  OpenError m_openError;
  LoopbackLog m_log;
};

}  // namespace serial
