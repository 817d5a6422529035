#pragma once
// The ten modem module types; the type number is the image-bank slot number
// everywhere in the updater. This table is the one place that knows a
// module: packaging/CMakeLists.txt reads the names from the rows below.
#include <array>
#include <cstdint>
#include <string_view>

namespace brevan {

inline constexpr int kModuleCount = 10;

enum class SlotLayout {
  Split,  // slot = image from 0x2000 up, with the image's first 175 bytes in front
  Flat,   // slot = image from 0x0000
};

// How the loader's module-name reply is matched to a row.
enum class NameMatch {
  Exact,   // the whole reply text
  Prefix,  // the reply text starts with it
};

struct ModuleSlot {
  std::string_view name;        // module name as listed and shown
  char typeLetter;              // first character of the slot's version text
  SlotLayout layout;
  std::uint32_t versionOffset;  // version field, as a slot offset
  std::uint32_t versionChars;   // characters taken from it at most
  std::uint32_t scanStart;      // where the length scan starts (slot offset)
  std::string_view replyName;   // what the loader's module-name reply carries
  NameMatch match;
  std::uint32_t loadAddress;    // board address of the image's first byte
};

// One row a line, the name first: packaging's configure step depends on it.
inline constexpr std::array<ModuleSlot, kModuleCount> kModuleSlots{{
    {"GTM900-2", '5', SlotLayout::Split, 0xB0, 6, 0xDFBF, "GTM900-2", NameMatch::Exact, 0x2000},
    {"CM320-2", '6', SlotLayout::Split, 0xB0, 6, 0xDFBF, "CM320-2", NameMatch::Exact, 0x2000},
    {"EM310", '7', SlotLayout::Split, 0xB0, 16, 0xDFBF, "EM310.00", NameMatch::Exact, 0x2000},
    {"EM200", '8', SlotLayout::Split, 0xB0, 16, 0xDFBF, "EM200.00", NameMatch::Exact, 0x2000},
    {"GC864", '9', SlotLayout::Flat, 0x4000, 20, 0xDFBF, "GC864.", NameMatch::Prefix, 0x4000},
    {"MC75", 'A', SlotLayout::Flat, 0x4000, 20, 0xDFBF, "MC75.", NameMatch::Prefix, 0x4000},
    {"CC864", 'C', SlotLayout::Flat, 0x4000, 20, 0xFFDA, "CC864.", NameMatch::Prefix, 0x4000},
    {"NET100", 'D', SlotLayout::Flat, 0x4000, 20, 0xFFDA, "NET100.", NameMatch::Prefix, 0x4000},
    {"UC864", 'W', SlotLayout::Flat, 0x4000, 20, 0xFFDA, "UC864", NameMatch::Prefix, 0x4000},
    {"GL868", 'B', SlotLayout::Flat, 0x4000, 20, 0xFFDA, "GL868", NameMatch::Prefix, 0x4000},
}};

// Where a slot's image goes on the board; slot must be 0..kModuleCount-1.
constexpr std::uint32_t LoadAddress(int slot) { return kModuleSlots[static_cast<std::size_t>(slot)].loadAddress; }

// Whether a module-name reply names that row's module.
constexpr bool NamesModule(const ModuleSlot& row, std::string_view reply) {
  return row.match == NameMatch::Exact ? reply == row.replyName : reply.starts_with(row.replyName);
}

}  // namespace brevan
