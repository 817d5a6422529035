#include "configurator/app/torvik_app.h"

#include <memory>

#include "configurator/app/torvik_dlg.h"
#include "configurator/resources/torvik_strings.h"

namespace torvik {

CTorvikApp::CTorvikApp(fw::IModalRunner& runner, fw::SystemLanguage systemLanguage)
    : CWinApp(runner, kTextLanguage), m_systemLanguage(systemLanguage) {}

bool CTorvikApp::InitInstance() {
  // The texts stay Chinese; only the locale follows the system's language.
  fw::ApplyThreadLocaleId(TorvikThreadLocale(m_systemLanguage));
  // The type table and the link are large for a stack: on the heap.
  auto dialog = std::make_unique<CTorvikDlg>();
  m_pMainWnd = dialog.get();
  DoModal(*dialog);
  m_pMainWnd = nullptr;
  return false;
}

}  // namespace torvik
