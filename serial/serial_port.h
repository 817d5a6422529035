#pragma once
// The narrow interface between the engine and one platform's serial port.
// Each operation is one step the engine takes, named after the platform call
// it stands for; the backend keeps the overlapped records (or their
// counterparts) for the write side, the read side and the monitor's wait.
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "serial/port_dcb.h"

namespace serial {

inline constexpr std::uint32_t kEvRxChar = 0x0001;

inline constexpr std::uint32_t kPurgeTxAbort = 0x0001;
inline constexpr std::uint32_t kPurgeRxAbort = 0x0002;
inline constexpr std::uint32_t kPurgeTxClear = 0x0004;
inline constexpr std::uint32_t kPurgeRxClear = 0x0008;
inline constexpr std::uint32_t kPurgeAll = 0x000F;

enum class EscapeCode : int { SetRts = 3, SetDtr = 5, ClrDtr = 6, SetBreak = 8, ClrBreak = 9 };

struct CommTimeouts {
  std::uint32_t ReadIntervalTimeout = 0;
  std::uint32_t ReadTotalTimeoutMultiplier = 0;
  std::uint32_t ReadTotalTimeoutConstant = 0;
  std::uint32_t WriteTotalTimeoutMultiplier = 0;
  std::uint32_t WriteTotalTimeoutConstant = 0;
};

// Why a device did not open, told apart for the programs to show. NotSerial:
// the path opened (or is a directory) but is no terminal device.
enum class OpenFailure { None, NotFound, AccessDenied, Busy, Other, NotSerial };

struct OpenError {
  OpenFailure kind = OpenFailure::None;
  std::string path;
  std::string detail;           // the system's text
  std::string permissionGroup;  // AccessDenied on POSIX: the group that grants access, when known
};

// The monitor thread as the backend started it.
class IMonitorThread {
 public:
  virtual ~IMonitorThread() = default;
  virtual void Join() = 0;
  // Something a platform wait can wait on until the thread has ended
  // (Win32: the thread handle); -1 when there is none.
  virtual std::intptr_t WaitHandle() const = 0;
};

class ISerialPort {
 public:
  virtual ~ISerialPort() = default;

  // The device path for a port name as the user chose it; the namespace
  // prefix is the configurator's "//./" form where the platform has it.
  virtual std::string DevicePath(std::string_view portName, bool namespacePrefix) const = 0;

  // Exclusive, read and write, for overlapped use.
  virtual bool OpenDevice(const std::string& path) = 0;
  virtual const OpenError& LastOpenError() const = 0;
  virtual bool CloseDevice() = 0;

  virtual bool SetCommMask(std::uint32_t mask) = 0;  // a mask of 0 completes a pending wait
  virtual bool SetupComm(std::uint32_t inQueue, std::uint32_t outQueue) = 0;
  virtual bool SetCommTimeouts(const CommTimeouts& timeouts) = 0;
  virtual bool GetCommState(PortDcb& dcb) = 0;
  virtual bool SetCommState(const PortDcb& dcb) = 0;
  virtual bool EscapeCommFunction(EscapeCode code) = 0;
  virtual bool PurgeComm(std::uint32_t flags) = 0;

  // Starts a write on the write record and waits up to waitMs for it; a
  // write still running afterwards is left to the driver.
  virtual void Write(std::span<const std::uint8_t> data, std::uint32_t waitMs) = 0;
  // Clears the line-error state, then reads what the driver holds (up to
  // dest.size()), waiting up to waitMs if the read is deferred. 0 when
  // nothing arrived or on failure.
  virtual int Read(std::span<std::uint8_t> dest, std::uint32_t waitMs) = 0;

  // The monitor thread's own wait record: made when the thread starts,
  // released when it ends.
  virtual bool PrepareEventWait() = 0;
  virtual void EndEventWait() = 0;
  // Sleeps until a character arrives or the mask is cleared; the event
  // word (kEvRxChar or 0).
  virtual std::uint32_t WaitCommEvent() = 0;

  // Runs `loop` on a new thread at the given priority (the platform's
  // numbering: -1 below normal). A backend without real threads (the
  // in-process port) may instead call `onReceived` itself, in the order a
  // real monitor would, whenever characters are due. Null on failure.
  virtual std::unique_ptr<IMonitorThread> StartMonitorThread(int priority, std::function<void()> loop,
                                                             std::function<void()> onReceived) = 0;
};

// The backend for the platform the program is built for.
std::unique_ptr<ISerialPort> MakePlatformSerialPort();

}  // namespace serial
