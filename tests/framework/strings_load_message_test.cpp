// String tables, the message cutting of LoadMessage, the framework's prompts
// and the thread locale per language.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <optional>
#include <string>

#include "framework/string_table.h"
#include "framework/text_format.h"
#include "framework/ui_language.h"

namespace {

using fw::UiLanguage;

// Texts with n pieces: "p1\np2\n...\npn".
std::string Pieces(int n) {
  std::string text;
  for (int i = 1; i <= n; ++i) {
    if (i > 1) text += '\n';
    text += 'p';
    text += std::to_string(i);
  }
  return text;
}

const std::string kOne = Pieces(1);
const std::string kEleven = Pieces(11);
const std::string kForty = Pieces(40);
const std::string kFortyOne = Pieces(41);
const std::string kFortyFive = Pieces(45);

const fw::StringEntry kChinese[] = {
    {1, "中文\n第二行"},
};
const fw::StringEntry kEnglish[] = {
    {1, kOne},
    {11, kEleven},
    {40, kForty},
    {41, kFortyOne},
    {45, kFortyFive},
    {100, ""},
    {101, "end\n"},
    {102, "a\n\n\nb"},
    {103, "\n"},
};
const fw::CStringTable kTable(kChinese, kEnglish);

fw::MessageLines Load(int id, UiLanguage language = UiLanguage::English) {
  fw::MessageLines lines;
  lines.fill("stale");  // every entry must be emptied first
  fw::LoadMessage(kTable, language, id, lines);
  return lines;
}

// "p<n>", built with += (GCC 12 warns falsely on operator+ here).
std::string Piece(int n) {
  std::string s = "p";
  s += std::to_string(n);
  return s;
}

void ExpectEmptyFrom(const fw::MessageLines& lines, std::size_t first) {
  for (std::size_t i = first; i < lines.size(); ++i) EXPECT_EQ(lines[i], "") << "line " << i;
}

TEST(StringTable, LooksUpByLanguageAndId) {
  EXPECT_EQ(kTable.Lookup(UiLanguage::English, 1), "p1");
  EXPECT_EQ(kTable.Lookup(UiLanguage::Chinese, 1), "中文\n第二行");
  EXPECT_EQ(kTable.Lookup(UiLanguage::Chinese, 11), "");  // only in the English table
  EXPECT_EQ(kTable.Lookup(UiLanguage::English, 999), "");
}

TEST(LoadMessage, TextWithoutLineFeedLandsWholeInFirstLine) {
  const auto lines = Load(1);
  EXPECT_EQ(lines[0], "p1");
  ExpectEmptyFrom(lines, 1);
}

TEST(LoadMessage, MissingIdEmptiesEveryLine) {
  ExpectEmptyFrom(Load(999), 0);
  ExpectEmptyFrom(Load(11, UiLanguage::Chinese), 0);
}

TEST(LoadMessage, EmptyTextEmptiesEveryLine) { ExpectEmptyFrom(Load(100), 0); }

TEST(LoadMessage, ElevenPiecesFillElevenLines) {
  const auto lines = Load(11);
  for (int i = 0; i < 11; ++i) EXPECT_EQ(lines[static_cast<std::size_t>(i)], Piece(i + 1));
  ExpectEmptyFrom(lines, 11);
}

TEST(LoadMessage, FortyPiecesFillEveryLineWithoutLineFeeds) {
  const auto lines = Load(40);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(lines[static_cast<std::size_t>(i)], Piece(i + 1));
}

TEST(LoadMessage, FortyOnePiecesKeepTheRestWholeInLastLine) {
  const auto lines = Load(41);
  for (int i = 0; i < 39; ++i) EXPECT_EQ(lines[static_cast<std::size_t>(i)], Piece(i + 1));
  EXPECT_EQ(lines[39], "p40\np41");
}

TEST(LoadMessage, FortyFivePiecesKeepSixInLastLine) {
  const auto lines = Load(45);
  EXPECT_EQ(lines[38], "p39");
  EXPECT_EQ(lines[39], "p40\np41\np42\np43\np44\np45");
}

TEST(LoadMessage, TrailingLineFeedEndsWithAnEmptyPiece) {
  const auto lines = Load(101);
  EXPECT_EQ(lines[0], "end");
  ExpectEmptyFrom(lines, 1);
}

TEST(LoadMessage, ConsecutiveLineFeedsGiveEmptyLines) {
  const auto lines = Load(102);
  EXPECT_EQ(lines[0], "a");
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[2], "");
  EXPECT_EQ(lines[3], "b");
  ExpectEmptyFrom(lines, 4);
}

TEST(LoadMessage, LoneLineFeedGivesTwoEmptyPieces) { ExpectEmptyFrom(Load(103), 0); }

TEST(LoadMessage, ChineseTextIsCutAtItsLineFeed) {
  const auto lines = Load(1, UiLanguage::Chinese);
  EXPECT_EQ(lines[0], "中文");
  EXPECT_EQ(lines[1], "第二行");
  ExpectEmptyFrom(lines, 2);
}

TEST(FrameworkPrompts, ChineseTexts) {
  const fw::CStringTable& t = fw::FrameworkPrompts();
  EXPECT_EQ(t.Lookup(UiLanguage::Chinese, 61712), "请键入一个整数。");
  EXPECT_EQ(t.Lookup(UiLanguage::Chinese, 61714), "“请填入一个在%1和%2之间的整数。”");
  EXPECT_EQ(t.Lookup(UiLanguage::Chinese, 61716), "“请填入不多于%1个的字符。”");
}

TEST(FrameworkPrompts, EnglishTexts) {
  const fw::CStringTable& t = fw::FrameworkPrompts();
  EXPECT_EQ(t.Lookup(UiLanguage::English, fw::kPromptInteger), "Please enter an integer.");
  EXPECT_EQ(t.Lookup(UiLanguage::English, fw::kPromptIntegerRange), "Please enter an integer between %1 and %2.");
  EXPECT_EQ(t.Lookup(UiLanguage::English, fw::kPromptMaxCharacters), "Please enter no more than %1 characters.");
}

TEST(FrameworkPrompts, FilledThroughFormatText) {
  const fw::CStringTable& t = fw::FrameworkPrompts();
  EXPECT_EQ(fw::FormatText(t.Lookup(UiLanguage::English, fw::kPromptIntegerRange), {"1", "255"}),
            "Please enter an integer between 1 and 255.");
  EXPECT_EQ(fw::FormatText(t.Lookup(UiLanguage::Chinese, fw::kPromptMaxCharacters), {"32"}),
            "“请填入不多于32个的字符。”");
}

TEST(ThreadLocale, IdsPerLanguage) {
  EXPECT_EQ(fw::ThreadLocaleId(UiLanguage::Chinese), 0x1004ul);
  EXPECT_EQ(fw::ThreadLocaleId(UiLanguage::English), 0x0409ul);
}

TEST(ThreadLocale, AppliesBothLanguages) {
  EXPECT_TRUE(fw::ApplyThreadLocale(UiLanguage::Chinese));
  EXPECT_TRUE(fw::ApplyThreadLocale(UiLanguage::English));
}

#ifndef _WIN32
// The locale variables as a test sets them, put back as they were afterwards.
class LocaleVariables : public ::testing::Test {
 protected:
  void SetUp() override {
    for (std::size_t i = 0; i < kNames.size(); ++i) {
      const char* value = std::getenv(kNames[i]);
      m_saved[i] = value ? std::optional<std::string>(value) : std::nullopt;
    }
    Set("", "", "");
  }
  void TearDown() override {
    for (std::size_t i = 0; i < kNames.size(); ++i) {
      if (m_saved[i]) setenv(kNames[i], m_saved[i]->c_str(), 1);
      else unsetenv(kNames[i]);
    }
  }
  // nullptr unsets; "" leaves the variable set but empty.
  static void Set(const char* all, const char* messages, const char* lang) {
    const std::array<const char*, 3> values{all, messages, lang};
    for (std::size_t i = 0; i < kNames.size(); ++i) {
      if (values[i]) setenv(kNames[i], values[i], 1);
      else unsetenv(kNames[i]);
    }
  }
  static constexpr std::array<const char*, 3> kNames{"LC_ALL", "LC_MESSAGES", "LANG"};

 private:
  std::array<std::optional<std::string>, 3> m_saved;
};

TEST_F(LocaleVariables, LanguageFromTheLocaleName) {
  using fw::SystemLanguage;
  const struct {
    const char* lang;
    SystemLanguage expected;
  } cases[] = {
      {"zh_CN.UTF-8", SystemLanguage::Chinese},   {"zh_TW", SystemLanguage::Chinese},
      {"pt_BR.UTF-8", SystemLanguage::Portuguese}, {"pt_PT@euro", SystemLanguage::Portuguese},
      {"en_US.UTF-8", SystemLanguage::English},    {"C", SystemLanguage::English},
      {"C.UTF-8", SystemLanguage::English},        {"POSIX", SystemLanguage::English},
      {"de_DE.UTF-8", SystemLanguage::Other},      {"es_ES", SystemLanguage::Other},
      {"Chinese", SystemLanguage::Other},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lang);
    Set(nullptr, nullptr, c.lang);
    EXPECT_EQ(fw::SystemPrimaryLanguage(), c.expected);
  }
}

TEST_F(LocaleVariables, FirstSetVariableDecidesAndNoneIsEnglish) {
  using fw::SystemLanguage;
  Set("pt_BR", "zh_CN", "de_DE");
  EXPECT_EQ(fw::SystemPrimaryLanguage(), SystemLanguage::Portuguese);
  Set("", "zh_CN", "de_DE");  // an empty variable counts as unset
  EXPECT_EQ(fw::SystemPrimaryLanguage(), SystemLanguage::Chinese);
  Set(nullptr, nullptr, "de_DE");
  EXPECT_EQ(fw::SystemPrimaryLanguage(), SystemLanguage::Other);
  Set(nullptr, nullptr, nullptr);
  EXPECT_EQ(fw::SystemPrimaryLanguage(), SystemLanguage::English);
  Set("", "", "");
  EXPECT_EQ(fw::SystemPrimaryLanguage(), SystemLanguage::English);
}
#endif

}  // namespace
