#pragma once
// A listener on everything an engine puts on the line and takes from it.
// Taps are called on the thread that moves the bytes (the caller of a write,
// the monitor thread for reads), so they must be quick and must not block:
// copy what is needed and return.
#include <cstdint>
#include <span>

namespace serial {

enum class TrafficDirection : std::uint8_t { Sent, Received };

class ITrafficTap {
 public:
  // One chunk as it went out or came in, with the line rate then in force.
  // The bytes are valid only during the call.
  virtual void OnTraffic(TrafficDirection direction, std::span<const std::uint8_t> bytes,
                         std::uint32_t baud) noexcept = 0;

 protected:
  ~ITrafficTap() = default;
};

}  // namespace serial
