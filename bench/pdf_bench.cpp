// A ten-page PDF with text, line art and an image on every page (made here), printed whole by
// rt7700-print to a file, against Ghostscript's ljet4 (PCL 5e raster) and pxlmono (PCL XL) devices
// at 600 dpi on the same file, in the same run: pages per second and bytes per page.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_ratio.h"
#include "pdf_sample.h"

extern char** environ;
namespace fs = std::filesystem;

namespace {

constexpr int kPages = 10;
constexpr char kGhostscript[] = "/usr/bin/gs";

// The document and the outputs, in a folder removed at exit.
class Files {
 public:
  Files() {
    char dir[] = "/tmp/rt7700-pdf-bench-XXXXXX";
    dir_ = mkdtemp(dir);
    pdf_ = dir_ + "/document.pdf";
    std::ofstream(pdf_, std::ios::binary) << pdfsample::SamplePdf(kPages, true);
  }
  ~Files() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  const std::string& pdf() const { return pdf_; }
  std::string output(const char* name) const { return dir_ + "/" + name; }

 private:
  std::string dir_, pdf_;
};

const Files& SharedFiles() {
  static const Files files;
  return files;
}

// The program's exit status; its output on standard error is dropped.
int RunQuietly(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  int status = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) waitpid(pid, &status, 0);
  posix_spawn_file_actions_destroy(&actions);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void Report(benchmark::State& state, const std::string& output) {
  std::error_code ec;
  const double bytes = static_cast<double>(fs::file_size(output, ec));
  state.counters["pages/s"] = benchmark::Counter(
      static_cast<double>(kPages) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["bytes/page"] = bytes / kPages;
}

void Print(benchmark::State& state, const std::vector<std::string>& args, const std::string& output) {
  for (auto _ : state) {
    if (RunQuietly(args) != 0) {
      state.SkipWithError(("failed: " + args[0]).c_str());
      return;
    }
  }
  Report(state, output);
}

void BM_Rt7700Print(benchmark::State& state) {
  const Files& f = SharedFiles();
  std::string out = f.output("rt7700.prn");
  Print(state, {TOOL_PATH, f.pdf(), "--output", out}, out);
}

void Ghostscript(benchmark::State& state, const char* device) {
  if (access(kGhostscript, X_OK) != 0) {
    state.SkipWithError("Ghostscript is not installed (package ghostscript)");
    return;
  }
  const Files& f = SharedFiles();
  std::string out = f.output(device);
  Print(state,
        {kGhostscript, "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", std::string("-sDEVICE=") + device, "-r600",
         "-sOutputFile=" + out, f.pdf()},
        out);
}

void BM_GhostscriptLjet4(benchmark::State& state) {
  Ghostscript(state, "ljet4");
}
void BM_GhostscriptPxlmono(benchmark::State& state) {
  Ghostscript(state, "pxlmono");
}

BENCHMARK(BM_Rt7700Print)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_GhostscriptLjet4)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_GhostscriptPxlmono)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  return benchsupport::Run(argc, argv, "BM_GhostscriptLjet4/iterations:3/real_time");
}
