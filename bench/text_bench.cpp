// A dense text page on A4 (about 5,500 glyphs of 10-point Liberation Serif in 61 lines) drawn as
// rt7700-print draws a job file's text: through the GDI text calls on a printer device context,
// the real rendering library behind it (TrueType soft fonts), to a "MEMORY:" printer. Pages per
// second and bytes per page; the first page, which carries the font download, is reported apart.
// Baseline: a memcpy of one page's bytes in the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "bench_ratio.h"
#include "page_bench.h"
#include "page_drawing.h"

namespace {

constexpr char16_t kPrinter[] = u"Bench text";

std::string TextJob() {
  static const char kWords[] =
      "The quick brown fox jumps over the lazy dog while printers keep their fonts and pages in order ";
  std::string draw;
  char buf[512];
  for (int line = 0; line < 61; ++line) {
    std::string text;
    for (int i = 0; text.size() < 90; ++i) text += kWords[(line * 7 + i) % (sizeof kWords - 1)];
    std::snprintf(buf, sizeof buf,
                  R"({"op": "text", "text": "%s", "at": [18, %.1f], "face": "Liberation Serif", "size": "10pt"})",
                  text.c_str(), 16.0 + line * 4.4);
    draw += (draw.empty() ? "" : ",\n") + std::string(buf);
  }
  return R"({"unit": "mm", "pages": [{"draw": [)" + draw + "]}]}";
}

const rt7700print::JobFile& Job() {
  static const rt7700print::JobFile job = benchsupport::ReadBenchJob(TextJob(), "text page");
  return job;
}

size_t g_pageBytes = 0;

void BM_TextPage(benchmark::State& state) {
  const rt7700print::PageDrawing& page = Job().drawn.at(0).drawing;
  benchsupport::BenchPrinter printer(kPrinter);
  if (!printer.ok()) {
    state.SkipWithError("cannot open the printer");
    return;
  }
  size_t bytes = 0, first = 0;
  int64_t pages = 0;
  for (auto _ : state) {
    if (StartPage(printer.hdc()) <= 0 || rt7700print::DrawPage(printer.hdc(), page, rt7700print::Unit::Millimetre) ||
        EndPage(printer.hdc()) <= 0) {
      state.SkipWithError("the page failed");
      return;
    }
    size_t n = platform::hooks::TakeMemoryPrinterBytes(kPrinter).size();
    if (pages++ == 0) {
      first = n;  // the job header and the font download ride on the first page
    } else {
      bytes += n;
    }
  }
  g_pageBytes = pages > 1 ? bytes / static_cast<size_t>(pages - 1) : first;
  state.counters["first page bytes"] = static_cast<double>(first);
  state.counters["pages/s"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["bytes/page"] = static_cast<double>(g_pageBytes);
  state.SetBytesProcessed(static_cast<int64_t>(bytes + first));
}

// The output channel's floor: copying one page's bytes.
void BM_MemcpyOfAPage(benchmark::State& state) { benchsupport::MemcpyOfAPage(state, g_pageBytes); }

}  // namespace

BENCHMARK(BM_TextPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpyOfAPage)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) { return benchsupport::Run(argc, argv, "BM_MemcpyOfAPage"); }
