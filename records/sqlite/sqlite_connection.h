#pragma once
// The embedded store: one SQLite file, WAL, foreign keys on, a busy time-out.
#include <memory>
#include <string>

#include "records/sql_connection.h"

namespace records {

// readOnly: an existing file, opened for reading only.
Result<std::unique_ptr<SqlConnection>> OpenSqlite(const std::string& path, int busyTimeoutMs, bool readOnly);

}  // namespace records
