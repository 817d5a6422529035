#pragma once
// The shared store of several stations: a PostgreSQL server through libpq.
#include <memory>
#include <string>

#include "records/sql_connection.h"

namespace records {

// url goes to libpq as it is; display (without the password) names the store.
// lockTimeoutMs bounds the wait for another station's locks, as SQLite's busy
// time-out does (a station stopped inside a transaction holds the counter).
Result<std::unique_ptr<SqlConnection>> OpenPostgres(const std::string& url, const std::string& display,
                                                    int connectTimeoutSeconds, int lockTimeoutMs, bool readOnly);

}  // namespace records
