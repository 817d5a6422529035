#pragma once
// The configurator's string table. Its texts are Chinese whatever the
// system's language (the thread locale alone follows the system).
#include <string_view>

#include "framework/string_table.h"
#include "framework/ui_language.h"

namespace torvik {

enum TorvikStringId : int {
  IDS_ABOUTBOX = 101,
  IDS_PORT_BUTTON = 102,     // the port button's two captions
  IDS_TIMEOUT = 103,
  IDS_SETTING_LABELS = 104,  // log labels of the settings commands
  IDS_FINISH_LABELS = 105,   // log labels of the finish (serial number to direct link off)
  IDS_LINK_LABELS = 106,     // log labels of the link preparation
  IDS_CDMA_NO_GSM = 107,
  IDS_CDMA_NO_DNS = 108,
  IDS_SET_USER_PASS = 109,
  IDS_FIELD_TOO_LONG = 110,   // %1 the field
  IDS_FIELD_BAD_TEXT = 111,   // %1 the field
  IDS_TYPE_RATE_BAD = 112,    // %1 the receiver type
  IDS_FIELD_NAMES = 113,      // one line per field, in the order of torvik::Field
  IDS_PORT_NOT_OPEN = 114,    // Set pressed with the port closed
  IDS_ENGINE_PORT_UNAVAILABLE = 115,  // the serial engine's messages
  IDS_ENGINE_LINE_REJECTED = 116,
  IDS_ENGINE_MONITOR_FAILED = 117,
  IDS_TERMINAL_USAGE = 120,
  IDS_TERMINAL_BAD_OPTION = 121,  // %1 the option
  IDS_TERMINAL_NEXT_BOARD = 122,
  IDS_TERMINAL_COMMANDS = 123,     // %1 done, %2 of, %3 elapsed, %4 left
  IDS_TERMINAL_UNANSWERED = 124,   // %1 unanswered, %2 of
  IDS_TERMINAL_WAITED = 125,       // %1 the label, %2 seconds waited
  IDS_TERMINAL_NOTHING_BACK = 126,
  IDS_TERMINAL_BYTES_BACK = 127,   // %1 bytes, %2 how the last of them looked
  IDS_TERMINAL_SUMMARY = 128,      // %1 board, %2 acknowledged, %3 timed out, %4 serial, %5 local id, %6 login
  IDS_TERMINAL_BAD_TRACE = 129,    // %1 the file, %2 the system's text
  IDS_TERMINAL_NONE_ACKED = 130,
  IDS_TERMINAL_LABEL_PROMPT = 131,    // %1 board
  IDS_TERMINAL_LABEL_EMPTY = 132,
  IDS_TERMINAL_LABEL_TOO_LONG = 133,  // %1 bytes read, %2 bytes at most
  IDS_TERMINAL_LABEL_CONTROL = 134,
  IDS_TERMINAL_LABEL_NOT_UTF8 = 135,
  IDS_TERMINAL_INPUT_ENDED = 136,     // %1 boards set
  IDS_TERMINAL_SUMMARY_LABEL = 137,   // as IDS_TERMINAL_SUMMARY, %7 the label
  IDS_PROFILE_IN_USE = 140,           // %1 name, %2 short digest
  IDS_PROFILE_CANNOT_READ = 141,      // %1 file, %2 the system's text
  IDS_PROFILE_TOO_LARGE = 142,        // %1 file, %2 bytes at most
  IDS_PROFILE_NOT_KEY_VALUE = 143,    // %1 file, %2 line
  IDS_PROFILE_SECTION = 144,          // %1 file, %2 line, %3 section
  IDS_PROFILE_UNKNOWN_KEY = 145,      // %1 file, %2 line, %3 key
  IDS_PROFILE_NOT_IN_PROFILE = 146,   // %1 file, %2 line, %3 key
  IDS_PROFILE_REPEATED = 147,         // %1 file, %2 line, %3 key, %4 its first line
  IDS_PROFILE_OPEN_QUOTE = 148,       // %1 file, %2 line, %3 key
  IDS_PROFILE_BAD_VALUE = 149,        // %1 file, %2 line, %3 key, %4 value
  IDS_PROFILE_CANNOT_WRITE = 150,     // %1 file, %2 the system's text
  IDS_PROFILE_LINE_BREAK = 151,       // %1 file, %2 key
  IDS_PROFILE_HEADER = 152,           // comment lines that open a saved profile
  IDS_PROFILE_SAVED = 153,            // %1 file
  IDS_TERMINAL_STORE = 160,              // %1 the record store's name
  IDS_TERMINAL_DAY_FULL = 161,           // the way out of a full day
  IDS_TERMINAL_IDENTITY_DIFFERS = 162,   // %1 board, %2 field, %3 the window's, %4 the store's
  IDS_TERMINAL_IDENTITY_FIELDS = 163,    // serial number, local id, login: one line each
  IDS_TERMINAL_RECORD_MISSING = 164,     // %1 board, %2 serial number, %3 the store's error
};

// The texts are loaded in this language.
inline constexpr fw::UiLanguage kTextLanguage = fw::UiLanguage::Chinese;

const fw::CStringTable& TorvikStrings();
std::string_view TorvikString(int id);

// The locale the user-interface thread runs under for a system language:
// Chinese 0x0404, Portuguese 0x0416, any other 0x0409.
constexpr unsigned long TorvikThreadLocale(fw::SystemLanguage language) {
  switch (language) {
    case fw::SystemLanguage::Chinese: return 0x0404;
    case fw::SystemLanguage::Portuguese: return 0x0416;
    default: return 0x0409;
  }
}

}  // namespace torvik
