#pragma once
// Reads a traffic trace (framework/terminal/traffic_trace.h) back into its
// chunks, and rebuilds the board memory the page frames among the sent bytes
// write: what the updater put on the line, independent of what the receiver
// recorded.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "serial/traffic_tap.h"

namespace testing_support {

struct TraceChunk {
  std::uint64_t atMs = 0;
  serial::TrafficDirection direction = serial::TrafficDirection::Sent;
  std::uint32_t baud = 0;
  std::vector<std::uint8_t> bytes;
};

struct ParsedTrace {
  std::string program;  // from the header line
  std::vector<TraceChunk> chunks;
  std::uint64_t lostChunks = 0;  // summed over LOST records
  bool ended = false;            // the closing line is there
  std::vector<std::string> problems;  // "line N: why", one per line not understood
};

ParsedTrace ParseTrace(std::string_view text);

// Every Sent byte, in order.
std::vector<std::uint8_t> SentBytes(const ParsedTrace& trace);

struct FlashImage {
  static constexpr std::size_t kSize = 65536;
  std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(kSize, 0xFF);  // erased memory
  int pages = 0;  // page frames found, a page sent again counted again
  int distinctPages = 0;  // addresses written at least once
};

// Walks the sent bytes frame by frame: page frames (24 2C D3, address, 128
// bytes) are written at their address (wrapping at 64 KiB), whole command
// frames are stepped over, anything else a byte at a time. A command frame of
// command 2C would read as a page frame; the updater sends none.
FlashImage RebuildFlash(const std::vector<std::uint8_t>& sent);

}  // namespace testing_support
