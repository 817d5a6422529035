// The configurator as a Windows GUI program.
#include <windows.h>

#include "configurator/app/torvik_app.h"
#include "framework/ui_language.h"
#include "framework/win32/win32_host.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  fw::Win32DialogHost host(instance);
  torvik::CTorvikApp app(host, fw::SystemPrimaryLanguage());
  return app.Run();
}
