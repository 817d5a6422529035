#pragma once
// The POSIX serial port: termios through termios2 (any rate), exclusive open
// (TIOCEXCL plus flock), a monitor that sleeps in poll on the port and an
// eventfd, and non-blocking writes behind a pending-output queue.
//
// Output: Write puts its bytes at the back of the queue and waits up to
// waitMs for them to leave; what is still queued afterwards is "left to the
// driver": the monitor thread keeps writing it whenever the port can take
// more, so bytes leave in order even when no later Write comes. Each Write's
// bytes are dropped once the write time-out (WriteTotalTimeoutConstant plus
// Multiplier per byte, counted from that Write) has passed without them
// leaving, and on a TX purge, as a driver would abort the request; a port
// that fails a write (vanished device) drops the whole queue.
//
// Threads: the monitor thread calls WaitCommEvent and Read; any thread may
// call Write, PurgeComm and SetCommMask. OpenDevice and CloseDevice run only
// while no monitor thread is running (the engine joins it before closing).
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "serial/serial_port.h"

namespace serial::posix {

// How an errno from open() reads to the user.
OpenFailure ClassifyOpenErrno(int error);

class CPosixSerialPort : public ISerialPort {
 public:
  CPosixSerialPort() = default;
  ~CPosixSerialPort() override;
  CPosixSerialPort(const CPosixSerialPort&) = delete;
  CPosixSerialPort& operator=(const CPosixSerialPort&) = delete;

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
  void EndEventWait() override {}
  std::uint32_t WaitCommEvent() override;

  std::unique_ptr<IMonitorThread> StartMonitorThread(int priority, std::function<void()> loop,
                                                     std::function<void()> onReceived) override;

  // Bytes written by Write that have not yet left for the driver.
  std::size_t PendingOutput() const { return m_pendingBytes.load(); }

 private:
  using Clock = std::chrono::steady_clock;
  struct Segment {
    std::vector<std::uint8_t> bytes;
    std::size_t sent = 0;
    bool expires = false;
    Clock::time_point deadline;
  };

  void FailOpen(OpenFailure kind, const std::string& path, int error);
  // Writes what the port takes now, oldest first; m_outMutex held.
  void FlushLocked(int fd);
  void DropOutputLocked();
  // Sleeps up to `ms` unless the mask is cleared meanwhile.
  void PauseUnlessWoken(int ms) const;

  std::atomic<int> m_fd{-1};
  std::atomic<int> m_wakeFd{-1};  // readable while the mask is 0
  std::atomic<int> m_kickFd{-1};  // tells the monitor that output was left queued
  OpenError m_openError;

  std::mutex m_maskMutex;
  std::atomic<std::uint32_t> m_mask{0};

  std::mutex m_stateMutex;
  PortDcb m_dcb;  // what was last set, for the fields termios cannot hold
  std::uint32_t m_inQueue = 0, m_outQueue = 0;

  mutable std::mutex m_outMutex;
  CommTimeouts m_timeouts;
  std::deque<Segment> m_out;
  std::uint64_t m_queuedTotal = 0;   // bytes ever queued
  std::uint64_t m_retiredTotal = 0;  // of those, written or dropped
  std::atomic<std::size_t> m_pendingBytes{0};
};

}  // namespace serial::posix
