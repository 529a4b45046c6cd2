// What a run of rt7700-print keeps on disk while it prints: a private platform root and the output
// file being written beside its target. Each is locked for the run's life, so a later run can tell
// those of runs that died (killed, or a second Ctrl-C) from those of runs still printing, and
// remove them.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>

namespace rt7700print {

// A locked temporary; the destructor removes it unless it was kept.
class Temporary {
 public:
  Temporary() = default;
  Temporary(std::string path, int lockFd, bool folder) : path_(std::move(path)), lockFd_(lockFd), folder_(folder) {}
  Temporary(Temporary&& other) noexcept { *this = std::move(other); }
  Temporary& operator=(Temporary&& other) noexcept;
  ~Temporary() { Remove(); }

  const std::string& path() const { return path_; }
  bool empty() const { return path_.empty(); }
  // The file was renamed into place: nothing to remove.
  void Keep();
  void Remove();

 private:
  std::string path_;
  int lockFd_ = -1;
  bool folder_ = false;
};

// "<base>/rt7700-print.XXXXXX", mode 0700; empty with errno set on failure.
Temporary CreatePrivateRoot(const std::string& base);
// Roots of runs that are gone: unlocked ones, and those without a lock older than an hour.
void RemoveStaleRoots(const std::string& base);

// ".NAME.partXXXXXX" beside `target`, NAME shortened so the name fits a folder entry. With
// `mode`, the file gets it (an existing target's); otherwise 0666 less the umask.
Temporary CreatePartial(const std::filesystem::path& target, std::optional<mode_t> mode);
// Unlocked partial files of `target` left by runs that are gone.
void RemoveStalePartials(const std::filesystem::path& target);

}  // namespace rt7700print
