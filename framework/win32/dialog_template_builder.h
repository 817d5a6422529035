#pragma once
// The in-memory dialog template (DLGTEMPLATE with DS_SETFONT and one
// DLGITEMTEMPLATE per control) that DialogBoxIndirectParamW runs.
#include <cstdint>
#include <string_view>
#include <vector>

#include "framework/dialog_host.h"

namespace fw::win32 {

// The platform's window style and extended style for a dialog.
std::uint32_t DialogWindowStyle(unsigned dialogStyle);
std::uint32_t DialogExtendedStyle(unsigned dialogStyle);
// The platform's style for a control (WS_CHILD | WS_VISIBLE and the kind's own bits).
std::uint32_t ControlWindowStyle(const ControlTemplate& control);
// The registered class name the platform gives the control kind ("Button", "Edit", ...).
std::wstring_view ControlClassName(ControlKind kind);

// The template as 16-bit words, DWORD-aligned from the start of the buffer.
// Out-of-range numbers (coordinates beyond a short, more than 65535
// controls) are clamped, so any input gives a well-formed template.
std::vector<std::uint16_t> BuildDialogTemplate(const DialogTemplate& dialog);

}  // namespace fw::win32
