// rt7700-print against network printers that misbehave, and outputs that fill up: the job fails
// with exit status 1 within the timeout, and the message says what happened.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "support/loopback.h"
#include "support/temp_dir.h"
#include "tool_runner.h"

namespace {

const std::string kTool = TOOL_PATH;

tooltest::Env FakeDriver() { return {{"RT7700_TEST_MODE", "1"}, {"RT7700_TEST_DRIVER", FAKE_DRIVER_PATH}}; }

// A listening socket on 127.0.0.1; `serve` runs on its own thread. Every wait of the printer
// ends once the test is done with it, so a run that went wrong cannot stall the test.
class LoopbackPrinter {
 public:
  explicit LoopbackPrinter(std::function<void(LoopbackPrinter&)> serve) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    listen(listener_, 1);
    getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this, serve] {
      serve(*this);
      finished_ = true;
    });
  }
  ~LoopbackPrinter() {
    done_ = true;
    if (thread_.joinable()) thread_.join();
    close(listener_);
  }
  // Lets the printer finish what it is doing (ten seconds at most), then stops it.
  void Finish() {
    for (int i = 0; i < 500 && !finished_; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    done_ = true;
    if (thread_.joinable()) thread_.join();
  }
  std::string HostPort() const { return "127.0.0.1:" + std::to_string(port_); }

  // The next connection, or -1 once the test is done.
  int Accept() {
    while (!done_) {
      pollfd p{listener_, POLLIN, 0};
      if (poll(&p, 1, 20) == 1) return accept(listener_, nullptr, nullptr);
    }
    return -1;
  }
  // Reads until the tool closes its side or the test is done.
  std::string ReadAll(int fd) {
    std::string bytes;
    char buffer[65536];
    while (!done_) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 20) != 1) continue;
      ssize_t n = read(fd, buffer, sizeof buffer);
      if (n <= 0) break;
      bytes.append(buffer, static_cast<size_t>(n));
    }
    return bytes;
  }
  void WaitUntilDone() {
    while (!done_) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }

 private:
  std::atomic<bool> done_{false};
  std::atomic<bool> finished_{false};
  int listener_ = -1;
  int port_ = 0;
  std::thread thread_;
};

// Runs the tool, killing it after 120 seconds (the sanitizer build fills a socket slowly): a run
// that hangs fails instead of stalling the suite.
tooltest::Result RunWithin(const std::vector<std::string>& args, const std::string& dir) {
  pid_t pid = tooltest::Start(args, FakeDriver(), dir);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ADD_FAILURE() << "the run did not end within 120 seconds";
      kill(pid, SIGKILL);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  auto r = tooltest::Wait(pid, dir);  // collects the output; the status comes from the loop
  if (r.status == -1) r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return r;
}

class SocketDeliveryTest : public testing::Test {
 protected:
  testsupport::TempDir dir;
};

TEST_F(SocketDeliveryTest, APrinterThatClosesEarlyFailsTheJob) {
  LoopbackPrinter printer([](LoopbackPrinter& self) {
    int c = self.Accept();
    if (c < 0) return;
    char buffer[4096];
    (void)read(c, buffer, sizeof buffer);
    linger reset{1, 0};  // gone at once, as a printer that resets
    setsockopt(c, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    close(c);
  });
  auto r = RunWithin({kTool, "--pages", "1000000", "-d", "socket://" + printer.HostPort(), "--timeout", "2"}, dir.str());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "rt7700-print: the job failed: the printer at " + printer.HostPort() +
                       " closed the connection before it took the whole job\n");
}

TEST_F(SocketDeliveryTest, APrinterThatNeverReadsTimesOut) {
  LoopbackPrinter printer([](LoopbackPrinter& self) {
    int c = self.Accept();
    self.WaitUntilDone();
    if (c >= 0) close(c);
  });
  auto r = RunWithin({kTool, "--pages", "1000000", "-d", "socket://" + printer.HostPort(), "--timeout", "2"}, dir.str());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "rt7700-print: the job failed: the printer at " + printer.HostPort() +
                       " made no progress for 2 seconds (see --timeout)\n");
}

TEST_F(SocketDeliveryTest, APrinterThatNeverAcceptsOrFinishesTimesOut) {
  // The kernel completes the connection; nobody takes it.
  LoopbackPrinter printer([](LoopbackPrinter& self) { self.WaitUntilDone(); });
  auto r = RunWithin({kTool, "--pages", "1", "-d", "socket://" + printer.HostPort() + "?timeout=2"}, dir.str());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "rt7700-print: the job failed: the printer at " + printer.HostPort() +
                       " made no progress for 2 seconds (see --timeout)\n");
}

TEST_F(SocketDeliveryTest, APrinterThatTakesTheJobWithATimeoutGetsAllOfIt) {
  std::string received;
  LoopbackPrinter printer([&received](LoopbackPrinter& self) {
    int c = self.Accept();
    if (c < 0) return;
    received = self.ReadAll(c);
    close(c);
  });
  auto r = RunWithin({kTool, "--pages", "2", "-d", "socket://" + printer.HostPort(), "--timeout", "2"}, dir.str());
  printer.Finish();
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "rt7700-print: \"rt7700-print test job\": 2 pages, 2 sheets to socket://" + printer.HostPort() + "\n");
  EXPECT_EQ(received, "StartDoc\nStartPage\nSendPage\nStartPage\nSendPage\nEndDoc\n");
}

TEST_F(SocketDeliveryTest, RefusedConnectionsUnknownHostsAndFullDisksSayWhichItWas) {
  std::string refused = testsupport::RefusingLoopbackPrinter();
  struct Case {
    std::string device, message;
  };
  const Case cases[] = {
      {refused, "the printer at " + refused.substr(9) + " refused the connection"},
      {"socket://printer.invalid:9100", "the printer's host name printer.invalid does not resolve"},
      {"/dev/full", "the disk is full: /dev/full"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{kTool, "--pages", "1", "-d", c.device};
    if (c.device[0] != '/') args.insert(args.end(), {"--timeout", "2"});
    auto r = RunWithin(args, dir.str());
    EXPECT_EQ(r.status, 1) << c.device;
    EXPECT_EQ(r.err, "rt7700-print: the job failed: " + c.message + "\n");
  }
}

}  // namespace
