// A named-pipe server on its own thread, standing in for a helper program: it takes clients one
// after another and keeps every message they send.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "win/base.h"

namespace testsupport {

class PipeListener {
 public:
  // Creates the pipe at once (check Serving()); `instances` clients may wait to be taken.
  explicit PipeListener(std::u16string pipe, DWORD instances = 1);
  ~PipeListener();
  PipeListener(const PipeListener&) = delete;
  PipeListener& operator=(const PipeListener&) = delete;

  bool Serving() const { return handle_ != INVALID_HANDLE_VALUE; }
  // Starts taking clients; until then connecting clients wait in the queue.
  void Start();
  // The messages received so far once there are at least `count`, or when `bound` has passed.
  std::vector<std::vector<uint8_t>> WaitForMessages(size_t count, std::chrono::seconds bound);
  // Clients taken so far, counting those that sent nothing.
  int Clients();

 private:
  void Serve();

  std::u16string pipe_;
  HANDLE handle_;
  std::thread thread_;
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<std::vector<uint8_t>> messages_;
  int clients_ = 0;
  bool stop_ = false;
  bool done_ = false;
};

// The 12 bytes a helper is told to quit with.
std::vector<uint8_t> CloseMessage();

}  // namespace testsupport
