// The settings store over a real settings file in a test application-data folder.
#include "store/settings_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/durable_file.h"
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
  static std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  std::string Bytes() const { return Read(File()); }
  // The contents of the files moved aside beside the settings file.
  std::vector<std::string> Aside() const {
    std::vector<std::string> out;
    for (const auto& entry : fs::directory_iterator(File().parent_path())) {
      if (entry.path().filename().string().rfind("r6100settings.dat.damaged-", 0) == 0) out.push_back(Read(entry.path()));
    }
    return out;
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

TEST_F(SettingsStoreTest, FileWithoutVersionIsResetToTheSkeletonAndKeptAside) {
  const std::string old =
      "<object:cfgobj,type:null,len:0,childobjs:1>\n"
      "<object:UIParam,type:null,len:0,childobjs:1>\n"
      "<object:savesetting,type:null,len:0,childobjs:1>\n"
      "<object:old,type:binary,len:3,childobjs:0>abc<endobj>\n"
      "<endobj>\n<endobj>\n<endobj>\n";
  Put(old);
  ui::FavoriteStore store;
  ASSERT_EQ(store.EnsureSettingsSkeleton(), 1);
  EXPECT_EQ(store.Count(), 0);
  EXPECT_EQ(Bytes().find("old"), std::string::npos);
  EXPECT_NE(Bytes().find("<object:version,type:string,len:6,childobjs:0>1.001"), std::string::npos);
  EXPECT_EQ(Aside(), (std::vector<std::string>{old})) << "the reset file is kept, not deleted";
}

// Files the store cannot use, each paired with a store operation that must still succeed.
TEST_F(SettingsStoreTest, DamagedFileIsMovedAsideWholeAndTheOperationGoesOn) {
  ui::FavoriteStore store;
  ASSERT_EQ(store.EnsureSettingsSkeleton(), 1);
  ASSERT_EQ(store.Save(u"kept", Record(5588, 3)), 1);
  const std::string good = Bytes();
  std::string flippedVersion = good;
  flippedVersion[flippedVersion.find("version") + 3] ^= 0x20;
  const std::string cutInPayload = good.substr(0, good.find("kept") + 200);
  const std::vector<std::string> damaged = {
      cutInPayload,
      good.substr(0, good.size() - 3),
      "<object:cfgobj,type:null,len:0,childobjs:1>\n<object:version,type:string,len:99999,childobjs:0>",
      "<" + std::string(400, 'z') + ">",
      good.substr(0, 60) + std::string(40, '\xff') + good.substr(100),
      flippedVersion,
  };
  using Operation = std::function<int(ui::FavoriteStore&)>;
  const std::vector<std::pair<const char*, Operation>> operations = {
      {"EnsureSettingsSkeleton", [](ui::FavoriteStore& s) { return s.EnsureSettingsSkeleton(); }},
      {"Save", [](ui::FavoriteStore& s) { return s.Save(u"new", Record(5588, 1)); }},
      {"SaveCurrent", [](ui::FavoriteStore& s) { return s.SaveCurrent(u"cur", Record(5588, 1)); }},
      {"Count", [](ui::FavoriteStore& s) { return s.Count() == 0 ? 1 : 0; }},
      {"Load of a lost item", [](ui::FavoriteStore& s) {
         std::vector<uint8_t> out(5588);
         return s.Load(u"kept", out.data(), out.size()) == 0 ? 1 : 0;
       }},
  };
  int moved = 0;
  for (const auto& [what, operation] : operations) {
    for (size_t i = 0; i < damaged.size(); ++i) {
      // Only EnsureSettingsSkeleton resets a file that parses but lacks its version.
      if (damaged[i] == flippedVersion && std::string(what) != "EnsureSettingsSkeleton") continue;
      SCOPED_TRACE(std::string(what) + " over damaged file " + std::to_string(i));
      Put(damaged[i]);
      EXPECT_EQ(operation(store), 1);
      ++moved;
      auto aside = Aside();
      ASSERT_EQ(aside.size(), static_cast<size_t>(moved));
      EXPECT_NE(std::find(aside.begin(), aside.end(), damaged[i]), aside.end()) << "bytes kept intact";
      EXPECT_EQ(store.Save(u"after", Record(5588, 4)), 1) << "the fresh file has the skeleton";
      EXPECT_EQ(Names(store).back(), u"after");
      ASSERT_EQ(Aside().size(), static_cast<size_t>(moved)) << "a good file is never moved";
    }
  }
}

TEST_F(SettingsStoreTest, UnreadableFileIsMovedAsideToo) {
  fs::create_directories(File() / "inside");
  ui::WatermarkStore store;
  EXPECT_EQ(store.Save(u"w", Record(816, 1)), 1);
  EXPECT_EQ(store.Count(), 1);
  bool folderKept = false;
  for (const auto& entry : fs::directory_iterator(File().parent_path())) {
    if (entry.path().filename().string().rfind("r6100settings.dat.damaged-", 0) == 0)
      folderKept = fs::is_directory(entry.path() / "inside");
  }
  EXPECT_TRUE(folderKept);
}

TEST_F(SettingsStoreTest, AsideNamesCarryTheTimeAndNeverCollide) {
  platform::hooks::SetLocalTime({2025, 1, 5, 31, 14, 23, 5, 0});
  ui::CustomPaperStore store;
  for (const char* garbage : {"<first", "<second"}) {
    Put(garbage);
    ASSERT_EQ(store.Count(), 0);
  }
  const fs::path folder = File().parent_path();
  EXPECT_EQ(Read(folder / "r6100settings.dat.damaged-20250131-142305"), "<first");
  EXPECT_EQ(Read(folder / "r6100settings.dat.damaged-20250131-142305-2"), "<second");
}

TEST_F(SettingsStoreTest, SaveThatCannotBeMadeDurableFailsAndKeepsTheFile) {
  ui::FavoriteStore store;
  ASSERT_EQ(store.EnsureSettingsSkeleton(), 1);
  const std::string before = Bytes();
  platform::hooks::FailDurableReplaceAt(platform::hooks::DurableStep::SyncData);
  EXPECT_EQ(store.Save(u"lost", Record(5588, 1)), 0);
  platform::hooks::FailDurableReplaceAt(std::nullopt);
  EXPECT_EQ(Bytes(), before);
  size_t entries = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(File().parent_path())) ++entries;
  EXPECT_EQ(entries, 2u) << "the file and its lock, no temporary";
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
