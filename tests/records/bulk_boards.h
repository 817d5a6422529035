#pragma once
// Fills a store with many finished boards behind its back, in one statement
// per table, for the measurements of queries over a full line's history.
#include <string>

#include "store_backend.h"

namespace records_testing {

// Board v (1..count) has serial number 9%09d, local id Z%08d, login
// Z%08d:demo, label L<v>, station station-<v mod 4>, one second after board v-1.
inline std::string FillBoards(const FreshStore& store, int count) {
  const std::string n = std::to_string(count);
  if (store.Kind() == Backend::Sqlite) {
    std::string error = store.Exec(
        "WITH RECURSIVE n(v) AS (SELECT 1 UNION ALL SELECT v + 1 FROM n WHERE v < " + n + ") "
        "INSERT INTO identities (serial_number, serial_form, count, local_id, login, label, created_at) "
        "SELECT printf('9%09d', v), 'wide', v, printf('Z%08d', v), printf('Z%08d:demo', v), 'L' || v, "
        "strftime('%Y-%m-%dT%H:%M:%SZ', 1765000000 + v, 'unixepoch') FROM n");
    if (!error.empty()) return error;
  } else {
    std::string error = store.Exec(
        "INSERT INTO identities (serial_number, serial_form, count, local_id, login, label, created_at) "
        "SELECT '9' || lpad(v::text, 9, '0'), 'wide', v, 'Z' || lpad(v::text, 8, '0'), "
        "'Z' || lpad(v::text, 8, '0') || ':demo', 'L' || v, "
        "to_char(to_timestamp(1765000000 + v) AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"') "
        "FROM generate_series(1, " + n + ") v");
    if (!error.empty()) return error;
  }
  std::string error = store.Exec(
      "INSERT INTO boards (identity_id, station, port, operator, label, profile_name, profile_sha256, receiver_type, "
      "rate, outcome, exit_code, started_at, ended_at) SELECT id, 'station-' || (count % 4), '/dev/ttyS0', 'op', "
      "label, 'line.ini', '" + std::string(64, 'c') + "', 'R9', 115200, 'passed', 0, created_at, created_at "
      "FROM identities");
  if (!error.empty()) return error;
  if (store.Kind() == Backend::Postgres) return store.Exec("ANALYZE");
  return {};
}

}  // namespace records_testing
