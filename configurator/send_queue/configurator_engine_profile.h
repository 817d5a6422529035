#pragma once
// The configurator's engine: opens "//./COMn" with large queues, raises DTR
// and RTS after opening, clears both queues before closing, and reports open
// and settings failures in boxes.
#include "serial/tty_engine.h"

inline EngineProfile ConfiguratorEngineProfile() { return {true, 5242880, 32768, true, true, true}; }
