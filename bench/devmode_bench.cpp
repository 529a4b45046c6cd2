// Building the render settings of a device context from a stored devmode, against a plain copy of
// the same bytes. Ratio: import + merge time / memcpy time of the 9084-byte record.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "devmode/caller_merge.h"
#include "devmode/render_devmode.h"

namespace {

devmode::StoredDevmode Stored() {
  devmode::StoredDevmode s{};
  devmode::InitStoredDevmode(&s, u"R7700 Bench", u"Default Settings");
  s.priv.MultipleUp = 4;
  return s;
}

void BM_MemcpyRenderSettings(benchmark::State& state) {
  std::vector<unsigned char> from(sizeof(devmode::RenderSettings), 1), to(sizeof(devmode::RenderSettings));
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size());
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * from.size());
}

void BM_ImportAndMerge(benchmark::State& state) {
  const devmode::StoredDevmode stored = Stored();
  devmode::RenderSettings r{}, scratch{};
  for (auto _ : state) {
    devmode::Devmod2_InitDevMode(&r, u"R7700 Bench");
    devmode::ImportStoredDevmode(&stored.pub, &scratch);
    benchmark::DoNotOptimize(devmode::Devmod2_MergeFieldsHigh(&r, &scratch.pub));
  }
  state.SetBytesProcessed(state.iterations() * sizeof(devmode::RenderSettings));
}

void BM_MergeCallerDevmode(benchmark::State& state) {
  const devmode::StoredDevmode caller = Stored();
  devmode::StoredDevmode working{};
  const devmode::CallerMergeContext context{u"Default Settings", nullptr};
  for (auto _ : state) {
    devmode::InitStoredDevmode(&working, u"R7700 Bench", u"Default Settings");
    benchmark::DoNotOptimize(devmode::MergeCallerDevmode(&working, &caller.pub, context));
  }
  state.SetBytesProcessed(state.iterations() * sizeof(devmode::StoredDevmode));
}

}  // namespace

BENCHMARK(BM_MemcpyRenderSettings);
BENCHMARK(BM_ImportAndMerge);
BENCHMARK(BM_MergeCallerDevmode);
BENCHMARK_MAIN();
