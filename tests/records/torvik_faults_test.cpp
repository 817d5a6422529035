// torvik as a line runs it, with its store failing under it: a PostgreSQL
// server of the test's own lost while the first board is being set (back
// within the record's retry, or gone for good), and a Ctrl-C mid-board on
// an SQLite file. Every board the simulator was set is in the store, or the
// run's last message names it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "records/open_store.h"
#include "support/heard_identities.h"
#include "support/posix/pty_testkit.h"
#include "support/temp_dir.h"
#include "torvik_process.h"

using nlohmann::json;
using serial::posix::testkit::CChildProcess;

namespace {

using records_testing::ReadText;
using records_testing::Torvik;

using testing_support::HeardIdentities;
using testing_support::HeardIdentity;
using namespace std::chrono_literals;

std::size_t Count(const std::string& text, std::string_view what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
  return n;
}

// Whether torvik's --json lines told of its nth item sent within the time.
// The port's opening writes two (close, direct); the first board's first is
// the third.
bool WaitForItem(const std::string& log, std::size_t nth, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (Count(ReadText(log), R"({"event":"log","text":"KAVEL,)") >= nth) return true;
    std::this_thread::sleep_for(20ms);
  }
  return false;
}
constexpr std::size_t kFirstBoardItem = 3;

bool WaitForText(const std::string& path, std::string_view text, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (ReadText(path).find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(20ms);
  }
  return false;
}

int PgServer(const std::string& command, const std::string& dir) {
  const std::string line = "'" + std::string(PG_SERVER) + "' " + command + " '" + dir + "' >>'" + dir + ".log' 2>&1";
  return std::system(line.c_str());
}

class TorvikFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::WriteFile(dir.File("gprscdmaset.ini"), "X7,115200,LOW,HIGH,\n");
    ::setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
  }
  void TearDown() override {
    if (m_pgDir) PgServer("stop", *m_pgDir);
  }
  // The test's own PostgreSQL server: its URL, empty when it did not start.
  std::string StartPostgres() {
    m_pgDir = dir.File("pg");
    if (PgServer("start", *m_pgDir) != 0) return {};
    const std::string url = ReadText(*m_pgDir + "/url");
    return url.substr(0, url.find_first_of("\r\n"));
  }
  // Answers slow enough that a board's Set lasts a few seconds.
  std::unique_ptr<CChildProcess> StartSim(const std::string& name) {
    auto sim = std::make_unique<CChildProcess>(std::vector<std::string>{
        RECEIVER_SIM_PATH, "--link", dir.File(name), "--receiver-rate", "115200", "--ack-delay", "100", "--report",
        dir.File(name + ".json")});
    EXPECT_TRUE(sim->Ok());
    EXPECT_FALSE(sim->ReadLine(10000).empty()) << "receiver-sim did not come up";
    return sim;
  }
  std::vector<HeardIdentity> StopSim(std::unique_ptr<CChildProcess>& sim, const std::string& name) {
    sim->Stop();
    sim.reset();
    return HeardIdentities(json::parse(ReadText(dir.File(name + ".json")), nullptr, false));
  }
  std::vector<std::string> Args(const std::string& db, const std::string& name, int boards) {
    return {"--port", dir.File(name), "--type", "X7", "--mode", "heron", "--db", db, "--station", name,
            "--boards", std::to_string(boards), "--progress", "none", "--json"};
  }
  // The store's boards of a station, oldest first, with their items.
  std::vector<records::BoardDetail> Boards(const std::string& db, const std::string& station) {
    records::OpenOptions options;
    options.readOnly = true;
    auto store = records::OpenStore(db, options);
    EXPECT_TRUE(store.Ok()) << store.Error().detail;
    std::vector<records::BoardDetail> boards;
    if (!store.Ok()) return boards;
    records::RecordFilter filter;
    filter.station = station;
    std::vector<std::string> serials;
    EXPECT_TRUE(store.Value()
                    ->ForEachBoard(filter, [&](const records::BoardRow& row) { serials.insert(serials.begin(), row.serialNumber); })
                    .Ok());
    for (const std::string& serial : serials) {
      auto found = store.Value()->FindBoard(serial);
      EXPECT_TRUE(found.Ok()) << serial;
      if (found.Ok()) boards.push_back(found.Value());
    }
    return boards;
  }

  // Runs three boards and loses the server once the first board's settings
  // are going out. When comeBack, it is back a second after the board's last
  // item went out: the board's record is written while torvik retries it,
  // not by the connection's own reconnect before the board ends.
  void LoseServerMidBoard(bool comeBack) {
    const std::string db = StartPostgres();
    ASSERT_FALSE(db.empty()) << "the test's PostgreSQL server did not start: " << ReadText(*m_pgDir + ".log");
    auto sim = StartSim("line");
    Torvik torvik(Args(db, "line", 3), dir.Path().string(), dir.File("line.log"));
    ASSERT_TRUE(WaitForItem(dir.File("line.log"), kFirstBoardItem, 20s)) << ReadText(dir.File("line.log"));
    ASSERT_EQ(PgServer("kill", *m_pgDir), 0) << ReadText(*m_pgDir + ".log");
    if (comeBack) {
      ASSERT_TRUE(WaitForText(dir.File("line.log"), R"("text":"KAVEL,DIRECT,OFF")", 30s)) << ReadText(dir.File("line.log"));
      std::this_thread::sleep_for(1s);
      ASSERT_EQ(PgServer("restart", *m_pgDir), 0) << ReadText(*m_pgDir + ".log");
    }
    const int code = torvik.Wait(45s);
    const std::string log = ReadText(dir.File("line.log"));
    const std::vector<HeardIdentity> heard = StopSim(sim, "line");
    if (comeBack) {
      EXPECT_EQ(code, 0) << log;
      ASSERT_EQ(heard.size(), 3u) << log;
      const std::vector<records::BoardDetail> boards = Boards(db, "line");
      ASSERT_EQ(boards.size(), 3u) << log;
      for (std::size_t b = 0; b < boards.size(); ++b) {
        SCOPED_TRACE("board " + std::to_string(b + 1));
        const records::BoardRow& row = boards[b].board;
        EXPECT_EQ(row.outcome, "passed");
        EXPECT_EQ(heard[b], (HeardIdentity{row.serialNumber, row.localId, row.login}));
        EXPECT_FALSE(boards[b].items.empty());
        EXPECT_EQ(boards[b].items.size(), boards[0].items.size());
      }
      return;
    }
    EXPECT_EQ(code, 6) << log;
    // The first board was set all through, and the run stopped there.
    ASSERT_EQ(heard.size(), 1u) << log;
    // The last word of the run names that board: its serial number.
    const std::size_t missing = log.rfind("record-missing");
    ASSERT_NE(missing, std::string::npos) << log;
    EXPECT_NE(log.find(heard[0].serial, missing), std::string::npos) << log;
  }

  testing_support::TempDir dir;
  std::optional<std::string> m_pgDir;
};

TEST_F(TorvikFaults, PostgresBackWithinTheRetryKeepsEveryBoardsRecord) { LoseServerMidBoard(true); }

TEST_F(TorvikFaults, PostgresGoneEndsInSixNamingTheBoardTheSimulatorWasSet) { LoseServerMidBoard(false); }

// Ctrl-C while a board is being set: 130, the board `interrupted` with what
// was sent of it, and its identity is not handed out again.
TEST_F(TorvikFaults, CtrlCMidBoardRecordsItInterruptedAndItsIdentityStaysTaken) {
  const std::string db = dir.File("line.sqlite3");
  auto sim = StartSim("cut");
  {
    Torvik torvik(Args(db, "cut", 2), dir.Path().string(), dir.File("cut.log"));
    ASSERT_TRUE(WaitForItem(dir.File("cut.log"), kFirstBoardItem + 1, 20s)) << ReadText(dir.File("cut.log"));
    torvik.Signal(SIGINT);
    EXPECT_EQ(torvik.Wait(20s), 130) << ReadText(dir.File("cut.log"));
  }
  StopSim(sim, "cut");
  const std::vector<records::BoardDetail> cut = Boards(db, "cut");
  ASSERT_EQ(cut.size(), 1u) << ReadText(dir.File("cut.log"));
  EXPECT_EQ(cut[0].board.outcome, "interrupted");
  EXPECT_FALSE(cut[0].items.empty()) << "the items sent before Ctrl-C\n" << ReadText(dir.File("cut.log"));

  auto next = StartSim("next");
  Torvik again(Args(db, "next", 1), dir.Path().string(), dir.File("next.log"));
  EXPECT_EQ(again.Wait(30s), 0) << ReadText(dir.File("next.log"));
  const std::vector<HeardIdentity> heard = StopSim(next, "next");
  const std::vector<records::BoardDetail> after = Boards(db, "next");
  ASSERT_EQ(after.size(), 1u);
  ASSERT_EQ(heard.size(), 1u);
  const records::BoardRow& row = after[0].board;
  EXPECT_EQ(row.outcome, "passed");
  EXPECT_EQ(heard[0], (HeardIdentity{row.serialNumber, row.localId, row.login}));
  EXPECT_NE(row.serialNumber, cut[0].board.serialNumber);
  EXPECT_NE(row.localId, cut[0].board.localId);
  EXPECT_NE(row.login, cut[0].board.login);
  // Cut short: fewer items than a whole board's Set.
  EXPECT_LT(cut[0].items.size(), after[0].items.size());
}

}  // namespace
