#pragma once
// The ten modem module types; the type number is the image-bank slot number
// everywhere in the updater.
#include <array>
#include <cstdint>
#include <string_view>

namespace brevan {

inline constexpr int kModuleCount = 10;

enum class SlotLayout {
  Split,  // slot = image from 0x2000 up, with the image's first 175 bytes in front
  Flat,   // slot = image from 0x0000
};

struct ModuleSlot {
  std::string_view name;        // module name as listed and shown
  char typeLetter;              // first character of the slot's version text
  SlotLayout layout;
  std::uint32_t versionOffset;  // version field, as a slot offset
  std::uint32_t versionChars;   // characters taken from it at most
  std::uint32_t scanStart;      // where the length scan starts (slot offset)
};

inline constexpr std::array<ModuleSlot, kModuleCount> kModuleSlots{{
    {"GTM900-2", '5', SlotLayout::Split, 0xB0, 6, 0xDFBF},
    {"CM320-2", '6', SlotLayout::Split, 0xB0, 6, 0xDFBF},
    {"EM310", '7', SlotLayout::Split, 0xB0, 16, 0xDFBF},
    {"EM200", '8', SlotLayout::Split, 0xB0, 16, 0xDFBF},
    {"GC864", '9', SlotLayout::Flat, 0x4000, 20, 0xDFBF},
    {"MC75", 'A', SlotLayout::Flat, 0x4000, 20, 0xDFBF},
    {"CC864", 'C', SlotLayout::Flat, 0x4000, 20, 0xFFDA},
    {"NET100", 'D', SlotLayout::Flat, 0x4000, 20, 0xFFDA},
    {"UC864", 'W', SlotLayout::Flat, 0x4000, 20, 0xFFDA},
    {"GL868", 'B', SlotLayout::Flat, 0x4000, 20, 0xFFDA},
}};

}  // namespace brevan
