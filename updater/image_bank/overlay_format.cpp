#include "updater/image_bank/overlay_format.h"

namespace brevan {

namespace {
// Each character is stored shifted by its position; the shift is undone with a
// key read through a volatile, so the compiler cannot fold the text back into
// a constant.
constexpr std::array<unsigned char, kMagicSize> kScrambled = {
    'D' + 1, 'A' + 2, 'T' + 3, 'A' + 4, 'S' + 5, 'T' + 6, 'A' + 7, 'R' + 8, 'T' + 9};
}  // namespace

std::array<char, kMagicSize> OverlayMagic() {
  std::array<char, kMagicSize> magic{};
  volatile unsigned char unscrambleKey = 0;
  const unsigned char key = unscrambleKey;
  for (std::size_t i = 0; i < kMagicSize; ++i) {
    magic[i] = static_cast<char>(kScrambled[i] - static_cast<unsigned char>(i + 1) - key);
  }
  return magic;
}

}  // namespace brevan
