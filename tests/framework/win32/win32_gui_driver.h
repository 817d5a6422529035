#pragma once
// Runs a dialog on the Win32 host on this thread while a driver thread acts
// on its real windows; the driver can also run code on the UI thread.
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "framework/dialog.h"
#include "framework/win32/win32_api.h"
#include "framework/win32/win32_host.h"

namespace fwgui {

inline constexpr unsigned kWmRun = fw::kWmUser + 100;  // lparam: std::function<void()>*
inline constexpr unsigned kWatchdogTimer = 9999;

// A dialog that ends itself after a while, so a stuck driver never hangs the test.
class DrivenDialog : public fw::CDialog {
 public:
  explicit DrivenDialog(fw::DialogTemplate t);
  bool OnInitDialog() override;
  void OnTimer(unsigned id) override;
  std::function<void(unsigned)> onTimer;
  std::atomic<bool> timedOut{false};
};

// Runs dialog modally; once its window exists, drive(dialogWindow) runs on a second thread.
int RunDriven(fw::Win32DialogHost& host, DrivenDialog& dialog, const std::function<void(HWND)>& drive);

// From the driver thread: runs fn on the UI thread and waits for it.
void OnUi(HWND dialog, const std::function<void()>& fn);

// Polls until pred holds, at most timeout; false on time-out.
bool WaitFor(const std::function<bool()>& pred, std::chrono::milliseconds timeout = std::chrono::seconds(10));

std::wstring ClassOf(HWND hwnd);
std::string TextOf(HWND hwnd);

// A visible dialog window of this process (a message box) that owner owns, shown by any of its
// threads, with that caption unless it is empty; null when none came within the time-out. A null
// owner finds boxes without one.
HWND FindOwnedDialog(HWND owner, std::wstring_view caption, std::chrono::milliseconds timeout = std::chrono::seconds(10));
// A message box owned by dialog, as the driver finds it; null when none came within the time-out.
HWND FindMessageBox(HWND dialog, std::chrono::milliseconds timeout = std::chrono::seconds(10));
// The box's text (the static the system gives id 0xFFFF).
std::string MessageBoxText(HWND box);

// Captures the window (frame included) and writes it as PNG under FW_SCREENSHOT_DIR; the path or "" on failure.
std::string CaptureWindowPng(HWND hwnd, const std::string& fileName);

}  // namespace fwgui
