// What the listing and the load messages show a user.
#include "updater/app/bank_listing.h"

#include <gtest/gtest.h>

#include <sstream>

#include "framework/text_format.h"
#include "updater/resources/brevan_strings.h"

namespace {

using fw::UiLanguage;

TEST(BankListing, PrintsEverySlotThenTheLoadMode) {
  auto bank = std::make_unique<brevan::CImageBank>();
  bank->m_strImageVersion[5] = "A120807";
  bank->m_strImageVersion[9] = std::string("B\x01 x", 4);
  for (int k = 0; k < 10; ++k) bank->m_nImageLength[k] = 128 * (k + 1);
  bank->m_nLoadMode = 1;
  bank->m_nLoadedModule = 5;
  std::ostringstream out;
  brevan::PrintBankListing(out, UiLanguage::English, *bank);
  const std::string text = out.str();
  EXPECT_NE(text.find("0 GTM900-2 - 128\n"), std::string::npos);
  EXPECT_NE(text.find("5 MC75 A120807 768\n"), std::string::npos);
  EXPECT_NE(text.find("9 GL868 B\\x01\\x20x 1280\n"), std::string::npos);
  EXPECT_TRUE(text.ends_with("load mode 1, loaded module 5\n")) << text;
}

TEST(BankMessages, NameTheFileAndTheCauseInBothLanguages) {
  const brevan::FileProblem problem{brevan::FileStep::Create, "c:\\pgm.isp", "Access denied"};
  for (const UiLanguage language : {UiLanguage::English, UiLanguage::Chinese}) {
    const std::string text = brevan::DescribeFileProblem(language, problem);
    EXPECT_NE(text.find("c:\\pgm.isp"), std::string::npos) << text;
    EXPECT_NE(text.find("Access denied"), std::string::npos) << text;
  }
  EXPECT_NE(brevan::DescribeFileProblem(UiLanguage::Chinese, problem).find("无法创建文件"), std::string::npos);
  const brevan::FileProblem cut{brevan::FileStep::OverlayTruncated, "/opt/brevan", "", 4096};
  EXPECT_EQ(brevan::DescribeFileProblem(UiLanguage::English, cut),
            "ERROR:>>the firmware images in \"/opt/brevan\" are incomplete: 4096 of 655353 bytes present");
}

TEST(BankMessages, EveryEntryExistsInBothLanguages) {
  for (int id = brevan::IDS_FILE_OPEN_FAILED; id <= brevan::IDS_LIST_USAGE; ++id) {
    EXPECT_FALSE(brevan::BrevanString(UiLanguage::English, id).empty()) << id;
    EXPECT_FALSE(brevan::BrevanString(UiLanguage::Chinese, id).empty()) << id;
  }
  EXPECT_TRUE(brevan::BrevanString(UiLanguage::English, 9999).empty());
}

TEST(FormatText, FillsNumberedPlacesAndKeepsTheRest) {
  EXPECT_EQ(fw::FormatText("%2 before %1, 100%% %3", {"a", "b"}), "b before a, 100% ");
  EXPECT_EQ(fw::FormatText("trailing %", {}), "trailing %");
}

}  // namespace
