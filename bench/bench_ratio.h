// Console reporter that ends with each benchmark's time as a ratio to a baseline of the same run.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace benchsupport {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  explicit RatioReporter(std::string baseline) : baseline_(std::move(baseline)) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    // In seconds: each benchmark reports in its own unit.
    for (const Run& r : runs)
      times_[r.benchmark_name()] = r.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(r.time_unit);
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    auto base = times_.find(baseline_);
    if (base == times_.end() || base->second <= 0) return;
    std::printf("\nratio of time to %s (same bytes, same run):\n", baseline_.c_str());
    for (const auto& [name, t] : times_) std::printf("  %-40s %8.2f\n", name.c_str(), t / base->second);
  }

 private:
  std::string baseline_;
  std::map<std::string, double> times_;
};

// Each benchmark against its own baseline of the same run.
class PairedRatioReporter : public benchmark::ConsoleReporter {
 public:
  explicit PairedRatioReporter(std::vector<std::pair<std::string, std::string>> pairs) : pairs_(std::move(pairs)) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      times_[r.benchmark_name()] = r.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(r.time_unit);
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nratio of time to the baseline (same bytes, same run):\n");
    for (const auto& [name, baseline] : pairs_) {
      auto t = times_.find(name), base = times_.find(baseline);
      if (t == times_.end() || base == times_.end() || base->second <= 0) continue;
      std::printf("  %-24s to %-24s %8.2f\n", name.c_str(), baseline.c_str(), t->second / base->second);
    }
  }

 private:
  std::vector<std::pair<std::string, std::string>> pairs_;
  std::map<std::string, double> times_;
};

inline int RunPaired(int argc, char** argv, std::vector<std::pair<std::string, std::string>> pairs) {
  benchmark::Initialize(&argc, argv);
  PairedRatioReporter reporter(std::move(pairs));
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

inline int Run(int argc, char** argv, const char* baseline) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter(baseline);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

}  // namespace benchsupport
