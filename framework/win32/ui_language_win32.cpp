#include "framework/ui_language.h"

#include <windows.h>

namespace fw {

bool ApplyThreadLocale(UiLanguage language) {
  return SetThreadLocale(ThreadLocaleId(language)) != FALSE;
}

}  // namespace fw
