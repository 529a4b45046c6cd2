// Loopback addresses for tests of network printers.
#pragma once

#include <string>

namespace testsupport {

// "socket://127.0.0.1:PORT" for a port that was free a moment ago and that nobody listens on.
std::string RefusingLoopbackPrinter();

}  // namespace testsupport
