// A line's history of 100,000 boards on both backends: every row exported,
// each kind of key found, the newest of a station first. The times are
// printed for reading; their targets are checked by records-bench (make
// bench), not here: a shared machine under a sanitizer is no place to time.
#include <chrono>
#include <sstream>

#include <gtest/gtest.h>

#include "bulk_boards.h"
#include "records/open_store.h"
#include "records/records_strings.h"
#include "records/store_export.h"

namespace records {
namespace {

using records_testing::Backend;
using records_testing::FreshStore;
using Clock = std::chrono::steady_clock;

constexpr int kBoards = 100'000;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

class RecordStorePerformance : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    ASSERT_EQ(OpenStore(m_fresh.Url()).Ok(), true);  // the schema
    ASSERT_EQ(records_testing::FillBoards(m_fresh, kBoards), "");
    Result<std::unique_ptr<RecordStore>> opened = OpenStore(m_fresh.Url());
    ASSERT_TRUE(opened.Ok()) << Describe(opened.Error(), fw::UiLanguage::English);
    m_store = std::move(opened.Value());
  }

  FreshStore m_fresh{GetParam()};
  std::unique_ptr<RecordStore> m_store;
};

TEST_P(RecordStorePerformance, ExportsEveryRowOfAHundredThousandBoards) {
  for (ExportFormat format : {ExportFormat::Csv, ExportFormat::Json}) {
    std::ostringstream out;
    const auto start = Clock::now();
    Result<std::int64_t> rows = ExportBoards(*m_store, {}, format, out);
    const double seconds = Seconds(start);
    ASSERT_TRUE(rows.Ok()) << Describe(rows.Error(), fw::UiLanguage::English);
    EXPECT_EQ(rows.Value(), kBoards);
    const double rate = static_cast<double>(kBoards) / seconds;
    std::printf("%s: %d rows in %.3f s, %.0f rows/s\n", format == ExportFormat::Csv ? "csv" : "json", kBoards,
                seconds, rate);
  }
}

TEST_P(RecordStorePerformance, ShowsEachKindOfKeyAndListsNewestFirstInABigStore) {
  double slowest = 0;
  for (const std::string& key : {std::string("9000050000"), std::string("L77777"), std::string("Z00012345"),
                                 std::string("Z00099999:demo"), std::string("no-such-board")}) {
    const auto start = Clock::now();
    Result<BoardDetail> shown = m_store->FindBoard(key);
    slowest = std::max(slowest, Seconds(start));
    EXPECT_EQ(shown.Ok(), key != "no-such-board") << key;
  }
  EXPECT_EQ(m_store->FindBoard("L77777").Value().board.serialNumber, "9000077777");
  const auto start = Clock::now();
  std::vector<BoardRow> rows;
  ASSERT_TRUE(m_store->ForEachBoard({"", "station-1", "", 20}, [&](const BoardRow& b) { rows.push_back(b); }).Ok());
  slowest = std::max(slowest, Seconds(start));
  ASSERT_EQ(rows.size(), 20u);
  EXPECT_EQ(rows.front().serialNumber, "9000099997");  // the newest board of station-1
  std::printf("slowest show or list: %.2f ms\n", slowest * 1000);
}

INSTANTIATE_TEST_SUITE_P(Backends, RecordStorePerformance, ::testing::Values(Backend::Sqlite, Backend::Postgres),
                         [](const ::testing::TestParamInfo<Backend>& param) {
                           return param.param == Backend::Sqlite ? "Sqlite" : "Postgres";
                         });

}  // namespace
}  // namespace records
