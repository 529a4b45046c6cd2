// A line-art page on A4 (400 lines of three widths, some dashed, 40 grey rectangles, 20 Bézier
// curves) drawn as rt7700-print draws a job file's page: through the GDI calls on a printer device
// context, the real rendering library behind it, to a "MEMORY:" printer. Pages per second and
// bytes per page, against a memcpy of one page's bytes in the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "bench_ratio.h"
#include "page_bench.h"
#include "page_drawing.h"

namespace {

constexpr char16_t kPrinter[] = u"Bench drawing";

std::string LineArtJob() {
  std::string draw;
  char buf[256];
  auto add = [&](const char* op) { draw += (draw.empty() ? "" : ",\n") + std::string(op); };
  const char* pens[] = {R"({"width": 0})", R"({"width": 0.25})", R"({"width": 0.7, "join": "miter"})",
                        R"({"width": 0.18, "dashes": [8, 1.5, 1, 1.5]})"};
  for (int i = 0; i < 400; ++i) {
    double x = 15 + (i % 20) * 9, y = 15 + (i / 20) * 13;
    bool across = i % 2 == 0;
    std::snprintf(buf, sizeof buf, R"({"op": "line", "from": [%.2f, %.2f], "to": [%.2f, %.2f], "pen": %s})", x, y,
                  across ? x + 8 : x + 3, across ? y + 2 : y + 11, pens[i % 4]);
    add(buf);
  }
  for (int i = 0; i < 40; ++i) {
    std::snprintf(buf, sizeof buf, R"({"op": "rectangle", "at": [%d, %d], "size": [30, 12], "brush": {"gray": %d}})",
                  15 + (i % 5) * 36, 200 + (i / 5) * 10, 10 + (i * 2) % 80);
    add(buf);
  }
  for (int i = 0; i < 20; ++i) {
    double y = 30 + i * 8;
    std::snprintf(buf, sizeof buf,
                  R"({"op": "path", "pen": {"width": 0.35}, "path": [["move", 20, %.1f], )"
                  R"(["curve", 60, %.1f, 100, %.1f, 140, %.1f], ["curve", 160, %.1f, 180, %.1f, 190, %.1f]]})",
                  y, y - 20, y + 20, y, y - 10, y + 10, y);
    add(buf);
  }
  return R"({"unit": "mm", "pages": [{"draw": [)" + draw + "]}]}";
}

const rt7700print::JobFile& Job() {
  static const rt7700print::JobFile job = benchsupport::ReadBenchJob(LineArtJob(), "line art");
  return job;
}

size_t g_pageBytes = 0;

void BM_LineArtPage(benchmark::State& state) {
  const rt7700print::PageDrawing& page = Job().drawn.at(0).drawing;
  benchsupport::BenchPrinter printer(kPrinter);
  if (!printer.ok()) {
    state.SkipWithError("cannot open the printer");
    return;
  }
  size_t bytes = 0;
  for (auto _ : state) {
    if (StartPage(printer.hdc()) <= 0 || rt7700print::DrawPage(printer.hdc(), page, rt7700print::Unit::Millimetre) ||
        EndPage(printer.hdc()) <= 0) {
      state.SkipWithError("the page failed");
      return;
    }
    bytes += platform::hooks::TakeMemoryPrinterBytes(kPrinter).size();
  }
  g_pageBytes = bytes / static_cast<size_t>(state.iterations());
  state.counters["pages/s"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["bytes/page"] = static_cast<double>(g_pageBytes);
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

// The output channel's floor: copying one page's bytes.
void BM_MemcpyOfAPage(benchmark::State& state) { benchsupport::MemcpyOfAPage(state, g_pageBytes); }

}  // namespace

BENCHMARK(BM_LineArtPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpyOfAPage)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) { return benchsupport::Run(argc, argv, "BM_MemcpyOfAPage"); }
