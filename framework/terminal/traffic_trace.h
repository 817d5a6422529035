#pragma once
// fw::TrafficTrace: every chunk a serial engine sends and receives, written to
// a text file as it happens (`--trace FILE` of the terminal programs).
//
// The file, UTF-8 text, one record per line, LF line ends (the padding
// before the text column is shortened here):
//
//   # brevan traffic trace, started 2026-12-08T20:15:15.508Z
//   # seconds dir baud offset hex |text|
//        0.085 TX 9600 0000 0D 0A 4B 41 56 45 4C 2C 53 4F 46 54 57 41 52 45 2C 0D 0A  |..KAVEL,SOFTWARE,..|
//        0.155 RX 57600 0000 24 2D D2 08 00  |$-...|
//        0.175 TX 57600 0000 24 2C D3 20 00 39 41 8B 76 35 F8 34 3A EC F6 53 E3 BD 45 82 7B 0F E1 EA 82 D1 BA 46 2A 4D FA 8A  |$,. .9A.v5.4:..S..E.{......F*M..|
//        0.175 TX 57600 0020 41 93 E5 1C 9E E0 19 EF 7C 2B 9B CF 62 A4 A1 DC B7 B8 C6 FB 34 0B D3 7E A4 1E C4 F7 AD 51 A3 15  |A.......|+..b.......4..~.....Q..|
//        9.870 LOST 12 13824
//   # ended 9.502, 604 chunks, 27067 bytes, 12 chunks lost
//
// - Lines starting with '#' are comments: the header line first (program and
//   start time in UTC), the column line, and the closing line written when the
//   trace is closed (its absence means the program did not end normally).
// - A chunk record: the time since the trace began in seconds with three
//   decimals (millisecond resolution, steady clock), right-aligned in 10
//   columns; the direction, TX for bytes the program put on the line and RX
//   for bytes it read; the line rate in baud then in force; the offset of the
//   line's first byte within the chunk, 4 or more upper-case hex digits; up to
//   kBytesPerLine bytes as two upper-case hex digits each, separated by one
//   space; then, after padding, the same bytes as text between '|' marks
//   (printable ASCII as is, every other byte as '.'). A chunk longer than
//   kBytesPerLine goes on over continuation lines with the same time,
//   direction and rate and a growing offset; offset 0000 starts a new chunk.
//   Fields are separated by blanks; the hex fields end at the first field that
//   starts with '|'.
// - LOST <chunks> <bytes>: the writer fell behind by more than kMaxQueuedBytes
//   and that many chunks were dropped just before this time; the trace has a gap.
//
// Taps are called on the threads that move the bytes; OnTraffic only stamps
// and copies under a short lock, a writer thread formats and hands each batch
// to the system with one write, so what has been written survives even a
// killed process. The destructor writes everything still queued and closes.
// The trace must outlive every engine it is added to (or be removed first).
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "framework/file.h"
#include "serial/traffic_tap.h"

namespace fw {

class TrafficTrace final : public serial::ITrafficTap {
 public:
  static constexpr std::size_t kBytesPerLine = 32;
  static constexpr std::size_t kMaxQueuedBytes = std::size_t{4} << 20;

  // Creates (or empties) the file at path and writes the header. On failure
  // null, with error set to the system's text.
  static std::unique_ptr<TrafficTrace> Open(const std::string& path, std::string_view program, std::string& error);
  ~TrafficTrace();
  TrafficTrace(const TrafficTrace&) = delete;
  TrafficTrace& operator=(const TrafficTrace&) = delete;

  void OnTraffic(serial::TrafficDirection direction, std::span<const std::uint8_t> bytes,
                 std::uint32_t baud) noexcept override;

  // The system's text for the first failed write, empty while none failed.
  std::string WriteError() const;

  // One record's lines as the writer puts them (the format above); for tests and tools.
  static std::string FormatChunk(std::uint64_t atMs, serial::TrafficDirection direction, std::uint32_t baud,
                                 std::span<const std::uint8_t> bytes);

 private:
  TrafficTrace();
  void WriterLoop();
  bool Append(std::uint8_t kind, std::uint64_t atMs, std::uint32_t a, std::span<const std::uint8_t> bytes);
  void WriteOut(const std::vector<std::uint8_t>& batch);
  std::uint64_t NowMs() const;

  CFile m_file;
  const std::chrono::steady_clock::time_point m_start;

  mutable std::mutex m_mutex;
  std::condition_variable m_wake;     // the writer: work or stop
  std::vector<std::uint8_t> m_queue;  // packed records, see traffic_trace.cpp
  bool m_stop = false;
  std::uint64_t m_lostChunks = 0;     // since the last LOST record
  std::uint64_t m_lostBytes = 0;
  std::uint64_t m_totalLost = 0;
  std::uint64_t m_chunks = 0;
  std::uint64_t m_bytes = 0;
  std::string m_writeError;

  std::thread m_writer;  // last: starts when everything else is made
};

}  // namespace fw
