#pragma once
// Waits on the UI thread that keep serving messages other threads send to
// its windows, so a thread inside SendMessage to the dialog (or inside a
// message box the dialog owns, whose closing re-enables and activates its
// owner by sent messages) can finish while the UI thread waits for it. The
// dialog host's wait for a serial engine's monitor thread.
#include <cstdint>
#include <functional>

namespace fw::win32 {

enum class WaitPaints { No, Yes };

// Waits until the handle (a thread, an event...) is signalled, serving sent
// messages meanwhile, and with WaitPaints::Yes painting the thread's windows
// as they need it, so the window shows its latest state while it waits;
// posted messages and timers stay queued. false on time-out or a handle that
// cannot be waited on.
bool WaitServingSentMessages(void* handle, std::uint32_t timeoutMs = 0xFFFFFFFFu, WaitPaints paints = WaitPaints::No);

// Waits for waitHandle (as IMonitorThread::WaitHandle gives it) serving sent
// messages, then calls join to reap the thread. Without a handle (-1 or 0)
// join runs on a helper thread while this one serves sent messages.
void JoinServingSentMessages(std::intptr_t waitHandle, const std::function<void()>& join,
                             WaitPaints paints = WaitPaints::No);

}  // namespace fw::win32
