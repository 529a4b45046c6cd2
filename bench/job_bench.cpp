// A 1000-page job with three collated copies through the hooks, to a printer on /dev/null:
// pages per second for the whole job, and the end-of-document replay of the spool copy (two
// passes) against a plain copy of the same number of bytes, read from a file of that size and
// written to /dev/null twice in 4096-byte pieces, in the same run.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_ratio.h"
#include "core/hooks.h"
#include "core/pdev.h"
#include "devmode/caller_merge.h"
#include "engine/device_table.h"
#include "platform/spooler_admin.h"
#include "platform/test_hooks.h"
#include "win/spooler.h"

namespace {

constexpr int kPages = 1000;
constexpr int kCopies = 3;
constexpr char16_t kPrinter[] = u"Bench";

// About what a page of vector graphics sends: 2 KB of HP-GL/2.
const std::string& PageContent() {
  static const std::string s = [] {
    std::string out = "PU0,0";
    char buf[32];
    for (int i = 0; out.size() < 2048; ++i) {
      std::snprintf(buf, sizeof buf, "PD%d,%d", (i * 37) % 4724, (i * 91) % 6779);
      out += buf;
    }
    return out;
  }();
  return s;
}

class Job {
 public:
  Job() {
    char dir[] = "/tmp/rt7700-job-bench-XXXXXX";
    root_ = mkdtemp(dir);
    platform::hooks::SetPlatformRoot(root_);
    platform::hooks::SetTempFolder(root_);
    platform::spooler::AddPrinter({kPrinter, u"Taliro R7700 PCL5e", "", "", u"winprint", "/dev/null", {}});
    OpenPrinterW(kPrinter, &printer_, nullptr);
    DOC_INFO_1W doc{const_cast<LPWSTR>(u"bench"), nullptr, nullptr};
    StartDocPrinterW(printer_, 1, reinterpret_cast<LPBYTE>(&doc));
    hdev_ = platform::engine::CreateDevice({printer_, kPrinter, u""});
    devmode::InitStoredDevmode(&stored_, kPrinter, u"Default Settings");
    stored_.pub.dmPaperSize = 9;
    stored_.pub.dmCopies = kCopies;
    stored_.pub.dmCollate = 1;
  }
  ~Job() {
    EndDocPrinter(printer_);
    ClosePrinter(printer_);
    platform::engine::DeleteDevice(hdev_);
    std::string cmd = "rm -rf '" + root_ + "'";
    (void)std::system(cmd.c_str());
  }

  // A new device and document with every page spooled; returns the device.
  render::Pdev* Spool() {
    GDIINFO gdi{};
    DEVINFO di{};
    DHPDEV d = render::DrvEnablePDEV(&stored_.pub, nullptr, 0, nullptr, sizeof gdi, reinterpret_cast<ULONG*>(&gdi),
                                     sizeof di, &di, hdev_, const_cast<LPWSTR>(kPrinter), printer_);
    render::DrvCompletePDEV(d, hdev_);
    render::DrvEnableSurface(d);
    pdev_ = reinterpret_cast<render::Pdev*>(d);
    so_ = SURFOBJ{};
    so_.dhpdev = d;
    so_.hdev = hdev_;
    so_.hsurf = pdev_->surface;
    render::DrvStartDoc(&so_, const_cast<LPWSTR>(u"bench.txt"), 1);
    const std::string& content = PageContent();
    for (int i = 0; i < kPages; ++i) {
      render::DrvStartPage(&so_);
      render::WriteBytes(*pdev_, content.data(), static_cast<uint32_t>(content.size()));
      render::DrvSendPage(&so_);
    }
    return pdev_;
  }
  void Finish() {
    render::DrvEndDoc(&so_, 0);
    render::DrvDisableSurface(reinterpret_cast<DHPDEV>(pdev_));
    render::DrvDisablePDEV(reinterpret_cast<DHPDEV>(pdev_));
  }
  const std::string& root() const { return root_; }

 private:
  std::string root_;
  HANDLE printer_ = nullptr;
  HDEV hdev_ = nullptr;
  devmode::StoredDevmode stored_{};
  render::Pdev* pdev_ = nullptr;
  SURFOBJ so_{};
};

int64_t g_spoolBytes = 0;

void BM_WholeJob(benchmark::State& state) {
  Job job;
  for (auto _ : state) {
    render::Pdev* pdev = job.Spool();
    g_spoolBytes = pdev->doc.spoolBytes;
    job.Finish();
  }
  state.counters["pages/s"] = benchmark::Counter(static_cast<double>(kPages), benchmark::Counter::kIsIterationInvariantRate);
  state.counters["sheets printed/s"] =
      benchmark::Counter(static_cast<double>(kPages * kCopies), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Replay(benchmark::State& state) {
  Job job;
  for (auto _ : state) {
    state.PauseTiming();
    render::Pdev* pdev = job.Spool();
    g_spoolBytes = pdev->doc.spoolBytes;
    state.ResumeTiming();
    job.Finish();  // the last sheet, two replay passes, the trailer
  }
  state.SetBytesProcessed(state.iterations() * g_spoolBytes * (kCopies - 1));
}

void BM_PlainCopy(benchmark::State& state) {
  Job job;  // for its folder
  if (g_spoolBytes == 0) {
    job.Spool();
    job.Finish();
  }
  const std::string path = job.root() + "/plain.bin";
  {
    std::vector<char> fill(static_cast<size_t>(g_spoolBytes), 'x');
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(fill.data(), 1, fill.size(), f);
    std::fclose(f);
  }
  int in = ::open(path.c_str(), O_RDONLY), out = ::open("/dev/null", O_WRONLY);
  char buf[4096];
  for (auto _ : state) {
    for (int pass = 0; pass < kCopies - 1; ++pass) {
      ::lseek(in, 0, SEEK_SET);
      ssize_t n;
      while ((n = ::read(in, buf, sizeof buf)) > 0) benchmark::DoNotOptimize(::write(out, buf, static_cast<size_t>(n)));
    }
  }
  ::close(in);
  ::close(out);
  state.SetBytesProcessed(state.iterations() * g_spoolBytes * (kCopies - 1));
}

}  // namespace

BENCHMARK(BM_WholeJob)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Replay)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainCopy)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return benchsupport::Run(argc, argv, "BM_PlainCopy"); }
