#pragma once
// Threads and open descriptors of this process, to see that a run leaves none
// behind. A thread that has just been joined can stay listed for a moment, so
// the counts are read until they hold still.
#include <chrono>
#include <filesystem>
#include <iterator>
#include <thread>

namespace testing_support {

struct ProcessResources {
  int threads = 0;
  int descriptors = 0;
  bool operator==(const ProcessResources&) const = default;
};

inline ProcessResources SettledProcessResources() {
  auto count = [](const char* dir) {
    return static_cast<int>(std::distance(std::filesystem::directory_iterator(dir), {}));
  };
  auto read = [&] { return ProcessResources{count("/proc/self/task"), count("/proc/self/fd")}; };
  ProcessResources last = read();
  for (int i = 0; i < 200; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const ProcessResources now = read();
    if (now == last) return now;
    last = now;
  }
  return last;
}

}  // namespace testing_support
