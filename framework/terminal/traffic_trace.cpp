#include "framework/terminal/traffic_trace.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>

namespace fw {
namespace {

// The queue holds packed records: a Head, then `length` bytes.
enum Kind : std::uint8_t { kSent, kReceived, kLost };

struct Head {
  std::uint64_t atMs;
  std::uint64_t count;   // lost bytes for kLost
  std::uint32_t value;   // baud, or lost chunks
  std::uint32_t length;  // bytes that follow
  std::uint8_t kind;
};

std::string Seconds(std::uint64_t ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%6llu.%03u", static_cast<unsigned long long>(ms / 1000),
                static_cast<unsigned>(ms % 1000));
  return text;
}

std::string Utc(std::chrono::system_clock::time_point at) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count();
  const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  std::tm parts{};
  if (const std::tm* utc = std::gmtime(&seconds)) parts = *utc;  // once, on the opening thread
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", parts.tm_year + 1900, parts.tm_mon + 1,
                parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec, static_cast<int>(ms % 1000));
  return text;
}

std::span<const std::uint8_t> AsBytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

std::string TrafficTrace::FormatChunk(std::uint64_t atMs, serial::TrafficDirection direction, std::uint32_t baud,
                                      std::span<const std::uint8_t> bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const std::string lead = Seconds(atMs) + (direction == serial::TrafficDirection::Sent ? " TX " : " RX ") +
                           std::to_string(baud) + ' ';
  std::string out;
  out.reserve((bytes.size() / kBytesPerLine + 1) * (lead.size() + 8 + kBytesPerLine * 4 + 4));
  std::size_t offset = 0;
  do {
    const std::size_t n = std::min(kBytesPerLine, bytes.size() - offset);
    char where[24];
    std::snprintf(where, sizeof where, "%04zX", offset);
    out += lead;
    out += where;
    for (std::size_t i = 0; i < n; ++i) {
      const std::uint8_t b = bytes[offset + i];
      out += ' ';
      out += kHex[b >> 4];
      out += kHex[b & 0x0F];
    }
    out.append((kBytesPerLine - n) * 3 + 2, ' ');
    out += '|';
    for (std::size_t i = 0; i < n; ++i) {
      const std::uint8_t b = bytes[offset + i];
      out += (b >= 0x20 && b < 0x7F) ? static_cast<char>(b) : '.';
    }
    out += "|\n";
    offset += n;
  } while (offset < bytes.size());
  return out;
}

std::unique_ptr<TrafficTrace> TrafficTrace::Open(const std::string& path, std::string_view program,
                                                 std::string& error) {
  std::unique_ptr<TrafficTrace> trace(new TrafficTrace());
  CFile& file = trace->m_file;
  if (!file.Open(path, FileMode::CreateWrite)) {
    error = file.ErrorText();
    return nullptr;
  }
  const std::string header = "# " + std::string(program) + " traffic trace, started " +
                             Utc(std::chrono::system_clock::now()) + "\n# seconds dir baud offset hex |text|\n";
  if (!file.Write(AsBytes(header))) {
    error = file.ErrorText();
    return nullptr;
  }
  trace->m_writer = std::thread([t = trace.get()] { t->WriterLoop(); });
  return trace;
}

TrafficTrace::TrafficTrace() : m_start(std::chrono::steady_clock::now()) {}

TrafficTrace::~TrafficTrace() {
  {
    std::lock_guard lock(m_mutex);
    m_stop = true;
  }
  m_wake.notify_one();
  if (m_writer.joinable()) m_writer.join();
}

std::uint64_t TrafficTrace::NowMs() const {
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - m_start).count());
}

bool TrafficTrace::Append(std::uint8_t kind, std::uint64_t atMs, std::uint32_t value,
                          std::span<const std::uint8_t> bytes) {
  const Head head{atMs, kind == kLost ? m_lostBytes : 0, value, static_cast<std::uint32_t>(bytes.size()), kind};
  const std::size_t at = m_queue.size();
  try {
    m_queue.resize(at + sizeof head + bytes.size());
  } catch (const std::bad_alloc&) {
    return false;
  }
  std::memcpy(m_queue.data() + at, &head, sizeof head);
  if (!bytes.empty()) std::memcpy(m_queue.data() + at + sizeof head, bytes.data(), bytes.size());
  return true;
}

void TrafficTrace::OnTraffic(serial::TrafficDirection direction, std::span<const std::uint8_t> bytes,
                             std::uint32_t baud) noexcept {
  bool wake = false;
  {
    std::lock_guard lock(m_mutex);
    // Stamped under the lock, so the file's times never go back.
    const std::uint64_t atMs = NowMs();
    wake = m_queue.empty();
    const bool room = m_queue.size() + bytes.size() + 2 * sizeof(Head) <= kMaxQueuedBytes;
    if (room && m_lostChunks > 0 && Append(kLost, atMs, static_cast<std::uint32_t>(m_lostChunks), {})) {
      m_lostChunks = 0;
      m_lostBytes = 0;
    }
    if (room && m_lostChunks == 0 &&
        Append(direction == serial::TrafficDirection::Sent ? kSent : kReceived, atMs, baud, bytes)) {
      ++m_chunks;
      m_bytes += bytes.size();
    } else {
      ++m_lostChunks;
      m_lostBytes += bytes.size();
      ++m_totalLost;
    }
  }
  if (wake) m_wake.notify_one();
}

std::string TrafficTrace::WriteError() const {
  std::lock_guard lock(m_mutex);
  return m_writeError;
}

void TrafficTrace::WriteOut(const std::vector<std::uint8_t>& batch) {
  std::string text;
  std::size_t at = 0;
  while (at + sizeof(Head) <= batch.size()) {
    Head head{};
    std::memcpy(&head, batch.data() + at, sizeof head);
    at += sizeof head;
    const std::span<const std::uint8_t> bytes{batch.data() + at, head.length};
    at += head.length;
    if (head.kind == kLost) {
      text += Seconds(head.atMs) + " LOST " + std::to_string(head.value) + ' ' + std::to_string(head.count) + '\n';
    } else {
      text += FormatChunk(head.atMs, head.kind == kSent ? serial::TrafficDirection::Sent
                                                        : serial::TrafficDirection::Received,
                          head.value, bytes);
    }
  }
  if (text.empty() || !m_writeError.empty()) return;  // m_writeError is the writer's own until it is set
  if (!m_file.Write(AsBytes(text))) {
    std::lock_guard lock(m_mutex);
    m_writeError = m_file.ErrorText();
  }
}

void TrafficTrace::WriterLoop() {
  std::vector<std::uint8_t> batch;
  std::unique_lock lock(m_mutex);
  for (;;) {
    m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
    if (m_queue.empty()) break;  // stopping with nothing left
    batch.swap(m_queue);
    lock.unlock();
    // One write(2) per batch: in the kernel at once, nothing held back in this process.
    WriteOut(batch);
    batch.clear();
    lock.lock();
  }
  // Closing: a loss at the very end still gets its record, then the summary.
  std::string tail;
  const std::uint64_t nowMs = NowMs();
  if (m_lostChunks > 0)
    tail += Seconds(nowMs) + " LOST " + std::to_string(m_lostChunks) + ' ' + std::to_string(m_lostBytes) + '\n';
  tail += "# ended " + Seconds(nowMs).substr(Seconds(nowMs).find_first_not_of(' ')) + ", " +
          std::to_string(m_chunks) + " chunks, " + std::to_string(m_bytes) + " bytes, " +
          std::to_string(m_totalLost) + " chunks lost\n";
  const bool failed = !m_writeError.empty();
  lock.unlock();
  if (!failed) m_file.Write(AsBytes(tail));
  m_file.Close();
}

}  // namespace fw
