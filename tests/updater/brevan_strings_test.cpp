// The updater's messages as LoadMessage cuts them, in both languages.
#include <gtest/gtest.h>

#include "updater/resources/brevan_strings.h"

using namespace brevan;

TEST(BrevanStrings, EveryUpgradeMessageExistsInBothLanguages) {
  for (int id = IDS_ABOUTBOX; id <= IDS_WRONG_FIRMWARE; ++id) {
    EXPECT_FALSE(BrevanString(fw::UiLanguage::English, id).empty()) << id;
    EXPECT_FALSE(BrevanString(fw::UiLanguage::Chinese, id).empty()) << id;
  }
}

TEST(BrevanStrings, CountdownTextsCutAroundTheSeconds) {
  fw::MessageLines m;
  fw::LoadMessage(BrevanStrings(), fw::UiLanguage::English, IDS_COUNTDOWN_CAPTION, m);
  EXPECT_EQ(m[0], "counting down ");
  EXPECT_EQ(m[1], "S");
  EXPECT_EQ(m[2], "");
  fw::LoadMessage(BrevanStrings(), fw::UiLanguage::Chinese, IDS_COUNTDOWN_LINE, m);
  EXPECT_EQ(m[0], "状态:>>剩余时间");
  EXPECT_EQ(m[1], "秒!");
  fw::LoadMessage(BrevanStrings(), fw::UiLanguage::English, IDS_UPDATED, m);
  EXPECT_EQ(m[0], "Status:>>Congratulations! updated!");
  EXPECT_EQ(m[1], "");
}
