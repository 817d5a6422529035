// brevan's record of each upgrade, from real runs against receiver-sim: the
// record says what the simulator saw and the loader reported, on both stores;
// a store that cannot be opened stops the run before anything is sent, and a
// record that cannot be written ends it with the store's code.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "framework/platform_paths.h"
#include "records/open_store.h"
#include "store_backend.h"
#include "support/json_lines.h"
#include "support/posix/pty_testkit.h"
#include "support/temp_dir.h"
#include "updater/app/brevan_terminal.h"

using records_testing::Backend;
using records_testing::FreshStore;
using serial::posix::testkit::CChildProcess;

namespace {

class BrevanRecords : public ::testing::Test {
 protected:
  // The default store goes under the test's own directory, never the real home.
  void SetUp() override {
    ::setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1);  // the programs started here remember their port
  }
  void Start(std::vector<std::string> options) {
    std::vector<std::string> argv = {RECEIVER_SIM_PATH, "--link", link, "--wire-timing", "--flash-out", flash,
                                     "--report", report};
    argv.insert(argv.end(), options.begin(), options.end());
    sim = std::make_unique<CChildProcess>(argv);
    ASSERT_TRUE(sim->Ok());
    ASSERT_FALSE(sim->ReadLine(10000).empty()) << "receiver-sim did not come up";
  }
  int Upgrade(const std::string& db, std::vector<std::string> args = {}) {
    brevan::TerminalRun run{fw::UiLanguage::English, BREVAN_SHIPPED_PATH, fw::CProfile::AtFile(dir.File("b.INI")),
                            false, false};
    std::vector<std::string> all = {"--port", link, "--baud", "9600", "--json", "--progress", "none"};
    if (!db.empty()) all.insert(all.end(), {"--db", db});
    all.insert(all.end(), args.begin(), args.end());
    const int code = brevan::RunBrevanTerminal(all, run, out, err);
    events = testing_support::ParseJsonLines(out.str());
    return code;
  }
  nlohmann::json Result() {
    const auto named = testing_support::EventsNamed(events, "result");
    EXPECT_EQ(named.size(), 1u) << out.str();
    return named.empty() ? nlohmann::json::object() : named.back();
  }
  // The simulator's report once it has stopped.
  nlohmann::json SimReport() {
    // Its first report is written once its stop signals are handled: a stop before that would lose the last one.
    for (int i = 0; i < 500 && !std::filesystem::exists(report); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    sim.reset();
    std::ifstream in(report);
    return nlohmann::json::parse(in, nullptr, false);
  }
  // The page frames the loader heard again, each with the one before it: what a failed count was made of.
  static std::string Repeats(const nlohmann::json& seen) {
    std::ostringstream text;
    const nlohmann::json& pages = seen["pages"];
    for (std::size_t i = 1; i < pages.size(); ++i) {
      if (pages[i]["address"] != pages[i - 1]["address"]) continue;
      text << "\npage " << pages[i]["address"] << " again at " << pages[i]["atUs"] << " us; before at "
           << pages[i - 1]["atUs"] << " us, acknowledged " << pages[i - 1]["acknowledged"] << ", lost "
           << pages[i - 1]["lost"];
    }
    return text.str();
  }
  static std::vector<records::UpgradeRow> Upgrades(const std::string& db) {
    records::OpenOptions readOnly;
    readOnly.readOnly = true;
    auto opened = records::OpenStore(db, readOnly);
    EXPECT_TRUE(opened.Ok()) << opened.Error().detail;
    std::vector<records::UpgradeRow> rows;
    if (!opened.Ok()) return rows;
    const records::StoreError e =
        opened.Value()->ForEachUpgrade({}, [&rows](const records::UpgradeRow& row) { rows.push_back(row); });
    EXPECT_TRUE(e.Ok()) << e.detail;
    return rows;
  }

  testing_support::TempDir dir;
  std::string link = dir.File("receiver");
  std::string flash = dir.File("flash.bin");
  std::string report = dir.File("report.json");
  std::unique_ptr<CChildProcess> sim;
  std::ostringstream out, err;
  std::vector<nlohmann::json> events;
};

class BrevanRecordsOn : public BrevanRecords, public ::testing::WithParamInterface<Backend> {};

// One upgrade with a lost acknowledgement: the record against the loader's
// replies, the simulator's count of pages and the result line.
TEST_P(BrevanRecordsOn, TheUpgradesRecordIsWhatTheBoardSaidAndTheSimulatorSaw) {
  FreshStore store(GetParam());
  Start({"--module", "EM310.00", "--serial", "SN4711", "--software-version", "591021", "--drop-ack", "3"});
  ASSERT_EQ(Upgrade(store.Url(), {"--station", "bench 7"}), brevan::kExitUpgraded) << err.str();
  const nlohmann::json result = Result();
  const nlohmann::json seen = SimReport();
  ASSERT_FALSE(seen.is_discarded());
  const std::vector<records::UpgradeRow> rows = Upgrades(store.Url());
  ASSERT_EQ(rows.size(), 1u);
  const records::UpgradeRecord& r = rows.front().upgrade;
  EXPECT_EQ(r.station, "bench 7");
  EXPECT_EQ(r.port, link);
  EXPECT_EQ(r.boardSerial, "SN4711");
  EXPECT_EQ(r.module, "EM310.00");
  EXPECT_EQ(r.softwareVersion, "591021");
  EXPECT_EQ(r.slot, 2);
  EXPECT_EQ(r.imageVersion, result["image_version"].get<std::string>());
  EXPECT_FALSE(r.imageVersion.empty());
  // Each distinct page written once, plus each sending after a page's first.
  // A sending the loader dropped because brevan stalled within it (a loaded
  // machine) was sent all the same: the loader counts it as cut. So may be a
  // page whose own acknowledgement was cleared with the tick it came in (the
  // run counts those cleared).
  const std::int64_t distinct = static_cast<std::int64_t>(seen["pageWrites"].size());
  const std::int64_t cut = seen["pagesCut"].get<std::int64_t>();
  EXPECT_EQ(r.pages, distinct);
  EXPECT_EQ(r.pages, result["pages"].get<std::int64_t>());
  EXPECT_EQ(r.pagesResent, seen["pagesReceived"].get<std::int64_t>() + cut - distinct);
  EXPECT_GE(r.pagesResent, 1 + cut);
  EXPECT_LE(r.pagesResent, 1 + cut + result["acks_lost_in_tick"].get<std::int64_t>()) << Repeats(seen);
  EXPECT_EQ(r.outcome, "upgraded");
  EXPECT_GT(r.durationMs, 0);
  EXPECT_GE(r.durationMs, result["page_ms"].get<std::int64_t>());
  EXPECT_EQ(r.startedAt.size(), 20u) << r.startedAt;
  EXPECT_LE(r.startedAt, r.endedAt);
}

INSTANTIATE_TEST_SUITE_P(Stores, BrevanRecordsOn, ::testing::Values(Backend::Sqlite, Backend::Postgres),
                         [](const ::testing::TestParamInfo<Backend>& p) { return p.param == Backend::Sqlite ? "Sqlite" : "Postgres"; });

TEST_F(BrevanRecords, ASilentReceiverIsRecordedAsTimedOutUnderTheDefaultStation) {
  FreshStore store(Backend::Sqlite);
  Start({"--silent"});
  ASSERT_EQ(Upgrade(store.Url()), brevan::kExitTimedOut) << err.str();
  EXPECT_EQ(Result()["outcome"], "timed-out");
  const std::vector<records::UpgradeRow> rows = Upgrades(store.Url());
  ASSERT_EQ(rows.size(), 1u);
  const records::UpgradeRecord& r = rows.front().upgrade;
  EXPECT_EQ(r.outcome, "timed-out");
  EXPECT_EQ(r.boardSerial, "");
  EXPECT_EQ(r.pages, 0);
  EXPECT_EQ(r.station, fw::HostName() + ":" + link);
  EXPECT_GE(r.durationMs, 15000) << "the probing's countdown ran out";
}

TEST_F(BrevanRecords, AStoreThatCannotBeOpenedEndsInSixBeforeAnythingIsSent) {
  testing_support::WriteFile(dir.File("plain"), std::string("not a directory"));
  Start({"--module", "EM310.00", "--serial", "SN4711"});
  EXPECT_EQ(Upgrade(dir.File("plain") + "/records.sqlite3"), 6) << err.str();
  EXPECT_EQ(Result()["outcome"], "store");
  EXPECT_NE(err.str().find(dir.File("plain")), std::string::npos) << "the message names the store: " << err.str();
  const nlohmann::json seen = SimReport();
  ASSERT_FALSE(seen.is_discarded());
  EXPECT_EQ(seen["bytesFromPc"], 0);
  EXPECT_EQ(seen["upgradeStarted"], false);
}

TEST_F(BrevanRecords, ARecordTheStoreRefusesEndsInSixNamingTheBoard) {
  FreshStore store(Backend::Sqlite);
  { auto made = records::OpenStore(store.Url()); ASSERT_TRUE(made.Ok()); }
  ASSERT_EQ(store.Exec("CREATE TRIGGER refuse BEFORE INSERT ON upgrades BEGIN SELECT RAISE(ABORT, 'disk on fire'); END"),
            "");
  Start({"--module", "EM310.00", "--serial", "SN4711"});
  EXPECT_EQ(Upgrade(store.Url()), 6) << err.str();
  EXPECT_EQ(Result()["outcome"], "store");
  EXPECT_NE(err.str().find("The upgrade of board SN4711"), std::string::npos) << err.str();
  EXPECT_NE(err.str().find("disk on fire"), std::string::npos) << err.str();
  EXPECT_EQ(SimReport()["upgradeStarted"], true) << "the board was upgraded before its record failed";
}

// A run ended by SIGTERM mid-upgrade is still recorded, with the loader's facts.
TEST_F(BrevanRecords, AnUpgradeStoppedBySigtermIsRecordedAsCancelled) {
  FreshStore store(Backend::Sqlite);
  Start({"--module", "EM310.00", "--serial", "SN4713"});
  CChildProcess brevan({BREVAN_SHIPPED_PATH, "--port", link, "--baud", "9600", "--json", "--progress", "plain",
                        "--db", store.Url(), "--station", "bench 9"});
  ASSERT_TRUE(brevan.Ok());
  bool writing = false;
  for (std::string line; !writing && !(line = brevan.ReadLine(30000)).empty();) {
    const nlohmann::json event = nlohmann::json::parse(line, nullptr, false);
    writing = !event.is_discarded() && event.value("event", "") == "progress" && event.value("done", 0) >= 3;
  }
  ASSERT_TRUE(writing) << "the upgrade never reached its third page";
  brevan.Stop();
  const std::vector<records::UpgradeRow> rows = Upgrades(store.Url());
  ASSERT_EQ(rows.size(), 1u);
  const records::UpgradeRecord& r = rows.front().upgrade;
  EXPECT_EQ(r.outcome, "cancelled");
  EXPECT_EQ(r.boardSerial, "SN4713");
  EXPECT_EQ(r.module, "EM310.00");
  EXPECT_EQ(r.station, "bench 9");
  EXPECT_GT(r.pages, 3);
  EXPECT_GT(r.durationMs, 0);
}

TEST_F(BrevanRecords, WithoutDbTheDefaultFileKeepsTheRecordAndNoneKeepsNone) {
  const std::string defaultFile = dir.File("data") + "/brevan-torvik/records.sqlite3";
  Start({"--module", "EM310.00", "--serial", "SN4711"});
  ASSERT_EQ(Upgrade("none"), brevan::kExitUpgraded) << err.str();
  EXPECT_FALSE(std::filesystem::exists(defaultFile));
  sim.reset();
  Start({"--module", "EM310.00", "--serial", "SN4712"});
  ASSERT_EQ(Upgrade(""), brevan::kExitUpgraded) << err.str();
  const std::vector<records::UpgradeRow> rows = Upgrades(defaultFile);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows.front().upgrade.boardSerial, "SN4712");
}

}  // namespace
