// Saving custom papers and favourites and deleting favourites, with the user's answers.
#include "store/settings_editing.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "devmode/caller_merge.h"
#include "platform/test_hooks.h"
#include "platform/ui_hooks.h"
#include "platform/utf16.h"
#include "support/temp_dir.h"
#include "win/dialogs.h"
#include "win/modules.h"

namespace {

using ui::EditOutcome;

class EditingTest : public testing::Test {
 protected:
  void SetUp() override {
    platform::hooks::SetAppDataFolder(dir_.str());
    platform::hooks::SetPlatformRoot(dir_.str());
    module_ = LoadLibraryW(platform::Utf8ToUtf16(std::string(RT7700_LIB_DIR) + "/rt7700PCL5eenus.so").c_str());
    ASSERT_NE(module_, nullptr);
    ASSERT_EQ(papers_.EnsureSettingsSkeleton(), 1);
    working_ = std::make_unique<devmode::StoredDevmode>();
    devmode::InitStoredDevmode(working_.get(), u"R7700", u"Default Settings");
  }
  void TearDown() override { FreeLibrary(module_); }

  EditOutcome Paper(std::u16string_view name, float w = 4960, float h = 7015, uint32_t unit = 1,
                    uint32_t* id = nullptr) {
    return ui::SaveCustomPaper(papers_, nullptr, module_, {name, unit, w, h}, id);
  }
  std::u16string LastMessage() {
    auto boxes = platform::hooks::TakeMessageBoxes();
    return boxes.empty() ? u"" : boxes.back().text;
  }

  testsupport::TempDir dir_;
  HMODULE module_ = nullptr;
  ui::CustomPaperStore papers_;
  ui::FavoriteStore favorites_;
  std::unique_ptr<devmode::StoredDevmode> working_;
};

TEST_F(EditingTest, NamesAreTrimmedOfBothKindsOfBlank) {
  EXPECT_EQ(ui::TrimName(u"\u3000 My paper \u3000"), u"My paper");
  EXPECT_EQ(ui::TrimName(u"   "), u"");
  EXPECT_EQ(ui::TrimName(u"a\u3000b"), u"a\u3000b");
}

TEST_F(EditingTest, CustomPaperNameAndSizeAreChecked) {
  EXPECT_EQ(Paper(u"  "), EditOutcome::EmptyName);
  EXPECT_EQ(Paper(std::u16string(25, u'n')), EditOutcome::NameTooLong);
  EXPECT_EQ(Paper(u" " + std::u16string(24, u'n') + u" "), EditOutcome::Saved);
  EXPECT_EQ(Paper(u"narrow", 2000, 7015), EditOutcome::SizeOutOfRange);  // 84.7 mm
  EXPECT_EQ(Paper(u"tall", 4960, 8500), EditOutcome::SizeOutOfRange);   // 359.8 mm
  EXPECT_EQ(Paper(u"inch", 5100, 8400, 2), EditOutcome::Saved);        // 8.5 x 14 in
  EXPECT_EQ(papers_.Count(), 2);
}

TEST_F(EditingTest, SeventeenthPaperIsRefusedBeforeSaving) {
  for (int i = 0; i < 16; ++i) ASSERT_EQ(Paper(platform::Widen("p" + std::to_string(i))), EditOutcome::Saved);
  EXPECT_EQ(papers_.Count(), 16);
  EXPECT_EQ(papers_.Capacity(), 16);
  platform::hooks::TakeMessageBoxes();
  EXPECT_EQ(Paper(u"p16"), EditOutcome::StoreFull);
  EXPECT_EQ(LastMessage(), u"You can keep up to 16 custom paper sizes. Delete one before adding another.");
  EXPECT_EQ(papers_.Count(), 16);
}

TEST_F(EditingTest, ReplacingAPaperAsksAndKeepsItsId) {
  uint32_t first = 0, second = 0, again = 0;
  ASSERT_EQ(Paper(u"a", 4960, 7015, 1, &first), EditOutcome::Saved);
  ASSERT_EQ(Paper(u"b", 4960, 7015, 1, &second), EditOutcome::Saved);
  EXPECT_EQ(first, 288u);
  EXPECT_EQ(second, 289u);
  platform::hooks::QueueMessageBoxAnswers({IDNO, IDYES});
  EXPECT_EQ(Paper(u"a", 5000, 7000), EditOutcome::Declined);
  EXPECT_EQ(Paper(u"a", 5000.4f, 7000.6f, 1, &again), EditOutcome::Replaced);
  EXPECT_EQ(again, 288u);
  auto records = papers_.Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].paperId, 288u) << "moved to the end";
  EXPECT_EQ(records[1].width, 5000);
  EXPECT_EQ(records[1].height, 7001);
  EXPECT_FLOAT_EQ(records[1].widthExact, 5000.4f);
  EXPECT_EQ(platform::WideField(records[1].name, 26), u"a");
}

TEST_F(EditingTest, DeletedPaperIdIsReused) {
  for (auto n : {u"a", u"b", u"c"}) ASSERT_EQ(Paper(n), EditOutcome::Saved);
  ASSERT_EQ(papers_.Remove(u"b"), 1);
  uint32_t id = 0;
  ASSERT_EQ(Paper(u"d", 4960, 7015, 1, &id), EditOutcome::Saved);
  EXPECT_EQ(id, 289u);
}

TEST_F(EditingTest, FavoriteNeedsANameAndRoom) {
  EXPECT_EQ(ui::SaveFavorite(favorites_, nullptr, module_, u" \u3000 ", *working_), EditOutcome::EmptyName);
  auto boxes = platform::hooks::TakeMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, u"Enter a name for the favourite settings.");
  EXPECT_EQ(boxes[0].caption, u"Taliro R7700 Series");
  EXPECT_EQ(ui::SaveFavorite(favorites_, nullptr, module_, std::u16string(33, u'f'), *working_), EditOutcome::NameTooLong);
  for (int i = 0; i < 16; ++i)
    ASSERT_EQ(ui::SaveFavorite(favorites_, nullptr, module_, platform::Widen("f" + std::to_string(i)), *working_),
              EditOutcome::Saved);
  EXPECT_EQ(ui::SaveFavorite(favorites_, nullptr, module_, u"extra", *working_), EditOutcome::StoreFull);
  EXPECT_EQ(LastMessage(), u"You can keep up to 16 favourite settings. Delete one before saving another.");
  EXPECT_EQ(favorites_.Count(), 16);
}

TEST_F(EditingTest, FavoriteUnderAnExistingNameIsReplacedOnYes) {
  working_->pub.dmCopies = 3;
  ASSERT_EQ(ui::SaveFavorite(favorites_, nullptr, module_, u"  Draft ", *working_), EditOutcome::Saved);
  EXPECT_EQ(platform::WideField(working_->priv.FavoriteName, 256), u"Draft");
  ASSERT_EQ(ui::SaveFavorite(favorites_, nullptr, module_, u"Other", *working_), EditOutcome::Saved);
  working_->pub.dmCopies = 7;
  platform::hooks::QueueMessageBoxAnswers({IDCANCEL, IDYES});
  EXPECT_EQ(ui::SaveFavorite(favorites_, nullptr, module_, u"Draft", *working_), EditOutcome::Declined);
  EXPECT_EQ(ui::SaveFavorite(favorites_, nullptr, module_, u"Draft", *working_), EditOutcome::Replaced);
  auto boxes = platform::hooks::TakeMessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].type, MB_YESNO | MB_ICONEXCLAMATION);
  EXPECT_EQ(favorites_.Count(), 2);
  auto loaded = std::make_unique<devmode::StoredDevmode>();
  ASSERT_EQ(favorites_.LoadInto(u"Draft", *loaded), 1);
  EXPECT_EQ(loaded->pub.dmCopies, 7);
  EXPECT_EQ(platform::WideField(loaded->priv.FavoriteName, 256), u"Draft");
}

TEST_F(EditingTest, DeletingKeepsTheLastFavourite) {
  ASSERT_EQ(ui::SaveFavorite(favorites_, nullptr, module_, u"a", *working_), EditOutcome::Saved);
  EXPECT_EQ(ui::DeleteFavorite(favorites_, nullptr, u"a"), EditOutcome::DefaultOnly);
  EXPECT_EQ(LastMessage(), u"The default settings can not be deleted");
  ASSERT_EQ(ui::SaveFavorite(favorites_, nullptr, module_, u"b", *working_), EditOutcome::Saved);
  EXPECT_EQ(ui::DeleteFavorite(favorites_, nullptr, u""), EditOutcome::EmptyName);
  EXPECT_EQ(ui::DeleteFavorite(favorites_, nullptr, u"zz"), EditOutcome::NotFound);
  EXPECT_EQ(ui::DeleteFavorite(favorites_, nullptr, u" a "), EditOutcome::Deleted);
  EXPECT_EQ(favorites_.Count(), 1);
}

}  // namespace
