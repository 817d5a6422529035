#include "serial/win32/win32_serial_port.h"

#include <process.h>

#include <algorithm>
#include <array>
#include <cctype>

namespace serial {

// The portable values are the platform's own.
static_assert(kEvRxChar == EV_RXCHAR);
static_assert(kPurgeTxAbort == PURGE_TXABORT && kPurgeRxAbort == PURGE_RXABORT);
static_assert(kPurgeTxClear == PURGE_TXCLEAR && kPurgeRxClear == PURGE_RXCLEAR);
static_assert(static_cast<int>(EscapeCode::SetRts) == SETRTS && static_cast<int>(EscapeCode::SetDtr) == SETDTR);
static_assert(static_cast<int>(EscapeCode::ClrDtr) == CLRDTR);
static_assert(static_cast<int>(EscapeCode::SetBreak) == SETBREAK && static_cast<int>(EscapeCode::ClrBreak) == CLRBREAK);
static_assert(kNoParity == NOPARITY && kOddParity == ODDPARITY && kEvenParity == EVENPARITY);
static_assert(kMarkParity == MARKPARITY && kSpaceParity == SPACEPARITY);
static_assert(kOneStopBit == ONESTOPBIT && kOne5StopBits == ONE5STOPBITS && kTwoStopBits == TWOSTOPBITS);
static_assert(kDtrControlHandshake == DTR_CONTROL_HANDSHAKE && kRtsControlHandshake == RTS_CONTROL_HANDSHAKE);
static_assert(sizeof(DCB) == 28);

namespace {

// The engine sets a 5000 ms total write time-out, so a write the driver
// accepted ends by then; the margin covers a loaded machine.
constexpr DWORD kPendingWriteBoundMs = 5000 + 1000;
// How long a cancelled operation may take to hand its record back.
constexpr DWORD kCancelBoundMs = 1000;
// The engine's monitor loop calls WaitCommEvent again at once. On a device
// that has gone away every call fails at once (and Wine aborts every wait on
// a pty after a few ms), so each failed wait costs this instead of a spin.
constexpr DWORD kFailedWaitPauseMs = 50;

OVERLAPPED FreshRecord(HANDLE event) {
  OVERLAPPED record{};
  record.hEvent = event;
  return record;
}

std::string SystemText(DWORD error) {
  std::array<char, 512> text{};
  const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                 text.data(), static_cast<DWORD>(text.size()), nullptr);
  std::string result(text.data(), std::min<std::size_t>(n, text.size()));
  while (!result.empty() && std::isspace(static_cast<unsigned char>(result.back())) != 0) result.pop_back();
  if (result.empty()) {
    result = "system error ";
    result += std::to_string(error);
  }
  return result;
}

std::string_view WithoutNamespace(std::string_view path) {
  for (const std::string_view prefix : {"//./", "\\\\.\\", "\\\\?\\"}) {
    if (path.starts_with(prefix)) return path.substr(prefix.size());
  }
  return path;
}

class CWin32MonitorThread final : public IMonitorThread {
 public:
  explicit CWin32MonitorThread(HANDLE thread) : m_thread(thread) {}
  ~CWin32MonitorThread() override { CloseHandle(m_thread); }
  CWin32MonitorThread(const CWin32MonitorThread&) = delete;
  CWin32MonitorThread& operator=(const CWin32MonitorThread&) = delete;

  void Join() override { WaitForSingleObject(m_thread, INFINITE); }
  std::intptr_t WaitHandle() const override { return reinterpret_cast<std::intptr_t>(m_thread); }

 private:
  HANDLE m_thread;
};

// The thread owns its loop, so the monitor object may go before the thread ends.
unsigned __stdcall MonitorEntry(void* argument) {
  const std::unique_ptr<std::function<void()>> loop(static_cast<std::function<void()>*>(argument));
  (*loop)();
  return 0;
}

}  // namespace

PortDcb FromDcb(const DCB& d) {
  PortDcb p;
  p.DCBlength = d.DCBlength;
  p.BaudRate = d.BaudRate;
  p.fBinary = static_cast<std::uint8_t>(d.fBinary);
  p.fParity = static_cast<std::uint8_t>(d.fParity);
  p.fOutxCtsFlow = static_cast<std::uint8_t>(d.fOutxCtsFlow);
  p.fOutxDsrFlow = static_cast<std::uint8_t>(d.fOutxDsrFlow);
  p.fDtrControl = static_cast<std::uint8_t>(d.fDtrControl);
  p.fDsrSensitivity = static_cast<std::uint8_t>(d.fDsrSensitivity);
  p.fTXContinueOnXoff = static_cast<std::uint8_t>(d.fTXContinueOnXoff);
  p.fOutX = static_cast<std::uint8_t>(d.fOutX);
  p.fInX = static_cast<std::uint8_t>(d.fInX);
  p.fErrorChar = static_cast<std::uint8_t>(d.fErrorChar);
  p.fNull = static_cast<std::uint8_t>(d.fNull);
  p.fRtsControl = static_cast<std::uint8_t>(d.fRtsControl);
  p.fAbortOnError = static_cast<std::uint8_t>(d.fAbortOnError);
  p.XonLim = d.XonLim;
  p.XoffLim = d.XoffLim;
  p.ByteSize = d.ByteSize;
  p.Parity = d.Parity;
  p.StopBits = d.StopBits;
  p.XonChar = d.XonChar;
  p.XoffChar = d.XoffChar;
  p.ErrorChar = d.ErrorChar;
  p.EofChar = d.EofChar;
  p.EvtChar = d.EvtChar;
  return p;
}

DCB ToDcb(const PortDcb& p) {
  DCB d{};
  d.DCBlength = p.DCBlength;
  d.BaudRate = p.BaudRate;
  // One-bit flags and the two-bit line controls, as wide as their fields.
  d.fBinary = p.fBinary & 1u;
  d.fParity = p.fParity & 1u;
  d.fOutxCtsFlow = p.fOutxCtsFlow & 1u;
  d.fOutxDsrFlow = p.fOutxDsrFlow & 1u;
  d.fDtrControl = p.fDtrControl & 3u;
  d.fDsrSensitivity = p.fDsrSensitivity & 1u;
  d.fTXContinueOnXoff = p.fTXContinueOnXoff & 1u;
  d.fOutX = p.fOutX & 1u;
  d.fInX = p.fInX & 1u;
  d.fErrorChar = p.fErrorChar & 1u;
  d.fNull = p.fNull & 1u;
  d.fRtsControl = p.fRtsControl & 3u;
  d.fAbortOnError = p.fAbortOnError & 1u;
  d.XonLim = p.XonLim;
  d.XoffLim = p.XoffLim;
  d.ByteSize = p.ByteSize;
  d.Parity = p.Parity;
  d.StopBits = p.StopBits;
  d.XonChar = p.XonChar;
  d.XoffChar = p.XoffChar;
  d.ErrorChar = p.ErrorChar;
  d.EofChar = p.EofChar;
  d.EvtChar = p.EvtChar;
  return d;
}

bool IsComDevicePath(std::string_view path) {
  const std::string_view name = WithoutNamespace(path);
  if (name.size() < 4) return false;
  for (std::size_t i = 0; i < 3; ++i) {
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return false;
  }
  return std::all_of(name.begin() + 3, name.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}

OpenFailure ClassifyOpenError(DWORD error, std::string_view path) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return OpenFailure::NotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      // Windows answers both for a port that another program holds open.
      if (IsComDevicePath(path)) return OpenFailure::Busy;
      return error == ERROR_ACCESS_DENIED ? OpenFailure::AccessDenied : OpenFailure::Busy;
    default:
      return OpenFailure::Other;
  }
}

CWin32SerialPort::CWin32SerialPort() {
  // Read record first, then the write record. A failure leaves the object
  // usable: the overlapped calls on that record fail later.
  m_readEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  m_writeEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  m_readRecord = FreshRecord(m_readEvent);
  m_writeRecord = FreshRecord(m_writeEvent);
}

CWin32SerialPort::~CWin32SerialPort() {
  if (m_handle.load() != INVALID_HANDLE_VALUE) CloseDevice();
  if (m_readEvent != nullptr) CloseHandle(m_readEvent);
  if (m_writeEvent != nullptr) CloseHandle(m_writeEvent);
  if (m_monitorEvent != nullptr) CloseHandle(m_monitorEvent);
}

std::string CWin32SerialPort::DevicePath(std::string_view portName, bool namespacePrefix) const {
  std::string path;
  // The bare name opens only COM1..COM9; the port list offers up to COM255,
  // so a higher port goes through the device namespace in either program.
  const bool highComPort = IsComDevicePath(portName) && portName.size() > 4;
  if (namespacePrefix || highComPort) path = "//./";
  path += portName;
  return path;
}

bool CWin32SerialPort::OpenDevice(const std::string& path) {
  m_openError = {};
  if (m_handle.load() != INVALID_HANDLE_VALUE) {
    m_openError = {OpenFailure::Busy, path, "this port object already has a device open", {}};
    return false;
  }
  const HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    const OpenFailure kind = ClassifyOpenError(error, path);
    std::string detail;
    if (kind == OpenFailure::Busy && IsComDevicePath(path)) {
      detail = "the port is in use by another program (the system says: ";
      detail += SystemText(error);
      detail += ")";
    } else {
      detail = SystemText(error);
    }
    m_openError = {kind, path, std::move(detail), {}};
    return false;
  }
  m_handle.store(handle);
  return true;
}

bool CWin32SerialPort::CloseDevice() {
  // Neither a read nor a write may be under way while the handle goes.
  const std::scoped_lock lock(m_readLock, m_writeLock);
  const HANDLE handle = m_handle.exchange(INVALID_HANDLE_VALUE);
  if (handle == INVALID_HANDLE_VALUE) return false;
  if (m_writePending) {
    // The record must be free before the handle (and later the object) goes.
    CancelIoEx(handle, &m_writeRecord);
    if (WaitForSingleObject(m_writeEvent, kCancelBoundMs) == WAIT_OBJECT_0) m_writePending = false;
  }
  return CloseHandle(handle) != FALSE;
}

bool CWin32SerialPort::SetCommMask(std::uint32_t mask) {
  // Stored first, so that the monitor woken by a zero mask sees why.
  m_mask.store(mask);
  const HANDLE handle = m_handle.load();
  return handle != INVALID_HANDLE_VALUE && ::SetCommMask(handle, mask) != FALSE;
}

bool CWin32SerialPort::SetupComm(std::uint32_t inQueue, std::uint32_t outQueue) {
  const HANDLE handle = m_handle.load();
  return handle != INVALID_HANDLE_VALUE && ::SetupComm(handle, inQueue, outQueue) != FALSE;
}

bool CWin32SerialPort::SetCommTimeouts(const CommTimeouts& t) {
  const HANDLE handle = m_handle.load();
  if (handle == INVALID_HANDLE_VALUE) return false;
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = t.ReadIntervalTimeout;
  timeouts.ReadTotalTimeoutMultiplier = t.ReadTotalTimeoutMultiplier;
  timeouts.ReadTotalTimeoutConstant = t.ReadTotalTimeoutConstant;
  timeouts.WriteTotalTimeoutMultiplier = t.WriteTotalTimeoutMultiplier;
  timeouts.WriteTotalTimeoutConstant = t.WriteTotalTimeoutConstant;
  return ::SetCommTimeouts(handle, &timeouts) != FALSE;
}

bool CWin32SerialPort::GetCommState(PortDcb& dcb) {
  const HANDLE handle = m_handle.load();
  if (handle == INVALID_HANDLE_VALUE) return false;
  DCB real{};
  real.DCBlength = sizeof(DCB);
  if (::GetCommState(handle, &real) == FALSE) return false;
  dcb = FromDcb(real);
  return true;
}

bool CWin32SerialPort::SetCommState(const PortDcb& dcb) {
  const HANDLE handle = m_handle.load();
  if (handle == INVALID_HANDLE_VALUE) return false;
  DCB real = ToDcb(dcb);
  return ::SetCommState(handle, &real) != FALSE;
}

bool CWin32SerialPort::EscapeCommFunction(EscapeCode code) {
  const HANDLE handle = m_handle.load();
  return handle != INVALID_HANDLE_VALUE && ::EscapeCommFunction(handle, static_cast<DWORD>(code)) != FALSE;
}

bool CWin32SerialPort::PurgeComm(std::uint32_t flags) {
  const HANDLE handle = m_handle.load();
  return handle != INVALID_HANDLE_VALUE && ::PurgeComm(handle, flags) != FALSE;
}

// A write still running when Write returned keeps the record. The next write
// waits for it rather than starting beside it: two writes in flight could
// leave out of order, and the record (and the bytes it points at) must not be
// reused while the driver owns them. The driver ends every write within its
// 5000 ms time-out; one that outlives even that is cancelled, and if the
// cancel does not come back either, the new bytes are dropped instead of
// touching a record that is still in use.
bool CWin32SerialPort::FinishPendingWrite(HANDLE handle) {
  DWORD written = 0;
  if (WaitForSingleObject(m_writeEvent, kPendingWriteBoundMs) != WAIT_OBJECT_0) {
    CancelIoEx(handle, &m_writeRecord);
    if (WaitForSingleObject(m_writeEvent, kCancelBoundMs) != WAIT_OBJECT_0) return false;
  }
  GetOverlappedResult(handle, &m_writeRecord, &written, FALSE);
  m_writePending = false;
  return true;
}

void CWin32SerialPort::Write(std::span<const std::uint8_t> data, std::uint32_t waitMs) {
  const std::lock_guard lock(m_writeLock);
  const HANDLE handle = m_handle.load();
  if (handle == INVALID_HANDLE_VALUE || m_writeEvent == nullptr || data.empty()) return;
  if (m_writePending && !FinishPendingWrite(handle)) return;

  m_writeBytes.assign(data.begin(), data.end());
  m_writeRecord = FreshRecord(m_writeEvent);
  DWORD written = 0;
  const DWORD size = static_cast<DWORD>(std::min<std::size_t>(m_writeBytes.size(), MAXDWORD));
  if (WriteFile(handle, m_writeBytes.data(), size, &written, &m_writeRecord) != FALSE) return;
  if (GetLastError() != ERROR_IO_PENDING) return;
  m_writePending = true;
  if (WaitForSingleObject(m_writeEvent, waitMs) == WAIT_OBJECT_0) {
    GetOverlappedResult(handle, &m_writeRecord, &written, FALSE);
    m_writePending = false;
  }
}

int CWin32SerialPort::Read(std::span<std::uint8_t> dest, std::uint32_t waitMs) {
  const std::lock_guard lock(m_readLock);
  const HANDLE handle = m_handle.load();
  if (handle == INVALID_HANDLE_VALUE || m_readEvent == nullptr || dest.empty()) return 0;

  DWORD errors = 0;
  COMSTAT status{};
  ClearCommError(handle, &errors, &status);

  m_readRecord = FreshRecord(m_readEvent);
  DWORD count = 0;
  const DWORD size = static_cast<DWORD>(std::min<std::size_t>(dest.size(), MAXDWORD));
  if (ReadFile(handle, dest.data(), size, &count, &m_readRecord) != FALSE) return static_cast<int>(count);
  if (GetLastError() != ERROR_IO_PENDING) return 0;
  if (WaitForSingleObject(m_readEvent, waitMs) != WAIT_OBJECT_0) {
    // The buffer is the caller's: the read must be over before we return.
    // CancelIoEx aims at this record only (CancelIo would also cancel a
    // write that the same thread has pending). Bytes that the read took in
    // just before the cancel are the caller's too.
    CancelIoEx(handle, &m_readRecord);
    if (GetOverlappedResult(handle, &m_readRecord, &count, TRUE) == FALSE) return 0;
    return static_cast<int>(count);
  }
  if (GetOverlappedResult(handle, &m_readRecord, &count, FALSE) == FALSE) return 0;
  return static_cast<int>(count);
}

bool CWin32SerialPort::PrepareEventWait() {
  m_monitorEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  m_monitorRecord = FreshRecord(m_monitorEvent);
  return m_monitorEvent != nullptr;
}

void CWin32SerialPort::EndEventWait() {
  if (m_monitorEvent != nullptr) CloseHandle(m_monitorEvent);
  m_monitorEvent = nullptr;
  m_monitorRecord = FreshRecord(nullptr);
}

void CWin32SerialPort::PauseAfterFailedWait() {
  m_eventWaitPauses.fetch_add(1);
  Sleep(kFailedWaitPauseMs);
}

std::uint32_t CWin32SerialPort::WaitCommEvent() {
  m_eventWaits.fetch_add(1);
  const HANDLE handle = m_handle.load();
  if (handle == INVALID_HANDLE_VALUE || m_monitorEvent == nullptr) {
    PauseAfterFailedWait();
    return 0;
  }
  m_monitorWord = 0;
  m_monitorRecord = FreshRecord(m_monitorEvent);
  if (::WaitCommEvent(handle, &m_monitorWord, &m_monitorRecord) == FALSE) {
    if (GetLastError() != ERROR_IO_PENDING) {
      PauseAfterFailedWait();
      return 0;
    }
    // No time-out: the engine's SetCommMask(0) in Close completes the wait.
    DWORD unused = 0;
    if (GetOverlappedResult(handle, &m_monitorRecord, &unused, TRUE) == FALSE) {
      PauseAfterFailedWait();
      return 0;
    }
  }
  // A wait that ends with nothing while the mask still asks for characters
  // did not come from Close: a device gone away does this on every call.
  if (m_monitorWord == 0 && m_mask.load() != 0) PauseAfterFailedWait();
  return m_monitorWord;
}

std::unique_ptr<IMonitorThread> CWin32SerialPort::StartMonitorThread(int priority, std::function<void()> loop,
                                                                     std::function<void()> /*onReceived*/) {
  auto owned = std::make_unique<std::function<void()>>(std::move(loop));
  // Suspended until its priority is set, so that it never runs at another.
  const std::uintptr_t started = _beginthreadex(nullptr, 0, &MonitorEntry, owned.get(), CREATE_SUSPENDED, nullptr);
  if (started == 0) return nullptr;
  owned.release();  // the thread deletes it
  const HANDLE thread = reinterpret_cast<HANDLE>(started);
  SetThreadPriority(thread, priority);
  ResumeThread(thread);
  return std::make_unique<CWin32MonitorThread>(thread);
}

std::unique_ptr<ISerialPort> MakePlatformSerialPort() { return std::make_unique<CWin32SerialPort>(); }

}  // namespace serial
