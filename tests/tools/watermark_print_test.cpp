// Watermarks printed by rt7700-print through the real libraries: the interface library's
// end-page event draws the decoration into every page's own stream, where the rendering library
// marks it as decoration (merge control and raster operation forced transparent). The examples'
// whole streams are also golden cases of print_tool_test.cpp.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "devmode/stored_devmode.h"
#include "platform/test_hooks.h"
#include "platform/utf16.h"
#include "store/settings_store.h"
#include "support/temp_dir.h"
#include "tool_runner.h"

namespace {

namespace fs = std::filesystem;

const std::string kTool = TOOL_PATH;
const std::string kExamples = EXAMPLES_DIR;

// Vector decoration sets HP-GL/2 merge control to 160; raster decoration the PCL raster
// operation. Nothing else in a job sets either.
const std::string kVectorMark = "MC1,160";
const std::string kRasterMark = "\x1b*l160O";

// The pages of a stream, each up to and including its sheet end ("\e&l<n>X" and a form feed).
std::vector<std::string> Pages(const std::string& stream) {
  std::vector<std::string> pages;
  static const std::regex end("\x1b&l[0-9]+X\f");
  size_t start = 0;
  for (auto it = std::sregex_iterator(stream.begin(), stream.end(), end); it != std::sregex_iterator(); ++it) {
    const size_t stop = static_cast<size_t>(it->position() + it->length());
    pages.push_back(stream.substr(start, stop - start));
    start = stop;
  }
  return pages;
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class WatermarkPrintTest : public testing::Test {
 protected:
  void SetUp() override {
    auto probe = Run({"--pages", "1"}, {});
    if (probe.status != 0 || Out().find("\x1b&l1X\f") == std::string::npos)
      GTEST_SKIP() << "the libraries do not print pages yet: " << probe.err;
  }

  tooltest::Result Run(std::vector<std::string> args, tooltest::Env env) {
    args.insert(args.begin(), kTool);
    args.insert(args.end(), {"--output", (dir.path() / "out.prn").string()});
    env["RT7700_TEST_MODE"] = "1";
    env["TMPDIR"] = dir.str();
    env["XDG_CONFIG_HOME"] = (dir.path() / "config").string();
    fs::remove(dir.path() / "out.prn");
    return tooltest::Run(args, env, dir.str());
  }
  std::string Out() const { return tooltest::ReadFile((dir.path() / "out.prn").string()); }

  // How many decoration marks each page carries, and that every mark is followed by drawing
  // before its page ends.
  std::vector<size_t> MarksPerPage(const std::string& mark) const {
    std::vector<size_t> marks;
    for (const std::string& page : Pages(Out())) {
      marks.push_back(Count(page, mark));
      const size_t last = page.rfind(mark);
      if (last != std::string::npos) {
        const std::string after = page.substr(last + mark.size());
        EXPECT_TRUE(after.find("FP") != std::string::npos || after.find("\x1b*b") != std::string::npos)
            << "nothing drawn after the decoration began";
      }
    }
    return marks;
  }

  testsupport::TempDir dir;
};

TEST_F(WatermarkPrintTest, EveryPageOfTheWatermarkedExamplesCarriesItsDecoration) {
  struct Example {
    const char* job;
    const std::string& mark;
    size_t pages;
  };
  for (const Example& e : {Example{"watermark-letter.json", kVectorMark, 3}, Example{"watermark-image.json", kRasterMark, 2}}) {
    SCOPED_TRACE(e.job);
    const std::string job = kExamples + "/" + e.job;
    auto r = Run({job}, {});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(MarksPerPage(e.mark), std::vector<size_t>(e.pages, 1));

    r = Run({job, "-o", "watermark-first-page-only=true"}, {});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<size_t> firstOnly(e.pages, 0);
    firstOnly[0] = 1;
    EXPECT_EQ(MarksPerPage(e.mark), firstOnly);

    // The command line's choice replaces the job file's.
    r = Run({job, "-o", "watermark=none"}, {});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(MarksPerPage(e.mark), std::vector<size_t>(e.pages, 0));
    EXPECT_EQ(Count(Out(), kVectorMark) + Count(Out(), kRasterMark), 0u);
  }
}

TEST_F(WatermarkPrintTest, AWatermarkSavedInThePreferencesPrintsByName) {
  platform::hooks::SetAppDataFolder((dir.path() / "config").string());
  ui::WatermarkStore store;
  ASSERT_EQ(store.EnsureSettingsSkeleton(), 1);
  devmode::WatermarkRecord r{};
  r.WatermarkIndex = 5;
  r.WatermarkKind = 1;
  platform::CopyWideField(r.Text, std::size(r.Text), u"Void");
  platform::CopyWideField(r.Typeface, std::size(r.Typeface), u"Arial");
  r.Size = 90;
  r.Frame = 2;
  r.Position = 5;
  ASSERT_EQ(store.Save(u"Void stamp", ui::RecordBytes(r)), 1);

  // A value with spaces is quoted, as CUPS takes it.
  auto result = Run({"--pages", "2", "-o", "copies=1 watermark=\"Void stamp\""}, {});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(MarksPerPage(kVectorMark), (std::vector<size_t>{1, 1}));

  result = Run({"--pages", "2", "-o", "watermark='Void stamps'"}, {});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, "rt7700-print: command line: -o watermark='Void stamps': expected none, Confidential, "
                        "Watermark or a watermark saved in the printing preferences, got \"Void stamps\"\n");
  EXPECT_FALSE(fs::exists(dir.path() / "out.prn"));

  result = Run({"--pages", "2", "-o", "watermark-text=\"Void"}, {});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, "rt7700-print: command line: -o watermark-text=\"Void: expected a closing quote\n");
  EXPECT_FALSE(fs::exists(dir.path() / "out.prn"));
}

TEST_F(WatermarkPrintTest, BadWatermarkSettingsAreOneLineAndPrintNothing) {
  const fs::path job = dir.path() / "job.json";
  std::ofstream(job) << R"({"settings": {"watermark-text": "Late", "watermark-size": "700"}, "pages": 1})";
  auto r = Run({job.string()}, {});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "rt7700-print: " + job.string() +
                       ": settings.watermark-size: expected points from 6 to 600, got \"700\"\n");
  EXPECT_FALSE(fs::exists(dir.path() / "out.prn"));

  std::ofstream(job) << R"({"settings": {"watermark-image": "nowhere.bmp"}, "pages": 1})";
  r = Run({job.string()}, {});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "rt7700-print: " + job.string() +
                       ": settings.watermark-image: expected a BMP file that exists, got \"nowhere.bmp\"\n");

  r = Run({"--pages", "1", "-o", "watermark-frame=oval"}, {});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "rt7700-print: command line: -o watermark-frame=oval: expected none, ellipse or rectangle, got "
                   "\"oval\"\n");
  EXPECT_FALSE(fs::exists(dir.path() / "out.prn"));
}

}  // namespace
