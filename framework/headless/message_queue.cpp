#include "framework/headless/message_queue.h"

#include <algorithm>

namespace fw {

void MessageQueue::Post(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_closed) return;
  m_queue.push_back({msg, wparam, lparam, nullptr});
  m_changed.notify_all();
}

std::intptr_t MessageQueue::Send(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) {
  auto reply = std::make_shared<Reply>();
  std::unique_lock<std::mutex> lock(m_mutex);
  if (m_closed) return 0;
  m_queue.push_back({msg, wparam, lparam, reply});
  m_changed.notify_all();
  m_changed.wait(lock, [&reply] { return reply->done; });
  return reply->result;
}

void MessageQueue::Close() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_closed = true;
  for (Queued& q : m_queue)
    if (q.reply) q.reply->done = true;
  m_queue.clear();
  m_changed.notify_all();
}

void MessageQueue::Serve(bool sentOnly, const Handler& handle) {
  for (;;) {
    Queued item;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      auto it = m_queue.begin();
      if (sentOnly)
        while (it != m_queue.end() && !it->reply) ++it;
      if (it == m_queue.end()) return;
      item = *it;
      m_queue.erase(it);
    }
    // The handler runs unlocked: it may post, send back or show a box.
    const std::intptr_t result = handle(item.msg, item.wparam, item.lparam);
    if (item.reply) {
      std::lock_guard<std::mutex> lock(m_mutex);
      item.reply->result = result;
      item.reply->done = true;
      m_changed.notify_all();
    }
  }
}

bool MessageQueue::Empty() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_queue.empty();
}

bool MessageQueue::HasSent() const {
  return std::any_of(m_queue.begin(), m_queue.end(), [](const Queued& q) { return q.reply != nullptr; });
}

void MessageQueue::WaitForMessage(std::chrono::microseconds most, bool sentOnly) {
  std::unique_lock<std::mutex> lock(m_mutex);
  m_changed.wait_for(lock, most, [&] { return sentOnly ? HasSent() : !m_queue.empty(); });
}

}  // namespace fw
