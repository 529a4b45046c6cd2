#include "support/pipe_listener.h"

#include <cstring>

#include "win/error.h"
#include "win/namedpipe.h"

namespace testsupport {

PipeListener::PipeListener(std::u16string pipe, DWORD instances)
    : pipe_(std::move(pipe)),
      handle_(CreateNamedPipeW(pipe_.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                               instances, 512, 512, 0, nullptr)) {}

PipeListener::~PipeListener() {
  if (thread_.joinable()) {
    {
      std::lock_guard g(lock_);
      stop_ = true;
    }
    // Clients of our own wake the server while it waits for one.
    for (int tries = 0; tries < 1000; ++tries) {
      {
        std::lock_guard g(lock_);
        if (done_) break;
      }
      HANDLE poke = CreateFileW(pipe_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      if (poke != INVALID_HANDLE_VALUE) CloseHandle(poke);
    }
    thread_.join();
  }
  if (Serving()) CloseHandle(handle_);
}

void PipeListener::Start() {
  if (Serving()) thread_ = std::thread([this] { Serve(); });
}

void PipeListener::Serve() {
  for (;;) {
    BOOL connected = ConnectNamedPipe(handle_, nullptr);
    {
      std::lock_guard g(lock_);
      if (stop_ || (!connected && GetLastError() != ERROR_PIPE_CONNECTED)) {
        done_ = true;
        return;
      }
      ++clients_;
    }
    changed_.notify_all();
    uint8_t buffer[256];
    DWORD read = 0;
    while (ReadFile(handle_, buffer, sizeof buffer, &read, nullptr)) {
      {
        std::lock_guard g(lock_);
        messages_.emplace_back(buffer, buffer + read);
      }
      changed_.notify_all();
    }
    DisconnectNamedPipe(handle_);
  }
}

std::vector<std::vector<uint8_t>> PipeListener::WaitForMessages(size_t count, std::chrono::seconds bound) {
  std::unique_lock g(lock_);
  changed_.wait_for(g, bound, [&] { return messages_.size() >= count; });
  return messages_;
}

int PipeListener::Clients() {
  std::lock_guard g(lock_);
  return clients_;
}

std::vector<uint8_t> CloseMessage() {
  const char16_t text[] = u"Close";
  std::vector<uint8_t> bytes(sizeof text);
  std::memcpy(bytes.data(), text, sizeof text);
  return bytes;
}

}  // namespace testsupport
