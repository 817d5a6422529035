#pragma once
// The updater's application object: runs the main window once and ends.
#include <memory>

#include "framework/app.h"
#include "framework/profile.h"
#include "serial/serial_port.h"

namespace brevan {

class CBrevanApp : public fw::CWinApp {
 public:
  CBrevanApp(fw::IModalRunner& runner, fw::UiLanguage language, fw::CProfile profile)
      : CWinApp(runner, language), m_profile(std::move(profile)) {}

  // Exit code 1 when start-up stopped before the window showed (no firmware chosen).
  bool InitInstance() override;

 private:
  fw::CProfile m_profile;
};

}  // namespace brevan
