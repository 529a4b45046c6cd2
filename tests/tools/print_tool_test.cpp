// rt7700-print end to end: bad input, outputs (file, standard output, TCP printer, device),
// cancellation, and the whole streams of the example jobs against golden files.
//
// Golden streams are tests/data/print/<case>.prn beside <case>.json (the examples are linked
// there); <case>.args, when present, holds extra arguments, one per line, and "env NAME=VALUE"
// lines. They are rewritten only by `cmake --build ... --target regen-golden`
// (RT7700_REGEN_GOLDEN=1).
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>

#include "support/loopback.h"
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/pcl_notation.h"
#include "support/temp_dir.h"
#include "tool_runner.h"

namespace fs = std::filesystem;
using tooltest::Env;
using tooltest::ReadFile;


namespace {

// Set only by the regen-golden target.
const bool g_regenerate = std::getenv("RT7700_REGEN_GOLDEN") != nullptr;

const std::string kTool = TOOL_PATH;
const std::string kRenderLibrary = RENDER_LIBRARY_PATH;

Env FakeDriver() { return {{"RT7700_TEST_MODE", "1"}, {"RT7700_TEST_DRIVER", FAKE_DRIVER_PATH}}; }

void Write(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> Files(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class PrintToolTest : public testing::Test {
 protected:
  std::string Path(const std::string& name) const { return (dir.path() / name).string(); }
  testsupport::TempDir dir;
};

struct BadCase {
  const char* job;  // job file text, or null for none
  std::vector<std::string> args;
  const char* message;  // the one line on stderr after "rt7700-print: "
};

TEST_F(PrintToolTest, BadInputGetsOneMessageNamingFileFieldAndExpectationAndWritesNothing) {
  const BadCase cases[] = {
      {R"({"settings": {"copies": 0}, "pages": 1})", {}, "JOB: settings.copies: expected a whole number from 1 to 999, got \"0\""},
      {R"({"settings": {"copies": 2.5}, "pages": 1})", {}, "JOB: settings.copies: expected a string, a whole number or true/false"},
      {R"({"settings": {"sides": "both"}, "pages": 1})", {},
       "JOB: settings.sides: expected one-sided, two-sided-long-edge, two-sided-short-edge, got \"both\""},
      {R"({"settings": {"colour": "yes"}, "pages": 1})", {},
       "JOB: settings.colour: expected a setting name (see rt7700-print --help), got \"colour\""},
      {R"({"settings": {"media": "a3"}, "pages": 1})", {}, nullptr},
      {R"({"pages": -1})", {}, "JOB: pages: expected a page count from 0 to 1000000"},
      {R"({"pages": [{}, {"text": "hi"}]})", {}, "JOB: page 2: text: expected only \"unit\" and \"draw\""},
      {R"({"pages": [{"draw": [{"op": "ellipse", "at": [0, 0], "size": [9, 9], "pen": {"width": 101}}]}]})", {},
       "JOB: page 1, op 1 (ellipse): pen.width: expected a number from 0 to 100"},
      {R"({"document": "x"})", {}, "JOB: pages: expected a page count or a list of pages (the field is missing)"},
      {R"({"pages": 1, "copies": 2})", {}, "JOB: copies: expected only \"document\", \"unit\", \"settings\" and \"pages\""},
      {R"({"pages": 1)", {}, "JOB: (file): expected JSON text (the file does not parse)"},
      {R"([1, 2])", {}, "JOB: (file): expected a JSON object with \"document\", \"unit\", \"settings\", \"pages\""},
      {R"({"settings": {"media": "a5"}, "pages": 1})", {"-o", "sides=two-sided-short-edge"},
       "command line: -o sides=two-sided-short-edge: two-sided printing needs a4, letter, legal, folio or oficio paper; "
       "media is a5"},
      {R"({"settings": {"poster": true}, "pages": 1})", {"-o", "number-up=2"},
       "command line: -o number-up=2: poster printing takes one page per sheet; expected number-up=1 with poster=true"},
      {nullptr, {"--pages", "2", "-o", "collate"}, "command line: -o collate: expected NAME=VALUE (see rt7700-print --help)"},
      {nullptr, {"--pages", "2", "-n", "1000"}, "command line: -n 1000: expected a whole number from 1 to 999, got \"1000\""},
      {nullptr, {}, "command line: (job): expected a job file or --pages N"},
      {R"({"pages": 1})", {"--pages", "1"}, "command line: --pages: expected a job file or --pages, not both"},
      {nullptr, {"--pages", "1", "-d", "lp0"}, "command line: -d lp0: expected an absolute device path or socket://HOST:PORT"},
      {nullptr, {"--pages", "1", "-d", "socket://printer:0"},
       "command line: -d socket://printer:0: expected socket://HOST:PORT with a port from 1 to 65535"},
      {nullptr, {"--pages", "1", "-d", "/dev/no-such-printer"}, "command line: -d /dev/no-such-printer: expected an existing device file"},
  };
  for (const auto& c : cases) {
    testsupport::TempDir work;
    std::vector<std::string> args{kTool};
    std::string job = (work.path() / "job.json").string();
    if (c.job != nullptr) {
      Write(job, c.job);
      args.push_back(job);
    }
    args.insert(args.end(), c.args.begin(), c.args.end());
    bool hasDevice = std::find(c.args.begin(), c.args.end(), "-d") != c.args.end();
    if (!hasDevice && !(c.job == nullptr && c.args.empty())) {
      args.push_back("--output");
      args.push_back((work.path() / "out.prn").string());
    }
    auto r = tooltest::Run(args, FakeDriver(), work.str());
    SCOPED_TRACE(c.job != nullptr ? c.job : "(no job file)");
    EXPECT_EQ(r.status, 2);
    std::string expected = c.message != nullptr ? std::string(c.message) : std::string();
    if (size_t at = expected.find("JOB"); at == 0) expected.replace(0, 3, job);
    if (c.message != nullptr) {
      EXPECT_EQ(r.err, "rt7700-print: " + expected + "\n");
    } else {
      EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
      EXPECT_NE(r.err.find("settings.media: expected a paper the printer knows: a4, letter"), std::string::npos) << r.err;
    }
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(Files(work.path()), c.job != nullptr ? std::vector<std::string>{"job.json"} : std::vector<std::string>{});
  }
}

TEST_F(PrintToolTest, HelpListsEverySettingItAccepts) {
  auto r = tooltest::Run({kTool, "--help"}, {}, dir.str());
  EXPECT_EQ(r.status, 0);
  for (const char* name : {"copies=", "collate=", "sides=", "output-order=", "number-up=", "number-up-layout=",
                           "page-border=", "orientation-requested=", "media=", "media-source=", "media-type=",
                           "print-quality=", "zoom=", "rotate-180=", "density=", "poster=", "feed-orientation="}) {
    EXPECT_NE(r.out.find(std::string("  ") + name), std::string::npos) << name;
  }
}

TEST_F(PrintToolTest, AFailedJobLeavesThePreviousFileAndNoPartOfTheNewOne) {
  std::string out = Path("out.prn");
  Write(out, "previous job");
  Env env = FakeDriver();
  env["RT7700_FAKE_DRIVER_FAIL"] = "SendPage";
  env["TMPDIR"] = dir.str();  // the run's private platform root goes too
  auto r = tooltest::Run({kTool, "--pages", "2", "--output", out}, env, dir.str());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "rt7700-print: the job failed: the printer did not take the whole job\n");
  EXPECT_EQ(ReadFile(out), "previous job");
  EXPECT_EQ(Files(dir.path()), std::vector<std::string>{"out.prn"});

  env.erase("RT7700_FAKE_DRIVER_FAIL");
  r = tooltest::Run({kTool, "--pages", "2", "--output", out}, env, dir.str());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(out), "StartDoc\nStartPage\nSendPage\nStartPage\nSendPage\nEndDoc\n");
  EXPECT_EQ(Files(dir.path()), std::vector<std::string>{"out.prn"});
}

// A drawing call that fails ends the job at that page, names the page and the operation, and
// leaves the output as it was; the same job draws when the driver takes its fills.
TEST_F(PrintToolTest, ADrawingCallThatFailsFailsTheJobNamingPageAndOperation) {
  std::string out = Path("out.prn");
  Write(out, "previous job");
  std::string job = Path("job.json");
  Write(job, R"({"unit": "mm", "pages": [{}, {"draw": [
      {"op": "line", "from": [10, 10], "to": [100, 10]},
      {"op": "clip", "shape": "ellipse", "at": [10, 10], "size": [50, 50]},
      {"op": "rectangle", "at": [10, 10], "size": [50, 50], "brush": {"gray": 50}}]}, {}]})");
  Env env = FakeDriver();
  env["RT7700_FAKE_DRIVER_FAIL"] = "BitBlt";  // and a fill under an elliptic clip is refused
  env["TMPDIR"] = dir.str();
  auto r = tooltest::Run({kTool, job, "--output", out}, env, dir.str());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("rt7700-print: the job failed: page 2, op 3 (rectangle): Rectangle failed (error ", 0), 0u)
      << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
  EXPECT_EQ(ReadFile(out), "previous job");

  env.erase("RT7700_FAKE_DRIVER_FAIL");
  r = tooltest::Run({kTool, job, "--output", out}, env, dir.str());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(out), "StartDoc\nStartPage\nSendPage\nStartPage\nSendPage\nStartPage\nSendPage\nEndDoc\n");
}

TEST_F(PrintToolTest, TheSummaryCountsPagesSheetsAndBytes) {
  struct Case {
    std::vector<std::string> options;
    const char* pages;
    const char* summary;
  };
  const Case cases[] = {
      {{"-n", "3"}, "2", "2 pages, 6 sheets, 54 bytes"},
      {{"-o", "sides=two-sided-long-edge copies=2 collate=true"}, "3", "3 pages, 4 sheets, 73 bytes"},
      {{"-o", "number-up=4"}, "9", "9 pages, 3 sheets, 187 bytes"},
      {{"-o", "poster=true"}, "1", "1 page, 1 sheet, 35 bytes"},
      {{}, "0", "0 pages, 0 sheets, 16 bytes"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{kTool, "--pages", c.pages, "-t", "Summary", "--output", Path("out.prn")};
    args.insert(args.end(), c.options.begin(), c.options.end());
    auto r = tooltest::Run(args, FakeDriver(), dir.str());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "rt7700-print: \"Summary\": " + std::string(c.summary) + " to " + Path("out.prn") + "\n");
  }
}

std::string RenderOrFake(Env& env) {
  if (fs::exists(kRenderLibrary)) {
    env = {{"RT7700_TEST_MODE", "1"}};
    return "the rendering library";
  }
  env = FakeDriver();
  return "the fake driver";
}

TEST_F(PrintToolTest, StandardOutputAndATcpPrinterGetTheBytesOfTheFile) {
  Env env;
  std::string driver = RenderOrFake(env);
  SCOPED_TRACE(driver);
  std::vector<std::string> job{kTool, EXAMPLES_DIR "/collated-copies.json"};
  auto args = [&](std::vector<std::string> extra) {
    auto a = job;
    a.insert(a.end(), extra.begin(), extra.end());
    return a;
  };
  auto file = tooltest::Run(args({"--output", Path("out.prn")}), env, dir.str());
  ASSERT_EQ(file.status, 0) << file.err;
  std::string expected = ReadFile(Path("out.prn"));
  ASSERT_FALSE(expected.empty());

  auto piped = tooltest::Run(args({"--output", "-"}), env, dir.str());
  EXPECT_EQ(piped.status, 0) << piped.err;
  EXPECT_TRUE(piped.out == expected);
  EXPECT_NE(piped.err.find(" to standard output\n"), std::string::npos) << piped.err;

  int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(listen(listener, 1), 0);
  ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len), 0);
  std::string received;
  std::thread printer([&] {
    int c = accept(listener, nullptr, nullptr);
    char buffer[65536];
    ssize_t n;
    while (c >= 0 && (n = read(c, buffer, sizeof buffer)) > 0) received.append(buffer, static_cast<size_t>(n));
    if (c >= 0) close(c);
  });
  std::string uri = "socket://127.0.0.1:" + std::to_string(ntohs(addr.sin_port));
  auto sent = tooltest::Run(args({"-d", uri}), env, dir.str());
  printer.join();
  close(listener);
  EXPECT_EQ(sent.status, 0) << sent.err;
  EXPECT_TRUE(received == expected) << received.size() << " bytes received, " << expected.size() << " expected";
  EXPECT_NE(sent.err.find(" to " + uri + "\n"), std::string::npos) << sent.err;
}

TEST_F(PrintToolTest, APrinterThatRefusesTheConnectionFailsTheJob) {
  auto r = tooltest::Run({kTool, "--pages", "1", "-d", testsupport::RefusingLoopbackPrinter()},
               FakeDriver(), dir.str());
  EXPECT_EQ(r.status, 1);
  // Which message depends on the spooler's error codes; socket_delivery_test.cpp checks it.
  EXPECT_EQ(r.err.rfind("rt7700-print: the job failed: ", 0), 0u) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
}

TEST_F(PrintToolTest, CtrlCCancelsTheJob) {
  // A device that takes bytes only when the test reads them keeps the job running until the
  // interrupt has arrived.
  Env env;
  SCOPED_TRACE(RenderOrFake(env));
  std::string device = Path("lp0");
  ASSERT_EQ(mkfifo(device.c_str(), 0600), 0);
  pid_t pid = tooltest::Start({kTool, "--pages", "1000000", "-d", device}, env, dir.str());
  int reader = open(device.c_str(), O_RDONLY);  // meets the job's first write
  ASSERT_GE(reader, 0);
  char buffer[4096];
  ASSERT_GT(read(reader, buffer, sizeof buffer), 0);  // the job is printing
  kill(pid, SIGINT);
  while (read(reader, buffer, sizeof buffer) > 0) {
  }
  close(reader);
  auto r = tooltest::Wait(pid, dir.str());
  EXPECT_EQ(r.status, 130);
  EXPECT_EQ(r.err, "rt7700-print: cancelled\n");
}

// The golden cases: every example job, and the job files of tests/data/print.
std::vector<fs::path> GoldenCases() {
  std::vector<fs::path> cases;
  for (const auto& e : fs::directory_iterator(GOLDEN_DIR)) {
    if (e.path().extension() == ".json") cases.push_back(e.path());
  }
  std::sort(cases.begin(), cases.end());
  return cases;
}

std::vector<std::string> CaseArguments(const fs::path& job, Env& env) {
  std::vector<std::string> args;
  fs::path extra = fs::path(job).replace_extension(".args");
  std::ifstream in(extra);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("env ", 0) == 0) {
      size_t eq = line.find('=');
      env[line.substr(4, eq - 4)] = line.substr(eq + 1);
    } else if (!line.empty()) {
      args.push_back(line);
    }
  }
  return args;
}

std::string FirstDifference(const std::string& got, const std::string& want) {
  auto lines = [](const std::string& stream) {
    std::vector<std::string> out;
    std::istringstream in(testsupport::Decode(stream));
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
  };
  auto a = lines(got), b = lines(want);
  size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
  std::string out = "first difference at command " + std::to_string(i) + "\n";
  for (size_t k = i >= 3 ? i - 3 : 0; k < std::max(a.size(), b.size()) && k < i + 4; ++k) {
    out += "  got  " + (k < a.size() ? a[k] : "(end)") + "\n  want " + (k < b.size() ? b[k] : "(end)") + "\n";
  }
  return out;
}

// The HP-GL/2 picture frame of a stream ("\e*c%dx%dY", decipoints) in pixels of its resolution
// ("\e&u%dD"): the page its input windows must stay inside.
testsupport::StreamLimits FrameLimits(const std::string& stream) {
  testsupport::StreamLimits limits;
  long dpi = 0, x = 0, y = 0;
  size_t u = stream.find("\x1b&u");
  if (u != std::string::npos) std::sscanf(stream.c_str() + u + 3, "%ldD", &dpi);
  for (size_t at = stream.find("\x1b*c"); at != std::string::npos; at = stream.find("\x1b*c", at + 1)) {
    if (std::sscanf(stream.c_str() + at + 3, "%ldx%ldY", &x, &y) == 2) break;
    x = y = 0;
  }
  if (dpi > 0 && x > 0 && y > 0) {
    limits.width = (x * dpi + 719) / 720;
    limits.height = (y * dpi + 719) / 720;
  }
  return limits;
}

TEST_F(PrintToolTest, GoldenStreamsOfTheExampleJobs) {
  if (!fs::exists(kRenderLibrary)) GTEST_SKIP() << "the rendering library is not built yet: " << kRenderLibrary;
  // A library that does not yet end its sheets ("\e&l%dX" and a form feed) prints no pages.
  auto probe = tooltest::Run({kTool, "--pages", "1", "--output", Path("probe.prn")}, {{"RT7700_TEST_MODE", "1"}}, dir.str());
  if (probe.status != 0 || ReadFile(Path("probe.prn")).find("\x1b&l1X\f") == std::string::npos)
    GTEST_SKIP() << "the rendering library does not print pages yet: " << probe.err;

  auto cases = GoldenCases();
  ASSERT_GE(cases.size(), 5u);
  for (const auto& job : cases) {
    SCOPED_TRACE(job.filename().string());
    Env env{{"RT7700_TEST_MODE", "1"}, {"TMPDIR", dir.str()}};
    std::vector<std::string> args{kTool, job.string()};
    auto extra = CaseArguments(job, env);
    args.insert(args.end(), extra.begin(), extra.end());
    args.insert(args.end(), {"--output", Path("out.prn")});
    auto r = tooltest::Run(args, env, dir.str());
    ASSERT_EQ(r.status, 0) << r.err;
    std::string got = ReadFile(Path("out.prn"));
    auto limits = FrameLimits(got);
    bool hpgl = got.find("\x1b%0B") != std::string::npos || got.find("\x1b%1B") != std::string::npos;
    if (hpgl) {
      EXPECT_GT(limits.width, 0) << "HP-GL/2 without a picture frame";
    }
    EXPECT_EQ(testsupport::StructureFaults(got), std::vector<std::string>{});
    EXPECT_EQ(testsupport::StructureProblems(got, limits), std::vector<std::string>{});
    fs::path golden = fs::path(job).replace_extension(".prn");
    if (g_regenerate) {
      Write(golden, got);
      continue;
    }
    ASSERT_TRUE(fs::exists(golden)) << golden << " is missing; build the regen-golden target";
    std::string want = ReadFile(golden.string());
    EXPECT_TRUE(got == want) << FirstDifference(got, want);
  }
}

}  // namespace
