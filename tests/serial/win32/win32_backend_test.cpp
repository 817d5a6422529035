// The Win32 backend without a far end: the DCB copies, the open-failure
// classes, and what a port that is not open (or does not exist) does.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdint>

#include "serial/engine.h"
#include "serial/tty_engine.h"
#include "serial/win32/win32_serial_port.h"

namespace {

using serial::CWin32SerialPort;
using serial::OpenFailure;
using serial::PortDcb;

// Every field set, each to a value no other field has, within its width.
PortDcb DistinctDcb() {
  PortDcb p;
  p.DCBlength = 28;
  p.BaudRate = 921600;
  p.fBinary = 1;
  p.fParity = 0;
  p.fOutxCtsFlow = 1;
  p.fOutxDsrFlow = 0;
  p.fDtrControl = 2;
  p.fDsrSensitivity = 1;
  p.fTXContinueOnXoff = 0;
  p.fOutX = 1;
  p.fInX = 0;
  p.fErrorChar = 1;
  p.fNull = 0;
  p.fRtsControl = 3;
  p.fAbortOnError = 1;
  p.XonLim = 2048;
  p.XoffLim = 512;
  p.ByteSize = 7;
  p.Parity = serial::kMarkParity;
  p.StopBits = serial::kTwoStopBits;
  p.XonChar = 0x11;
  p.XoffChar = 0x13;
  p.ErrorChar = '?';
  p.EofChar = 0x1A;
  p.EvtChar = '\n';
  return p;
}

TEST(Win32Dcb, EveryFieldRoundTrips) {
  const PortDcb p = DistinctDcb();
  EXPECT_EQ(serial::FromDcb(serial::ToDcb(p)), p);
  // The complement of every one-bit flag, so no flag is stuck at 0 or 1.
  PortDcb q = p;
  for (std::uint8_t* flag : {&q.fBinary, &q.fParity, &q.fOutxCtsFlow, &q.fOutxDsrFlow, &q.fDsrSensitivity,
                             &q.fTXContinueOnXoff, &q.fOutX, &q.fInX, &q.fErrorChar, &q.fNull, &q.fAbortOnError}) {
    *flag ^= 1;
  }
  q.fDtrControl = 1;
  q.fRtsControl = 0;
  EXPECT_EQ(serial::FromDcb(serial::ToDcb(q)), q);
}

TEST(Win32Dcb, FieldsLandInTheirOwnDcbMembers) {
  const DCB d = serial::ToDcb(DistinctDcb());
  EXPECT_EQ(d.DCBlength, 28u);
  EXPECT_EQ(d.BaudRate, 921600u);
  EXPECT_EQ(d.fBinary, 1u);
  EXPECT_EQ(d.fParity, 0u);
  EXPECT_EQ(d.fOutxCtsFlow, 1u);
  EXPECT_EQ(d.fOutxDsrFlow, 0u);
  EXPECT_EQ(d.fDtrControl, static_cast<DWORD>(DTR_CONTROL_HANDSHAKE));
  EXPECT_EQ(d.fDsrSensitivity, 1u);
  EXPECT_EQ(d.fTXContinueOnXoff, 0u);
  EXPECT_EQ(d.fOutX, 1u);
  EXPECT_EQ(d.fInX, 0u);
  EXPECT_EQ(d.fErrorChar, 1u);
  EXPECT_EQ(d.fNull, 0u);
  EXPECT_EQ(d.fRtsControl, static_cast<DWORD>(RTS_CONTROL_TOGGLE));
  EXPECT_EQ(d.fAbortOnError, 1u);
  EXPECT_EQ(d.fDummy2, 0u);
  EXPECT_EQ(d.XonLim, 2048);
  EXPECT_EQ(d.XoffLim, 512);
  EXPECT_EQ(d.ByteSize, 7);
  EXPECT_EQ(d.Parity, MARKPARITY);
  EXPECT_EQ(d.StopBits, TWOSTOPBITS);
  EXPECT_EQ(d.XonChar, 0x11);
  EXPECT_EQ(d.XoffChar, 0x13);
  EXPECT_EQ(d.ErrorChar, '?');
  EXPECT_EQ(d.EofChar, 0x1A);
  EXPECT_EQ(d.EvtChar, '\n');
}

TEST(Win32OpenError, ClassesTellNotFoundFromAPortInUse) {
  EXPECT_EQ(serial::ClassifyOpenError(ERROR_FILE_NOT_FOUND, "COM3"), OpenFailure::NotFound);
  EXPECT_EQ(serial::ClassifyOpenError(ERROR_PATH_NOT_FOUND, "//./COM3"), OpenFailure::NotFound);
  // A port that another program holds: Windows says access denied.
  EXPECT_EQ(serial::ClassifyOpenError(ERROR_ACCESS_DENIED, "COM3"), OpenFailure::Busy);
  EXPECT_EQ(serial::ClassifyOpenError(ERROR_ACCESS_DENIED, "//./COM12"), OpenFailure::Busy);
  EXPECT_EQ(serial::ClassifyOpenError(ERROR_SHARING_VIOLATION, "\\\\.\\com7"), OpenFailure::Busy);
  EXPECT_EQ(serial::ClassifyOpenError(ERROR_ACCESS_DENIED, "C:\\logs\\port.txt"), OpenFailure::AccessDenied);
  EXPECT_EQ(serial::ClassifyOpenError(ERROR_INVALID_NAME, "COM3"), OpenFailure::Other);

  EXPECT_TRUE(serial::IsComDevicePath("com1"));
  EXPECT_FALSE(serial::IsComDevicePath("COM"));
  EXPECT_FALSE(serial::IsComDevicePath("COMX"));
  EXPECT_FALSE(serial::IsComDevicePath("//./COM1/x"));
}

TEST(Win32Port, PortsAboveNineGoThroughTheDeviceNamespaceInBothPrograms) {
  CWin32SerialPort port;
  EXPECT_EQ(port.DevicePath("COM3", false), "COM3");
  EXPECT_EQ(port.DevicePath("COM12", false), "//./COM12");
  EXPECT_EQ(port.DevicePath("COM12", true), "//./COM12");
  EXPECT_EQ(port.DevicePath("COM3", true), "//./COM3");
}

TEST(Win32Port, AMissingPortIsNotFoundAndSaysSo) {
  CWin32SerialPort port;
  for (const bool prefix : {false, true}) {
    const std::string path = port.DevicePath(prefix ? "COM197" : "COM9", prefix);
    EXPECT_FALSE(port.OpenDevice(path));
    EXPECT_EQ(port.LastOpenError().kind, OpenFailure::NotFound) << port.LastOpenError().detail;
    EXPECT_EQ(port.LastOpenError().path, path);
    EXPECT_FALSE(port.LastOpenError().detail.empty());
  }
  // Through the engine, with the platform's own backend.
  serial::CPlainEngineOwner owner;
  serial::Engine<CTTYnew> engine(owner);
  CommSettings s;
  s.portName = "COM9";
  EXPECT_EQ(engine.Open(s), 0);
  EXPECT_FALSE(engine.IsConnected());
  EXPECT_EQ(engine.LastOpenError().kind, OpenFailure::NotFound);
}

TEST(Win32Port, NothingWorksOnAPortThatIsNotOpenAndNothingBreaks) {
  CWin32SerialPort port;
  PortDcb dcb;
  dcb.BaudRate = 1234;
  EXPECT_FALSE(port.GetCommState(dcb));
  EXPECT_EQ(dcb.BaudRate, 1234u);
  EXPECT_FALSE(port.SetCommState(dcb));
  EXPECT_FALSE(port.SetCommMask(serial::kEvRxChar));
  EXPECT_FALSE(port.SetupComm(4096, 4096));
  EXPECT_FALSE(port.SetCommTimeouts({}));
  EXPECT_FALSE(port.EscapeCommFunction(serial::EscapeCode::SetBreak));
  EXPECT_FALSE(port.PurgeComm(serial::kPurgeAll));
  const std::array<std::uint8_t, 4> bytes{1, 2, 3, 4};
  port.Write(bytes, 10);
  std::array<std::uint8_t, 4> into{};
  EXPECT_EQ(port.Read(into, 10), 0);
  EXPECT_FALSE(port.CloseDevice());

  serial::CPlainEngineOwner owner;
  serial::Engine<CTTYnew> engine(owner);
  EXPECT_EQ(engine.Close(), 0);
  EXPECT_EQ(engine.WriteBytes(bytes.data(), 4), 0);
  EXPECT_EQ(engine.ReadBytes(into.data(), 4), 0);
}

TEST(Win32Port, MonitorThreadRunsItsLoopAndCanBeWaitedOn) {
  CWin32SerialPort port;
  std::atomic<int> ran{0};
  auto thread = port.StartMonitorThread(CTTYnew::kBelowNormalPriority, [&] { ran.store(1); }, [] {});
  ASSERT_NE(thread, nullptr);
  EXPECT_NE(thread->WaitHandle(), -1);
  EXPECT_NE(thread->WaitHandle(), 0);
  thread->Join();
  EXPECT_EQ(ran.load(), 1);
  // The thread has ended: its handle is signalled.
  EXPECT_EQ(WaitForSingleObject(reinterpret_cast<HANDLE>(thread->WaitHandle()), 0), WAIT_OBJECT_0);
}

}  // namespace
