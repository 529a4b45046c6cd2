// What the page benchmarks share: a printer of the real rendering library on a "MEMORY:" port in a
// private platform root, a job file read from text, and a memcpy of one page's bytes as baseline.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "job_file.h"
#include "job_settings.h"
#include "platform/spooler_admin.h"
#include "platform/test_hooks.h"
#include "win/wingdi.h"

namespace benchsupport {

class BenchPrinter {
 public:
  explicit BenchPrinter(const char16_t* name) : name_(name) {
    char dir[] = "/tmp/rt7700-page-bench-XXXXXX";
    root_ = mkdtemp(dir);
    platform::hooks::SetPlatformRoot(root_);
    platform::hooks::SetTempFolder(root_);
    rt7700print::JobSettings settings;
    (void)rt7700print::ApplySetting(settings, "media", "a4", "bench", "media");
    rt7700print::BuildStoredDevmode(settings, name_, &stored_);
    platform::spooler::PrinterConfig config;
    config.name = name_;
    config.driverName = u"Taliro R7700 PCL5e";
    config.driverPath = RENDER_LIBRARY_PATH;
    config.printProcessor = u"winprint";
    config.port = "MEMORY:";
    const auto* bytes = reinterpret_cast<const uint8_t*>(&stored_);
    config.defaultDevmode.assign(bytes, bytes + sizeof stored_);
    platform::spooler::AddPrinter(config);
    hdc_ = CreateDCW(nullptr, name_, nullptr, &stored_.pub);
    DOCINFOW doc{sizeof(DOCINFOW), u"bench", nullptr, nullptr, 0};
    ok_ = hdc_ != nullptr && StartDocW(hdc_, &doc) > 0;
  }
  ~BenchPrinter() {
    if (hdc_ != nullptr) {
      EndDoc(hdc_);
      DeleteDC(hdc_);
    }
    platform::hooks::TakeMemoryPrinterBytes(name_);
    std::string cmd = "rm -rf '" + root_ + "'";
    (void)std::system(cmd.c_str());
  }
  bool ok() const { return ok_; }
  HDC hdc() const { return hdc_; }

 private:
  const char16_t* name_;
  std::string root_;
  devmode::StoredDevmode stored_{};
  HDC hdc_ = nullptr;
  bool ok_ = false;
};

// A job file's text read as rt7700-print reads it; a job that does not read stops the run.
inline rt7700print::JobFile ReadBenchJob(const std::string& text, const char* name) {
  rt7700print::JobSettings settings;
  auto read = rt7700print::ReadJobText(text, name, settings);
  if (auto* e = std::get_if<rt7700print::InputError>(&read)) {
    std::fprintf(stderr, "%s: %s\n", e->field.c_str(), e->expected.c_str());
    std::abort();
  }
  return std::get<rt7700print::JobFile>(read);
}

// The output channel's floor: copying `bytes` bytes.
inline void MemcpyOfAPage(benchmark::State& state, size_t bytes) {
  if (bytes == 0) {
    state.SkipWithError("run after the page benchmark");
    return;
  }
  std::vector<char> from(bytes, 'x'), to(bytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size());
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}

}  // namespace benchsupport
