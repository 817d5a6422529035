#include "records/postgres/pg_connection.h"

#include <libpq-fe.h>

#include <array>
#include <map>
#include <string_view>

namespace records {

namespace {

struct FinishConn {
  void operator()(PGconn* conn) const { PQfinish(conn); }
};
struct ClearResult {
  void operator()(PGresult* result) const { PQclear(result); }
};
using ConnHandle = std::unique_ptr<PGconn, FinishConn>;
using ResultHandle = std::unique_ptr<PGresult, ClearResult>;

// Type oids of the parameters: int8, text, bytea.
constexpr Oid kInt8 = 20;
constexpr Oid kText = 25;
constexpr Oid kBytea = 17;

std::string Trimmed(const char* message) {
  std::string text = message != nullptr ? message : "";
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

ErrorKind KindOf(std::string_view state) {
  if (state == "23505") return ErrorKind::Conflict;  // unique violation
  if (state == "40001" || state == "40P01") return ErrorKind::Conflict;  // serialization failure, deadlock
  if (state == "55P03" || state == "57014") return ErrorKind::Busy;      // lock not available, time-out
  if (state == "25006") return ErrorKind::ReadOnly;
  if (state == "53100") return ErrorKind::DiskFull;
  if (state == "XX001" || state == "XX002") return ErrorKind::Corrupt;
  if (state.substr(0, 2) == "28" || state == "42501") return ErrorKind::Refused;
  if (state.substr(0, 2) == "08" || state.substr(0, 3) == "57P") return ErrorKind::Unreachable;
  return ErrorKind::Other;
}

// The ?N places of the shared statements become libpq's $N.
std::string Placeholders(std::string_view sql) {
  std::string out;
  out.reserve(sql.size());
  for (char c : sql) out += c == '?' ? '$' : c;
  return out;
}

std::uint8_t HexValue(char c) {
  if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<std::uint8_t>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<std::uint8_t>(c - 'A' + 10);
  return 0;
}

class PgRow final : public SqlRow {
 public:
  explicit PgRow(const PGresult* result) : m_result(result) {}
  bool IsNull(int column) const override { return PQgetisnull(m_result, 0, column) != 0; }
  std::int64_t Int(int column) const override {
    std::int64_t value = 0;
    bool negative = false;
    for (std::string_view text = Text(column); char c : text) {
      if (c == '-') negative = true;
      if (c >= '0' && c <= '9') value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
  }
  std::string_view Text(int column) const override {
    return {PQgetvalue(m_result, 0, column), static_cast<std::size_t>(PQgetlength(m_result, 0, column))};
  }
  // bytea in text form is hex: \x0a1b...
  std::vector<std::uint8_t> Blob(int column) const override {
    std::string_view text = Text(column);
    std::vector<std::uint8_t> bytes;
    if (text.substr(0, 2) != "\\x") return bytes;
    for (std::size_t i = 2; i + 1 < text.size(); i += 2) {
      bytes.push_back(static_cast<std::uint8_t>(HexValue(text[i]) << 4 | HexValue(text[i + 1])));
    }
    return bytes;
  }

 private:
  const PGresult* m_result;
};

class PgConnection final : public SqlConnection {
 public:
  PgConnection(ConnHandle conn, std::string display, std::string session)
      : m_conn(std::move(conn)), m_display(std::move(display)), m_session(std::move(session)) {}

  // The session's settings, again after each reconnection.
  StoreError ApplySession() { return ExecuteScript(m_session); }

  Dialect GetDialect() const override { return Dialect::Postgres; }
  const std::string& StoreName() const override { return m_display; }

  StoreError Execute(std::string_view sql, std::span<const SqlParam> params, const RowCallback& onRow) override {
    if (StoreError e = Reconnected(); !e.Ok()) return e;
    const std::string& text = Converted(sql);
    std::vector<Oid> types(params.size());
    std::vector<std::string> texts(params.size());
    std::vector<const char*> values(params.size());
    std::vector<int> lengths(params.size());
    std::vector<int> formats(params.size());
    for (std::size_t i = 0; i < params.size(); ++i) {
      if (const auto* value = std::get_if<std::int64_t>(&params[i])) {
        types[i] = kInt8;
        texts[i] = std::to_string(*value);
        values[i] = texts[i].c_str();
      } else if (const auto* str = std::get_if<std::string_view>(&params[i])) {
        types[i] = kText;
        texts[i] = std::string(*str);
        values[i] = texts[i].c_str();
      } else if (const auto* blob = std::get_if<SqlBlob>(&params[i])) {
        types[i] = kBytea;
        values[i] = reinterpret_cast<const char*>(blob->bytes.data());
        lengths[i] = static_cast<int>(blob->bytes.size());
        formats[i] = 1;
        if (values[i] == nullptr) values[i] = "";
      } else {
        types[i] = kText;
      }
    }
    if (PQsendQueryParams(m_conn.get(), text.c_str(), static_cast<int>(params.size()), types.data(), values.data(),
                          lengths.data(), formats.data(), 0) == 0) {
      return ConnectionError();
    }
    // One row at a time: exports of many boards never hold them all.
    PQsetSingleRowMode(m_conn.get());
    StoreError outcome;
    while (PGresult* raw = PQgetResult(m_conn.get())) {
      ResultHandle result(raw);
      const ExecStatusType status = PQresultStatus(raw);
      if (status == PGRES_SINGLE_TUPLE) {
        if (onRow && outcome.Ok()) onRow(PgRow(raw));
      } else if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK && outcome.Ok()) {
        outcome = ResultError(raw);
      }
    }
    if (outcome.Ok() && PQstatus(m_conn.get()) == CONNECTION_BAD) return ConnectionError();
    return outcome;
  }

  StoreError ExecuteScript(std::string_view sql) override {
    if (StoreError e = Reconnected(); !e.Ok()) return e;
    const std::string text(sql);
    ResultHandle result(PQexec(m_conn.get(), text.c_str()));
    if (!result) return ConnectionError();
    const ExecStatusType status = PQresultStatus(result.get());
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return {};
    return ResultError(result.get());
  }

  StoreError BeginWrite() override {
    StoreError e = ExecuteScript("BEGIN");
    // The server ended the session since the last call: nothing was done yet,
    // so once more on a new one.
    if (!e.Ok() && PQstatus(m_conn.get()) == CONNECTION_BAD) e = ExecuteScript("BEGIN");
    m_inTransaction = e.Ok();
    return e;
  }
  StoreError Commit() override {
    m_inTransaction = false;
    return ExecuteScript("COMMIT");
  }
  void Rollback() override {
    m_inTransaction = false;
    if (PQtransactionStatus(m_conn.get()) != PQTRANS_IDLE) ResultHandle(PQexec(m_conn.get(), "ROLLBACK"));
  }

 private:
  // A server restarted since the last call (or a connection it ended) is
  // reached again between calls; never inside a transaction, whose statements
  // must not go on in another session.
  StoreError Reconnected() {
    if (PQstatus(m_conn.get()) != CONNECTION_BAD || m_inTransaction || m_resetting) return {};
    PQreset(m_conn.get());
    if (PQstatus(m_conn.get()) != CONNECTION_OK) return ConnectionError();
    m_resetting = true;
    StoreError e = ApplySession();
    m_resetting = false;
    return e;
  }

  const std::string& Converted(std::string_view sql) {
    auto found = m_converted.find(sql);
    if (found == m_converted.end()) found = m_converted.emplace(std::string(sql), Placeholders(sql)).first;
    return found->second;
  }

  StoreError ConnectionError() const {
    const ErrorKind kind = PQstatus(m_conn.get()) == CONNECTION_BAD ? ErrorKind::Unreachable : ErrorKind::Other;
    return MakeError(kind, m_display, Trimmed(PQerrorMessage(m_conn.get())));
  }

  StoreError ResultError(const PGresult* result) const {
    const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
    const char* primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY);
    ErrorKind kind = state != nullptr ? KindOf(state) : ErrorKind::Other;
    if (state == nullptr && PQstatus(m_conn.get()) == CONNECTION_BAD) kind = ErrorKind::Unreachable;
    return MakeError(kind, m_display, Trimmed(primary != nullptr ? primary : PQerrorMessage(m_conn.get())));
  }

  ConnHandle m_conn;
  std::string m_display;
  std::string m_session;
  bool m_inTransaction = false;
  bool m_resetting = false;
  std::map<std::string, std::string, std::less<>> m_converted;
};

// libpq has no code for why a connection failed: authentication is told by its words.
ErrorKind ConnectKind(PGconn* conn, std::string_view message) {
  if (PQconnectionNeedsPassword(conn) != 0) return ErrorKind::Refused;
  for (std::string_view word : {"authentication failed", "password", "no pg_hba.conf entry", "permission denied",
                                "does not exist"}) {
    if (message.find(word) != std::string_view::npos) return ErrorKind::Refused;
  }
  return ErrorKind::Unreachable;
}

}  // namespace

Result<std::unique_ptr<SqlConnection>> OpenPostgres(const std::string& url, const std::string& display,
                                                    int connectTimeoutSeconds, int lockTimeoutMs, bool readOnly) {
  const std::string timeout = std::to_string(connectTimeoutSeconds);
  const std::array<const char*, 4> keys{"connect_timeout", "application_name", "dbname", nullptr};
  const std::array<const char*, 4> values{timeout.c_str(), "brevan-torvik", url.c_str(), nullptr};
  // expand_dbname: the URL, given last, overrides the defaults before it.
  ConnHandle conn(PQconnectdbParams(keys.data(), values.data(), 1));
  if (!conn) return MakeError(ErrorKind::Other, display);
  if (PQstatus(conn.get()) != CONNECTION_OK) {
    const std::string message = Trimmed(PQerrorMessage(conn.get()));
    return MakeError(ConnectKind(conn.get(), message), display, message);
  }
  // Notices (e.g. "relation already exists, skipping") are not the user's business.
  std::string session = "SET client_min_messages = warning; SET lock_timeout = " + std::to_string(lockTimeoutMs);
  if (readOnly) session += "; SET default_transaction_read_only = on";
  auto connection = std::make_unique<PgConnection>(std::move(conn), display, std::move(session));
  StoreError e = connection->ApplySession();
  if (!e.Ok()) return e;
  return std::unique_ptr<SqlConnection>(std::move(connection));
}

}  // namespace records
