#pragma once
// The line a terminal program prints after the window's own port message:
// why the port did not open and what the user can do about it.
#include <string>

#include "framework/ui_language.h"
#include "serial/serial_port.h"

namespace fw {

struct PortAdvice {
  std::string cause;  // "no-such-device", "permission-denied", "in-use", "not-a-serial-device", "open-failed"
  std::string text;   // one line, in the language asked, cause then remedy; no line feed
};

// Looks at the system (the device node, its group, the processes holding it)
// as far as the platform allows; bounded in time.
PortAdvice AdviseOnOpenFailure(const serial::OpenError& error, fw::UiLanguage language);

}  // namespace fw
