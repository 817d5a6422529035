// Compares the board memory receiver-sim recorded (--flash-out) with one slot
// of the image bank a shipped updater carries, at the address the updater
// writes that slot to. Exit 0 when every byte of the slot's image matches,
// 1 on a mismatch, 2 when an input cannot be read.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "updater/image_bank/image_bank.h"

namespace {

int Usage() {
  std::cerr << "usage: flash-check --program SHIPPED --slot N --flash FILE\n"
               "  SHIPPED  the updater with its image bank (Brevan.exe, brevan)\n"
               "  N        module slot 0-9 that was written\n"
               "  FILE     the 64 KiB board memory from receiver-sim --flash-out\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string program, flashPath;
  int slot = -1;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string_view opt = argv[i];
    if (opt == "--program") {
      program = argv[i + 1];
    } else if (opt == "--slot") {
      char* end = nullptr;
      const long n = std::strtol(argv[i + 1], &end, 10);
      if (end == argv[i + 1] || *end != '\0' || n < 0 || n >= brevan::kModuleCount) return Usage();
      slot = static_cast<int>(n);
    } else if (opt == "--flash") {
      flashPath = argv[i + 1];
    } else {
      return Usage();
    }
  }
  if (argc % 2 == 0 || program.empty() || flashPath.empty() || slot < 0) return Usage();

  // The bank is loaded as the updater loads it, so the expected bytes are what it sends.
  auto bank = std::make_unique<brevan::CImageBank>();
  bank->m_strExePath = program;
  bank->PrepareSlots();
  if (!bank->FindImageBank()) {
    std::cerr << "flash-check: no image bank in " << program
              << (bank->Problem() ? ": " + bank->Problem().cause : std::string()) << '\n';
    return 2;
  }
  if (!bank->LoadImageBank()) {
    std::cerr << "flash-check: cannot load the image bank of " << program << ": " << bank->Problem().cause << '\n';
    return 2;
  }

  std::ifstream in(flashPath, std::ios::binary);
  if (!in) {
    std::cerr << "flash-check: cannot open " << flashPath << '\n';
    return 2;
  }
  const std::vector<std::uint8_t> flash{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (flash.size() != brevan::kSlotSize) {
    std::cerr << "flash-check: " << flashPath << " holds " << flash.size() << " bytes, not " << brevan::kSlotSize
              << '\n';
    return 1;
  }

  const auto index = static_cast<std::size_t>(slot);
  const std::uint32_t base = brevan::LoadAddress(slot);
  const auto length = static_cast<std::uint32_t>(bank->m_nImageLength[index]);
  const auto expected = bank->SlotBytes(slot);
  std::uint32_t wrong = 0;
  for (std::uint32_t o = 0; o < length; ++o) {
    const std::uint8_t got = flash[(base + o) & 0xFFFFu];
    if (got == expected[o]) continue;
    if (wrong < 8) {
      std::cerr << "flash-check: at 0x" << std::hex << ((base + o) & 0xFFFFu) << " board has 0x" << int{got}
                << ", slot has 0x" << int{expected[o]} << std::dec << '\n';
    }
    ++wrong;
  }
  const std::string_view name = brevan::kModuleSlots[index].name;
  if (wrong != 0) {
    std::cerr << "flash-check: slot " << slot << " (" << name << "): " << wrong << " of " << length
              << " bytes differ\n";
    return 1;
  }
  std::cout << "flash-check: slot " << slot << " (" << name << ", " << bank->m_strImageVersion[index] << "): "
            << length << " bytes (" << length / 128 << " pages) at 0x" << std::hex << base << std::dec
            << " match\n";
  return 0;
}
