#include "framework/win32/message_box.h"

#include "framework/win32/win32_api.h"

namespace fw::win32 {

int ShowMessageBox(void* owner, const std::wstring& text, const std::wstring& caption) {
  HWND hwnd = static_cast<HWND>(owner);
  if (hwnd != nullptr && IsWindow(hwnd) == FALSE) hwnd = nullptr;
  int r = MessageBoxW(hwnd, text.c_str(), caption.c_str(), MB_OK);
  // Destroyed between the test and the call: the box would not come up at all.
  if (r == 0 && hwnd != nullptr && IsWindow(hwnd) == FALSE) r = MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK);
  return r == 0 ? IDOK : r;
}

}  // namespace fw::win32
