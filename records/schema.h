#pragma once
// The store's schema and its migrations, one per version.
#include <cstdint>

#include "records/sql_connection.h"

namespace records {

inline constexpr std::int64_t kSchemaVersion = 1;

// Brings the store to kSchemaVersion in one transaction; a store written by a
// newer program is refused (TooNew) and left as it is.
StoreError MigrateSchema(SqlConnection& connection);

// For a store opened read-only: refused unless it is at kSchemaVersion
// (TooNew, TooOld).
StoreError CheckSchema(SqlConnection& connection);

// The version the store is at (0 for an empty one).
Result<std::int64_t> SchemaVersion(SqlConnection& connection);

}  // namespace records
