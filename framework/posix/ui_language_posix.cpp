#include "framework/ui_language.h"

namespace fw {

// Terminal hosts take texts from the string tables alone; nothing to set.
bool ApplyThreadLocale(UiLanguage) { return true; }

}  // namespace fw
