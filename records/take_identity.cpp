// TakeIdentity: serial number, local id and login in one write transaction,
// the board recorded as started before it commits.
#include <algorithm>
#include <array>
#include <set>

#include "records/sql_record_store.h"
#include "records/utc_time.h"

namespace records {

namespace {

// Attempts when another station's transaction took a value first.
constexpr int kAttempts = 16;

}  // namespace

SqlRecordStore::SqlRecordStore(std::unique_ptr<SqlConnection> connection, std::int64_t firstCount)
    : m_connection(std::move(connection)), m_firstCount(firstCount) {}

StoreError SqlRecordStore::Refusal(ErrorKind kind, IdField field, std::string value, Holder holder) const {
  StoreError e = MakeError(kind, Name());
  e.field = field;
  e.value = std::move(value);
  e.holder = std::move(holder);
  return e;
}

StoreError SqlRecordStore::CheckTimes(std::initializer_list<std::string_view> times, bool emptyAllowed) const {
  for (std::string_view time : times) {
    if (!ValidUtc(time) && !(emptyAllowed && time.empty())) return Refusal(ErrorKind::BadTime, IdField::None, std::string(time));
  }
  return {};
}

Result<Identity> SqlRecordStore::TakeIdentity(const IdentityRequest& request) {
  if (!ValidDate(request.date)) {
    return Refusal(ErrorKind::BadDate, IdField::None, FormatDate(request.date));
  }
  if (StoreError e = CheckTimes({request.startedAt}, true); !e.Ok()) return e;
  const std::string startedAt = request.startedAt.empty() ? UtcNow() : request.startedAt;
  StoreError last;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    StoreError e = m_connection->BeginWrite();
    if (!e.Ok()) return e;
    Result<Identity> taken = TakeInTransaction(request, startedAt);
    if (taken.Ok()) {
      e = m_connection->Commit();
      if (e.Ok()) return taken;
    } else {
      e = taken.Error();
    }
    m_connection->Rollback();
    if (e.kind != ErrorKind::Conflict) return e;
    last = e;
  }
  return last;
}

Result<std::optional<Holder>> SqlRecordStore::HolderOf(std::string_view column, std::string_view value) {
  // column is one of the fixed names below, never text from a caller.
  std::string sql =
      "SELECT i.serial_number, COALESCE(i.label, ''), COALESCE((SELECT b.station FROM boards b "
      "WHERE b.identity_id = i.id ORDER BY b.id DESC LIMIT 1), '') FROM identities i WHERE i.";
  sql += column;
  sql += " = ?1";
  std::optional<Holder> holder;
  const std::array<SqlParam, 1> params{value};
  StoreError e = m_connection->Execute(sql, params, [&](const SqlRow& row) {
    holder = Holder{std::string(row.Text(0)), std::string(row.Text(1)), std::string(row.Text(2))};
  });
  if (!e.Ok()) return e;
  return holder;
}

Result<std::int64_t> SqlRecordStore::InsertBoard(const IdentityRequest& request, const std::string& startedAt,
                                                 std::int64_t identityId) {
  const std::array<SqlParam, 11> params{identityId,
                                        std::string_view(request.station),
                                        std::string_view(request.port),
                                        std::string_view(request.operatorName),
                                        std::string_view(request.label),
                                        std::string_view(request.profileName),
                                        std::string_view(request.profileSha256),
                                        std::string_view(request.receiverType),
                                        request.rate,
                                        std::string_view(startedAt),
                                        std::string_view("started")};
  std::int64_t boardId = 0;
  StoreError e = m_connection->Execute(
      "INSERT INTO boards (identity_id, station, port, operator, label, profile_name, profile_sha256, "
      "receiver_type, rate, started_at, outcome) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11) RETURNING id",
      params, [&](const SqlRow& row) { boardId = row.Int(0); });
  if (!e.Ok()) return e;
  return boardId;
}

Result<Identity> SqlRecordStore::ReuseLabel(const IdentityRequest& request, const std::string& startedAt,
                                            std::int64_t identityId) {
  Identity identity;
  std::optional<Holder> passed;
  const std::array<SqlParam, 1> id{identityId};
  StoreError e = m_connection->Execute(
      "SELECT i.serial_number, i.local_id, i.login, i.count, "
      "(SELECT b.station FROM boards b WHERE b.identity_id = i.id AND b.outcome = 'passed' ORDER BY b.id DESC "
      "LIMIT 1) FROM identities i WHERE i.id = ?1",
      id, [&](const SqlRow& row) {
        identity.serialNumber = row.Text(0);
        identity.localId = row.Text(1);
        identity.login = row.Text(2);
        identity.count = row.Int(3);
        if (!row.IsNull(4)) passed = Holder{identity.serialNumber, request.label, std::string(row.Text(4))};
      });
  if (!e.Ok()) return e;
  if (passed) return Refusal(ErrorKind::LabelPassed, IdField::Label, request.label, *passed);
  // A board set twice keeps its identity; operator values that differ from it are refused.
  const bool differs =
      (request.count && FormatSerial(request.date, *request.count, request.form) != identity.serialNumber) ||
      (request.localId && *request.localId != identity.localId) || (request.login && *request.login != identity.login);
  if (differs) {
    Result<std::optional<Holder>> self = HolderOf("label", request.label);
    if (!self.Ok()) return self.Error();
    return Refusal(ErrorKind::ValueTaken, IdField::Label, request.label, self.Value().value_or(Holder{}));
  }
  Result<std::int64_t> board = InsertBoard(request, startedAt, identityId);
  if (!board.Ok()) return board.Error();
  identity.boardId = board.Value();
  identity.reused = true;
  return identity;
}

Result<std::string> SqlRecordStore::FreeId(const std::optional<std::string>& given, std::string_view column,
                                           IdField field, bool login) {
  if (given) {
    Result<std::optional<Holder>> holder = HolderOf(column, *given);
    if (!holder.Ok()) return holder.Error();
    if (holder.Value()) return Refusal(ErrorKind::ValueTaken, field, *given, *holder.Value());
    return *given;
  }
  for (;;) {
    const std::int64_t drawn = m_draw.Next();
    std::string text = login ? FormatLogin(drawn) : FormatLocalId(drawn);
    Result<std::optional<Holder>> holder = HolderOf(column, text);
    if (!holder.Ok()) return holder.Error();
    if (!holder.Value()) return text;
  }
}

Result<Identity> SqlRecordStore::TakeInTransaction(const IdentityRequest& request, const std::string& startedAt) {
  if (!request.label.empty()) {
    std::optional<std::int64_t> labelled;
    const std::array<SqlParam, 1> label{std::string_view(request.label)};
    StoreError e = m_connection->Execute("SELECT id FROM identities WHERE label = ?1", label,
                                         [&](const SqlRow& row) { labelled = row.Int(0); });
    if (!e.Ok()) return e;
    if (labelled) return ReuseLabel(request, startedAt, *labelled);
  }
  // The counter row, locked until commit: takers of new identities go one at a time.
  std::int64_t counter = m_firstCount;
  const std::array<SqlParam, 1> first{m_firstCount};
  StoreError e = m_connection->Execute(
      "INSERT INTO counters (name, value) VALUES ('count', ?1) ON CONFLICT (name) DO UPDATE SET value = "
      "counters.value RETURNING value",
      first, [&](const SqlRow& row) { counter = row.Int(0); });
  if (!e.Ok()) return e;

  Identity identity;
  if (request.count) {
    identity.count = *request.count;
    identity.serialNumber = FormatSerial(request.date, identity.count, request.form);
    Result<std::optional<Holder>> holder = HolderOf("serial_number", identity.serialNumber);
    if (!holder.Ok()) return holder.Error();
    if (holder.Value()) return Refusal(ErrorKind::ValueTaken, IdField::SerialNumber, identity.serialNumber, *holder.Value());
  } else {
    std::set<std::int64_t> taken;
    const std::string lower = DayPrefix(request.date);
    const std::string upper = DayUpper(request.date);
    const std::array<SqlParam, 3> day{std::string_view(lower), std::string_view(upper),
                                      static_cast<std::int64_t>(SerialLength(request.form))};
    e = m_connection->Execute(
        "SELECT serial_number FROM identities WHERE serial_number >= ?1 AND serial_number < ?2 AND "
        "length(serial_number) = ?3",
        day, [&](const SqlRow& row) {
          if (auto suffix = SerialSuffix(row.Text(0), request.date, request.form)) taken.insert(*suffix);
        });
    if (!e.Ok()) return e;
    const std::optional<std::int64_t> next = NextFreeCount(counter, request.form, taken);
    if (!next) {
      return Refusal(ErrorKind::DayFull, request.form == SerialForm::Wide ? IdField::WideForm : IdField::NarrowForm,
                     lower);
    }
    identity.count = *next;
    identity.serialNumber = FormatSerial(request.date, identity.count, request.form);
  }
  Result<std::string> localId = FreeId(request.localId, "local_id", IdField::LocalId, false);
  if (!localId.Ok()) return localId.Error();
  identity.localId = localId.Value();
  Result<std::string> login = FreeId(request.login, "login", IdField::Login, true);
  if (!login.Ok()) return login.Error();
  identity.login = login.Value();

  std::int64_t identityId = 0;
  const std::array<SqlParam, 7> row{std::string_view(identity.serialNumber),
                                    SerialFormName(request.form),
                                    identity.count,
                                    std::string_view(identity.localId),
                                    std::string_view(identity.login),
                                    request.label.empty() ? SqlParam(SqlNull{}) : SqlParam(std::string_view(request.label)),
                                    std::string_view(startedAt)};
  e = m_connection->Execute(
      "INSERT INTO identities (serial_number, serial_form, count, local_id, login, label, created_at) "
      "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7) RETURNING id",
      row, [&](const SqlRow& r) { identityId = r.Int(0); });
  if (!e.Ok()) return e;
  // The line continues after this board's count; an operator's earlier count
  // never takes it back.
  const std::array<SqlParam, 1> next{std::max(counter, identity.count + 1)};
  e = m_connection->Execute("UPDATE counters SET value = ?1 WHERE name = 'count'", next, {});
  if (!e.Ok()) return e;
  Result<std::int64_t> board = InsertBoard(request, startedAt, identityId);
  if (!board.Ok()) return board.Error();
  identity.boardId = board.Value();
  return identity;
}

}  // namespace records
