// The record store against both backends: identities, refusals, finishing,
// queries and exports, migrations.
#include <array>
#include <atomic>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "records/identity_rules.h"
#include "records/open_store.h"
#include "records/records_strings.h"
#include "records/schema.h"
#include "records/store_export.h"
#include "store_backend.h"
#include "support/temp_dir.h"

namespace records {
namespace {

using records_testing::Backend;
using records_testing::FreshStore;

constexpr LocalDate kDay{2026, 12, 9};
constexpr LocalDate kNextDay{2026, 12, 10};

IdentityRequest Request(std::string station = "station-1", std::string label = {}, LocalDate date = kDay) {
  IdentityRequest r;
  r.station = std::move(station);
  r.port = "/dev/ttyUSB0";
  r.operatorName = "op";
  r.label = std::move(label);
  r.profileName = "line.ini";
  r.profileSha256 = std::string(64, 'a');
  r.receiverType = "R9";
  r.rate = 115200;
  r.date = date;
  return r;
}

// RFC 4180 records back into fields.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> rows(1);
  std::string field;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      rows.back().push_back(field);
      field.clear();
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      rows.back().push_back(field);
      field.clear();
      rows.emplace_back();
      ++i;
    } else {
      field += c;
    }
  }
  if (rows.back().empty()) rows.pop_back();
  return rows;
}

class RecordStoreTest : public ::testing::TestWithParam<Backend> {
 protected:
  RecordStoreTest() : m_fresh(GetParam()) {}

  std::unique_ptr<RecordStore> Open(OpenOptions options = {}) {
    Result<std::unique_ptr<RecordStore>> opened = OpenStore(m_fresh.Url(), options);
    if (!opened.Ok()) {
      ADD_FAILURE() << Describe(opened.Error(), fw::UiLanguage::English);
      return nullptr;
    }
    return std::move(opened.Value());
  }

  Identity Take(RecordStore& store, const IdentityRequest& request) {
    Result<Identity> taken = store.TakeIdentity(request);
    if (!taken.Ok()) {
      ADD_FAILURE() << Describe(taken.Error(), fw::UiLanguage::English);
      return {};
    }
    return taken.Value();
  }

  std::vector<BoardRow> List(RecordStore& store, const RecordFilter& filter = {}) {
    std::vector<BoardRow> rows;
    const StoreError e = store.ForEachBoard(filter, [&](const BoardRow& b) { rows.push_back(b); });
    EXPECT_TRUE(e.Ok()) << Describe(e, fw::UiLanguage::English);
    return rows;
  }

  FreshStore m_fresh;
};

TEST_P(RecordStoreTest, IdentitiesAreDistinctAndTheCountContinuesAcrossRestartsAndDays) {
  std::set<std::string> serials, localIds, logins;
  {
    auto store = Open();
    ASSERT_TRUE(store);
    for (int i = 0; i < 3; ++i) {
      const Identity id = Take(*store, Request());
      EXPECT_EQ(id.count, i + 1);
      EXPECT_EQ(id.serialNumber, "2612090" + std::to_string(i + 1));
      EXPECT_TRUE(ValidLocalId(id.localId)) << id.localId;
      EXPECT_TRUE(ValidLogin(id.login)) << id.login;
      EXPECT_FALSE(id.reused);
      serials.insert(id.serialNumber);
      localIds.insert(id.localId);
      logins.insert(id.login);
    }
  }
  auto store = Open();
  ASSERT_TRUE(store);
  IdentityRequest wide = Request("station-2", {}, kNextDay);
  wide.form = SerialForm::Wide;
  const Identity next = Take(*store, wide);
  EXPECT_EQ(next.count, 4);
  EXPECT_EQ(next.serialNumber, "2612100004");
  localIds.insert(next.localId);
  logins.insert(next.login);
  EXPECT_EQ(localIds.size(), 4u);
  EXPECT_EQ(logins.size(), 4u);
  // Every take left a started board.
  const std::vector<BoardRow> boards = List(*store);
  ASSERT_EQ(boards.size(), 4u);
  for (const BoardRow& b : boards) EXPECT_EQ(b.outcome, "started");
}

TEST_P(RecordStoreTest, CountSkipsSerialNumbersTheDayAlreadyHas) {
  auto store = Open();
  ASSERT_TRUE(store);
  for (int i = 0; i < 3; ++i) Take(*store, Request("s", {}, kDay));         // counts 1..3: 26120901..03
  for (int i = 0; i < 98; ++i) Take(*store, Request("s", {}, kNextDay));    // counts 4..101
  // Count 102 would be 26120902 again, 103 is 26120903: both are skipped.
  const Identity back = Take(*store, Request("s", {}, kDay));
  EXPECT_EQ(back.count, 104);
  EXPECT_EQ(back.serialNumber, "26120904");
}

TEST_P(RecordStoreTest, AFullDayIsRefusedInItsFormOnly) {
  auto store = Open();
  ASSERT_TRUE(store);
  for (int i = 0; i < 100; ++i) Take(*store, Request());
  Result<Identity> refused = store->TakeIdentity(Request());
  ASSERT_FALSE(refused.Ok());
  EXPECT_EQ(refused.Error().kind, ErrorKind::DayFull);
  EXPECT_EQ(refused.Error().field, IdField::NarrowForm);
  EXPECT_EQ(refused.Error().value, "261209");
  EXPECT_EQ(List(*store).size(), 100u);
  // The wide form has 10,000 more numbers for the same day; the next day has its own.
  IdentityRequest wide = Request();
  wide.form = SerialForm::Wide;
  EXPECT_EQ(Take(*store, wide).serialNumber.size(), 10u);
  EXPECT_TRUE(store->TakeIdentity(Request("s", {}, kNextDay)).Ok());

  // A wide day with all 10,000 taken behind the store's back.
  const std::string fill =
      GetParam() == Backend::Sqlite
          ? "WITH RECURSIVE n(v) AS (SELECT 0 UNION ALL SELECT v + 1 FROM n WHERE v < 9999) "
            "INSERT INTO identities (serial_number, serial_form, count, local_id, login, created_at) "
            "SELECT printf('270101%04d', v), 'wide', v, printf('Y%08d', v), printf('Y%08d:x', v), '2027-01-01' FROM n"
          : "INSERT INTO identities (serial_number, serial_form, count, local_id, login, created_at) "
            "SELECT '270101' || lpad(v::text, 4, '0'), 'wide', v, 'Y' || v, 'Y' || v || ':x', '2027-01-01' "
            "FROM generate_series(0, 9999) v";
  ASSERT_EQ(m_fresh.Exec(fill), "");
  IdentityRequest full = Request("s", {}, LocalDate{2027, 1, 1});
  full.form = SerialForm::Wide;
  refused = store->TakeIdentity(full);
  ASSERT_FALSE(refused.Ok());
  EXPECT_EQ(refused.Error().kind, ErrorKind::DayFull);
  EXPECT_EQ(refused.Error().field, IdField::WideForm);
}

TEST_P(RecordStoreTest, OperatorValuesAreTakenWhenFreeAndRefusedNamingTheirHolder) {
  auto store = Open();
  ASSERT_TRUE(store);
  IdentityRequest given = Request("station-1", "BRD-1");
  given.count = 42;
  given.localId = "Z12345678";
  given.login = "Z87654321:demo";
  const Identity first = Take(*store, given);
  EXPECT_EQ(first.serialNumber, "26120942");
  EXPECT_EQ(first.localId, "Z12345678");
  EXPECT_EQ(first.login, "Z87654321:demo");

  const auto expectHeld = [&](IdentityRequest request, IdField field, const std::string& value) {
    Result<Identity> refused = store->TakeIdentity(request);
    ASSERT_FALSE(refused.Ok());
    EXPECT_EQ(refused.Error().kind, ErrorKind::ValueTaken);
    EXPECT_EQ(refused.Error().field, field);
    EXPECT_EQ(refused.Error().value, value);
    EXPECT_EQ(refused.Error().holder.serialNumber, "26120942");
    EXPECT_EQ(refused.Error().holder.label, "BRD-1");
    EXPECT_EQ(refused.Error().holder.station, "station-1");
  };
  IdentityRequest r = Request("station-2", "BRD-2");
  r.count = 142;  // the same serial number
  expectHeld(r, IdField::SerialNumber, "26120942");
  r = Request("station-2", "BRD-2");
  r.localId = "Z12345678";
  expectHeld(r, IdField::LocalId, "Z12345678");
  r = Request("station-2", "BRD-2");
  r.login = "Z87654321:demo";
  expectHeld(r, IdField::Login, "Z87654321:demo");
  // Refusals record nothing and hand out nothing.
  EXPECT_EQ(List(*store).size(), 1u);
  // The line continues after the operator's count.
  EXPECT_EQ(Take(*store, Request()).count, 43);
}

TEST_P(RecordStoreTest, ALabelKeepsItsIdentityUntilItsBoardPasses) {
  auto store = Open();
  ASSERT_TRUE(store);
  const Identity first = Take(*store, Request("station-1", "BRD-9"));
  ASSERT_TRUE(store->FinishBoard(first.boardId, BoardResult{Outcome::Failed, 3, "2026-12-09T10:00:00Z", {}, {}}).Ok());
  const Identity again = Take(*store, Request("station-2", "BRD-9"));
  EXPECT_TRUE(again.reused);
  EXPECT_NE(again.boardId, first.boardId);
  EXPECT_EQ(again.serialNumber, first.serialNumber);
  EXPECT_EQ(again.localId, first.localId);
  EXPECT_EQ(again.login, first.login);
  // Another operator-given serial number for the same board is refused.
  IdentityRequest other = Request("station-2", "BRD-9");
  other.count = 77;
  const Result<Identity> otherSerial = store->TakeIdentity(other);
  EXPECT_EQ(otherSerial.Error().kind, ErrorKind::ValueTaken);
  EXPECT_EQ(otherSerial.Error().holder.serialNumber, first.serialNumber);
  EXPECT_EQ(otherSerial.Error().holder.station, "station-2");  // the board's latest attempt

  ASSERT_TRUE(store->FinishBoard(again.boardId, BoardResult{Outcome::Passed, 0, "2026-12-09T11:00:00Z", {}, {}}).Ok());
  Result<Identity> refused = store->TakeIdentity(Request("station-3", "BRD-9"));
  ASSERT_FALSE(refused.Ok());
  EXPECT_EQ(refused.Error().kind, ErrorKind::LabelPassed);
  EXPECT_EQ(refused.Error().value, "BRD-9");
  EXPECT_EQ(refused.Error().holder.serialNumber, first.serialNumber);
  EXPECT_EQ(refused.Error().holder.station, "station-2");
  EXPECT_EQ(List(*store).size(), 2u);
  // A new label gets a new identity.
  EXPECT_NE(Take(*store, Request("station-3", "BRD-10")).serialNumber, first.serialNumber);
}

// The checks in TakeIdentity can be raced; the schema's constraints cannot.
TEST_P(RecordStoreTest, TheSchemaItselfRefusesARepeatedValue) {
  auto store = Open();
  ASSERT_TRUE(store);
  const Identity held = Take(*store, Request("station-1", "BRD-1"));
  const auto insert = [&](const std::string& serial, const std::string& localId, const std::string& login,
                          const std::string& label) {
    return m_fresh.Exec("INSERT INTO identities (serial_number, serial_form, count, local_id, login, label, created_at) "
                        "VALUES ('" + serial + "', 'narrow', 1, '" + localId + "', '" + login + "', '" + label +
                        "', '2026-12-09T00:00:00Z')");
  };
  EXPECT_NE(insert(held.serialNumber, "Y1", "Y1:x", "other-1"), "");
  EXPECT_NE(insert("x2", held.localId, "Y2:x", "other-2"), "");
  EXPECT_NE(insert("x3", "Y3", held.login, "other-3"), "");
  EXPECT_NE(insert("x4", "Y4", "Y4:x", "BRD-1"), "");
  EXPECT_EQ(insert("x5", "Y5", "Y5:x", "other-5"), "");  // all of them new: taken
  EXPECT_NE(m_fresh.Exec("INSERT INTO boards (identity_id, station, port, operator, label, profile_name, "
                         "profile_sha256, receiver_type, rate, outcome, started_at) VALUES (999999, 's', 'p', 'o', '', "
                         "'', '', '', 0, 'started', '2026-12-09T00:00:00Z')"),
            "")
      << "a board of no identity";
}

TEST_P(RecordStoreTest, AKilledRunsIdentitiesAreNeverHandedOutAgain) {
  std::set<std::string> serials, localIds, logins;
  for (int run = 0; run < 5; ++run) {
    auto store = Open();  // a new process each time, its run killed before FinishBoard
    ASSERT_TRUE(store);
    const Identity id = Take(*store, Request());
    EXPECT_TRUE(serials.insert(id.serialNumber).second);
    EXPECT_TRUE(localIds.insert(id.localId).second);
    EXPECT_TRUE(logins.insert(id.login).second);
  }
  auto store = Open();
  ASSERT_TRUE(store);
  const std::vector<BoardRow> boards = List(*store);
  ASSERT_EQ(boards.size(), 5u);
  for (const BoardRow& b : boards) {
    EXPECT_EQ(b.outcome, "started");
    EXPECT_FALSE(b.exitCode);
    EXPECT_EQ(b.endedAt, "");
  }
}

TEST_P(RecordStoreTest, FinishedBoardShowsEveryItemByAnyKey) {
  auto store = Open();
  ASSERT_TRUE(store);
  IdentityRequest request = Request("station-1", "BRD-5");
  request.startedAt = "2026-12-09T09:00:00Z";
  const Identity id = Take(*store, request);
  BoardResult result{Outcome::Passed, 0, "2026-12-09T09:01:30Z",
                     {{"APN", "internet"}, {"USER", "Z1:demo"}, {"APN", "second"}},
                     {ItemRecord{0, "APN", {'A', 'T', 0x00, 0xff, '\r'}, true, "acknowledged",
                                 "2026-12-09T09:00:10Z", "2026-12-09T09:00:11Z"},
                      ItemRecord{1, "reboot", {}, false, "sent", "2026-12-09T09:00:12Z", "2026-12-09T09:00:12Z"}}};
  ASSERT_TRUE(store->FinishBoard(id.boardId, result).Ok());
  for (const std::string& key : {id.serialNumber, std::string("BRD-5"), id.localId, id.login}) {
    Result<BoardDetail> shown = store->FindBoard(key);
    ASSERT_TRUE(shown.Ok()) << key;
    const BoardDetail& d = shown.Value();
    EXPECT_EQ(d.board.id, id.boardId);
    EXPECT_EQ(d.board.serialNumber, id.serialNumber);
    EXPECT_EQ(d.board.outcome, "passed");
    EXPECT_EQ(d.board.exitCode, 0);
    EXPECT_EQ(d.board.startedAt, "2026-12-09T09:00:00Z");
    EXPECT_EQ(d.board.endedAt, "2026-12-09T09:01:30Z");
    EXPECT_EQ(d.board.profileSha256, request.profileSha256);
    EXPECT_EQ(d.settings, result.settings);
    ASSERT_EQ(d.items.size(), 2u);
    EXPECT_EQ(d.items[0].bytes, result.items[0].bytes);
    EXPECT_TRUE(d.items[0].replyAwaited);
    EXPECT_EQ(d.items[0].outcome, "acknowledged");
    EXPECT_EQ(d.items[1].label, "reboot");
    EXPECT_TRUE(d.items[1].bytes.empty());
    EXPECT_FALSE(d.items[1].replyAwaited);
    EXPECT_EQ(d.items[1].sentAt, "2026-12-09T09:00:12Z");
  }
  std::ostringstream shownJson;
  WriteBoardJson(store->FindBoard(id.login).Value(), shownJson);
  const nlohmann::json board = nlohmann::json::parse(shownJson.str());
  EXPECT_EQ(board.at("serial_number"), id.serialNumber);
  EXPECT_EQ(board.at("settings").at(2).at("value"), "second");
  EXPECT_EQ(board.at("items").at(0).at("bytes_hex"), "415400ff0d");
  EXPECT_EQ(board.at("items").at(1).at("reply_awaited"), false);
  // Finishing again replaces what was written.
  result.outcome = Outcome::Interrupted;
  result.items.pop_back();
  ASSERT_TRUE(store->FinishBoard(id.boardId, result).Ok());
  EXPECT_EQ(store->FindBoard("BRD-5").Value().items.size(), 1u);
  EXPECT_EQ(store->FindBoard("BRD-5").Value().board.outcome, "interrupted");

  EXPECT_EQ(store->FindBoard("nothing-like-it").Error().kind, ErrorKind::NotFound);
  EXPECT_EQ(store->FinishBoard(id.boardId + 1000, result).kind, ErrorKind::NotFound);
}

TEST_P(RecordStoreTest, ListIsNewestFirstWithFilters) {
  auto store = Open();
  ASSERT_TRUE(store);
  const std::array<std::tuple<const char*, const char*, Outcome>, 5> runs{{
      {"2026-12-08T08:00:00Z", "station-1", Outcome::Passed},
      {"2026-12-09T08:00:00Z", "station-2", Outcome::Failed},
      {"2026-12-09T09:00:00Z", "station-1", Outcome::Failed},
      {"2026-12-09T10:00:00Z", "station-2", Outcome::Passed},
      {"2026-12-10T07:00:00Z", "station-1", Outcome::Refused},
  }};
  for (const auto& [at, station, outcome] : runs) {
    IdentityRequest r = Request(station);
    r.startedAt = at;
    const Identity id = Take(*store, r);
    ASSERT_TRUE(store->FinishBoard(id.boardId, BoardResult{outcome, 0, at, {}, {}}).Ok());
  }
  std::vector<BoardRow> all = List(*store);
  ASSERT_EQ(all.size(), 5u);
  EXPECT_EQ(all.front().startedAt, "2026-12-10T07:00:00Z");
  EXPECT_EQ(all.back().startedAt, "2026-12-08T08:00:00Z");
  EXPECT_EQ(List(*store, {"2026-12-09", "", "", 0}).size(), 4u);
  EXPECT_EQ(List(*store, {"2026-12-09T09:00:00Z", "", "", 0}).size(), 3u);
  const std::vector<BoardRow> failedOnOne = List(*store, {"", "station-1", "failed", 0});
  ASSERT_EQ(failedOnOne.size(), 1u);
  EXPECT_EQ(failedOnOne[0].startedAt, "2026-12-09T09:00:00Z");
  const std::vector<BoardRow> two = List(*store, {"", "", "", 2});
  ASSERT_EQ(two.size(), 2u);
  EXPECT_EQ(two[1].startedAt, "2026-12-09T10:00:00Z");
  EXPECT_TRUE(List(*store, {"", "station-9", "", 0}).empty());
}

TEST_P(RecordStoreTest, ExportsReadBackAsWritten) {
  auto store = Open();
  ASSERT_TRUE(store);
  const std::array<std::string, 3> labels{"plain", "comma, \"quoted\"\r\nand lines", "标签-七"};
  std::map<std::string, Identity> byLabel;
  for (const std::string& label : labels) byLabel[label] = Take(*store, Request("station-1", label));
  ASSERT_TRUE(store->FinishBoard(byLabel["plain"].boardId, BoardResult{Outcome::Passed, 0, "", {}, {}}).Ok());

  std::ostringstream csvText;
  Result<std::int64_t> rows = ExportBoards(*store, {}, ExportFormat::Csv, csvText);
  ASSERT_TRUE(rows.Ok());
  EXPECT_EQ(rows.Value(), 3);
  const auto csv = ParseCsv(csvText.str());
  ASSERT_EQ(csv.size(), 4u);
  const std::vector<std::string>& header = csv[0];
  std::map<std::string, std::size_t> column;
  for (std::size_t i = 0; i < header.size(); ++i) column[header[i]] = i;
  for (const char* name : {"serial_number", "local_id", "login", "label", "station", "outcome", "started_at", "ended_at"}) {
    EXPECT_TRUE(column.contains(name)) << name;
  }
  for (std::size_t r = 1; r < csv.size(); ++r) {
    ASSERT_EQ(csv[r].size(), header.size());
    const Identity& id = byLabel.at(csv[r][column["label"]]);
    EXPECT_EQ(csv[r][column["serial_number"]], id.serialNumber);
    EXPECT_EQ(csv[r][column["login"]], id.login);
    EXPECT_EQ(csv[r][column["local_id"]], id.localId);
  }

  std::ostringstream jsonText;
  rows = ExportBoards(*store, {}, ExportFormat::Json, jsonText);
  ASSERT_TRUE(rows.Ok());
  const nlohmann::json json = nlohmann::json::parse(jsonText.str());
  ASSERT_TRUE(json.is_array());
  ASSERT_EQ(json.size(), 3u);
  for (const auto& board : json) {
    const Identity& id = byLabel.at(board.at("label").get<std::string>());
    EXPECT_EQ(board.at("serial_number"), id.serialNumber);
    EXPECT_EQ(board.at("login"), id.login);
    EXPECT_EQ(board.at("station"), "station-1");
    EXPECT_EQ(board.at("outcome"), board.at("label") == "plain" ? "passed" : "started");
    EXPECT_EQ(board.at("ended_at").is_null(), board.at("label") != "plain");
  }
  // An empty selection is still a valid document.
  std::ostringstream none;
  ASSERT_TRUE(ExportBoards(*store, {"", "station-9", "", 0}, ExportFormat::Json, none).Ok());
  EXPECT_EQ(nlohmann::json::parse(none.str()), nlohmann::json::array());

  std::ostringstream loginsText;
  ASSERT_TRUE(ExportLogins(*store, "2000-01-01", loginsText).Ok());
  const auto logins = ParseCsv(loginsText.str());
  ASSERT_EQ(logins.size(), 4u);
  EXPECT_EQ(logins[0][2], "login");
  EXPECT_EQ(logins[1][2], byLabel["plain"].login);  // oldest first
  std::ostringstream later;
  ASSERT_TRUE(ExportLogins(*store, "2999-01-01", later).Ok());
  EXPECT_EQ(ParseCsv(later.str()).size(), 1u);
}

TEST_P(RecordStoreTest, UpgradesAreRecordedListedAndExported) {
  auto store = Open();
  ASSERT_TRUE(store);
  UpgradeRecord u{"station-1", "/dev/ttyS0", "26120901", "MC-55", "R01.02", 2, "img-3.1", 512, 4, "passed", 81234,
                  "2026-12-09T12:00:00Z", "2026-12-09T12:01:21Z"};
  ASSERT_TRUE(store->RecordUpgrade(u).Ok());
  u.boardSerial = "26120902";
  u.outcome = "failed";
  u.startedAt = "2026-12-09T13:00:00Z";
  ASSERT_TRUE(store->RecordUpgrade(u).Ok());
  std::vector<UpgradeRow> rows;
  ASSERT_TRUE(store->ForEachUpgrade({}, [&](const UpgradeRow& r) { rows.push_back(r); }).Ok());
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].upgrade.boardSerial, "26120902");
  EXPECT_EQ(rows[1].upgrade.pages, 512);
  EXPECT_EQ(rows[1].upgrade.pagesResent, 4);
  EXPECT_EQ(rows[1].upgrade.durationMs, 81234);
  rows.clear();
  ASSERT_TRUE(store->ForEachUpgrade({"", "", "passed", 0}, [&](const UpgradeRow& r) { rows.push_back(r); }).Ok());
  ASSERT_EQ(rows.size(), 1u);

  std::ostringstream out;
  ASSERT_TRUE(ExportUpgrades(*store, {}, ExportFormat::Csv, out).Ok());
  const auto csv = ParseCsv(out.str());
  ASSERT_EQ(csv.size(), 3u);
  const std::vector<std::string>& header = csv[0];
  for (const char* name : {"board_serial", "module", "image_version", "outcome"}) {
    EXPECT_NE(std::find(header.begin(), header.end(), name), header.end()) << name;
  }
  std::ostringstream json;
  ASSERT_TRUE(ExportUpgrades(*store, {}, ExportFormat::Json, json).Ok());
  EXPECT_EQ(nlohmann::json::parse(json.str()).at(1).at("module"), "MC-55");

  // An upgrade without its end time ends now.
  u.endedAt.clear();
  u.startedAt = "2026-12-09T14:00:00Z";
  ASSERT_TRUE(store->RecordUpgrade(u).Ok());
  rows.clear();
  ASSERT_TRUE(store->ForEachUpgrade({"", "", "", 1}, [&](const UpgradeRow& r) { rows.push_back(r); }).Ok());
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].upgrade.endedAt.size(), 20u) << rows[0].upgrade.endedAt;
  EXPECT_EQ(rows[0].upgrade.endedAt.back(), 'Z');
}

TEST_P(RecordStoreTest, MigratesAnEmptyStoreAndRefusesANewerOne) {
  {
    auto store = Open();
    ASSERT_TRUE(store);
    Take(*store, Request());
  }
  // Opening again leaves the store at its version, its records intact.
  {
    auto store = Open();
    ASSERT_TRUE(store);
    EXPECT_EQ(List(*store).size(), 1u);
  }
  ASSERT_EQ(m_fresh.Exec("INSERT INTO schema_version (version) VALUES (" + std::to_string(kSchemaVersion + 1) + ")"), "");
  Result<std::unique_ptr<RecordStore>> refused = OpenStore(m_fresh.Url());
  ASSERT_FALSE(refused.Ok());
  EXPECT_EQ(refused.Error().kind, ErrorKind::TooNew);
  EXPECT_EQ(refused.Error().value, std::to_string(kSchemaVersion + 1));
  const std::string text = Describe(refused.Error(), fw::UiLanguage::English);
  EXPECT_NE(text.find("newer program"), std::string::npos) << text;
  // Refusing changed nothing: the newer version is still there.
  EXPECT_FALSE(OpenStore(m_fresh.Url()).Ok());
}

TEST_P(RecordStoreTest, AStoreAtVersionZeroIsMigrated) {
  ASSERT_EQ(m_fresh.Exec("CREATE TABLE schema_version (version BIGINT NOT NULL)"), "");
  auto store = Open();
  ASSERT_TRUE(store);
  EXPECT_TRUE(store->TakeIdentity(Request()).Ok());
}

// Stations that take the same new label at once: one makes its identity,
// the others' unique violation sends them round again to share it.
TEST_P(RecordStoreTest, ConcurrentTakesOfOneNewLabelShareOneIdentity) {
  constexpr int kStations = 4;
  constexpr int kLabels = 15;
  std::vector<std::unique_ptr<RecordStore>> stores;
  for (int i = 0; i < kStations; ++i) {
    stores.push_back(Open());
    ASSERT_TRUE(stores.back());
  }
  std::vector<std::vector<Result<Identity>>> taken(kStations);
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kStations; ++i) {
    threads.emplace_back([&, i] {
      for (int label = 0; label < kLabels; ++label) {
        ready.fetch_add(1);
        while (ready.load() < kStations * (label + 1)) std::this_thread::yield();
        taken[i].push_back(stores[i]->TakeIdentity(Request("station-" + std::to_string(i), "L-" + std::to_string(label))));
      }
    });
  }
  for (std::thread& t : threads) t.join();
  for (int label = 0; label < kLabels; ++label) {
    std::set<std::string> serials;
    int made = 0;
    for (int i = 0; i < kStations; ++i) {
      const Result<Identity>& r = taken[i][label];
      ASSERT_TRUE(r.Ok()) << Describe(r.Error(), fw::UiLanguage::English);
      serials.insert(r.Value().serialNumber);
      made += r.Value().reused ? 0 : 1;
    }
    EXPECT_EQ(serials.size(), 1u) << "label L-" << label;
    EXPECT_EQ(made, 1) << "label L-" << label;
  }
  EXPECT_EQ(List(*stores[0]).size(), static_cast<std::size_t>(kStations * kLabels));
}

TEST_P(RecordStoreTest, AReadOnlyOpeningShowsButNeverWrites) {
  OpenOptions readOnly;
  readOnly.readOnly = true;
  // Nothing is created for a reader.
  Result<std::unique_ptr<RecordStore>> none = OpenStore(m_fresh.Url(), readOnly);
  ASSERT_FALSE(none.Ok());
  EXPECT_EQ(none.Error().kind, GetParam() == Backend::Sqlite ? ErrorKind::Unreachable : ErrorKind::TooOld);
  Identity id;
  {
    auto store = Open();
    ASSERT_TRUE(store);
    id = Take(*store, Request("station-1", "BRD-R"));
  }
  Result<std::unique_ptr<RecordStore>> opened = OpenStore(m_fresh.Url(), readOnly);
  ASSERT_TRUE(opened.Ok()) << Describe(opened.Error(), fw::UiLanguage::English);
  RecordStore& store = *opened.Value();
  EXPECT_EQ(List(store).size(), 1u);
  EXPECT_EQ(store.FindBoard("BRD-R").Value().board.serialNumber, id.serialNumber);
  EXPECT_EQ(store.TakeIdentity(Request()).Error().kind, ErrorKind::ReadOnly);
  EXPECT_EQ(store.FinishBoard(id.boardId, BoardResult{}).kind, ErrorKind::ReadOnly);
  UpgradeRecord u;
  u.startedAt = "2026-12-09T12:00:00Z";
  Result<std::int64_t> upgrade = store.RecordUpgrade(u);
  EXPECT_EQ(upgrade.Error().kind, ErrorKind::ReadOnly) << upgrade.Error().detail;
  auto writer = Open();
  ASSERT_TRUE(writer);
  EXPECT_EQ(List(*writer).size(), 1u);
  EXPECT_EQ(writer->FindBoard("BRD-R").Value().board.outcome, "started");
}

TEST_P(RecordStoreTest, ADateThatDoesNotExistIsRefused) {
  auto store = Open();
  ASSERT_TRUE(store);
  Result<Identity> refused = store->TakeIdentity(Request("station-1", {}, LocalDate{2026, 2, 30}));
  ASSERT_FALSE(refused.Ok());
  EXPECT_EQ(refused.Error().kind, ErrorKind::BadDate);
  EXPECT_NE(Describe(refused.Error(), fw::UiLanguage::English).find("2026-02-30"), std::string::npos);
  EXPECT_TRUE(List(*store).empty());
  EXPECT_EQ(Take(*store, Request()).count, 1);
}

TEST_P(RecordStoreTest, TimesThatAreNotUtcTextAreRefused) {
  auto store = Open();
  ASSERT_TRUE(store);
  IdentityRequest local = Request();
  local.startedAt = "2026-12-09 21:05:00";
  Result<Identity> refused = store->TakeIdentity(local);
  ASSERT_FALSE(refused.Ok());
  EXPECT_EQ(refused.Error().kind, ErrorKind::BadTime);
  EXPECT_EQ(refused.Error().value, "2026-12-09 21:05:00");
  EXPECT_TRUE(List(*store).empty());

  const Identity id = Take(*store, Request());
  BoardResult result{Outcome::Passed, 0, "2026-12-09T21:06:00Z", {}, {ItemRecord{0, "APN", {}, true, "acknowledged",
                                                                                  "2026-12-09T25:00:00Z", ""}}};
  EXPECT_EQ(store->FinishBoard(id.boardId, result).kind, ErrorKind::BadTime);
  EXPECT_EQ(store->FindBoard(id.serialNumber).Value().board.outcome, "started");  // nothing written
  result.items[0].sentAt.clear();  // an item never sent
  EXPECT_TRUE(store->FinishBoard(id.boardId, result).Ok());

  UpgradeRecord u;
  EXPECT_EQ(store->RecordUpgrade(u).Error().kind, ErrorKind::BadTime);  // an upgrade has a start
  u.startedAt = "2026-12-09T21:00:00Z";
  u.endedAt = "2026-12-09T21:00:00+01:00";
  EXPECT_EQ(store->RecordUpgrade(u).Error().kind, ErrorKind::BadTime);
  u.endedAt = "2026-12-09T21:01:00Z";
  EXPECT_TRUE(store->RecordUpgrade(u).Ok());
}

INSTANTIATE_TEST_SUITE_P(Backends, RecordStoreTest, ::testing::Values(Backend::Sqlite, Backend::Postgres),
                         [](const ::testing::TestParamInfo<Backend>& param) {
                           return param.param == Backend::Sqlite ? "Sqlite" : "Postgres";
                         });

}  // namespace
}  // namespace records

namespace records {
namespace {

// A station's slots open a new store file at the same moment: every one of
// them gets it, none is told it is locked.
TEST(SqliteStoreOpen, SlotsOpeningANewFileAtOnceAllGetIt) {
  testing_support::TempDir dir;
  constexpr int kSlots = 6;
  for (int round = 0; round < 20; ++round) {
    const std::string path = dir.File("round" + std::to_string(round) + ".sqlite3");
    std::array<std::string, kSlots> faults;
    std::vector<std::thread> slots;
    std::atomic<int> ready{0};
    for (int i = 0; i < kSlots; ++i) {
      slots.emplace_back([&, i] {
        ++ready;
        while (ready.load() < kSlots) std::this_thread::yield();
        Result<std::unique_ptr<RecordStore>> opened = OpenStore(path);
        if (!opened.Ok()) faults[static_cast<std::size_t>(i)] = Describe(opened.Error(), fw::UiLanguage::English);
      });
    }
    for (std::thread& t : slots) t.join();
    for (const std::string& fault : faults) EXPECT_EQ(fault, "") << "round " << round;
  }
}

TEST(PostgresStoreAuth, AWrongPasswordIsRefusedNamedWithoutIt) {
  const std::string server = records_testing::PostgresServerUrl();
  ASSERT_FALSE(server.empty()) << "no PostgreSQL server: fixture records_pg";
  const std::size_t colon = server.find(':', std::string("postgresql://").size());
  const std::size_t at = server.find('@');
  ASSERT_NE(at, std::string::npos);
  const std::string wrong = server.substr(0, colon + 1) + "not-the-password" + server.substr(at);
  Result<std::unique_ptr<RecordStore>> opened = OpenStore(wrong);
  ASSERT_FALSE(opened.Ok());
  EXPECT_EQ(opened.Error().kind, ErrorKind::Refused) << opened.Error().detail;
  const std::string text = Describe(opened.Error(), fw::UiLanguage::English);
  EXPECT_EQ(text.find("not-the-password"), std::string::npos) << text;
  EXPECT_NE(text.find("postgresql://brevan@127.0.0.1:"), std::string::npos) << text;
}

}  // namespace
}  // namespace records
