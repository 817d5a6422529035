#pragma once
// The updater's engine: the engine's own defaults ("COMn" as named, the
// smaller queues, the lines left as they are, no boxes of the engine's own).
#include "serial/tty_engine.h"

namespace brevan {

inline EngineProfile UpdaterEngineProfile() { return {}; }

}  // namespace brevan
