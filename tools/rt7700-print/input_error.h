// Bad input as the tool reports it.
#pragma once

#include <string>

namespace rt7700print {

// What, where, and what was expected.
struct InputError {
  std::string where;     // the file or "command line"
  std::string field;     // the field or option as the user wrote it
  std::string expected;  // what would have been accepted
};

}  // namespace rt7700print
