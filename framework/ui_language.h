#pragma once
// The user-interface language, chosen once at start from the system.

namespace fw {

enum class UiLanguage { Chinese, English };

// Win32: the system default language id; POSIX: LC_ALL, LC_MESSAGES, LANG
// (the first one set decides; "zh..." gives Chinese).
UiLanguage SystemUiLanguage();

// Locale ids the programs run their UI thread under: 0x1004 (Chinese,
// Singapore) for Chinese, 0x0409 (English, United States) otherwise.
constexpr unsigned long ThreadLocaleId(UiLanguage language) {
  return language == UiLanguage::Chinese ? 0x1004ul : 0x0409ul;
}

// Win32: SetThreadLocale with ThreadLocaleId(language), reporting its result.
// POSIX: nothing to do; returns true.
bool ApplyThreadLocale(UiLanguage language);

// The primary language of the system default language, for programs that
// pick their thread locale from more languages than the UI has.
enum class SystemLanguage { Chinese, Portuguese, English, Other };

// Win32: the primary language of the system default language id. POSIX: the
// first of LC_ALL, LC_MESSAGES, LANG that is set: "zh..." Chinese, "pt..."
// Portuguese, "en...", "C", "C.<codeset>" or "POSIX" English, anything else
// Other; none set is English.
SystemLanguage SystemPrimaryLanguage();

// Win32: SetThreadLocale(localeId), reporting its result. POSIX: nothing to
// do; returns true.
bool ApplyThreadLocaleId(unsigned long localeId);

}  // namespace fw
