#include "packaging/demo_firmware.h"

#include <algorithm>
#include <ostream>

#include "framework/file.h"
#include "framework/platform_paths.h"
#include "framework/text_format.h"
#include "packaging/intel_hex_writer.h"
#include "packaging/pack_messages.h"
#include "updater/image_bank/overlay_format.h"

namespace brevan::pack {

namespace {

// Version fields as the images lay them out, NUL padded; the label follows.
constexpr std::uint32_t kSplitVersionField = 16;
constexpr std::uint32_t kFlatVersionField = 20;
// How far below its length each image's last byte sits, so that the set
// covers both ends of the last 128-byte page.
constexpr std::array<std::uint32_t, kModuleCount> kTailGap = {0, 127, 5, 64, 1, 126, 33, 90, 17, 100};
// Flat images start with 16 little-endian words, like a vector table.
constexpr std::uint32_t kVectorWords = 16;

// xorshift32: the same bytes on every build and platform.
class CDemoBytes {
 public:
  explicit CDemoBytes(std::uint32_t seed) : m_state(seed) {}
  std::uint8_t Next() {
    m_state ^= m_state << 13;
    m_state ^= m_state >> 17;
    m_state ^= m_state << 5;
    const auto b = static_cast<std::uint8_t>(m_state >> 24);
    // No 'D' in the random bytes: the overlay magic can never form in them.
    return b == 'D' ? static_cast<std::uint8_t>('E') : b;
  }

 private:
  std::uint32_t m_state;
};

// Image address of slot byte s.
std::uint32_t ImageAddress(SlotLayout layout, std::uint32_t s) {
  return layout == SlotLayout::Split && s >= kSplitHeadBytes ? s + kSplitImageBase : s;
}

void PutText(MemoryImage& image, SlotLayout layout, std::uint32_t slotOffset, std::string_view text,
             std::uint32_t field) {
  for (std::uint32_t i = 0; i < field; ++i) {
    image[ImageAddress(layout, slotOffset + i)] = i < text.size() ? static_cast<std::uint8_t>(text[i]) : 0;
  }
}

}  // namespace

MemoryImage MakeDemoImage(int slot) {
  const auto k = static_cast<std::size_t>(slot);
  const ModuleSlot& info = kModuleSlots[k];
  MemoryImage image;
  image.fill(0xFF);
  CDemoBytes random(0x9E3779B9u ^ (static_cast<std::uint32_t>(slot) + 1) * 0x85EBCA6Bu);

  const auto last = static_cast<std::uint32_t>(kDemoLengths[k]) - 1 - kTailGap[k];
  for (std::uint32_t s = 0; s <= last; ++s) image[ImageAddress(info.layout, s)] = random.Next();

  const bool split = info.layout == SlotLayout::Split;
  if (!split) {
    // Word 0 a stack top, the others odd entry points inside the image.
    for (std::uint32_t w = 0; w < kVectorWords; ++w) {
      const std::uint32_t word = w == 0 ? 0x20002000u + static_cast<std::uint32_t>(slot) * 0x100u : 0x101u + 0x20u * w;
      for (std::uint32_t b = 0; b < 4; ++b) image[4 * w + b] = static_cast<std::uint8_t>(word >> (8 * b));
    }
  }
  const std::uint32_t field = split ? kSplitVersionField : kFlatVersionField;
  PutText(image, info.layout, info.versionOffset, kDemoVersions[k], field);
  PutText(image, info.layout, info.versionOffset + field, kDemoLabel,
          static_cast<std::uint32_t>(kDemoLabel.size()));

  // The length scan stops at the last byte that is not 0xFF.
  std::uint8_t& tail = image[ImageAddress(info.layout, last)];
  if (tail == 0xFF) tail = 0x00;
  return image;
}

std::string DemoFileStem(int slot) {
  return "demo-slot" + std::to_string(slot) + "-" + std::string(kModuleSlots[static_cast<std::size_t>(slot)].name);
}

namespace {

bool WriteDemoFile(const std::string& path, std::span<const std::uint8_t> bytes, std::ostream& err) {
  CFile file;
  if (!file.Open(path, FileMode::CreateWrite)) {
    err << msg::kDemoPrefix << fw::FormatText(msg::kCreateFailed, {path, file.ErrorText()}) << '\n';
    return false;
  }
  if (!file.Write(bytes)) {
    err << msg::kDemoPrefix << fw::FormatText(msg::kWriteFailed, {path, file.ErrorText()}) << '\n';
    return false;
  }
  return true;
}

std::span<const std::uint8_t> AsBytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

int RunMakeDemoFirmware(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  std::string dir;
  bool haveDir = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--help" || args[i] == "-h") {
      out << msg::kDemoUsage << '\n';
      return 0;
    }
    if (args[i] == "--out" && i + 1 < args.size() && !haveDir) {
      dir = args[++i];
      haveDir = true;
    } else {
      err << msg::kDemoUsage << '\n';
      return 2;
    }
  }
  if (!haveDir) {
    err << msg::kDemoUsage << '\n';
    return 2;
  }

  int written = 0;
  for (int k = 0; k < kModuleCount; ++k) {
    const MemoryImage image = MakeDemoImage(k);
    const std::string stem = fw::JoinPath(dir, DemoFileStem(k));
    if (!WriteDemoFile(stem + ".bin", image, err) || !WriteDemoFile(stem + ".hex", AsBytes(FormatIntelHex(image)), err)) {
      return 1;
    }
    written += 2;
  }
  if (!WriteDemoFile(fw::JoinPath(dir, "README.txt"), AsBytes(msg::kDemoReadme), err)) return 1;
  out << msg::kDemoPrefix << fw::FormatText(msg::kDemoWrote, {std::to_string(written + 1), dir}) << '\n';
  return 0;
}

}  // namespace brevan::pack
