// The acknowledgement test on arbitrary chunks, against the rule it stands
// for: keep every byte since the last acknowledgement and search them all.
#include <string>

#include "configurator/send_queue/ack_watch.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::Chunked input(data, size, 4096);
  CAckWatch watch;
  std::string kept;
  input.ForEach([&](std::span<const std::uint8_t> chunk) {
    kept.append(reinterpret_cast<const char*>(chunk.data()), chunk.size());
    const bool expected =
        kept.size() >= 10 && kept.find("KAVEL") != std::string::npos && kept.find("OK\r\n") != std::string::npos;
    if (expected) kept.clear();
    FUZZ_CHECK(watch.Append(chunk) == expected);
    FUZZ_CHECK(watch.Size() == kept.size());
  });
  return 0;
}
