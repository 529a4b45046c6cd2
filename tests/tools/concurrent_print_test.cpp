// rt7700-print runs at the same moment: jobs that keep a spool copy of their pages (collated,
// reverse order) in one temporary folder, some pairs sharing a platform root, some with the fixed
// clock and names of the test mode. Each run's output must be its own job, byte for byte as when
// it is printed alone.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "tool_runner.h"

namespace fs = std::filesystem;
using tooltest::Env;

namespace {

const std::string kTool = TOOL_PATH;
const std::string kRenderLibrary = RENDER_LIBRARY_PATH;

struct Job {
  std::string file;  // in the examples, or written by the test
  std::vector<std::string> options;
};

// Partners differ in job and settings, so an output that is the partner's shows. The longer jobs
// keep their spool copies open long enough for the runs to overlap.
const Job kJobs[][2] = {
    {{"collated-copies.json", {}}, {"reverse-order.json", {}}},
    {{"long-collated.json", {}}, {"long-reverse.json", {"-o", "media=letter"}}},
    {{"two-sided.json", {}}, {"long-reverse.json", {"-o", "copies=2", "-o", "collate=true"}}},
};

void WriteJobFiles(const fs::path& dir) {
  std::ofstream(dir / "long-collated.json")
      << R"({"document": "Long, collated", "settings": {"copies": 2, "collate": true}, "pages": 120})";
  std::ofstream(dir / "long-reverse.json")
      << R"({"document": "Long, reversed", "settings": {"output-order": "reverse"}, "pages": 120})";
}

// Starts every run at once: each child waits for the go before it runs the tool.
class StartingGate {
 public:
  StartingGate() { ok_ = pipe(fds_) == 0; }
  ~StartingGate() { Open(); }
  bool ok() const { return ok_; }
  pid_t Start(const std::vector<std::string>& args, const Env& env, const std::string& logDir) {
    pid_t gate = fork();
    if (gate != 0) return gate;
    close(fds_[1]);
    char go;
    (void)!read(fds_[0], &go, 1);  // returns at the end of the pipe: when the gate opens
    pid_t tool = tooltest::Start(args, env, logDir);
    auto r = tooltest::Wait(tool, logDir);
    // The result travels back through files beside the logs.
    std::ofstream(logDir + "/status") << r.status;
    std::ofstream(logDir + "/err") << r.err;
    _exit(0);
  }
  void Open() {
    if (fds_[1] >= 0) close(fds_[1]);
    fds_[1] = -1;
  }

 private:
  int fds_[2] = {-1, -1};
  bool ok_ = false;
};

// Outside the test mode the stream carries the time it was spooled.
std::string WithoutClock(const std::string& stream) {
  static const std::regex spoolTime("@PJL SET SPOOLTIME=\"[^\"]*\"");
  return std::regex_replace(stream, spoolTime, "@PJL SET SPOOLTIME=\"\"");
}

class ConcurrentPrint : public testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kRenderLibrary)) GTEST_SKIP() << "the rendering library is not built: " << kRenderLibrary;
    WriteJobFiles(dir_.path());
  }

  std::vector<std::string> Args(const Job& job, const std::string& output) const {
    fs::path file = fs::path(EXAMPLES_DIR) / job.file;
    if (!fs::exists(file)) file = dir_.path() / job.file;
    std::vector<std::string> args{kTool, file.string()};
    args.insert(args.end(), job.options.begin(), job.options.end());
    args.insert(args.end(), {"--output", output});
    return args;
  }

  // The job printed alone, in a folder of its own.
  std::string Alone(const Job& job, bool testMode) {
    testsupport::TempDir own;
    Env env{{"TMPDIR", own.str()}};
    if (testMode) env["RT7700_TEST_MODE"] = "1";
    std::string out = (own.path() / "alone.prn").string();
    auto r = tooltest::Run(Args(job, out), env, own.str());
    EXPECT_EQ(r.status, 0) << r.err;
    return WithoutClock(tooltest::ReadFile(out));
  }

  testsupport::TempDir dir_;
};

TEST_F(ConcurrentPrint, EveryRunPrintsItsOwnJob) {
  constexpr int kPairs = 20;
  struct Run {
    const Job* job;
    bool testMode;
    std::string output, log;
    pid_t pid = -1;
  };
  std::vector<Run> runs;
  const std::string tmp = (dir_.path() / "tmp").string();  // one temporary folder for every run
  fs::create_directories(tmp);
  // Pairs 0, 3, 6, ... share a root in the test mode; 1, 4, ... share one with the real clock;
  // 2, 5, ... each have a private root, in the test mode. The jobs change every third pair.
  auto sharesRoot = [](int pair) { return pair % 3 != 2; };
  auto testMode = [](int pair) { return pair % 3 != 1; };
  for (int pair = 0; pair < kPairs; ++pair) {
    for (int partner = 0; partner < 2; ++partner) {
      std::string name = "pair" + std::to_string(pair) + "-" + std::to_string(partner);
      Run run{&kJobs[(pair / 3) % std::size(kJobs)][partner], testMode(pair), (dir_.path() / (name + ".prn")).string(),
              (dir_.path() / name).string()};
      fs::create_directories(run.log);
      runs.push_back(run);
    }
  }
  StartingGate gate;
  ASSERT_TRUE(gate.ok());
  for (size_t i = 0; i < runs.size(); ++i) {
    int pair = static_cast<int>(i / 2);
    Env env{{"TMPDIR", tmp}};
    if (runs[i].testMode) env["RT7700_TEST_MODE"] = "1";
    if (sharesRoot(pair)) env["RT7700_PLATFORM_ROOT"] = (dir_.path() / ("root" + std::to_string(pair))).string();
    runs[i].pid = gate.Start(Args(*runs[i].job, runs[i].output), env, runs[i].log);
    ASSERT_GT(runs[i].pid, 0);
  }
  gate.Open();
  for (const auto& run : runs) waitpid(run.pid, nullptr, 0);

  std::map<std::pair<const Job*, bool>, std::string> alone;
  for (size_t i = 0; i < runs.size(); ++i) {
    const Run& run = runs[i];
    SCOPED_TRACE("run " + std::to_string(i) + ": " + run.job->file + (run.testMode ? " (test mode)" : ""));
    EXPECT_EQ(tooltest::ReadFile(run.log + "/status"), "0") << tooltest::ReadFile(run.log + "/err");
    auto key = std::make_pair(run.job, run.testMode);
    if (!alone.count(key)) alone[key] = Alone(*run.job, run.testMode);
    ASSERT_FALSE(alone[key].empty());
    EXPECT_TRUE(WithoutClock(tooltest::ReadFile(run.output)) == alone[key]) << "the output is not this job's alone";
  }
  // No spool copy is left behind.
  for (const auto& e : fs::recursive_directory_iterator(tmp)) {
    if (e.is_regular_file()) ADD_FAILURE() << "left in the temporary folder: " << e.path();
  }
}

// A temporary folder too long for the driver's name of its spool copy: the job still prints.
TEST_F(ConcurrentPrint, ALongTmpdirDoesNotFailTheJob) {
  fs::path tmp = dir_.path();
  while (tmp.string().size() < 240) tmp /= std::string(50, 't');
  fs::create_directories(tmp);
  const Job& job = kJobs[0][0];
  std::string want = Alone(job, true);
  std::string out = (dir_.path() / "long.prn").string();
  auto r = tooltest::Run(Args(job, out), {{"TMPDIR", tmp.string()}, {"RT7700_TEST_MODE", "1"}}, dir_.str());
  ASSERT_EQ(r.status, 0) << r.err;
  std::string got = WithoutClock(tooltest::ReadFile(out));
  EXPECT_TRUE(got == want) << got.size() << " bytes, alone " << want.size();
}

}  // namespace
