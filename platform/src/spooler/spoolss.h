// The identity switches of "spoolss.dll": a thread serving a client takes the spooler's own
// identity and back. The platform runs everything as one user, so only the switch is kept.
#pragma once

#include <string>

#include "win/base.h"

namespace platform::spooler {

// A token naming the identity the thread leaves; never null.
HANDLE WINAPI RevertToPrinterSelf();
// Restores the identity a token names and closes it; FALSE with ERROR_INVALID_HANDLE for a token
// this thread was not given.
BOOL WINAPI ImpersonatePrinterClient(HANDLE token);
// Whether the calling thread acts as the spooler itself.
bool ActingAsSpooler();
// Adds a line to what TakeIdentitySwitches reports.
void RecordIdentitySwitch(std::string line);

}  // namespace platform::spooler
