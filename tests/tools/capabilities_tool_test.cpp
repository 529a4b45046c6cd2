// rt7700-print --capabilities through the real interface library, and the print-time devmode
// check that can stop a job before anything is written.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "support/temp_dir.h"
#include "tool_runner.h"

namespace {

const std::string kTool = TOOL_PATH;

TEST(CapabilitiesTool, ListsPapersBinsAndLimitsOneALine) {
  testsupport::TempDir dir;
  auto r = tooltest::Run({kTool, "--capabilities"},
                         {{"RT7700_TEST_MODE", "1"}, {"RT7700_TEST_DRIVER", FAKE_DRIVER_PATH},
                          {"XDG_CONFIG_HOME", dir.str()}, {"LANG", "C"}},
                         dir.str());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("paper 1: 215.9 x 279.4 mm, Letter\npaper 9: 210.0 x 297.0 mm, A4\n", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("paper 240: 210.0 x 1200.0 mm, Long Paper\n"), std::string::npos);
  EXPECT_NE(r.out.find("bin 7: Automatically Select\nbin 1: Tray 1\nbin 4: Manual Feed\n"), std::string::npos);
  EXPECT_NE(r.out.find("resolution: 600 x 600 dpi\nresolution: 1200 x 600 dpi\n"), std::string::npos);
  EXPECT_NE(r.out.find("copies: 1 to 999\ntwo-sided: yes\ncollation: yes\nlandscape: turned 90 degrees\n"),
            std::string::npos);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 29 + 3 + 2 + 4);

  auto mixed = tooltest::Run({kTool, "--capabilities", "--pages", "1"}, {}, dir.str());
  EXPECT_EQ(mixed.status, 2);
  EXPECT_EQ(mixed.out, "");
}

TEST(CapabilitiesTool, ARefusedDevmodeStopsTheJobWithOneLine) {
  testsupport::TempDir dir;
  const std::string out = (dir.path() / "out.prn").string();
  tooltest::Env env{{"RT7700_TEST_MODE", "1"},
                    {"RT7700_TEST_DRIVER", FAKE_DRIVER_PATH},
                    {"RT7700_TEST_INTERFACE", FAKE_INTERFACE_PATH},
                    {"RT7700_FAKE_REFUSE_DEVMODE", "settings do not suit"}};
  auto r = tooltest::Run({kTool, "--pages", "1", "--output", out}, env, dir.str());
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "rt7700-print: the printer refuses the job's settings: settings do not suit\n");
  EXPECT_FALSE(std::filesystem::exists(out));

  env.erase("RT7700_FAKE_REFUSE_DEVMODE");
  r = tooltest::Run({kTool, "--pages", "1", "--output", out}, env, dir.str());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(std::filesystem::exists(out));
}

}  // namespace
