// A full-page 24-bit photograph on A4 at 600 dpi (smooth colour fields with noise, made here),
// printed as the engine hands it over: an engine bitmap from EngCreateBitmap given to the
// rendering library's DrvCopyBits hook between DrvStartPage and DrvSendPage, to a MEMORY:
// printer. Pages per second and bytes per page, against one plain pass over the same pixels that
// reads every byte and writes one bit per pixel, in the same run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_ratio.h"
#include "core/hooks.h"
#include "devmode/caller_merge.h"
#include "engine/device_table.h"
#include "platform/engine_bitmaps.h"
#include "platform/spooler_admin.h"
#include "platform/test_hooks.h"
#include "win/spooler.h"

namespace {

constexpr char16_t kPrinter[] = u"Bench";

uint32_t Next(uint32_t& seed) {
  seed = seed * 1103515245 + 12345;
  return seed >> 8;
}

// A started job on a memory printer, a PDEV for A4 and the driver's hooks.
class Printer {
 public:
  Printer() {
    char dir[] = "/tmp/rt7700-page-image-bench-XXXXXX";
    root_ = mkdtemp(dir);
    platform::hooks::SetPlatformRoot(root_);
    platform::hooks::SetTempFolder(root_);
    platform::spooler::AddPrinter({kPrinter, u"Taliro R7700 PCL5e", "", "", u"winprint", "MEMORY:", {}});
    OpenPrinterW(kPrinter, &printer_, nullptr);
    DOC_INFO_1W doc{const_cast<LPWSTR>(u"bench"), nullptr, nullptr};
    const DWORD job = StartDocPrinterW(printer_, 1, reinterpret_cast<LPBYTE>(&doc));
    hdev_ = platform::engine::CreateDevice({printer_, kPrinter, u""});
    devmode::InitStoredDevmode(&stored_, kPrinter, u"Default Settings");
    stored_.pub.dmPaperSize = 9;  // A4
    DRVENABLEDATA ded{};
    DrvEnableDriver(DDI_DRIVER_VERSION_NT5, sizeof ded, &ded);
    hooks_.assign(ded.pdrvfn, ded.pdrvfn + ded.c);
    DEVINFO devinfo{};
    HSURF patterns[8];
    pdev_ = Hook<PFN_DrvEnablePDEV>(INDEX_DrvEnablePDEV)(&stored_.pub, nullptr, 8, patterns, sizeof gdi_,
                                                         reinterpret_cast<ULONG*>(&gdi_), sizeof devinfo, &devinfo,
                                                         hdev_, const_cast<LPWSTR>(kPrinter), printer_);
    Hook<PFN_DrvCompletePDEV>(INDEX_DrvCompletePDEV)(pdev_, hdev_);
    so_.dhpdev = pdev_;
    so_.hsurf = Hook<PFN_DrvEnableSurface>(INDEX_DrvEnableSurface)(pdev_);
    so_.hdev = hdev_;
    so_.iType = STYPE_DEVICE;
    so_.sizlBitmap = SIZEL{static_cast<LONG>(gdi_.ulHorzRes), static_cast<LONG>(gdi_.ulVertRes)};
    Hook<PFN_DrvStartDoc>(INDEX_DrvStartDoc)(&so_, const_cast<LPWSTR>(u"bench"), job);
    Take();  // the job header
  }
  ~Printer() {
    Hook<PFN_DrvEndDoc>(INDEX_DrvEndDoc)(&so_, 0);
    Hook<PFN_DrvDisableSurface>(INDEX_DrvDisableSurface)(pdev_);
    Hook<PFN_DrvDisablePDEV>(INDEX_DrvDisablePDEV)(pdev_);
    EndDocPrinter(printer_);
    ClosePrinter(printer_);
    platform::engine::DeleteDevice(hdev_);
    std::string cmd = "rm -rf '" + root_ + "'";
    (void)std::system(cmd.c_str());
  }

  template <typename F>
  F Hook(ULONG index) {
    for (const DRVFN& f : hooks_)
      if (f.iFunc == index) return reinterpret_cast<F>(f.pfn);
    std::abort();
  }
  SURFOBJ* surface() { return &so_; }
  LONG width() const { return static_cast<LONG>(gdi_.ulHorzRes); }
  LONG height() const { return static_cast<LONG>(gdi_.ulVertRes); }
  // Bytes the printer received since the last take.
  size_t Take() { return platform::hooks::TakeMemoryPrinterBytes(kPrinter).size(); }

 private:
  std::string root_;
  HANDLE printer_ = nullptr;
  HDEV hdev_ = nullptr;
  devmode::StoredDevmode stored_{};
  std::vector<DRVFN> hooks_;
  GDIINFO gdi_{};
  DHPDEV pdev_ = nullptr;
  SURFOBJ so_{};
};

Printer& SharedPrinter() {
  static Printer printer;
  return printer;
}

// The whole printable page as an engine bitmap, bottom-up as a DIB would come: broad colour
// gradients, a soft highlight and a few levels of noise, as a photograph has.
SURFOBJ* Photo() {
  static SURFOBJ* photo = [] {
    Printer& p = SharedPrinter();
    HBITMAP bm = EngCreateBitmap(SIZEL{p.width(), p.height()}, 0, BMF_24BPP, 0, nullptr);
    SURFOBJ* so = EngLockSurface(reinterpret_cast<HSURF>(bm));
    uint32_t seed = 11;
    const double w = p.width(), h = p.height();
    for (LONG y = 0; y < p.height(); ++y) {
      auto* row = static_cast<uint8_t*>(so->pvScan0) + ptrdiff_t(y) * so->lDelta;
      for (LONG x = 0; x < p.width(); ++x) {
        const double dx = x / w - 0.6, dy = y / h - 0.35;
        const double light = 90.0 * std::exp(-(dx * dx + dy * dy) * 8.0);
        const int noise = static_cast<int>(Next(seed) % 13) - 6;
        auto channel = [&](double v) { return static_cast<uint8_t>(std::clamp(v + light + noise, 0.0, 255.0)); };
        row[x * 3] = channel(60.0 + 120.0 * y / h);                                  // blue: sky to ground
        row[x * 3 + 1] = channel(40.0 + 100.0 * std::sin(3.0 * x / w) * (1 - y / h));  // green
        row[x * 3 + 2] = channel(30.0 + 140.0 * x / w);                              // red
      }
    }
    return so;
  }();
  return photo;
}

void BM_PlainPass(benchmark::State& state) {
  SURFOBJ* photo = Photo();
  const LONG width = photo->sizlBitmap.cx, height = photo->sizlBitmap.cy;
  std::vector<uint8_t> bits(size_t(width + 7) / 8 * size_t(height));
  const size_t rowBits = size_t(width + 7) / 8;
  for (auto _ : state) {
    for (LONG y = 0; y < height; ++y) {
      const auto* in = static_cast<const uint8_t*>(photo->pvScan0) + ptrdiff_t(y) * photo->lDelta;
      uint8_t* out = bits.data() + size_t(y) * rowBits;
      for (LONG x = 0; x < width; ++x) {
        const unsigned sum = in[x * 3] + in[x * 3 + 1] + in[x * 3 + 2];
        if (sum < 384) out[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        else out[x / 8] &= static_cast<uint8_t>(~(0x80 >> (x % 8)));
      }
    }
    benchmark::DoNotOptimize(bits.data());
    benchmark::ClobberMemory();
  }
  state.counters["pages/s"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_PrintPage(benchmark::State& state) {
  Printer& p = SharedPrinter();
  SURFOBJ* photo = Photo();
  platform::engine::EngineXlate xlate = platform::engine::DefaultLayout(BMF_24BPP).Xlate();
  const RECTL page{0, 0, p.width(), p.height()};
  auto startPage = p.Hook<PFN_DrvStartPage>(INDEX_DrvStartPage);
  auto copyBits = p.Hook<PFN_DrvCopyBits>(INDEX_DrvCopyBits);
  auto sendPage = p.Hook<PFN_DrvSendPage>(INDEX_DrvSendPage);
  size_t bytes = 0;
  for (auto _ : state) {
    startPage(p.surface());
    platform::engine::EngineClip clip(nullptr, page, page);
    RECTL destination = page;
    POINTL from{0, 0};
    if (!copyBits(p.surface(), photo, clip.get(), xlate.get(), &destination, &from)) {
      state.SkipWithError("DrvCopyBits failed");
      break;
    }
    sendPage(p.surface());
    bytes = p.Take();
  }
  state.counters["pages/s"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["bytes/page"] = static_cast<double>(bytes);
  state.SetLabel(std::to_string(p.width()) + " x " + std::to_string(p.height()) + " pixels");
}

}  // namespace

BENCHMARK(BM_PlainPass)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrintPage)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return benchsupport::RunPaired(argc, argv, {{"BM_PrintPage", "BM_PlainPass"}}); }
