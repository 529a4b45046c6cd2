#include "delivery.h"

#include <fcntl.h>
#include <linux/sockios.h>
#include <netdb.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "devices/usb_printers.h"
#include "platform/spooler_admin.h"
#include "platform/test_hooks.h"
#include "platform/utf16.h"
#include "win/error.h"

namespace platform::spooler {
namespace {

std::mutex g_memoryLock;
std::map<std::u16string, std::vector<uint8_t>>& MemoryOutputs() {
  static std::map<std::u16string, std::vector<uint8_t>> outputs;
  return outputs;
}

using Clock = std::chrono::steady_clock;

DWORD FileError(int e) {
  return e == ENOSPC || e == EDQUOT ? ERROR_DISK_FULL : e == EPIPE ? ERROR_NETNAME_DELETED : ERROR_WRITE_FAULT;
}

DWORD NetworkError(int e) {
  switch (e) {
    case ECONNREFUSED: return ERROR_CONNECTION_REFUSED;
    case EHOSTUNREACH:
    case ENETUNREACH:
    case ENETDOWN:
    case EHOSTDOWN: return ERROR_HOST_UNREACHABLE;
    case ETIMEDOUT: return ERROR_TIMEOUT;
    case EPIPE:
    case ECONNRESET:
    case ECONNABORTED:
    case ENOTCONN: return ERROR_NETNAME_DELETED;  // a reset that came before our shutdown
    default: return ERROR_WRITE_FAULT;
  }
}

DWORD ResolverError(int e) {
  switch (e) {
    case EAI_SERVICE: return ERROR_BAD_NETPATH;
    case EAI_MEMORY: return ERROR_NOT_ENOUGH_MEMORY;
    case EAI_SYSTEM: return ERROR_WRITE_FAULT;
    default: return WSAHOST_NOT_FOUND;
  }
}

// The events of `events` that are ready on fd, 0 when the deadline passes first, -1 on failure.
int WaitFor(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd p{fd, events, 0};
    int n = ::poll(&p, 1, static_cast<int>(std::clamp<long long>(left, 0, 60000)));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n > 0) return p.revents;
    if (left <= 60000) return 0;
  }
}

class MemoryDelivery : public Delivery {
 public:
  explicit MemoryDelivery(std::u16string printer) : printer_(std::move(printer)) {}
  bool Send(const uint8_t* data, size_t size) override {
    std::lock_guard g(g_memoryLock);
    auto& out = MemoryOutputs()[printer_];
    out.insert(out.end(), data, data + size);
    return true;
  }
  bool Finish() override { return true; }
  void Abandon() override {}

 private:
  std::u16string printer_;
};

// A file written from the start for each job, or a device file that must already exist.
class FileDelivery : public Delivery {
 public:
  FileDelivery(std::string path, bool device) : path_(std::move(path)), device_(device) {}
  ~FileDelivery() override { Close(); }
  bool Send(const uint8_t* data, size_t size) override {
    if (fd_ < 0 && Error() == 0) {
      fd_ = device_ ? ::open(path_.c_str(), O_WRONLY | O_CLOEXEC)
                    : ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      if (fd_ < 0) Fail(errno == ENOSPC || errno == EDQUOT ? ERROR_DISK_FULL : ERROR_BAD_NETPATH);
    }
    if (Error() != 0) return false;
    while (size > 0) {
      ssize_t n = ::write(fd_, data, size);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return Fail(n < 0 ? FileError(errno) : ERROR_WRITE_FAULT);
      data += n;
      size -= static_cast<size_t>(n);
    }
    return true;
  }
  bool Finish() override {
    if (fd_ < 0 && Error() == 0 && !device_) Send(nullptr, 0);  // an empty job still makes its file
    if (fd_ >= 0 && ::close(fd_) != 0 && errno != EINTR) Fail(FileError(errno));
    fd_ = -1;
    return Error() == 0;
  }
  void Abandon() override { Close(); }

 private:
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  std::string path_;
  bool device_;
  int fd_ = -1;
};

// A raw TCP printer: one connection per job, made at the first byte. Every wait is bounded by the
// timeout: connecting, each stretch in which the printer takes no byte, and the wait for the
// printer to close its side once the job is sent. Only that close, with every byte acknowledged,
// shows that the printer took the whole job.
class SocketDelivery : public Delivery {
 public:
  SocketDelivery(std::string host, std::string service, std::chrono::milliseconds timeout)
      : host_(std::move(host)), service_(std::move(service)), timeout_(timeout) {}
  ~SocketDelivery() override { Close(); }
  bool Send(const uint8_t* data, size_t size) override {
    if (fd_ < 0 && Error() == 0) Connect();
    if (Error() != 0) return false;
    auto deadline = Clock::now() + timeout_;
    while (size > 0) {
      ssize_t n = ::send(fd_, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) {
        data += n;
        size -= static_cast<size_t>(n);
        deadline = Clock::now() + timeout_;
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n == 0) return Fail(ERROR_WRITE_FAULT);
      if (errno != EAGAIN && errno != EWOULDBLOCK) return Fail(NetworkError(errno));
      // What the printer says meanwhile is read and dropped, so it never waits on us.
      int ready = WaitFor(fd_, static_cast<short>(POLLOUT | (peerClosed_ ? 0 : POLLIN)), deadline);
      if (ready == 0) return Fail(ERROR_TIMEOUT);
      if (ready < 0) return Fail(ERROR_WRITE_FAULT);
      if ((ready & POLLIN) && !Drain()) return false;
    }
    return true;
  }
  bool Finish() override {
    if (fd_ < 0 && Error() == 0) Connect();
    if (Error() == 0 && ::shutdown(fd_, SHUT_WR) != 0) Fail(NetworkError(errno));
    if (Error() == 0) WaitForClose();
    Close();
    return Error() == 0;
  }
  void Abandon() override { Close(); }

 private:
  void Connect() {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (int e = ::getaddrinfo(host_.c_str(), service_.c_str(), &hints, &list); e != 0) {
      Fail(ResolverError(e));
      return;
    }
    DWORD why = ERROR_HOST_UNREACHABLE;
    for (addrinfo* a = list; a != nullptr && fd_ < 0; a = a->ai_next) {
      int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
      if (fd < 0) continue;
      int e = 0;
      if (::connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
        e = errno;
        if (e == EINPROGRESS || e == EINTR) {
          int ready = WaitFor(fd, POLLOUT, Clock::now() + timeout_);
          socklen_t len = sizeof e;
          if (ready == 0) {
            e = ETIMEDOUT;
          } else if (ready < 0 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &e, &len) != 0) {
            e = errno;
          }
        }
      }
      if (e == 0) {
        fd_ = fd;
      } else {
        why = NetworkError(e);
        ::close(fd);
      }
    }
    ::freeaddrinfo(list);
    if (fd_ < 0) Fail(why);
  }

  // Reads and drops what is waiting; notes the printer's close. False when the connection failed.
  bool Drain() {
    char sink[4096];
    for (;;) {
      ssize_t n = ::recv(fd_, sink, sizeof sink, MSG_DONTWAIT);
      if (n > 0) continue;
      if (n == 0) {
        peerClosed_ = true;
        return true;
      }
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return true;
      return Fail(NetworkError(errno));
    }
  }

  void WaitForClose() {
    auto deadline = Clock::now() + timeout_;
    while (!peerClosed_) {
      int ready = WaitFor(fd_, POLLIN, deadline);
      if (ready == 0) {
        Fail(ERROR_TIMEOUT);
        return;
      }
      if (ready < 0 || !Drain()) {
        Fail(ERROR_WRITE_FAULT);
        return;
      }
    }
    // A printer that closed before reading everything resets the connection instead of
    // acknowledging the rest (our end-of-data mark counts as one byte here).
    for (;;) {
      int pending = 0, e = 0;
      socklen_t len = sizeof e;
      if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &e, &len) == 0 && e != 0) {
        Fail(NetworkError(e));
        return;
      }
      if (::ioctl(fd_, SIOCOUTQ, &pending) != 0) {
        Fail(ERROR_WRITE_FAULT);
        return;
      }
      if (pending == 0) return;
      if (Clock::now() >= deadline) {
        Fail(ERROR_TIMEOUT);
        return;
      }
      pollfd p{fd_, 0, 0};
      (void)::poll(&p, 1, 10);
    }
  }

  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  std::string host_, service_;
  std::chrono::milliseconds timeout_;
  int fd_ = -1;
  bool peerClosed_ = false;
};

// "SECONDS" with an optional fraction, above zero and at most a day; nullopt when it is not.
std::optional<std::chrono::milliseconds> ParseTimeout(const std::string& text) {
  size_t dot = text.find('.');
  std::string whole = text.substr(0, dot), fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
  auto digits = [](const std::string& s) { return s.find_first_not_of("0123456789") == std::string::npos; };
  if (whole.empty() || whole.size() > 5 || !digits(whole) || !digits(fraction)) return std::nullopt;
  if (dot != std::string::npos && fraction.empty()) return std::nullopt;
  long long ms = std::stoll(whole) * 1000;
  for (size_t k = 0, scale = 100; k < fraction.size() && k < 3; ++k, scale /= 10)
    ms += (fraction[k] - '0') * static_cast<long long>(scale);
  if (ms <= 0 || ms > 86400 * 1000LL) return std::nullopt;
  return std::chrono::milliseconds(ms);
}

// socket://HOST[:PORT][/][?timeout=SECONDS]; HOST may be [an IPv6 address].
std::unique_ptr<Delivery> OpenSocket(std::string rest) {
  auto timeout = std::chrono::milliseconds(kDefaultSocketTimeoutSeconds * 1000);
  if (size_t query = rest.find('?'); query != std::string::npos) {
    std::string option = rest.substr(query + 1);
    rest.resize(query);
    const std::string key = "timeout=";
    if (option.rfind(key, 0) != 0) return nullptr;
    auto parsed = ParseTimeout(option.substr(key.size()));
    if (!parsed) return nullptr;
    timeout = *parsed;
  }
  while (!rest.empty() && rest.back() == '/') rest.pop_back();
  std::string host = rest, service = "9100";
  if (!rest.empty() && rest[0] == '[') {  // [v6 address]:port
    size_t close = rest.find(']');
    if (close == std::string::npos) return nullptr;
    host = rest.substr(1, close - 1);
    if (close + 1 < rest.size()) {
      if (rest[close + 1] != ':') return nullptr;
      service = rest.substr(close + 2);
    }
  } else if (size_t colon = rest.rfind(':'); colon != std::string::npos) {
    host = rest.substr(0, colon);
    service = rest.substr(colon + 1);
  }
  if (host.empty() || service.empty() || host.find_first_of("/?#@") != std::string::npos) return nullptr;
  return std::make_unique<SocketDelivery>(host, service, timeout);
}

// Tests read memory printers only through TakeMemoryPrinterBytes; drop what a test left, whatever
// platform root its printers were kept under.
[[maybe_unused]] const bool g_registered = [] {
  hooks::OnReset([] {
    std::lock_guard g(g_memoryLock);
    MemoryOutputs().clear();
  });
  return true;
}();

}  // namespace

std::unique_ptr<Delivery> OpenDelivery(const std::string& port, const std::u16string& printerName) {
  if (port == "MEMORY:") return std::make_unique<MemoryDelivery>(printerName);
  if (port.rfind("FILE:", 0) == 0 && port.size() > 5) return std::make_unique<FileDelivery>(port.substr(5), false);
  if (!port.empty() && port[0] == '/') return std::make_unique<FileDelivery>(port, true);
  const std::string scheme = "socket://";
  if (port.rfind(scheme, 0) == 0) return OpenSocket(port.substr(scheme.size()));
  // The USB monitor's ports go to the present USB printer of that port number; a standard TCP/IP
  // port is named after its printer's address and prints raw on port 9100. WSD ports name a
  // device this platform cannot discover, so nothing goes there.
  if (auto usb = devices::UsbPortNumber(Utf8ToUtf16(port))) return devices::OpenUsbPortDelivery(*usb);
  if (port.rfind("IP_", 0) == 0 && port.size() > 3) {
    std::string host = port.substr(3);
    return OpenSocket(host.find(':') != std::string::npos ? "[" + host + "]:9100" : host + ":9100");
  }
  return nullptr;
}

std::unique_ptr<Delivery> OpenOutputFile(const std::string& output, const std::u16string& printerName) {
  if (output == "MEMORY:" || output.rfind("FILE:", 0) == 0 || output.rfind("socket://", 0) == 0 ||
      devices::UsbPortNumber(Utf8ToUtf16(output)))
    return OpenDelivery(output, printerName);
  if (output.empty()) return nullptr;
  struct stat st {};
  bool device = output[0] == '/' && ::stat(output.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
  return std::make_unique<FileDelivery>(output, device);
}

}  // namespace platform::spooler

namespace platform::hooks {

std::vector<uint8_t> TakeMemoryPrinterBytes(const std::u16string& printer) {
  std::lock_guard g(spooler::g_memoryLock);
  std::vector<uint8_t> out;
  auto& outputs = spooler::MemoryOutputs();
  if (auto it = outputs.find(printer); it != outputs.end()) out.swap(it->second);
  return out;
}

}  // namespace platform::hooks
