#pragma once
// The updater's string table, one per user-interface language.
#include <string>
#include <string_view>

#include "framework/string_table.h"
#include "framework/ui_language.h"
#include "updater/image_bank/file_problem.h"

namespace brevan {

enum BrevanStringId : int {
  IDS_ABOUTBOX = 101,
  IDS_STATUS_RUNNING = 102,
  IDS_PORT_WRONG = 103,
  IDS_PORT_OPENED = 104,
  IDS_POWER_ON = 105,
  IDS_COUNTDOWN_CAPTION = 106,
  IDS_COUNTDOWN_LINE = 107,
  IDS_OVERTIME = 108,
  IDS_REFUSED = 109,
  IDS_UPDATING = 110,
  IDS_UPDATED = 111,
  IDS_OLD_FIRMWARE = 112,
  IDS_WRONG_FIRMWARE = 113,
  IDS_FILE_OPEN_FAILED = 120,
  IDS_FILE_READ_FAILED = 121,
  IDS_FILE_CREATE_FAILED = 122,
  IDS_FILE_WRITE_FAILED = 123,
  IDS_OVERLAY_TRUNCATED = 124,
  IDS_NO_IMAGES = 125,
  IDS_LIST_LOAD_MODE = 126,
  IDS_LIST_USAGE = 127,
};

// The updater's table, for LoadMessage.
const fw::CStringTable& BrevanStrings();

// The entry in the given language; empty when the table has none.
std::string_view BrevanString(fw::UiLanguage language, int id);

// The user-visible text for a failed load.
std::string DescribeFileProblem(fw::UiLanguage language, const FileProblem& problem);

}  // namespace brevan
