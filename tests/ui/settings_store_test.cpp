// The settings store over a real settings file in a test application-data folder.
#include "store/settings_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/test_hooks.h"
#include "platform/utf16.h"
#include "store/config_object.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

class SettingsStoreTest : public testing::Test {
 protected:
  void SetUp() override { platform::hooks::SetAppDataFolder(dir_.str()); }
  fs::path File() const { return dir_.path() / "Taliro" / "rt7x5e" / "r6100settings.dat"; }
  std::string Bytes() const {
    std::ifstream in(File(), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  void Put(const std::string& bytes) const {
    fs::create_directories(File().parent_path());
    std::ofstream(File(), std::ios::binary | std::ios::trunc) << bytes;
  }
  static std::vector<std::u16string> Names(ui::SettingsStore& store) {
    WCHAR names[20][ui::kListNameChars];
    int n = store.List(names, 20);
    std::vector<std::u16string> out;
    for (int i = 0; i < n; ++i) out.emplace_back(platform::WideField(names[i], ui::kListNameChars));
    return out;
  }
  static std::vector<uint8_t> Record(size_t size, uint8_t fill) { return std::vector<uint8_t>(size, fill); }

  testsupport::TempDir dir_;
};

TEST_F(SettingsStoreTest, PathAndSkeletonAreCreated) {
  ui::WatermarkStore store;
  ASSERT_EQ(store.EnsureSettingsSkeleton(), 1);
  EXPECT_EQ(Bytes(),
            "<object:cfgobj,type:null,len:0,childobjs:2>\n"
            "<object:version,type:string,len:6,childobjs:0>1.001" + std::string(1, '\0') + "<endobj>\n"
            "<object:UIParam,type:null,len:0,childobjs:4>\n"
            "<object:savesetting,type:null,len:0,childobjs:0>\n<endobj>\n"
            "<object:cursetting,type:null,len:0,childobjs:0>\n<endobj>\n"
            "<object:cuspapersetting,type:null,len:0,childobjs:0>\n<endobj>\n"
            "<object:watermarksetting,type:null,len:0,childobjs:0>\n<endobj>\n"
            "<endobj>\n<endobj>\n");
}

TEST_F(SettingsStoreTest, FavoriteSkeletonHasNoWatermarkCollection) {
  ui::FavoriteStore favorites;
  ui::WatermarkStore watermarks;
  ASSERT_EQ(favorites.EnsureSettingsSkeleton(), 1);
  EXPECT_EQ(Bytes().find("watermarksetting"), std::string::npos);
  EXPECT_EQ(watermarks.Save(u"w", Record(816, 1)), 0) << "collection missing";
  ASSERT_EQ(watermarks.EnsureSettingsSkeleton(), 1);
  EXPECT_EQ(watermarks.Save(u"w", Record(816, 1)), 1);
}

TEST_F(SettingsStoreTest, SaveUnderAnExistingNameMovesItToTheEnd) {
  ui::FavoriteStore store;
  ASSERT_EQ(store.EnsureSettingsSkeleton(), 1);
  for (auto name : {u"one", u"two", u"three"}) ASSERT_EQ(store.Save(name, Record(5588, 1)), 1);
  ASSERT_EQ(store.Save(u"one", Record(5588, 9)), 1);
  EXPECT_EQ(Names(store), (std::vector<std::u16string>{u"two", u"three", u"one"}));
  std::vector<uint8_t> out(5588);
  ASSERT_EQ(store.Load(u"one", out.data(), out.size()), 1);
  EXPECT_EQ(out, Record(5588, 9));
  EXPECT_EQ(store.Count(), 3);
}

TEST_F(SettingsStoreTest, LoadChecksTheStoredLength) {
  ui::WatermarkStore store;
  ASSERT_EQ(store.EnsureSettingsSkeleton(), 1);
  ASSERT_EQ(store.Save(u"w", Record(816, 7)), 1);
  std::vector<uint8_t> out(900, 0xEE);
  EXPECT_EQ(store.Load(u"w", out.data(), 815), 0);
  EXPECT_EQ(store.Load(u"w", out.data(), 817), 0);
  EXPECT_EQ(out[0], 0xEE) << "nothing copied on failure";
  EXPECT_EQ(store.Load(u"missing", out.data(), 816), 0);
  EXPECT_EQ(store.Load(u"w", out.data(), 816), 1);
  EXPECT_EQ(out[815], 7);
  EXPECT_EQ(out[816], 0xEE);
}

TEST_F(SettingsStoreTest, RemoveRewritesOnlyWhenSomethingWentAway) {
  ui::CustomPaperStore store;
  ASSERT_EQ(store.EnsureSettingsSkeleton(), 1);
  ASSERT_EQ(store.Save(u"p", Record(72, 1)), 1);
  EXPECT_EQ(store.Remove(u"q"), 0);
  EXPECT_EQ(store.Remove(u"p"), 1);
  EXPECT_EQ(store.Remove(u"p"), 0);
  EXPECT_EQ(store.Count(), 0);
}

TEST_F(SettingsStoreTest, SaveCurrentKeepsOneSetting) {
  ui::FavoriteStore store;
  ASSERT_EQ(store.EnsureSettingsSkeleton(), 1);
  ASSERT_EQ(store.SaveCurrent(u"first", Record(5588, 1)), 1);
  ASSERT_EQ(store.SaveCurrent(u"second", Record(5588, 2)), 1);
  auto record = std::make_unique<ui::SettingsRecord>();
  std::u16string name;
  ASSERT_EQ(store.LoadCurrent(*record, &name), 1);
  EXPECT_EQ(name, u"second");
  EXPECT_EQ(reinterpret_cast<const uint8_t*>(record.get())[100], 2);
  size_t first = Bytes().find("cursetting,type:null,len:0,childobjs:1>");
  EXPECT_NE(first, std::string::npos) << Bytes();
  EXPECT_EQ(store.Count(), 0) << "the current setting is not a favourite";
  ui::WatermarkStore other;
  EXPECT_EQ(other.SaveCurrent(u"x", Record(816, 1)), 0);
}

TEST_F(SettingsStoreTest, FileWithoutVersionIsResetToTheSkeleton) {
  Put("<object:cfgobj,type:null,len:0,childobjs:1>\n"
      "<object:UIParam,type:null,len:0,childobjs:1>\n"
      "<object:savesetting,type:null,len:0,childobjs:1>\n"
      "<object:old,type:binary,len:3,childobjs:0>abc<endobj>\n"
      "<endobj>\n<endobj>\n<endobj>\n");
  ui::FavoriteStore store;
  ASSERT_EQ(store.EnsureSettingsSkeleton(), 1);
  EXPECT_EQ(store.Count(), 0);
  EXPECT_EQ(Bytes().find("old"), std::string::npos);
  EXPECT_NE(Bytes().find("<object:version,type:string,len:6,childobjs:0>1.001"), std::string::npos);
}

TEST_F(SettingsStoreTest, DamagedFileFailsEveryOperationAndStaysAsItWas) {
  ui::FavoriteStore store;
  ASSERT_EQ(store.EnsureSettingsSkeleton(), 1);
  ASSERT_EQ(store.Save(u"kept", Record(5588, 3)), 1);
  const std::string good = Bytes();
  for (const std::string& damaged :
       {good.substr(0, good.find("kept") + 200), good.substr(0, good.size() - 3),
        std::string("<object:cfgobj,type:null,len:0,childobjs:1>\n<object:version,type:string,len:99999,childobjs:0>"),
        "<" + std::string(400, 'z') + ">", good.substr(0, 60) + std::string(40, '\xff') + good.substr(100)}) {
    Put(damaged);
    std::vector<uint8_t> out(5588);
    EXPECT_EQ(store.EnsureSettingsSkeleton(), 0);
    EXPECT_EQ(store.Save(u"new", Record(5588, 1)), 0);
    EXPECT_EQ(store.Load(u"kept", out.data(), out.size()), 0);
    EXPECT_EQ(store.Remove(u"kept"), 0);
    EXPECT_EQ(store.SaveCurrent(u"cur", Record(5588, 1)), 0);
    EXPECT_EQ(store.Count(), 0);
    EXPECT_EQ(Bytes(), damaged) << "the damaged file is never replaced";
  }
}

TEST_F(SettingsStoreTest, NamesTooLongForTheirFieldAreRefused) {
  ui::FavoriteStore store;
  ASSERT_EQ(store.EnsureSettingsSkeleton(), 1);
  EXPECT_EQ(store.Save(std::u16string(33, u'a'), Record(5588, 1)), 0);
  EXPECT_EQ(store.Save(std::u16string(32, u'a'), Record(5588, 1)), 1);
  // 32 characters of three UTF-8 bytes each still fit the 128-byte name field.
  EXPECT_EQ(store.Save(std::u16string(33, u'\u3042'), Record(5588, 1)), 0);
  EXPECT_EQ(store.Save(std::u16string(32, u'\u3042'), Record(5588, 1)), 1);
  EXPECT_EQ(Names(store).back(), std::u16string(32, u'\u3042'));
  EXPECT_EQ(store.Count(), 2);
}

TEST_F(SettingsStoreTest, CustomPaperIdsReuseTheLowestFreeOne) {
  ui::CustomPaperStore store;
  ASSERT_EQ(store.EnsureSettingsSkeleton(), 1);
  EXPECT_EQ(store.AllocatePaperId(), 288);
  for (int i = 0; i < 16; ++i) {
    devmode::CustomPaperRecord r{};
    r.paperId = static_cast<uint32_t>(store.AllocatePaperId());
    ASSERT_EQ(r.paperId, 288u + i);
    ASSERT_EQ(store.Save(platform::Widen("paper " + std::to_string(i)), ui::RecordBytes(r)), 1);
  }
  EXPECT_EQ(store.Count(), 16);
  EXPECT_EQ(store.Capacity(), 16);
  EXPECT_EQ(store.AllocatePaperId(), -1);
  ASSERT_EQ(store.Remove(u"paper 1"), 1);
  EXPECT_EQ(store.AllocatePaperId(), 289);
  EXPECT_EQ(store.Records().size(), 15u);
}

TEST_F(SettingsStoreTest, MissingApplicationDataFolderFailsCleanly) {
  platform::hooks::SetAppDataFolder((dir_.path() / "file").string());
  std::ofstream(dir_.path() / "file") << "not a folder";
  ui::FavoriteStore store;
  EXPECT_EQ(store.EnsureSettingsSkeleton(), 0);
  EXPECT_EQ(store.Count(), 0);
}

}  // namespace
