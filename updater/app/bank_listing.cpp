#include "updater/app/bank_listing.h"

#include <array>
#include <cstdio>

#include "framework/text_format.h"
#include "updater/resources/brevan_strings.h"

namespace brevan {

std::string PrintableVersion(const std::string& text) {
  if (text.empty()) return "-";
  std::string out;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u > 0x20 && u < 0x7F && u != '\\') {
      out += c;
    } else {
      std::array<char, 5> hex{};
      std::snprintf(hex.data(), hex.size(), "\\x%02X", u);
      out += hex.data();
    }
  }
  return out;
}

void PrintBankListing(std::ostream& out, fw::UiLanguage language, const CImageBank& bank) {
  for (int k = 0; k < kModuleCount; ++k) {
    out << k << ' ' << kModuleSlots[k].name << ' ' << PrintableVersion(bank.m_strImageVersion[k]) << ' '
        << bank.m_nImageLength[k] << '\n';
  }
  out << fw::FormatText(BrevanString(language, IDS_LIST_LOAD_MODE),
                        {std::to_string(bank.m_nLoadMode), std::to_string(bank.m_nLoadedModule)})
      << '\n';
}

bool LoadBankAtStartUp(CImageBank& bank, fw::UiLanguage language, const std::string& programPath,
                       const std::string* imagePath, std::ostream& err) {
  auto fail = [&](const std::string& text) {
    err << text << '\n';
    return false;
  };
  bank.m_strExePath = programPath;
  bank.PrepareSlots();
  if (imagePath == nullptr) {
    if (!bank.FindImageBank()) {
      if (bank.Problem()) return fail(DescribeFileProblem(language, bank.Problem()));
      return fail(fw::FormatText(BrevanString(language, IDS_NO_IMAGES), {programPath}));
    }
    if (!bank.LoadImageBank()) return fail(DescribeFileProblem(language, bank.Problem()));
    return true;
  }
  if (!bank.LoadImageFromFile(*imagePath)) return fail(DescribeFileProblem(language, bank.Problem()));
  return true;
}

}  // namespace brevan
