#pragma once
// UTF-8 inside, UTF-16 at the Win32 boundary.
#include <string>
#include <string_view>

namespace fw::win32 {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);
// The system's message text for a Win32 error code, without the trailing line break.
std::string SystemErrorText(unsigned long code);

}  // namespace fw::win32
