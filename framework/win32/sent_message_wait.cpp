#include "framework/win32/sent_message_wait.h"

#include <thread>

#include "framework/win32/win32_api.h"

namespace fw::win32 {
namespace {

// A window whose paint handler leaves it invalid would be asked again at once;
// a bound keeps the wait looking at its handle.
constexpr int kPaintsPerWake = 64;

void ServePaints() {
  MSG msg;
  for (int i = 0; i < kPaintsPerWake && PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE); ++i)
    DispatchMessageW(&msg);
}

}  // namespace

bool WaitServingSentMessages(void* handle, std::uint32_t timeoutMs, WaitPaints paints) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
  const DWORD wake = QS_SENDMESSAGE | (paints == WaitPaints::Yes ? QS_PAINT : 0u);
  const ULONGLONG start = GetTickCount64();
  for (;;) {
    DWORD remaining = INFINITE;
    if (timeoutMs != INFINITE) {
      const ULONGLONG spent = GetTickCount64() - start;
      remaining = spent >= timeoutMs ? 0 : static_cast<DWORD>(timeoutMs - spent);
    }
    // MWMO_INPUTAVAILABLE: a paint pending from before the wait wakes it too.
    const DWORD r = MsgWaitForMultipleObjectsEx(1, &handle, remaining, wake, MWMO_INPUTAVAILABLE);
    if (r == WAIT_OBJECT_0) return true;
    if (r != WAIT_OBJECT_0 + 1) return false;  // time-out or failure
    // Peeking delivers the pending sent messages; nothing is removed from the queue.
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    if (paints == WaitPaints::Yes) ServePaints();
  }
}

void JoinServingSentMessages(std::intptr_t waitHandle, const std::function<void()>& join, WaitPaints paints) {
  if (waitHandle != -1 && waitHandle != 0) {
    WaitServingSentMessages(reinterpret_cast<void*>(waitHandle), INFINITE, paints);
    join();
    return;
  }
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (done == nullptr) {
    join();
    return;
  }
  std::thread helper([&] {
    join();
    SetEvent(done);
  });
  WaitServingSentMessages(done, INFINITE, paints);
  helper.join();
  CloseHandle(done);
}

}  // namespace fw::win32
