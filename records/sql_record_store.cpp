// Finishing boards, upgrades and the queries of the record store.
#include <array>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "records/sql_record_store.h"
#include "records/utc_time.h"

namespace records {

namespace {

constexpr std::string_view kBoardColumns =
    "SELECT b.id, i.serial_number, i.local_id, i.login, b.label, b.station, b.port, b.operator, b.profile_name, "
    "b.profile_sha256, b.receiver_type, b.rate, b.outcome, b.exit_code, b.started_at, COALESCE(b.ended_at, '') "
    "FROM boards b JOIN identities i ON i.id = b.identity_id ";

BoardRow ReadBoard(const SqlRow& row) {
  BoardRow b;
  b.id = row.Int(0);
  b.serialNumber = row.Text(1);
  b.localId = row.Text(2);
  b.login = row.Text(3);
  b.label = row.Text(4);
  b.station = row.Text(5);
  b.port = row.Text(6);
  b.operatorName = row.Text(7);
  b.profileName = row.Text(8);
  b.profileSha256 = row.Text(9);
  b.receiverType = row.Text(10);
  b.rate = row.Int(11);
  b.outcome = row.Text(12);
  if (!row.IsNull(13)) b.exitCode = row.Int(13);
  b.startedAt = row.Text(14);
  b.endedAt = row.Text(15);
  return b;
}

std::int64_t LimitOf(std::int64_t limit) { return limit > 0 ? limit : std::numeric_limits<std::int64_t>::max(); }

// A WHERE clause of the filters given, their values bound: a filter left
// empty is left out of the statement, so that the start-time index serves the
// bounds that are there.
class Conditions {
 public:
  // column and comparison, e.g. "b.started_at >="; value bound.
  void Compare(std::string_view left, std::string_view value) {
    if (value.empty()) return;
    And(std::string(left) + " " + Place(value));
  }
  void And(std::string_view condition) {
    m_sql += m_sql.empty() ? "WHERE " : " AND ";
    m_sql += condition;
  }
  // A place for a value: ?N.
  std::string Place(SqlParam value) {
    m_params.push_back(value);
    return "?" + std::to_string(m_params.size());
  }
  std::string Sql() const { return m_sql + " "; }
  std::span<const SqlParam> Params() const { return m_params; }

 private:
  std::string m_sql;
  std::vector<SqlParam> m_params;
};

// text as a LIKE pattern that matches it anywhere; '!' escapes.
std::string ContainsPattern(std::string_view text) {
  std::string pattern = "%";
  for (char c : text) {
    if (c == '%' || c == '_' || c == '!') pattern += '!';
    pattern += c;
  }
  pattern += '%';
  return pattern;
}

}  // namespace

StoreError RecordStore::ForEachBoardStart(const std::string&, const std::string&,
                                          const std::function<void(const BoardStartRow&)>&) {
  return MakeError(ErrorKind::Other, Name());
}

StoreError RecordStore::ForEachFailureCause(const std::string&, const std::string&,
                                            const std::function<void(const FailureCauseRow&)>&) {
  return MakeError(ErrorKind::Other, Name());
}

StoreError RecordStore::SearchBoards(const std::string&, std::int64_t, const std::function<void(const BoardRow&)>&) {
  return MakeError(ErrorKind::Other, Name());
}

std::string_view OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::Started: return "started";
    case Outcome::Passed: return "passed";
    case Outcome::Failed: return "failed";
    case Outcome::Refused: return "refused";
    case Outcome::Interrupted: return "interrupted";
  }
  return "failed";
}

std::string_view SerialFormName(SerialForm form) { return form == SerialForm::Wide ? "wide" : "narrow"; }

StoreError SqlRecordStore::WriteResult(std::int64_t boardId, const BoardResult& result) {
  const std::string endedAt = result.endedAt.empty() ? UtcNow() : result.endedAt;
  bool found = false;
  const std::array<SqlParam, 4> board{OutcomeName(result.outcome), result.exitCode, std::string_view(endedAt), boardId};
  StoreError e = m_connection->Execute(
      "UPDATE boards SET outcome = ?1, exit_code = ?2, ended_at = ?3 WHERE id = ?4 RETURNING id", board,
      [&](const SqlRow&) { found = true; });
  if (!e.Ok()) return e;
  if (!found) {
    StoreError missing = MakeError(ErrorKind::NotFound, Name());
    missing.value = "#" + std::to_string(boardId);
    return missing;
  }
  // Finishing again replaces what the first finish wrote.
  const std::array<SqlParam, 1> id{boardId};
  e = m_connection->Execute("DELETE FROM board_settings WHERE board_id = ?1", id, {});
  if (e.Ok()) e = m_connection->Execute("DELETE FROM board_items WHERE board_id = ?1", id, {});
  for (std::size_t i = 0; e.Ok() && i < result.settings.size(); ++i) {
    const std::array<SqlParam, 4> setting{boardId, static_cast<std::int64_t>(i), std::string_view(result.settings[i].first),
                                          std::string_view(result.settings[i].second)};
    e = m_connection->Execute("INSERT INTO board_settings (board_id, position, name, value) VALUES (?1, ?2, ?3, ?4)",
                              setting, {});
  }
  for (std::size_t i = 0; e.Ok() && i < result.items.size(); ++i) {
    const ItemRecord& item = result.items[i];
    const std::array<SqlParam, 8> values{boardId,
                                         item.index,
                                         std::string_view(item.label),
                                         SqlBlob{item.bytes},
                                         static_cast<std::int64_t>(item.replyAwaited ? 1 : 0),
                                         std::string_view(item.outcome),
                                         std::string_view(item.sentAt),
                                         std::string_view(item.endedAt)};
    e = m_connection->Execute(
        "INSERT INTO board_items (board_id, item_index, label, bytes, reply_awaited, outcome, sent_at, ended_at) "
        "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)",
        values, {});
  }
  return e;
}

StoreError SqlRecordStore::FinishBoard(std::int64_t boardId, const BoardResult& result) {
  if (StoreError e = CheckTimes({result.endedAt}, true); !e.Ok()) return e;
  // An item not sent has no times.
  for (const ItemRecord& item : result.items) {
    if (StoreError e = CheckTimes({item.sentAt, item.endedAt}, true); !e.Ok()) return e;
  }
  StoreError e = m_connection->BeginWrite();
  if (!e.Ok()) return e;
  e = WriteResult(boardId, result);
  if (e.Ok()) e = m_connection->Commit();
  if (!e.Ok()) m_connection->Rollback();
  return e;
}

Result<std::int64_t> SqlRecordStore::RecordUpgrade(const UpgradeRecord& u) {
  if (StoreError e = CheckTimes({u.startedAt}, false); !e.Ok()) return e;
  if (StoreError e = CheckTimes({u.endedAt}, true); !e.Ok()) return e;
  const std::string endedAt = u.endedAt.empty() ? UtcNow() : u.endedAt;
  const std::array<SqlParam, 13> values{std::string_view(u.station),      std::string_view(u.port),
                                        std::string_view(u.boardSerial),  std::string_view(u.module),
                                        std::string_view(u.softwareVersion), u.slot,
                                        std::string_view(u.imageVersion), u.pages,
                                        u.pagesResent,                    std::string_view(u.outcome),
                                        u.durationMs,                     std::string_view(u.startedAt),
                                        std::string_view(endedAt)};
  std::int64_t id = 0;
  StoreError e = m_connection->Execute(
      "INSERT INTO upgrades (station, port, board_serial, module, software_version, slot, image_version, pages, "
      "pages_resent, outcome, duration_ms, started_at, ended_at) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, "
      "?11, ?12, ?13) RETURNING id",
      values, [&](const SqlRow& row) { id = row.Int(0); });
  if (!e.Ok()) return e;
  return id;
}

StoreError SqlRecordStore::ForEachBoard(const RecordFilter& filter, const std::function<void(const BoardRow&)>& onRow) {
  Conditions where;
  where.Compare("b.started_at >=", filter.since);
  where.Compare("b.started_at <", filter.until);
  where.Compare("b.station =", filter.station);
  where.Compare("b.outcome =", filter.outcome);
  std::string sql(kBoardColumns);
  sql += where.Sql();
  sql += "ORDER BY b.started_at DESC, b.id DESC LIMIT " + where.Place(LimitOf(filter.limit));
  return m_connection->Execute(sql, where.Params(), [&](const SqlRow& row) { onRow(ReadBoard(row)); });
}

StoreError SqlRecordStore::ForEachUpgrade(const RecordFilter& filter, const std::function<void(const UpgradeRow&)>& onRow) {
  Conditions where;
  where.Compare("started_at >=", filter.since);
  where.Compare("started_at <", filter.until);
  where.Compare("station =", filter.station);
  where.Compare("outcome =", filter.outcome);
  std::string sql =
      "SELECT id, station, port, board_serial, module, software_version, slot, image_version, pages, pages_resent, "
      "outcome, duration_ms, started_at, ended_at FROM upgrades " +
      where.Sql();
  sql += "ORDER BY started_at DESC, id DESC LIMIT " + where.Place(LimitOf(filter.limit));
  return m_connection->Execute(sql, where.Params(), [&](const SqlRow& row) {
    UpgradeRow r;
    r.id = row.Int(0);
    UpgradeRecord& u = r.upgrade;
    u.station = row.Text(1);
    u.port = row.Text(2);
    u.boardSerial = row.Text(3);
    u.module = row.Text(4);
    u.softwareVersion = row.Text(5);
    u.slot = row.Int(6);
    u.imageVersion = row.Text(7);
    u.pages = row.Int(8);
    u.pagesResent = row.Int(9);
    u.outcome = row.Text(10);
    u.durationMs = row.Int(11);
    u.startedAt = row.Text(12);
    u.endedAt = row.Text(13);
    onRow(r);
  });
}

StoreError SqlRecordStore::ForEachLogin(const std::string& since, const std::function<void(const LoginRow&)>& onRow) {
  const std::array<SqlParam, 1> params{std::string_view(since)};
  return m_connection->Execute(
      "SELECT i.serial_number, i.local_id, i.login, COALESCE(i.label, ''), COALESCE((SELECT b.station FROM boards b "
      "WHERE b.identity_id = i.id ORDER BY b.id LIMIT 1), ''), i.created_at FROM identities i "
      "WHERE i.created_at >= ?1 ORDER BY i.created_at, i.id",
      params, [&](const SqlRow& row) {
        onRow(LoginRow{std::string(row.Text(0)), std::string(row.Text(1)), std::string(row.Text(2)),
                       std::string(row.Text(3)), std::string(row.Text(4)), std::string(row.Text(5))});
      });
}

Result<BoardDetail> SqlRecordStore::FindBoard(const std::string& key) {
  std::optional<BoardDetail> detail;
  const std::array<SqlParam, 1> params{std::string_view(key)};
  std::string sql(kBoardColumns);
  // Each key is looked up through its own unique index.
  sql += "WHERE b.identity_id = (SELECT id FROM identities WHERE serial_number = ?1 UNION ALL "
         "SELECT id FROM identities WHERE label = ?1 UNION ALL SELECT id FROM identities WHERE local_id = ?1 "
         "UNION ALL SELECT id FROM identities WHERE login = ?1 LIMIT 1) ORDER BY b.id DESC LIMIT 1";
  StoreError e = m_connection->Execute(sql, params, [&](const SqlRow& row) { detail = BoardDetail{ReadBoard(row), {}, {}}; });
  if (!e.Ok()) return e;
  if (!detail) {
    StoreError missing = MakeError(ErrorKind::NotFound, Name());
    missing.value = key;
    return missing;
  }
  const std::array<SqlParam, 1> id{detail->board.id};
  e = m_connection->Execute("SELECT name, value FROM board_settings WHERE board_id = ?1 ORDER BY position", id,
                            [&](const SqlRow& row) { detail->settings.emplace_back(row.Text(0), row.Text(1)); });
  if (!e.Ok()) return e;
  e = m_connection->Execute(
      "SELECT item_index, label, bytes, reply_awaited, outcome, sent_at, ended_at FROM board_items "
      "WHERE board_id = ?1 ORDER BY item_index",
      id, [&](const SqlRow& row) {
        detail->items.push_back(ItemRecord{row.Int(0), std::string(row.Text(1)), row.Blob(2), row.Int(3) != 0,
                                           std::string(row.Text(4)), std::string(row.Text(5)), std::string(row.Text(6))});
      });
  if (!e.Ok()) return e;
  return std::move(*detail);
}

StoreError SqlRecordStore::ForEachBoardStart(const std::string& from, const std::string& to,
                                             const std::function<void(const BoardStartRow&)>& onRow) {
  Conditions where;
  where.Compare("started_at >=", from);
  where.Compare("started_at <", to);
  return m_connection->Execute("SELECT station, outcome, started_at FROM boards " + where.Sql() +
                                   "ORDER BY started_at, id",
                               where.Params(), [&](const SqlRow& row) {
                                 onRow(BoardStartRow{row.Text(0), row.Text(1), row.Text(2)});
                               });
}

StoreError SqlRecordStore::ForEachFailureCause(const std::string& from, const std::string& to,
                                               const std::function<void(const FailureCauseRow&)>& onRow) {
  // Both halves share the bounds' places.
  Conditions items;
  items.Compare("b.started_at >=", from);
  items.Compare("b.started_at <", to);
  Conditions refused = items;
  items.And("b.outcome NOT IN ('passed', 'refused') AND it.outcome <> 'acknowledged' AND "
            "(it.reply_awaited <> 0 OR it.outcome <> 'sent')");
  refused.And("b.outcome = 'refused'");
  const std::string sql = "SELECT b.station, it.label, it.outcome, COUNT(*) FROM boards b JOIN board_items it ON "
                          "it.board_id = b.id " + items.Sql() + "GROUP BY b.station, it.label, it.outcome "
                          "UNION ALL SELECT b.station, '', 'refused', COUNT(*) FROM boards b " + refused.Sql() +
                          "GROUP BY b.station";
  return m_connection->Execute(sql, items.Params(), [&](const SqlRow& row) {
    onRow(FailureCauseRow{std::string(row.Text(0)), std::string(row.Text(1)), std::string(row.Text(2)), row.Int(3)});
  });
}

StoreError SqlRecordStore::SearchBoards(const std::string& text, std::int64_t limit,
                                        const std::function<void(const BoardRow&)>& onRow) {
  const std::string pattern = ContainsPattern(text);
  const std::array<SqlParam, 2> params{std::string_view(pattern), LimitOf(limit)};
  std::string sql(kBoardColumns);
  // A text found anywhere in a value: no index helps, one pass over the identities.
  sql += "WHERE b.id IN (SELECT MAX(f.id) FROM identities m JOIN boards f ON f.identity_id = m.id WHERE "
         "LOWER(COALESCE(m.label, '')) LIKE LOWER(?1) ESCAPE '!' OR LOWER(m.serial_number) LIKE LOWER(?1) ESCAPE '!' "
         "OR LOWER(m.local_id) LIKE LOWER(?1) ESCAPE '!' OR LOWER(m.login) LIKE LOWER(?1) ESCAPE '!' "
         "GROUP BY m.id) ORDER BY b.started_at DESC, b.id DESC LIMIT ?2";
  return m_connection->Execute(sql, params, [&](const SqlRow& row) { onRow(ReadBoard(row)); });
}

}  // namespace records
