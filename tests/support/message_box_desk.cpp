#include "support/message_box_desk.h"

#include "framework/dialog_host.h"

namespace fw {

bool MessageBoxDesk::Show(std::string_view text, bool onUiThread) {
  std::unique_lock<std::mutex> lock(m_mutex);
  m_boxes.push_back({std::string(text), kIdOk});
  if (!m_hold || onUiThread) return false;
  ++m_open;
  const std::uint64_t seen = m_answers;
  m_answered.wait(lock, [&] { return m_answers != seen; });
  --m_open;
  return true;
}

void MessageBoxDesk::Hold(bool hold) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_hold = hold;
}

int MessageBoxDesk::Answer() {
  std::lock_guard<std::mutex> lock(m_mutex);
  const int open = m_open;
  ++m_answers;
  m_answered.notify_all();
  return open;
}

int MessageBoxDesk::Open() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_open;
}

std::vector<RecordedMessageBox> MessageBoxDesk::Boxes() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_boxes;
}

}  // namespace fw
