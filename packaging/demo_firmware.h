#pragma once
// The demo firmware set: ten generated 64 KB memory images, one per module
// slot, that give the updater realistic version texts and lengths to work
// with. Demo data, not real firmware: each carries kDemoLabel in the part
// that is sent to the board. Generated the same way on every build.
#include <array>
#include <cstdint>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

#include "packaging/memory_image.h"
#include "updater/image_bank/module_types.h"

namespace brevan::pack {

inline constexpr std::string_view kDemoLabel = "DEMO IMAGE - NOT REAL FIRMWARE";

inline constexpr std::array<std::string_view, kModuleCount> kDemoVersions = {
    "591021", "691021", "7100412", "8091230", "9120220", "A120807", "C120220", "D120220", "W120220", "B120220"};
// The lengths the updater measures for the images, multiples of its 128-byte page.
inline constexpr std::array<std::int32_t, kModuleCount> kDemoLengths = {
    24064, 19328, 23808, 19456, 21120, 24064, 16896, 25984, 21120, 21120};

// Image of the given slot (0-9).
MemoryImage MakeDemoImage(int slot);

// "demo-slot<K>-<module>", the name of the slot's files without extension.
std::string DemoFileStem(int slot);

// make-demo-firmware's command line (without the program name); returns the exit status.
int RunMakeDemoFirmware(std::span<const std::string> args, std::ostream& out, std::ostream& err);

}  // namespace brevan::pack
