// File calls over POSIX descriptors. A HANDLE is a live FileObject; unknown handles are refused.
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <set>
#include <string>

#include "devices/usb_printers.h"
#include "file_handles.h"
#include "named_pipes.h"
#include "platform/utf16.h"
#include "system_hooks_state.h"
#include "win/error.h"
#include "win/fileapi.h"

namespace {

using platform::files::FileObject;

std::mutex g_lock;
std::set<FileObject*> g_files;

FileObject* Lookup(HANDLE h) {
  std::lock_guard g(g_lock);
  auto* f = static_cast<FileObject*>(h);
  return g_files.count(f) ? f : nullptr;
}

DWORD ErrorFromErrno(int e) {
  switch (e) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_FILE_EXISTS;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_INVALID_PARAMETER;
  }
}

std::string PathOf(LPCWSTR name) { return platform::Utf16ToUtf8(platform::WideField(name, 32768)); }

// One message per call; a message longer than the buffer gives its start and ERROR_MORE_DATA.
BOOL ReadMessage(const FileObject& f, LPVOID buffer, DWORD toRead, LPDWORD read) {
  ssize_t n;
  do {
    n = ::recv(f.fd, buffer, toRead, MSG_TRUNC);
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    SetLastError(ERROR_READ_FAULT);
    return FALSE;
  }
  if (n == 0) {
    SetLastError(ERROR_BROKEN_PIPE);
    return FALSE;
  }
  if (read != nullptr) *read = static_cast<DWORD>(std::min<size_t>(static_cast<size_t>(n), toRead));
  if (static_cast<size_t>(n) > toRead) {
    SetLastError(ERROR_MORE_DATA);
    return FALSE;
  }
  return TRUE;
}

// The whole buffer as one message; a peer that has gone is a broken pipe, never a signal.
BOOL WriteMessage(const FileObject& f, LPCVOID buffer, DWORD toWrite, LPDWORD written) {
  ssize_t n;
  do {
    n = ::send(f.fd, buffer, toWrite, MSG_NOSIGNAL);
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    SetLastError(errno == EPIPE || errno == ECONNRESET || errno == ENOTCONN ? ERROR_BROKEN_PIPE : ERROR_WRITE_FAULT);
    return FALSE;
  }
  if (written != nullptr) *written = static_cast<DWORD>(n);
  return TRUE;
}

}  // namespace

namespace platform::files {

HANDLE Register(FileObject* object) {
  std::lock_guard g(g_lock);
  g_files.insert(object);
  return object;
}

FileObject* Find(HANDLE handle) { return Lookup(handle); }

}  // namespace platform::files

extern "C" HANDLE CreateFileW(LPCWSTR fileName, DWORD access, DWORD, SECURITY_ATTRIBUTES*, DWORD disposition, DWORD,
                              HANDLE) {
  if (fileName == nullptr || fileName[0] == 0) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  int flags = O_CLOEXEC;
  mode_t mode = 0644;
  bool read = access & GENERIC_READ, write = access & GENERIC_WRITE;
  flags |= read && write ? O_RDWR : (write ? O_WRONLY : O_RDONLY);
  switch (disposition) {
    // A new file of its own: never through a link someone planted, and readable by this user only.
    case CREATE_NEW:
      flags |= O_CREAT | O_EXCL | O_NOFOLLOW;
      mode = 0600;
      break;
    case CREATE_ALWAYS: flags |= O_CREAT | O_TRUNC; break;
    case OPEN_EXISTING: break;
    case OPEN_ALWAYS: flags |= O_CREAT; break;
    case TRUNCATE_EXISTING: flags |= O_TRUNC; break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return INVALID_HANDLE_VALUE;
  }
  if (platform::pipes::IsPipeName(fileName)) {
    int fd = platform::pipes::ConnectClient(fileName);
    if (fd < 0) return INVALID_HANDLE_VALUE;
    SetLastError(ERROR_SUCCESS);
    return platform::files::Register(new FileObject{fd, true, -1, {}, {}});
  }
  if (platform::devices::IsUsbDevicePath(fileName)) return platform::devices::OpenUsbDevice(fileName, access);
  std::string path = PathOf(fileName);
  struct stat st{};
  bool existed = ::stat(path.c_str(), &st) == 0;
  int fd = ::open(path.c_str(), flags, mode);
  if (fd < 0) {
    SetLastError(ErrorFromErrno(errno));
    return INVALID_HANDLE_VALUE;
  }
  auto* f = new FileObject{fd, false, -1, {}, {}};
  platform::files::Register(f);
  // As on the real platform, opening an existing file with OPEN_ALWAYS / CREATE_ALWAYS says so.
  SetLastError((existed && (disposition == OPEN_ALWAYS || disposition == CREATE_ALWAYS)) ? ERROR_ALREADY_EXISTS
                                                                                          : ERROR_SUCCESS);
  return f;
}

extern "C" BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, OVERLAPPED*) {
  if (read != nullptr) *read = 0;
  FileObject* f = Lookup(file);
  if (f == nullptr || (buffer == nullptr && toRead != 0)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (f->extension != nullptr) {
    if (auto answered = f->extension->Read(buffer, toRead, read)) return *answered;
  }
  if (f->messages) return ReadMessage(*f, buffer, toRead, read);
  size_t done = 0;
  while (done < toRead) {
    ssize_t n = ::read(f->fd, static_cast<char*>(buffer) + done, toRead - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      SetLastError(ERROR_READ_FAULT);
      return FALSE;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  if (read != nullptr) *read = static_cast<DWORD>(done);
  return TRUE;
}

extern "C" BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, OVERLAPPED*) {
  if (written != nullptr) *written = 0;
  FileObject* f = Lookup(file);
  if (f == nullptr || (buffer == nullptr && toWrite != 0)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (f->extension != nullptr) {
    if (auto answered = f->extension->Write(buffer, toWrite, written)) return *answered;
  }
  if (f->messages) return WriteMessage(*f, buffer, toWrite, written);
  auto allowed = static_cast<size_t>(platform::hooks::AllowFileWrite(toWrite));
  size_t done = 0;
  while (done < allowed) {
    ssize_t n = ::write(f->fd, static_cast<const char*>(buffer) + done, allowed - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  if (written != nullptr) *written = static_cast<DWORD>(done);
  if (done < toWrite) {
    SetLastError(ERROR_WRITE_FAULT);
    return FALSE;
  }
  return TRUE;
}

extern "C" DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method) {
  FileObject* f = Lookup(file);
  if (f == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_SET_FILE_POINTER;
  }
  int64_t offset = distance;
  if (distanceHigh != nullptr) offset = (static_cast<int64_t>(*distanceHigh) << 32) | static_cast<uint32_t>(distance);
  int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR : method == FILE_END ? SEEK_END : -1;
  if (whence < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  off_t r = ::lseek(f->fd, offset, whence);
  if (r < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  if (distanceHigh != nullptr) *distanceHigh = static_cast<LONG>(static_cast<int64_t>(r) >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(r);
}

extern "C" BOOL CloseHandle(HANDLE object) {
  FileObject* f = nullptr;
  {
    std::lock_guard g(g_lock);
    auto* candidate = static_cast<FileObject*>(object);
    if (g_files.erase(candidate) == 1) f = candidate;
  }
  if (f == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (f->fd >= 0) ::close(f->fd);
  if (f->listener >= 0) ::close(f->listener);
  if (!f->socketPath.empty()) ::unlink(f->socketPath.c_str());
  delete f;
  return TRUE;
}

extern "C" BOOL DeleteFileW(LPCWSTR fileName) {
  if (fileName == nullptr || fileName[0] == 0) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  if (::unlink(PathOf(fileName).c_str()) != 0) {
    SetLastError(ErrorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}
