#pragma once
// Exports of the store, written row by row to a stream: boards and upgrades as
// CSV or JSON, the logins handed out as CSV.
#include <cstdint>
#include <ostream>
#include <string>

#include "records/record_store.h"

namespace records {

enum class ExportFormat { Csv, Json };

// Each returns the rows written. JSON is one array, one object per line.
Result<std::int64_t> ExportBoards(RecordStore& store, const RecordFilter& filter, ExportFormat format, std::ostream& out);
Result<std::int64_t> ExportUpgrades(RecordStore& store, const RecordFilter& filter, ExportFormat format,
                                    std::ostream& out);
Result<std::int64_t> ExportLogins(RecordStore& store, const std::string& since, std::ostream& out);

// One board as `records show` gives it to scripts: the board's columns as in
// the export, its settings in order and its items, their bytes as hex.
void WriteBoardJson(const BoardDetail& detail, std::ostream& out);

}  // namespace records
