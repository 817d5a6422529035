#pragma once
// The shared store of several stations: a PostgreSQL server through libpq.
#include <memory>
#include <string>

#include "records/sql_connection.h"

namespace records {

// url goes to libpq as it is; display (without the password) names the store.
Result<std::unique_ptr<SqlConnection>> OpenPostgres(const std::string& url, const std::string& display,
                                                    int connectTimeoutSeconds);

}  // namespace records
