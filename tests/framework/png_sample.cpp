// Writes a known pattern as PNG for png_zlib_check.py, which decodes it with zlib.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "framework/png_file.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: png_sample OUT.png WIDTH HEIGHT\n");
    return 2;
  }
  const int width = std::atoi(argv[2]), height = std::atoi(argv[3]);
  if (width <= 0 || height <= 0 || width > 4096 || height > 4096) return 2;
  std::vector<std::uint8_t> rgb;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      rgb.insert(rgb.end(), {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y),
                             static_cast<std::uint8_t>(x ^ y)});
  return fw::WritePngFile(argv[1], width, height, rgb) ? 0 : 1;
}
