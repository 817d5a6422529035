#pragma once
// Texts of a station (several ports in one run), English and Chinese.
#include "framework/string_table.h"

namespace fe {

enum StationStringId : int {
  kStationSlotSummary = 1,  // %1 port, %2 boards, %3 passed, %4 failed, %5 last verdict
  kStationLineSummary,      // %1 boards, %2 passed, %3 failed, %4 yield
  kStationPass,
  kStationFail,
  kStationNoBoard,          // a slot that ended before its first board
  kStationOnePortOnly,      // %1 the option that takes one --port
  kStationTooManyPorts,     // %1 the most
  kStationSetting,          // %1 done, %2 total
  kStationUpgrading,        // %1 done, %2 total
  kStationWaiting,
  kStationDone,
  kStationHeader,           // %1 boards, %2 passed, %3 failed, %4 yield, %5 boards per hour
  kStationBoardLine,        // %1 serial number, %2 label
  kStationIdle,             // %1 the slot's number: the keys that start its next board
  kStationAutoIdle,         // %1 the slot's number; its receiver starts the board too
  kStationAsksLabel,
  kStationLabelEntry,       // %1 what is typed, %2 the slot it goes to
  kStationWaitsReceiver,    // a slot waits for its receiver to talk
  kStationWaitsOperator,
};

const fw::CStringTable& StationStrings();

}  // namespace fe
