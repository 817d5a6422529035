#include "serial/comm_settings.h"

LineSettings ToLineSettings(const CommSettings& s) {
  // The updater's binary mode, parity checking and discard-nulls are fixed.
  return {s.portName, s.baudRate, s.byteSize, s.parity, s.stopBits, s.dsrDtrHandshake, s.ctsRtsHandshake,
          s.xonXoff, 1, 1, 0};
}

LineSettings ToLineSettings(const TorvikCommSettings& s) {
  return {s.portName, s.baudRate, s.byteSize, s.parity, s.stopBits, s.dsrDtrHandshake, s.ctsRtsHandshake,
          s.xonXoff, s.binaryMode, s.parityChecking, s.discardNulls};
}
