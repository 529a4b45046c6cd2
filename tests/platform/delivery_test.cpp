// How a job reaches its port, and what the spooler says when it does not: printers on loopback
// listeners that behave badly (close early, never read, never accept), ports that name nothing,
// and a full disk. Every job must end, with the reason as its last error.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/spooler_admin.h"
#include "platform/test_hooks.h"
#include "support/loopback.h"
#include "support/temp_dir.h"
#include "win/error.h"
#include "win/spooler.h"

namespace {

namespace spooler = platform::spooler;

// Bounds a test whose delivery would otherwise hang: the listener drops every connection after
// this long, so a delivery without its own timeout fails instead of blocking the run.
constexpr int kHangBoundMs = 30000;

// A printer on a loopback port whose behaviour for each accepted connection the test chooses.
class LoopbackPrinter {
 public:
  using Behaviour = std::function<void(int connection, const std::atomic<bool>& done)>;

  explicit LoopbackPrinter(int backlog) {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ok_ = fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&a), len) == 0 &&
          getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) == 0 && listen(fd_, backlog) == 0;
    port_ = ntohs(a.sin_port);
  }
  explicit LoopbackPrinter(Behaviour behaviour) : LoopbackPrinter(4) {
    server_ = std::thread([this, behaviour] {
      while (!done_) {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0) continue;
        int c = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (c < 0) continue;
        behaviour(c, done_);
        close(c);
      }
    });
  }
  ~LoopbackPrinter() {
    done_ = true;
    if (server_.joinable()) server_.join();
    if (fd_ >= 0) close(fd_);
  }
  bool ok() const { return ok_; }
  // Stops listening: queued and new connections are refused.
  void StopListening() { shutdown(fd_, SHUT_RDWR); }
  std::string Uri(const std::string& host = "127.0.0.1", const std::string& query = "?timeout=1") const {
    return "socket://" + host + ":" + std::to_string(port_) + query;
  }
  int port() const { return port_; }

  // Waits until the test is over or the hang bound has passed.
  static void Hold(const std::atomic<bool>& done) {
    for (int waited = 0; !done && waited < kHangBoundMs; waited += 20) usleep(20000);
  }

 private:
  int fd_ = -1;
  int port_ = 0;
  bool ok_ = false;
  std::atomic<bool> done_{false};
  std::thread server_;
};

std::string ReadAll(int c, const std::atomic<bool>& done) {
  std::string got;
  char buf[65536];
  for (int waited = 0; !done && waited < kHangBoundMs;) {
    pollfd p{c, POLLIN, 0};
    if (poll(&p, 1, 20) == 0) {
      waited += 20;
      continue;
    }
    ssize_t n = read(c, buf, sizeof buf);
    if (n <= 0) break;
    got.append(buf, static_cast<size_t>(n));
  }
  return got;
}

// What happened to one job: the error of the first call that failed (0 if none did) and which.
struct Outcome {
  DWORD error = ERROR_SUCCESS;
  std::string failedAt;
};

class Delivery : public testing::Test {
 protected:
  void SetUp() override { platform::hooks::SetPlatformRoot(root_.str()); }

  // Prints `bytes` in pieces to a printer on `port`, then ends the job.
  Outcome Print(const std::string& port, size_t bytes) {
    Outcome out;
    EXPECT_TRUE(spooler::AddPrinter({u"P", u"Taliro R7700 PCL5e", "", "", u"winprint", port, {}}));
    HANDLE h = nullptr;
    EXPECT_TRUE(OpenPrinterW(u"P", &h, nullptr));
    DOC_INFO_1W doc{const_cast<LPWSTR>(u"Job"), nullptr, nullptr};
    SetLastError(0xDEAD);
    if (StartDocPrinterW(h, 1, reinterpret_cast<LPBYTE>(&doc)) == 0) {
      out = {GetLastError(), "StartDocPrinter"};
      ClosePrinter(h);
      return out;
    }
    std::string piece(65536, 'x');
    for (size_t sent = 0; sent < bytes; sent += piece.size()) {
      DWORD written = 0;
      SetLastError(0xDEAD);
      if (!WritePrinter(h, piece.data(), static_cast<DWORD>(std::min(piece.size(), bytes - sent)), &written)) {
        out = {GetLastError(), "WritePrinter"};
        break;
      }
    }
    SetLastError(0xDEAD);
    BOOL ended = EndDocPrinter(h);
    DWORD endError = GetLastError();
    if (out.failedAt.empty() && !ended) out = {endError, "EndDocPrinter"};
    // A failed job says so at its end too, with the same reason.
    if (!out.failedAt.empty()) {
      EXPECT_FALSE(ended);
      EXPECT_EQ(endError, out.error);
    }
    ClosePrinter(h);
    return out;
  }

  testsupport::TempDir root_;
};

TEST_F(Delivery, APrinterThatReadsAndClosesTakesTheJob) {
  std::string received;
  LoopbackPrinter printer([&](int c, const std::atomic<bool>& done) { received = ReadAll(c, done); });
  ASSERT_TRUE(printer.ok());
  Outcome o = Print(printer.Uri("127.0.0.1", "?timeout=2.5"), 300000);
  EXPECT_EQ(o.failedAt, "");
  EXPECT_EQ(o.error, ERROR_SUCCESS);
  EXPECT_EQ(received.size(), 300000u);
}

TEST_F(Delivery, APrinterThatClosesEarlyFailsTheJob) {
  LoopbackPrinter printer([](int c, const std::atomic<bool>&) {
    char ten[10];
    size_t got = 0;
    for (ssize_t n; got < sizeof ten && (n = read(c, ten + got, sizeof ten - got)) > 0;) got += static_cast<size_t>(n);
  });
  ASSERT_TRUE(printer.ok());
  // All of a small job fits in the socket buffers: only the end of the job can tell.
  Outcome small = Print(printer.Uri(), 200);
  EXPECT_EQ(small.failedAt, "EndDocPrinter");
  EXPECT_EQ(small.error, ERROR_NETNAME_DELETED);
  Outcome large = Print(printer.Uri(), 8 << 20);
  EXPECT_NE(large.failedAt, "");
  EXPECT_EQ(large.error, ERROR_NETNAME_DELETED);
}

TEST_F(Delivery, APrinterThatNeverReadsTimesOut) {
  LoopbackPrinter printer([](int, const std::atomic<bool>& done) { LoopbackPrinter::Hold(done); });
  ASSERT_TRUE(printer.ok());
  Outcome small = Print(printer.Uri(), 200);  // sent, but the printer never closes its side
  EXPECT_EQ(small.failedAt, "EndDocPrinter");
  EXPECT_EQ(small.error, ERROR_TIMEOUT);
  Outcome large = Print(printer.Uri(), 64 << 20);  // the sending stops making progress
  EXPECT_EQ(large.failedAt, "WritePrinter");
  EXPECT_EQ(large.error, ERROR_TIMEOUT);
}

TEST_F(Delivery, APrinterThatNeverAcceptsTimesOut) {
  LoopbackPrinter printer(0);
  ASSERT_TRUE(printer.ok());
  // Fill the accept queue, so the job's connection is not completed either.
  std::vector<int> fillers;
  for (int i = 0; i < 2; ++i) {
    int f = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(printer.port()));
    connect(f, reinterpret_cast<sockaddr*>(&a), sizeof a);
    fillers.push_back(f);
  }
  // Whether the connection times out or is queued and never served, the job ends in time.
  std::atomic<bool> done{false};
  std::thread watchdog([&] {
    LoopbackPrinter::Hold(done);
    printer.StopListening();
  });
  Outcome o = Print(printer.Uri(), 200);
  done = true;
  watchdog.join();
  for (int f : fillers) close(f);
  EXPECT_NE(o.failedAt, "");
  EXPECT_EQ(o.error, ERROR_TIMEOUT);
}

TEST_F(Delivery, FailuresSayWhy) {
  Outcome refused = Print(testsupport::RefusingLoopbackPrinter(), 10);
  EXPECT_EQ(refused.failedAt, "WritePrinter");
  EXPECT_EQ(refused.error, ERROR_CONNECTION_REFUSED);

  Outcome unknownHost = Print("socket://no-such-printer.invalid:9100", 10);
  EXPECT_EQ(unknownHost.failedAt, "WritePrinter");
  EXPECT_EQ(unknownHost.error, WSAHOST_NOT_FOUND);

  Outcome full = Print("/dev/full", 10);
  EXPECT_EQ(full.failedAt, "WritePrinter");
  EXPECT_EQ(full.error, ERROR_DISK_FULL);

  Outcome noFolder = Print("FILE:" + root_.str() + "/no-such-folder/out.prn", 10);
  EXPECT_EQ(noFolder.failedAt, "WritePrinter");
  EXPECT_EQ(noFolder.error, ERROR_BAD_NETPATH);

  for (const char* port : {"LPT1:", "socket://", "socket://host:9100?timeout=soon", "socket://host:9100?timeout=0",
                           "socket://host:9100?wait=5", "socket://[::1"}) {
    Outcome o = Print(port, 10);
    EXPECT_EQ(o.failedAt, "StartDocPrinter") << port;
    EXPECT_EQ(o.error, ERROR_BAD_NETPATH) << port;
  }
}

}  // namespace
