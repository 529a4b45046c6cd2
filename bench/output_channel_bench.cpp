// The output channel on an HP-GL/2 coordinate stream ("PD%d,%d" pairs): through WriteCommand
// (the platform formatter), through a std::to_chars path into WriteBytes, and a memcpy of the
// same bytes as the baseline. Bytes go to a printer whose port is /dev/null.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_channel.h"
#include "bench_ratio.h"
#include "core/pdev.h"
#include "platform/spooler_admin.h"
#include "platform/test_hooks.h"
#include "win/memory.h"
#include "win/spooler.h"

namespace {

constexpr int kPairs = 20000;
constexpr char kPenDown[] = "PD%d,%d";  // HP-GL/2 pen down to a point

struct Pair {
  int x, y;
};

const std::vector<Pair>& Pairs() {
  static const std::vector<Pair> pairs = [] {
    std::vector<Pair> p(kPairs);
    uint32_t seed = 12345;
    for (auto& q : p) {
      seed = seed * 1103515245 + 12345;
      q.x = static_cast<int>(seed >> 8) % 9921;
      seed = seed * 1103515245 + 12345;
      q.y = static_cast<int>(seed >> 8) % 14030;
    }
    return p;
  }();
  return pairs;
}

const std::string& Stream() {
  static const std::string s = [] {
    std::string out;
    char buf[32];
    for (const Pair& p : Pairs()) {
      std::snprintf(buf, sizeof buf, "PD%d,%d", p.x, p.y);
      out += buf;
    }
    return out;
  }();
  return s;
}

void BM_Memcpy(benchmark::State& state) {
  const std::string& s = Stream();
  std::vector<char> to(s.size());
  for (auto _ : state) {
    std::memcpy(to.data(), s.data(), s.size());
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(s.size()));
}

void BM_WriteCommand(benchmark::State& state) {
  Channel channel;
  for (auto _ : state) {
    for (const Pair& p : Pairs()) render::WriteCommand(channel.pdev(), kPenDown, p.x, p.y);
    benchmark::DoNotOptimize(render::FlushOutput(channel.pdev()));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Stream().size()));
}

void BM_ToChars(benchmark::State& state) {
  Channel channel;
  for (auto _ : state) {
    for (const Pair& p : Pairs()) {
      char buf[32] = {'P', 'D'};
      char* end = std::to_chars(buf + 2, buf + 16, p.x).ptr;
      *end++ = ',';
      end = std::to_chars(end, buf + sizeof buf, p.y).ptr;
      render::WriteBytes(channel.pdev(), buf, static_cast<uint32_t>(end - buf));
    }
    benchmark::DoNotOptimize(render::FlushOutput(channel.pdev()));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Stream().size()));
}

}  // namespace

BENCHMARK(BM_Memcpy);
BENCHMARK(BM_WriteCommand);
BENCHMARK(BM_ToChars);

int main(int argc, char** argv) { return benchsupport::Run(argc, argv, "BM_Memcpy"); }
