#pragma once
// The PC side of an in-process model on a virtual clock: writes at a rate,
// runs the clock from event to event and collects what reaches it.
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "simulator/model/device_model.h"

namespace simtest {

inline const std::vector<std::uint8_t> kQuery = {0x24, 0x2D, 0xD2, 0x01, 0x00, 0x00, 0xDA, 0x0D, 0x0A};

inline std::vector<std::uint8_t> PageFrame(std::uint16_t address, std::uint8_t seed) {
  std::vector<std::uint8_t> frame = {0x24, 0x2C, 0xD3, static_cast<std::uint8_t>(address >> 8),
                                     static_cast<std::uint8_t>(address & 0xFF)};
  for (int i = 0; i < 128; ++i) frame.push_back(static_cast<std::uint8_t>(seed + i * 3));
  return frame;
}

class CVirtualPc {
 public:
  explicit CVirtualPc(sim::ModelOptions options, std::uint32_t pcRate = 9600) : model(std::move(options)), rate(pcRate) {}

  void Send(std::span<const std::uint8_t> bytes) { model.ReceiveFromPc(bytes, rate, now); }
  void Send(std::string_view text) {
    Send(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
  }
  // Advances the clock by us, taking every chunk when it is due; returns the
  // bytes that arrived meanwhile.
  std::vector<std::uint8_t> Run(std::uint64_t us) {
    const std::uint64_t end = now + us;
    std::vector<std::uint8_t> got;
    Collect(got);
    for (;;) {
      const std::uint64_t next = model.NextEventUs();
      if (next > end) break;
      // After taking at now, nothing may be due at or before now any more.
      EXPECT_GT(next, now) << "the model reports an event it does not deliver";
      if (next <= now) break;
      now = next;
      Collect(got);
    }
    now = end;
    Collect(got);
    return got;
  }

  sim::CDeviceModel model;
  std::uint32_t rate;
  std::uint64_t now = 5'000'000;
  std::vector<std::vector<std::uint8_t>> chunks;   // every chunk so far
  std::vector<std::uint64_t> chunkTimes;

 private:
  void Collect(std::vector<std::uint8_t>& got) {
    for (auto& chunk : model.TakeBytesForPc(now, rate)) {
      got.insert(got.end(), chunk.begin(), chunk.end());
      chunks.push_back(std::move(chunk));
      chunkTimes.push_back(now);
    }
  }
};

}  // namespace simtest
