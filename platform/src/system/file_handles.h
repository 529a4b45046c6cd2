// The objects behind file handles, shared by the file calls and the named pipes.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "win/base.h"

namespace platform::files {

// What a handle is when it is not a plain descriptor (a device, a token, a search); it answers
// the reads and writes it takes over (nullopt: the descriptor serves them).
struct HandleExtension {
  virtual ~HandleExtension() = default;
  virtual std::optional<BOOL> Read(void*, DWORD, DWORD*) { return std::nullopt; }
  virtual std::optional<BOOL> Write(const void*, DWORD, DWORD*) { return std::nullopt; }
};

struct FileObject {
  int fd = -1;
  bool messages = false;    // a pipe end: one message per ReadFile / WriteFile
  int listener = -1;        // a pipe server's listening socket until ConnectNamedPipe takes a client
  std::string socketPath;   // a pipe server's name, removed with its handle
  std::unique_ptr<HandleExtension> extension = {};
};

// A handle for the object, which the handle then owns.
HANDLE Register(FileObject* object);
// The live object behind a handle, or null.
FileObject* Find(HANDLE handle);

}  // namespace platform::files
