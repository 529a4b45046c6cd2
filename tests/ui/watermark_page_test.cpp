// The watermark page driven as a user would: the list and the store behind it, the buttons'
// enabling, delete, defaults, the limit of sixteen, the preview and the carried controls.
#include "watermark_fixture.h"

namespace {

using namespace testsupport;
using platform::ui::Choose;
using platform::ui::Click;
using platform::ui::LastPicture;
using platform::ui::SetChecked;

const std::vector<std::u16string> kBuiltIns = {u"[No Watermark]", u"Confidential", u"Watermark"};

TEST_F(WatermarkPageTest, AnEmptyStoreIsSeededWithTheThreeBuiltInsOnce) {
  ASSERT_TRUE(Stored().empty());
  Open();
  EXPECT_EQ(Listed(), kBuiltIns);
  EXPECT_EQ(Selected(), u"[No Watermark]");
  EXPECT_EQ(StoredNames(), kBuiltIns);
  auto stored = Stored();
  for (uint16_t i = 0; i < 3; ++i) EXPECT_EQ(stored[i].WatermarkIndex, i);
  ASSERT_TRUE(sheet_->Cancel());
  // A second opening neither seeds again nor loses them.
  Open();
  EXPECT_EQ(Listed(), kBuiltIns);
  EXPECT_EQ(StoredNames(), kBuiltIns);
}

TEST_F(WatermarkPageTest, TheListIsSortedByIndexAndTheStoreRewrittenInThatOrder) {
  Store({UserWatermark(u"Late", 5), Seeded(2), Seeded(0), UserWatermark(u"Early", 3), Seeded(1)});
  Open();
  const std::vector<std::u16string> sorted = {u"[No Watermark]", u"Confidential", u"Watermark", u"Early", u"Late"};
  EXPECT_EQ(Listed(), sorted);
  EXPECT_EQ(StoredNames(), sorted);
}

TEST_F(WatermarkPageTest, BuiltInsCannotBeEditedOrDeletedAndFirstPageOnlyNeedsAWatermark) {
  StoreBuiltInsAnd(1);
  Open();
  bool editorOpened = false;
  platform::ui::QueueModalScript([&](HWND) { editorOpened = true; });
  for (const auto& name : kBuiltIns) {
    SCOPED_TRACE(platform::Utf16ToUtf8(name));
    ASSERT_TRUE(Choose(Control(kList), name));
    EXPECT_FALSE(Info(kEdit).enabled);
    EXPECT_FALSE(Info(kDelete).enabled);
    EXPECT_FALSE(Click(Control(kDelete)));
    platform::ui::DoubleClick(Control(kList));  // no editor for a built-in
    EXPECT_EQ(Info(kFirstPageOnly).enabled, name != u"[No Watermark]");
  }
  EXPECT_FALSE(editorOpened);
  EXPECT_EQ(Listed().size(), 4u);
  ASSERT_TRUE(Choose(Control(kList), u"User 3"));
  EXPECT_TRUE(Info(kEdit).enabled);
  EXPECT_TRUE(Info(kDelete).enabled);
  EXPECT_TRUE(platform::ui::DoubleClick(Control(kList)));
  EXPECT_TRUE(editorOpened);  // a user watermark opens its editor (left with Cancel)
}

TEST_F(WatermarkPageTest, ChoosingAWatermarkReachesTheDevmodeWithFirstPageOnly) {
  Open();
  ASSERT_TRUE(Choose(Control(kList), u"Confidential"));
  EXPECT_TRUE(sheet_->ApplyEnabled());
  ASSERT_TRUE(SetChecked(Control(kFirstPageOnly), true));
  const StoredDevmode& d = ApplyAndClose();
  EXPECT_EQ(d.priv.WatermarkData.WatermarkIndex, 1);
  EXPECT_EQ(NameOf(d.priv.WatermarkData), u"Confidential");
  EXPECT_EQ(TextOf(d.priv.WatermarkData), u"Confidential");
  EXPECT_EQ(d.priv.FirstPageOnly, 1);
}

TEST_F(WatermarkPageTest, FirstPageOnlyIsUncheckedWhenNoWatermarkIsChosen) {
  Open();
  ASSERT_TRUE(Choose(Control(kList), u"Watermark"));
  ASSERT_TRUE(SetChecked(Control(kFirstPageOnly), true));
  ASSERT_TRUE(Choose(Control(kList), u"[No Watermark]"));
  EXPECT_EQ(Info(kFirstPageOnly).check, static_cast<UINT>(BST_UNCHECKED));
  EXPECT_FALSE(Info(kFirstPageOnly).enabled);
}

TEST_F(WatermarkPageTest, DeletingTheSelectedUserWatermarkSelectsNoWatermark) {
  StoreBuiltInsAnd(2);
  Open();
  ASSERT_TRUE(Choose(Control(kList), u"User 4"));
  ASSERT_TRUE(Click(Control(kDelete)));
  EXPECT_EQ(Listed(), (std::vector<std::u16string>{u"[No Watermark]", u"Confidential", u"Watermark", u"User 3"}));
  EXPECT_EQ(Selected(), u"[No Watermark]");
  EXPECT_EQ(StoredNames(), Listed());
  EXPECT_EQ(GetFocus(), Control(kNewText));
  EXPECT_FALSE(Info(kDelete).enabled);
  const StoredDevmode& d = ApplyAndClose();
  EXPECT_EQ(d.priv.WatermarkData.WatermarkIndex, 0);
  EXPECT_EQ(NameOf(d.priv.WatermarkData), u"[No Watermark]");
}

TEST_F(WatermarkPageTest, TheSeventeenthWatermarkCannotBeCreated) {
  StoreBuiltInsAnd(13);  // sixteen in all
  Open();
  EXPECT_EQ(Listed().size(), 16u);
  bool editorOpened = false;
  platform::ui::QueueModalScript([&](HWND) { editorOpened = true; });
  for (int button : {kNewText, kNewImage}) {
    ASSERT_TRUE(Click(Control(button)));
    auto boxes = platform::hooks::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"You can keep up to 16 watermarks. Delete one before adding another.");
    EXPECT_EQ(boxes[0].caption, u"Taliro R7700 Series");
  }
  EXPECT_FALSE(editorOpened);
  EXPECT_EQ(Stored().size(), 16u);
}

TEST_F(WatermarkPageTest, TheSixteenthWatermarkCanStillBeCreated) {
  StoreBuiltInsAnd(12);
  Open();
  platform::ui::QueueModalScript([](HWND editor) {
    EXPECT_TRUE(platform::ui::Type(platform::ui::FindControl(editor, kTextText), u"Last"));
    EXPECT_TRUE(Click(platform::ui::FindControl(editor, IDOK)));
  });
  ASSERT_TRUE(Click(Control(kNewText)));
  EXPECT_TRUE(platform::hooks::TakeMessageBoxes().empty());
  EXPECT_EQ(Listed().size(), 16u);
  EXPECT_EQ(Selected(), u"Last");
  EXPECT_EQ(Stored().back().WatermarkIndex, 15);
}

TEST_F(WatermarkPageTest, ADevmodeRecordNotInTheListFallsBackToNoWatermark) {
  StoredDevmode in = Current();
  in.priv.WatermarkData = UserWatermark(u"Gone", 7);
  Open(&in);
  EXPECT_EQ(Selected(), u"[No Watermark]");
  const StoredDevmode& d = ApplyAndClose();
  EXPECT_EQ(d.priv.WatermarkData.WatermarkIndex, 0);
  EXPECT_EQ(NameOf(d.priv.WatermarkData), u"[No Watermark]");
}

TEST_F(WatermarkPageTest, ALayoutSettingDisablesTheWholeGroup) {
  StoredDevmode in = Current();
  in.priv.reserved288 = 1;
  in.priv.FirstPageOnly = 1;
  in.priv.WatermarkData = Seeded(1);
  Open(&in);
  EXPECT_EQ(Info(kList).selection, -1);
  for (int id : {kList, kNewText, kNewImage, kEdit, kDelete, kFirstPageOnly}) EXPECT_FALSE(Info(id).enabled) << id;
  EXPECT_EQ(Info(kFirstPageOnly).check, static_cast<UINT>(BST_UNCHECKED));
}

TEST_F(WatermarkPageTest, DefaultsResetTheWatermarkFirstPageAndTheCarriedFlags) {
  Open();
  ASSERT_TRUE(Choose(Control(kList), u"Confidential"));
  ASSERT_TRUE(SetChecked(Control(kFirstPageOnly), true));
  ASSERT_TRUE(Click(Control(kFlagOn)));
  ASSERT_TRUE(SetChecked(Control(kFlagOption), true));
  ASSERT_TRUE(Click(Control(kFlagOff)));
  EXPECT_FALSE(Info(kFlagOption).enabled);
  EXPECT_EQ(Info(kFlagOption).check, static_cast<UINT>(BST_UNCHECKED));
  ASSERT_TRUE(Click(Control(kDefaults)));
  EXPECT_EQ(Selected(), u"[No Watermark]");
  EXPECT_EQ(Info(kFirstPageOnly).check, static_cast<UINT>(BST_UNCHECKED));
  EXPECT_EQ(Info(kFlagOn).check, static_cast<UINT>(BST_CHECKED));
  EXPECT_TRUE(Info(kFlagOption).enabled);
  const StoredDevmode& d = ApplyAndClose();
  EXPECT_EQ(d.priv.WatermarkData.WatermarkIndex, 0);
  EXPECT_EQ(d.priv.FirstPageOnly, 0);
  EXPECT_EQ(d.priv.OverlayFlag, 0);
  EXPECT_EQ(d.priv.interfaceFlagA, 1);
  EXPECT_EQ(d.priv.interfaceFlagB, 0);
}

TEST_F(WatermarkPageTest, TheCarriedFlagsReachTheDevmode) {
  Open();
  ASSERT_TRUE(Click(Control(kFlagOn)));
  ASSERT_TRUE(SetChecked(Control(kFlagOption), true));
  const StoredDevmode& d = ApplyAndClose();
  EXPECT_EQ(d.priv.interfaceFlagA, 1);
  EXPECT_EQ(d.priv.interfaceFlagB, 1);
}

TEST_F(WatermarkPageTest, TheOverlayNameIsShownWithoutItsExtension) {
  StoredDevmode in = Current();
  platform::CopyWideField(in.priv.OverlayFileName, std::size(in.priv.OverlayFileName), u"forms.v2/letterhead.ovl");
  Open(&in);
  EXPECT_EQ(Info(kOverlay).text, u"forms.v2/letterhead");
}

TEST_F(WatermarkPageTest, ThePreviewFollowsTheSelectionAndTheOrientation) {
  Open();
  EXPECT_TRUE(Info(kPortrait).visible);
  EXPECT_FALSE(Info(kLandscape).visible);
  auto none = LastPicture(Control(kPortrait));
  ASSERT_TRUE(none.has_value());
  EXPECT_EQ(none->width, 117);
  ASSERT_TRUE(Choose(Control(kList), u"Confidential"));
  auto confidential = LastPicture(Control(kPortrait));
  ASSERT_TRUE(confidential.has_value());
  EXPECT_NE(confidential->pixels, none->pixels);
  ASSERT_TRUE(Choose(Control(kList), u"Watermark"));
  auto watermark = LastPicture(Control(kPortrait));
  ASSERT_TRUE(watermark.has_value());
  EXPECT_NE(watermark->pixels, confidential->pixels);
  ASSERT_TRUE(Choose(Control(kList), u"[No Watermark]"));
  EXPECT_EQ(LastPicture(Control(kPortrait))->pixels, none->pixels);
  ASSERT_TRUE(sheet_->Cancel());

  StoredDevmode in = Current();
  in.pub.dmOrientation = DMORIENT_LANDSCAPE;
  in.pub.dmFields |= DM_ORIENTATION;
  in.priv.WatermarkData = Seeded(1);
  Open(&in);
  EXPECT_FALSE(Info(kPortrait).visible);
  EXPECT_TRUE(Info(kLandscape).visible);
  auto wide = LastPicture(Control(kLandscape));
  ASSERT_TRUE(wide.has_value());
  EXPECT_GT(wide->width, wide->height);
}

TEST_F(WatermarkPageTest, AnImageWatermarkChosenBeforeIsDrawnWhenThePageOpens) {
  WatermarkRecord logo = UserWatermark(u"Logo", 3, 2);
  logo.Scale = 100;
  logo.Transparent = 0;
  platform::CopyWideField(logo.ImagePath, std::size(logo.ImagePath), platform::Utf8ToUtf16(WriteBitmap("logo.bmp")));
  Store({Seeded(0), Seeded(1), Seeded(2), logo});
  Open();
  auto none = LastPicture(Control(kPortrait));
  ASSERT_TRUE(sheet_->Cancel());
  StoredDevmode in = Current();
  in.priv.WatermarkData = logo;
  Open(&in);
  EXPECT_EQ(Selected(), u"Logo");
  EXPECT_TRUE(Info(kEdit).enabled);
  auto drawn = LastPicture(Control(kPortrait));
  ASSERT_TRUE(none.has_value() && drawn.has_value());
  EXPECT_NE(drawn->pixels, none->pixels);
}

TEST_F(WatermarkPageTest, TheLinkOpensTheMakersPageAndHelpHasTopics) {
  Open();
  platform::ui::TakeShellExecutes();
  ASSERT_TRUE(Click(Control(kLink)));
  auto opened = platform::ui::TakeShellExecutes();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].operation, u"open");
  EXPECT_EQ(opened[0].file, u"https://www.taliro.example/");
  platform::hooks::TakeHelpCalls();
  ASSERT_TRUE(platform::ui::Help(Control(kList)));
  ASSERT_TRUE(platform::ui::Help(Control(kDefaults)));
  auto help = platform::hooks::TakeHelpCalls();
  ASSERT_EQ(help.size(), 2u);
  EXPECT_NE(help[0].data, help[1].data);
}

}  // namespace
