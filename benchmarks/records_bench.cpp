// The record store under a line's load: identities taken by 8 stations at
// once (median and p99 of one take), and show and export over 100,000 boards.
// The PostgreSQL cases use the server of tests/support/postgres/pg_server.sh
// started on build/records-pg; without it they are skipped with an error.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <ostream>
#include <streambuf>
#include <vector>

#include "records/open_store.h"
#include "records/store_export.h"
#include "tests/records/bulk_boards.h"

namespace {

using records_testing::Backend;
using records_testing::FreshStore;

// Discards what it is given: the export's cost without the copy's.
class NullBuffer final : public std::streambuf {
 protected:
  int_type overflow(int_type c) override { return c; }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

bool ServerKnown(Backend backend, benchmark::State& state) {
  if (backend == Backend::Postgres && records_testing::PostgresServerUrl().empty()) {
    state.SkipWithError("no PostgreSQL server: tests/support/postgres/pg_server.sh start build/records-pg");
    return false;
  }
  return true;
}

// One empty store per backend for the contention case, shared by its threads.
struct SharedStore {
  std::mutex mutex;
  std::unique_ptr<FreshStore> fresh;
};

// The stores the cases share, dropped before main returns: a PostgreSQL
// store's schema is dropped over a connection, and exit tears down the TLS
// library that connection needs before it would reach a static's destructor.
struct BenchStores {
  SharedStore shared[2];
  std::unique_ptr<FreshStore> full[2];
};

BenchStores& Stores() {
  static BenchStores stores;
  return stores;
}

void DropStores() {
  for (SharedStore& shared : Stores().shared) shared.fresh.reset();
  for (std::unique_ptr<FreshStore>& full : Stores().full) full.reset();
}

SharedStore& Shared(Backend backend) { return Stores().shared[backend == Backend::Sqlite ? 0 : 1]; }

void BM_TakeIdentity(benchmark::State& state, Backend backend) {
  if (!ServerKnown(backend, state)) return;
  SharedStore& shared = Shared(backend);
  std::string url;
  {
    std::lock_guard lock(shared.mutex);
    if (!shared.fresh) {
      shared.fresh = std::make_unique<FreshStore>(backend);
      records::OpenStore(shared.fresh->Url());
    }
    url = shared.fresh->Url();
  }
  records::OpenOptions options;
  options.busyTimeoutMs = 60'000;
  auto opened = records::OpenStore(url, options);
  if (!opened.Ok()) {
    state.SkipWithError("store not opened");
    return;
  }
  records::IdentityRequest request;
  request.station = "bench-" + std::to_string(state.thread_index());
  request.date = records::LocalDate{2026, 12, 9};
  request.form = records::SerialForm::Wide;
  std::vector<double> micros;
  int day = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    auto taken = opened.Value()->TakeIdentity(request);
    micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    if (!taken.Ok()) {
      if (taken.Error().kind != records::ErrorKind::DayFull) {
        state.SkipWithError("take refused");
        break;
      }
      request.date.day = 1 + (++day % 28);  // a full day: the next one
    }
  }
  std::sort(micros.begin(), micros.end());
  if (!micros.empty()) {
    state.counters["median_us"] = benchmark::Counter(micros[micros.size() / 2], benchmark::Counter::kAvgThreads);
    state.counters["p99_us"] =
        benchmark::Counter(micros[micros.size() * 99 / 100], benchmark::Counter::kAvgThreads);
  }
}

// 100,000 boards per backend, filled once.
const std::string& FullStoreUrl(Backend backend) {
  std::unique_ptr<FreshStore>& fresh = Stores().full[backend == Backend::Sqlite ? 0 : 1];
  if (!fresh) {
    fresh = std::make_unique<FreshStore>(backend);
    records::OpenStore(fresh->Url());
    records_testing::FillBoards(*fresh, 100'000);
  }
  return fresh->Url();
}

void BM_ShowBoard(benchmark::State& state, Backend backend) {
  if (!ServerKnown(backend, state)) return;
  auto opened = records::OpenStore(FullStoreUrl(backend));
  if (!opened.Ok()) {
    state.SkipWithError("store not opened");
    return;
  }
  std::int64_t i = 0;
  for (auto _ : state) {
    auto shown = opened.Value()->FindBoard("L" + std::to_string(1 + (i++ * 7919) % 100'000));
    benchmark::DoNotOptimize(shown.Ok());
  }
}

void BM_ExportBoards(benchmark::State& state, Backend backend, records::ExportFormat format) {
  if (!ServerKnown(backend, state)) return;
  auto opened = records::OpenStore(FullStoreUrl(backend));
  if (!opened.Ok()) {
    state.SkipWithError("store not opened");
    return;
  }
  NullBuffer buffer;
  std::ostream out(&buffer);
  std::int64_t rows = 0;
  for (auto _ : state) {
    auto written = records::ExportBoards(*opened.Value(), {}, format, out);
    rows += written.Ok() ? written.Value() : 0;
  }
  state.counters["rows_per_s"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(BM_TakeIdentity, sqlite, Backend::Sqlite)->Threads(8)->Iterations(200)->UseRealTime();
BENCHMARK_CAPTURE(BM_TakeIdentity, postgres, Backend::Postgres)->Threads(8)->Iterations(200)->UseRealTime();
BENCHMARK_CAPTURE(BM_ShowBoard, sqlite, Backend::Sqlite)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ShowBoard, postgres, Backend::Postgres)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ExportBoards, sqlite_csv, Backend::Sqlite, records::ExportFormat::Csv)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExportBoards, sqlite_json, Backend::Sqlite, records::ExportFormat::Json)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExportBoards, postgres_csv, Backend::Postgres, records::ExportFormat::Csv)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExportBoards, postgres_json, Backend::Postgres, records::ExportFormat::Json)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  DropStores();
  return 0;
}
