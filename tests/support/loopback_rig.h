#pragma once
// A dialog's serial engine wired in-process to a far end on the headless
// host's virtual clock, with a tap on what goes out.
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "serial/loopback/loopback_port.h"
#include "support/test_host.h"

namespace testing_support {

class HostClock : public serial::IClock {
 public:
  explicit HostClock(const fw::HeadlessHost& host) : m_host(host) {}
  std::uint64_t NowUs() const override { return m_host.NowMicroseconds(); }

 private:
  const fw::HeadlessHost& m_host;
};

// A port in front of the loopback port that lets a test act at the moment
// bytes go out (as the monitor thread could, in the middle of a tick).
class TappedPort : public serial::ISerialPort {
 public:
  explicit TappedPort(std::unique_ptr<serial::CLoopbackPort> inner) : m_inner(std::move(inner)) {}
  serial::CLoopbackPort& Inner() { return *m_inner; }
  std::function<void(std::span<const std::uint8_t>)> onWrite;

  std::string DevicePath(std::string_view n, bool p) const override { return m_inner->DevicePath(n, p); }
  bool OpenDevice(const std::string& path) override { return m_inner->OpenDevice(path); }
  const serial::OpenError& LastOpenError() const override { return m_inner->LastOpenError(); }
  bool CloseDevice() override { return m_inner->CloseDevice(); }
  bool SetCommMask(std::uint32_t m) override { return m_inner->SetCommMask(m); }
  bool SetupComm(std::uint32_t i, std::uint32_t o) override { return m_inner->SetupComm(i, o); }
  bool SetCommTimeouts(const serial::CommTimeouts& t) override { return m_inner->SetCommTimeouts(t); }
  bool GetCommState(serial::PortDcb& d) override { return m_inner->GetCommState(d); }
  bool SetCommState(const serial::PortDcb& d) override { return m_inner->SetCommState(d); }
  bool EscapeCommFunction(serial::EscapeCode c) override { return m_inner->EscapeCommFunction(c); }
  bool PurgeComm(std::uint32_t f) override { return m_inner->PurgeComm(f); }
  void Write(std::span<const std::uint8_t> data, std::uint32_t waitMs) override {
    m_inner->Write(data, waitMs);
    if (onWrite) onWrite(data);
  }
  int Read(std::span<std::uint8_t> dest, std::uint32_t waitMs) override { return m_inner->Read(dest, waitMs); }
  bool PrepareEventWait() override { return m_inner->PrepareEventWait(); }
  void EndEventWait() override { m_inner->EndEventWait(); }
  std::uint32_t WaitCommEvent() override { return m_inner->WaitCommEvent(); }
  std::unique_ptr<serial::IMonitorThread> StartMonitorThread(int priority, std::function<void()> loop,
                                                             std::function<void()> onReceived) override {
    return m_inner->StartMonitorThread(priority, std::move(loop), std::move(onReceived));
  }

 private:
  std::unique_ptr<serial::CLoopbackPort> m_inner;
};

}  // namespace testing_support
