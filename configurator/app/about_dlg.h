#pragma once
// The about box: the icon, the version line, a second line and 确定.
#include "framework/dialog.h"

namespace torvik {

class CAboutDlg : public fw::CDialog {
 public:
  CAboutDlg();
};

}  // namespace torvik
