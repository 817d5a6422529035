// The updater as a Windows GUI program.
#include <windows.h>

#include "framework/platform_paths.h"
#include "framework/profile.h"
#include "framework/ui_language.h"
#include "framework/win32/profile_place_win32.h"
#include "framework/win32/win32_host.h"
#include "updater/app/brevan_app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  const fw::UiLanguage language = fw::SystemUiLanguage();
  fw::ApplyThreadLocale(language);
  fw::Win32DialogHost host(instance);
  // The profile is named after the program file; it stays in the Windows directory where the
  // user may write there, else it goes to the user's application data.
  brevan::CBrevanApp app(host, language, fw::win32::PlacedProgramProfile(fw::ModuleFilePath()));
  return app.Run();
}
