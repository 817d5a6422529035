#include "framework/ui_language.h"

#include <cstdlib>
#include <string_view>

namespace fw {

// Terminal hosts take texts from the string tables alone; nothing to set.
bool ApplyThreadLocale(UiLanguage) { return true; }

bool ApplyThreadLocaleId(unsigned long) { return true; }

SystemLanguage SystemPrimaryLanguage() {
  // The precedence the C library gives message texts.
  for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* set = std::getenv(var);
    if (set == nullptr || *set == '\0') continue;
    const std::string_view value(set);
    if (value.starts_with("zh")) return SystemLanguage::Chinese;
    if (value.starts_with("pt")) return SystemLanguage::Portuguese;
    if (value.starts_with("en") || value == "C" || value.starts_with("C.") || value == "POSIX")
      return SystemLanguage::English;
    return SystemLanguage::Other;
  }
  return SystemLanguage::English;
}

}  // namespace fw
