// Whole-file reads, durable replaces and cross-process locks for the files the system rewrites.
#include "platform/durable_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <random>

#include "platform/test_hooks.h"
#include "win/debug.h"
#include "win/error.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using hooks::DurableStep;

std::mutex g_hookLock;
std::optional<DurableStep> g_failAt;

[[maybe_unused]] const bool kRegistered = [] {
  hooks::OnReset([] {
    std::lock_guard g(g_hookLock);
    g_failAt.reset();
  });
  return true;
}();

// True (with errno set) when a test asked this step to fail.
bool Injected(DurableStep step) {
  std::lock_guard g(g_hookLock);
  if (g_failAt != step) return false;
  errno = EIO;
  return true;
}

DWORD ErrorFromErrno(int e, DWORD otherwise) {
  switch (e) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
    case ENAMETOOLONG: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ENOTEMPTY: return ERROR_ACCESS_DENIED;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    default: return otherwise;
  }
}

// Sets the last error from errno and says what failed on which file.
void Fail(const char* what, const std::string& path, int e, DWORD otherwise) {
  char line[512];
  std::snprintf(line, sizeof line, "platform: cannot %s %s: %s\n", what, path.c_str(), std::strerror(e));
  OutputDebugStringA(line);
  SetLastError(ErrorFromErrno(e, otherwise));
}

std::string TemporaryName(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  // Drawn per call: processes forked from one parent share every static value.
  std::random_device device;
  const unsigned long long random = (static_cast<unsigned long long>(device()) << 32) | device();
  return path + ".tmp" + std::to_string(random) + "-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
}

// A writer may be only slow, so its temporary is left alone for a while.
void RemoveAbandonedTemporaries(const std::string& path) {
  std::error_code ec;
  fs::path file(path);
  fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
  const std::string prefix = file.filename().string() + ".tmp";
  const auto cutoff = fs::file_time_type::clock::now() - std::chrono::minutes(10);
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.rfind(prefix, 0) != 0) continue;
    std::error_code timeError;
    auto written = fs::last_write_time(it->path(), timeError);
    if (!timeError && written < cutoff) fs::remove(it->path(), timeError);
  }
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// The folder's own entry must reach the disk too, or the rename may be lost in a crash.
bool SyncFolder(const std::string& path) {
  fs::path folder = fs::path(path).parent_path();
  if (folder.empty()) folder = ".";
  if (Injected(DurableStep::SyncFolder)) return false;
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::fsync(fd) == 0;
  int e = errno;
  ::close(fd);
  errno = e;
  return ok;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& bytes, size_t maxBytes) {
  bytes.clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) {
      SetLastError(ERROR_FILE_NOT_FOUND);
    } else {
      Fail("open", path, errno, ERROR_READ_FAULT);
    }
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    Fail("read", path, EISDIR, ERROR_READ_FAULT);
    return false;
  }
  char chunk[16384];
  for (;;) {
    ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      int e = errno;
      ::close(fd);
      Fail("read", path, e, ERROR_READ_FAULT);
      return false;
    }
    if (n == 0) break;
    if (bytes.size() + static_cast<size_t>(n) > maxBytes) {
      ::close(fd);
      Fail("read (too large)", path, EFBIG, ERROR_READ_FAULT);
      bytes.clear();
      return false;
    }
    bytes.append(chunk, static_cast<size_t>(n));
  }
  ::close(fd);
  return true;
}

bool ReplaceFileDurably(const std::string& path, std::string_view bytes) {
  RemoveAbandonedTemporaries(path);
  const std::string temp = TemporaryName(path);
  int fd = Injected(DurableStep::CreateTemporary) ? -1 : ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    Fail("create", temp, errno, ERROR_WRITE_FAULT);
    return false;
  }
  const char* failed = nullptr;
  const std::string* subject = &temp;
  if (Injected(DurableStep::WriteData) || !WriteAll(fd, bytes)) {
    failed = "write";
  } else if (Injected(DurableStep::SyncData) || ::fsync(fd) != 0) {
    failed = "sync";
  }
  int e = errno;
  if (::close(fd) != 0 && failed == nullptr) {
    failed = "write";
    e = errno;
  }
  if (failed == nullptr && (Injected(DurableStep::Rename) || ::rename(temp.c_str(), path.c_str()) != 0)) {
    failed = "rename a temporary over";
    subject = &path;
    e = errno;
  }
  if (failed != nullptr) {
    ::unlink(temp.c_str());
    Fail(failed, *subject, e, ERROR_WRITE_FAULT);
    return false;
  }
  if (!SyncFolder(path)) {
    Fail("sync the folder of", path, errno, ERROR_WRITE_FAULT);
    return false;
  }
  return true;
}

FileLock::FileLock(const std::string& path) {
  const std::string lockPath = path + ".lock";
  int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    Fail("open the lock", lockPath, errno, ERROR_ACCESS_DENIED);
    return;
  }
  int result;
  do {
    result = ::flock(fd, LOCK_EX);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    int e = errno;
    ::close(fd);
    Fail("lock", lockPath, e, ERROR_ACCESS_DENIED);
    return;
  }
  fd_ = fd;
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);  // closing the last descriptor releases the lock
}

}  // namespace platform

namespace platform::hooks {

void FailDurableReplaceAt(std::optional<DurableStep> step) {
  std::lock_guard g(g_hookLock);
  g_failAt = step;
}

}  // namespace platform::hooks
