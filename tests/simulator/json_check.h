#pragma once
// Whether a text is one well-formed JSON value (strict: no trailing commas,
// only the escapes the simulator writes plus \n \/ \").
#include <string_view>

namespace simtest {

class CJsonCheck {
 public:
  static bool Valid(std::string_view text) {
    CJsonCheck c{text};
    return c.Value() && (c.Space(), c.m_pos == text.size());
  }

 private:
  explicit CJsonCheck(std::string_view text) : m_text(text) {}
  void Space() { while (m_pos < m_text.size() && std::string_view(" \t\r\n").find(m_text[m_pos]) != std::string_view::npos) ++m_pos; }
  bool Eat(char c) { return Space(), m_pos < m_text.size() && m_text[m_pos] == c ? (++m_pos, true) : false; }
  bool String() {
    if (!Eat('"')) return false;
    while (m_pos < m_text.size() && m_text[m_pos] != '"') {
      const char c = m_text[m_pos++];
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') continue;
      if (m_pos < m_text.size() && m_text[m_pos] == 'u') {
        if (m_pos + 5 > m_text.size() || m_text.substr(m_pos + 1, 4).find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos) return false;
        m_pos += 5;
      } else if (m_pos >= m_text.size() || std::string_view("\"\\/n").find(m_text[m_pos++]) == std::string_view::npos) {
        return false;
      }
    }
    return m_pos++ < m_text.size();
  }
  template <typename Item>
  bool List(char close, Item item) {
    if (Eat(close)) return true;
    do {
      if (!item()) return false;
    } while (Eat(','));
    return Eat(close);
  }
  bool Value() {
    Space();
    if (Eat('{')) return List('}', [this] { return String() && Eat(':') && Value(); });
    if (Eat('[')) return List(']', [this] { return Value(); });
    if (m_pos < m_text.size() && m_text[m_pos] == '"') return String();
    for (const std::string_view word : {"true", "false", "null"}) {
      if (m_text.substr(m_pos, word.size()) == word) return m_pos += word.size(), true;
    }
    const std::size_t start = m_pos;
    if (m_pos < m_text.size() && m_text[m_pos] == '-') ++m_pos;
    while (m_pos < m_text.size() && std::string_view("0123456789.eE+-").find(m_text[m_pos]) != std::string_view::npos) ++m_pos;
    return m_pos > start;
  }

  std::string_view m_text;
  std::size_t m_pos = 0;
};

}  // namespace simtest
