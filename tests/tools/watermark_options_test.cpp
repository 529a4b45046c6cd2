// The watermark settings of rt7700-print, through the stored devmode, into the decoration block
// the rendering library hands the renderer: what the user asked for must be what gets drawn.
#include "../../tools/rt7700-print/job_settings.h"

#include <gtest/gtest.h>

#include <fstream>

#include "devmode/render_devmode.h"
#include "platform/test_hooks.h"
#include "platform/utf16.h"
#include "store/settings_store.h"
#include "support/temp_dir.h"

namespace rt7700print {
namespace {

using Options = std::vector<std::pair<std::string, std::string>>;

class WatermarkOptionsTest : public testing::Test {
 protected:
  void SetUp() override { platform::hooks::SetAppDataFolder(dir.str()); }

  // The first error of these settings, or nothing.
  std::optional<InputError> Error(const Options& options) {
    JobSettings s;
    for (const auto& [name, value] : options)
      if (auto e = ApplySetting(s, name, value, "command line", "-o " + name + "=" + value)) return e;
    auto choice = ResolveWatermark(s.watermark, SavedWatermark);
    if (auto* e = std::get_if<InputError>(&choice)) return *e;
    return std::nullopt;
  }

  // The decoration block a job with these settings prints with.
  devmode::DecorationBlock Block(const Options& options) {
    JobSettings s;
    for (const auto& [name, value] : options) {
      auto e = ApplySetting(s, name, value, "command line", name);
      EXPECT_FALSE(e) << name << "=" << value << ": " << (e ? e->expected : "");
    }
    auto choice = ResolveWatermark(s.watermark, SavedWatermark);
    EXPECT_TRUE(std::holds_alternative<WatermarkChoice>(choice)) << std::get<InputError>(choice).expected;
    devmode::StoredDevmode stored{};
    BuildStoredDevmode(s, u"Taliro R7700 PCL5e", &stored);
    if (auto* c = std::get_if<WatermarkChoice>(&choice)) ApplyWatermark(*c, &stored);
    devmode::RenderSettings r{}, scratch{};
    EXPECT_EQ(devmode::Devmod2_InitDevMode(&r, u"Taliro R7700 PCL5e"), 1);
    EXPECT_EQ(devmode::ImportStoredDevmode(&stored.pub, &scratch), 1);
    EXPECT_EQ(devmode::Devmod2_MergeFieldsHigh(&r, &scratch.pub), 1);
    return r.priv.decoration;
  }

  static std::u16string Text(const devmode::DecorationBlock& b) {
    return std::u16string(platform::WideField(b.text, std::size(b.text)));
  }

  testsupport::TempDir dir;
};

TEST_F(WatermarkOptionsTest, BuiltInWatermarksByNameAndWhatTheOtherSettingsChange) {
  EXPECT_EQ(Block({}).WatermarkIndex, 0) << "no watermark unless asked";

  devmode::DecorationBlock b = Block({{"watermark", "Confidential"}});
  EXPECT_EQ(b.WatermarkIndex, 1);
  EXPECT_EQ(Text(b), u"Confidential");
  EXPECT_EQ(b.size, 114);
  EXPECT_EQ(b.angle, 45);
  EXPECT_EQ(b.position, 5);
  EXPECT_EQ(b.grey, 0xA1A1A1u);
  EXPECT_EQ(b.firstPageOnly, 0);
  EXPECT_EQ(b.imageFlag, 0);

  b = Block({{"watermark", "WATERMARK"}, {"watermark-angle", "-30"}, {"watermark-darkness", "4"},
             {"watermark-first-page-only", "yes"}, {"watermark-position", "7"}});
  EXPECT_EQ(b.WatermarkIndex, 2);
  EXPECT_EQ(Text(b), u"Watermark");
  EXPECT_EQ(b.angle, -30);
  EXPECT_EQ(b.grey, 0x323232u);
  EXPECT_EQ(b.firstPageOnly, 1);
  EXPECT_EQ(b.position, 7);

  EXPECT_EQ(Block({{"watermark", "none"}}).WatermarkIndex, 0);
  // The later choice wins, as the command line's does over the job file's.
  EXPECT_EQ(Block({{"watermark", "Confidential"}, {"watermark", "none"}}).WatermarkIndex, 0);
  EXPECT_EQ(Text(Block({{"watermark", "none"}, {"watermark-text", "Late"}})), u"Late");
}

TEST_F(WatermarkOptionsTest, AOneOffTextCarriesEverySetting) {
  const devmode::DecorationBlock b =
      Block({{"watermark-text", "Nur intern \xC3\xBC"}, {"watermark-font", "Liberation Serif"}, {"watermark-size", "36"},
             {"watermark-angle", "90"}, {"watermark-bold", "true"}, {"watermark-italic", "on"},
             {"watermark-frame", "ellipse"}, {"watermark-repeat", "true"}, {"watermark-position", "30,70"},
             {"watermark-darkness", "0"}});
  EXPECT_NE(b.WatermarkIndex, 0);
  EXPECT_EQ(Text(b), u"Nur intern \u00fc");
  EXPECT_EQ(std::u16string(platform::WideField(b.typeface, std::size(b.typeface))), u"Liberation Serif");
  EXPECT_EQ(b.size, 36);
  EXPECT_EQ(b.angle, 90);
  EXPECT_EQ(b.bold, 1);
  EXPECT_EQ(b.italic, 1);
  EXPECT_EQ(b.frame, 1);
  EXPECT_NE(b.repeat, 0u);
  EXPECT_EQ(b.position, 10);
  EXPECT_EQ(b.horizontal, 30);
  EXPECT_EQ(b.vertical, 70);
  EXPECT_EQ(b.grey, 0xC6C6C6u);

  const devmode::DecorationBlock plain = Block({{"watermark-text", "X"}});
  EXPECT_EQ(plain.size, 72);
  EXPECT_EQ(plain.angle, 0);
  EXPECT_EQ(plain.frame, 0);
  EXPECT_EQ(plain.repeat, 0u);
  EXPECT_EQ(std::u16string(platform::WideField(plain.typeface, std::size(plain.typeface))), u"Arial");
}

TEST_F(WatermarkOptionsTest, AnImageWatermarkCarriesItsPathAndScaleWhereTheRendererReadsThem) {
  const std::string bitmap = dir.str() + "/stamp.bmp";
  std::ofstream(bitmap) << "BM";
  const devmode::DecorationBlock b =
      Block({{"watermark-image", bitmap}, {"watermark-scale", "250"}, {"watermark-position", "9"}});
  EXPECT_NE(b.WatermarkIndex, 0);
  EXPECT_EQ(b.imageFlag, 1);
  EXPECT_EQ(std::u16string(platform::WideField(b.imagePath, std::size(b.imagePath))), platform::Utf8ToUtf16(bitmap));
  EXPECT_EQ(b.size, 250);
  EXPECT_EQ(b.position, 9);
  EXPECT_EQ(b.portraitMonoFile[0], 0) << "no print file is spliced";
  EXPECT_EQ(Block({{"watermark-image", bitmap}}).size, 100);
}

TEST_F(WatermarkOptionsTest, SavedWatermarksAreFoundByNameBeforeTheBuiltInOnes) {
  ui::WatermarkStore store;
  ASSERT_EQ(store.EnsureSettingsSkeleton(), 1);
  devmode::WatermarkRecord mine{};
  mine.WatermarkIndex = 4;
  mine.WatermarkKind = 1;
  platform::CopyWideField(mine.Text, std::size(mine.Text), u"Eyes only");
  platform::CopyWideField(mine.Typeface, std::size(mine.Typeface), u"Arial");
  mine.Size = 60;
  mine.Position = 2;
  mine.GreyLevel = 3;
  ASSERT_EQ(store.Save(u"Draft copy", ui::RecordBytes(mine)), 1);
  ASSERT_EQ(store.Save(u"Confidential", ui::RecordBytes(mine)), 1);

  devmode::DecorationBlock b = Block({{"watermark", "draft copy"}});
  EXPECT_EQ(b.WatermarkIndex, 4);
  EXPECT_EQ(Text(b), u"Eyes only");
  EXPECT_EQ(b.size, 60);
  EXPECT_EQ(b.position, 2);
  EXPECT_EQ(b.grey, 0x575757u);
  EXPECT_EQ(Text(Block({{"watermark", "Confidential"}})), u"Eyes only");
  EXPECT_EQ(Text(Block({{"watermark", "Watermark"}})), u"Watermark");
}

TEST_F(WatermarkOptionsTest, BadValuesAndSettingsThatDoNotGoTogetherAreRefused) {
  const std::string bitmap = dir.str() + "/stamp.bmp";
  std::ofstream(bitmap) << "BM";
  struct Case {
    Options options;
    std::string field;     // the setting the message names
    std::string expected;  // part of what it says
  };
  const std::vector<Case> cases = {
      {{{"watermark", "Nope"}}, "-o watermark=Nope", "saved in the printing preferences"},
      {{{"watermark-text", ""}}, "-o watermark-text=", "1 to 64 characters"},
      {{{"watermark-text", std::string(65, 'x')}}, "-o watermark-text=" + std::string(65, 'x'), "1 to 64"},
      {{{"watermark-text", "tab\there"}}, "-o watermark-text=tab\there", "1 to 64"},
      {{{"watermark-font", std::string(32, 'f')}}, "-o watermark-font=" + std::string(32, 'f'), "1 to 31"},
      {{{"watermark-size", "5"}}, "-o watermark-size=5", "from 6 to 600"},
      {{{"watermark-size", "601"}}, "-o watermark-size=601", "from 6 to 600"},
      {{{"watermark-size", "72pt"}}, "-o watermark-size=72pt", "from 6 to 600"},
      {{{"watermark-angle", "91"}}, "-o watermark-angle=91", "from -90 to 90"},
      {{{"watermark-angle", "-91"}}, "-o watermark-angle=-91", "from -90 to 90"},
      {{{"watermark-darkness", "5"}}, "-o watermark-darkness=5", "from 0 to 4"},
      {{{"watermark-position", "0"}}, "-o watermark-position=0", "from 1 (top left) to 9"},
      {{{"watermark-position", "10"}}, "-o watermark-position=10", "from 1 (top left) to 9"},
      {{{"watermark-position", "101,5"}}, "-o watermark-position=101,5", "X,Y in percent"},
      {{{"watermark-position", "5,"}}, "-o watermark-position=5,", "X,Y in percent"},
      {{{"watermark-frame", "circle"}}, "-o watermark-frame=circle", "none, ellipse or rectangle"},
      {{{"watermark-bold", "maybe"}}, "-o watermark-bold=maybe", "true or false"},
      {{{"watermark-repeat", "2"}}, "-o watermark-repeat=2", "true or false"},
      {{{"watermark-first-page-only", ""}}, "-o watermark-first-page-only=", "true or false"},
      {{{"watermark-scale", "1"}}, "-o watermark-scale=1", "from 2 to 1000"},
      {{{"watermark-scale", "1001"}}, "-o watermark-scale=1001", "from 2 to 1000"},
      {{{"watermark-image", dir.str() + "/missing.bmp"}}, "-o watermark-image=" + dir.str() + "/missing.bmp",
       "a BMP file that exists"},
      {{{"watermark-image", dir.str()}}, "-o watermark-image=" + dir.str(), "a BMP file that exists"},
      {{{"watermark-size", "60"}}, "-o watermark-size=60", "watermark, watermark-text or watermark-image too"},
      {{{"watermark-image", bitmap}, {"watermark-font", "Arial"}}, "-o watermark-font=Arial", "text watermarks only"},
      {{{"watermark-image", bitmap}, {"watermark-position", "50,50"}}, "-o watermark-position=50,50",
       "from 1 to 9 for an image"},
      {{{"watermark-text", "X"}, {"watermark-scale", "200"}}, "-o watermark-scale=200", "image watermarks only"},
  };
  for (const Case& c : cases) {
    const auto e = Error(c.options);
    ASSERT_TRUE(e.has_value()) << c.field;
    EXPECT_EQ(e->where, "command line");
    EXPECT_EQ(e->field, c.field);
    EXPECT_NE(e->expected.find(c.expected), std::string::npos) << c.field << ": " << e->expected;
  }
  // First-page-only alone changes nothing and is no error.
  EXPECT_FALSE(Error({{"watermark-first-page-only", "true"}}));
}

}  // namespace
}  // namespace rt7700print
