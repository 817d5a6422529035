#pragma once
// A portable image of the platform's device-control block: the fields the
// engine reads and writes, with the platform's values. The Win32 backend
// copies it to and from a real DCB; the POSIX backend maps it onto termios.
#include <cstdint>

#include "serial/comm_settings.h"

namespace serial {

inline constexpr std::uint8_t kNoParity = 0, kOddParity = 1, kEvenParity = 2, kMarkParity = 3, kSpaceParity = 4;
inline constexpr std::uint8_t kOneStopBit = 0, kOne5StopBits = 1, kTwoStopBits = 2;
inline constexpr std::uint8_t kDtrControlDisable = 0, kDtrControlEnable = 1, kDtrControlHandshake = 2;
inline constexpr std::uint8_t kRtsControlDisable = 0, kRtsControlEnable = 1, kRtsControlHandshake = 2;

struct PortDcb {
  std::uint32_t DCBlength = 28;
  std::uint32_t BaudRate = 0;
  std::uint8_t fBinary = 0;
  std::uint8_t fParity = 0;
  std::uint8_t fOutxCtsFlow = 0;
  std::uint8_t fOutxDsrFlow = 0;
  std::uint8_t fDtrControl = 0;
  std::uint8_t fDsrSensitivity = 0;
  std::uint8_t fTXContinueOnXoff = 0;
  std::uint8_t fOutX = 0;
  std::uint8_t fInX = 0;
  std::uint8_t fErrorChar = 0;
  std::uint8_t fNull = 0;
  std::uint8_t fRtsControl = 0;
  std::uint8_t fAbortOnError = 0;
  std::uint16_t XonLim = 0;
  std::uint16_t XoffLim = 0;
  std::uint8_t ByteSize = 8;
  std::uint8_t Parity = kNoParity;
  std::uint8_t StopBits = kOneStopBit;
  char XonChar = 0;
  char XoffChar = 0;
  char ErrorChar = 0;
  char EofChar = 0;
  char EvtChar = 0;

  bool operator==(const PortDcb&) const = default;
};

// Changes the fields the settings decide; every other field keeps the value
// the driver reported.
void ApplyLineSettings(PortDcb& dcb, const LineSettings& settings);

}  // namespace serial
