#pragma once
// A port that fails at one chosen step of an engine's Open, for the messages
// the engine then has its owner show. Its monitor runs inline, on the thread
// that opens (a monitor that cannot prepare its wait ends at once).
#include <functional>
#include <memory>
#include <string>

#include "serial/serial_port.h"

namespace testing_support {

class CFailingPort final : public serial::ISerialPort {
 public:
  enum class Step { None, Open, LineSettings, EventWait };
  explicit CFailingPort(Step failing) : m_failing(failing) {}

  std::string DevicePath(std::string_view name, bool) const override { return std::string(name); }
  bool OpenDevice(const std::string& path) override {
    m_error = {};
    if (m_failing != Step::Open) return true;
    m_error.kind = serial::OpenFailure::Busy;
    m_error.path = path;
    return false;
  }
  const serial::OpenError& LastOpenError() const override { return m_error; }
  bool CloseDevice() override { return true; }
  bool SetCommMask(std::uint32_t) override { return true; }
  bool SetupComm(std::uint32_t, std::uint32_t) override { return true; }
  bool SetCommTimeouts(const serial::CommTimeouts&) override { return true; }
  bool GetCommState(serial::PortDcb&) override { return true; }
  bool SetCommState(const serial::PortDcb&) override { return m_failing != Step::LineSettings; }
  bool EscapeCommFunction(serial::EscapeCode) override { return true; }
  bool PurgeComm(std::uint32_t) override { return true; }
  void Write(std::span<const std::uint8_t>, std::uint32_t) override {}
  int Read(std::span<std::uint8_t>, std::uint32_t) override { return 0; }
  bool PrepareEventWait() override { return m_failing != Step::EventWait; }
  void EndEventWait() override {}
  std::uint32_t WaitCommEvent() override { return 0; }
  std::unique_ptr<serial::IMonitorThread> StartMonitorThread(int, std::function<void()> loop,
                                                             std::function<void()>) override {
    // Only a monitor that ends by itself may run here; a working one would wait forever.
    if (m_failing == Step::EventWait) loop();
    return std::make_unique<Ended>();
  }

 private:
  class Ended final : public serial::IMonitorThread {
   public:
    void Join() override {}
    std::intptr_t WaitHandle() const override { return -1; }
  };

  Step m_failing;
  serial::OpenError m_error;
};

}  // namespace testing_support
