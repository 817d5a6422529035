// A production line: four torvik processes, each against its own
// receiver-sim, three boards each, on one store (an SQLite file, and the
// PostgreSQL server): every identity distinct, and the store's records are
// what the simulators say each board got. A torvik killed mid-Set leaves a
// `started` board whose identity the next run does not get.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "records/open_store.h"
#include "support/posix/pty_testkit.h"
#include "support/temp_dir.h"
#include "torvik_process.h"
#include "support/heard_identities.h"

using nlohmann::json;
using serial::posix::testkit::CChildProcess;

namespace {

using records_testing::ReadText;
using records_testing::Torvik;

using testing_support::HeardIdentities;
using testing_support::HeardIdentity;

constexpr int kStations = 4;
constexpr int kBoards = 3;

class TorvikLine : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::WriteFile(dir.File("gprscdmaset.ini"), "X7,115200,LOW,HIGH,\n");
    ::setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
  }
  std::unique_ptr<CChildProcess> StartSim(const std::string& name) {
    auto sim = std::make_unique<CChildProcess>(std::vector<std::string>{
        RECEIVER_SIM_PATH, "--link", dir.File(name), "--receiver-rate", "115200", "--report", dir.File(name + ".json")});
    EXPECT_TRUE(sim->Ok());
    EXPECT_FALSE(sim->ReadLine(10000).empty()) << "receiver-sim did not come up";
    return sim;
  }
  json StopSim(std::unique_ptr<CChildProcess>& sim, const std::string& name) {
    sim->Stop();
    sim.reset();
    return json::parse(ReadText(dir.File(name + ".json")), nullptr, false);
  }
  std::vector<std::string> Args(const std::string& db, const std::string& name, int boards, std::string port = {}) {
    if (port.empty()) port = name;
    return {"--port", dir.File(port), "--type", "X7", "--mode", "heron", "--db", db, "--station", name,
            "--boards", std::to_string(boards), "--progress", "none"};
  }
  // The store's boards of a station, oldest first.
  std::vector<records::BoardRow> Boards(const std::string& db, const std::string& station) {
    records::OpenOptions options;
    options.readOnly = true;
    auto store = records::OpenStore(db, options);
    EXPECT_TRUE(store.Ok()) << store.Error().detail;
    std::vector<records::BoardRow> rows;
    if (!store.Ok()) return rows;
    records::RecordFilter filter;
    filter.station = station;
    EXPECT_TRUE(store.Value()
                    ->ForEachBoard(filter, [&](const records::BoardRow& row) { rows.insert(rows.begin(), row); })
                    .Ok());
    return rows;
  }

  void RunLine(const std::string& db) {
    std::vector<std::unique_ptr<CChildProcess>> sims;
    for (int s = 0; s < kStations; ++s) sims.push_back(StartSim("st" + std::to_string(s) + tag));
    std::vector<std::unique_ptr<Torvik>> stations;
    for (int s = 0; s < kStations; ++s) {
      const std::string name = "st" + std::to_string(s) + tag;
      stations.push_back(std::make_unique<Torvik>(Args(db, name, kBoards), dir.Path().string(), dir.File(name + ".log")));
    }
    for (int s = 0; s < kStations; ++s) {
      const std::string name = "st" + std::to_string(s) + tag;
      EXPECT_EQ(stations[static_cast<std::size_t>(s)]->Wait(std::chrono::seconds(180)), 0) << ReadText(dir.File(name + ".log"));
    }
    std::set<std::string> serials, ids, logins;
    for (int s = 0; s < kStations; ++s) {
      const std::string name = "st" + std::to_string(s) + tag;
      SCOPED_TRACE(name);
      const std::vector<HeardIdentity> heard = HeardIdentities(StopSim(sims[static_cast<std::size_t>(s)], name));
      const std::vector<records::BoardRow> rows = Boards(db, name);
      ASSERT_EQ(rows.size(), static_cast<std::size_t>(kBoards));
      ASSERT_EQ(heard.size(), static_cast<std::size_t>(kBoards));
      for (std::size_t b = 0; b < rows.size(); ++b) {
        EXPECT_EQ(heard[b], (HeardIdentity{rows[b].serialNumber, rows[b].localId, rows[b].login})) << "board " << b + 1;
        EXPECT_EQ(rows[b].outcome, "passed");
        serials.insert(rows[b].serialNumber);
        ids.insert(rows[b].localId);
        logins.insert(rows[b].login);
      }
    }
    const std::size_t all = kStations * kBoards;
    EXPECT_EQ(serials.size(), all);
    EXPECT_EQ(ids.size(), all);
    EXPECT_EQ(logins.size(), all);
  }

  // A torvik killed while its board is being set: the board stays `started`,
  // and the next run gets another identity.
  void KillMidSet(const std::string& db) {
    auto sim = StartSim("killed");
    {
      Torvik victim(Args(db, "killed", 1), dir.Path().string(), dir.File("killed.log"));
      const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
      // Mid-Set: the board is taken and its commands are going out.
      while (std::chrono::steady_clock::now() < end && ReadText(dir.File("killed.json")).find("KAVEL,") == std::string::npos)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      victim.Kill();
      EXPECT_NE(victim.Wait(std::chrono::seconds(10)), 0);
    }
    const std::vector<records::BoardRow> killed = Boards(db, "killed");
    ASSERT_EQ(killed.size(), 1u) << ReadText(dir.File("killed.log"));
    EXPECT_EQ(killed[0].outcome, "started");
    // The station's next run, on a receiver of its own (the killed run's
    // simulator saw its port hang up).
    StopSim(sim, "killed");
    auto second = StartSim("next");
    Torvik next(Args(db, "killed", 1, "next"), dir.Path().string(), dir.File("next.log"));
    EXPECT_EQ(next.Wait(std::chrono::seconds(60)), 0) << ReadText(dir.File("next.log"));
    const std::vector<HeardIdentity> heard = HeardIdentities(StopSim(second, "next"));
    const std::vector<records::BoardRow> after = Boards(db, "killed");
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[0].outcome, "started");
    EXPECT_EQ(after[1].outcome, "passed");
    EXPECT_NE(after[1].serialNumber, killed[0].serialNumber);
    EXPECT_NE(after[1].localId, killed[0].localId);
    EXPECT_NE(after[1].login, killed[0].login);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0], (HeardIdentity{after[1].serialNumber, after[1].localId, after[1].login}));
  }

  testing_support::TempDir dir;
  // Station names of this run alone, in a server that other runs used.
  std::string tag = "-" + std::to_string(::getpid());
};

TEST_F(TorvikLine, FourStationsOnOneSqliteFile) {
  const std::string db = dir.File("line.sqlite3");
  RunLine(db);
  KillMidSet(db);
}

TEST_F(TorvikLine, FourStationsOnPostgres) {
  const std::string url = ReadText(std::string(RECORDS_PG_DIR) + "/url");
  ASSERT_FALSE(url.empty()) << "no PostgreSQL server (the records_pg fixture)";
  const std::string db = url.substr(0, url.find_first_of("\r\n"));
  RunLine(db);
  KillMidSet(db);
}

}  // namespace
