// rt7700-print sets its printer up as an installer would, so the interface library's
// initialise event gives it the driver's print processor.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/spooler_admin.h"
#include "platform/test_hooks.h"
#include "support/temp_dir.h"
#include "tool_runner.h"

namespace {

TEST(PrinterSetUpTool, ThePrinterGetsTheDriversPrintProcessorInEveryRun) {
  testsupport::TempDir dir;
  const std::string root = (dir.path() / "root").string(), out = (dir.path() / "out.prn").string();
  tooltest::Env env{{"RT7700_TEST_MODE", "1"},
                    {"RT7700_TEST_DRIVER", FAKE_DRIVER_PATH},
                    {"RT7700_PLATFORM_ROOT", root},
                    {"XDG_CONFIG_HOME", dir.str()}};
  platform::hooks::SetPlatformRoot(root);
  std::string firstPort;
  for (int run = 0; run < 2; ++run) {  // the second finds the first run's printer and updates it
    auto r = tooltest::Run({TOOL_PATH, "--pages", "1", "--output", out}, env, dir.str());
    ASSERT_EQ(r.status, 0) << r.err;
    auto printer = platform::spooler::FindPrinter(u"Taliro R7700 PCL5e");
    ASSERT_TRUE(printer) << run;
    EXPECT_EQ(printer->printProcessor, u"Taliro R6600 PCL5e Processor") << run;
    if (run == 0) {
      firstPort = printer->port;
    } else {
      EXPECT_NE(printer->port, firstPort) << "the printer keeps the first run's settings";
    }
  }
}

}  // namespace
