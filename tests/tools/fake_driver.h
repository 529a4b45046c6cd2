// What the fake printer driver and the fake interface library record, shared with the tests that
// load them. The test reaches the state through the libraries' exported accessors.
#pragma once

#include <set>
#include <string>
#include <vector>

namespace fakes {

// Every hook call, one line each ("StartPage 1"), and the hooks told to fail.
struct DriverState {
  std::vector<std::string> calls;
  std::set<std::string> failing;  // hook names ("StartPage") that return failure
  std::vector<std::string> surfaceErrors;  // a hook got a SURFOBJ that does not match its PDEV
  bool logProgram = false;  // DrvStartDoc also logs the printing program's file name
};

struct InterfaceState {
  std::vector<int> events;
  std::set<int> refused;  // events answered with DOCUMENTEVENT_FAILURE
};

// Escape code the fake interface library sends for each event it receives (base + event).
constexpr int kEventEscapeBase = 0x7E00;

using DriverStateFn = DriverState* (*)();
using InterfaceStateFn = InterfaceState* (*)();

}  // namespace fakes
