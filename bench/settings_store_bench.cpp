// Saving and loading a favourite on a settings file holding 16 favourites, 16 custom papers
// and 16 watermarks, against a plain read and a plain write of the same file's bytes.
// Each store operation reads, parses, (for Save) rewrites and renames the whole file. Writes
// share the disk with everything else, so the real-time ratio of Save varies; CPU time is steadier.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/test_hooks.h"
#include "platform/utf16.h"
#include "store/settings_store.h"

namespace {

namespace fs = std::filesystem;

struct Fixture {
  fs::path folder;
  fs::path file;
  Fixture() {
    folder = fs::temp_directory_path() / ("rt7700-settings-bench-" + std::to_string(std::random_device{}()));
    fs::create_directories(folder);
    platform::hooks::SetAppDataFolder(folder.string());
    file = folder / "Taliro" / "rt7x5e" / "r6100settings.dat";
    ui::FavoriteStore favorites;
    ui::CustomPaperStore papers;
    ui::WatermarkStore watermarks;
    if (!papers.EnsureSettingsSkeleton()) std::abort();
    std::vector<uint8_t> settings(sizeof(ui::SettingsRecord), 0x5A), paper(72, 0x11), mark(816, 0x22);
    for (int i = 0; i < 16; ++i) {
      std::u16string n = platform::Widen("Item " + std::to_string(i));
      if (!favorites.Save(n, settings) || !papers.Save(n, paper) || !watermarks.Save(n, mark)) std::abort();
    }
  }
  ~Fixture() {
    std::error_code ec;
    fs::remove_all(folder, ec);
  }
};

Fixture& Data() {
  static Fixture f;
  return f;
}

std::string FileBytes() {
  std::ifstream in(Data().file, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void BM_PlainRead(benchmark::State& state) {
  const std::string path = Data().file.string();
  std::vector<char> buffer(FileBytes().size() + 1);
  for (auto _ : state) {
    FILE* f = std::fopen(path.c_str(), "rb");
    size_t n = std::fread(buffer.data(), 1, buffer.size(), f);
    std::fclose(f);
    benchmark::DoNotOptimize(n);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(buffer.size() - 1));
}

void BM_PlainReadWrite(benchmark::State& state) {
  const std::string bytes = FileBytes();
  const std::string path = Data().file.string(), copy = (Data().folder / "copy.dat").string();
  std::vector<char> buffer(bytes.size() + 1);
  for (auto _ : state) {
    FILE* in = std::fopen(path.c_str(), "rb");
    size_t n = std::fread(buffer.data(), 1, buffer.size(), in);
    std::fclose(in);
    FILE* out = std::fopen(copy.c_str(), "w+b");
    std::fwrite(buffer.data(), 1, n, out);
    std::fclose(out);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}

void BM_FavoriteLoad(benchmark::State& state) {
  ui::FavoriteStore store;
  auto record = std::make_unique<ui::SettingsRecord>();
  for (auto _ : state) benchmark::DoNotOptimize(store.Load(u"Item 7", record.get(), sizeof *record));
}

void BM_FavoriteSave(benchmark::State& state) {
  ui::FavoriteStore store;
  std::vector<uint8_t> settings(sizeof(ui::SettingsRecord), 0x33);
  for (auto _ : state) benchmark::DoNotOptimize(store.Save(u"Item 7", settings));
}

// Prints each store operation's time over its baseline once all have run.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& r : runs) {
      times_[r.benchmark_name()] = r.GetAdjustedRealTime();
      cpu_[r.benchmark_name()] = r.GetAdjustedCPUTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    auto ratio = [&](const char* op, const char* base) {
      if (times_.count(op) && times_.count(base) && times_[base] > 0 && cpu_[base] > 0)
        std::printf("ratio %s / %s = %.2f (real time), %.2f (CPU time)\n", op, base, times_[op] / times_[base],
                    cpu_[op] / cpu_[base]);
    };
    std::printf("settings file: %zu bytes\n", FileBytes().size());
    ratio("BM_FavoriteLoad", "BM_PlainRead");
    ratio("BM_FavoriteSave", "BM_PlainReadWrite");
  }

 private:
  std::map<std::string, double> times_, cpu_;
};

}  // namespace

BENCHMARK(BM_PlainRead);
BENCHMARK(BM_PlainReadWrite);
BENCHMARK(BM_FavoriteLoad);
BENCHMARK(BM_FavoriteSave);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Data();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
