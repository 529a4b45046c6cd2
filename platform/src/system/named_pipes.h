// Named pipes as local message sockets (AF_UNIX, SOCK_SEQPACKET) in the user's own runtime folder.
#pragma once

#include "win/base.h"

namespace platform::pipes {

// Whether a file name is "\\.\pipe\..." (any case).
bool IsPipeName(LPCWSTR fileName);
// A connected descriptor for a client of the pipe, or -1 with the last error set
// (ERROR_FILE_NOT_FOUND: nobody serves it; ERROR_PIPE_BUSY: no free instance).
int ConnectClient(LPCWSTR fileName);

}  // namespace platform::pipes
