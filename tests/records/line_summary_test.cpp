// The line view's summary and search over both backends: boards taken and
// finished through the store at chosen times, tallied by the server's local
// days (TZ set here).
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "records/open_store.h"
#include "records/records_strings.h"
#include "records/web/line_summary.h"
#include "store_backend.h"

namespace records::web {
namespace {

using records_testing::Backend;
using records_testing::FreshStore;

// Eight hours ahead of UTC, no daylight saving: local 2026-12-09 is
// [2026-12-08T16:00:00Z, 2026-12-09T16:00:00Z).
constexpr const char* kShanghaiLike = "CST-8";
constexpr LocalDate kDayA{2026, 12, 9};
constexpr LocalDate kDayB{2026, 12, 10};

ItemRecord Item(std::string label, bool replyAwaited, std::string outcome) {
  ItemRecord item;
  item.label = std::move(label);
  item.replyAwaited = replyAwaited;
  item.outcome = std::move(outcome);
  item.sentAt = "2026-12-08T00:00:00Z";
  return item;
}

class LineSummaryTest : public ::testing::TestWithParam<Backend> {
 protected:
  LineSummaryTest() : m_fresh(GetParam()) {}

  void SetUp() override {
    if (const char* tz = std::getenv("TZ")) m_oldTz = tz;
    SetZone(kShanghaiLike);
    Result<std::unique_ptr<RecordStore>> opened = OpenStore(m_fresh.Url());
    ASSERT_TRUE(opened.Ok()) << Describe(opened.Error(), fw::UiLanguage::English);
    m_store = std::move(opened.Value());
  }
  void TearDown() override {
    if (m_oldTz) {
      ::setenv("TZ", m_oldTz->c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
  }

  static void SetZone(const char* zone) {
    ::setenv("TZ", zone, 1);
    ::tzset();
  }

  // A board taken at startedAt and, unless still started, finished with items.
  Identity Board(const std::string& station, const std::string& startedAt, std::optional<Outcome> outcome,
                 std::vector<ItemRecord> items = {}, const std::string& label = {}) {
    IdentityRequest r;
    r.station = station;
    r.port = "/dev/ttyUSB0";
    r.operatorName = "op";
    r.label = label;
    r.profileName = "line.ini";
    r.profileSha256 = std::string(64, 'a');
    r.receiverType = "R9";
    r.rate = 115200;
    r.date = LocalDate{2026, std::stoi(startedAt.substr(5, 2)), std::stoi(startedAt.substr(8, 2))};
    r.startedAt = startedAt;
    Result<Identity> taken = m_store->TakeIdentity(r);
    if (!taken.Ok()) {
      ADD_FAILURE() << Describe(taken.Error(), fw::UiLanguage::English);
      return {};
    }
    if (outcome) {
      BoardResult result;
      result.outcome = *outcome;
      result.endedAt = startedAt;
      for (std::size_t i = 0; i < items.size(); ++i) items[i].index = static_cast<std::int64_t>(i);
      result.items = std::move(items);
      const StoreError e = m_store->FinishBoard(taken.Value().boardId, result);
      EXPECT_TRUE(e.Ok()) << Describe(e, fw::UiLanguage::English);
    }
    return taken.Value();
  }

  void Upgrade(const std::string& startedAt, const std::string& serial) {
    UpgradeRecord u;
    u.station = "station-1";
    u.port = "/dev/ttyUSB0";
    u.boardSerial = serial;
    u.module = "NET100";
    u.outcome = "passed";
    u.startedAt = startedAt;
    u.endedAt = startedAt;
    EXPECT_TRUE(m_store->RecordUpgrade(u).Ok());
  }

  // Two local days on three stations, with a board on either side of each
  // local midnight. Day A: 8 boards (2 passed, 5 failed, 1 still started).
  void FillLine() {
    Board("station-1", "2026-12-08T15:59:59Z", Outcome::Passed);  // local 12-08 23:59:59
    Board("station-1", "2026-12-08T16:00:00Z", Outcome::Passed);  // local 12-09 00:00
    Board("station-1", "2026-12-08T16:30:00Z", Outcome::Failed,
          {Item("APN", false, "sent"), Item("MODE", true, "acknowledged"), Item("IPSET", true, "timed-out")},
          "LOT%5_A");
    Board("station-2", "2026-12-08T18:10:00Z", Outcome::Failed, {Item("IPSET", true, "timed-out")}, "LOT95XA");
    Board("station-2", "2026-12-08T18:15:00Z", Outcome::Failed, {Item("IPSET", true, "timed-out")});
    Board("station-2", "2026-12-08T18:20:00Z", Outcome::Refused);
    Board("station-3", "2026-12-08T18:40:00Z", Outcome::Interrupted, {Item("SERVER", true, "waiting")});
    // A passed board's stray time-out is no reason it failed.
    Board("station-3", "2026-12-08T18:50:00Z", Outcome::Passed, {Item("IPSET", true, "timed-out")});
    Board("station-3", "2026-12-09T15:00:00Z", std::nullopt);   // local 12-09 23:00, still started
    Board("station-2", "2026-12-09T16:00:00Z", Outcome::Passed);  // local 12-10 00:00
    // The failed label again: the same identity, its latest board.
    Board("station-1", "2026-12-09T17:00:00Z", Outcome::Failed, {Item("IPSET", true, "timed-out")}, "LOT%5_A");
    Upgrade("2026-12-08T15:00:00Z", "before");
    Upgrade("2026-12-08T20:00:00Z", "first");
    Upgrade("2026-12-09T10:00:00Z", "second");
    Upgrade("2026-12-09T17:00:00Z", "after");
  }

  LineSummary Summary(LocalDate first, LocalDate last) {
    Result<LineSummary> summary = Summarize(*m_store, DaySpan{first, last});
    if (!summary.Ok()) {
      ADD_FAILURE() << Describe(summary.Error(), fw::UiLanguage::English);
      return {};
    }
    return std::move(summary.Value());
  }

  std::vector<BoardRow> Search(const std::string& text, std::int64_t limit = 0) {
    std::vector<BoardRow> rows;
    const StoreError e = m_store->SearchBoards(text, limit, [&](const BoardRow& b) { rows.push_back(b); });
    EXPECT_TRUE(e.Ok()) << Describe(e, fw::UiLanguage::English);
    return rows;
  }

  FreshStore m_fresh;
  std::unique_ptr<RecordStore> m_store;
  std::optional<std::string> m_oldTz;
};

void ExpectTally(const StationTally& t, std::int64_t boards, std::int64_t passed, std::int64_t failed,
                 std::int64_t refused, std::int64_t interrupted, std::int64_t running, std::int64_t activeHours) {
  EXPECT_EQ(t.boards, boards) << t.station;
  EXPECT_EQ(t.passed, passed) << t.station;
  EXPECT_EQ(t.failed, failed) << t.station;
  EXPECT_EQ(t.refused, refused) << t.station;
  EXPECT_EQ(t.interrupted, interrupted) << t.station;
  EXPECT_EQ(t.running, running) << t.station;
  EXPECT_EQ(t.activeHours, activeHours) << t.station;
}

TEST_P(LineSummaryTest, ALocalDayTalliesItsStationsHoursAndReasons) {
  FillLine();
  const LineSummary s = Summary(kDayA, kDayA);
  EXPECT_EQ(s.fromUtc, "2026-12-08T16:00:00Z");
  EXPECT_EQ(s.toUtc, "2026-12-09T16:00:00Z");

  ExpectTally(s.line, 8, 2, 5, 1, 1, 1, 3);  // local hours 00, 02 and 23
  EXPECT_EQ(s.line.station, "");
  EXPECT_DOUBLE_EQ(s.line.yield, 2.0 / 7.0);
  EXPECT_DOUBLE_EQ(s.line.boardsPerHour, 7.0 / 3.0);
  ASSERT_EQ(s.stations.size(), 3u);
  EXPECT_EQ(s.stations[0].station, "station-1");
  ExpectTally(s.stations[0], 2, 1, 1, 0, 0, 0, 1);
  EXPECT_DOUBLE_EQ(s.stations[0].yield, 0.5);
  EXPECT_DOUBLE_EQ(s.stations[0].boardsPerHour, 2.0);
  EXPECT_EQ(s.stations[1].station, "station-2");
  ExpectTally(s.stations[1], 3, 0, 3, 1, 0, 0, 1);
  EXPECT_DOUBLE_EQ(s.stations[1].yield, 0.0);
  EXPECT_EQ(s.stations[2].station, "station-3");
  ExpectTally(s.stations[2], 3, 1, 1, 0, 1, 1, 2);
  EXPECT_DOUBLE_EQ(s.stations[2].boardsPerHour, 1.0);

  // Every hour from the first board's to the last's, the still-started one's included.
  ASSERT_EQ(s.hours.size(), 24u);
  EXPECT_EQ(s.hours.front().hour, "2026-12-09 00");
  EXPECT_EQ(s.hours.back().hour, "2026-12-09 23");
  EXPECT_EQ(s.hours[0].passed, 1);
  EXPECT_EQ(s.hours[0].failed, 1);
  EXPECT_EQ(s.hours[1].passed + s.hours[1].failed, 0);
  EXPECT_EQ(s.hours[2].passed, 1);
  EXPECT_EQ(s.hours[2].failed, 4);
  EXPECT_EQ(s.hours[23].passed + s.hours[23].failed, 0);

  // Acknowledged items, items sent without a reply awaited and a passed
  // board's items are no reasons.
  ASSERT_EQ(s.causes.size(), 3u);
  EXPECT_EQ(s.causes[0].item, "IPSET");
  EXPECT_EQ(s.causes[0].outcome, "timed-out");
  EXPECT_EQ(s.causes[0].count, 3);
  const std::vector<std::pair<std::string, std::int64_t>> byCount{{"station-2", 2}, {"station-1", 1}};
  EXPECT_EQ(s.causes[0].stations, byCount);
  EXPECT_EQ(s.causes[1].item, "");
  EXPECT_EQ(s.causes[1].outcome, "refused");
  EXPECT_EQ(s.causes[1].count, 1);
  EXPECT_EQ(s.causes[2].item, "SERVER");
  EXPECT_EQ(s.causes[2].outcome, "waiting");
  const std::vector<std::pair<std::string, std::int64_t>> third{{"station-3", 1}};
  EXPECT_EQ(s.causes[2].stations, third);

  ASSERT_EQ(s.recent.size(), 8u);
  EXPECT_EQ(s.recent.front().startedAt, "2026-12-09T15:00:00Z");
  EXPECT_EQ(s.recent.front().outcome, "started");
  EXPECT_EQ(s.recent.back().startedAt, "2026-12-08T16:00:00Z");
  for (std::size_t i = 1; i < s.recent.size(); ++i) EXPECT_GT(s.recent[i - 1].startedAt, s.recent[i].startedAt);
  ASSERT_EQ(s.upgrades.size(), 2u);
  EXPECT_EQ(s.upgrades[0].upgrade.boardSerial, "second");
  EXPECT_EQ(s.upgrades[1].upgrade.boardSerial, "first");
}

TEST_P(LineSummaryTest, TwoDaysMergeAReasonsStationsAndRunOnAcrossMidnight) {
  FillLine();
  const LineSummary s = Summary(kDayA, kDayB);
  EXPECT_EQ(s.toUtc, "2026-12-10T16:00:00Z");
  ExpectTally(s.line, 10, 3, 6, 1, 1, 1, 5);
  ASSERT_EQ(s.hours.size(), 26u);
  EXPECT_EQ(s.hours[24].hour, "2026-12-10 00");
  EXPECT_EQ(s.hours[24].passed, 1);
  EXPECT_EQ(s.hours[25].hour, "2026-12-10 01");
  EXPECT_EQ(s.hours[25].failed, 1);
  ASSERT_FALSE(s.causes.empty());
  EXPECT_EQ(s.causes[0].count, 4);
  // Equal counts: by name.
  const std::vector<std::pair<std::string, std::int64_t>> byName{{"station-1", 2}, {"station-2", 2}};
  EXPECT_EQ(s.causes[0].stations, byName);
  EXPECT_EQ(s.upgrades.size(), 3u);

  const LineSummary dayB = Summary(kDayB, kDayB);
  ExpectTally(dayB.line, 2, 1, 1, 0, 0, 0, 2);
  ASSERT_EQ(dayB.upgrades.size(), 1u);
  EXPECT_EQ(dayB.upgrades[0].upgrade.boardSerial, "after");
}

TEST_P(LineSummaryTest, AnEmptyDayHasNoHoursAndAnImpossibleSpanIsRefused) {
  FillLine();
  const LineSummary empty = Summary(LocalDate{2026, 12, 20}, LocalDate{2026, 12, 20});
  EXPECT_EQ(empty.line.boards, 0);
  EXPECT_EQ(empty.line.yield, 0.0);
  EXPECT_EQ(empty.line.boardsPerHour, 0.0);
  EXPECT_TRUE(empty.stations.empty());
  EXPECT_TRUE(empty.hours.empty());
  EXPECT_TRUE(empty.causes.empty());
  EXPECT_TRUE(empty.recent.empty());

  for (const DaySpan& bad : {DaySpan{{2026, 2, 30}, {2026, 3, 1}}, DaySpan{kDayB, kDayA},
                             DaySpan{{2026, 13, 1}, {2026, 13, 1}}, DaySpan{{1969, 12, 31}, kDayA},
                             DaySpan{kDayA, {9999, 12, 31}}}) {
    Result<LineSummary> refused = Summarize(*m_store, bad);
    ASSERT_FALSE(refused.Ok());
    EXPECT_EQ(refused.Error().kind, ErrorKind::BadDate);
    EXPECT_FALSE(Describe(refused.Error(), fw::UiLanguage::English).empty());
  }
}

// The night the clock goes back: 25 local hours, two of them "02".
TEST_P(LineSummaryTest, ADayWithTheClockTurnedBackHasTwentyFiveHours) {
  SetZone("CET-1CEST,M3.5.0,M10.5.0/3");
  Board("station-1", "2026-10-24T22:00:00Z", Outcome::Passed);  // 00:00 CEST
  Board("station-1", "2026-10-25T00:30:00Z", Outcome::Passed);  // 02:30 CEST
  Board("station-1", "2026-10-25T01:30:00Z", Outcome::Failed);  // 02:30 CET
  Board("station-1", "2026-10-25T22:59:59Z", Outcome::Passed);  // 23:59:59 CET
  Board("station-1", "2026-10-25T23:00:00Z", Outcome::Passed);  // the next day
  const LineSummary s = Summary(LocalDate{2026, 10, 25}, LocalDate{2026, 10, 25});
  EXPECT_EQ(s.fromUtc, "2026-10-24T22:00:00Z");
  EXPECT_EQ(s.toUtc, "2026-10-25T23:00:00Z");
  EXPECT_EQ(s.line.boards, 4);
  EXPECT_EQ(s.line.activeHours, 4);
  ASSERT_EQ(s.hours.size(), 25u);
  EXPECT_EQ(s.hours[2].hour, "2026-10-25 02");
  EXPECT_EQ(s.hours[2].passed, 1);
  EXPECT_EQ(s.hours[3].hour, "2026-10-25 02");
  EXPECT_EQ(s.hours[3].failed, 1);
  EXPECT_EQ(s.hours[24].hour, "2026-10-25 23");
}

TEST_P(LineSummaryTest, SearchFindsEachIdentitysLatestBoardTakingWildcardsLiterally) {
  FillLine();
  // % and _ are the label's own characters, not LIKE's: LOT95XA does not match.
  const std::vector<BoardRow> literal = Search("%5_");
  ASSERT_EQ(literal.size(), 1u);
  EXPECT_EQ(literal[0].label, "LOT%5_A");
  EXPECT_EQ(literal[0].startedAt, "2026-12-09T17:00:00Z");  // the label's second board
  EXPECT_EQ(Search("lot%5_a").size(), 1u);
  const std::vector<BoardRow> both = Search("lot");
  ASSERT_EQ(both.size(), 2u);
  EXPECT_EQ(both[0].label, "LOT%5_A");
  EXPECT_EQ(both[1].label, "LOT95XA");
  EXPECT_TRUE(Search("!").empty());
  EXPECT_TRUE(Search("LOT%5_A'; DROP TABLE boards; --").empty());

  const Identity taken = Board("station-1", "2026-12-09T18:00:00Z", Outcome::Passed);
  std::string lowerLocalId = taken.localId;
  for (char& c : lowerLocalId) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::vector<BoardRow> byLocalId = Search(lowerLocalId);
  ASSERT_EQ(byLocalId.size(), 1u);
  EXPECT_EQ(byLocalId[0].id, taken.boardId);
  const std::vector<BoardRow> byLogin = Search(taken.login);  // the local id's and more
  ASSERT_EQ(byLogin.size(), 1u);
  EXPECT_EQ(byLogin[0].id, taken.boardId);
  // Three serial numbers are of 12-09 (a reused label keeps its 12-08 one):
  // the newest first, at most limit.
  EXPECT_EQ(Search("261209").size(), 3u);
  const std::vector<BoardRow> newest = Search("261209", 2);
  ASSERT_EQ(newest.size(), 2u);
  EXPECT_EQ(newest[0].id, taken.boardId);
  EXPECT_EQ(newest[1].startedAt, "2026-12-09T16:00:00Z");
}

INSTANTIATE_TEST_SUITE_P(Backends, LineSummaryTest, ::testing::Values(Backend::Sqlite, Backend::Postgres),
                         [](const ::testing::TestParamInfo<Backend>& param) {
                           return param.param == Backend::Sqlite ? "Sqlite" : "Postgres";
                         });

}  // namespace
}  // namespace records::web
