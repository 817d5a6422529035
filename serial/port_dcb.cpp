#include "serial/port_dcb.h"

namespace serial {

void ApplyLineSettings(PortDcb& dcb, const LineSettings& s) {
  dcb.BaudRate = s.baudRate;
  dcb.ByteSize = static_cast<std::uint8_t>(s.byteSize & 0xFF);
  // The settings number even 1 and odd 2, the reverse of the platform's own.
  switch (s.parity) {
    case 0: dcb.Parity = kNoParity; break;
    case 1: dcb.Parity = kEvenParity; break;
    case 2: dcb.Parity = kOddParity; break;
    case 3: dcb.Parity = kMarkParity; break;
    case 4: dcb.Parity = kSpaceParity; break;
    default: break;  // the port's current parity stays
  }
  switch (s.stopBits) {
    case 0: dcb.StopBits = kOneStopBit; break;
    case 1: dcb.StopBits = kOne5StopBits; break;
    case 2: dcb.StopBits = kTwoStopBits; break;
    default: break;
  }
  dcb.fOutxDsrFlow = static_cast<std::uint8_t>(s.dsrDtrHandshake & 1);
  dcb.fDtrControl = s.dsrDtrHandshake != 0 ? kDtrControlHandshake : kDtrControlEnable;
  dcb.fOutxCtsFlow = static_cast<std::uint8_t>(s.ctsRtsHandshake & 1);
  dcb.fRtsControl = s.ctsRtsHandshake != 0 ? kRtsControlHandshake : kRtsControlEnable;
  dcb.fOutX = static_cast<std::uint8_t>(s.xonXoff & 1);
  dcb.fInX = static_cast<std::uint8_t>(s.xonXoff & 1);
  dcb.XonChar = 0x11;
  dcb.XoffChar = 0x13;
  dcb.XonLim = 100;
  dcb.XoffLim = 100;
  dcb.fBinary = static_cast<std::uint8_t>(s.binaryMode & 1);
  dcb.fParity = static_cast<std::uint8_t>(s.parityChecking & 1);
  dcb.fNull = static_cast<std::uint8_t>(s.discardNulls & 1);
}

}  // namespace serial
