#include "records/open_store.h"

#include "records/postgres/pg_connection.h"
#include "records/schema.h"
#include "records/sql_record_store.h"
#include "records/sqlite/sqlite_connection.h"
#include "records/store_url.h"

namespace records {

Result<std::unique_ptr<RecordStore>> OpenStore(std::string_view dbValue, const OpenOptions& options) {
  const StoreUrl url = ParseStoreUrl(dbValue, DefaultStorePath());
  if (url.kind == StoreKind::None) return std::unique_ptr<RecordStore>();
  if (url.target.empty()) {
    StoreError e = MakeError(ErrorKind::BadUrl, {});
    e.value = std::string(dbValue);
    return e;
  }
  Result<std::unique_ptr<SqlConnection>> connection =
      url.kind == StoreKind::Sqlite ? OpenSqlite(url.target, options.busyTimeoutMs, options.readOnly)
                                    : OpenPostgres(url.target, url.display, options.connectTimeoutSeconds,
                                                   options.busyTimeoutMs, options.readOnly);
  if (!connection.Ok()) return connection.Error();
  StoreError e = options.readOnly ? CheckSchema(*connection.Value()) : MigrateSchema(*connection.Value());
  if (!e.Ok()) return e;
  return std::unique_ptr<RecordStore>(
      std::make_unique<SqlRecordStore>(std::move(connection.Value()), options.firstCount));
}

}  // namespace records
