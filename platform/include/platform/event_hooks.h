// Test hooks of the services the printer events use: where named pipes live, the built-in
// "spoolss.dll" module and the identity switches it makes.
#pragma once

#include <string>
#include <vector>

#include "win/base.h"

namespace platform::hooks {

// The per-user runtime folder under which "rt7700/pipes" holds the named pipes (instead of
// $XDG_RUNTIME_DIR, else /tmp/rt7700-<uid>).
PLATFORM_API void SetPipeRuntimeFolder(std::string folder);

// LoadLibraryW of a built-in module fails with ERROR_MOD_NOT_FOUND, as if it were not installed.
PLATFORM_API void HideBuiltinModule(std::string module);
// GetProcAddress of this function of a built-in module fails with ERROR_PROC_NOT_FOUND.
PLATFORM_API void HideBuiltinFunction(std::string module, std::string function);

// What "spoolss.dll" and the spooler did about identities, in order: "revert <token>",
// "impersonate <token>", and "open <printer> as spooler" for printers opened while reverted.
PLATFORM_API std::vector<std::string> TakeIdentitySwitches();

}  // namespace platform::hooks
