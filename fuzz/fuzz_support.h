#pragma once
// Helpers of the fuzz targets: a check that stops the run with a message
// (NDEBUG builds keep it), a private scratch directory per process, and chunk
// sizes taken from the input's first bytes.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#define FUZZ_CHECK(cond)                                                              \
  do {                                                                                \
    if (!(cond)) {                                                                    \
      std::fprintf(stderr, "FUZZ_CHECK failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__); \
      std::abort();                                                                   \
    }                                                                                 \
  } while (0)

namespace fuzz {

// A directory of this process's own under the temporary directory, removed at exit.
inline const std::filesystem::path& ScratchDir() {
  struct Dir {
    std::filesystem::path path;
    Dir() {
      std::string pattern = (std::filesystem::temp_directory_path() / "brevan-fuzz-XXXXXX").string();
      if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
      }
      path = pattern;
    }
    ~Dir() {
      std::error_code ec;
      std::filesystem::remove_all(path, ec);
    }
  };
  static const Dir dir;
  return dir.path;
}

inline std::string ScratchFile(std::string_view name) { return (ScratchDir() / name).string(); }

inline void WriteWhole(const std::string& path, std::span<const std::uint8_t> bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  FUZZ_CHECK(out.good());
}

// Input = [k][k size bytes][payload]: k is 1 + data[0] % 8; size byte s gives
// s + 1 bytes for s < 0xF0, else 1 + (s - 0xEF) * 128 (to 2049), capped at max.
// The sizes repeat until the payload is used up.
struct Chunked {
  std::vector<std::size_t> sizes;
  std::span<const std::uint8_t> payload;

  Chunked(const std::uint8_t* data, std::size_t size, std::size_t max) {
    std::size_t k = size > 0 ? 1 + data[0] % 8 : 0;
    std::size_t at = size > 0 ? 1 : 0;
    for (; k > 0 && at < size; --k, ++at) {
      const std::size_t s = data[at];
      const std::size_t n = s < 0xF0 ? s + 1 : 1 + (s - 0xEF) * 128;
      sizes.push_back(n < max ? n : max);
    }
    if (sizes.empty()) sizes.push_back(1);
    payload = std::span(data + at, size - at);
  }

  template <class F>
  void ForEach(F&& f) const {
    std::size_t pos = 0;
    for (std::size_t i = 0; pos < payload.size(); ++i) {
      const std::size_t n = std::min(sizes[i % sizes.size()], payload.size() - pos);
      f(payload.subspan(pos, n));
      pos += n;
    }
  }
};

}  // namespace fuzz
