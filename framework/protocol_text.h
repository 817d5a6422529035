#pragma once
// Text typed by the user as the bytes a serial protocol carries: the ANSI
// code page on Windows (as the platform's 8-bit programs send it), UTF-8
// elsewhere.
#include <string>
#include <string_view>

namespace fw {

// false when a character has no form in the target encoding (nothing is
// substituted for it); bytes then holds nothing useful.
bool ToProtocolBytes(std::string_view utf8, std::string& bytes);

// The other way, for showing bytes that came from the line or from a file the
// platform's 8-bit programs write (the type file): UTF-8 text. A byte with no
// character in the code page shows as the platform's default character.
std::string ProtocolBytesToUtf8(std::string_view bytes);

}  // namespace fw
