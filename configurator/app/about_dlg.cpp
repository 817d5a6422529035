#include "configurator/app/about_dlg.h"

#include "configurator/resources/torvik_templates.h"

namespace torvik {

CAboutDlg::CAboutDlg() : CDialog(TorvikAboutTemplate()) {}

}  // namespace torvik
