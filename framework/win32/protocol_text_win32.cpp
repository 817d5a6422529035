#include <windows.h>

#include <climits>

#include "framework/protocol_text.h"
#include "framework/win32/wide_text.h"

namespace fw {

bool ToProtocolBytes(std::string_view utf8, std::string& bytes) {
  bytes.clear();
  if (utf8.empty()) return true;
  const std::wstring wide = win32::Widen(utf8);
  BOOL usedDefault = FALSE;
  const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), nullptr,
                                    0, nullptr, &usedDefault);
  if (n <= 0 || usedDefault) return false;
  bytes.resize(static_cast<std::size_t>(n));
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), bytes.data(), n,
                      nullptr, &usedDefault);
  return !usedDefault;
}

std::string ProtocolBytesToUtf8(std::string_view bytes) {
  if (bytes.empty()) return {};
  const int length = bytes.size() > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(bytes.size());
  const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, wide.data(), n);
  return win32::Narrow(wide);
}

}  // namespace fw
