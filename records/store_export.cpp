#include "records/store_export.h"

#include <nlohmann/json.hpp>

#include "records/csv_writer.h"
#include "records/hex_text.h"

namespace records {

namespace {

using Json = nlohmann::ordered_json;

// Writes "[", then each object on its own line, then "]".
class JsonArrayWriter {
 public:
  explicit JsonArrayWriter(std::ostream& out) : m_out(out) { m_out << "[\n"; }
  void Row(const Json& object) {
    if (m_rows++ > 0) m_out << ",\n";
    // Texts from boards and operators need not be UTF-8: replaced, never thrown on.
    m_out << object.dump(-1, ' ', false, Json::error_handler_t::replace);
  }
  void Close() { m_out << (m_rows > 0 ? "\n]\n" : "]\n"); }

 private:
  std::ostream& m_out;
  std::int64_t m_rows = 0;
};

// One object for every row: its keys are made once, its values' storage is
// reused row after row.
class BoardJson {
 public:
  const Json& Of(const BoardRow& b) {
    m_object["id"] = b.id;
    m_object["serial_number"] = b.serialNumber;
    m_object["local_id"] = b.localId;
    m_object["login"] = b.login;
    m_object["label"] = b.label;
    m_object["station"] = b.station;
    m_object["port"] = b.port;
    m_object["operator"] = b.operatorName;
    m_object["profile_name"] = b.profileName;
    m_object["profile_sha256"] = b.profileSha256;
    m_object["receiver_type"] = b.receiverType;
    m_object["rate"] = b.rate;
    m_object["outcome"] = b.outcome;
    m_object["exit_code"] = b.exitCode ? Json(*b.exitCode) : Json(nullptr);
    m_object["started_at"] = b.startedAt;
    m_object["ended_at"] = b.endedAt.empty() ? Json(nullptr) : Json(b.endedAt);
    return m_object;
  }

 private:
  Json m_object = Json::object();
};

void BoardCsv(CsvWriter& csv, const BoardRow& b) {
  csv.Field(b.id);
  for (const std::string* text : {&b.serialNumber, &b.localId, &b.login, &b.label, &b.station, &b.port,
                                  &b.operatorName, &b.profileName, &b.profileSha256, &b.receiverType}) {
    csv.Field(*text);
  }
  csv.Field(b.rate);
  csv.Field(b.outcome);
  if (b.exitCode) {
    csv.Field(*b.exitCode);
  } else {
    csv.Field(std::string_view{});
  }
  csv.Field(b.startedAt);
  csv.Field(b.endedAt);
  csv.EndRow();
}

Json UpgradeJson(const UpgradeRow& r) {
  const UpgradeRecord& u = r.upgrade;
  return Json{{"id", r.id},
              {"station", u.station},
              {"port", u.port},
              {"board_serial", u.boardSerial},
              {"module", u.module},
              {"software_version", u.softwareVersion},
              {"slot", u.slot},
              {"image_version", u.imageVersion},
              {"pages", u.pages},
              {"pages_resent", u.pagesResent},
              {"outcome", u.outcome},
              {"duration_ms", u.durationMs},
              {"started_at", u.startedAt},
              {"ended_at", u.endedAt}};
}

void Header(CsvWriter& csv, std::initializer_list<std::string_view> names) {
  for (std::string_view name : names) csv.Field(name);
  csv.EndRow();
}

}  // namespace

Result<std::int64_t> ExportBoards(RecordStore& store, const RecordFilter& filter, ExportFormat format, std::ostream& out) {
  std::int64_t rows = 0;
  StoreError e;
  if (format == ExportFormat::Json) {
    JsonArrayWriter json(out);
    BoardJson row;
    e = store.ForEachBoard(filter, [&](const BoardRow& b) {
      json.Row(row.Of(b));
      ++rows;
    });
    json.Close();
  } else {
    CsvWriter csv(out);
    Header(csv, {"id", "serial_number", "local_id", "login", "label", "station", "port", "operator", "profile_name",
                 "profile_sha256", "receiver_type", "rate", "outcome", "exit_code", "started_at", "ended_at"});
    e = store.ForEachBoard(filter, [&](const BoardRow& b) {
      BoardCsv(csv, b);
      ++rows;
    });
  }
  if (!e.Ok()) return e;
  return rows;
}

Result<std::int64_t> ExportUpgrades(RecordStore& store, const RecordFilter& filter, ExportFormat format,
                                    std::ostream& out) {
  std::int64_t rows = 0;
  StoreError e;
  if (format == ExportFormat::Json) {
    JsonArrayWriter json(out);
    e = store.ForEachUpgrade(filter, [&](const UpgradeRow& r) {
      json.Row(UpgradeJson(r));
      ++rows;
    });
    json.Close();
  } else {
    CsvWriter csv(out);
    Header(csv, {"id", "station", "port", "board_serial", "module", "software_version", "slot", "image_version",
                 "pages", "pages_resent", "outcome", "duration_ms", "started_at", "ended_at"});
    e = store.ForEachUpgrade(filter, [&](const UpgradeRow& r) {
      const UpgradeRecord& u = r.upgrade;
      csv.Field(r.id);
      for (const std::string* text : {&u.station, &u.port, &u.boardSerial, &u.module, &u.softwareVersion}) csv.Field(*text);
      csv.Field(u.slot);
      csv.Field(u.imageVersion);
      csv.Field(u.pages);
      csv.Field(u.pagesResent);
      csv.Field(u.outcome);
      csv.Field(u.durationMs);
      csv.Field(u.startedAt);
      csv.Field(u.endedAt);
      csv.EndRow();
      ++rows;
    });
  }
  if (!e.Ok()) return e;
  return rows;
}

void WriteBoardJson(const BoardDetail& detail, std::ostream& out) {
  BoardJson row;
  Json object = row.Of(detail.board);
  Json settings = Json::array();
  for (const auto& [name, value] : detail.settings) settings.push_back(Json{{"name", name}, {"value", value}});
  object["settings"] = std::move(settings);
  Json items = Json::array();
  for (const ItemRecord& item : detail.items) {
    items.push_back(Json{{"index", item.index},
                         {"label", item.label},
                         {"bytes_hex", PackedHex(item.bytes)},
                         {"reply_awaited", item.replyAwaited},
                         {"outcome", item.outcome},
                         {"sent_at", item.sentAt.empty() ? Json(nullptr) : Json(item.sentAt)},
                         {"ended_at", item.endedAt.empty() ? Json(nullptr) : Json(item.endedAt)}});
  }
  object["items"] = std::move(items);
  out << object.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
}

Result<std::int64_t> ExportLogins(RecordStore& store, const std::string& since, std::ostream& out) {
  std::int64_t rows = 0;
  CsvWriter csv(out);
  Header(csv, {"serial_number", "local_id", "login", "label", "station", "handed_out_at"});
  StoreError e = store.ForEachLogin(since, [&](const LoginRow& r) {
    for (const std::string* text : {&r.serialNumber, &r.localId, &r.login, &r.label, &r.station, &r.handedOutAt}) {
      csv.Field(*text);
    }
    csv.EndRow();
    ++rows;
  });
  if (!e.Ok()) return e;
  return rows;
}

}  // namespace records
