#include <windows.h>

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

}  // namespace fw
