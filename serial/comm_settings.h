#pragma once
// Line settings as the two programs hand them to the engine, and the one
// form the engine works with.
#include <cstdint>
#include <string>

// The updater's record.
struct CommSettings {
  std::string portName;        // e.g. "COM1", "/dev/ttyUSB0"
  std::uint32_t baudRate = 9600;
  int byteSize = 8;            // low 8 bits used
  int parity = 0;              // 0 none, 1 even, 2 odd, 3 mark, 4 space
  int stopBits = 0;            // 0 one, 1 one and a half, 2 two
  int dsrDtrHandshake = 0;
  int ctsRtsHandshake = 0;
  int xonXoff = 0;
};

// The configurator's record: rate, size and parity first, and three more
// flags at its end (bit 0 of each is used).
struct TorvikCommSettings {
  std::uint32_t baudRate = 9600;
  int byteSize = 8;
  int parity = 0;
  std::string portName;
  int stopBits = 0;
  int dsrDtrHandshake = 0;
  int ctsRtsHandshake = 0;
  int xonXoff = 0;
  int binaryMode = 1;
  int parityChecking = 1;
  int discardNulls = 0;
};

// What the engine applies: either record, the updater's with its fixed flags.
struct LineSettings {
  std::string portName;
  std::uint32_t baudRate = 9600;
  int byteSize = 8;
  int parity = 0;
  int stopBits = 0;
  int dsrDtrHandshake = 0;
  int ctsRtsHandshake = 0;
  int xonXoff = 0;
  int binaryMode = 1;
  int parityChecking = 1;
  int discardNulls = 0;
};

LineSettings ToLineSettings(const CommSettings& s);
LineSettings ToLineSettings(const TorvikCommSettings& s);
