#pragma once
// The words of `torvik records` and `brevan records`, in both languages.
#include <string_view>

#include "framework/string_table.h"
#include "framework/ui_language.h"

namespace records {

enum RecordsCliStringId : int {
  IDS_RC_USAGE_BOARDS = 451,    // torvik records --help
  IDS_RC_USAGE_UPGRADES = 452,  // brevan records --help
  IDS_RC_BAD_ARGUMENT = 453,    // %1 the program, %2 the argument
  IDS_RC_BOARD_COLUMNS = 454,   // the list's headings, one a line
  IDS_RC_UPGRADE_COLUMNS = 455,
  IDS_RC_BOARD_FIELDS = 456,    // show's field names, one a line
  IDS_RC_UPGRADE_FIELDS = 457,
  IDS_RC_NO_UPGRADES = 458,     // %1 store, %2 the board's serial number
  IDS_RC_OUT_FAILED = 459,      // %1 the program, %2 the file
  IDS_RC_NONE_LISTED = 460,     // %1 store
};

const fw::CStringTable& RecordsCliStrings();
std::string_view RecordsCliString(fw::UiLanguage language, int id);

}  // namespace records
