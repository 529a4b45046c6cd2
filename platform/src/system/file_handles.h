// The objects behind file handles, shared by the file calls and the named pipes.
#pragma once

#include <string>

#include "win/base.h"

namespace platform::files {

struct FileObject {
  int fd = -1;
  bool messages = false;    // a pipe end: one message per ReadFile / WriteFile
  int listener = -1;        // a pipe server's listening socket until ConnectNamedPipe takes a client
  std::string socketPath;   // a pipe server's name, removed with its handle
};

// A handle for the object, which the handle then owns.
HANDLE Register(FileObject* object);
// The live object behind a handle, or null.
FileObject* Find(HANDLE handle);

}  // namespace platform::files
