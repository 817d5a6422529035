#pragma once
// The in-process port's clock, moved only by the test.
#include <cstdint>

#include "serial/loopback/loopback_port.h"

namespace testing_support {

class ManualClock : public serial::IClock {
 public:
  std::uint64_t NowUs() const override { return now; }
  std::uint64_t now = 0;
};

}  // namespace testing_support
