#pragma once
// The updater's dialog templates as data: the main window in both language
// variants and the about box, which exists in Chinese only.
#include "framework/dialog_host.h"
#include "framework/ui_language.h"

namespace brevan {

enum BrevanResourceId : int {
  IDD_ABOUTBOX = 100,
  IDD_BREVAN_DIALOG = 102,
  IDR_MAINFRAME = 128,  // the icon
};

enum BrevanControlId : int {
  IDC_COMBO_PORT = 1001,
  IDC_PROGRESS = 1002,
  IDC_EDIT_STATUS = 1003,
  IDC_COMBO_BAUD = 1004,
  IDC_EDIT_SERIAL_NO = 1005,
  IDC_EDIT_HARDWARE_VERSION = 1006,
  IDC_EDIT_SOFTWARE_VERSION = 1007,
  IDC_EDIT_VERSION_0 = 1013,  // 1013..1017: module types 0..4
  IDC_EDIT_VERSION_5 = 1018,
  IDC_EDIT_VERSION_6 = 1019,
  IDC_EDIT_VERSION_7 = 1020,
  IDC_EDIT_VERSION_8 = 1023,
  IDC_EDIT_VERSION_9 = 1024,
};

fw::DialogTemplate BrevanMainTemplate(fw::UiLanguage language);
fw::DialogTemplate BrevanAboutTemplate();

}  // namespace brevan
