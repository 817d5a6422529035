#pragma once
// What the store needs of a database connection; SQLite and PostgreSQL each
// give one. Statements use ?1 .. ?N places, filled only by bound parameters.
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "records/store_error.h"

namespace records {

struct SqlNull {};
struct SqlBlob {
  std::span<const std::uint8_t> bytes;
};
using SqlParam = std::variant<SqlNull, std::int64_t, std::string_view, SqlBlob>;

// One row of a result, valid during the callback.
class SqlRow {
 public:
  virtual ~SqlRow() = default;
  virtual bool IsNull(int column) const = 0;
  virtual std::int64_t Int(int column) const = 0;
  virtual std::string_view Text(int column) const = 0;
  virtual std::vector<std::uint8_t> Blob(int column) const = 0;
};

using RowCallback = std::function<void(const SqlRow&)>;

enum class Dialect { Sqlite, Postgres };

class SqlConnection {
 public:
  virtual ~SqlConnection() = default;
  virtual Dialect GetDialect() const = 0;
  virtual const std::string& StoreName() const = 0;
  // One statement; onRow (may be empty) sees each row as it comes.
  virtual StoreError Execute(std::string_view sql, std::span<const SqlParam> params, const RowCallback& onRow) = 0;
  // Statements without parameters, separated by semicolons (the schema).
  virtual StoreError ExecuteScript(std::string_view sql) = 0;
  // A transaction that writes: SQLite takes the write lock at once.
  virtual StoreError BeginWrite() = 0;
  virtual StoreError Commit() = 0;
  virtual void Rollback() = 0;
};

}  // namespace records
