#include "support/trace_replay.h"

#include <charconv>
#include <cstddef>
#include <set>

#include "serial/frames.h"

namespace testing_support {
namespace {

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t pos = 0;
  while (pos < line.size()) {
    while (pos < line.size() && line[pos] == ' ') ++pos;
    if (pos >= line.size()) break;
    if (line[pos] == '|') {  // the text column: the rest of the line
      fields.push_back(line.substr(pos));
      break;
    }
    const std::size_t end = std::min(line.find(' ', pos), line.size());
    fields.push_back(line.substr(pos, end - pos));
    pos = end;
  }
  return fields;
}

template <class T>
bool Number(std::string_view text, T& value, int base = 10) {
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  return ec == std::errc{} && end == text.data() + text.size();
}

// "12.345" as milliseconds.
bool Milliseconds(std::string_view text, std::uint64_t& ms) {
  const std::size_t dot = text.find('.');
  std::uint64_t seconds = 0;
  unsigned fraction = 0;
  if (dot == std::string_view::npos || text.size() - dot != 4) return false;
  if (!Number(text.substr(0, dot), seconds) || !Number(text.substr(dot + 1), fraction)) return false;
  ms = seconds * 1000 + fraction;
  return true;
}

// A chunk line's fields after time, direction and rate: offset, hex bytes, |text|.
std::string ChunkLine(const std::vector<std::string_view>& f, TraceChunk& chunk, std::size_t& offset) {
  if (f.size() < 5) return "too few fields";
  if (f[3].size() < 4 || !Number(f[3], offset, 16)) return "bad offset '" + std::string(f[3]) + "'";
  std::size_t i = 4;
  for (; i < f.size() && f[i].front() != '|'; ++i) {
    unsigned value = 0;
    if (f[i].size() != 2 || !Number(f[i], value, 16)) return "bad byte '" + std::string(f[i]) + "'";
    chunk.bytes.push_back(static_cast<std::uint8_t>(value));
  }
  if (i == f.size()) return "no text column";
  if (chunk.bytes.empty()) return "no bytes";
  const std::string_view text = f[i];
  if (text.size() != chunk.bytes.size() + 2 || text.back() != '|') return "text column does not match the bytes";
  return {};
}

}  // namespace

ParsedTrace ParseTrace(std::string_view text) {
  ParsedTrace trace;
  int number = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t end = std::min(text.find('\n', pos), text.size());
    const std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    ++number;
    const auto problem = [&](const std::string& why) {
      trace.problems.push_back("line " + std::to_string(number) + ": " + why);
    };
    if (line.empty()) continue;
    if (line.front() == '#') {
      constexpr std::string_view kTraceOf = " traffic trace, started ";
      if (number == 1 && line.find(kTraceOf) != std::string_view::npos)
        trace.program = std::string(line.substr(2, line.find(kTraceOf) - 2));
      else if (number == 1)
        problem("not a traffic trace");
      if (line.starts_with("# ended ")) trace.ended = true;
      continue;
    }
    const std::vector<std::string_view> f = Fields(line);
    std::uint64_t atMs = 0;
    if (f.size() < 2 || !Milliseconds(f[0], atMs)) {
      problem("bad time");
      continue;
    }
    if (f[1] == "LOST") {
      std::uint64_t chunks = 0;
      std::uint64_t bytes = 0;
      if (f.size() != 4 || !Number(f[2], chunks) || !Number(f[3], bytes)) problem("bad LOST record");
      trace.lostChunks += chunks;
      continue;
    }
    if (f[1] != "TX" && f[1] != "RX") {
      problem("bad direction '" + std::string(f[1]) + "'");
      continue;
    }
    TraceChunk piece;
    piece.atMs = atMs;
    piece.direction = f[1] == "TX" ? serial::TrafficDirection::Sent : serial::TrafficDirection::Received;
    std::size_t offset = 0;
    if (f.size() < 3 || !Number(f[2], piece.baud)) {
      problem("bad rate");
      continue;
    }
    if (const std::string why = ChunkLine(f, piece, offset); !why.empty()) {
      problem(why);
      continue;
    }
    if (offset == 0) {
      trace.chunks.push_back(std::move(piece));
      continue;
    }
    TraceChunk* last = trace.chunks.empty() ? nullptr : &trace.chunks.back();
    if (last == nullptr || last->atMs != piece.atMs || last->direction != piece.direction ||
        last->baud != piece.baud || last->bytes.size() != offset) {
      problem("continuation without its chunk");
      continue;
    }
    last->bytes.insert(last->bytes.end(), piece.bytes.begin(), piece.bytes.end());
  }
  return trace;
}

std::vector<std::uint8_t> SentBytes(const ParsedTrace& trace) {
  std::vector<std::uint8_t> sent;
  for (const TraceChunk& c : trace.chunks)
    if (c.direction == serial::TrafficDirection::Sent) sent.insert(sent.end(), c.bytes.begin(), c.bytes.end());
  return sent;
}

FlashImage RebuildFlash(const std::vector<std::uint8_t>& sent) {
  FlashImage image;
  std::set<std::size_t> written;
  const std::size_t n = sent.size();
  std::size_t i = 0;
  while (i < n) {
    if (sent[i] != 0x24) {
      ++i;
      continue;
    }
    // A page frame looks like a command frame of command 2C; it is told by its length.
    if (i + serial::kBlockPacketSize <= n && sent[i + 1] == 0x2C && sent[i + 2] == 0xD3) {
      const std::size_t address = std::size_t{sent[i + 3]} * 256 + sent[i + 4];
      for (std::size_t k = 0; k < serial::kPageBytes; ++k)
        image.bytes[(address + k) % FlashImage::kSize] = sent[i + 5 + k];
      ++image.pages;
      written.insert(address);
      i += serial::kBlockPacketSize;
      continue;
    }
    if (i + 5 <= n && sent[i + 2] == static_cast<std::uint8_t>(sent[i + 1] ^ 0xFF)) {
      const std::size_t length = std::size_t{sent[i + 3]} + std::size_t{sent[i + 4]} * 256;
      const std::size_t end = i + 5 + length + 3;
      if (end <= n && sent[end - 2] == 0x0D && sent[end - 1] == 0x0A) {
        std::uint8_t check = 0;
        for (std::size_t k = i; k < end - 3; ++k) check ^= sent[k];
        if (check == sent[end - 3]) {
          i = end;
          continue;
        }
      }
    }
    ++i;
  }
  image.distinctPages = static_cast<int>(written.size());
  return image;
}

}  // namespace testing_support
