#include "framework/win32/sent_message_wait.h"

#include <thread>

#include "framework/win32/win32_api.h"

namespace fw::win32 {

bool WaitServingSentMessages(void* handle, std::uint32_t timeoutMs) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
  const ULONGLONG start = GetTickCount64();
  for (;;) {
    DWORD remaining = INFINITE;
    if (timeoutMs != INFINITE) {
      const ULONGLONG spent = GetTickCount64() - start;
      remaining = spent >= timeoutMs ? 0 : static_cast<DWORD>(timeoutMs - spent);
    }
    const DWORD r = MsgWaitForMultipleObjects(1, &handle, FALSE, remaining, QS_SENDMESSAGE);
    if (r == WAIT_OBJECT_0) return true;
    if (r != WAIT_OBJECT_0 + 1) return false;  // time-out or failure
    // Peeking delivers the pending sent messages; nothing is removed from the queue.
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

void JoinServingSentMessages(std::intptr_t waitHandle, const std::function<void()>& join) {
  if (waitHandle != -1 && waitHandle != 0) {
    WaitServingSentMessages(reinterpret_cast<void*>(waitHandle));
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
  WaitServingSentMessages(done);
  helper.join();
  CloseHandle(done);
}

}  // namespace fw::win32
