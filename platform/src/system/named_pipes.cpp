// Named pipes. A pipe is a listening SOCK_SEQPACKET socket, which keeps message boundaries, at
// <runtime folder>/rt7700/pipes/<name>; the runtime folder is $XDG_RUNTIME_DIR, else
// /tmp/rt7700-<uid>. The folders must be this user's own (real folders, owned by the user, no access
// for others), or no pipe in them is used: anyone else's socket there could pose as a helper. The
// listener's queue stands for the server's free instances: a client beyond it finds the pipe busy.
#include "named_pipes.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "file_handles.h"
#include "platform/event_hooks.h"
#include "platform/test_hooks.h"
#include "platform/utf16.h"
#include "win/debug.h"
#include "win/error.h"
#include "win/namedpipe.h"

namespace {

constexpr char16_t kPipePrefix[] = u"\\\\.\\pipe\\";
constexpr size_t kPipePrefixLength = 9;
constexpr size_t kMaxPipeNameChars = 256;
constexpr DWORD kDefaultWaitMs = 50;

std::mutex g_lock;
std::optional<std::string> g_runtimeFolder;  // test hook

[[maybe_unused]] const bool kRegistered = [] {
  platform::hooks::OnReset([] {
    std::lock_guard g(g_lock);
    g_runtimeFolder.reset();
  });
  return true;
}();

void Trace(const std::string& text) { OutputDebugStringA(("named pipes: " + text + "\n").c_str()); }

// Makes `folder` when missing (mode 0700) and accepts it only as this user's private folder.
bool PrivateFolder(const std::string& folder) {
  bool made = ::mkdir(folder.c_str(), 0700) == 0;
  if (!made && errno != EEXIST) return false;
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
  if (ok && made && (st.st_mode & 077) != 0) ok = ::fchmod(fd, 0700) == 0 && ::fstat(fd, &st) == 0;
  ok = ok && (st.st_mode & 077) == 0;
  ::close(fd);
  return ok;
}

std::optional<std::string> PipeFolder() {
  std::string base;
  {
    std::lock_guard g(g_lock);
    if (g_runtimeFolder) base = *g_runtimeFolder;
  }
  if (base.empty()) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    base = runtime != nullptr && *runtime == '/' ? runtime : "/tmp/rt7700-" + std::to_string(::geteuid());
  }
  for (const std::string& folder : {base, base + "/rt7700", base + "/rt7700/pipes"}) {
    if (!PrivateFolder(folder)) {
      Trace(folder + " is not this user's own folder; its pipes are not used");
      return std::nullopt;
    }
  }
  return base + "/rt7700/pipes";
}

// Pipe names compare without case; the socket's name is the lower-cased name with every byte
// outside [a-z0-9._-], and a leading '.', written as %XX, so no name reaches outside the folder.
std::optional<std::string> SocketName(LPCWSTR fileName) {
  std::u16string_view name = platform::WideField(fileName, kPipePrefixLength + kMaxPipeNameChars + 1);
  if (name.size() <= kPipePrefixLength || name.size() > kPipePrefixLength + kMaxPipeNameChars) return std::nullopt;
  name.remove_prefix(kPipePrefixLength);
  std::string out;
  for (unsigned char c : platform::Utf16ToUtf8(name)) {
    if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-') {
      out.push_back(static_cast<char>(c));
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    }
  }
  // Nor "." or "..", nor a hidden file.
  if (out[0] == '.') out.replace(0, 1, "%2E");
  return out;
}

// The socket address of a pipe, with the last error set when there is none.
std::optional<sockaddr_un> PipeAddress(LPCWSTR fileName, std::string* path = nullptr) {
  auto name = SocketName(fileName);
  if (!name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return std::nullopt;
  }
  auto folder = PipeFolder();
  if (!folder) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return std::nullopt;
  }
  std::string full = *folder + "/" + *name;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (full.size() >= sizeof address.sun_path) {
    Trace(full + " is too long for a socket name");
    SetLastError(ERROR_INVALID_PARAMETER);
    return std::nullopt;
  }
  std::memcpy(address.sun_path, full.c_str(), full.size() + 1);
  if (path != nullptr) *path = full;
  return address;
}

// Connects with at most `timeoutMs` of waiting for room (0: none). -1 with the last error set.
int Connect(const sockaddr_un& address, DWORD timeoutMs) {
  int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return -1;
  }
  timeval tv{};
  if (timeoutMs == 0) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  } else if (timeoutMs != NMPWAIT_WAIT_FOREVER) {
    tv.tv_sec = static_cast<time_t>(timeoutMs / 1000);
    tv.tv_usec = static_cast<suseconds_t>(timeoutMs % 1000) * 1000;
  }
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  int r;
  do {
    r = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  } while (r != 0 && errno == EINTR);
  if (r == 0) {
    if (timeoutMs == 0) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    tv = {};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    return fd;
  }
  int e = errno;
  ::close(fd);
  // Refused: a socket left by a server that has gone.
  if (e == EAGAIN || e == EINPROGRESS) {
    SetLastError(timeoutMs == 0 ? ERROR_PIPE_BUSY : ERROR_SEM_TIMEOUT);
  } else if (e == EACCES || e == EPERM) {
    SetLastError(ERROR_ACCESS_DENIED);
  } else {
    SetLastError(ERROR_FILE_NOT_FOUND);
  }
  return -1;
}

// A wait that found a free instance has connected to it already; the thread's next open of the
// same pipe takes that connection, so no other client can take the instance in between.
struct Reserved {
  std::map<std::string, int> fds;
  ~Reserved() {
    for (auto& [path, fd] : fds) ::close(fd);
  }
};
thread_local Reserved t_reserved;

int TakeReserved(const std::string& path) {
  auto it = t_reserved.fds.find(path);
  if (it == t_reserved.fds.end()) return -1;
  int fd = it->second;
  t_reserved.fds.erase(it);
  return fd;
}

}  // namespace

namespace platform::hooks {
void SetPipeRuntimeFolder(std::string folder) {
  std::lock_guard g(g_lock);
  g_runtimeFolder = std::move(folder);
}
}  // namespace platform::hooks

namespace platform::pipes {

bool IsPipeName(LPCWSTR fileName) {
  std::u16string_view name = platform::WideField(fileName, kPipePrefixLength);
  if (name.size() < kPipePrefixLength) return false;
  for (size_t i = 0; i < kPipePrefixLength; ++i) {
    char16_t c = name[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    if (c != kPipePrefix[i]) return false;
  }
  return true;
}

int ConnectClient(LPCWSTR fileName) {
  std::string path;
  auto address = PipeAddress(fileName, &path);
  if (!address) return -1;
  int fd = TakeReserved(path);
  return fd >= 0 ? fd : Connect(*address, 0);
}

}  // namespace platform::pipes

extern "C" BOOL WaitNamedPipeW(LPCWSTR name, DWORD timeout) {
  if (name == nullptr || !platform::pipes::IsPipeName(name)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string path;
  auto address = PipeAddress(name, &path);
  if (!address) return FALSE;
  int fd = Connect(*address, timeout == NMPWAIT_USE_DEFAULT_WAIT ? kDefaultWaitMs : timeout);
  if (fd < 0) return FALSE;
  if (int old = TakeReserved(path); old >= 0) ::close(old);
  t_reserved.fds[path] = fd;
  return TRUE;
}

extern "C" BOOL SetNamedPipeHandleState(HANDLE pipe, LPDWORD mode, LPDWORD maxCollection, LPDWORD collectTimeout) {
  auto* f = platform::files::Find(pipe);
  if (f == nullptr || !f->messages) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  // Collection settings belong to byte pipes between machines.
  if (maxCollection != nullptr || collectTimeout != nullptr ||
      (mode != nullptr && (*mode & ~PIPE_READMODE_MESSAGE) != 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}

extern "C" HANDLE CreateNamedPipeW(LPCWSTR name, DWORD, DWORD pipeMode, DWORD maxInstances, DWORD, DWORD, DWORD,
                                   SECURITY_ATTRIBUTES*) {
  if (name == nullptr || !platform::pipes::IsPipeName(name) || (pipeMode & PIPE_TYPE_MESSAGE) == 0 ||
      maxInstances == 0 || maxInstances > PIPE_UNLIMITED_INSTANCES) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  std::string path;
  auto address = PipeAddress(name, &path);
  if (!address) return INVALID_HANDLE_VALUE;
  int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return INVALID_HANDLE_VALUE;
  }
  auto bindAndListen = [&] {
    // A queue of n admits n + 1 waiting clients.
    return ::bind(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) == 0 &&
           ::listen(fd, static_cast<int>(maxInstances) - 1) == 0;
  };
  bool ok = bindAndListen();
  if (!ok && errno == EADDRINUSE) {
    // A socket nobody listens on any more is a dead server's; a live one keeps its name.
    int probe = Connect(*address, 0);
    if (probe >= 0 || GetLastError() == ERROR_PIPE_BUSY) {
      if (probe >= 0) ::close(probe);
      ::close(fd);
      SetLastError(ERROR_ACCESS_DENIED);
      return INVALID_HANDLE_VALUE;
    }
    ::unlink(path.c_str());
    ok = bindAndListen();
  }
  if (!ok) {
    Trace("cannot serve " + path + ": " + std::strerror(errno));
    ::close(fd);
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  SetLastError(ERROR_SUCCESS);
  return platform::files::Register(new platform::files::FileObject{-1, true, fd, path, {}});
}

extern "C" BOOL ConnectNamedPipe(HANDLE pipe, OVERLAPPED*) {
  auto* f = platform::files::Find(pipe);
  if (f == nullptr || f->listener < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (f->fd >= 0) {
    SetLastError(ERROR_PIPE_CONNECTED);
    return FALSE;
  }
  int fd;
  do {
    fd = ::accept4(f->listener, nullptr, nullptr, SOCK_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    SetLastError(ERROR_BROKEN_PIPE);
    return FALSE;
  }
  f->fd = fd;
  return TRUE;
}

extern "C" BOOL DisconnectNamedPipe(HANDLE pipe) {
  auto* f = platform::files::Find(pipe);
  if (f == nullptr || f->listener < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (f->fd >= 0) ::close(f->fd);
  f->fd = -1;
  return TRUE;
}
