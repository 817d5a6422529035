#pragma once
// String tables as C++ data: per program and language a list of (id, UTF-8
// text). The framework's own prompts are one such table.
#include <array>
#include <span>
#include <string>
#include <string_view>

#include "framework/ui_language.h"

namespace fw {

struct StringEntry {
  int id;
  std::string_view text;
};

class CStringTable {
 public:
  constexpr CStringTable(std::span<const StringEntry> chinese, std::span<const StringEntry> english)
      : m_chinese(chinese), m_english(english) {}

  // The entry's text in the given language; empty when the table has none.
  std::string_view Lookup(UiLanguage language, int id) const;

 private:
  std::span<const StringEntry> m_chinese;
  std::span<const StringEntry> m_english;
};

// Lines of a message, as the programs keep them in m_strMsg.
inline constexpr std::size_t kMessageLines = 40;
using MessageLines = std::array<std::string, kMessageLines>;

// Empties all 40 lines, then cuts the entry at each line feed: the text before
// the first LF goes to [0], the next piece to [1], and so on; the LFs are
// dropped. When there are more than 40 pieces, [39] keeps the whole rest of
// the text, its LFs included. A missing entry leaves all lines empty.
void LoadMessage(const CStringTable& table, UiLanguage language, int id, MessageLines& m_strMsg);

// Ids of the framework's data-exchange prompts.
enum FrameworkPromptId : int {
  kPromptInteger = 61712,       // "enter an integer"
  kPromptIntegerRange = 61714,  // %1 lowest, %2 highest
  kPromptMaxCharacters = 61716, // %1 the most characters allowed
};

// The framework's prompts in both languages.
const CStringTable& FrameworkPrompts();

}  // namespace fw
