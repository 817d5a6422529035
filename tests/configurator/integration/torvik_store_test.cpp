// The terminal configurator with its record store, against receiver-sim over
// a pty in real time: identities taken from the store and typed into the
// window reach the board, the store's records are what the board got, and a
// refusal or a store that cannot be opened sends nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <set>
#include <sstream>

#include "configurator/app/torvik_terminal.h"
#include "records/open_store.h"
#include "support/json_lines.h"
#include "support/posix/pty_testkit.h"
#include "support/temp_dir.h"
#include "support/heard_identities.h"

using nlohmann::json;
using serial::posix::testkit::CChildProcess;

namespace {

using testing_support::HeardIdentities;
using testing_support::HeardIdentity;

records::LocalDate Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

class TorvikStore : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::WriteFile(dir.File("gprscdmaset.ini"), "X7,115200,LOW,HIGH,\n");
    m_oldDir = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    ::setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
  }
  void TearDown() override { std::filesystem::current_path(m_oldDir); }

  void Start() {
    sim = std::make_unique<CChildProcess>(std::vector<std::string>{RECEIVER_SIM_PATH, "--link", link, "--receiver-rate",
                                                                   "115200", "--report", simReport});
    ASSERT_TRUE(sim->Ok());
    ASSERT_FALSE(sim->ReadLine(10000).empty()) << "receiver-sim did not come up";
  }
  int Set(std::vector<std::string> args, std::istream* in = nullptr) {
    std::vector<std::string> all = {"--port", link, "--type", "X7", "--json", "--progress", "none",
                                    "--station", "line-1", "--operator", "ana"};
    all.insert(all.end(), args.begin(), args.end());
    out.str("");
    err.str("");
    torvik::TorvikTerminalRun run;
    run.in = in;
    const int code = torvik::RunTorvikTerminal(all, run, out, err);
    events = testing_support::ParseJsonLines(out.str());
    testing_support::ExpectHumanTellsTheSame(events, err.str());
    return code;
  }
  json SimReport() {
    sim->Stop();
    const std::vector<std::uint8_t> bytes = testing_support::ReadFile(simReport);
    return json::parse(bytes.begin(), bytes.end());
  }
  std::unique_ptr<records::RecordStore> OpenStore(bool readOnly = true) {
    records::OpenOptions options;
    options.readOnly = readOnly;
    auto opened = records::OpenStore(db, options);
    EXPECT_TRUE(opened.Ok()) << opened.Error().detail;
    return opened.Ok() ? std::move(opened.Value()) : nullptr;
  }
  // The store's boards, oldest first.
  std::vector<records::BoardRow> Boards(records::RecordStore& store) {
    std::vector<records::BoardRow> rows;
    EXPECT_TRUE(store.ForEachBoard({}, [&](const records::BoardRow& row) { rows.insert(rows.begin(), row); }).Ok());
    return rows;
  }
  // Nothing of a Set reached the receiver: no setting, no rate broadcast.
  void ExpectNothingSent() {
    const json r = SimReport();
    for (const json& c : r["commands"]) EXPECT_NE(c["kind"], "setting") << c["text"];
    EXPECT_EQ(r["receiverRates"].size(), 1u);
  }

  testing_support::TempDir dir;
  std::string link = dir.File("receiver");
  std::string simReport = dir.File("sim.json");
  std::string db = dir.File("records.sqlite3");
  std::unique_ptr<CChildProcess> sim;
  std::ostringstream out, err;
  std::vector<json> events;

 private:
  std::filesystem::path m_oldDir;
};

TEST_F(TorvikStore, ThreeBoardsGetThreeIdentitiesAndTheStoreHoldsWhatEachBoardGot) {
  Start();
  const std::string boards = dir.File("boards.jsonl");
  ASSERT_EQ(Set({"--db", db, "--boards", "3", "--mode", "heron", "--report", boards}), torvik::kExitAcknowledged)
      << err.str();
  std::vector<json> reportLines;
  {
    const std::vector<std::uint8_t> bytes = testing_support::ReadFile(boards);
    std::istringstream lines(std::string(bytes.begin(), bytes.end()));
    for (std::string line; std::getline(lines, line);) reportLines.push_back(json::parse(line));
  }
  ASSERT_EQ(reportLines.size(), 3u);
  const std::vector<json> named = testing_support::EventsNamed(events, "store");
  ASSERT_EQ(named.size(), 1u) << "the store is named once, at the start";
  EXPECT_EQ(named[0]["name"], db);

  const std::vector<HeardIdentity> heard = HeardIdentities(SimReport());
  auto store = OpenStore();
  ASSERT_NE(store, nullptr);
  const std::vector<records::BoardRow> rows = Boards(*store);
  ASSERT_EQ(rows.size(), 3u);
  ASSERT_EQ(heard.size(), 3u);
  const std::vector<json> results = testing_support::EventsNamed(events, "result");
  ASSERT_EQ(results.size(), 3u);
  std::set<std::string> serials, ids, logins;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE("board " + std::to_string(i + 1));
    const records::BoardRow& row = rows[i];
    EXPECT_EQ(heard[i], (HeardIdentity{row.serialNumber, row.localId, row.login}));
    EXPECT_EQ(results[i]["serial_no"], row.serialNumber);
    EXPECT_EQ(results[i]["local_id"], row.localId);
    EXPECT_EQ(results[i]["user_pass"], row.login);
    EXPECT_EQ(row.outcome, "passed");
    EXPECT_EQ(row.exitCode, 0);
    EXPECT_EQ(row.station, "line-1");
    EXPECT_EQ(row.operatorName, "ana");
    EXPECT_EQ(row.receiverType, "X7");
    EXPECT_EQ(row.rate, 115200);
    EXPECT_EQ(row.serialNumber.size(), 8u);
    serials.insert(row.serialNumber);
    ids.insert(row.localId);
    logins.insert(row.login);

    // Every command of the board, as the simulator got it, with its outcome and times.
    records::Result<records::BoardDetail> detail = store->FindBoard(row.serialNumber);
    ASSERT_TRUE(detail.Ok());
    const std::vector<records::ItemRecord>& items = detail.Value().items;
    // The same items as the board's --report line.
    const json& reported = reportLines[i]["items"];
    ASSERT_EQ(items.size(), reported.size());
    int acknowledged = 0;
    for (std::size_t k = 0; k < items.size(); ++k) {
      const records::ItemRecord& item = items[k];
      EXPECT_EQ(item.label, reported[k]["label"]);
      EXPECT_EQ(item.replyAwaited, reported[k]["replyAwaited"]);
      EXPECT_EQ(item.outcome, reported[k]["outcome"]);
      const std::string bytes(item.bytes.begin(), item.bytes.end());
      if (bytes.starts_with("KAVEL,SERIAL,")) {
        EXPECT_EQ(bytes, "KAVEL,SERIAL," + row.serialNumber + "\r\n");
      }
      if (bytes.starts_with("KAVEL,USER,")) {
        EXPECT_EQ(bytes, "KAVEL,USER," + row.login + ",\r\n");
      }
      if (item.replyAwaited) {
        EXPECT_EQ(item.outcome, "acknowledged") << bytes;
        ++acknowledged;
      }
      EXPECT_FALSE(item.sentAt.empty());
      EXPECT_GE(item.endedAt.empty() ? item.sentAt : item.endedAt, item.sentAt);
    }
    EXPECT_EQ(acknowledged, results[i]["acknowledged"]);
    const auto& settings = detail.Value().settings;
    EXPECT_NE(std::find(settings.begin(), settings.end(), std::pair<std::string, std::string>{"mode", "heron"}),
              settings.end());
    EXPECT_NE(std::find(settings.begin(), settings.end(),
                        std::pair<std::string, std::string>{"serial-number", row.serialNumber}),
              settings.end());
  }
  EXPECT_EQ(serials.size(), 3u);
  EXPECT_EQ(ids.size(), 3u);
  EXPECT_EQ(logins.size(), 3u);
}

// A value the operator gives that a board of the store has: refused before
// anything is sent, naming that board; so is a day whose serial numbers are used up.
TEST_F(TorvikStore, AValueTheStoreHoldsOrAFullDayIsRefusedAndNothingIsSent) {
  auto store = OpenStore(false);
  ASSERT_NE(store, nullptr);
  records::IdentityRequest earlier;
  earlier.station = "line-9";
  earlier.date = Today();
  earlier.localId = "Z00000042";
  records::Result<records::Identity> held = store->TakeIdentity(earlier);
  ASSERT_TRUE(held.Ok());
  Start();
  EXPECT_EQ(Set({"--db", db, "--local-id", "Z00000042"}), torvik::kExitRefused) << err.str();
  EXPECT_NE(err.str().find("Z00000042"), std::string::npos) << err.str();
  EXPECT_NE(err.str().find(held.Value().serialNumber), std::string::npos) << "names the board that has it";
  EXPECT_NE(err.str().find("line-9"), std::string::npos);
  EXPECT_EQ(testing_support::EventsNamed(events, "result").back()["outcome"], "refused");

  // The rest of today's hundred narrow serial numbers.
  for (int i = 0; i < 99; ++i) {
    records::IdentityRequest more;
    more.date = Today();
    ASSERT_TRUE(store->TakeIdentity(more).Ok()) << i;
  }
  EXPECT_EQ(Set({"--db", db}), torvik::kExitRefused) << err.str();
  EXPECT_NE(err.str().find("--serial-form wide"), std::string::npos) << err.str();
  EXPECT_EQ(testing_support::EventsNamed(events, "diagnosis").back()["kind"], "day-full");
  ExpectNothingSent();
  EXPECT_EQ(Boards(*store).size(), 100u) << "the refused runs took no identity";
}

// --scan: a label whose board failed is set again with the same identity;
// once it has passed, the label is refused naming its board.
TEST_F(TorvikStore, AScannedLabelKeepsItsIdentityUntilItsBoardPasses) {
  auto store = OpenStore(false);
  ASSERT_NE(store, nullptr);
  records::IdentityRequest earlier;
  earlier.station = "line-2";
  earlier.date = Today();
  earlier.label = "SN-0007";
  records::Result<records::Identity> first = store->TakeIdentity(earlier);
  ASSERT_TRUE(first.Ok());
  records::BoardResult failed;
  failed.outcome = records::Outcome::Failed;
  failed.exitCode = 3;
  ASSERT_TRUE(store->FinishBoard(first.Value().boardId, failed).Ok());

  Start();
  std::istringstream scanner("SN-0007\n");
  ASSERT_EQ(Set({"--db", db, "--scan"}, &scanner), torvik::kExitAcknowledged) << err.str();
  const json result = testing_support::EventsNamed(events, "result").back();
  EXPECT_EQ(result["serial_no"], first.Value().serialNumber);
  EXPECT_EQ(result["local_id"], first.Value().localId);
  EXPECT_EQ(result["user_pass"], first.Value().login);

  std::istringstream again("SN-0007\n");
  EXPECT_EQ(Set({"--db", db, "--scan"}, &again), torvik::kExitRefused) << err.str();
  EXPECT_NE(err.str().find("SN-0007"), std::string::npos) << err.str();
  EXPECT_NE(err.str().find(first.Value().serialNumber), std::string::npos) << err.str();
  EXPECT_EQ(testing_support::EventsNamed(events, "diagnosis").back()["kind"], "label-passed");

  const std::vector<HeardIdentity> heard = HeardIdentities(SimReport());
  ASSERT_EQ(heard.size(), 1u) << "the refused run sent nothing";
  EXPECT_EQ(heard[0].serial, first.Value().serialNumber);
  const std::vector<records::BoardRow> rows = Boards(*store);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].outcome, "passed");
  EXPECT_EQ(rows[1].label, "SN-0007");
  EXPECT_EQ(rows[1].station, "line-1");
}

// A store that cannot be opened ends the run with 6 before the port is touched.
TEST_F(TorvikStore, AStoreThatCannotBeOpenedEndsWith6AndNothingIsSent) {
  Start();
  EXPECT_EQ(Set({"--db", "postgresql://brevan@127.0.0.1:1/records"}), fe::kExitStore);
  EXPECT_NE(err.str().find("postgresql://brevan@127.0.0.1:1/records"), std::string::npos) << err.str();
  EXPECT_EQ(testing_support::EventsNamed(events, "result").back()["outcome"], "store");

  std::vector<std::uint8_t> noise(8192);
  for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<std::uint8_t>(i * 131 + 7);
  testing_support::WriteFile(db, noise);
  EXPECT_EQ(Set({"--db", db}), fe::kExitStore);
  EXPECT_NE(err.str().find(db), std::string::npos) << err.str();
  EXPECT_NE(err.str().find("damaged"), std::string::npos) << err.str();
  ExpectNothingSent();
}

// The wide form: the date and a four-digit count, ten characters, on the board.
TEST_F(TorvikStore, TheWideFormGivesTheBoardATenCharacterSerialNumber) {
  Start();
  ASSERT_EQ(Set({"--db", db, "--serial-form", "wide", "--count", "4321"}), torvik::kExitAcknowledged) << err.str();
  const json r = SimReport();
  const std::string serial = r["serialNumber"];
  EXPECT_EQ(serial.size(), 10u);
  EXPECT_TRUE(serial.ends_with("4321")) << serial;
  auto store = OpenStore();
  ASSERT_NE(store, nullptr);
  const std::vector<records::BoardRow> rows = Boards(*store);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].serialNumber, serial);
  EXPECT_EQ(testing_support::EventsNamed(events, "result").back()["serial_no"], serial);
}

}  // namespace
