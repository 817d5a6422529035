// The updater as a Windows GUI program.
#include <windows.h>

#include "framework/platform_paths.h"
#include "framework/profile.h"
#include "framework/ui_language.h"
#include "framework/win32/win32_host.h"
#include "updater/app/brevan_app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  const fw::UiLanguage language = fw::SystemUiLanguage();
  fw::ApplyThreadLocale(language);
  fw::Win32DialogHost host(instance);
  // The profile is named after the program file, as the platform does for a bare name.
  brevan::CBrevanApp app(host, language, fw::CProfile::AtFile(fw::ProfileFileName(fw::ModuleFilePath())));
  return app.Run();
}
