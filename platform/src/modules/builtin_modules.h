// Modules the platform serves itself, as the system's own libraries: LoadLibraryW finds them by
// file name without a file, and GetProcAddress gives the platform's functions.
#pragma once

#include <cstddef>
#include <string>

#include "win/modules.h"

namespace platform::modules {

struct BuiltinFunction {
  const char* name;
  FARPROC address;
};

struct BuiltinModule {
  const char* name;  // file name, compared without case
  const BuiltinFunction* functions;
  size_t count;
};

// The built-in module a LoadLibraryW name (a bare file name) asks for; null when there is none or
// a test hides it.
const BuiltinModule* FindBuiltinModule(const std::string& fileName);
// Null when the module has no such function or a test hides it.
FARPROC FindBuiltinFunction(const BuiltinModule& module, const char* name);

}  // namespace platform::modules
