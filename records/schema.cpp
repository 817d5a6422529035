#include "records/schema.h"

#include <array>
#include <string>
#include <string_view>

namespace records {

namespace {

// Version 1. Every unique value is also a UNIQUE constraint, so that no check
// in the program can be raced. Times are UTC ISO-8601 text.
constexpr std::string_view kTablesV1 = R"(
CREATE TABLE counters (name TEXT PRIMARY KEY, value BIGINT NOT NULL);
CREATE TABLE identities (
  id %ID%,
  serial_number TEXT NOT NULL UNIQUE,
  serial_form TEXT NOT NULL CHECK (serial_form IN ('narrow', 'wide')),
  count BIGINT NOT NULL,
  local_id TEXT NOT NULL UNIQUE,
  login TEXT NOT NULL UNIQUE,
  label TEXT UNIQUE,
  created_at TEXT NOT NULL);
CREATE INDEX identities_created ON identities (created_at);
CREATE TABLE boards (
  id %ID%,
  identity_id BIGINT NOT NULL REFERENCES identities (id),
  station TEXT NOT NULL,
  port TEXT NOT NULL,
  operator TEXT NOT NULL,
  label TEXT NOT NULL,
  profile_name TEXT NOT NULL,
  profile_sha256 TEXT NOT NULL,
  receiver_type TEXT NOT NULL,
  rate BIGINT NOT NULL,
  outcome TEXT NOT NULL CHECK (outcome IN ('started', 'passed', 'failed', 'refused', 'interrupted')),
  exit_code BIGINT,
  started_at TEXT NOT NULL,
  ended_at TEXT);
CREATE INDEX boards_identity ON boards (identity_id, id);
CREATE INDEX boards_started ON boards (started_at, id);
CREATE TABLE board_settings (
  board_id BIGINT NOT NULL REFERENCES boards (id),
  position BIGINT NOT NULL,
  name TEXT NOT NULL,
  value TEXT NOT NULL,
  PRIMARY KEY (board_id, position));
CREATE TABLE board_items (
  board_id BIGINT NOT NULL REFERENCES boards (id),
  item_index BIGINT NOT NULL,
  label TEXT NOT NULL,
  bytes %BLOB% NOT NULL,
  reply_awaited BIGINT NOT NULL,
  outcome TEXT NOT NULL,
  sent_at TEXT NOT NULL,
  ended_at TEXT NOT NULL,
  PRIMARY KEY (board_id, item_index));
CREATE TABLE upgrades (
  id %ID%,
  station TEXT NOT NULL,
  port TEXT NOT NULL,
  board_serial TEXT NOT NULL,
  module TEXT NOT NULL,
  software_version TEXT NOT NULL,
  slot BIGINT NOT NULL,
  image_version TEXT NOT NULL,
  pages BIGINT NOT NULL,
  pages_resent BIGINT NOT NULL,
  outcome TEXT NOT NULL,
  duration_ms BIGINT NOT NULL,
  started_at TEXT NOT NULL,
  ended_at TEXT NOT NULL);
CREATE INDEX upgrades_started ON upgrades (started_at, id);
CREATE INDEX upgrades_board ON upgrades (board_serial);
)";

std::string Dialected(std::string_view sql, Dialect dialect) {
  std::string out(sql);
  const auto replace = [&out](std::string_view what, std::string_view with) {
    for (std::size_t at = out.find(what); at != std::string::npos; at = out.find(what, at + with.size())) {
      out.replace(at, what.size(), with);
    }
  };
  // SQLite's INTEGER PRIMARY KEY is the row id; BIGINT keeps 64 bits in both.
  replace("%ID%", dialect == Dialect::Sqlite ? "INTEGER PRIMARY KEY" : "BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY");
  replace("%BLOB%", dialect == Dialect::Sqlite ? "BLOB" : "BYTEA");
  return out;
}

constexpr std::array<std::string_view, kSchemaVersion> kMigrations{kTablesV1};

}  // namespace

Result<std::int64_t> SchemaVersion(SqlConnection& connection) {
  std::int64_t version = 0;
  StoreError e = connection.Execute("SELECT MAX(version) FROM schema_version", {}, [&](const SqlRow& row) {
    if (!row.IsNull(0)) version = row.Int(0);
  });
  if (!e.Ok()) return e;
  return version;
}

StoreError CheckSchema(SqlConnection& connection) {
  bool present = false;
  StoreError e = connection.Execute(connection.GetDialect() == Dialect::Sqlite
                                        ? "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'schema_version'"
                                        : "SELECT 1 FROM pg_catalog.pg_tables WHERE tablename = 'schema_version' AND "
                                          "schemaname = ANY (current_schemas(false))",
                                    {}, [&](const SqlRow&) { present = true; });
  if (!e.Ok()) return e;
  std::int64_t version = 0;
  if (present) {
    Result<std::int64_t> stored = SchemaVersion(connection);
    if (!stored.Ok()) return stored.Error();
    version = stored.Value();
  }
  if (version == kSchemaVersion) return {};
  StoreError refused = MakeError(version > kSchemaVersion ? ErrorKind::TooNew : ErrorKind::TooOld, connection.StoreName());
  refused.value = std::to_string(version);
  return refused;
}

StoreError MigrateSchema(SqlConnection& connection) {
  StoreError e = connection.BeginWrite();
  if (!e.Ok()) return e;
  const auto fail = [&connection](StoreError error) {
    connection.Rollback();
    return error;
  };
  // Stations starting together: one migrates, the others wait for it.
  if (connection.GetDialect() == Dialect::Postgres) {
    e = connection.Execute("SELECT pg_advisory_xact_lock(7301)", {}, {});
    if (!e.Ok()) return fail(e);
  }
  e = connection.ExecuteScript("CREATE TABLE IF NOT EXISTS schema_version (version BIGINT NOT NULL)");
  if (!e.Ok()) return fail(e);
  Result<std::int64_t> version = SchemaVersion(connection);
  if (!version.Ok()) return fail(version.Error());
  if (version.Value() > kSchemaVersion) {
    StoreError tooNew = MakeError(ErrorKind::TooNew, connection.StoreName());
    tooNew.value = std::to_string(version.Value());
    return fail(tooNew);
  }
  for (std::int64_t v = version.Value() + 1; v <= kSchemaVersion; ++v) {
    e = connection.ExecuteScript(Dialected(kMigrations[static_cast<std::size_t>(v - 1)], connection.GetDialect()));
    if (!e.Ok()) return fail(e);
    const std::array<SqlParam, 1> params{v};
    e = connection.Execute("INSERT INTO schema_version (version) VALUES (?1)", params, {});
    if (!e.Ok()) return fail(e);
  }
  return connection.Commit();
}

}  // namespace records
