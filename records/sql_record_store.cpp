// Finishing boards, upgrades and the queries of the record store.
#include <array>
#include <limits>

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

std::int64_t LimitOf(const RecordFilter& filter) {
  return filter.limit > 0 ? filter.limit : std::numeric_limits<std::int64_t>::max();
}

}  // namespace

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
  const std::array<SqlParam, 4> params{std::string_view(filter.since), std::string_view(filter.station),
                                       std::string_view(filter.outcome), LimitOf(filter)};
  std::string sql(kBoardColumns);
  sql += "WHERE (?1 = '' OR b.started_at >= ?1) AND (?2 = '' OR b.station = ?2) AND (?3 = '' OR b.outcome = ?3) "
         "ORDER BY b.started_at DESC, b.id DESC LIMIT ?4";
  return m_connection->Execute(sql, params, [&](const SqlRow& row) { onRow(ReadBoard(row)); });
}

StoreError SqlRecordStore::ForEachUpgrade(const RecordFilter& filter, const std::function<void(const UpgradeRow&)>& onRow) {
  const std::array<SqlParam, 4> params{std::string_view(filter.since), std::string_view(filter.station),
                                       std::string_view(filter.outcome), LimitOf(filter)};
  return m_connection->Execute(
      "SELECT id, station, port, board_serial, module, software_version, slot, image_version, pages, pages_resent, "
      "outcome, duration_ms, started_at, ended_at FROM upgrades WHERE (?1 = '' OR started_at >= ?1) AND "
      "(?2 = '' OR station = ?2) AND (?3 = '' OR outcome = ?3) ORDER BY started_at DESC, id DESC LIMIT ?4",
      params, [&](const SqlRow& row) {
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

}  // namespace records
