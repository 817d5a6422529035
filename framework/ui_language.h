#pragma once
// The user-interface language, chosen once at start from the system.

namespace fw {

enum class UiLanguage { Chinese, English };

// Win32: the system default language id; POSIX: LC_ALL, LC_MESSAGES, LANG
// (the first one set decides; "zh..." gives Chinese).
UiLanguage SystemUiLanguage();

}  // namespace fw
