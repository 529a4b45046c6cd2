// Where a job's bytes go, chosen by the printer's port.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "win/base.h"

namespace platform::spooler {

class Delivery {
 public:
  virtual ~Delivery() = default;
  // Sends all bytes or fails; a failure is final for the job.
  virtual bool Send(const uint8_t* data, size_t size) = 0;
  // Completes the job (closes the file, or ends the connection and waits for the printer to close
  // its side); false when that fails.
  virtual bool Finish() = 0;
  // Drops the job's output (a cancelled or aborted job).
  virtual void Abandon() = 0;
  // Why the delivery failed, as a platform error code; ERROR_SUCCESS while it has not.
  DWORD Error() const { return error_; }

 protected:
  // Records the first failure only: what comes after is a consequence.
  bool Fail(DWORD error) {
    if (error_ == 0) error_ = error;
    return false;
  }

 private:
  DWORD error_ = 0;
};

// Seconds a network printer may go without taking a byte (or without closing once the job is
// sent) before the job fails, unless its port says "?timeout=SECONDS".
constexpr int kDefaultSocketTimeoutSeconds = 60;

// "FILE:/path", an absolute device path, "socket://host:port[?timeout=seconds]" (host may be a
// bracketed IPv6 address), or "MEMORY:" (kept under the printer's name for the tests). nullptr
// for a port nothing can be sent to.
std::unique_ptr<Delivery> OpenDelivery(const std::string& port, const std::u16string& printerName);

// Where DOC_INFO_1W.pOutputFile sends a job: a port as above, or else a file name. An absolute
// path of something that is not a regular file (a device, a pipe) is written as a device.
std::unique_ptr<Delivery> OpenOutputFile(const std::string& output, const std::u16string& printerName);

}  // namespace platform::spooler
