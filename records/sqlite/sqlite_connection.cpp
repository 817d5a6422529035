#include "records/sqlite/sqlite_connection.h"

#include <sqlite3.h>

#include <chrono>
#include <map>
#include <thread>

#include "records/private_file.h"

namespace records {

namespace {

struct CloseDb {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct FinalizeStatement {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using DbHandle = std::unique_ptr<sqlite3, CloseDb>;
using StatementHandle = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

ErrorKind KindOf(int code) {
  switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return ErrorKind::Busy;
    case SQLITE_READONLY: return ErrorKind::ReadOnly;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: return ErrorKind::Corrupt;
    case SQLITE_FULL: return ErrorKind::DiskFull;
    case SQLITE_CANTOPEN: return ErrorKind::Unreachable;
    case SQLITE_PERM:
    case SQLITE_AUTH: return ErrorKind::Refused;
    case SQLITE_CONSTRAINT:
      return code == SQLITE_CONSTRAINT_UNIQUE || code == SQLITE_CONSTRAINT_PRIMARYKEY ? ErrorKind::Conflict
                                                                                      : ErrorKind::Other;
    default: return ErrorKind::Other;
  }
}

class SqliteRow final : public SqlRow {
 public:
  explicit SqliteRow(sqlite3_stmt* statement) : m_statement(statement) {}
  bool IsNull(int column) const override { return sqlite3_column_type(m_statement, column) == SQLITE_NULL; }
  std::int64_t Int(int column) const override { return sqlite3_column_int64(m_statement, column); }
  std::string_view Text(int column) const override {
    const unsigned char* text = sqlite3_column_text(m_statement, column);
    if (text == nullptr) return {};
    return {reinterpret_cast<const char*>(text), static_cast<std::size_t>(sqlite3_column_bytes(m_statement, column))};
  }
  std::vector<std::uint8_t> Blob(int column) const override {
    const auto* bytes = static_cast<const std::uint8_t*>(sqlite3_column_blob(m_statement, column));
    const auto size = static_cast<std::size_t>(sqlite3_column_bytes(m_statement, column));
    return bytes == nullptr ? std::vector<std::uint8_t>{} : std::vector<std::uint8_t>(bytes, bytes + size);
  }

 private:
  sqlite3_stmt* m_statement;
};

class SqliteConnection final : public SqlConnection {
 public:
  SqliteConnection(DbHandle db, std::string path) : m_db(std::move(db)), m_path(std::move(path)) {}
  ~SqliteConnection() override { m_statements.clear(); }

  Dialect GetDialect() const override { return Dialect::Sqlite; }
  const std::string& StoreName() const override { return m_path; }

  StoreError Error(int code) const {
    const char* message = sqlite3_errmsg(m_db.get());
    return MakeError(KindOf(code), m_path, message != nullptr ? message : sqlite3_errstr(code));
  }

  StoreError Execute(std::string_view sql, std::span<const SqlParam> params, const RowCallback& onRow) override {
    sqlite3_stmt* statement = nullptr;
    if (StoreError e = Prepared(sql, statement); !e.Ok()) return e;
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    for (std::size_t i = 0; i < params.size(); ++i) {
      if (int rc = Bind(statement, static_cast<int>(i + 1), params[i]); rc != SQLITE_OK) return Error(rc);
    }
    const SqliteRow row(statement);
    for (;;) {
      const int rc = sqlite3_step(statement);
      if (rc == SQLITE_DONE) break;
      if (rc != SQLITE_ROW) {
        StoreError e = Error(sqlite3_extended_errcode(m_db.get()));
        sqlite3_reset(statement);
        return e;
      }
      if (onRow) onRow(row);
    }
    sqlite3_reset(statement);
    return {};
  }

  StoreError ExecuteScript(std::string_view sql) override {
    const std::string text(sql);
    const int rc = sqlite3_exec(m_db.get(), text.c_str(), nullptr, nullptr, nullptr);
    return rc == SQLITE_OK ? StoreError{} : Error(sqlite3_extended_errcode(m_db.get()));
  }

  // IMMEDIATE: the write lock is taken (or waited for) at the start, so that
  // a transaction never fails half-way for another writer.
  StoreError BeginWrite() override { return ExecuteScript("BEGIN IMMEDIATE"); }
  StoreError Commit() override { return ExecuteScript("COMMIT"); }
  void Rollback() override {
    if (sqlite3_get_autocommit(m_db.get()) == 0) sqlite3_exec(m_db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
  }

 private:
  StoreError Prepared(std::string_view sql, sqlite3_stmt*& statement) {
    auto found = m_statements.find(sql);
    if (found != m_statements.end()) {
      statement = found->second.get();
      return {};
    }
    const int rc = sqlite3_prepare_v3(m_db.get(), sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                                      &statement, nullptr);
    if (rc != SQLITE_OK) return Error(sqlite3_extended_errcode(m_db.get()));
    m_statements.emplace(std::string(sql), StatementHandle(statement));
    return {};
  }

  static int Bind(sqlite3_stmt* statement, int index, const SqlParam& param) {
    if (const auto* value = std::get_if<std::int64_t>(&param)) return sqlite3_bind_int64(statement, index, *value);
    if (const auto* text = std::get_if<std::string_view>(&param)) {
      return sqlite3_bind_text64(statement, index, text->data(), text->size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    }
    if (const auto* blob = std::get_if<SqlBlob>(&param)) {
      return sqlite3_bind_blob64(statement, index, blob->bytes.empty() ? "" : static_cast<const void*>(blob->bytes.data()),
                                 blob->bytes.size(), SQLITE_TRANSIENT);
    }
    return sqlite3_bind_null(statement, index);
  }

  DbHandle m_db;
  std::string m_path;
  std::map<std::string, StatementHandle, std::less<>> m_statements;
};

}  // namespace

Result<std::unique_ptr<SqlConnection>> OpenSqlite(const std::string& path, int busyTimeoutMs, bool readOnly) {
  std::string cause;
  if (!readOnly && !EnsurePrivateFile(path, cause)) return MakeError(ErrorKind::Unreachable, path, cause);
  sqlite3* raw = nullptr;
  const int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOFOLLOW;
  const int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
  DbHandle db(raw);
  if (rc != SQLITE_OK) {
    const char* message = raw != nullptr ? sqlite3_errmsg(raw) : sqlite3_errstr(rc);
    return MakeError(KindOf(rc), path, message);
  }
  sqlite3_extended_result_codes(db.get(), 1);
  sqlite3_busy_timeout(db.get(), busyTimeoutMs);
  // The store is written by every run: a file this user may not write is refused now.
  if (!readOnly && sqlite3_db_readonly(db.get(), "main") == 1) {
    return MakeError(ErrorKind::ReadOnly, path, sqlite3_errstr(SQLITE_READONLY));
  }
  auto connection = std::make_unique<SqliteConnection>(std::move(db), path);
  // The first read of the file: a file that is not a store fails here. FULL:
  // a handed-out identity survives a power cut once TakeIdentity returned.
  if (readOnly) {
    StoreError e = connection->ExecuteScript(
        "PRAGMA foreign_keys = ON; PRAGMA query_only = ON; SELECT count(*) FROM sqlite_master");
    if (!e.Ok()) return e;
    return std::unique_ptr<SqlConnection>(std::move(connection));
  }
  StoreError e = connection->ExecuteScript("PRAGMA foreign_keys = ON");
  // Turning a new file to WAL takes its lock without the busy handler: when
  // several slots of a station open a new store at once, all but one are
  // told it is locked at once. They try again for as long as the handler would wait.
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(busyTimeoutMs);
  while (e.Ok()) {
    e = connection->ExecuteScript("PRAGMA journal_mode = WAL");
    if (e.Ok() || e.kind != ErrorKind::Busy || std::chrono::steady_clock::now() >= giveUp) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    e = {};
  }
  if (e.Ok()) e = connection->ExecuteScript("PRAGMA synchronous = FULL");
  if (!e.Ok()) return e;
  return std::unique_ptr<SqlConnection>(std::move(connection));
}

}  // namespace records
