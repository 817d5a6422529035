#include "win32_gui_driver.h"

#include <cstdlib>
#include <future>
#include <thread>
#include <vector>

#include "framework/png_file.h"
#include "framework/win32/wide_text.h"

namespace fwgui {

DrivenDialog::DrivenDialog(fw::DialogTemplate t) : CDialog(std::move(t)) {
  OnMessage(kWmRun, [](std::uintptr_t, std::intptr_t lparam) -> std::intptr_t {
    (*reinterpret_cast<const std::function<void()>*>(lparam))();
    return 1;
  });
}

bool DrivenDialog::OnInitDialog() {
  SetTimer(kWatchdogTimer, 60000);
  return CDialog::OnInitDialog();
}

void DrivenDialog::OnTimer(unsigned id) {
  if (id == kWatchdogTimer) {
    timedOut = true;
    EndDialog(-99);
  } else if (onTimer) {
    onTimer(id);
  }
}

int RunDriven(fw::Win32DialogHost& host, DrivenDialog& dialog, const std::function<void(HWND)>& drive) {
  std::promise<HWND> ready;
  std::future<HWND> window = ready.get_future();
  // The driver starts once the dialog runs its message loop: a posted message arrives there.
  constexpr unsigned kWmStarted = fw::kWmUser + 101;
  dialog.OnMessage(kWmStarted, [&](std::uintptr_t, std::intptr_t) -> std::intptr_t {
    ready.set_value(static_cast<HWND>(host.Window()));
    return 0;
  });
  std::thread driver([&] {
    if (window.wait_for(std::chrono::seconds(30)) != std::future_status::ready) return;
    HWND dlg = window.get();
    drive(dlg);
  });
  // Posted from the UI thread before the modal loop starts: the first thing the loop handles.
  std::thread poster([&] {
    for (int i = 0; i < 3000 && host.Window() == nullptr; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    host.PostMessage(kWmStarted, 0, 0);
  });
  const int result = host.RunModal(dialog);
  poster.join();
  driver.join();
  return result;
}

void OnUi(HWND dialog, const std::function<void()>& fn) {
  SendMessageW(dialog, kWmRun, 0, reinterpret_cast<LPARAM>(&fn));
}

bool WaitFor(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[64] = {};
  const int n = GetClassNameW(hwnd, name, 64);
  return std::wstring(name, static_cast<std::size_t>(n > 0 ? n : 0));
}

std::string TextOf(HWND hwnd) {
  std::vector<wchar_t> buf(4096, L'\0');
  const LRESULT n = SendMessageW(hwnd, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()));
  return fw::win32::Narrow(std::wstring_view(buf.data(), static_cast<std::size_t>(n > 0 ? n : 0)));
}

HWND FindOwnedDialog(HWND owner, std::wstring_view caption, std::chrono::milliseconds timeout) {
  struct Search {
    HWND owner;
    std::wstring_view caption;
    HWND found = nullptr;
  } search{owner, caption};
  WaitFor(
      [&] {
        EnumWindows(
            [](HWND hwnd, LPARAM lp) -> BOOL {
              auto* s = reinterpret_cast<Search*>(lp);
              DWORD pid = 0;
              GetWindowThreadProcessId(hwnd, &pid);
              if (pid != GetCurrentProcessId() || hwnd == s->owner || GetWindow(hwnd, GW_OWNER) != s->owner ||
                  ClassOf(hwnd) != L"#32770" || !IsWindowVisible(hwnd))
                return TRUE;
              wchar_t text[256] = {};
              GetWindowTextW(hwnd, text, 256);
              if (!s->caption.empty() && s->caption != text) return TRUE;
              s->found = hwnd;
              return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
      },
      timeout);
  return search.found;
}

HWND FindMessageBox(HWND dialog, std::chrono::milliseconds timeout) { return FindOwnedDialog(dialog, {}, timeout); }

std::string MessageBoxText(HWND box) { return TextOf(GetDlgItem(box, 0xFFFF)); }

std::string CaptureWindowPng(HWND hwnd, const std::string& fileName) {
  const char* dir = std::getenv("FW_SCREENSHOT_DIR");
  if (dir == nullptr || *dir == '\0') return {};
  CreateDirectoryW(fw::win32::Widen(dir).c_str(), nullptr);
  RECT r{};
  GetWindowRect(hwnd, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return {};
  HDC windowDc = GetWindowDC(hwnd);
  HDC memDc = CreateCompatibleDC(windowDc);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top-down rows
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(memDc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  std::string path;
  if (dib != nullptr && bits != nullptr) {
    HGDIOBJ old = SelectObject(memDc, dib);
    // The window's pixels as shown; Wine's PrintWindow leaves the child controls out.
    BitBlt(memDc, 0, 0, w, h, windowDc, 0, 0, SRCCOPY);
    GdiFlush();
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(w) * h * 3);
    const auto* px = static_cast<const std::uint8_t*>(bits);
    for (std::size_t i = 0; i < static_cast<std::size_t>(w) * h; ++i) {
      rgb[i * 3] = px[i * 4 + 2];
      rgb[i * 3 + 1] = px[i * 4 + 1];
      rgb[i * 3 + 2] = px[i * 4];
    }
    SelectObject(memDc, old);
    path = std::string(dir) + "/" + fileName;
    if (!fw::WritePngFile(path, w, h, rgb)) path.clear();
  }
  if (dib) DeleteObject(dib);
  DeleteDC(memDc);
  ReleaseDC(hwnd, windowDc);
  return path;
}

}  // namespace fwgui
