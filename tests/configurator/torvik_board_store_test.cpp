// The store's side of a board without a port: the store options from a
// profile, the count typed for an identity, the settings recorded and the
// items' host ticks as UTC times.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <sstream>

#include "configurator/app/torvik_board_store.h"
#include "configurator/app/torvik_profile_text.h"
#include "records/identity_rules.h"

namespace {

TEST(TorvikStoreOptions, AProfileGivesTheStoreOptionsAndRefusesABadForm) {
  const torvik::ParsedProfile parsed = torvik::ParseProfile(
      "db = postgresql://line@db.example/records\nstation = bench-2\noperator = Ana Li\nserial-form = wide\n");
  ASSERT_FALSE(parsed.fault);
  const std::vector<torvik::GivenOption> line{{"--station", "bench-3"}};
  const torvik::MergedOptions merged = torvik::MergeOptions(parsed.entries, line);
  ASSERT_FALSE(merged.fault);
  EXPECT_EQ(merged.options.db, "postgresql://line@db.example/records");
  EXPECT_EQ(merged.options.station, "bench-3") << "the command line wins";
  EXPECT_EQ(merged.options.operatorName, "Ana Li");
  EXPECT_TRUE(merged.options.wideSerial);
  for (const std::string text : {"serial-form = broad\n", "db =\n", "station =\n"}) {
    const torvik::MergedOptions bad = torvik::MergeOptions(torvik::ParseProfile(text).entries, {});
    EXPECT_TRUE(bad.fault && bad.fault->kind == torvik::ProfileFaultKind::BadValue) << text;
  }
  torvik::TorvikOptions narrow;
  EXPECT_TRUE(torvik::TakeTorvikOption(narrow, "--serial-form", "narrow"));
  EXPECT_FALSE(narrow.wideSerial);
}

TEST(TorvikStoreOptions, TheStationIsNamedOrTheHostAndPort) {
  torvik::TorvikOptions o;
  o.port = "/dev/ttyUSB3";
  const std::string station = torvik::StationName(o);
  EXPECT_TRUE(station.ends_with("/dev/ttyUSB3")) << station;
  o.station = "bench-1";
  EXPECT_EQ(torvik::StationName(o), "bench-1");
}

// The window's count edit takes 1..9999 and makes the narrow serial number
// from the count mod 100: the typed count must give the identity's number.
TEST(TorvikBoardIdentity, TheTypedCountGivesTheSameNarrowSerialNumber) {
  const records::LocalDate day{2026, 12, 9};
  for (std::int64_t count : {1, 42, 99, 100, 101, 199, 200, 9999, 10'000, 123'456}) {
    const int typed = torvik::WindowCount(count);
    EXPECT_GE(typed, 1);
    EXPECT_LE(typed, 9999);
    EXPECT_EQ(records::FormatSerial(day, typed, records::SerialForm::Narrow),
              records::FormatSerial(day, count, records::SerialForm::Narrow))
        << count;
  }
}

TEST(TorvikBoardIdentity, OnlyTheFirstBoardTakesTheOperatorsValues) {
  torvik::StoreRunFacts facts;
  facts.station = "s";
  facts.form = records::SerialForm::Wide;
  torvik::TorvikOptions o;
  o.count = 77;
  o.localId = "Z00000007";
  o.userPass = "Z00000007:demo";
  const records::LocalDate day{2026, 12, 9};
  const records::IdentityRequest first = torvik::MakeIdentityRequest(facts, o, "L-1", true, day);
  EXPECT_EQ(first.count, 77);
  EXPECT_EQ(first.localId, "Z00000007");
  EXPECT_EQ(first.login, "Z00000007:demo");
  EXPECT_EQ(first.label, "L-1");
  EXPECT_EQ(first.form, records::SerialForm::Wide);
  const records::IdentityRequest second = torvik::MakeIdentityRequest(facts, o, "", false, day);
  EXPECT_FALSE(second.count);
  EXPECT_FALSE(second.localId);
  EXPECT_FALSE(second.login);
}

TEST(TorvikBoardRecord, TheSettingsAreTheOptionsAppliedAndTheIdentityButNoPassword) {
  torvik::TorvikOptions o;
  o.mode = "ntrip";
  o.direct = false;
  o.serverPort = 2101;
  o.password = "secret";
  o.localId = "Z00000001";  // the operator's; the identity's is recorded
  records::Identity id;
  id.count = 5;
  id.serialNumber = "26120905";
  id.localId = "Z12345678";
  id.login = "Z87654321:demo";
  const auto s = torvik::AppliedSettings(o, id);
  const std::vector<std::pair<std::string, std::string>> expected{
      {"direct", "off"},           {"mode", "ntrip"},         {"server-port", "2101"},
      {"count", "5"},              {"serial-number", "26120905"}, {"local-id", "Z12345678"},
      {"user-pass", "Z87654321:demo"}};
  EXPECT_EQ(s, expected);
  for (const auto& [name, value] : s) EXPECT_NE(value, "secret") << name;
}

TEST(TorvikBoardRecord, ItemTicksBecomeUtcTimesFromTheBoardsStartAcrossTheTickWrap) {
  const std::uint32_t start = 0xFFFFF000u;  // 4,096 ms before the tick count wraps
  const auto wall = std::chrono::sys_days{std::chrono::year{2026} / 12 / 9} + std::chrono::hours(21);
  std::vector<torvik::SentRecord> items(3);
  items[0].label = "a";
  items[0].bytes = "KAVEL,A\r\n";
  items[0].expectReply = true;
  items[0].writtenAt = start + 1500;
  items[0].outcome = torvik::SentRecord::Outcome::Acknowledged;
  items[0].endedAt = start + 2600;
  items[1].writtenAt = start + 5000;  // after the wrap
  items[1].expectReply = true;
  items[1].outcome = torvik::SentRecord::Outcome::TimedOut;
  items[1].endedAt = start + 65'000;
  items[2].writtenAt = start + 70'000;
  items[2].outcome = torvik::SentRecord::Outcome::Sent;
  const std::vector<records::ItemRecord> r = torvik::ItemRecords(items, start, wall);
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[0].index, 0);
  EXPECT_EQ(r[0].label, "a");
  EXPECT_EQ(std::string(r[0].bytes.begin(), r[0].bytes.end()), "KAVEL,A\r\n");
  EXPECT_TRUE(r[0].replyAwaited);
  EXPECT_EQ(r[0].outcome, "acknowledged");
  EXPECT_EQ(r[0].sentAt, "2026-12-09T21:00:01Z");
  EXPECT_EQ(r[0].endedAt, "2026-12-09T21:00:02Z");
  EXPECT_EQ(r[1].sentAt, "2026-12-09T21:00:05Z");
  EXPECT_EQ(r[1].endedAt, "2026-12-09T21:01:05Z");
  EXPECT_EQ(r[1].outcome, "timed-out");
  EXPECT_EQ(r[2].outcome, "sent");
  EXPECT_EQ(r[2].endedAt, "") << "an item that awaited nothing has no end";
}

TEST(TorvikBoardRecord, RefusalsOfTheBoardsValuesEndWith4AndTheStoresFaultsWith6) {
  for (records::ErrorKind kind : {records::ErrorKind::DayFull, records::ErrorKind::ValueTaken,
                                  records::ErrorKind::LabelPassed})
    EXPECT_EQ(torvik::StoreExitCode(records::MakeError(kind, "s")), 4);
  for (records::ErrorKind kind : {records::ErrorKind::Unreachable, records::ErrorKind::Corrupt, records::ErrorKind::Busy,
                                  records::ErrorKind::DiskFull, records::ErrorKind::Other})
    EXPECT_EQ(torvik::StoreExitCode(records::MakeError(kind, "s")), 6);
}

}  // namespace

namespace {

// A store whose FinishBoard fails a given number of times first.
class FlakyStore final : public records::RecordStore {
 public:
  explicit FlakyStore(int failures) : m_failures(failures) {}
  const std::string& Name() const override { return m_name; }
  records::Result<records::Identity> TakeIdentity(const records::IdentityRequest&) override {
    records::Identity id;
    id.boardId = 7;
    id.serialNumber = "26120931";
    return id;
  }
  records::StoreError FinishBoard(std::int64_t boardId, const records::BoardResult& result) override {
    ++calls;
    finishedBoard = boardId;
    finishedOutcome = result.outcome;
    if (m_failures-- > 0) return records::MakeError(records::ErrorKind::Unreachable, m_name, "server closed the connection");
    return {};
  }
  records::Result<std::int64_t> RecordUpgrade(const records::UpgradeRecord&) override { return std::int64_t{0}; }
  records::StoreError ForEachBoard(const records::RecordFilter&, const std::function<void(const records::BoardRow&)>&) override {
    return {};
  }
  records::StoreError ForEachUpgrade(const records::RecordFilter&,
                                     const std::function<void(const records::UpgradeRow&)>&) override {
    return {};
  }
  records::StoreError ForEachLogin(const std::string&, const std::function<void(const records::LoginRow&)>&) override {
    return {};
  }
  records::Result<records::BoardDetail> FindBoard(const std::string&) override {
    return records::MakeError(records::ErrorKind::NotFound, m_name);
  }

  int calls = 0;
  std::int64_t finishedBoard = 0;
  records::Outcome finishedOutcome = records::Outcome::Started;

 private:
  std::string m_name = "postgresql://line@db/records";
  int m_failures;
};

struct StoreRig {
  explicit StoreRig(int failures) {
    auto owned = std::make_unique<FlakyStore>(failures);
    flaky = owned.get();
    store = std::make_unique<torvik::CBoardStore>(std::move(owned), fw::UiLanguage::English);
    store->SetFinishRetry(1000);
  }
  std::ostringstream human, json;
  fw::RunOutput output{human, false, fw::ProgressMode::None, &json};
  fw::TerminalHost host{output};
  FlakyStore* flaky = nullptr;
  std::unique_ptr<torvik::CBoardStore> store;
};

// The store lost mid-board: the record waits for it a bounded time, and a
// store that stays away ends the run with 6 naming the board's serial number.
TEST(TorvikBoardRecord, AFailedRecordIsTriedAgainAndAMissingOneNamesItsBoard) {
  StoreRig back(2);
  ASSERT_FALSE(back.store->TakeAndType(back.host, {}, 1));
  records::BoardResult passed;
  passed.outcome = records::Outcome::Passed;
  EXPECT_EQ(back.store->Finish(back.host, 1, passed), std::nullopt);
  EXPECT_EQ(back.flaky->calls, 3);
  EXPECT_EQ(back.flaky->finishedBoard, 7);
  EXPECT_EQ(back.flaky->finishedOutcome, records::Outcome::Passed);
  EXPECT_EQ(back.store->Finish(back.host, 1, passed), std::nullopt) << "a board is finished once";
  EXPECT_EQ(back.flaky->calls, 3);

  StoreRig gone(1000);
  ASSERT_FALSE(gone.store->TakeAndType(gone.host, {}, 2));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(gone.store->Finish(gone.host, 2, passed), 6);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(900));
  EXPECT_LT(waited, std::chrono::seconds(5));
  EXPECT_NE(gone.human.str().find("Board 2 (serial number 26120931) has no record"), std::string::npos)
      << gone.human.str();
  EXPECT_NE(gone.json.str().find("\"record-missing\""), std::string::npos) << gone.json.str();
}

}  // namespace
