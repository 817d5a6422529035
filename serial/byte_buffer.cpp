#include "serial/byte_buffer.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

bool CByteBuffer::MakeRoom(std::int64_t n) {
  if (n < m_capacity) return true;
  const std::int64_t rounded = (n + kBlock - 1) / kBlock * kBlock;
  if (rounded > std::numeric_limits<int>::max()) return false;
  std::unique_ptr<std::uint8_t[]> block(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(rounded)]);
  if (!block) return false;
  if (m_size > 0) std::memcpy(block.get(), m_block.get(), static_cast<std::size_t>(m_size));
  m_block = std::move(block);
  m_capacity = static_cast<int>(rounded);
  return true;
}

int CByteBuffer::Append(const std::uint8_t* data, int length) {
  if (length <= 0) return 0;
  // A block that cannot grow keeps what it has; nothing is written past it.
  if (!MakeRoom(std::int64_t{m_size} + length)) return 0;
  std::memcpy(m_block.get() + m_size, data, static_cast<std::size_t>(length));
  m_size += length;
  return length;
}

int CByteBuffer::Find(const std::uint8_t* pattern, int length, int start) const {
  if (m_size < length || start > m_size - length) return -1;
  if (start < 0) start = 0;
  if (length <= 0) return start + length;
  const std::uint8_t* begin = m_block.get() + start;
  const std::uint8_t* end = m_block.get() + m_size;
  const std::uint8_t* at = std::search(begin, end, pattern, pattern + length);
  if (at == end) return 0;
  return static_cast<int>(at - m_block.get()) + length;
}

void CByteBuffer::Reset() {
  m_size = 0;
  if (m_capacity <= kBlock) {
    m_block = std::make_unique<std::uint8_t[]>(kBlock);
    m_capacity = kBlock;
  }
}
