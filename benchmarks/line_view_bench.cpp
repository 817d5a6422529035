// The line view over a month of a line: 100,000 boards on 8 stations over 30
// days, with items and upgrades. The summary of one day (target: median under
// 100 ms on both stores), a search, and the site's page and JSON for that day with the
// memory before and after 10,000 requests. The PostgreSQL cases use the
// server of tests/support/postgres/pg_server.sh started on build/records-pg.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <fstream>
#include <memory>
#include <vector>

#include "records/open_store.h"
#include "records/web/line_site.h"
#include "records/web/line_summary.h"
#include "tests/records/line_view_fill.h"

namespace {

using records_testing::Backend;
using records_testing::FreshStore;

constexpr records::LocalDate kDay{2026, 11, 25};  // mid-month in any zone

// The filled store's URL, filled once per backend; empty (the case skipped)
// without a PostgreSQL server or when the fill failed.
// Dropped before main returns: a PostgreSQL store's schema is dropped over a
// connection, and exit tears down the TLS library that connection needs
// before it would reach a static's destructor.
std::array<std::unique_ptr<FreshStore>, 2>& FullStores() {
  static std::array<std::unique_ptr<FreshStore>, 2> stores;
  return stores;
}

std::string FullStoreUrl(Backend backend, benchmark::State& state) {
  if (backend == Backend::Postgres && records_testing::PostgresServerUrl().empty()) {
    state.SkipWithError("no PostgreSQL server: tests/support/postgres/pg_server.sh start build/records-pg");
    return {};
  }
  static std::string errors[2];
  const std::size_t at = backend == Backend::Sqlite ? 0 : 1;
  std::unique_ptr<FreshStore>& fresh = FullStores()[at];
  if (!fresh) {
    fresh = std::make_unique<FreshStore>(backend);
    records::OpenStore(fresh->Url());
    errors[at] = records_testing::FillLine(*fresh, 100'000, 30, 8);
  }
  if (!errors[at].empty()) {
    state.SkipWithError(("fill: " + errors[at]).c_str());
    return {};
  }
  return fresh->Url();
}

// The filled store opened for a case's queries; nullptr when the case is skipped.
std::unique_ptr<records::RecordStore> OpenFullStore(Backend backend, benchmark::State& state) {
  const std::string url = FullStoreUrl(backend, state);
  if (url.empty()) return nullptr;
  auto opened = records::OpenStore(url);
  if (!opened.Ok()) {
    state.SkipWithError("store not opened");
    return nullptr;
  }
  return std::move(opened.Value());
}

// The site over the filled store, opening it read-only as serve does.
std::unique_ptr<records::web::LineSite> SiteOverFullStore(Backend backend, benchmark::State& state) {
  const std::string url = FullStoreUrl(backend, state);
  if (url.empty()) return nullptr;
  records::OpenOptions options;
  options.readOnly = true;
  return std::make_unique<records::web::LineSite>([url, options] { return records::OpenStore(url, options); },
                                                  records::web::SiteOptions{});
}

double MedianMs(std::vector<double>& ms) {
  std::sort(ms.begin(), ms.end());
  return ms.empty() ? 0 : ms[ms.size() / 2];
}

double RssMiB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

void BM_SummarizeDay(benchmark::State& state, Backend backend) {
  const std::unique_ptr<records::RecordStore> store = OpenFullStore(backend, state);
  if (!store) return;
  std::vector<double> ms;
  std::int64_t boards = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    auto summary = records::web::Summarize(*store, {kDay, kDay});
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    if (!summary.Ok()) {
      state.SkipWithError("summary failed");
      return;
    }
    boards = summary.Value().line.boards;
  }
  state.counters["median_ms"] = MedianMs(ms);
  state.counters["boards"] = static_cast<double>(boards);
}

// A search the line view's box sends: a part of a label, over every identity.
void BM_SearchBoards(benchmark::State& state, Backend backend) {
  const std::unique_ptr<records::RecordStore> store = OpenFullStore(backend, state);
  if (!store) return;
  std::vector<double> ms;
  std::int64_t rows = 0;
  for (auto _ : state) {
    rows = 0;
    const auto start = std::chrono::steady_clock::now();
    const records::StoreError e = store->SearchBoards("L7777", 50, [&](const records::BoardRow&) { ++rows; });
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    if (!e.Ok()) {
      state.SkipWithError("search failed");
      return;
    }
  }
  state.counters["median_ms"] = MedianMs(ms);
  state.counters["rows"] = static_cast<double>(rows);
}

void BM_SiteRequest(benchmark::State& state, Backend backend, const char* path) {
  const std::unique_ptr<records::web::LineSite> site = SiteOverFullStore(backend, state);
  if (!site) return;
  records::web::WebRequest request;
  request.path = path;
  request.query.emplace("day", "2026-11-25");
  std::vector<double> ms;
  int status = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const records::web::WebResponse response = site->Handle(request);
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    status = response.status;
    benchmark::DoNotOptimize(response.body.data());
  }
  state.counters["median_ms"] = MedianMs(ms);
  state.counters["status"] = status;
}

// The site's memory over many requests: RSS after a first request and after
// 10,000 more.
void BM_SiteMemory(benchmark::State& state, Backend backend) {
  const std::unique_ptr<records::web::LineSite> site = SiteOverFullStore(backend, state);
  if (!site) return;
  records::web::WebRequest request;
  request.path = "/api/summary";
  request.query.emplace("day", "2026-11-25");
  for (auto _ : state) {
    site->Handle(request);
    const double before = RssMiB();
    for (int i = 0; i < 10'000; ++i) benchmark::DoNotOptimize(site->Handle(request).body.size());
    state.counters["rss_before_mib"] = before;
    state.counters["rss_after_mib"] = RssMiB();
  }
}

BENCHMARK_CAPTURE(BM_SummarizeDay, sqlite, Backend::Sqlite)->Iterations(30)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SummarizeDay, postgres, Backend::Postgres)->Iterations(30)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SearchBoards, sqlite, Backend::Sqlite)->Iterations(30)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SearchBoards, postgres, Backend::Postgres)->Iterations(30)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SiteRequest, sqlite_page, Backend::Sqlite, "/")->Iterations(30)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SiteRequest, sqlite_json, Backend::Sqlite, "/api/summary")
    ->Iterations(30)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SiteRequest, postgres_page, Backend::Postgres, "/")->Iterations(30)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SiteRequest, postgres_json, Backend::Postgres, "/api/summary")
    ->Iterations(30)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SiteMemory, sqlite, Backend::Sqlite)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_SiteMemory, postgres, Backend::Postgres)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (std::unique_ptr<FreshStore>& store : FullStores()) store.reset();
  return 0;
}
