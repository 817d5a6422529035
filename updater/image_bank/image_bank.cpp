#include "updater/image_bank/image_bank.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <limits>
#include <vector>

#include "framework/file.h"

namespace brevan {

namespace {

constexpr int kSplitSlots = 4;     // slots 0-3 use the split layout
constexpr int kPreparedSlots = 7;  // slots 0-6 start as 0xFF
constexpr std::size_t kSearchChunk = 1 << 20;

// Reads count bytes at offset into dest; a short read leaves the rest of dest as it was.
bool ReadAt(CFile& file, const std::string& path, std::int64_t offset, std::span<std::uint8_t> dest,
            FileProblem& problem) {
  if (!file.Seek(offset) || file.Read(dest) < 0) {
    problem = {FileStep::Read, path, file.ErrorText()};
    return false;
  }
  return true;
}

}  // namespace

CImageBank::CImageBank(ImageFilePlace intermediate)
    : m_converter(std::make_unique<CHexImageConverter>(std::move(intermediate))) {}

void CImageBank::PrepareSlots() {
  for (int k = 0; k < kPreparedSlots; ++k) m_imageBank[k].fill(0xFF);
}

std::int64_t FindOverlayMagic(std::string_view path, FileProblem& problem) {
  CFile file;
  if (!file.Open(path, FileMode::Read)) {
    problem = {FileStep::Open, std::string(path), file.ErrorText()};
    return -1;
  }
  const auto magic = OverlayMagic();
  const std::string_view needle = AsView(magic);
  // Each chunk is read to a page-aligned place (the kernel copies fastest
  // there) and preceded by the last 8 bytes of the one before, so that a
  // magic straddling two chunks is still seen, and at its first position.
  constexpr std::size_t kKeep = kMagicSize - 1;
  constexpr std::size_t kLead = 4096;
  constexpr std::align_val_t kAlign{4096};
  struct AlignedDelete {
    void operator()(std::uint8_t* p) const { ::operator delete[](p, kAlign); }
  };
  const std::unique_ptr<std::uint8_t[], AlignedDelete> buffer(new (kAlign) std::uint8_t[kLead + kSearchChunk]);
  const std::span<std::uint8_t> chunk(buffer.get() + kLead, kSearchChunk);
  std::size_t carried = 0;    // bytes kept in front of the chunk
  std::int64_t consumed = 0;  // file offset of the chunk's first byte
  for (;;) {
    const std::int64_t n = file.Read(chunk);
    if (n < 0) {
      problem = {FileStep::Read, std::string(path), file.ErrorText()};
      return -1;
    }
    if (n == 0) return -1;
    const auto count = static_cast<std::size_t>(n);
    const std::string_view hay(reinterpret_cast<const char*>(chunk.data()) - carried, carried + count);
    const std::size_t at = hay.find(needle);
    if (at != std::string_view::npos) {
      return consumed - static_cast<std::int64_t>(carried) + static_cast<std::int64_t>(at);
    }
    // Keep the tail: the last kKeep bytes of what was just searched.
    const std::size_t keep = std::min(kKeep, hay.size());
    std::memmove(chunk.data() - keep, hay.data() + hay.size() - keep, keep);
    carried = keep;
    consumed += n;
  }
}

bool CImageBank::FindImageBank() {
  m_nOverlayOffset = 0;
  m_problem = {};
  const std::int64_t at = FindOverlayMagic(m_strExePath, m_problem);
  // The offset is a 32-bit field; an overlay past 2 GiB cannot be addressed.
  if (at < 0 || at > std::numeric_limits<std::int32_t>::max()) return false;
  m_nOverlayOffset = static_cast<std::int32_t>(at);
  return true;
}

bool CImageBank::LoadImageBank() {
  m_problem = {};
  CFile file;
  if (!file.Open(m_strExePath, FileMode::Read)) {
    m_problem = {FileStep::Open, m_strExePath, file.ErrorText()};
    return false;
  }
  // An overlay cut where bytes are read would leave 0xFF where firmware
  // belongs and the board would be written a partial image: refuse it instead.
  const std::int64_t size = file.Size();
  if (size < 0) {
    m_problem = {FileStep::Read, m_strExePath, file.ErrorText()};
    return false;
  }
  const std::int64_t present = size - m_nOverlayOffset;
  if (present < kOverlayBytesRead) {
    m_problem = {FileStep::OverlayTruncated, m_strExePath, {}, std::max<std::int64_t>(present, 0)};
    return false;
  }

  const std::int64_t base = m_nOverlayOffset;
  for (int k = 0; k < kModuleCount; ++k) {
    const std::int64_t block = base + static_cast<std::int64_t>(k) * kBlockSize;
    Slot& slot = m_imageBank[k];
    if (k < kSplitSlots) {
      // The body's last 30 bytes come from the next block's header; they sit
      // above the length scan's start and are never sent.
      if (!ReadAt(file, m_strExePath, block + kBlockHeaderSize + kSplitImageBase,
                  std::span(slot).first(kSplitBodyBytes), m_problem) ||
          !ReadAt(file, m_strExePath, block + kBlockHeaderSize, std::span(slot).first(kSplitHeadBytes),
                  m_problem)) {
        return false;
      }
    } else if (!ReadAt(file, m_strExePath, block + kBlockHeaderSize, std::span(slot).first(kFlatBytes),
                       m_problem)) {
      return false;
    }
  }
  for (int k = 0; k < kModuleCount; ++k) m_strImageVersion[k] = CutVersionText(k);
  file.Close();
  MeasureImageLengths();
  m_nLoadMode = 10;
  return true;
}

bool CImageBank::LoadImageFromFile(std::string_view chosenPath) {
  m_problem = {};
  if (!m_converter->ConvertHexFile(chosenPath)) {
    m_problem = m_converter->Problem();
    return false;
  }

  // Slots 0-3: the converted image in the split layout, read back through the
  // handle that wrote it; the image file is gone when this block is left.
  {
    struct RemoveAtEnd {
      CHexImageConverter& converter;
      ~RemoveAtEnd() { converter.RemoveImageFile(); }
    } removeAtEnd{*m_converter};
    CFile& image = m_converter->ImageFile();
    const std::string& imagePath = m_converter->ImagePath();
    Slot& slot0 = m_imageBank[0];
    if (!ReadAt(image, imagePath, kSplitImageBase, std::span(slot0).first(kSplitBodyBytes), m_problem) ||
        !ReadAt(image, imagePath, 0, std::span(slot0).first(kSplitHeadBytes), m_problem)) {
      return false;
    }
    for (int k = 1; k < kSplitSlots; ++k) {
      std::copy_n(slot0.begin(), kSplitBodyBytes, m_imageBank[k].begin());
    }
  }

  // Slots 4-9: the chosen file's own bytes in the flat layout.
  {
    CFile chosen;
    const std::string path(chosenPath);
    if (!chosen.Open(path, FileMode::Read)) {
      m_problem = {FileStep::Open, path, chosen.ErrorText()};
      return false;
    }
    Slot& slot4 = m_imageBank[kSplitSlots];
    if (!ReadAt(chosen, path, 0, std::span(slot4).first(kFlatBytes), m_problem)) return false;
    for (int k = kSplitSlots + 1; k < kModuleCount; ++k) {
      std::copy_n(slot4.begin(), kFlatBytes, m_imageBank[k].begin());
    }
  }

  MeasureImageLengths();
  m_nLoadMode = 1;
  // A later slot whose text carries its own letter replaces an earlier one.
  for (int k = 0; k < kModuleCount; ++k) {
    std::string text = CutVersionText(k);
    if (!text.empty() && text.front() == kModuleSlots[k].typeLetter) {
      m_strImageVersion[k] = std::move(text);
      m_nLoadedModule = k;
    }
  }
  return true;
}

void CImageBank::MeasureImageLengths() {
  for (int k = 0; k < kModuleCount; ++k) {
    const Slot& slot = m_imageBank[k];
    std::uint32_t i = kModuleSlots[k].scanStart;
    while (i > 0 && slot[i] == 0xFF) --i;  // stops at byte 0: an all-0xFF slot is one page
    m_nImageLength[k] = static_cast<std::int32_t>((i / 128 + 1) * 128);
  }
}

std::string CImageBank::CutVersionText(int slot) const {
  const ModuleSlot& info = kModuleSlots[slot];
  const auto field = std::span(m_imageBank[slot]).subspan(info.versionOffset, info.versionChars);
  const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
  return {field.begin(), end};
}

}  // namespace brevan
