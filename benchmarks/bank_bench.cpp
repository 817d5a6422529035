// Finding and loading the image bank from a large program file, against a
// plain chunked read of the same file, in one process.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "framework/file.h"
#include "updater/image_bank/image_bank.h"

namespace {

// Set by main from BANK_BENCH_FILE: a program file with its overlay at the end.
std::string& BenchFile() {
  static std::string path;
  return path;
}

void BM_FindAndLoadBank(benchmark::State& state) {
  auto bank = std::make_unique<brevan::CImageBank>();
  bank->m_strExePath = BenchFile();
  for (auto _ : state) {
    bank->PrepareSlots();
    if (!bank->FindImageBank() || !bank->LoadImageBank()) {
      state.SkipWithError("bank not loaded");
      break;
    }
    benchmark::DoNotOptimize(bank->m_nImageLength);
  }
}
BENCHMARK(BM_FindAndLoadBank)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);

void BM_ReadFileOnce(benchmark::State& state) {
  std::vector<std::uint8_t> buffer(1 << 20);
  for (auto _ : state) {
    CFile file;
    if (!file.Open(BenchFile(), FileMode::Read)) {
      state.SkipWithError("cannot open");
      break;
    }
    std::int64_t n = 0;
    while ((n = file.Read(buffer)) > 0) benchmark::DoNotOptimize(buffer.data());
  }
}
BENCHMARK(BM_ReadFileOnce)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
  const char* file = std::getenv("BANK_BENCH_FILE");
  if (file == nullptr) {
    std::fprintf(stderr, "bank-bench: set BANK_BENCH_FILE to a program file with an overlay\n");
    return 2;
  }
  BenchFile() = file;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
