// Where a job's bytes go, chosen by the printer's port.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform::spooler {

class Delivery {
 public:
  virtual ~Delivery() = default;
  // Sends all bytes or fails; a failure is final for the job.
  virtual bool Send(const uint8_t* data, size_t size) = 0;
  // Completes the job (closes the file or connection); false when that fails.
  virtual bool Finish() = 0;
  // Drops the job's output (a cancelled or aborted job).
  virtual void Abandon() = 0;
};

// "FILE:/path", an absolute device path, "socket://host:port", or "MEMORY:" (kept under the
// printer's name for the tests). nullptr for a port nothing can be sent to.
std::unique_ptr<Delivery> OpenDelivery(const std::string& port, const std::u16string& printerName);

}  // namespace platform::spooler
