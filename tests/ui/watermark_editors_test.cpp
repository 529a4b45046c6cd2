// The text and image watermark editors, opened from the watermark page and filled in as a user
// would; what they refuse, what they store and what reaches the applied devmode.
#include <filesystem>

#include "pages/watermark_editors.h"
#include "watermark_fixture.h"

namespace {

using namespace testsupport;
using platform::ui::Choose;
using platform::ui::Click;
using platform::ui::FindControl;
using platform::ui::SetChecked;
using platform::ui::Type;

constexpr char16_t kNameMessage[] = u"Enter a name for the watermark. The name you entered is empty or reserved.";
constexpr char16_t kImageMessage[] =
    u"Choose a Windows bitmap file (.BMP) on a local drive, for example C:\\Pictures\\logo.bmp.";

std::u16string Caption(HWND dialog) {
  WCHAR text[128] = {};
  GetWindowTextW(dialog, text, 128);
  return std::u16string(platform::WideField(text, 128));
}
std::u16string BoxText(HWND dialog, int id) {
  WCHAR text[300] = {};
  GetDlgItemTextW(dialog, id, text, 300);
  return std::u16string(platform::WideField(text, 300));
}
// OK refused: the editor is still open, one message was shown and the focus is back in `box`.
void ExpectRefused(HWND editor, const std::u16string& message, int box) {
  ASSERT_TRUE(Click(FindControl(editor, IDOK)));
  EXPECT_TRUE(IsWindowVisible(editor));
  auto boxes = platform::hooks::TakeMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, message);
  EXPECT_EQ(boxes[0].caption, u"Taliro R7700 Series");
  EXPECT_EQ(boxes[0].type & MB_ICONEXCLAMATION, MB_ICONEXCLAMATION);
  EXPECT_EQ(GetFocus(), FindControl(editor, box));
}

TEST_F(WatermarkPageTest, ATextWatermarkMadeInTheEditorReachesTheStoreAndTheDevmode) {
  Open();
  bool ran = false;
  platform::ui::QueueColorAnswers({0x123456});
  platform::ui::QueueModalScript([&](HWND editor) {
    ran = true;
    EXPECT_EQ(Caption(editor), u"New Text Watermark");
    EXPECT_EQ(BoxText(editor, kTextName), u"<New>");
    auto fonts = Info(editor, kTextFont);
    ASSERT_GE(fonts.selection, 0);
    EXPECT_EQ(fonts.items[static_cast<size_t>(fonts.selection)], u"Arial");
    ASSERT_TRUE(Type(FindControl(editor, kTextText), u"Draft copy"));
    EXPECT_EQ(BoxText(editor, kTextName), u"Draft copy");  // proposed from the text
    ASSERT_TRUE(Type(FindControl(editor, kTextAngle), u"-45"));
    ASSERT_TRUE(SetChecked(FindControl(editor, kTextBold), true));
    EXPECT_FALSE(Info(editor, kTextPosition).enabled);  // centre
    ASSERT_TRUE(Click(FindControl(editor, kTextOther)));
    ASSERT_TRUE(Choose(FindControl(editor, kTextPosition), u"Bottom right"));
    ASSERT_TRUE(Click(FindControl(editor, kTextColour)));
    ASSERT_TRUE(Click(FindControl(editor, IDOK)));
    EXPECT_FALSE(IsWindowVisible(editor));
  });
  ASSERT_TRUE(Click(Control(kNewText)));
  ASSERT_TRUE(ran);
  EXPECT_EQ(Selected(), u"Draft copy");
  EXPECT_EQ(Listed().size(), 4u);
  auto stored = Stored();
  ASSERT_EQ(stored.size(), 4u);
  const WatermarkRecord& r = stored.back();
  EXPECT_EQ(NameOf(r), u"Draft copy");
  EXPECT_EQ(TextOf(r), u"Draft copy");
  EXPECT_EQ(r.WatermarkIndex, 3);
  EXPECT_EQ(r.WatermarkKind, 1);
  EXPECT_EQ(r.Angle, -45);
  EXPECT_EQ(r.Bold, 1);
  EXPECT_EQ(r.Italic, 0);
  EXPECT_EQ(r.Position, 9);
  EXPECT_EQ(r.Colour, 0x123456u);
  EXPECT_EQ(r.Reserved802, 1);
  EXPECT_TRUE(Info(kEdit).enabled);
  const StoredDevmode& d = ApplyAndClose();
  EXPECT_EQ(std::memcmp(&d.priv.WatermarkData, &r, sizeof r), 0);
}

TEST_F(WatermarkPageTest, TheTextEditorKeepsItsLimits) {
  Store({Seeded(0), Seeded(1), Seeded(2), UserWatermark(u"Draft", 3)});
  Open();
  platform::ui::QueueModalScript([&](HWND editor) {
    ASSERT_TRUE(Type(FindControl(editor, kTextText), u"Draft"));
    EXPECT_EQ(BoxText(editor, kTextName), u"Draft~1");  // "Draft" is taken
    ASSERT_TRUE(Type(FindControl(editor, kTextText), u"abcdefghijklmnopqrstuvwxyz0123456789"));
    EXPECT_EQ(BoxText(editor, kTextText), u"abcdefghijklmnopqrstuvwxyz01");
    ASSERT_TRUE(Type(FindControl(editor, kTextName), u"Mine"));
    ASSERT_TRUE(Type(FindControl(editor, kTextText), u"Other"));
    EXPECT_EQ(BoxText(editor, kTextName), u"Mine");  // a typed name is kept
    ASSERT_TRUE(Type(FindControl(editor, kTextName), std::u16string(40, u'n')));
    EXPECT_EQ(BoxText(editor, kTextName).size(), 34u);
    ASSERT_TRUE(Type(FindControl(editor, kTextName), u"Mine"));
    ASSERT_TRUE(platform::ui::Spin(FindControl(editor, kTextSpin), 500));
    EXPECT_EQ(BoxText(editor, kTextAngle), u"90");
    ASSERT_TRUE(platform::ui::Spin(FindControl(editor, kTextSpin), -500));
    EXPECT_EQ(BoxText(editor, kTextAngle), u"-90");
    SetDlgItemTextW(editor, kTextText, u"");  // the user clears the text
    ASSERT_TRUE(Click(FindControl(editor, IDOK)));
  });
  ASSERT_TRUE(Click(Control(kNewText)));
  auto stored = Stored();
  ASSERT_EQ(stored.size(), 5u);
  EXPECT_EQ(NameOf(stored.back()), u"Mine");
  EXPECT_EQ(TextOf(stored.back()), u"<New>");
  EXPECT_EQ(stored.back().Angle, -90);
  EXPECT_EQ(stored.back().WatermarkIndex, 4);
}

TEST_F(WatermarkPageTest, EditorsRefuseEmptyReservedAndBuiltInNames) {
  Open();
  platform::ui::QueueModalScript([&](HWND editor) {
    for (std::u16string name : {u"   ", u"[No Watermark]", u"Confidential"}) {
      SCOPED_TRACE(platform::Utf16ToUtf8(name));
      ASSERT_TRUE(Type(FindControl(editor, kTextName), name));
      ExpectRefused(editor, kNameMessage, kTextName);
    }
  });
  ASSERT_TRUE(Click(Control(kNewText)));
  EXPECT_EQ(Stored().size(), 3u);
  EXPECT_EQ(NameOf(Stored()[1]), u"Confidential");
  EXPECT_EQ(Stored()[1].WatermarkIndex, 1);
}

TEST_F(WatermarkPageTest, EditingAUserWatermarkKeepsItsIndexAndDropsTheOldName) {
  Store({Seeded(0), Seeded(1), Seeded(2), UserWatermark(u"Old", 3), UserWatermark(u"Other", 4)});
  Open();
  ASSERT_TRUE(Choose(Control(kList), u"Old"));
  platform::ui::QueueModalScript([&](HWND editor) {
    EXPECT_EQ(Caption(editor), u"Edit Text Watermark");
    EXPECT_EQ(BoxText(editor, kTextName), u"Old");
    ASSERT_TRUE(Type(FindControl(editor, kTextText), u"Changed"));
    EXPECT_EQ(BoxText(editor, kTextName), u"Old");  // no proposal while editing
    ASSERT_TRUE(Type(FindControl(editor, kTextName), u"Renamed"));
    ASSERT_TRUE(Click(FindControl(editor, IDOK)));
  });
  ASSERT_TRUE(Click(Control(kEdit)));
  EXPECT_EQ(Listed(),
            (std::vector<std::u16string>{u"[No Watermark]", u"Confidential", u"Watermark", u"Renamed", u"Other"}));
  EXPECT_EQ(Selected(), u"Renamed");
  auto stored = Stored();
  ASSERT_EQ(stored.size(), 5u);
  EXPECT_EQ(NameOf(stored[3]), u"Renamed");
  EXPECT_EQ(stored[3].WatermarkIndex, 3);
  EXPECT_EQ(TextOf(stored[3]), u"Changed");
}

TEST_F(WatermarkPageTest, TheImageEditorRefusesPathsThatAreNotLocalBitmaps) {
  std::string good = WriteBitmap("logo.bmp");
  std::string zip = WriteFile("logo2.bmp", "PK\x03\x04 not a bitmap");
  std::string empty = WriteFile("empty.bmp", "");
  std::string inside = WriteBitmap("pictures.bmp.d");
  Open();
  platform::ui::QueueModalScript([&](HWND editor) {
    EXPECT_EQ(Caption(editor), u"New Image Watermark");
    ASSERT_TRUE(Type(FindControl(editor, kImageName), u"Logo"));
    for (const std::string& path : {std::string("pictures/logo.bmp"), std::string("\\\\server\\share\\logo.bmp"),
                                    inside, zip, empty, (root_.path() / "missing.bmp").string()}) {
      SCOPED_TRACE(path);
      ASSERT_TRUE(Type(FindControl(editor, kImageFile), platform::Utf8ToUtf16(path)));
      ExpectRefused(editor, kImageMessage, kImageFile);
    }
    ASSERT_TRUE(Type(FindControl(editor, kImageFile), u"  " + platform::Utf8ToUtf16(good) + u" "));
    ASSERT_TRUE(SetChecked(FindControl(editor, kImageTransparent), false));
    ASSERT_TRUE(Click(FindControl(editor, IDOK)));
    EXPECT_FALSE(IsWindowVisible(editor));
  });
  ASSERT_TRUE(Click(Control(kNewImage)));
  EXPECT_TRUE(platform::hooks::TakeMessageBoxes().empty());
  auto stored = Stored();
  ASSERT_EQ(stored.size(), 4u);
  const WatermarkRecord& r = stored.back();
  EXPECT_EQ(NameOf(r), u"Logo");
  EXPECT_EQ(r.WatermarkKind, 2);
  EXPECT_EQ(r.WatermarkIndex, 3);
  EXPECT_EQ(std::u16string(platform::WideField(r.ImagePath, 260)), platform::Utf8ToUtf16(good));
  EXPECT_EQ(r.Transparent, 0);
  EXPECT_EQ(r.Scale, 100);
  EXPECT_EQ(Selected(), u"Logo");
  const StoredDevmode& d = ApplyAndClose();
  EXPECT_EQ(d.priv.WatermarkData.WatermarkKind, 2);
  EXPECT_EQ(NameOf(d.priv.WatermarkData), u"Logo");
}

TEST_F(WatermarkPageTest, TheImageEditorAsksBeforeReplacingAWatermarkOfTheSameName) {
  std::string good = WriteBitmap("logo.bmp");
  Store({Seeded(0), Seeded(1), Seeded(2), UserWatermark(u"Logo", 3), UserWatermark(u"Stamp", 4)});
  Open();
  platform::ui::QueueModalScript([&](HWND editor) {
    SetDlgItemTextW(editor, kImageName, u"");
    ASSERT_TRUE(Type(FindControl(editor, kImageFile), platform::Utf8ToUtf16(good)));
    ExpectRefused(editor, kNameMessage, kImageName);
    ASSERT_TRUE(Type(FindControl(editor, kImageName), u"Logo"));
    platform::hooks::QueueMessageBoxAnswers({IDNO, IDYES});
    ASSERT_TRUE(Click(FindControl(editor, IDOK)));
    EXPECT_TRUE(IsWindowVisible(editor));
    EXPECT_EQ(GetFocus(), FindControl(editor, kImageName));
    ASSERT_TRUE(Click(FindControl(editor, IDOK)));
    EXPECT_FALSE(IsWindowVisible(editor));
    auto boxes = platform::hooks::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, u"An item with this name already exists. Do you want to replace it?");
    EXPECT_EQ(boxes[1].answer, IDYES);
  });
  ASSERT_TRUE(Click(Control(kNewImage)));
  auto stored = Stored();
  ASSERT_EQ(stored.size(), 5u);
  EXPECT_EQ(NameOf(stored.back()), u"Logo");
  EXPECT_EQ(stored.back().WatermarkKind, 2);
  EXPECT_EQ(stored.back().WatermarkIndex, 5);
  EXPECT_EQ(Listed(),
            (std::vector<std::u16string>{u"[No Watermark]", u"Confidential", u"Watermark", u"Stamp", u"Logo"}));
}

TEST_F(WatermarkPageTest, AnImageWatermarkIsRefusedWithPosterPrinting) {
  std::string good = WriteBitmap("logo.bmp");
  StoredDevmode in = Current();
  in.priv.MultipleUp = 22;
  Open(&in);
  platform::ui::QueueModalScript([&](HWND editor) {
    ASSERT_TRUE(Type(FindControl(editor, kImageName), u"Logo"));
    ASSERT_TRUE(Type(FindControl(editor, kImageFile), platform::Utf8ToUtf16(good)));
    ASSERT_TRUE(Click(FindControl(editor, IDOK)));
    EXPECT_FALSE(IsWindowVisible(editor));
  });
  ASSERT_TRUE(Click(Control(kNewImage)));
  auto boxes = platform::hooks::TakeMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, u"Image watermarks cannot be used with poster printing. Choose another layout first.");
  EXPECT_EQ(Stored().size(), 3u);
  EXPECT_EQ(Selected(), u"[No Watermark]");
}

TEST_F(WatermarkPageTest, TheEditorsPreviewDrawsTheImage) {
  std::string good = WriteBitmap("logo.bmp");
  Open();
  platform::ui::QueueModalScript([&](HWND editor) {
    HWND preview = FindControl(editor, 6584);
    auto before = platform::ui::LastPicture(preview);
    ASSERT_TRUE(before.has_value());
    ASSERT_TRUE(Type(FindControl(editor, kImageFile), platform::Utf8ToUtf16(good)));
    auto after = platform::ui::LastPicture(preview);
    ASSERT_TRUE(after.has_value());
    EXPECT_NE(after->pixels, before->pixels);
  });
  ASSERT_TRUE(Click(Control(kNewImage)));
}

class WatermarkImageFileTest : public testing::Test {
 protected:
  std::u16string Write(const std::string& name, const std::string& bytes) {
    auto path = dir_.path() / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return platform::Utf8ToUtf16(path.string());
  }
  TempDir dir_;
};

TEST_F(WatermarkImageFileTest, TheCheckTellsBitmapsEmptyAndOversizedFilesApart) {
  using ui::pages::CheckWatermarkImageFile;
  EXPECT_EQ(CheckWatermarkImageFile(platform::Utf8ToUtf16((dir_.path() / "missing.bmp").string())), 0);
  EXPECT_EQ(CheckWatermarkImageFile(Write("a.bmp", "BM....")), 0);
  EXPECT_EQ(CheckWatermarkImageFile(Write("b.bmp", "")), 1);
  EXPECT_EQ(CheckWatermarkImageFile(Write("c.bmp", "GIF89a")), 1);
  EXPECT_EQ(CheckWatermarkImageFile(Write("d.bmp", "B")), 1);
  std::u16string large = Write("e.bmp", "BM");
  std::filesystem::resize_file(dir_.path() / "e.bmp", 31457280);
  EXPECT_EQ(CheckWatermarkImageFile(large), 0);
  std::filesystem::resize_file(dir_.path() / "e.bmp", 31457281);
  EXPECT_EQ(CheckWatermarkImageFile(large), 2);
}

TEST_F(WatermarkImageFileTest, ThePathRuleWantsADriveOrAnAbsolutePathAndBmpOnlyAtTheEnd) {
  using ui::pages::WatermarkImagePathAccepted;
  for (const char16_t* ok : {u"C:\\logo.bmp", u"c:/pictures/logo.BMP", u"D:x/logo.bmp", u" /home/u/logo.bmp ",
                             u"C:\\logo.png"}) {
    EXPECT_TRUE(WatermarkImagePathAccepted(ok)) << platform::Utf16ToUtf8(ok);
  }
  for (const char16_t* bad : {u"logo.bmp", u"C:logo.bmp", u"\\\\server\\logo.bmp", u"C:\\a.bmp\\b.bmp",
                              u"/home/u/logo.bmp.txt", u"1:\\logo.bmp", u""}) {
    EXPECT_FALSE(WatermarkImagePathAccepted(bad)) << platform::Utf16ToUtf8(bad);
  }
}

TEST(WatermarkIndexTest, NewIndexesStayWithinWhatTheDevmodeKeeps) {
  using ui::pages::NewWatermarkIndex;
  std::vector<WatermarkRecord> stored = {Seeded(0), Seeded(1), Seeded(2)};
  EXPECT_EQ(NewWatermarkIndex(stored), 3);
  stored.push_back(UserWatermark(u"a", 7));
  EXPECT_EQ(NewWatermarkIndex(stored), 8);
  stored.push_back(UserWatermark(u"b", 32));
  EXPECT_EQ(NewWatermarkIndex(stored), 3);  // past 32 validation would drop it: the lowest free one
  stored.push_back(UserWatermark(u"c", 3));
  EXPECT_EQ(NewWatermarkIndex(stored), 4);
}

}  // namespace
