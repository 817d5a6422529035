#pragma once
// A message box with an OK button, safe to show from any thread. The owner
// window may be destroyed by its own thread at any moment; a box whose owner
// is gone is shown without one rather than not at all.
#include <string>

namespace fw::win32 {

// Returns the button pressed (IDOK); owner may be null or a stale handle.
int ShowMessageBox(void* owner, const std::wstring& text, const std::wstring& caption);

}  // namespace fw::win32
