#pragma once
// The about box: a click anywhere in it closes it.
#include "framework/dialog.h"

namespace brevan {

class CAboutDlg : public fw::CDialog {
 public:
  CAboutDlg();
};

}  // namespace brevan
