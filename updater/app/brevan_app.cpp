#include "updater/app/brevan_app.h"

#include "updater/app/brevan_dlg.h"

namespace brevan {

bool CBrevanApp::InitInstance() {
  // The window holds the 640 KiB image bank: on the heap, not the stack.
  auto dialog = std::make_unique<CBrevanDlg>(Language(), m_profile);
  m_pMainWnd = dialog.get();
  DoModal(*dialog);
  SetExitCode(dialog->StartUpStopped() ? 1 : 0);
  m_pMainWnd = nullptr;
  return false;
}

}  // namespace brevan
