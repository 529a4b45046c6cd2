// rt7700-devmode over files that are not devmodes: one error line and a plain exit status.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "support/temp_dir.h"
#include "tool_runner.h"

namespace {

const std::string kTool = DEVMODE_TOOL_PATH;

TEST(DevmodeToolTest, ReadsOnlyWhatARecordCanHoldAndRefusesWhatIsNoFile) {
  testsupport::TempDir dir;
  struct Case {
    std::string from;
    std::vector<int> statuses;
    std::string start;  // the error line begins with this
  };
  const Case cases[] = {
      {dir.str(), {2}, "rt7700-devmode: " + dir.str() + ": expected a devmode file, got a folder"},
      {"/dev/zero", {1, 2}, "rt7700-devmode: "},
      {dir.str() + "/missing\x1b[2J", {2}, "rt7700-devmode: cannot read " + dir.str() + "/missing\\x1B[2J: "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.from);
    auto r = tooltest::Run({kTool, "--from", c.from}, {}, dir.str());
    EXPECT_NE(std::find(c.statuses.begin(), c.statuses.end(), r.status), c.statuses.end()) << r.status;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(r.err.rfind(c.start, 0), 0u) << r.err;
    EXPECT_EQ(r.out, "");
  }
}

TEST(DevmodeToolTest, NamesShowTheirControlCharactersEscaped) {
  testsupport::TempDir dir;
  auto r = tooltest::Run({kTool, "--device", "R7700\x1b]0;x\x07"}, {}, dir.str());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
  EXPECT_NE(r.out.find("stored.dmDeviceName = \"R7700\\x1B]0;x\\x07\""), std::string::npos) << r.out.substr(0, 200);
  EXPECT_NE(r.out.find("render.dmDeviceName = \"R7700\\x1B]0;x\\x07\""), std::string::npos);
}

}  // namespace
