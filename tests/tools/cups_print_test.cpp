// The CUPS filter as CUPS runs it: by hand with the filter's arguments and environment, and under a
// private cupsd on 127.0.0.1 that prints with lp to a listener the test runs.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <grp.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "pdf_sample.h"
#include "support/temp_dir.h"
#include "tool_runner.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const std::string kTool = TOOL_PATH;
const std::string kFilter = FILTER_PATH;
const std::string kPpd = PPD_PATH;

// The stream carries the time it was spooled.
std::string WithoutClock(const std::string& stream) {
  static const std::regex spoolTime("@PJL SET SPOOLTIME=\"[^\"]*\"");
  return std::regex_replace(stream, spoolTime, "@PJL SET SPOOLTIME=\"\"");
}

void WriteFile(const fs::path& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}

// Runs a program to its end, killing it after `limit` (a hang is a failure, not a wait).
tooltest::Result RunBounded(const std::vector<std::string>& args, const tooltest::Env& env,
                            const std::string& dir, std::chrono::seconds limit = 60s) {
  pid_t pid = tooltest::Start(args, env, dir);
  auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      auto r = tooltest::Wait(pid, dir);
      r.status = -2;
      r.err += "\n(killed after " + std::to_string(limit.count()) + " s)";
      return r;
    }
    std::this_thread::sleep_for(20ms);
  }
  tooltest::Result r;
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.out = tooltest::ReadFile(dir + "/.stdout");
  r.err = tooltest::ReadFile(dir + "/.stderr");
  return r;
}

// A port on 127.0.0.1 that was free a moment ago.
int FreePort() {
  int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t n = sizeof a;
  if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&a), &n) != 0) {
    close(s);
    return -1;
  }
  close(s);
  return ntohs(a.sin_port);
}

// A network printer: takes one connection and keeps what arrives until the sender closes.
class Listener {
 public:
  Listener() {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    if (bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && listen(fd_, 4) == 0 &&
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &n) == 0)
      port_ = ntohs(a.sin_port);
    received_ = std::async(std::launch::async, [this] { return Receive(); });
  }
  ~Listener() {
    stop_ = true;
    if (received_.valid()) received_.wait();
    close(fd_);
  }
  int port() const { return port_; }
  // The bytes of the first connection, once it closed; nothing when none came within `limit`.
  std::optional<std::string> Wait(std::chrono::seconds limit) {
    if (received_.wait_for(limit) != std::future_status::ready) return std::nullopt;
    return received_.get();
  }

 private:
  std::optional<std::string> Receive() {
    auto deadline = std::chrono::steady_clock::now() + 180s;
    auto readable = [&](int fd) {
      while (!stop_ && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) > 0) return true;
      }
      return false;
    };
    if (!readable(fd_)) return std::nullopt;
    int c = accept(fd_, nullptr, nullptr);
    if (c < 0) return std::nullopt;
    std::string data;
    char buffer[65536];
    while (readable(c)) {
      ssize_t n = read(c, buffer, sizeof buffer);
      if (n <= 0) {
        close(c);
        if (n == 0) return data;
        return std::nullopt;
      }
      data.append(buffer, static_cast<size_t>(n));
    }
    close(c);
    return std::nullopt;
  }

  int fd_ = -1;
  int port_ = -1;
  std::atomic<bool> stop_{false};
  std::future<std::optional<std::string>> received_;
};

// The filter run by hand, as the scheduler runs it: arguments, PPD in the environment, the stream
// on standard output and the scheduler's lines on standard error.
class FilterByHand : public testing::Test {
 protected:
  void SetUp() override {
    pdf_ = (dir_.path() / "report.pdf").string();
    WriteFile(pdf_, pdfsample::SamplePdf(3, false));
  }
  tooltest::Result Filter(const std::string& copies, const std::string& options,
                          const std::string& ppd = kPpd) {
    return RunBounded({kFilter, "42", "tester", "Report", copies, options, pdf_}, {{"PPD", ppd}}, dir_.str());
  }
  tooltest::Result Tool(std::vector<std::string> args) {
    std::string out = (dir_.path() / "direct.prn").string();
    args.insert(args.begin(), {kTool, pdf_, "-t", "Report"});
    args.insert(args.end(), {"--output", out});
    auto r = RunBounded(args, {}, dir_.str());
    r.out = tooltest::ReadFile(out);
    return r;
  }

  testsupport::TempDir dir_;
  std::string pdf_;
};

TEST_F(FilterByHand, PrintsWhatRt7700PrintPrintsAndReportsEachPage) {
  auto filtered =
      Filter("2", "media=Letter Duplex=DuplexNoTumble Density=Dark job-uuid=urn:uuid:1 page-ranges=2-3");
  ASSERT_EQ(filtered.status, 0) << filtered.err;
  auto direct = Tool({"-n", "2", "-o", "media=letter", "-o", "sides=two-sided-long-edge", "-o",
                      "density=dark", "-o", "page-ranges=2-3"});
  ASSERT_EQ(direct.status, 0) << direct.err;
  ASSERT_FALSE(filtered.out.empty());
  EXPECT_TRUE(WithoutClock(filtered.out) == WithoutClock(direct.out)) << "the filter's stream differs";
  EXPECT_NE(filtered.out.find("@PJL SET PAPER=LETTER"), std::string::npos);
  EXPECT_NE(filtered.out.find("@PJL SET DUPLEX=ON"), std::string::npos);
  // Two pages of the range, each made twice by the driver.
  EXPECT_NE(filtered.err.find("PAGE: 1 2\n"), std::string::npos) << filtered.err;
  EXPECT_NE(filtered.err.find("PAGE: 2 2\n"), std::string::npos) << filtered.err;
  EXPECT_EQ(filtered.err.find("PAGE: 3"), std::string::npos) << filtered.err;
  EXPECT_NE(filtered.err.find("ATTR: job-media-progress=100\n"), std::string::npos) << filtered.err;
  EXPECT_NE(filtered.err.find("STATE: +rt7700-rendering-report\n"), std::string::npos) << filtered.err;
  EXPECT_NE(filtered.err.find("STATE: -rt7700-rendering-report\n"), std::string::npos) << filtered.err;
  EXPECT_EQ(filtered.err.find("ERROR:"), std::string::npos) << filtered.err;
}

TEST_F(FilterByHand, ReadsTheDocumentFromStandardInputWithoutAFileArgument) {
  std::string input = (dir_.path() / "report.pdf").string();
  std::string command = "'" + kFilter + "' 7 tester Report 1 'media=A4' < '" + input + "' 2>/dev/null";
  setenv("PPD", kPpd.c_str(), 1);
  FILE* p = popen(command.c_str(), "r");
  unsetenv("PPD");
  ASSERT_NE(p, nullptr);
  std::string stream;
  char buffer[65536];
  while (size_t n = fread(buffer, 1, sizeof buffer, p)) stream.append(buffer, n);
  EXPECT_EQ(pclose(p), 0);
  auto direct = Tool({"-o", "media=a4"});
  ASSERT_EQ(direct.status, 0) << direct.err;
  EXPECT_TRUE(WithoutClock(stream) == WithoutClock(direct.out))
      << "the stream read from standard input differs";
}

TEST_F(FilterByHand, BadJobsFailWithOneErrorLineAndNoStream) {
  struct Case {
    std::string copies, options, ppd, error;
  };
  const Case cases[] = {
      {"1", "zoom=1000", kPpd,
       "ERROR: rt7700-print: command line: -o zoom=1000: expected a percentage from 25 to 400"},
      {"1", "media=Tabloid", kPpd, "ERROR: media: the printer has no paper Tabloid\n"},
      {"0", "", kPpd, "ERROR: copies: expected a whole number from 1 to 999, got \"0\"\n"},
      {"1", "", (dir_.path() / "missing.ppd").string(), "ERROR: cannot read the PPD "},
  };
  for (const auto& c : cases) {
    auto r = Filter(c.copies, c.options, c.ppd);
    EXPECT_EQ(r.status, 1) << c.options;
    EXPECT_TRUE(r.out.empty()) << c.options;
    EXPECT_NE(r.err.find(c.error), std::string::npos) << c.options << "\n" << r.err;
  }
  auto wrongType = RunBounded({kFilter, "42", "tester", "Report", "1", "", pdf_},
                              {{"PPD", kPpd}, {"CONTENT_TYPE", "text/plain"}}, dir_.str());
  EXPECT_EQ(wrongType.status, 1);
  EXPECT_TRUE(wrongType.out.empty());
  EXPECT_NE(wrongType.err.find("ERROR: expected a PDF document, got text/plain\n"), std::string::npos)
      << wrongType.err;
  auto usage = RunBounded({kFilter, "1", "tester"}, {}, dir_.str());
  EXPECT_EQ(usage.status, 1);
  EXPECT_NE(usage.err.find("ERROR: usage: rt7700-pdftopcl job-id user title copies options [file]"),
            std::string::npos);
  // A damaged document: rt7700-print's own message, as the job's error.
  WriteFile(pdf_, "%PDF-1.4\nthis is not a PDF\n");
  auto damaged = Filter("1", "");
  EXPECT_EQ(damaged.status, 1);
  EXPECT_TRUE(damaged.out.empty());
  EXPECT_NE(damaged.err.find("ERROR: rt7700-print: "), std::string::npos) << damaged.err;
}

// CUPS cancels a job by sending the filter SIGTERM: rt7700-print cancels its own job, nothing
// reaches the printer and no temporary of the run is left behind.
TEST_F(FilterByHand, CancellingTheJobStopsRt7700PrintAndLeavesNothing) {
  WriteFile(pdf_, pdfsample::SamplePdf(40, true));
  fs::path temporaries = dir_.path() / "tmp";
  fs::create_directories(temporaries);
  pid_t filter = tooltest::Start({kFilter, "42", "tester", "Report", "1", "", pdf_},
                                 {{"PPD", kPpd}, {"TMPDIR", temporaries.string()}}, dir_.str());
  ASSERT_GT(filter, 0);
  bool started = false;
  for (auto deadline = std::chrono::steady_clock::now() + 60s;
       !started && std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(10ms))
    started = tooltest::ReadFile(dir_.str() + "/.stderr").find("PAGE: 1 1\n") != std::string::npos;
  kill(filter, SIGTERM);
  int status = 0;
  bool ended = false;
  for (auto deadline = std::chrono::steady_clock::now() + 60s; std::chrono::steady_clock::now() < deadline;
       std::this_thread::sleep_for(10ms)) {
    if ((ended = waitpid(filter, &status, WNOHANG) == filter)) break;
  }
  if (!ended) {
    kill(filter, SIGKILL);
    waitpid(filter, &status, 0);
  }
  ASSERT_TRUE(started) << "no page was reported" << tooltest::ReadFile(dir_.str() + "/.stderr");
  ASSERT_TRUE(ended) << "the filter did not end within 60 s of SIGTERM";
  std::string err = tooltest::ReadFile(dir_.str() + "/.stderr");
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << err;
  EXPECT_NE(err.find("ERROR: rt7700-print: cancelled"), std::string::npos) << err;
  EXPECT_EQ(err.find("PAGE: 40 "), std::string::npos) << err;
  EXPECT_TRUE(tooltest::ReadFile(dir_.str() + "/.stdout").empty());
  EXPECT_TRUE(fs::is_empty(temporaries)) << "a temporary of the cancelled run was left";
}

// A private scheduler: its own configuration, spool, cache and log folders under a temporary
// folder, its filters the system's plus this build's, listening on a free port of 127.0.0.1.
class PrivateCups : public testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists("/usr/sbin/cupsd") || !fs::exists("/usr/bin/lp") || !fs::exists("/usr/sbin/lpadmin"))
      GTEST_SKIP()
          << "cupsd, lp or lpadmin is not installed (packages cups and cups-client; scripts/install-deps.sh)";
    root_ = dir_.path() / "cups";
    for (const char* sub : {"etc", "bin/filter", "data", "spool", "cache", "log", "state", "tmp", "work"})
      fs::create_directories(root_ / sub);
    // The scheduler runs filters as an unprivileged user when it runs as root: the folders they
    // read and write must let that user in.
    fs::permissions(dir_.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                     fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(root_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec);
    for (const char* sub : {"backend", "cgi-bin", "daemon", "driver", "monitor", "notifier"}) {
      if (fs::exists(fs::path("/usr/lib/cups") / sub))
        fs::create_symlink(fs::path("/usr/lib/cups") / sub, root_ / "bin" / sub);
    }
    for (const auto& entry : fs::directory_iterator("/usr/lib/cups/filter"))
      fs::create_symlink(entry.path(), root_ / "bin/filter" / entry.path().filename());
    fs::create_symlink(kFilter, root_ / "bin/filter/rt7700-pdftopcl");
    // The system's data, with the PPD installed as a driver lpadmin -m finds.
    for (const auto& entry : fs::directory_iterator("/usr/share/cups")) {
      if (entry.path().filename() != "model")
        fs::create_symlink(entry.path(), root_ / "data" / entry.path().filename());
    }
    fs::create_directories(root_ / "data/model/taliro");
    fs::copy_file(kPpd, root_ / "data/model/taliro/rt7700.ppd");

    port_ = FreePort();
    ASSERT_GT(port_, 0);
    server_ = "127.0.0.1:" + std::to_string(port_);
    WriteFile(
        root_ / "etc/cupsd.conf",
        "Listen " + server_ +
            "\nLogLevel debug\nBrowsing No\nWebInterface No\nDefaultAuthType None\n"
            "MaxJobs 0\nPreserveJobHistory Yes\n"
            "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
            "<Policy default>\n  <Limit All>\n    Order deny,allow\n    Allow all\n  </Limit>\n</Policy>\n");
    std::string files =
        "ServerRoot " + (root_ / "etc").string() + "\nServerBin " + (root_ / "bin").string() + "\nDataDir " +
        (root_ / "data").string() + "\nRequestRoot " + (root_ / "spool").string() + "\nCacheDir " +
        (root_ / "cache").string() + "\nStateDir " + (root_ / "state").string() + "\nTempDir " +
        (root_ / "tmp").string() + "\nAccessLog " + (root_ / "log/access_log").string() + "\nErrorLog " +
        (root_ / "log/error_log").string() + "\nPageLog " + (root_ / "log/page_log").string() +
        "\nPrintcap " + (root_ / "state/printcap").string() + "\nSandboxing relaxed\n";
    if (geteuid() == 0) {
      // Filters run as lp; its temporary folder must be theirs to write.
      files += "User lp\nGroup lp\n";
      group* lp = getgrnam("lp");
      ASSERT_NE(lp, nullptr) << "running as root, cupsd needs the lp group for its filters";
      ASSERT_EQ(chown((root_ / "tmp").c_str(), 0, lp->gr_gid), 0);
      ASSERT_EQ(chmod((root_ / "tmp").c_str(), 01770), 0);
    }
    WriteFile(root_ / "etc/cups-files.conf", files);

    cupsd_ = tooltest::Start({"/usr/sbin/cupsd", "-f", "-c", (root_ / "etc/cupsd.conf").string(), "-s",
                              (root_ / "etc/cups-files.conf").string()},
                             {}, (root_ / "work").string());
    ASSERT_GT(cupsd_, 0);
    auto deadline = std::chrono::steady_clock::now() + 30s;
    while (true) {
      int status = 0;
      if (waitpid(cupsd_, &status, WNOHANG) == cupsd_) {
        cupsd_ = -1;
        FAIL() << "cupsd ended at once:\n" << tooltest::ReadFile((root_ / "work/.stderr").string()) << Log();
      }
      // lpstat -r exits 0 either way; what it says tells.
      auto state = RunBounded({"/usr/bin/lpstat", "-h", server_, "-r"}, {}, work(), 10s);
      if (state.status == 0 && state.out.find("scheduler is running") != std::string::npos) break;
      ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "cupsd did not answer within 30 s" << Log();
      std::this_thread::sleep_for(100ms);
    }
  }

  void TearDown() override {
    if (cupsd_ <= 0) return;
    kill(cupsd_, SIGTERM);
    auto deadline = std::chrono::steady_clock::now() + 15s;
    int status = 0;
    while (waitpid(cupsd_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(cupsd_, SIGKILL);
        waitpid(cupsd_, &status, 0);
        break;
      }
      std::this_thread::sleep_for(20ms);
    }
  }

  std::string work() const { return (root_ / "work").string(); }
  std::string Log() const {
    return "\nerror_log:\n" + tooltest::ReadFile((root_ / "log/error_log").string());
  }

  // A queue with the printer's PPD whose device is the listener; `ppd` is "-m MODEL" or "-P FILE".
  void AddQueue(const std::string& name, int printerPort, const std::vector<std::string>& ppd,
                const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args = {
        "/usr/sbin/lpadmin",
        "-h",
        server_,
        "-p",
        name,
        "-E",
        "-v",
        "socket://127.0.0.1:" + std::to_string(printerPort) + "/?waiteof=false&snmp=false"};
    args.insert(args.end(), ppd.begin(), ppd.end());
    args.insert(args.end(), extra.begin(), extra.end());
    auto r = RunBounded(args, {}, work(), 30s);
    ASSERT_EQ(r.status, 0) << r.err << Log();
  }

  tooltest::Result Lp(std::vector<std::string> args) {
    args.insert(args.begin(), {"/usr/bin/lp", "-h", server_});
    return RunBounded(args, {}, work(), 30s);
  }

  testsupport::TempDir dir_;
  fs::path root_;
  int port_ = -1;
  std::string server_;
  pid_t cupsd_ = -1;
};

TEST_F(PrivateCups, LpPrintsTheSameStreamAsRt7700Print) {
  Listener printer;
  ASSERT_GT(printer.port(), 0);
  // As the README adds a network printer: the installed driver by its model name.
  ASSERT_NO_FATAL_FAILURE(AddQueue("R7700", printer.port(), {"-m", "taliro/rt7700.ppd"}));
  std::string pdf = (dir_.path() / "report.pdf").string();
  WriteFile(pdf, pdfsample::SamplePdf(3, true));
  auto lp = Lp({"-d", "R7700", "-n", "2", "-o", "sides=two-sided-long-edge", "-o", "media=A4", "-o",
                "page-ranges=1-2", "-t", "Quarterly report", pdf});
  ASSERT_EQ(lp.status, 0) << lp.err << Log();
  auto received = printer.Wait(180s);
  ASSERT_TRUE(received.has_value()) << "nothing reached the printer" << Log();

  std::string direct = (dir_.path() / "direct.prn").string();
  auto tool = RunBounded({kTool, pdf, "-n", "2", "-o", "sides=two-sided-long-edge", "-o", "media=A4", "-o",
                          "page-ranges=1-2", "-t", "Quarterly report", "--output", direct},
                         {}, dir_.str(), 120s);
  ASSERT_EQ(tool.status, 0) << tool.err;
  std::string expected = tooltest::ReadFile(direct);
  ASSERT_FALSE(received->empty());
  EXPECT_EQ(received->size(), expected.size());
  EXPECT_TRUE(WithoutClock(*received) == WithoutClock(expected)) << "the queue's stream differs" << Log();
  EXPECT_NE(received->find("@PJL JOB NAME=\"Quarterly report\""), std::string::npos);
  EXPECT_NE(received->find("@PJL SET DUPLEX=ON"), std::string::npos);

  // The page log counts the driver's copies: two pages, two copies each. The scheduler writes it
  // when the job ends, a moment after the last byte.
  std::string pageLog;
  for (auto deadline = std::chrono::steady_clock::now() + 30s; std::chrono::steady_clock::now() < deadline;
       std::this_thread::sleep_for(100ms)) {
    pageLog = tooltest::ReadFile((root_ / "log/page_log").string());
    if (pageLog.find(" total ") != std::string::npos) break;
  }
  EXPECT_NE(pageLog.find(" total 4 "), std::string::npos) << pageLog << Log();
}

TEST_F(PrivateCups, AJobTheFilterRefusesIsAbortedWithItsReason) {
  Listener printer;
  ASSERT_NO_FATAL_FAILURE(
      AddQueue("R7700", printer.port(), {"-P", kPpd}, {"-o", "printer-error-policy=abort-job"}));
  std::string pdf = (dir_.path() / "report.pdf").string();
  WriteFile(pdf, pdfsample::SamplePdf(1, false));
  auto lp = Lp({"-d", "R7700", "-o", "zoom=1000", pdf});
  ASSERT_EQ(lp.status, 0) << lp.err << Log();
  const std::string reason = "expected a percentage from 25 to 400";
  std::string log;
  for (auto deadline = std::chrono::steady_clock::now() + 60s; std::chrono::steady_clock::now() < deadline;
       std::this_thread::sleep_for(100ms)) {
    log = Log();
    if (log.find("[Job 1] Job stopped due to filter errors") != std::string::npos ||
        log.find("[Job 1] Job completed") != std::string::npos)
      break;
  }
  EXPECT_NE(log.find("[Job 1] Job stopped due to filter errors"), std::string::npos) << log;
  EXPECT_NE(log.find("] [Job 1] rt7700-print: command line: -o zoom=1000: " + reason), std::string::npos)
      << log;
  EXPECT_EQ(log.find("[Job 1] Job completed"), std::string::npos) << log;
  auto received = printer.Wait(0s);  // the backend may have connected; it sent nothing
  EXPECT_TRUE(!received || received->empty()) << "the refused job reached the printer";
}

}  // namespace
