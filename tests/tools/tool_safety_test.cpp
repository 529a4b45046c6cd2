// rt7700-print against hostile input and a hostile environment: echoed text, oversized or odd
// job files, signals, temporaries of dead runs, unusual output targets, and command lines that
// must be refused before anything is written.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/temp_dir.h"
#include "tool_runner.h"

namespace fs = std::filesystem;
using tooltest::Env;
using tooltest::ReadFile;

namespace {

const std::string kTool = TOOL_PATH;
const std::string kRenderLibrary = RENDER_LIBRARY_PATH;

Env FakeDriver() { return {{"RT7700_TEST_MODE", "1"}, {"RT7700_TEST_DRIVER", FAKE_DRIVER_PATH}}; }

void Write(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::vector<std::string> Files(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

bool WaitForFile(const fs::path& path) {
  for (int i = 0; i < 3000; ++i) {
    if (fs::exists(path)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

class ToolSafetyTest : public testing::Test {
 protected:
  std::string Path(const std::string& name) const { return (dir.path() / name).string(); }
  testsupport::TempDir dir;   // what the run may touch
  testsupport::TempDir logs;  // the runner's captured output and the fake driver's marker
};

TEST_F(ToolSafetyTest, EchoedValuesShowTheirControlCharactersEscaped) {
  Env env = FakeDriver();
  auto r = tooltest::Run({kTool, "--pages", "1", "-t", "a\x1b[2Jb\nrt7700-print: forged\r", "--output", Path("out.prn")},
                         env, logs.str());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "rt7700-print: \"a\\x1B[2Jb\\nrt7700-print: forged\\r\": 1 page, 1 sheet, 35 bytes to " +
                       Path("out.prn") + "\n");

  r = tooltest::Run({kTool, "--pages", "1", "-o", "media=a4\x1b]0;title\x07", "--output", Path("out.prn")}, env,
                    logs.str());
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("media=a4\\x1B]0;title\\x07"), std::string::npos) << r.err;

  // A C1 control (CSI as UTF-8) in a job file's document name; a line break and a stray byte in
  // its path.
  std::string job = Path("job\n\xff.json");
  Write(job, "{\"document\": \"x\xc2\x9b" "31m\", \"pages\": 1}");
  r = tooltest::Run({kTool, job, "--output", Path("out.prn")}, env, logs.str());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.rfind("rt7700-print: \"x\\xC2\\x9B31m\": 1 page", 0), 0u) << r.err;
  Write(job, "{\"pages\": 1, \"bad\": 0}");
  r = tooltest::Run({kTool, job, "--output", Path("out.prn")}, env, logs.str());
  EXPECT_EQ(r.err, "rt7700-print: " + Path("job\\n\\xFF.json") + ": bad: expected only \"document\", \"unit\", \"settings\" and \"pages\"\n");
}

TEST_F(ToolSafetyTest, JobFilesThatAreTooLargeOrNotFilesAreRefusedInOneLine) {
  // Sparse: refused by its size before a byte is read.
  std::string big = Path("big.json");
  {
    std::ofstream(big).put('[');
    fs::resize_file(big, (64u << 20) + 1);
  }
  auto r = tooltest::Run({kTool, big, "--output", Path("out.prn")}, FakeDriver(), logs.str());
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "rt7700-print: " + big + ": (file): expected a job file of at most 64 MB; this one is larger\n");

  r = tooltest::Run({kTool, dir.str(), "--output", Path("out.prn")}, FakeDriver(), logs.str());
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "rt7700-print: " + dir.str() + ": (file): expected a job file, got a folder\n");

  // Read through a pipe, the size is known only by reading: the limit still holds.
  std::string fifo = Path("job.fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // The tool stops reading at the limit; the writer then sees a failed write, not a signal.
  struct sigaction ignore {}, previous {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &ignore, &previous);
  std::thread writer([&] {
    int fd = open(fifo.c_str(), O_WRONLY);
    std::string chunk(1 << 20, ' ');
    for (int i = 0; i < 65 && fd >= 0; ++i) {
      if (write(fd, chunk.data(), chunk.size()) != static_cast<ssize_t>(chunk.size())) break;
    }
    if (fd >= 0) close(fd);
  });
  r = tooltest::Run({kTool, fifo, "--output", Path("out.prn")}, FakeDriver(), logs.str());
  writer.join();
  sigaction(SIGPIPE, &previous, nullptr);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "rt7700-print: " + fifo + ": (file): expected a job file of at most 64 MB; this one is larger\n");

  // Past the page limit, a list of pages is refused at the first page too many.
  std::string many = Path("many.json");
  {
    std::ofstream out(many);
    out << "{\"pages\": [{}";
    for (int i = 0; i < 1000000; ++i) out << ",{}";
    out << "]}";
  }
  r = tooltest::Run({kTool, many, "--output", Path("out.prn")}, FakeDriver(), logs.str());
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "rt7700-print: " + many + ": pages: expected at most 1000000 pages\n");
}

TEST_F(ToolSafetyTest, EverySignalItCanCatchCancelsTheJobAndRemovesItsFiles) {
  for (int sig : {SIGHUP, SIGTERM, SIGQUIT, SIGUSR1, SIGALRM}) {
    SCOPED_TRACE(strsignal(sig));
    testsupport::TempDir work;
    std::string marker = (logs.path() / "printing").string();
    fs::remove(marker);
    Env env = FakeDriver();
    env["RT7700_FAKE_DRIVER_WAIT"] = marker;
    env["TMPDIR"] = work.str();
    std::string out = (work.path() / "out.prn").string();
    Write(out, "previous job");
    pid_t pid = tooltest::Start({kTool, "--pages", "3", "--output", out}, env, logs.str());
    ASSERT_TRUE(WaitForFile(marker));
    EXPECT_EQ(Files(work.path()).size(), 3u);  // the root, the partial file, out.prn
    kill(pid, sig);
    auto r = tooltest::Wait(pid, logs.str());
    EXPECT_EQ(r.status, 128 + sig);
    EXPECT_EQ(r.err, "rt7700-print: cancelled\n");
    EXPECT_EQ(Files(work.path()), std::vector<std::string>{"out.prn"});
    EXPECT_EQ(ReadFile(out), "previous job");
  }
}

TEST_F(ToolSafetyTest, AHangUpWhileADeviceIsPrintingLeavesNoSpoolCopyOrRoot) {
  Env env;
  if (fs::exists(kRenderLibrary)) {
    env = {{"RT7700_TEST_MODE", "1"}};
  } else {
    env = FakeDriver();
  }
  env["TMPDIR"] = dir.str();
  std::string device = Path("lp0");
  ASSERT_EQ(mkfifo(device.c_str(), 0600), 0);
  // Collated copies make the rendering library keep a spool copy to replay.
  pid_t pid = tooltest::Start({kTool, "--pages", "100000", "-n", "2", "-o", "collate=true", "-d", device}, env,
                              logs.str());
  int reader = open(device.c_str(), O_RDONLY);
  ASSERT_GE(reader, 0);
  char buffer[4096];
  ASSERT_GT(read(reader, buffer, sizeof buffer), 0);
  kill(pid, SIGHUP);
  while (read(reader, buffer, sizeof buffer) > 0) {
  }
  close(reader);
  auto r = tooltest::Wait(pid, logs.str());
  EXPECT_EQ(r.status, 128 + SIGHUP);
  EXPECT_EQ(Files(dir.path()), std::vector<std::string>{"lp0"});
}

TEST_F(ToolSafetyTest, AClosedStandardOutputFailsTheJobAndLeavesNothing) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  close(fds[0]);  // like `| head -c 10` once head has gone
  Env env = FakeDriver();
  env["TMPDIR"] = dir.str();
  pid_t pid = tooltest::Start({kTool, "--pages", "2", "--output", "-"}, env, logs.str(), fds[1]);
  close(fds[1]);
  auto r = tooltest::Wait(pid, logs.str());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "rt7700-print: the job failed: standard output was closed before it took the whole job\n");
  EXPECT_EQ(Files(dir.path()), std::vector<std::string>{});
}

TEST_F(ToolSafetyTest, TemporariesOfDeadRunsGoAndThoseOfLiveRunsStay) {
  auto makeRoot = [&](const std::string& name) {
    fs::create_directories(dir.path() / name / "spooler");
    Write(dir.path() / name / "spooler" / "printer.json", "{}");
    Write(dir.path() / name / "rt7700-print.lock", "");
    return open((dir.path() / name / "rt7700-print.lock").c_str(), O_RDONLY);
  };
  int deadRoot = makeRoot("rt7700-print.dead01");
  close(deadRoot);
  int liveRoot = makeRoot("rt7700-print.live01");
  ASSERT_EQ(flock(liveRoot, LOCK_EX), 0);
  fs::create_directories(dir.path() / "rt7700-print.old001");  // no lock: an hour old is dead
  fs::last_write_time(dir.path() / "rt7700-print.old001", fs::file_time_type::clock::now() - std::chrono::hours(2));
  fs::create_directories(dir.path() / "rt7700-print.new001");  // no lock yet: may be starting
  Write(Path(".out.prn.partDEAD01"), "half a job");
  Write(Path(".out.prn.partLIVE01"), "half a job");
  int livePartial = open(Path(".out.prn.partLIVE01").c_str(), O_RDONLY);
  ASSERT_EQ(flock(livePartial, LOCK_EX), 0);
  Write(Path(".other.prn.partDEAD02"), "another target's");

  Env env = FakeDriver();
  env["TMPDIR"] = dir.str();
  auto r = tooltest::Run({kTool, "--pages", "1", "--output", Path("out.prn")}, env, logs.str());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Files(dir.path()), (std::vector<std::string>{".other.prn.partDEAD02", ".out.prn.partLIVE01", "out.prn",
                                                         "rt7700-print.live01", "rt7700-print.new001"}));
  close(liveRoot);
  close(livePartial);
}

TEST_F(ToolSafetyTest, OutputToAPipeALinkOrAnExistingFileKeepsWhatItIs) {
  Env env = FakeDriver();
  env["TMPDIR"] = logs.str();
  const std::string expected = "StartDoc\nStartPage\nSendPage\nEndDoc\n";
  auto print = [&](const std::string& target) {
    auto r = tooltest::Run({kTool, "--pages", "1", "--output", target}, env, logs.str());
    EXPECT_EQ(r.status, 0) << r.err;
  };

  std::string fifo = Path("pipe");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);  // the job fits in the pipe's buffer
  ASSERT_GE(reader, 0);
  print(fifo);
  char buffer[256];
  ssize_t n = read(reader, buffer, sizeof buffer);
  close(reader);
  EXPECT_EQ(std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0), expected);
  EXPECT_TRUE(fs::is_fifo(fifo));

  fs::create_directories(dir.path() / "real");
  std::string real = Path("real/out.prn");
  Write(real, "previous job, longer than the new one");
  ASSERT_EQ(chmod(real.c_str(), 0600), 0);
  fs::create_symlink("real/out.prn", Path("link.prn"));
  print(Path("link.prn"));
  EXPECT_TRUE(fs::is_symlink(Path("link.prn")));
  EXPECT_EQ(ReadFile(real), expected);
  struct stat st {};
  ASSERT_EQ(stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);

  fs::create_symlink("real/new.prn", Path("dangling.prn"));
  print(Path("dangling.prn"));
  EXPECT_TRUE(fs::is_symlink(Path("dangling.prn")));
  EXPECT_EQ(ReadFile(Path("real/new.prn")), expected);

  fs::create_symlink("/dev/null", Path("null.prn"));
  print(Path("null.prn"));
  EXPECT_TRUE(fs::is_symlink(Path("null.prn")));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));

  EXPECT_EQ(Files(dir.path()), (std::vector<std::string>{"dangling.prn", "link.prn", "null.prn", "pipe", "real"}));
  EXPECT_EQ(Files(dir.path() / "real"), (std::vector<std::string>{"new.prn", "out.prn"}));
}

TEST_F(ToolSafetyTest, OutputNamesUpToTheLongestAFolderHoldsWork) {
  for (size_t length : {243u, 244u, 250u, 255u}) {
    std::string name = Path(std::string(length - 4, 'n') + ".prn");
    auto r = tooltest::Run({kTool, "--pages", "1", "--output", name}, FakeDriver(), logs.str());
    EXPECT_EQ(r.status, 0) << length << ": " << r.err;
    EXPECT_TRUE(fs::is_regular_file(name)) << length;
    fs::remove(name);
  }
  EXPECT_EQ(Files(dir.path()), std::vector<std::string>{});
}

TEST_F(ToolSafetyTest, CommandLinesThatCannotWorkAreRefusedBeforeAnythingIsWritten) {
  std::string file = Path("existing.prn");
  const std::string old = "an older, longer job that must not keep its tail";
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const Case cases[] = {
      {{"-d", file}, "-d " + file + ": expected a device file, got a regular file (use --output FILE)"},
      {{"-d", "socket://[::1:9100"},
       "-d socket://[::1:9100: expected socket://HOST:PORT with a host name, an IPv4 address or an IPv6 address in brackets"},
      {{"-d", "socket://[::g]:9100"},
       "-d socket://[::g]:9100: expected socket://HOST:PORT with a host name, an IPv4 address or an IPv6 address in brackets"},
      {{"-d", "socket://:9100"},
       "-d socket://:9100: expected socket://HOST:PORT with a host name, an IPv4 address or an IPv6 address in brackets"},
      {{"-d", "socket://::1:9100"},
       "-d socket://::1:9100: expected socket://HOST:PORT with a host name, an IPv4 address or an IPv6 address in brackets"},
      {{"-d", "socket://[::1]"}, "-d socket://[::1]: expected socket://HOST:PORT with a port from 1 to 65535"},
      {{"-d", "socket://printer:65536"}, "-d socket://printer:65536: expected socket://HOST:PORT with a port from 1 to 65535"},
      {{"-d", "socket://printer:9100/queue"},
       "-d socket://printer:9100/queue: expected socket://HOST:PORT with a port from 1 to 65535"},
      {{"-d", "socket://printer:9100?retry=1"},
       "-d socket://printer:9100?retry=1: expected socket://HOST:PORT or socket://HOST:PORT?timeout=SECONDS with 1 to 3600 seconds"},
      {{"-d", "socket://printer:9100?timeout=0"},
       "-d socket://printer:9100?timeout=0: expected socket://HOST:PORT or socket://HOST:PORT?timeout=SECONDS with 1 to 3600 seconds"},
      {{"-d", "socket://printer:9100?timeout=5", "--timeout", "5"},
       "--timeout 5: expected the timeout once: the URI already names one"},
      {{"-d", "socket://printer:9100", "--timeout", "3601"},
       "--timeout 3601: expected a number of seconds from 1 to 3600 after --timeout"},
      {{"-d", "socket://printer:9100", "--timeout", "0"}, "--timeout 0: expected a number of seconds from 1 to 3600 after --timeout"},
      {{"--output", Path("out.prn"), "--timeout", "5"}, "--timeout 5: expected a socket:// printer after -d"},
      {{"-t", "--output", Path("out.prn")}, "-t: expected the document name after -t (--title=TEXT for one that starts with -)"},
      {{"--output", Path("out.prn"), "--title"},
       "--title: expected the document name after --title (--title=TEXT for one that starts with -)"},
      {{"--output", "-d", file}, "--output: expected a file name or - after --output (./NAME for a file that starts with -)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    Write(file, old);
    std::vector<std::string> args{kTool, "--pages", "1"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    Env env = FakeDriver();
    env["TMPDIR"] = logs.str();
    auto r = tooltest::Run(args, env, logs.str());
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "rt7700-print: command line: " + c.message + "\n");
    EXPECT_EQ(Files(dir.path()), std::vector<std::string>{"existing.prn"});
    EXPECT_EQ(ReadFile(file), old);
  }
  // A name that starts with - is still a title when given with =.
  auto r = tooltest::Run({kTool, "--pages", "1", "--title=-draft-", "--output", Path("out.prn")}, FakeDriver(), logs.str());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.rfind("rt7700-print: \"-draft-\": 1 page", 0), 0u) << r.err;
}

}  // namespace
