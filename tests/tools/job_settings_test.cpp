// Settings by their CUPS names, through the stored devmode, into the render settings the rendering
// library builds from it: what each setting does to the job must survive the driver's import.
#include "../../tools/rt7700-print/job_settings.h"

#include <gtest/gtest.h>

#include "devmode/paper_tables.h"
#include "devmode/render_devmode.h"
#include "platform/test_hooks.h"

namespace rt7700print {
namespace {

// The render settings a job with these settings prints with.
devmode::RenderSettings Rendered(const std::vector<std::pair<std::string, std::string>>& options) {
  JobSettings s;
  for (const auto& [name, value] : options) {
    auto error = ApplySetting(s, name, value, "test", name);
    EXPECT_FALSE(error) << name << "=" << value << ": " << (error ? error->expected : "");
  }
  EXPECT_FALSE(CheckCombination(s));
  devmode::StoredDevmode stored{};
  BuildStoredDevmode(s, u"Taliro R7700 PCL5e", &stored);
  devmode::RenderSettings r{}, scratch{};
  EXPECT_EQ(devmode::Devmod2_InitDevMode(&r, u"Taliro R7700 PCL5e"), 1);
  EXPECT_EQ(devmode::ImportStoredDevmode(&stored.pub, &scratch), 1);
  EXPECT_EQ(devmode::Devmod2_MergeFieldsHigh(&r, &scratch.pub), 1);
  return r;
}

TEST(JobSettings, DefaultsPrintOneUncollatedCopyOneSidedOnTheLocalePaper) {
  platform::hooks::SetCountryCode(49);
  auto r = Rendered({});
  EXPECT_EQ(r.pub.dmCopies, 1);
  EXPECT_EQ(r.pub.dmCollate, 0);
  EXPECT_EQ(r.pub.dmPaperSize, 9);
  EXPECT_EQ(r.priv.TwoSided, 0);
  EXPECT_EQ(r.priv.PagesPerSheet, 1);
  EXPECT_EQ(r.priv.LayoutMode, 4);
  EXPECT_EQ(r.priv.ReverseOrder, 0);
  EXPECT_EQ(r.priv.DensityLevel, 2);
  EXPECT_EQ(r.priv.RenderModel, 1);
  EXPECT_EQ(r.priv.ScaleMode, 0);
  EXPECT_EQ(r.priv.TrayIndex, 0);
}

TEST(JobSettings, EachSettingReachesTheFieldTheDriverPrintsFrom) {
  EXPECT_EQ(Rendered({{"OutputOrder", "Reverse"}}).priv.ReverseOrder, 1);
  auto r = Rendered({{"copies", "3"}, {"collate", "true"}, {"output-order", "reverse"}, {"density", "dark"},
                     {"print-quality", "1200"}, {"zoom", "150"}, {"rotate-180", "yes"}, {"media-source", "tray-3"},
                     {"media-type", "labels"}, {"orientation-requested", "landscape"}});
  EXPECT_EQ(r.pub.dmCopies, 3);
  EXPECT_EQ(r.pub.dmCollate, 1);
  EXPECT_EQ(r.priv.ReverseOrder, 1);
  EXPECT_EQ(r.priv.DensityLevel, 4);
  EXPECT_EQ(r.priv.RenderModel, 2);
  EXPECT_EQ(r.priv.ScalePercent, 150);
  EXPECT_EQ(r.priv.ScaleMode, 1);
  EXPECT_EQ(r.priv.Rotate180, 1);
  EXPECT_EQ(r.priv.TrayIndex, 3);
  EXPECT_EQ(r.pub.dmMediaType, 263u);
  EXPECT_EQ(r.pub.dmOrientation, DMORIENT_LANDSCAPE);

  r = Rendered({{"sides", "two-sided-short-edge"}, {"media", "legal"}});
  EXPECT_EQ(r.pub.dmPaperSize, DMPAPER_LEGAL);
  EXPECT_EQ(r.priv.TwoSided, 1);
  EXPECT_EQ(r.priv.FlipShortEdge, 1);
  r = Rendered({{"sides", "two-sided-long-edge"}});
  EXPECT_EQ(r.priv.TwoSided, 1);
  EXPECT_EQ(r.priv.FlipShortEdge, 0);

  r = Rendered({{"media", "iso_a5_148x210mm"}, {"feed-orientation", "long-edge-first"}, {"density", "light"}});
  EXPECT_EQ(r.pub.dmPaperSize, DMPAPER_A5);
  EXPECT_EQ(r.priv.feedShortEdge, 0);
  EXPECT_EQ(r.priv.DensityLevel, 0);
  r = Rendered({{"media", "com10"}, {"media-source", "auto"}});
  EXPECT_EQ(r.priv.TrayIndex, 1);  // envelopes are fed by hand
  EXPECT_EQ(Rendered({{"poster", "true"}}).priv.LayoutMode, 0);
  EXPECT_EQ(Rendered({{"print-quality", "normal"}}).priv.RenderModel, 1);
}

TEST(JobSettings, EveryLayoutAndNumberUpGivesTheDriverThatCellOrder) {
  // Two pages share one row, so lrtb and tblr both fill it from the left.
  const struct {
    const char* numberUp;
    const char* layout;
    int order;
  } cases[] = {{"2", "lrtb", 1}, {"2", "tblr", 1}, {"2", "rltb", 2}, {"2", "tbrl", 3}, {"4", "lrtb", 0},
               {"4", "tblr", 1},  {"4", "rltb", 2},  {"4", "tbrl", 3},  {"6", "tbrl", 3},  {"9", "lrtb", 0},
               {"8", "tblr", 1},  {"16", "rltb", 2}};
  for (const auto& c : cases) {
    auto r = Rendered({{"number-up", c.numberUp}, {"number-up-layout", c.layout}, {"page-border", "single"}});
    EXPECT_EQ(r.priv.PagesPerSheet, std::stoi(c.numberUp)) << c.numberUp << " " << c.layout;
    EXPECT_EQ(r.priv.NupOrder, c.order) << c.numberUp << " " << c.layout;
    EXPECT_EQ(r.priv.NupBorder, 1);
  }
}

TEST(JobSettings, EveryPaperByNameIsOneTheDriverKeeps) {
  for (const auto& paper : devmode::Papers()) {
    std::string name = paper.pjlName;
    for (char& c : name) c = c == ' ' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(Rendered({{"media", name}}).pub.dmPaperSize, paper.paperNumber) << name;
  }
}

TEST(JobSettings, ARefusedValueChangesNothing) {
  JobSettings s;
  for (auto [name, value] : std::vector<std::pair<std::string, std::string>>{
           {"copies", "-1"}, {"number-up-layout", "btlr"}, {"page-border", "double"}, {"print-quality", "300"},
           {"orientation-requested", "5"}, {"media-source", "tray-9"}}) {
    auto error = ApplySetting(s, name, value, "job.json", "settings." + name);
    ASSERT_TRUE(error) << name << "=" << value;
    EXPECT_EQ(error->field, "settings." + name);
  }
  EXPECT_EQ(s.copies, 1);
  EXPECT_FALSE(s.layout);
  EXPECT_FALSE(s.border);
  EXPECT_EQ(s.quality, 600);
  EXPECT_EQ(s.source, DMBIN_AUTO);
}

}  // namespace
}  // namespace rt7700print

namespace rt7700print {
namespace {

TEST(JobSettings, CustomSizesByPwgAndCupsNames) {
  const struct {
    const char* name;
    int width, length;  // tenths of a millimetre
  } cases[] = {{"custom_100x200mm", 1000, 2000},  {"custom_label_4x6in", 1016, 1524},
               {"Custom.100x200mm", 1000, 2000},  {"Custom.288x432", 1016, 1524},
               {"custom.10.5x29.7cm", 1050, 2970}, {"custom_90x120mm", 900, 1200},
               {"custom_216x356mm", 2160, 3560}};
  for (const auto& c : cases) {
    auto r = Rendered({{"media", c.name}});
    EXPECT_EQ(r.pub.dmPaperSize, devmode::kFirstCustomPaper) << c.name;
    EXPECT_EQ(r.pub.dmPaperWidth, c.width) << c.name;
    EXPECT_EQ(r.pub.dmPaperLength, c.length) << c.name;
    devmode::PageGeometry g{};
    ASSERT_TRUE(devmode::GetPageGeometry(r.pub.dmPaperSize, r, &g)) << c.name;
    EXPECT_EQ(g.width, static_cast<int>(c.width * 600.0 / 254 + 0.5)) << c.name;
  }
  JobSettings s;
  for (const char* bad : {"custom_89x200mm", "custom_100x357mm", "custom_100x200", "custom_axbmm",
                          "Custom.100", "custom_1.2345x200mm", "custom_x200mm"}) {
    EXPECT_TRUE(ApplySetting(s, "media", bad, "test", "media")) << bad;
  }
  EXPECT_FALSE(s.paper);
  ASSERT_FALSE(ApplySetting(s, "media", "custom_100x200mm", "test", "media"));
  ASSERT_FALSE(ApplySetting(s, "sides", "two-sided-long-edge", "test", "sides"));
  auto error = CheckCombination(s);
  ASSERT_TRUE(error);
  EXPECT_NE(error->expected.find("media is custom"), std::string::npos);
  ASSERT_FALSE(ApplySetting(s, "media", "a4", "test", "media"));  // a named paper drops the custom size
  EXPECT_FALSE(s.customSize);
}

}  // namespace
}  // namespace rt7700print
