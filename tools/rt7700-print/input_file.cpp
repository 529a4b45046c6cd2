#include "input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace rt7700print {

InputFile ReadInputFile(const std::string& path, size_t limit, Beyond beyond) {
  return ReadInputFile(path, limit, beyond, nullptr);
}

InputFile ReadInputFile(const std::string& path, size_t limit, Beyond beyond,
                        size_t (*narrow)(const std::string& head)) {
  InputFile f;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    f.problem = InputFile::Problem::Unreadable;
    f.error = errno;
    return f;
  }
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    f.problem = InputFile::Problem::Folder;
    return f;
  }
  if (S_ISREG(st.st_mode) && static_cast<uint64_t>(st.st_size) > limit && beyond == Beyond::Refuse) {
    ::close(fd);
    f.problem = InputFile::Problem::TooLarge;
    f.more = true;
    return f;
  }
  // One byte past the limit tells a device or pipe that goes on from one that ends there.
  std::string bytes;
  char buffer[65536];
  while (bytes.size() <= limit) {
    size_t want = std::min(sizeof buffer, limit + 1 - bytes.size());
    ssize_t n = ::read(fd, buffer, want);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      f.problem = InputFile::Problem::Unreadable;
      f.error = errno;
      ::close(fd);
      return f;
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
    if (narrow != nullptr && bytes.size() >= kHeadBytes) {
      limit = std::min(limit, narrow(bytes));
      narrow = nullptr;
    }
  }
  ::close(fd);
  if (bytes.size() > limit) {
    f.more = true;
    bytes.resize(limit);
    if (beyond == Beyond::Refuse) {
      f.problem = InputFile::Problem::TooLarge;
      return f;
    }
  }
  f.bytes = std::move(bytes);
  return f;
}

}  // namespace rt7700print
