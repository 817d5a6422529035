#pragma once
// CByteBuffer: the configurator's growable receive buffer, in blocks of
// whole kilobytes.
#include <cstdint>
#include <memory>

class CByteBuffer {
 public:
  static constexpr int kBlock = 1024;

  CByteBuffer() = default;
  virtual ~CByteBuffer() = default;
  CByteBuffer(const CByteBuffer&) = delete;
  CByteBuffer& operator=(const CByteBuffer&) = delete;

  int Append(const std::uint8_t* data, int length);
  int GetSize() const { return m_size; }
  // Index just past the first match at or after start; -1 when the pattern
  // cannot fit there, 0 when it does not occur.
  int Find(const std::uint8_t* pattern, int length, int start) const;
  void Reset();

  int Capacity() const { return m_capacity; }
  const std::uint8_t* Data() const { return m_block.get(); }

 private:
  bool MakeRoom(std::int64_t n);

  std::unique_ptr<std::uint8_t[]> m_block;
  int m_size = 0;
  int m_capacity = 0;
};
