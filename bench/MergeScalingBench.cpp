// The merge of an installed description into the new one, both with N generated media that all
// match (the longest searches), and with N installed media of the user's own (all appended).
#include <benchmark/benchmark.h>

#include <algorithm>

#include "BenchSupport.h"
#include "model/DeviceSeriesMerge.h"

using namespace descriptionmerge;

namespace {

// Times the merge alone: each iteration merges into a fresh copy of `fresh`, made and dropped untimed.
void timeMerges(benchmark::State& state, const DeviceSeries& installed, const DeviceSeries& fresh) {
  const auto count = installed.aMediaInfoList.size();
  for (auto _ : state) {
    state.PauseTiming();
    DeviceSeries merged = fresh;
    state.ResumeTiming();
    MergeReport report = mergeDeviceSeries(installed, merged);
    benchmark::DoNotOptimize(report.matched.data());
    state.PauseTiming();
    if (report.matched.size() != count) state.SkipWithError("not every medium matched");
    { DeviceSeries dropped = std::move(merged); }
    state.ResumeTiming();
  }
  state.counters["media"] = static_cast<double>(count);
}

void BM_Merge_AllMatched(benchmark::State& state) {
  const auto count = static_cast<std::size_t>(state.range(0));
  timeMerges(state, bench::descriptionWithMedia(count), bench::descriptionWithMedia(count));
}
BENCHMARK(BM_Merge_AllMatched)->Arg(10)->Arg(100)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);

// The installed media in reverse order: every search runs over all new media it passes.
void BM_Merge_AllMatchedReversed(benchmark::State& state) {
  const auto count = static_cast<std::size_t>(state.range(0));
  DeviceSeries installed = bench::descriptionWithMedia(count);
  std::reverse(installed.aMediaInfoList.begin(), installed.aMediaInfoList.end());
  timeMerges(state, installed, bench::descriptionWithMedia(count));
}
BENCHMARK(BM_Merge_AllMatchedReversed)->Arg(10)->Arg(100)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
