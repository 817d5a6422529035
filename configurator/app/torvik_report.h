#pragma once
// The record a production line keeps: one JSON object per board, appended
// to a file.
#include <cstdint>
#include <string>
#include <vector>

#include "configurator/set_run/set_records.h"

namespace torvik {

struct BoardRecord {
  int board = 0;  // 1 for the first board of the run
  std::string startedAt;  // local time of Set, ISO 8601
  std::string serialNo, localId, userPass, typeName, typeBaud;
  std::string label;  // --scan; empty without
  std::string profile, profileSha256;  // --profile; empty without
  int exitCode = 0;
  std::uint32_t setAtTick = 0;
  std::vector<SentRecord> items;
};

// One line of JSON, without the line feed.
std::string BoardRecordJson(const BoardRecord& record);
// Appends the record's line to path; false when it could not be written.
bool AppendBoardRecord(const std::string& path, const BoardRecord& record);

}  // namespace torvik
