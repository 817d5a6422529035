#include "packaging/brevan_pack.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <ostream>
#include <vector>

#include "framework/text_format.h"
#include "framework/ui_language.h"
#include "packaging/file_bytes.h"
#include "packaging/intel_hex_reader.h"
#include "packaging/overlay_writer.h"
#include "packaging/pack_messages.h"
#include "updater/app/bank_listing.h"
#include "updater/image_bank/image_bank.h"

namespace brevan::pack {

namespace {

// No updater program comes near this; the overlay offset must stay a 32-bit value.
constexpr std::size_t kMaxProgramSize = 256u << 20;
// Generous for the Intel HEX text of a 64 KB image.
constexpr std::size_t kMaxImageFileSize = 32u << 20;

constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;

struct PackOptions {
  std::optional<std::string> program;
  std::optional<std::string> out;
  std::optional<std::string> list;
  bool replace = false;
  std::vector<std::string> images;
};

std::string ModuleOrder() {
  std::string text;
  for (int k = 0; k < kModuleCount; ++k) {
    if (k > 0) text += k == 5 ? ",\n                   " : ", ";  // aligned with the usage text
    text += std::to_string(k);
    text += ' ';
    text += kModuleSlots[static_cast<std::size_t>(k)].name;
  }
  return text;
}

// False with message set on bad usage.
bool ParseOptions(std::span<const std::string> args, PackOptions& options, std::string& message) {
  auto takeValue = [&](std::size_t& i, std::optional<std::string>& slot) {
    if (slot) {
      message = fw::FormatText(msg::kRepeatedOption, {args[i]});
      return false;
    }
    if (i + 1 >= args.size()) {
      message = fw::FormatText(msg::kMissingValue, {args[i]});
      return false;
    }
    slot = args[++i];
    return true;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--program") {
      if (!takeValue(i, options.program)) return false;
    } else if (arg == "--out") {
      if (!takeValue(i, options.out)) return false;
    } else if (arg == "--list") {
      if (!takeValue(i, options.list)) return false;
    } else if (arg == "--replace") {
      options.replace = true;
    } else if (arg.size() > 1 && arg.front() == '-') {
      message = fw::FormatText(msg::kUnknownOption, {arg});
      return false;
    } else {
      options.images.push_back(arg);
    }
  }
  if (options.list) {
    if (options.program || options.out || options.replace || !options.images.empty()) {
      message = std::string(msg::kListAlone);
      return false;
    }
    return true;
  }
  if (!options.program) {
    message = std::string(msg::kMissingProgram);
    return false;
  }
  if (!options.out) {
    message = std::string(msg::kMissingOut);
    return false;
  }
  return true;
}

// Intel HEX when the first non-blank character is ':'. A 65,536-byte file
// that holds anything but HEX text is a memory image even if it starts so.
bool LooksLikeHex(std::span<const std::uint8_t> bytes) {
  const auto first = std::find_if(bytes.begin(), bytes.end(), [](std::uint8_t b) {
    return b != ' ' && b != '\t' && b != '\r' && b != '\n';
  });
  if (first == bytes.end() || *first != ':') return false;
  if (bytes.size() != kImageSize) return true;
  return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) {
    return b == ':' || b == ' ' || b == '\t' || b == '\r' || b == '\n' || (b >= '0' && b <= '9') ||
           (b >= 'A' && b <= 'F') || (b >= 'a' && b <= 'f');
  });
}

bool LoadSourceImage(const std::string& path, MemoryImage& image, std::string& message) {
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(path, kMaxImageFileSize, bytes, message)) return false;
  if (LooksLikeHex(bytes)) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return ParseIntelHex(text, path, image, message);
  }
  if (bytes.size() != kImageSize) {
    message = fw::FormatText(msg::kImageWrongSize, {path, std::to_string(bytes.size())});
    return false;
  }
  std::copy(bytes.begin(), bytes.end(), image.begin());
  return true;
}

int List(const std::string& path, std::ostream& out, std::ostream& err) {
  const fw::UiLanguage language = fw::SystemUiLanguage();
  auto bank = std::make_unique<CImageBank>();  // 640 KiB: not on the stack
  if (!LoadBankAtStartUp(*bank, language, path, nullptr, err)) return kExitRefused;
  PrintBankListing(out, language, *bank);
  return 0;
}

int Pack(const PackOptions& options, std::ostream& out, std::ostream& err) {
  const std::string& programPath = *options.program;
  const std::string& outPath = *options.out;
  std::vector<std::string> problems;

  if (options.images.size() != kOverlayBlocks) {
    problems.push_back(fw::FormatText(msg::kImageCount, {std::to_string(options.images.size())}));
  }
  if (std::find(options.images.begin(), options.images.end(), outPath) != options.images.end()) {
    problems.push_back(fw::FormatText(msg::kOutIsInput, {outPath}));
  }

  std::vector<std::uint8_t> shipped;
  std::string message;
  if (ReadWholeFile(programPath, kMaxProgramSize, shipped, message)) {
    FileProblem problem;
    const std::int64_t overlayAt = FindOverlayMagic(programPath, problem);
    if (problem) {
      problems.push_back(fw::FormatText(msg::kReadFailed, {problem.path, problem.cause}));
    } else if (overlayAt >= 0 && !options.replace) {
      problems.push_back(fw::FormatText(msg::kAlreadyPacked, {programPath, std::to_string(overlayAt)}));
    } else if (overlayAt >= 0) {
      shipped.resize(std::min(shipped.size(), static_cast<std::size_t>(overlayAt)));
    }
  } else {
    problems.push_back(message);
  }

  // Every image is checked, so that one run names all the files to fix.
  std::vector<MemoryImage> images(options.images.size());
  for (std::size_t k = 0; k < options.images.size(); ++k) {
    if (!LoadSourceImage(options.images[k], images[k], message)) problems.push_back(message);
  }

  if (!problems.empty()) {
    for (const std::string& p : problems) err << msg::kPackPrefix << p << '\n';
    err << msg::kPackPrefix << msg::kNothingWritten << '\n';
    return kExitRefused;
  }

  const std::size_t overlayOffset = shipped.size();
  const std::vector<std::uint8_t> overlay =
      BuildOverlay(std::span<const MemoryImage, kOverlayBlocks>(images.data(), kOverlayBlocks));
  shipped.insert(shipped.end(), overlay.begin(), overlay.end());
  if (!WriteFileReplacing(outPath, shipped, programPath, message)) {
    err << msg::kPackPrefix << message << '\n' << msg::kPackPrefix << msg::kNothingWritten << '\n';
    return kExitRefused;
  }
  out << msg::kPackPrefix
      << fw::FormatText(msg::kPacked, {outPath, std::to_string(shipped.size()), std::to_string(overlayOffset)})
      << '\n';
  return 0;
}

}  // namespace

int RunBrevanPack(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  if (std::find_if(args.begin(), args.end(), [](const std::string& a) { return a == "--help" || a == "-h"; }) !=
      args.end()) {
    out << fw::FormatText(msg::kPackUsage, {ModuleOrder()}) << '\n';
    return 0;
  }
  PackOptions options;
  std::string message;
  if (!ParseOptions(args, options, message)) {
    err << msg::kPackPrefix << message << '\n';
    return kExitUsage;
  }
  if (options.list) return List(*options.list, out, err);
  return Pack(options, out, err);
}

}  // namespace brevan::pack
