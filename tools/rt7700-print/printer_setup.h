// The run's printer, set up as an installer sets one up, and the fixed environment of test runs.
#pragma once

#include "platform/spooler_admin.h"

// Installs the driver and adds the printer, so that its interface library's initialise event
// gives it the driver's print processor. A printer of that name that another run in the same
// platform root added is brought to this run's settings instead, keeping its print processor.
// False with the last error set when neither worked.
bool SetUpPrinter(const platform::spooler::PrinterConfig& printer);

// RT7700_TEST_MODE=1: the tools run with a fixed clock, computer and user name (RT7700_TEST_COMPUTER,
// RT7700_TEST_USER) and country, so that streams are reproducible and both tools act for one user.
bool TestMode();
void SetUpTestMode();
