#include "framework/string_table.h"

namespace fw {

std::string_view CStringTable::Lookup(UiLanguage language, int id) const {
  for (const StringEntry& e : language == UiLanguage::Chinese ? m_chinese : m_english) {
    if (e.id == id) return e.text;
  }
  return {};
}

void LoadMessage(const CStringTable& table, UiLanguage language, int id, MessageLines& m_strMsg) {
  for (std::string& line : m_strMsg) line.clear();
  std::string_view rest = table.Lookup(language, id);
  for (std::size_t i = 0; i + 1 < m_strMsg.size(); ++i) {
    const std::size_t lf = rest.find('\n');
    if (lf == std::string_view::npos) {
      m_strMsg[i] = rest;
      return;
    }
    m_strMsg[i] = rest.substr(0, lf);
    rest.remove_prefix(lf + 1);
  }
  m_strMsg.back() = rest;
}

namespace {

constexpr StringEntry kPromptsChinese[] = {
    {kPromptInteger, "请键入一个整数。"},
    {kPromptIntegerRange, "“请填入一个在%1和%2之间的整数。”"},
    {kPromptMaxCharacters, "“请填入不多于%1个的字符。”"},
};

constexpr StringEntry kPromptsEnglish[] = {
    {kPromptInteger, "Please enter an integer."},
    {kPromptIntegerRange, "Please enter an integer between %1 and %2."},
    {kPromptMaxCharacters, "Please enter no more than %1 characters."},
};

constexpr CStringTable kPrompts(kPromptsChinese, kPromptsEnglish);

}  // namespace

const CStringTable& FrameworkPrompts() { return kPrompts; }

}  // namespace fw
