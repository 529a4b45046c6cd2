// Text the tools echo from their input (document names, file names, rejected values) goes to a
// terminal: control characters in it must show as escapes, not act.
#pragma once

#include <string>
#include <string_view>

namespace rt7700print {

// `text` with C0 and C1 control characters, DEL and bytes that are not UTF-8 written as \n, \r,
// \t or \xNN; everything else, including backslashes, as it is.
std::string Printable(std::string_view text);

}  // namespace rt7700print
