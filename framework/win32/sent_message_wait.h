#pragma once
// Waits on the UI thread that keep serving messages other threads send to
// its windows, so a thread inside SendMessage to the dialog can finish while
// the UI thread waits for it. The serial engine's Close wait on Win32:
//   engine.m_waitForMonitor = [](serial::IMonitorThread& t) {
//     fw::win32::JoinServingSentMessages(t.WaitHandle(), [&t] { t.Join(); });
//   };
#include <cstdint>
#include <functional>

namespace fw::win32 {

// Waits until the handle (a thread, an event...) is signalled, serving sent
// messages meanwhile; posted messages stay queued. false on time-out or a
// handle that cannot be waited on.
bool WaitServingSentMessages(void* handle, std::uint32_t timeoutMs = 0xFFFFFFFFu);

// Waits for waitHandle (as IMonitorThread::WaitHandle gives it) serving sent
// messages, then calls join to reap the thread. Without a handle (-1 or 0)
// join runs on a helper thread while this one serves sent messages.
void JoinServingSentMessages(std::intptr_t waitHandle, const std::function<void()>& join);

}  // namespace fw::win32
