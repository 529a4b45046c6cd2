#include "delivery.h"

#include <fcntl.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <mutex>
#include <vector>

#include "platform/spooler_admin.h"
#include "platform/test_hooks.h"

namespace platform::spooler {
namespace {

std::mutex g_memoryLock;
std::map<std::u16string, std::vector<uint8_t>>& MemoryOutputs() {
  static std::map<std::u16string, std::vector<uint8_t>> outputs;
  return outputs;
}

bool WriteAll(int fd, const uint8_t* data, size_t size, bool socket) {
  while (size > 0) {
    ssize_t n = socket ? ::send(fd, data, size, MSG_NOSIGNAL) : ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
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
    if (fd_ < 0 && !failed_) {
      fd_ = device_ ? ::open(path_.c_str(), O_WRONLY | O_CLOEXEC)
                    : ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      failed_ = fd_ < 0;
    }
    if (failed_ || !WriteAll(fd_, data, size, false)) {
      failed_ = true;
      return false;
    }
    return true;
  }
  bool Finish() override {
    if (fd_ < 0 && !failed_ && !device_) Send(nullptr, 0);  // an empty job still makes its file
    bool ok = !failed_;
    Close();
    return ok;
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
  bool failed_ = false;
};

// A raw TCP printer ("socket://host:port"): one connection per job, made at the first byte.
class SocketDelivery : public Delivery {
 public:
  SocketDelivery(std::string host, std::string port) : host_(std::move(host)), port_(std::move(port)) {}
  ~SocketDelivery() override { Close(); }
  bool Send(const uint8_t* data, size_t size) override {
    if (fd_ < 0 && !failed_) Connect();
    if (failed_ || !WriteAll(fd_, data, size, true)) {
      failed_ = true;
      return false;
    }
    return true;
  }
  bool Finish() override {
    if (fd_ < 0 && !failed_) Connect();
    bool ok = !failed_;
    if (fd_ >= 0) ::shutdown(fd_, SHUT_WR);
    Close();
    return ok;
  }
  void Abandon() override { Close(); }

 private:
  void Connect() {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (::getaddrinfo(host_.c_str(), port_.c_str(), &hints, &list) != 0) {
      failed_ = true;
      return;
    }
    for (addrinfo* a = list; a != nullptr && fd_ < 0; a = a->ai_next) {
      int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
      if (fd < 0) continue;
      if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0) {
        fd_ = fd;
      } else {
        ::close(fd);
      }
    }
    ::freeaddrinfo(list);
    failed_ = fd_ < 0;
  }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  std::string host_, port_;
  int fd_ = -1;
  bool failed_ = false;
};

}  // namespace

std::unique_ptr<Delivery> OpenDelivery(const std::string& port, const std::u16string& printerName) {
  if (port == "MEMORY:") return std::make_unique<MemoryDelivery>(printerName);
  if (port.rfind("FILE:", 0) == 0 && port.size() > 5) return std::make_unique<FileDelivery>(port.substr(5), false);
  if (!port.empty() && port[0] == '/') return std::make_unique<FileDelivery>(port, true);
  const std::string scheme = "socket://";
  if (port.rfind(scheme, 0) == 0) {
    std::string rest = port.substr(scheme.size());
    while (!rest.empty() && rest.back() == '/') rest.pop_back();
    std::string host = rest, service = "9100";
    if (!rest.empty() && rest[0] == '[') {  // [v6 address]:port
      size_t close = rest.find(']');
      if (close == std::string::npos) return nullptr;
      host = rest.substr(1, close - 1);
      if (close + 1 < rest.size() && rest[close + 1] == ':') service = rest.substr(close + 2);
    } else if (size_t colon = rest.rfind(':'); colon != std::string::npos) {
      host = rest.substr(0, colon);
      service = rest.substr(colon + 1);
    }
    if (host.empty() || service.empty()) return nullptr;
    return std::make_unique<SocketDelivery>(host, service);
  }
  return nullptr;
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
