// The settings-to-DCB mapping: what it changes and what it must leave alone.
#include <gtest/gtest.h>

#include "serial/port_dcb.h"

namespace {

using namespace serial;

PortDcb DriverDefaults() {
  PortDcb dcb;
  dcb.BaudRate = 1200;
  dcb.Parity = kMarkParity;
  dcb.StopBits = kTwoStopBits;
  dcb.fDsrSensitivity = 1;
  dcb.fTXContinueOnXoff = 1;
  dcb.fErrorChar = 1;
  dcb.fAbortOnError = 1;
  dcb.ErrorChar = '?';
  dcb.EofChar = 0x1A;
  dcb.EvtChar = 0x7E;
  dcb.fNull = 1;
  return dcb;
}

TEST(DcbMapping, ParityIndexOneIsEvenTwoIsOddAndUnknownKeepsThePorts) {
  const std::pair<int, std::uint8_t> cases[] = {
      {0, kNoParity}, {1, kEvenParity}, {2, kOddParity}, {3, kMarkParity}, {4, kSpaceParity}, {7, kMarkParity}, {-1, kMarkParity}};
  for (const auto& [index, expected] : cases) {
    PortDcb dcb = DriverDefaults();
    LineSettings s;
    s.parity = index;
    ApplyLineSettings(dcb, s);
    EXPECT_EQ(dcb.Parity, expected) << index;
  }
  for (const auto& [index, expected] :
       std::initializer_list<std::pair<int, std::uint8_t>>{{0, kOneStopBit}, {1, kOne5StopBits}, {2, kTwoStopBits}, {3, kTwoStopBits}}) {
    PortDcb dcb = DriverDefaults();
    LineSettings s;
    s.stopBits = index;
    ApplyLineSettings(dcb, s);
    EXPECT_EQ(dcb.StopBits, expected) << index;
  }
}

TEST(DcbMapping, NoHandshakeRaisesBothLinesWithoutFlowControl) {
  PortDcb dcb = DriverDefaults();
  LineSettings s;
  s.baudRate = 57600;
  s.byteSize = 0x108;  // low 8 bits used
  ApplyLineSettings(dcb, s);
  EXPECT_EQ(dcb.BaudRate, 57600u);
  EXPECT_EQ(dcb.ByteSize, 8);
  EXPECT_EQ(dcb.fDtrControl, kDtrControlEnable);
  EXPECT_EQ(dcb.fRtsControl, kRtsControlEnable);
  EXPECT_EQ(dcb.fOutxDsrFlow, 0);
  EXPECT_EQ(dcb.fOutxCtsFlow, 0);
  EXPECT_EQ(dcb.fOutX, 0);
  EXPECT_EQ(dcb.fInX, 0);
  EXPECT_EQ(dcb.XonChar, 0x11);
  EXPECT_EQ(dcb.XoffChar, 0x13);
  EXPECT_EQ(dcb.XonLim, 100);
  EXPECT_EQ(dcb.XoffLim, 100);
  EXPECT_EQ(dcb.fBinary, 1);
  EXPECT_EQ(dcb.fParity, 1);
  EXPECT_EQ(dcb.fNull, 0);
  // What the settings do not name stays as the driver reported it.
  EXPECT_EQ(dcb.fDsrSensitivity, 1);
  EXPECT_EQ(dcb.fTXContinueOnXoff, 1);
  EXPECT_EQ(dcb.fErrorChar, 1);
  EXPECT_EQ(dcb.fAbortOnError, 1);
  EXPECT_EQ(dcb.ErrorChar, '?');
  EXPECT_EQ(dcb.EofChar, 0x1A);
  EXPECT_EQ(dcb.EvtChar, 0x7E);
}

TEST(DcbMapping, HandshakeFlagsSelectHandshakingAndTheConfiguratorsOwnFlags) {
  PortDcb dcb = DriverDefaults();
  TorvikCommSettings t;
  t.dsrDtrHandshake = 3;  // bit 0 for the flow flag, non-zero for the control mode
  t.ctsRtsHandshake = 2;
  t.xonXoff = 1;
  t.binaryMode = 2;       // bit 0 only
  t.parityChecking = 0;
  t.discardNulls = 1;
  ApplyLineSettings(dcb, ToLineSettings(t));
  EXPECT_EQ(dcb.fOutxDsrFlow, 1);
  EXPECT_EQ(dcb.fDtrControl, kDtrControlHandshake);
  EXPECT_EQ(dcb.fOutxCtsFlow, 0);
  EXPECT_EQ(dcb.fRtsControl, kRtsControlHandshake);
  EXPECT_EQ(dcb.fOutX, 1);
  EXPECT_EQ(dcb.fInX, 1);
  EXPECT_EQ(dcb.fBinary, 0);
  EXPECT_EQ(dcb.fParity, 0);
  EXPECT_EQ(dcb.fNull, 1);

  // The updater's record always means binary on, parity checking on, nulls kept.
  const LineSettings u = ToLineSettings(CommSettings{"COM3", 19200, 8, 0, 0, 0, 0, 0});
  EXPECT_EQ(u.binaryMode, 1);
  EXPECT_EQ(u.parityChecking, 1);
  EXPECT_EQ(u.discardNulls, 0);
  EXPECT_EQ(u.portName, "COM3");
  EXPECT_EQ(u.baudRate, 19200u);
}

}  // namespace
