#include "tests/support/win32/foreign_window.h"

#include <cstdio>
#include <cstdlib>
#include <thread>

#include "framework/png_file.h"
#include "framework/win32/wide_text.h"

namespace drive {
namespace {

std::string g_name = "gui-driver";
// Room for what a log line can gain between its length and its text being read.
constexpr std::size_t kListLineSlack = 4096;

}  // namespace

void SetName(std::string name) { g_name = std::move(name); }

void Fail(const std::string& what) {
  std::fprintf(stderr, "%s: FAIL: %s\n", g_name.c_str(), what.c_str());
  std::fflush(stderr);
  std::exit(1);
}

void Note(const std::string& what) {
  std::printf("%s: %s\n", g_name.c_str(), what.c_str());
  std::fflush(stdout);
}

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

LRESULT Send(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT timeoutMs) {
  DWORD_PTR result = 0;
  if (SendMessageTimeoutW(hwnd, msg, wparam, lparam, SMTO_NORMAL, timeoutMs, &result) == 0) {
    Fail("the window did not answer message 0x" + std::to_string(msg) + " within " + std::to_string(timeoutMs) +
         " ms (hung?)");
  }
  return static_cast<LRESULT>(result);
}

bool Answers(HWND hwnd, UINT withinMs) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, withinMs, &result) != 0;
}

std::string TextOf(HWND hwnd) {
  std::vector<wchar_t> buf(16384, L'\0');
  const LRESULT n = Send(hwnd, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()));
  return fw::win32::Narrow(std::wstring_view(buf.data(), static_cast<std::size_t>(n > 0 ? n : 0)));
}

std::string ClassOf(HWND hwnd) {
  wchar_t name[64] = {};
  const int n = GetClassNameW(hwnd, name, 64);
  return fw::win32::Narrow(std::wstring_view(name, static_cast<std::size_t>(n > 0 ? n : 0)));
}

std::vector<std::string> ListBoxLines(HWND list) {
  std::vector<std::string> lines;
  const LRESULT count = Send(list, LB_GETCOUNT, 0, 0);
  // LB_GETTEXT takes no buffer size, and the program goes on writing its log
  // between our two messages: a line that grew meanwhile (an " OK" appended)
  // would overrun a buffer sized by LB_GETTEXTLEN. The buffer has room to spare,
  // and a line whose length changed is read again.
  std::vector<wchar_t> buf;
  for (LRESULT i = 0; i < count; ++i) {
    LRESULT n = -1;
    for (int attempt = 0; attempt < 3; ++attempt) {
      const LRESULT length = Send(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
      if (length < 0) return lines;  // emptied meanwhile
      buf.assign(static_cast<std::size_t>(length) + kListLineSlack + 1, L'\0');
      n = Send(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf.data()));
      if (n < 0) return lines;
      if (n == length) break;
    }
    if (static_cast<std::size_t>(n) >= buf.size())
      Fail("a log line grew past " + std::to_string(buf.size()) + " characters while it was read");
    lines.push_back(fw::win32::Narrow(std::wstring_view(buf.data(), static_cast<std::size_t>(n))));
  }
  return lines;
}

std::vector<HWND> ForeignDialogs() {
  struct Found {
    DWORD self;
    std::vector<HWND> windows;
  } found{GetCurrentProcessId(), {}};
  EnumWindows(
      [](HWND hwnd, LPARAM lp) -> BOOL {
        auto* f = reinterpret_cast<Found*>(lp);
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        if (pid != f->self && IsWindowVisible(hwnd) && ClassOf(hwnd) == "#32770") f->windows.push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found.windows;
}

HWND FindForeignDialog(std::chrono::milliseconds timeout) {
  const auto end = Clock::now() + timeout;
  std::vector<HWND> seen;
  while (Clock::now() < end) {
    seen = ForeignDialogs();
    if (!seen.empty()) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (seen.empty()) Fail("no window came up within " + std::to_string(timeout.count()) + " ms");
  if (seen.size() != 1) Fail(std::to_string(seen.size()) + " dialogs came up, \"" + TextOf(seen[0]) + "\" first");
  return seen[0];
}

HWND FindDialogOf(DWORD pid, HWND main, const std::string& caption) {
  for (HWND w : ForeignDialogs()) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (w != main && owner == pid && (caption.empty() || TextOf(w) == caption)) return w;
  }
  return nullptr;
}

void WaitFor(const std::function<bool()>& cond, Clock::duration timeout, const std::string& what,
             const std::function<void()>& each) {
  const auto end = Clock::now() + timeout;
  for (;;) {
    if (each) each();
    if (cond()) return;
    if (Clock::now() > end) {
      Fail(what + " (gave up after " +
           std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(timeout).count()) + " ms)");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void CaptureScreenPng(HWND window, const std::string& path) {
  // The caller has seen the texts it shoots for: let the window finish painting them.
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  RECT r{};
  GetWindowRect(window, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) Fail("the window has no size for " + path);
  // The screen's pixels over the window: Wine lets a process read another's
  // window this way, and it shows what a person would see.
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top-down rows
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (dib == nullptr || bits == nullptr) Fail("no bitmap for " + path);
  HGDIOBJ old = SelectObject(mem, dib);
  const BOOL copied = BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  const std::size_t pixels = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
  std::vector<std::uint8_t> rgb(pixels * 3);
  const auto* px = static_cast<const std::uint8_t*>(bits);
  std::size_t distinct = 0;
  for (std::size_t i = 0; i < pixels; ++i) {
    rgb[i * 3] = px[i * 4 + 2];
    rgb[i * 3 + 1] = px[i * 4 + 1];
    rgb[i * 3 + 2] = px[i * 4];
    if (i > 0 && (px[i * 4] != px[0] || px[i * 4 + 1] != px[1] || px[i * 4 + 2] != px[2])) ++distinct;
  }
  SelectObject(mem, old);
  DeleteObject(dib);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  if (!copied) Fail("BitBlt from the screen failed for " + path);
  // A blank capture means the window was not on the screen.
  if (distinct == 0) Fail(path + " is a single colour");
  if (!fw::WritePngFile(path, w, h, rgb)) Fail("cannot write " + path);
  Note("screenshot " + path + " (" + std::to_string(w) + "x" + std::to_string(h) + ")");
}

}  // namespace drive
