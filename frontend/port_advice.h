#pragma once
// The line a terminal program prints after the window's own port message:
// why the port did not open and what the user can do about it.
#include <string>
#include <string_view>

#include "framework/ui_language.h"
#include "serial/port_facts.h"
#include "serial/serial_port.h"

namespace fe {

struct PortAdvice {
  std::string cause;  // "no-such-device", "permission-denied", "in-use", "not-a-serial-device", "open-failed"
  std::string text;   // one line, in the language asked, cause then remedy; no line feed
};

// Looks at the system (the device node, its group, the processes holding it)
// as far as the platform allows; bounded in time.
PortAdvice AdviseOnOpenFailure(const serial::OpenError& error, fw::UiLanguage language);

// Portable: the line for an error and its facts.
PortAdvice ComposePortAdvice(const serial::OpenError& error, const serial::PortFacts& facts, fw::UiLanguage language);

// The path as a terminal line can show it: control characters as '?', and
// over-long paths cut in the middle (at a character boundary) with "...".
std::string DisplayPath(std::string_view path);

}  // namespace fe
