// Watches a program from the Windows zip start: its one dialog comes up with
// the expected caption, answers, paints, offers a combo item when asked (the
// sample receiver-type file was read); then WM_CLOSE must end the program
// within 5 s with exit code 0.
//   startup_probe --name NAME --caption TEXT --shots Z:\dir [--combo-item TEXT]
#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

#include "framework/win32/wide_text.h"
#include "tests/support/win32/foreign_window.h"

namespace {

using drive::Fail;
using drive::Send;
using drive::TextOf;

struct Options {
  std::string name;
  std::string caption;
  std::string shots;
  std::string comboItem;
};

// Every item of every combo box in the window.
std::vector<std::string> ComboItems(HWND window) {
  std::vector<std::string> items;
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    if (drive::ClassOf(child) != "ComboBox") continue;
    const LRESULT count = Send(child, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      const LRESULT length = Send(child, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
      if (length < 0) break;
      std::vector<wchar_t> buf(static_cast<std::size_t>(length) + 1, L'\0');
      const LRESULT n = Send(child, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf.data()));
      if (n < 0) break;
      items.push_back(fw::win32::Narrow(std::wstring_view(buf.data(), static_cast<std::size_t>(n))));
    }
  }
  return items;
}

int Probe(const Options& o) {
  using std::chrono::seconds;
  const auto start = drive::Clock::now();
  HWND window = drive::FindForeignDialog(seconds(60));
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (process == nullptr) Fail("cannot open the program's process");
  if (TextOf(window) != o.caption) Fail("caption \"" + TextOf(window) + "\", expected \"" + o.caption + "\"");
  drive::Note("window \"" + o.caption + "\" up after " + std::to_string(drive::MsSince(start)) + " ms");
  if (!drive::Answers(window, 2000)) Fail("the window does not answer");
  if (!o.comboItem.empty()) {
    const auto items = ComboItems(window);
    bool found = false;
    for (const auto& item : items) found = found || item == o.comboItem;
    if (!found) Fail("no combo box offers \"" + o.comboItem + "\" (" + std::to_string(items.size()) + " items)");
  }
  drive::CaptureScreenPng(window, o.shots + "\\" + o.name + ".png");

  const auto posted = drive::Clock::now();
  PostMessageW(window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process, 5000) != WAIT_OBJECT_0) Fail("the program still runs 5 s after WM_CLOSE");
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  if (code != 0) Fail("the program ended with exit code " + std::to_string(code));
  drive::Note("closed in " + std::to_string(drive::MsSince(posted)) + " ms, exit code 0");
  return 0;
}

}  // namespace

int main() {
  drive::SetName("startup-probe");
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  Options o;
  for (int i = 1; argv != nullptr && i + 1 < argc; i += 2) {
    const std::wstring opt = argv[i];
    const std::string value = fw::win32::Narrow(argv[i + 1]);
    if (opt == L"--name") o.name = value;
    else if (opt == L"--caption") o.caption = value;
    else if (opt == L"--shots") o.shots = value;
    else if (opt == L"--combo-item") o.comboItem = value;
    else Fail("unknown option " + fw::win32::Narrow(opt));
  }
  const bool even = argc % 2 == 1;
  if (argv != nullptr) LocalFree(argv);
  if (!even || o.name.empty() || o.caption.empty() || o.shots.empty()) {
    Fail("usage: startup_probe --name NAME --caption TEXT --shots DIR [--combo-item TEXT]");
  }
  drive::SetName("startup-probe-" + o.name);
  CreateDirectoryW(fw::win32::Widen(o.shots).c_str(), nullptr);
  return Probe(o);
}
