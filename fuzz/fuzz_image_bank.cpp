// The overlay search and the bank load over arbitrary program files, checked
// against the same file searched and sliced in memory.
//
// Input = [flags][lead 2][tail 3][body]. The file is `lead` fill bytes, the
// body, then `tail` bytes of the body repeated, so that small inputs reach
// the search's 1 MiB chunk seam (flags bit 0 moves the body near it) and
// whole or cut overlays.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "updater/image_bank/image_bank.h"

namespace {

constexpr std::size_t kSearchChunk = std::size_t{1} << 20;

// Kept across runs: the file is up to 1.7 MB and the bank 700 KB.
void ProgramFile(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& file) {
  const std::uint8_t flags = data[0];
  std::size_t lead = data[1] | std::size_t{data[2]} << 8;
  if (flags & 1) lead += kSearchChunk - 0x8000;
  const std::size_t tail =
      (data[3] | std::size_t{data[4]} << 8 | std::size_t{data[5]} << 16) % (brevan::kOverlaySize + 0x100);
  const std::uint8_t fill = (flags & 2) ? 0xFF : 0x00;
  const std::span<const std::uint8_t> body(data + 6, size - 6);
  file.assign(lead + body.size() + tail, fill);
  std::uint8_t* out = file.data() + lead;
  for (std::size_t left = body.empty() ? 0 : body.size() + tail; left > 0;) {
    const std::size_t n = std::min(left, body.size());
    std::memcpy(out, body.data(), n);
    out += n;
    left -= n;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 6) return 0;
  static const std::string path = fuzz::ScratchFile("program.bin");
  static std::vector<std::uint8_t> file;
  ProgramFile(data, size, file);
  fuzz::WriteWhole(path, file);

  const auto magic = brevan::OverlayMagic();
  const void* hit = ::memmem(file.data(), file.size(), magic.data(), magic.size());

  static const auto bank = std::make_unique<brevan::CImageBank>(fuzz::ScratchFile("pgm.isp"));
  bank->m_strExePath = path;
  for (auto& slot : bank->m_imageBank) slot.fill(0);
  bank->m_strImageVersion = {};
  bank->m_nImageLength = {};
  bank->m_nLoadMode = -1;
  bank->PrepareSlots();
  const bool found = bank->FindImageBank();
  FUZZ_CHECK(found == (hit != nullptr));
  FUZZ_CHECK(!bank->Problem());
  if (!found) return 0;
  const auto offset = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - file.data());
  FUZZ_CHECK(bank->m_nOverlayOffset == static_cast<std::int32_t>(offset));

  const bool loaded = bank->LoadImageBank();
  const std::size_t present = file.size() - offset;
  if (present < brevan::kOverlayBytesRead) {
    FUZZ_CHECK(!loaded);
    FUZZ_CHECK(bank->Problem().step == brevan::FileStep::OverlayTruncated);
    FUZZ_CHECK(bank->Problem().bytesFound == static_cast<std::int64_t>(present));
    return 0;
  }
  FUZZ_CHECK(loaded && bank->m_nLoadMode == 10);

  // Each slot as the overlay layout puts it together.
  brevan::CImageBank::Slot expected;
  for (int k = 0; k < brevan::kModuleCount; ++k) {
    expected.fill(k < 7 ? 0xFF : 0x00);
    const std::uint8_t* block = file.data() + offset + static_cast<std::size_t>(k) * brevan::kBlockSize;
    const std::uint8_t* data0 = block + brevan::kBlockHeaderSize;
    if (k < 4) {
      std::memcpy(expected.data(), data0 + brevan::kSplitImageBase, brevan::kSplitBodyBytes);
      std::memcpy(expected.data(), data0, brevan::kSplitHeadBytes);
    } else {
      std::memcpy(expected.data(), data0, brevan::kFlatBytes);
    }
    FUZZ_CHECK(bank->m_imageBank[k] == expected);
    const std::int32_t length = bank->m_nImageLength[k];
    FUZZ_CHECK(length >= 128 && length <= static_cast<std::int32_t>(brevan::kSlotSize) && length % 128 == 0);
    FUZZ_CHECK(bank->m_strImageVersion[k].size() <= brevan::kModuleSlots[k].versionChars);
  }
  return 0;
}
