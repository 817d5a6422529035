#include "serial/loopback/loopback_port.h"

#include <algorithm>

namespace serial {

namespace {

class CInlineMonitor : public IMonitorThread {
 public:
  void Join() override {}
  std::intptr_t WaitHandle() const override { return -1; }
};

}  // namespace

CLoopbackPort::CLoopbackPort(IFarEnd& farEnd, const IClock& clock, std::set<std::string> devices,
                             std::set<std::string> busy)
    : m_farEnd(farEnd), m_clock(clock), m_devices(std::move(devices)), m_busy(std::move(busy)) {
  m_dcb.BaudRate = 9600;
}

std::string CLoopbackPort::DevicePath(std::string_view portName, bool namespacePrefix) const {
  return namespacePrefix ? "//./" + std::string(portName) : std::string(portName);
}

bool CLoopbackPort::OpenDevice(const std::string& path) {
  std::string name = path;
  if (name.starts_with("//./")) name.erase(0, 4);
  m_log.lastPath = path;
  m_openError = {};
  if (m_open || m_busy.contains(name)) {
    m_openError = {OpenFailure::Busy, path, "the port is in use by another program", {}};
    return false;
  }
  if (!m_devices.contains(name)) {
    m_openError = {OpenFailure::NotFound, path, "no such port", {}};
    return false;
  }
  // What the far end sent while nobody had the port open is gone.
  (void)m_farEnd.ToPc(m_clock.NowUs(), m_dcb.BaudRate);
  m_open = true;
  m_mask = 0;
  m_rx.clear();
  ++m_log.opens;
  return true;
}

bool CLoopbackPort::CloseDevice() {
  if (!m_open) return false;
  m_open = false;
  m_onReceived = nullptr;
  ++m_log.closes;
  return true;
}

bool CLoopbackPort::SetCommMask(std::uint32_t mask) {
  if (!m_open) return false;
  m_mask = mask;
  return true;
}

bool CLoopbackPort::SetupComm(std::uint32_t inQueue, std::uint32_t outQueue) {
  m_log.inQueue = inQueue;
  m_log.outQueue = outQueue;
  return m_open;
}

bool CLoopbackPort::SetCommTimeouts(const CommTimeouts& timeouts) {
  m_log.timeouts = timeouts;
  return m_open;
}

bool CLoopbackPort::GetCommState(PortDcb& dcb) {
  if (!m_open) return false;
  dcb = m_dcb;
  return true;
}

bool CLoopbackPort::SetCommState(const PortDcb& dcb) {
  if (!m_open || !RateAccepted(dcb.BaudRate)) return false;
  Collect();  // what arrived at the old rate was received at the old rate
  m_dcb = dcb;
  m_log.rates.push_back(dcb.BaudRate);
  return true;
}

bool CLoopbackPort::EscapeCommFunction(EscapeCode code) {
  if (!m_open) return false;
  m_log.escapes.push_back(code);
  if (code == EscapeCode::SetBreak || code == EscapeCode::ClrBreak) {
    m_break = code == EscapeCode::SetBreak;
    m_farEnd.LineBreak(m_break, m_clock.NowUs());
  }
  return true;
}

bool CLoopbackPort::PurgeComm(std::uint32_t flags) {
  if (!m_open) return false;
  m_log.purges.push_back(flags);
  if ((flags & (kPurgeRxClear | kPurgeRxAbort)) != 0) {
    Collect();
    m_rx.clear();
  }
  return true;
}

void CLoopbackPort::Write(std::span<const std::uint8_t> data, std::uint32_t /*waitMs*/) {
  if (!m_open || data.empty()) return;
  // During a break the line is held low: nothing gets through.
  if (m_break) return;
  m_farEnd.FromPc(data, m_dcb.BaudRate, m_clock.NowUs());
}

int CLoopbackPort::Read(std::span<std::uint8_t> dest, std::uint32_t /*waitMs*/) {
  if (!m_open) return 0;
  Collect();
  const std::size_t n = std::min(dest.size(), m_rx.size());
  std::copy_n(m_rx.begin(), n, dest.begin());
  m_rx.erase(m_rx.begin(), m_rx.begin() + static_cast<std::ptrdiff_t>(n));
  return static_cast<int>(n);
}

std::unique_ptr<IMonitorThread> CLoopbackPort::StartMonitorThread(int /*priority*/, std::function<void()> /*loop*/,
                                                                  std::function<void()> onReceived) {
  m_onReceived = std::move(onReceived);
  m_mask = kEvRxChar;  // the monitor arms its wait as it starts
  return std::make_unique<CInlineMonitor>();
}

void CLoopbackPort::Collect() {
  if (!m_open) return;
  for (auto& chunk : m_farEnd.ToPc(m_clock.NowUs(), m_dcb.BaudRate)) m_rx.insert(m_rx.end(), chunk.begin(), chunk.end());
}

void CLoopbackPort::Pump() {
  if (!m_open || m_draining) return;
  Collect();
  if (m_rx.empty() || (m_mask & kEvRxChar) == 0 || !m_onReceived) return;
  // A handler that pumps again from inside the drain must not start a second one.
  m_draining = true;
  const auto drain = m_onReceived;
  drain();
  m_draining = false;
}

}  // namespace serial
