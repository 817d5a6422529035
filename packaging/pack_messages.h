#pragma once
// Every text brevan-pack and make-demo-firmware print, in English only (they
// are build tools). %1 ... %9 are filled by fw::FormatText.
#include <string_view>

namespace brevan::pack::msg {

// Intel HEX reader: %1 file, %2 line number.
inline constexpr std::string_view kHexNoColon = "%1: line %2: a record must start with ':'";
inline constexpr std::string_view kHexBadDigit = "%1: line %2: '%3' at column %4 is not a hex digit";
inline constexpr std::string_view kHexOddDigits = "%1: line %2: odd number of hex digits";
inline constexpr std::string_view kHexTooShort = "%1: line %2: record too short to hold its header and checksum";
inline constexpr std::string_view kHexLengthMismatch =
    "%1: line %2: record says %3 data bytes but carries %4";
inline constexpr std::string_view kHexBadChecksum =
    "%1: line %2: checksum mismatch (record ends in %3, bytes call for %4)";
inline constexpr std::string_view kHexUnknownType = "%1: line %2: unknown record type %3";
inline constexpr std::string_view kHexBadTypeLength =
    "%1: line %2: a type %3 record carries %4 data bytes, not %5";
inline constexpr std::string_view kHexNoEnd = "%1: no end-of-file record (type 01): the file looks cut short";

// Files: %1 file, %2 the system's cause.
inline constexpr std::string_view kOpenFailed = "%1: cannot open: %2";
inline constexpr std::string_view kReadFailed = "%1: cannot read: %2";
inline constexpr std::string_view kCreateFailed = "%1: cannot create: %2";
inline constexpr std::string_view kWriteFailed = "%1: cannot write: %2";
inline constexpr std::string_view kRenameFailed = "%1: cannot put the result in place: %2";
inline constexpr std::string_view kPermissionsFailed = "%1: cannot copy the permission bits of %2: %3";
inline constexpr std::string_view kFileChanged = "%1: the file changed size while being read";
// %1 file, %2 its size, %3 the limit.
inline constexpr std::string_view kFileTooLarge = "%1: %2 bytes is more than the %3 bytes accepted here";

// Source images: %1 file, %2 its size.
inline constexpr std::string_view kImageWrongSize =
    "%1: %2 bytes; a memory image must be exactly 65536 bytes (or give an Intel HEX file)";

// brevan-pack.
inline constexpr std::string_view kPackPrefix = "brevan-pack: ";
inline constexpr std::string_view kPackUsage =
    "usage: brevan-pack --program BARE --out SHIPPED [--replace] IMG0 ... IMG9\n"
    "       brevan-pack --list FILE\n"
    "\n"
    "  --program BARE   the bare updater program the images are appended to\n"
    "  --out SHIPPED    the file written: BARE followed by the image overlay;\n"
    "                   written beside SHIPPED and moved into place only when\n"
    "                   everything succeeded; gets BARE's permission bits\n"
    "  --replace        BARE already carries an overlay: cut it off first\n"
    "                   (without it such a BARE is refused)\n"
    "  IMG0 ... IMG9    exactly ten images, one per module slot in this order:\n"
    "                   %1\n"
    "                   each a 65536-byte memory image or an Intel HEX file\n"
    "                   (a file whose first non-blank character is ':')\n"
    "  --list FILE      print the image bank the updater would load from FILE\n"
    "  --help           show this text\n"
    "\n"
    "Exit status 0 on success, 1 when a file was refused, 2 for bad usage.";
inline constexpr std::string_view kUnknownOption = "unknown option %1 (see --help)";
inline constexpr std::string_view kMissingValue = "option %1 needs a value";
inline constexpr std::string_view kRepeatedOption = "option %1 given more than once";
inline constexpr std::string_view kMissingProgram = "--program BARE is missing (see --help)";
inline constexpr std::string_view kMissingOut = "--out SHIPPED is missing (see --help)";
inline constexpr std::string_view kListAlone = "--list takes one file and no other options (see --help)";
inline constexpr std::string_view kImageCount =
    "expected 10 images, one per module slot 0-9, but %1 were given";
// %1 program file, %2 offset.
inline constexpr std::string_view kAlreadyPacked =
    "%1 already carries an image overlay at offset %2; give --replace to replace it";
inline constexpr std::string_view kOutIsInput = "%1: --out names one of the input images";
inline constexpr std::string_view kNothingWritten = "nothing was written";
// %1 shipped file, %2 its size, %3 overlay offset.
inline constexpr std::string_view kPacked = "wrote %1: %2 bytes, image overlay at offset %3";

// make-demo-firmware.
inline constexpr std::string_view kDemoPrefix = "make-demo-firmware: ";
inline constexpr std::string_view kDemoUsage =
    "usage: make-demo-firmware --out DIR\n"
    "\n"
    "  --out DIR   existing directory that receives the demo firmware set:\n"
    "              demo-slotK-MODULE.bin (65536-byte memory image) and\n"
    "              demo-slotK-MODULE.hex (the same as Intel HEX) for K = 0..9\n"
    "  --help      show this text\n"
    "\n"
    "The images are generated demo data, not real firmware.";
inline constexpr std::string_view kDemoWrote = "wrote %1 demo files to %2";
// Written beside the images as README.txt.
inline constexpr std::string_view kDemoReadme =
    "DEMO DATA - NOT REAL FIRMWARE.\r\n"
    "These images were generated by make-demo-firmware to exercise the updater's\r\n"
    "packaging and loading. Never write them to a modem board.\r\n";

}  // namespace brevan::pack::msg
