#include "updater/app/about_dlg.h"

#include "framework/control_class.h"
#include "updater/resources/brevan_templates.h"

namespace brevan {

CAboutDlg::CAboutDlg() : CDialog(BrevanAboutTemplate()) {
  OnMessage(fw::kWmLButtonDown, [this](std::uintptr_t, std::intptr_t) -> std::intptr_t {
    OnOK();
    return 0;
  });
}

}  // namespace brevan
