#pragma once
// Fills a store with a line's month behind its back, in one statement per
// table, for timing the line view: boards spread evenly over days on
// stations, each with four items, some failed on a timed-out item, some
// refused or interrupted, and an upgrade every hundredth board.
#include <string>

#include "store_backend.h"

namespace records_testing {

// Board v (1..count) starts at 2026-11-10T00:00:00Z + v * days * 86400 / count
// seconds on station-<v mod stations>; v mod 20 == 0 failed (item 1 + v mod 3
// timed out), else v mod 97 == 0 refused (no items), v mod 211 == 0
// interrupted, else passed.
inline std::string FillLine(const FreshStore& store, int count, int days, int stations) {
  const bool sqlite = store.Kind() == Backend::Sqlite;
  const std::string n = std::to_string(count);
  const std::string step = "(v * " + std::to_string(static_cast<long long>(days) * 86400) + " / " + n + ")";
  const std::string at = sqlite ? "strftime('%Y-%m-%dT%H:%M:%SZ', 1794268800 + " + step + ", 'unixepoch')"
                                : "to_char(to_timestamp(1794268800 + " + step +
                                      ") AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"')";
  const std::string series = sqlite ? "WITH RECURSIVE n(v) AS (SELECT 1 UNION ALL SELECT v + 1 FROM n WHERE v < " + n +
                                          ") "
                                    : "WITH n(v) AS (SELECT generate_series(1::bigint, " + n + ")) ";
  const std::string pad9 = sqlite ? "printf('%09d', v)" : "lpad(v::text, 9, '0')";
  const std::string pad8 = sqlite ? "printf('%08d', v)" : "lpad(v::text, 8, '0')";
  std::string error = store.Exec(series +
                                 "INSERT INTO identities (serial_number, serial_form, count, local_id, login, label, "
                                 "created_at) SELECT '9' || " + pad9 + ", 'wide', v, 'Z' || " + pad8 + ", 'Z' || " +
                                 pad8 + " || ':demo', 'L' || v, " + at + " FROM n");
  if (!error.empty()) return error;
  error = store.Exec(
      "INSERT INTO boards (identity_id, station, port, operator, label, profile_name, profile_sha256, receiver_type, "
      "rate, outcome, exit_code, started_at, ended_at) SELECT id, 'station-' || (count % " + std::to_string(stations) +
      "), '/dev/ttyS0', 'op', label, 'line.ini', '" + std::string(64, 'c') + "', 'R9', 115200, "
      "CASE WHEN count % 20 = 0 THEN 'failed' WHEN count % 97 = 0 THEN 'refused' WHEN count % 211 = 0 THEN "
      "'interrupted' ELSE 'passed' END, 0, created_at, created_at FROM identities");
  if (!error.empty()) return error;
  const std::string blob = sqlite ? "x'41542b0d'" : "'\\x41542b0d'::bytea";
  error = store.Exec(
      "INSERT INTO board_items (board_id, item_index, label, bytes, reply_awaited, outcome, sent_at, ended_at) "
      "SELECT b.id, k.i, k.label, " + blob + ", CASE WHEN k.i = 0 THEN 0 ELSE 1 END, "
      "CASE WHEN k.i = 0 THEN 'sent' WHEN b.outcome = 'failed' AND k.i = 1 + b.id % 3 THEN 'timed-out' "
      "WHEN b.outcome = 'interrupted' AND k.i = 3 THEN 'waiting' ELSE 'acknowledged' END, b.started_at, b.started_at "
      "FROM boards b CROSS JOIN (SELECT 0 AS i, 'APN' AS label UNION ALL SELECT 1, 'IPSET' UNION ALL SELECT 2, 'MODE' "
      "UNION ALL SELECT 3, 'SERVER') k WHERE b.outcome <> 'refused'");
  if (!error.empty()) return error;
  error = store.Exec(
      "INSERT INTO upgrades (station, port, board_serial, module, software_version, slot, image_version, pages, "
      "pages_resent, outcome, duration_ms, started_at, ended_at) SELECT b.station, b.port, i.serial_number, 'NET100', "
      "'1.0', 7, '2.0', 203, 0, 'passed', 5000, b.started_at, b.started_at FROM boards b JOIN identities i ON "
      "i.id = b.identity_id WHERE b.id % 100 = 0");
  if (!error.empty()) return error;
  return store.Exec("ANALYZE");
}

}  // namespace records_testing
