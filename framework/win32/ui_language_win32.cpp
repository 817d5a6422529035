#include "framework/ui_language.h"

#include <windows.h>

namespace fw {

bool ApplyThreadLocale(UiLanguage language) {
  return SetThreadLocale(ThreadLocaleId(language)) != FALSE;
}

bool ApplyThreadLocaleId(unsigned long localeId) {
  return SetThreadLocale(static_cast<LCID>(localeId)) != FALSE;
}

SystemLanguage SystemPrimaryLanguage() {
  switch (PRIMARYLANGID(GetSystemDefaultLangID())) {
    case LANG_CHINESE: return SystemLanguage::Chinese;
    case LANG_PORTUGUESE: return SystemLanguage::Portuguese;
    case LANG_ENGLISH: return SystemLanguage::English;
    default: return SystemLanguage::Other;
  }
}

}  // namespace fw
