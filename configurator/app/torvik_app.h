#pragma once
// The configurator's application object: sets the thread locale, runs the
// main window once and ends.
#include "framework/app.h"

namespace torvik {

class CTorvikApp : public fw::CWinApp {
 public:
  CTorvikApp(fw::IModalRunner& runner, fw::SystemLanguage systemLanguage);

  bool InitInstance() override;

 private:
  fw::SystemLanguage m_systemLanguage;
};

}  // namespace torvik
