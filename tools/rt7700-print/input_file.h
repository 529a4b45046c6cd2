// Reading a file the user names, bounded: a folder, a device that never ends or a file larger than
// the reader can use gives a plain answer instead of an exception or unbounded memory.
#pragma once

#include <cstdint>
#include <string>

namespace rt7700print {

struct InputFile {
  enum class Problem { None, Unreadable, Folder, TooLarge };
  Problem problem = Problem::None;
  int error = 0;      // errno, for Unreadable
  std::string bytes;  // at most `limit` bytes
  bool more = false;  // the file holds more than `limit` bytes
};

enum class Beyond {
  Refuse,  // more than `limit` bytes is an error (TooLarge), and a regular file that large is not read
  Keep,    // only the first `limit` bytes matter; the rest is left unread
};

InputFile ReadInputFile(const std::string& path, size_t limit, Beyond beyond);
// For a pipe or device, read once: `narrow` sees the first kHeadBytes (or all, when fewer) and
// gives the limit for the rest, so a stream is never opened twice to learn what it holds.
constexpr size_t kHeadBytes = 1024;
InputFile ReadInputFile(const std::string& path, size_t limit, Beyond beyond,
                        size_t (*narrow)(const std::string& head));

}  // namespace rt7700print
