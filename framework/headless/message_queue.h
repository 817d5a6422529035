#pragma once
// The UI thread's queue for messages from other threads. A post queues and
// returns; a send queues and blocks until the UI thread has handled it (or
// the queue closes: then it returns 0, as a send to a destroyed window does).
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace fw {

class MessageQueue {
 public:
  using Handler = std::function<std::intptr_t(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam)>;

  // From any thread.
  void Post(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam);
  std::intptr_t Send(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam);
  // Pending and later sends return 0; posts are dropped.
  void Close();

  // UI thread: hands queued messages to handle, in order, until none is left;
  // sentOnly leaves posted ones queued.
  void Serve(bool sentOnly, const Handler& handle);
  bool Empty() const;
  // Waits at most for, or until a message (a sent one, with sentOnly) is queued.
  void WaitForMessage(std::chrono::microseconds most, bool sentOnly);

 private:
  struct Reply {
    bool done = false;
    std::intptr_t result = 0;
  };
  struct Queued {
    unsigned msg;
    std::uintptr_t wparam;
    std::intptr_t lparam;
    std::shared_ptr<Reply> reply;  // null for a posted message
  };
  bool HasSent() const;

  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  std::deque<Queued> m_queue;
  bool m_closed = false;
};

}  // namespace fw
