#include "temporaries.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <vector>

namespace fs = std::filesystem;

namespace rt7700print {
namespace {

constexpr char kRootPrefix[] = "rt7700-print.";
constexpr char kLockName[] = "rt7700-print.lock";
constexpr size_t kNameMax = 255;
constexpr size_t kRandomChars = 6;  // mkstemp's XXXXXX
constexpr time_t kUnlockedRootAge = 3600;

// Locks `fd` for this run; false when another live run holds it.
bool TryLock(int fd) { return flock(fd, LOCK_EX | LOCK_NB) == 0; }

std::string PartialPrefix(const fs::path& target) {
  std::string name = target.filename().string();
  const size_t room = kNameMax - 1 - std::string(".part").size() - kRandomChars;
  if (name.size() > room) {
    size_t cut = room;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;  // a whole UTF-8 character
    name.resize(cut);
  }
  return "." + name + ".part";
}

fs::path Folder(const fs::path& target) { return target.has_parent_path() ? target.parent_path() : fs::path("."); }

// Entries of `folder` whose names start with `prefix` and have `tail` more characters.
std::vector<std::string> Entries(const fs::path& folder, const std::string& prefix, size_t tail) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return names;
  while (dirent* e = readdir(dir)) {
    std::string name = e->d_name;
    if (name.size() == prefix.size() + tail && name.compare(0, prefix.size(), prefix) == 0) names.push_back(name);
  }
  closedir(dir);
  return names;
}

bool Ours(const struct stat& st) { return st.st_uid == geteuid(); }

}  // namespace

Temporary& Temporary::operator=(Temporary&& other) noexcept {
  if (this != &other) {
    Remove();
    path_ = std::move(other.path_);
    lockFd_ = other.lockFd_;
    folder_ = other.folder_;
    other.path_.clear();
    other.lockFd_ = -1;
  }
  return *this;
}

void Temporary::Keep() {
  path_.clear();
  if (lockFd_ >= 0) close(lockFd_);
  lockFd_ = -1;
}

void Temporary::Remove() {
  std::error_code ec;
  if (!path_.empty()) {
    if (folder_) {
      fs::remove_all(path_, ec);
    } else {
      fs::remove(path_, ec);
    }
  }
  Keep();
}

Temporary CreatePrivateRoot(const std::string& base) {
  std::string pattern = base + "/" + kRootPrefix + "XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (mkdtemp(name.data()) == nullptr) return {};
  std::string root = name.data();
  int fd = open((root + "/" + kLockName).c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0 || !TryLock(fd)) {
    int error = errno;
    if (fd >= 0) close(fd);
    std::error_code ec;
    fs::remove_all(root, ec);
    errno = error;
    return {};
  }
  return Temporary(root, fd, true);
}

void RemoveStaleRoots(const std::string& base) {
  for (const auto& name : Entries(base, kRootPrefix, kRandomChars)) {
    std::string root = base + "/" + name;
    struct stat st {};
    if (lstat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || !Ours(st)) continue;
    int fd = open((root + "/" + kLockName).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    bool stale = fd >= 0 ? TryLock(fd) : errno == ENOENT && std::time(nullptr) - st.st_mtime > kUnlockedRootAge;
    std::error_code ec;
    if (stale) fs::remove_all(root, ec);
    if (fd >= 0) close(fd);
  }
}

Temporary CreatePartial(const fs::path& target, std::optional<mode_t> mode) {
  std::string pattern = (Folder(target) / (PartialPrefix(target) + std::string(kRandomChars, 'X'))).string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = mkstemp(name.data());
  if (fd < 0) return {};
  if (!mode) {
    mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  (void)fchmod(fd, *mode);
  (void)TryLock(fd);  // just made: nobody else has it open
  return Temporary(name.data(), fd, false);
}

void RemoveStalePartials(const fs::path& target) {
  fs::path folder = Folder(target);
  for (const auto& name : Entries(folder, PartialPrefix(target), kRandomChars)) {
    std::string path = (folder / name).string();
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) continue;
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && Ours(st) && TryLock(fd)) unlink(path.c_str());
    close(fd);
  }
}

}  // namespace rt7700print
