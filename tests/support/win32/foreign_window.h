#pragma once
// For driver programs that act on another process's windows as a person
// would: bounded messages, texts, the visible dialogs, screenshots of the
// screen's pixels. A failure ends the driver with exit code 1.
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace drive {

using Clock = std::chrono::steady_clock;

// The name that leads every line a driver prints, e.g. "torvik-gui-driver".
void SetName(std::string name);
[[noreturn]] void Fail(const std::string& what);
void Note(const std::string& what);

long long MsSince(Clock::time_point start);

// A message that cannot hang the driver: fails after timeoutMs without an answer.
LRESULT Send(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT timeoutMs = 5000);
// Whether the window answers WM_NULL within withinMs.
bool Answers(HWND hwnd, UINT withinMs);

std::string TextOf(HWND hwnd);
std::string ClassOf(HWND hwnd);
std::vector<std::string> ListBoxLines(HWND list);

// The visible top-level dialogs of other processes.
std::vector<HWND> ForeignDialogs();
// The one dialog of another process that comes up within timeout; fails on none or several.
HWND FindForeignDialog(std::chrono::milliseconds timeout);
// A visible dialog of process pid other than main (a box, an about box), with
// that caption unless it is empty; null when none.
HWND FindDialogOf(DWORD pid, HWND main, const std::string& caption = {});

// Polls cond every 20 ms until it holds; fails with what after timeout. each,
// when given, runs first in every round (to fail early on a stray box).
void WaitFor(const std::function<bool()>& cond, Clock::duration timeout, const std::string& what,
             const std::function<void()>& each = {});

// Writes the screen's pixels over the window (what a person sees, boxes on
// top included) to path as PNG; fails when the capture is blank.
void CaptureScreenPng(HWND window, const std::string& path);

}  // namespace drive
