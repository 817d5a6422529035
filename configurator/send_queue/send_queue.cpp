#include "configurator/send_queue/send_queue.h"

#include <algorithm>
#include <cstring>

void CSendQueue::Add(std::unique_ptr<CSendItem> item) {
  m_items.push_back(std::move(item));
  count = static_cast<std::int32_t>(m_items.size());
}

void CSendQueue::Clear() {
  m_items.clear();
  m_items.shrink_to_fit();
  count = 0;
  nextIndex = 0;
}

CSendItem* CSendQueue::Next() { return nextIndex < count ? m_items[static_cast<std::size_t>(nextIndex)].get() : nullptr; }

std::unique_ptr<CSendItem> MakeSendItem(std::span<const std::uint8_t> bytes, std::string_view label, bool expectReply) {
  auto item = std::make_unique<CSendItem>();
  const std::size_t n = std::min(bytes.size(), item->data.size());
  std::copy_n(bytes.begin(), n, item->data.begin());
  item->length = static_cast<std::int32_t>(n);
  const std::size_t l = std::min(label.size(), item->label.size() - 1);
  std::memcpy(item->label.data(), label.data(), l);
  item->label[l] = '\0';
  item->expectReply = expectReply ? 1 : 0;
  return item;
}

std::unique_ptr<CSendItem> MakeSendItem(std::string_view text, std::string_view label, bool expectReply) {
  return MakeSendItem(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), label, expectReply);
}

CSendQueue& TheSendQueue() {
  static CSendQueue queue;
  return queue;
}
