// Scans every file of a build's bin/ directory for the overlay magic. The
// updater takes the first occurrence in its program file, so no program may
// carry the nine bytes except a shipped updater, whose overlay is its last
// 655,360 bytes. Exit 0 when every file is clean.
#include <filesystem>
#include <iostream>

#include "updater/image_bank/image_bank.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: magic-scan DIR SHIPPED-NAME\n";
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  const std::string shippedName = argv[2];
  int scanned = 0;
  int failures = 0;
  bool sawShipped = false;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    if (!entry.is_regular_file()) continue;
    const std::string path = entry.path().string();
    brevan::FileProblem problem;
    const std::int64_t at = brevan::FindOverlayMagic(path, problem);
    ++scanned;
    if (problem) {
      std::cerr << "FAIL " << path << ": cannot read: " << problem.cause << '\n';
      ++failures;
      continue;
    }
    const auto size = static_cast<std::int64_t>(entry.file_size());
    const bool isShipped = entry.path().filename().string() == shippedName;
    if (isShipped) {
      sawShipped = true;
      if (at != size - brevan::kOverlaySize) {
        std::cerr << "FAIL " << path << ": first magic at " << at << ", overlay starts at "
                  << size - brevan::kOverlaySize << '\n';
        ++failures;
      }
    } else if (at >= 0) {
      std::cerr << "FAIL " << path << ": carries the overlay magic at offset " << at << '\n';
      ++failures;
    }
  }
  if (ec) {
    std::cerr << "FAIL cannot list " << dir.string() << ": " << ec.message() << '\n';
    return 1;
  }
  if (!sawShipped) {
    std::cerr << "FAIL " << shippedName << " not found in " << dir.string() << '\n';
    ++failures;
  }
  std::cout << scanned << " files scanned, " << failures << " failed\n";
  return failures == 0 ? 0 : 1;
}
