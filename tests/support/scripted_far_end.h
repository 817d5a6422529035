#pragma once
// A far end for the in-process port that records every write as it reaches
// the line (with the rate then in force) and the line breaks, and answers
// with what the test queued, each chunk at its time.
#include <cstdint>
#include <map>
#include <span>
#include <vector>

#include "serial/loopback/loopback_port.h"

namespace testing_support {

class ScriptedFarEnd : public serial::IFarEnd {
 public:
  struct Received {
    std::vector<std::uint8_t> bytes;
    std::uint32_t rate;
    bool operator==(const Received&) const = default;
  };
  void FromPc(std::span<const std::uint8_t> bytes, std::uint32_t pcRate, std::uint64_t) override {
    received.push_back({{bytes.begin(), bytes.end()}, pcRate});
  }
  std::vector<std::vector<std::uint8_t>> ToPc(std::uint64_t nowUs, std::uint32_t) override {
    std::vector<std::vector<std::uint8_t>> due;
    while (!pending.empty() && pending.begin()->first <= nowUs) {
      due.push_back(std::move(pending.begin()->second));
      pending.erase(pending.begin());
    }
    return due;
  }
  std::uint64_t NextEventUs() const override { return pending.empty() ? UINT64_MAX : pending.begin()->first; }
  void LineBreak(bool on, std::uint64_t) override { breaks.push_back(on); }

  // Queued chunks due at the same time go out in the order they were queued.
  void Send(std::uint64_t atUs, std::vector<std::uint8_t> bytes) { pending.emplace(atUs, std::move(bytes)); }
  std::vector<std::uint8_t> AllReceived() const {
    std::vector<std::uint8_t> all;
    for (const auto& r : received) all.insert(all.end(), r.bytes.begin(), r.bytes.end());
    return all;
  }

  std::vector<Received> received;
  std::multimap<std::uint64_t, std::vector<std::uint8_t>> pending;
  std::vector<bool> breaks;
};

}  // namespace testing_support
