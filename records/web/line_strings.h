#pragma once
// The words of the line view (its pages, its JSON errors and `torvik records
// serve`), in both languages.
#include <string>
#include <string_view>
#include <vector>

#include "framework/string_table.h"
#include "framework/ui_language.h"

namespace records::web {

enum LineStringId : int {
  IDS_LINE_TITLE = 4701,          // the page title
  IDS_LINE_SPAN = 4702,           // %1 first day, %2 last day
  IDS_LINE_TOTALS = 4703,         // Boards\nPassed\nFailed\nYield\nBoards per hour
  IDS_LINE_STATIONS = 4704,       // heading of the stations table
  IDS_LINE_STATION = 4705,        // the station column
  IDS_LINE_WHOLE_LINE = 4706,     // the line's own row
  IDS_LINE_CHART = 4707,          // chart heading
  IDS_LINE_CHART_AXES = 4708,     // hour axis\nboards axis\npassed\nfailed
  IDS_LINE_CAUSES = 4709,         // heading
  IDS_LINE_CAUSE_COLUMNS = 4710,  // Item\nOutcome\nCount\nStations
  IDS_LINE_REFUSED_ITEM = 4711,   // the item of a board refused before the Set
  IDS_LINE_RECENT = 4712,         // heading
  IDS_LINE_RECENT_COLUMNS = 4713, // Time\nStation\nLabel\nSerial number\nLocal id\nOutcome
  IDS_LINE_UPGRADES = 4714,       // heading
  IDS_LINE_UPGRADE_COLUMNS = 4715,// Time\nStation\nBoard serial\nModule\nImage version\nOutcome
  IDS_LINE_NONE = 4716,           // an empty table
  IDS_LINE_FORM = 4717,           // Day\nFrom\nTo\nShow\nToday
  IDS_LINE_SEARCH = 4718,         // Search\nLabel, serial number, local id or login
  IDS_LINE_BOARD = 4719,          // %1 the board's label or serial number
  IDS_LINE_BOARD_FIELDS = 4720,   // one a line, as BoardFieldNames
  IDS_LINE_SETTINGS = 4721,
  IDS_LINE_ITEMS = 4722,
  IDS_LINE_ITEM_COLUMNS = 4723,   // Index\nLabel\nBytes\nReply awaited\nOutcome\nSent\nEnded
  IDS_LINE_YES_NO = 4724,         // yes\nno
  IDS_LINE_FOUND = 4725,          // %1 the search text
  IDS_LINE_NOT_FOUND_ANY = 4726,  // %1 the search text
  IDS_LINE_NO_PAGE = 4727,        // %1 the path
  IDS_LINE_BAD_DAY = 4728,        // %1 the value
  IDS_LINE_TOKEN_NEEDED = 4729,
  IDS_LINE_STORE_DOWN = 4730,     // %1 the store's own words
  IDS_LINE_BACK = 4732,           // link back to the overview
  IDS_LINE_SERVING = 4733,        // %1 store, %2 address
  IDS_LINE_ENDED = 4734,          // %1 the signal's name
  IDS_LINE_NEEDS_TOKEN = 4735,    // %1 the address
  IDS_LINE_CANNOT_LISTEN = 4736,  // %1 the address, %2 cause
  IDS_LINE_BAD_LISTEN = 4737,     // %1 the value
  IDS_LINE_ADDRESS_IN_USE = 4738, // the cause when the port is taken
  IDS_LINE_NO_BOARD = 4739,       // %1 the key
};

const fw::CStringTable& LineStrings();
std::string_view LineString(fw::UiLanguage language, int id);
// An entry's lines, for the headings of a table.
std::vector<std::string> LineStringLines(fw::UiLanguage language, int id);

}  // namespace records::web
