#pragma once
// CSendQueue: the items waiting for the send tick, written one at a time in
// the order they were added. One instance for the whole program.
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "configurator/send_queue/send_item.h"

class CSendQueue {
 public:
  CSendQueue() = default;
  CSendQueue(const CSendQueue&) = delete;
  CSendQueue& operator=(const CSendQueue&) = delete;

  // Takes ownership.
  void Add(std::unique_ptr<CSendItem> item);
  // Deletes every item; count and nextIndex back to 0.
  void Clear();

  // The next item to write, or null when every item has been written.
  CSendItem* Next();
  void Advance() { if (nextIndex < count) ++nextIndex; }

  const CSendItem& Item(int index) const { return *m_items[static_cast<std::size_t>(index)]; }

  std::int32_t count = 0;
  std::int32_t nextIndex = 0;

 private:
  std::vector<std::unique_ptr<CSendItem>> m_items;
};

// A filled item; bytes longer than the data area and labels longer than 255
// characters are cut (the composer refuses over-long commands before this).
std::unique_ptr<CSendItem> MakeSendItem(std::span<const std::uint8_t> bytes, std::string_view label, bool expectReply);
std::unique_ptr<CSendItem> MakeSendItem(std::string_view text, std::string_view label, bool expectReply);

// The program's one queue, made on first use and destroyed at exit.
CSendQueue& TheSendQueue();
