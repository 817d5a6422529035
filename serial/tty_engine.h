#pragma once
// CTTYnew: the serial port engine of both programs. Opens a port for
// overlapped I/O, applies line settings, writes with bounded waits, and runs
// the monitor thread that hands every received chunk to OnDataReceived.
#include <array>
#include <cstddef>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <thread>

#include "serial/comm_settings.h"
#include "serial/engine_owner.h"
#include "serial/serial_port.h"
#include "serial/traffic_tap.h"

namespace serial {

template <class T>
class Engine;

// Proof that an engine is being made by serial::Engine (serial/engine.h),
// which closes it before any derived part goes.
class EngineKey {
  EngineKey() = default;
  template <class T>
  friend class Engine;
};

}  // namespace serial

// Where the two programs' engines differ; the defaults are the updater's, each
// program keeps its own preset (updater/upgrade, configurator/send_queue).
struct EngineProfile {
  bool namespacePrefix = false;  // open "//./COMn"
  std::uint32_t inQueue = 524288;
  std::uint32_t outQueue = 4096;
  bool raiseDtrRts = false;      // SETDTR, SETRTS after opening
  bool purgeOnClose = false;     // RX and TX clear before closing
  bool reportFailures = false;   // message boxes for open and settings failures
};

class CTTYnew {
 public:
  static constexpr int kChunk = 1024;
  static constexpr int kBelowNormalPriority = -1;
  static constexpr std::uint32_t kWriteWaitMs = 1000;
  static constexpr std::uint32_t kByteWaitMs = 25;
  static constexpr std::uint32_t kReadWaitMs = 1000;

  // Made only through serial::Engine; the owner outlives the engine.
  CTTYnew(serial::EngineKey key, serial::IEngineOwner& owner, EngineProfile profile = EngineProfile{},
          std::unique_ptr<serial::ISerialPort> port = serial::MakePlatformSerialPort());
  virtual ~CTTYnew();
  CTTYnew(const CTTYnew&) = delete;
  CTTYnew& operator=(const CTTYnew&) = delete;

  // Called on the monitor thread with 1 to 1024 bytes; must not keep the pointer.
  virtual void OnDataReceived(const std::uint8_t* data, int length);

  int Open(const CommSettings& settings);
  int Open(const TorvikCommSettings& settings, int priority);
  int Close();
  int ApplySettings(const CommSettings& settings);
  int ApplySettings(const TorvikCommSettings& settings);
  int WriteBytes(const std::uint8_t* data, int length);
  int WriteByte(int value);
  int ReadBytes(std::uint8_t* buffer, int maximum);
  int SetBreak();
  int ClearBreak();
  int SendBlockPacket(const std::uint8_t* data, int address);
  // The same frame put on the line with one write of its 133 bytes (the
  // acknowledgement-paced upgrade), not byte by byte.
  int WriteBlockPacket(const std::uint8_t* data, int address);
  void SendCommandPacket(std::uint8_t command, std::string_view argumentText);

  int DrainInput(int flags);          // monitor thread only
  static int MonitorThread(CTTYnew* engine);

  bool IsConnected() const { return connected.load() != 0; }

  // Taps see every chunk written (on the writing thread, before it goes out)
  // and read (on the monitor thread, before OnDataReceived). Up to kMaxTaps;
  // add and remove while the port is closed. Add is false when all places
  // are taken or the tap is there already.
  static constexpr std::size_t kMaxTaps = 4;
  bool AddTrafficTap(serial::ITrafficTap& tap);
  void RemoveTrafficTap(serial::ITrafficTap& tap);
  // The rate of the last settings applied to the line, 0 before any.
  std::uint32_t LineRate() const { return m_lineRate.load(std::memory_order_relaxed); }
  // Why the last Open failed at the device, for the programs to show.
  const serial::OpenError& LastOpenError() const { return m_port->LastOpenError(); }

  serial::IEngineOwner& Owner() const { return *m_owner; }
  // Step 1 of each drain pass: let queued messages of the calling thread be handled.
  std::function<void()> m_pumpMessages;

  // 1 from a successful Open until Close begins; read by the monitor thread.
  std::atomic<std::int32_t> connected{0};

 protected:
  // Open's first step in the updater: its reply parser starts afresh.
  virtual void ResetReceiveState() {}
  serial::ISerialPort& Port() { return *m_port; }

 private:
  int OpenLine(const LineSettings& settings, int priority);
  int ApplyLine(const LineSettings& settings);
  void Report(serial::EngineMessage message);
  void Tap(serial::TrafficDirection direction, std::span<const std::uint8_t> bytes) const noexcept;
  int PutByte(std::uint8_t value);

  serial::IEngineOwner* m_owner;
  EngineProfile m_profile;
  std::unique_ptr<serial::ISerialPort> m_port;
  std::unique_ptr<serial::IMonitorThread> m_monitor;
  // The monitor thread cannot wait for its own end: Close refuses there.
  std::atomic<std::thread::id> m_monitorThreadId{};
  std::array<std::atomic<serial::ITrafficTap*>, kMaxTaps> m_taps{};
  std::atomic<std::uint32_t> m_lineRate{0};
};
