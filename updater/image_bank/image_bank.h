#pragma once
// The ten firmware images of the updater, one slot per module type, their
// page-rounded lengths and version texts. Filled once at start-up, either
// from the overlay behind the program file (load mode 10) or from one
// firmware file the user chose (load mode 1); read-only afterwards.
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "updater/image_bank/file_problem.h"
#include "updater/image_bank/hex_image_converter.h"
#include "updater/image_bank/module_types.h"
#include "updater/image_bank/overlay_format.h"

namespace brevan {

class CImageBank {
 public:
  using Slot = std::array<std::uint8_t, kSlotSize>;

  explicit CImageBank(ImageFilePlace intermediate = DefaultIntermediateImagePlace());

  // Start-up preparation: slots 0-6 to 0xFF; both loads rely on it.
  void PrepareSlots();
  // True when the overlay magic was found in m_strExePath; sets
  // m_nOverlayOffset. False with Problem() set when the file could not be read.
  bool FindImageBank();
  // Fills all slots from the overlay (load mode 10).
  bool LoadImageBank();
  // Fills the slots from the chosen firmware file (load mode 1).
  bool LoadImageFromFile(std::string_view chosenPath);
  void MeasureImageLengths();

  // The version text of a slot as it stands in the slot's version field.
  std::string CutVersionText(int slot) const;

  std::span<const std::uint8_t> SlotBytes(int slot) const { return m_imageBank[slot]; }
  const FileProblem& Problem() const { return m_problem; }

  std::array<std::string, kModuleCount> m_strImageVersion;
  std::array<Slot, kModuleCount> m_imageBank{};
  std::array<std::int32_t, kModuleCount> m_nImageLength{};
  std::int32_t m_nOverlayOffset = 0;
  std::string m_strExePath;
  std::int32_t m_nLoadMode = -1;
  std::int32_t m_nLoadedModule = -1;

 private:
  std::unique_ptr<CHexImageConverter> m_converter;  // its 64 KB image lives as long as the bank
  FileProblem m_problem;
};

// Offset of the first occurrence of the overlay magic in the file, -1 when
// there is none; reads the file in large chunks. Problem set on failure.
std::int64_t FindOverlayMagic(std::string_view path, FileProblem& problem);

}  // namespace brevan
