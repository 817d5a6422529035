#pragma once
// The record store's messages in both languages, and the words for an error.
#include <string>

#include "framework/string_table.h"
#include "framework/ui_language.h"
#include "records/store_error.h"

namespace records {

enum RecordsStringId : int {
  IDS_RECORDS_UNREACHABLE = 401,   // %1 store, %2 cause
  IDS_RECORDS_REFUSED = 402,       // %1 store, %2 cause
  IDS_RECORDS_BUSY = 403,          // %1 store, %2 cause
  IDS_RECORDS_READ_ONLY = 404,     // %1 store, %2 cause
  IDS_RECORDS_CORRUPT = 405,       // %1 store, %2 cause
  IDS_RECORDS_TOO_NEW = 406,       // %1 store, %2 its version, %3 this program's
  IDS_RECORDS_DISK_FULL = 407,     // %1 store, %2 cause
  IDS_RECORDS_BAD_URL = 408,       // %1 the value, %2 cause
  IDS_RECORDS_DAY_FULL = 409,      // %1 store, %2 the day, %3 how many, %4 the form
  IDS_RECORDS_VALUE_TAKEN = 410,   // %1 store, %2 field, %3 value, %4 serial, %5 label, %6 station
  IDS_RECORDS_LABEL_PASSED = 411,  // %1 store, %2 label, %3 serial, %4 station
  IDS_RECORDS_NOT_FOUND = 412,     // %1 store, %2 the key
  IDS_RECORDS_CONFLICT = 413,      // %1 store, %2 cause
  IDS_RECORDS_OTHER = 414,         // %1 store, %2 cause
  IDS_RECORDS_FIELD_NAMES = 415,   // one line per IdField after None
  IDS_RECORDS_NO_CAUSE = 416,      // the cause when the database gave none
  IDS_RECORDS_TOO_OLD = 417,       // %1 store, %2 its version, %3 this program's
  IDS_RECORDS_BAD_DATE = 418,      // %1 store, %2 the date
  IDS_RECORDS_BAD_TIME = 419,      // %1 store, %2 the text
};

const fw::CStringTable& RecordsStrings();

// The message for an error, worded from the table.
std::string Describe(const StoreError& error, fw::UiLanguage language);

}  // namespace records
