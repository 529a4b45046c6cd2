// Files the system keeps and rewrites whole (settings, registry values, printers): read without
// surprises, replaced so that a crash leaves the old bytes or the new ones, and locked across
// processes while someone reads, changes and writes them back.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "win/base.h"

namespace platform {

// Reads the whole file into bytes. False with the last error set when it cannot: a missing
// file gives ERROR_FILE_NOT_FOUND (and no trace), anything else (a folder, no permission, a
// read error, more than maxBytes) a trace line and its own error.
[[nodiscard]] PLATFORM_API bool ReadWholeFile(const std::string& path, std::string& bytes,
                                              size_t maxBytes = size_t(1) << 30);

// Writes bytes to a new temporary file beside path ("<path>.tmp<random>"), syncs its data,
// renames it over path and syncs the folder. False with the last error set and a trace line
// when a step fails; the temporary is then gone and path keeps its old bytes (unless only the
// folder sync failed, when the new bytes are in place but may not survive a crash).
// Temporaries of writers killed before their rename are removed once ten minutes old.
[[nodiscard]] PLATFORM_API bool ReplaceFileDurably(const std::string& path, std::string_view bytes);

// An exclusive advisory lock on "<path>.lock", taken at construction (waiting for holders in
// this and other processes) and released at destruction. The lock file stays: removing it would
// let two processes lock two different files of the same name.
class PLATFORM_API FileLock {
 public:
  explicit FileLock(const std::string& path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  // False when the lock file could not be opened or locked (the last error says why).
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace platform

namespace platform::hooks {

// The steps of ReplaceFileDurably, in order.
enum class DurableStep { CreateTemporary, WriteData, SyncData, Rename, SyncFolder };
// Every later ReplaceFileDurably fails at this step as if the system had refused it (EIO);
// nothing: no failure.
PLATFORM_API void FailDurableReplaceAt(std::optional<DurableStep> step);

}  // namespace platform::hooks
