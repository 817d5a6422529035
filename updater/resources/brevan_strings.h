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
  IDS_ENGINE_MONITOR_FAILED = 114,  // the serial engine's monitor could not start waiting
  IDS_FILE_OPEN_FAILED = 120,
  IDS_FILE_READ_FAILED = 121,
  IDS_FILE_CREATE_FAILED = 122,
  IDS_FILE_WRITE_FAILED = 123,
  IDS_OVERLAY_TRUNCATED = 124,
  IDS_NO_IMAGES = 125,
  IDS_LIST_LOAD_MODE = 126,
  IDS_LIST_USAGE = 127,
  // The terminal updater's own texts, after the window's.
  IDS_TERM_PAGES = 130,             // %1 done, %2 of, %3 elapsed, %4 left
  IDS_TERM_NO_REPLY = 131,          // %1 seconds, %2 the port
  IDS_TERM_NO_LOADER_REPLY = 132,   // %1 bytes, %2 the rate
  IDS_TERM_BYTES_LOOKED = 133,      // %1 hex and text
  IDS_TERM_UNKNOWN_MODULE = 134,    // %1 the name
  IDS_TERM_PAGE_UNANSWERED = 135,   // %1 page, %2 of, %3 address, %4 times
  IDS_TERM_NOTHING_AFTER_ACK = 136, // %1 acknowledgements heard
  IDS_TERM_BYTES_AFTER_ACK = 137,   // %1 bytes
  IDS_TERM_SUMMARY_MODULE = 138,    // %1 module, %2 slot, %3 image version
  IDS_TERM_SUMMARY_BOARD = 139,     // %1 serial number, %2 software version
  IDS_TERM_SUMMARY_WRITTEN = 140,   // %1 bytes, %2 pages, %3 address, %4 sent again
  IDS_TERM_SUMMARY_TIME = 141,      // %1 wall seconds, %2 page seconds, %3 bytes per second
  IDS_TERM_BAD_TRACE = 142,         // %1 the file, %2 the system's text
  IDS_TERM_OTHER_MODULE = 143,      // %1 the board's module, %2 its slot, %3 the module of the chosen file
  IDS_TERM_NOT_RECORDED = 144,      // %1 the board's serial number, %2 the port
  IDS_TERM_ACKS_IN_TICK = 145,      // %1 acknowledgements cleared with the tick they came in
};

// The updater's table, for LoadMessage.
const fw::CStringTable& BrevanStrings();

// The entry in the given language; empty when the table has none.
std::string_view BrevanString(fw::UiLanguage language, int id);

// The user-visible text for a failed load.
std::string DescribeFileProblem(fw::UiLanguage language, const FileProblem& problem);

}  // namespace brevan
