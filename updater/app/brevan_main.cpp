// The updater as far as it stands: the image bank's start-up steps and a
// listing of what was loaded.
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "framework/command_line.h"
#include "framework/platform_paths.h"
#include "framework/ui_language.h"
#include "updater/app/bank_listing.h"
#include "updater/resources/brevan_strings.h"

int main(int argc, char** argv) {
  const fw::UiLanguage language = fw::SystemUiLanguage();
  bool list = false;
  std::string image;
  bool haveImage = false;
  const std::vector<std::string> args = fw::CommandLineArguments(argc, argv);
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--list") {
      list = true;
    } else if (arg == "--image" && i + 1 < args.size()) {
      image = args[++i];
      haveImage = true;
    } else if (arg == "--help" || arg == "-h") {
      std::cout << brevan::BrevanString(language, brevan::IDS_LIST_USAGE) << '\n';
      return 0;
    } else {
      std::cerr << brevan::BrevanString(language, brevan::IDS_LIST_USAGE) << '\n';
      return 2;
    }
  }
  if (!list) {
    std::cerr << brevan::BrevanString(language, brevan::IDS_LIST_USAGE) << '\n';
    return 2;
  }

  const std::string self = fw::ModuleFilePath();
  auto bank = std::make_unique<brevan::CImageBank>();  // 640 KiB: not on the stack
  if (!brevan::LoadBankAtStartUp(*bank, language, self, haveImage ? &image : nullptr, std::cerr)) return 1;
  brevan::PrintBankListing(std::cout, language, *bank);
  return 0;
}
