#pragma once
// The Win32 port backend: one handle opened for overlapped I/O, a record
// (OVERLAPPED and its manual-reset event) each for writes, reads and the
// monitor's WaitCommEvent, and the monitor as a real thread whose handle a
// dialog's message-serving wait can wait on.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "serial/serial_port.h"

namespace serial {

// The copies between the portable record and the real DCB, field by field.
PortDcb FromDcb(const DCB& dcb);
DCB ToDcb(const PortDcb& dcb);

// "COM5", "//./COM12", "\\.\COM3": a name Windows gives a serial port.
bool IsComDevicePath(std::string_view path);
// What a failed CreateFileA of `path` with `error` means to the user.
OpenFailure ClassifyOpenError(DWORD error, std::string_view path);

class CWin32SerialPort final : public ISerialPort {
 public:
  CWin32SerialPort();
  ~CWin32SerialPort() override;
  CWin32SerialPort(const CWin32SerialPort&) = delete;
  CWin32SerialPort& operator=(const CWin32SerialPort&) = delete;

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

  bool PrepareEventWait() override;
  void EndEventWait() override;
  std::uint32_t WaitCommEvent() override;

  std::unique_ptr<IMonitorThread> StartMonitorThread(int priority, std::function<void()> loop,
                                                     std::function<void()> onReceived) override;

  // How often the monitor has entered WaitCommEvent, and how often it paused
  // after a failed or spurious wait: tests watch these for a spinning monitor.
  std::uint32_t EventWaits() const { return m_eventWaits.load(); }
  std::uint32_t EventWaitPauses() const { return m_eventWaitPauses.load(); }

 private:
  bool FinishPendingWrite(HANDLE handle);
  void PauseAfterFailedWait();

  std::atomic<HANDLE> m_handle{INVALID_HANDLE_VALUE};
  OpenError m_openError;

  // The write record and the bytes it is writing; the driver may read the
  // bytes until the write completes, so they are ours, not the caller's.
  std::mutex m_writeLock;
  HANDLE m_writeEvent = nullptr;
  OVERLAPPED m_writeRecord{};
  std::vector<std::uint8_t> m_writeBytes;
  bool m_writePending = false;

  std::mutex m_readLock;
  HANDLE m_readEvent = nullptr;
  OVERLAPPED m_readRecord{};

  // The monitor thread's own record, touched only by that thread between
  // PrepareEventWait and EndEventWait.
  HANDLE m_monitorEvent = nullptr;
  OVERLAPPED m_monitorRecord{};
  DWORD m_monitorWord = 0;

  std::atomic<std::uint32_t> m_mask{0};
  std::atomic<std::uint32_t> m_eventWaits{0};
  std::atomic<std::uint32_t> m_eventWaitPauses{0};
};

}  // namespace serial
