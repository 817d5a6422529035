#include "serial/tty_engine.h"

#include "serial/frames.h"

using serial::EscapeCode;

namespace {
constexpr std::uint32_t kMaxDword = 0xFFFFFFFF;
constexpr std::uint32_t kWriteTotalConstantMs = 5000;
constexpr int kDrainFlags = 0xFFFE;
constexpr int kDrainBit = 4;
}  // namespace

void serial::CPlainEngineOwner::WaitForMonitorEnd(IMonitorThread& thread) { thread.Join(); }

CTTYnew::CTTYnew(serial::EngineKey, serial::IEngineOwner& owner, EngineProfile profile,
                 std::unique_ptr<serial::ISerialPort> port)
    : m_owner(&owner), m_profile(profile), m_port(std::move(port)) {}

// serial::Engine has closed the port already: the monitor thread is gone.
CTTYnew::~CTTYnew() = default;

void CTTYnew::OnDataReceived(const std::uint8_t*, int) {}

bool CTTYnew::AddTrafficTap(serial::ITrafficTap& tap) {
  for (const auto& slot : m_taps)
    if (slot.load() == &tap) return false;
  for (auto& slot : m_taps) {
    serial::ITrafficTap* expected = nullptr;
    if (slot.compare_exchange_strong(expected, &tap)) return true;
  }
  return false;
}

void CTTYnew::RemoveTrafficTap(serial::ITrafficTap& tap) {
  for (auto& slot : m_taps) {
    serial::ITrafficTap* expected = &tap;
    slot.compare_exchange_strong(expected, nullptr);
  }
}

// No lock: a writer thread and the monitor thread may report at once.
void CTTYnew::Tap(serial::TrafficDirection direction, std::span<const std::uint8_t> bytes) const noexcept {
  for (const auto& slot : m_taps) {
    if (serial::ITrafficTap* tap = slot.load(std::memory_order_acquire))
      tap->OnTraffic(direction, bytes, m_lineRate.load(std::memory_order_relaxed));
  }
}

void CTTYnew::Report(serial::EngineMessage message) {
  if (m_profile.reportFailures) m_owner->ShowEngineMessage(message);
}

int CTTYnew::Open(const CommSettings& settings) { return OpenLine(ToLineSettings(settings), kBelowNormalPriority); }

int CTTYnew::Open(const TorvikCommSettings& settings, int priority) {
  return OpenLine(ToLineSettings(settings), priority);
}

int CTTYnew::OpenLine(const LineSettings& settings, int priority) {
  ResetReceiveState();
  if (IsConnected()) return 0;

  if (!m_port->OpenDevice(m_port->DevicePath(settings.portName, m_profile.namespacePrefix))) {
    Report(serial::EngineMessage::PortUnavailable);
    return 0;
  }
  // The results of these three steps are not looked at.
  m_port->SetCommMask(serial::kEvRxChar);
  m_port->SetupComm(m_profile.inQueue, m_profile.outQueue);
  m_port->SetCommTimeouts({kMaxDword, 0, 0, 0, kWriteTotalConstantMs});

  const int applied = ApplyLine(settings);
  if (applied == 0) {
    Report(serial::EngineMessage::LineRejected);
    m_port->CloseDevice();
    return 0;
  }

  connected.store(1);
  m_monitor = m_port->StartMonitorThread(priority, [this] { MonitorThread(this); },
                                         [this] { DrainInput(kDrainFlags); });
  if (!m_monitor) {
    connected.store(0);
    m_port->CloseDevice();
    return 0;
  }
  if (m_profile.raiseDtrRts) {
    m_port->EscapeCommFunction(EscapeCode::SetDtr);
    m_port->EscapeCommFunction(EscapeCode::SetRts);
  }
  return applied;
}

int CTTYnew::ApplySettings(const CommSettings& settings) { return ApplyLine(ToLineSettings(settings)); }

int CTTYnew::ApplySettings(const TorvikCommSettings& settings) { return ApplyLine(ToLineSettings(settings)); }

int CTTYnew::ApplyLine(const LineSettings& settings) {
  serial::PortDcb dcb;
  if (!m_port->GetCommState(dcb)) return 0;
  dcb.DCBlength = 28;
  serial::ApplyLineSettings(dcb, settings);
  if (!m_port->SetCommState(dcb)) return 0;
  m_lineRate.store(dcb.BaudRate, std::memory_order_relaxed);
  return 1;
}

int CTTYnew::Close() {
  if (!IsConnected()) return 0;
  // Called from OnDataReceived: the monitor cannot join itself; the port
  // stays open for the owner's own Close.
  if (std::this_thread::get_id() == m_monitorThreadId.load()) return 0;
  if (m_profile.purgeOnClose) {
    m_port->PurgeComm(serial::kPurgeRxClear);
    m_port->PurgeComm(serial::kPurgeTxClear);
  }
  connected.store(0);
  m_port->SetCommMask(0);  // completes the monitor's pending wait
  if (m_monitor) {
    m_owner->WaitForMonitorEnd(*m_monitor);
    m_monitor.reset();  // the handle lives until the wait is over
  }
  m_port->EscapeCommFunction(EscapeCode::ClrDtr);
  m_port->PurgeComm(serial::kPurgeAll);
  return m_port->CloseDevice() ? 1 : 0;
}

int CTTYnew::WriteBytes(const std::uint8_t* data, int length) {
  if (!IsConnected()) return 0;
  if (length > 0) {
    const std::span<const std::uint8_t> bytes{data, static_cast<std::size_t>(length)};
    // Reported before it goes out, so a reply can never be traced ahead of its cause.
    Tap(serial::TrafficDirection::Sent, bytes);
    m_port->Write(bytes, kWriteWaitMs);
  }
  return 1;
}

int CTTYnew::WriteByte(int value) {
  if (!IsConnected()) return 0;
  const std::uint8_t byte = static_cast<std::uint8_t>(value & 0xFF);
  Tap(serial::TrafficDirection::Sent, {&byte, 1});
  m_port->Write({&byte, 1}, kByteWaitMs);
  return 1;
}

// A frame goes out byte by byte, as the programs always sent it; the taps see it once, whole.
int CTTYnew::PutByte(std::uint8_t value) {
  if (!IsConnected()) return 0;
  m_port->Write({&value, 1}, kByteWaitMs);
  return 1;
}

int CTTYnew::ReadBytes(std::uint8_t* buffer, int maximum) {
  if (!IsConnected() || maximum <= 0) return 0;
  return m_port->Read({buffer, static_cast<std::size_t>(maximum)}, kReadWaitMs);
}

int CTTYnew::SetBreak() { return m_port->EscapeCommFunction(EscapeCode::SetBreak) ? 1 : 0; }

int CTTYnew::ClearBreak() { return m_port->EscapeCommFunction(EscapeCode::ClrBreak) ? 1 : 0; }

int CTTYnew::SendBlockPacket(const std::uint8_t* data, int address) {
  const auto frame = serial::BuildBlockPacket(std::span<const std::uint8_t, serial::kPageBytes>(data, serial::kPageBytes),
                                              address);
  if (IsConnected()) Tap(serial::TrafficDirection::Sent, frame);
  int result = 0;
  for (const std::uint8_t b : frame) result = PutByte(b);
  return result;
}

int CTTYnew::WriteBlockPacket(const std::uint8_t* data, int address) {
  const auto frame = serial::BuildBlockPacket(std::span<const std::uint8_t, serial::kPageBytes>(data, serial::kPageBytes),
                                              address);
  return WriteBytes(frame.data(), static_cast<int>(frame.size()));
}

void CTTYnew::SendCommandPacket(std::uint8_t command, std::string_view argumentText) {
  const std::vector<std::uint8_t> frame = serial::BuildCommandPacket(command, argumentText);
  if (IsConnected()) Tap(serial::TrafficDirection::Sent, frame);
  for (const std::uint8_t b : frame) PutByte(b);
}

int CTTYnew::DrainInput(int flags) {
  if (!IsConnected() || (flags & kDrainBit) == 0) return 0;
  std::array<std::uint8_t, kChunk> buffer{};
  for (;;) {
    if (m_pumpMessages) m_pumpMessages();
    const int count = ReadBytes(buffer.data(), kChunk);
    if (count <= 0) break;
    Tap(serial::TrafficDirection::Received, {buffer.data(), static_cast<std::size_t>(count)});
    OnDataReceived(buffer.data(), count);
  }
  return 0;
}

int CTTYnew::MonitorThread(CTTYnew* engine) {
  serial::ISerialPort& port = *engine->m_port;
  engine->m_monitorThreadId.store(std::this_thread::get_id());
  struct ForgetThread {
    CTTYnew* engine;
    ~ForgetThread() { engine->m_monitorThreadId.store(std::thread::id{}); }
  } forget{engine};
  if (!port.PrepareEventWait()) {
    engine->m_owner->ShowEngineMessage(serial::EngineMessage::MonitorEventFailed);
    return 0;
  }
  if (!port.SetCommMask(serial::kEvRxChar)) {
    port.EndEventWait();
    return 0;
  }
  while (engine->IsConnected()) {
    const std::uint32_t events = port.WaitCommEvent();
    if ((events & serial::kEvRxChar) != 0) engine->DrainInput(kDrainFlags);
  }
  port.EndEventWait();
  return 1;
}
