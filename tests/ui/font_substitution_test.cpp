// The font substitution dialog driven as a user would: the face list it builds from the Fonts
// folder and the font families, the mapping it proposes, the choices, Defaults, the corner
// clicks, help, and the file OK writes for the rendering library.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "entry_fixture.h"
#include "pages/font_name_table.h"
#include "pages/font_substitution_dialog.h"
#include "pages/font_substitution_table.h"
#include "platform/sheet_driver.h"
#include "platform/utf16.h"
#include "platform/windows_folder.h"
#include "support/truetype_builder.h"
#include "text/text_fonts.h"
#include "win/findfile.h"
#include "win/wingdi.h"

// As entry/sheet_state.h declares them (that header and win/wingdi.h do not mix).
namespace ui {
struct SheetState;
SheetState* CreateSheetState(HANDLE printer, const DEVMODEW* caller);
void DestroySheetState(SheetState* state);
}  // namespace ui

namespace {

namespace fs = std::filesystem;
using platform::ui::ChooseIndex;
using platform::ui::FindControl;

constexpr int kFaceList = 6901, kChoice = 6902, kChoiceLabel = 6904, kDefaults = 6905, kHelpButton = 6906;

struct NameRecord {
  uint16_t platformId, encoding, language;
  std::u16string text;  // UTF-16 records; Macintosh records take the low bytes
  uint16_t nameId = 4;
};

void Put16(std::vector<uint8_t>& v, uint16_t x) {
  v.push_back(static_cast<uint8_t>(x >> 8));
  v.push_back(static_cast<uint8_t>(x));
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
  Put16(v, static_cast<uint16_t>(x >> 16));
  Put16(v, static_cast<uint16_t>(x));
}

// A font whose only meaningful table is "name", its offset table at `base` of the final file.
std::vector<uint8_t> NameFont(const std::vector<NameRecord>& records, uint32_t base = 0) {
  std::vector<uint8_t> storage, table;
  Put16(table, 0);
  Put16(table, static_cast<uint16_t>(records.size()));
  Put16(table, static_cast<uint16_t>(6 + 12 * records.size()));
  for (const auto& r : records) {
    std::vector<uint8_t> bytes;
    for (char16_t c : r.text) {
      if (r.platformId == 1) {
        bytes.push_back(static_cast<uint8_t>(c));
      } else {
        Put16(bytes, c);
      }
    }
    for (uint16_t x : {r.platformId, r.encoding, r.language, r.nameId, static_cast<uint16_t>(bytes.size()),
                       static_cast<uint16_t>(storage.size())})
      Put16(table, x);
    storage.insert(storage.end(), bytes.begin(), bytes.end());
  }
  table.insert(table.end(), storage.begin(), storage.end());
  std::vector<uint8_t> font;
  Put32(font, 0x00010000);
  Put16(font, 2);
  Put16(font, 32);
  Put16(font, 1);
  Put16(font, 0);
  const uint32_t at = base + 12 + 32;
  for (const char* tag : {"head", "name"}) {
    for (int k = 0; k < 4; ++k) font.push_back(static_cast<uint8_t>(tag[k]));
    Put32(font, 0);
    Put32(font, at);
    Put32(font, static_cast<uint32_t>(table.size()));
  }
  font.insert(font.end(), table.begin(), table.end());
  return font;
}

std::vector<uint8_t> EnglishFont(std::u16string name, uint32_t base = 0) { return NameFont({{3, 1, 0x409, name}}, base); }

std::vector<uint8_t> TwoFontCollection(std::u16string a, std::u16string b) {
  std::vector<uint8_t> file;
  for (char c : std::string("ttcf")) file.push_back(static_cast<uint8_t>(c));
  Put32(file, 0x00010000);
  Put32(file, 2);
  const uint32_t first = 20;
  std::vector<uint8_t> one = EnglishFont(a, first);
  const uint32_t second = first + static_cast<uint32_t>(one.size());
  Put32(file, first);
  Put32(file, second);
  file.insert(file.end(), one.begin(), one.end());
  std::vector<uint8_t> two = EnglishFont(b, second);
  file.insert(file.end(), two.begin(), two.end());
  return file;
}

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::u16string> Items(HWND control) {
  for (const auto& c : platform::ui::DescribeControls(GetParent(control)))
    if (c.window == control) return c.items;
  return {};
}

std::u16string ChoiceText(HWND dialog) {
  HWND choice = FindControl(dialog, kChoice);
  const LRESULT sel = SendMessageW(choice, CB_GETCURSEL, 0, 0);
  if (sel < 0) return u"(none)";
  return Items(choice).at(static_cast<size_t>(sel));
}

// What the choice box shows for the face `face` once the user selects it in the list.
std::u16string ShownFor(HWND dialog, std::u16string_view face) {
  if (!platform::ui::Choose(FindControl(dialog, kFaceList), face)) return u"(no such face)";
  return ChoiceText(dialog);
}

class FontSubstitutionTest : public testsupport::EntryTest {
 protected:
  void SetUp() override {
    EntryTest::SetUp();
    fontsSource_ = root_.path() / "fonts";
    fs::create_directories(fontsSource_);
    platform::hooks::SetFontsFolderSource(fontsSource_.string());
    ASSERT_TRUE(OpenPrinterW(kPrinter, &printer_, nullptr));
    state_ = ui::CreateSheetState(printer_, nullptr);
    ASSERT_NE(state_, nullptr);
    verticalFile_ = Register(u"@Vertical Test");
  }
  void TearDown() override {
    for (const auto& f : registered_) RemoveFontResourceExW(platform::Utf8ToUtf16(f).c_str(), 0, nullptr);
    ui::ReleaseFontFamilyCache();
    ui::DestroySheetState(state_);
    ClosePrinter(printer_);
    EntryTest::TearDown();
  }

  // A font family the screen enumerates: an installed font whose naming table is replaced.
  std::string Register(std::u16string family) {
    std::ifstream in("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", std::ios::binary);
    std::vector<uint8_t> font{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_GT(font.size(), 12u);
    const std::vector<uint8_t> names = NameFont({{3, 1, 0x409, family, 1}, {3, 1, 0x409, family, 4}});
    const size_t tables = static_cast<size_t>((font[4] << 8) | font[5]);
    // The replacement table is the one NameFont put after its own two table records.
    const std::vector<uint8_t> table(names.begin() + 44, names.end());
    for (size_t i = 0; i < tables; ++i) {
      const size_t record = 12 + i * 16;
      if (std::string(font.begin() + static_cast<long>(record), font.begin() + static_cast<long>(record) + 4) != "name")
        continue;
      const uint32_t at = static_cast<uint32_t>(font.size());
      testsupport::PutU32(font, record + 8, at);
      testsupport::PutU32(font, record + 12, static_cast<uint32_t>(table.size()));
      font.insert(font.end(), table.begin(), table.end());
    }
    const fs::path path = root_.path() / ("registered" + std::to_string(registered_.size()) + ".ttf");
    WriteBytes(path, font);
    EXPECT_EQ(AddFontResourceExW(platform::Utf8ToUtf16(path.string()).c_str(), 0, nullptr), 1);
    registered_.push_back(path.string());
    return path.string();
  }

  // The usual Fonts folder: namesakes of resident fonts, a collection, '_' names and broken files.
  void InstallFonts() {
    WriteBytes(fontsSource_ / "ARIAL.TTF", NameFont({{1, 0, 0, u"Arial Mac"}, {3, 1, 0x409, u"Arial"}}));
    WriteBytes(fontsSource_ / "times.ttf", EnglishFont(u"Times New Roman"));
    WriteBytes(fontsSource_ / "sans.ttf", EnglishFont(u"Liberation Sans"));
    WriteBytes(fontsSource_ / "pair.ttc", TwoFontCollection(u"Mincho One", u"Mincho Two"));
    WriteBytes(fontsSource_ / "fonta.ttf", EnglishFont(u"FontA"));
    WriteBytes(fontsSource_ / "font_b.ttf", EnglishFont(u"Font_B"));
    WriteBytes(fontsSource_ / "again.ttf", EnglishFont(u"Arial"));              // the same text once
    WriteBytes(fontsSource_ / "readme.txt", EnglishFont(u"Not A Font File"));   // wrong kind of name
    const std::vector<uint8_t> whole = EnglishFont(u"Cut Short");
    WriteBytes(fontsSource_ / "short.ttf", std::vector<uint8_t>(whole.begin(), whole.begin() + 60));
    WriteBytes(fontsSource_ / "junk.ttc", {'t', 't', 'c', 'f', 0, 1, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF});
    WriteBytes(fontsSource_ / "empty.ttf", {});
    WriteBytes(fontsSource_ / "otto.ttf", {'O', 'T', 'T', 'O', 0, 1, 0, 0, 0, 0, 0, 0});
  }

  // Runs the dialog with `script`; the dialog's result.
  INT_PTR Run(std::function<void(HWND)> script) {
    platform::ui::QueueModalScript(std::move(script));
    return ui::RunFontSubstitutionDialog(nullptr, state_);
  }

  static fs::path FilePath() { return fs::path(platform::Utf16ToUtf8(ui::fonts::SubstitutionFilePath())); }

  fs::path fontsSource_;
  HANDLE printer_ = nullptr;
  ui::SheetState* state_ = nullptr;
  std::string verticalFile_;
  std::vector<std::string> registered_;
};

TEST_F(FontSubstitutionTest, WithoutAFileTheListIsBuiltSortedAndNamesakesAreMapped) {
  InstallFonts();
  bool ran = false;
  EXPECT_EQ(Run([&](HWND dialog) {
              ran = true;
              EXPECT_EQ(Items(FindControl(dialog, kFaceList)),
                        (std::vector<std::u16string>{u"@Vertical Test", u"Arial", u"Font_B", u"FontA",
                                                     u"Liberation Sans", u"Mincho One", u"Mincho Two",
                                                     u"Times New Roman", u"Vertical Test"}));
              // The first face is current; the choice box lists the download choice, then 93 fonts.
              EXPECT_EQ(SendDlgItemMessageW(dialog, kFaceList, LB_GETCURSEL, 0, 0), 0);
              const auto choices = Items(FindControl(dialog, kChoice));
              ASSERT_EQ(choices.size(), 94u);
              EXPECT_EQ(choices[0], u"Download as Soft Font");
              EXPECT_EQ(choices[6], u"Arial");
              EXPECT_EQ(choices[93], u"Wingdings");
              EXPECT_EQ(ChoiceText(dialog), u"Download as Soft Font");
              EXPECT_EQ(ShownFor(dialog, u"Arial"), u"Arial");
              EXPECT_EQ(SendDlgItemMessageW(dialog, kChoice, CB_GETCURSEL, 0, 0), 6);
              EXPECT_EQ(ShownFor(dialog, u"Times New Roman"), u"Times New Roman");
              EXPECT_EQ(SendDlgItemMessageW(dialog, kChoice, CB_GETCURSEL, 0, 0), 80);
              EXPECT_EQ(ShownFor(dialog, u"Liberation Sans"), u"Download as Soft Font");
              EXPECT_EQ(ShownFor(dialog, u"Vertical Test"), u"Download as Soft Font");
            }),
            0);
  EXPECT_TRUE(ran);
  EXPECT_FALSE(fs::exists(FilePath())) << "closing without OK writes nothing";
}

TEST_F(FontSubstitutionTest, OkWritesTheChoicesWhereTheRenderingLibraryLooksAndTheNextOpeningReadsThem) {
  InstallFonts();
  EXPECT_NE(Run([](HWND dialog) {
              ASSERT_TRUE(platform::ui::Choose(FindControl(dialog, kFaceList), u"Liberation Sans"));
              ASSERT_TRUE(platform::ui::Choose(FindControl(dialog, kChoice), u"Courier"));
              ASSERT_TRUE(platform::ui::Choose(FindControl(dialog, kFaceList), u"Times New Roman"));
              ASSERT_TRUE(ChooseIndex(FindControl(dialog, kChoice), 0));
              EXPECT_EQ(ShownFor(dialog, u"Liberation Sans"), u"Courier");
              ASSERT_TRUE(platform::ui::Click(FindControl(dialog, IDOK)));
            }),
            0);
  ASSERT_TRUE(fs::exists(FilePath()));
  EXPECT_EQ(fs::file_size(FilePath()), 4u + 9u * 1026u);
  int number = 0;
  EXPECT_TRUE(render::LookUpSubstitutionFace(u"Liberation Sans", &number));
  EXPECT_EQ(number, 20);
  EXPECT_TRUE(render::LookUpSubstitutionFace(u"Arial", &number));
  EXPECT_EQ(number, 6);
  EXPECT_FALSE(render::LookUpSubstitutionFace(u"Times New Roman", &number)) << "set to download";
  EXPECT_FALSE(render::LookUpSubstitutionFace(u"Mincho One", &number));

  // The saved table is the list from now on: a font installed since does not appear.
  WriteBytes(fontsSource_ / "new.ttf", EnglishFont(u"Newly Installed"));
  EXPECT_EQ(Run([](HWND dialog) {
              const auto items = Items(FindControl(dialog, kFaceList));
              EXPECT_EQ(items.size(), 9u);
              EXPECT_EQ(std::count(items.begin(), items.end(), u"Newly Installed"), 0);
              EXPECT_EQ(ShownFor(dialog, u"Liberation Sans"), u"Courier");
              EXPECT_EQ(ShownFor(dialog, u"Times New Roman"), u"Download as Soft Font");
              ASSERT_TRUE(platform::ui::Choose(FindControl(dialog, kChoice), u"Wingdings"));
              ASSERT_TRUE(platform::ui::Click(FindControl(dialog, IDCANCEL)));
            }),
            0);
  EXPECT_FALSE(render::LookUpSubstitutionFace(u"Times New Roman", &number)) << "Cancel wrote nothing";
  EXPECT_EQ(fs::file_size(FilePath()), 4u + 9u * 1026u);
}

TEST_F(FontSubstitutionTest, DefaultsRestoresTheAutomaticMappingAfterEverythingWasSetToDownload) {
  InstallFonts();
  Run([](HWND dialog) {
    HWND list = FindControl(dialog, kFaceList);
    ASSERT_TRUE(ChooseIndex(list, 2));
    ASSERT_TRUE(platform::ui::Choose(FindControl(dialog, kChoice), u"Marigold"));
    const auto faces = Items(list);
    for (int i = 0; i < static_cast<int>(faces.size()); ++i) {
      ASSERT_TRUE(ChooseIndex(list, i));
      ASSERT_TRUE(ChooseIndex(FindControl(dialog, kChoice), 0));
    }
    EXPECT_EQ(ShownFor(dialog, u"Arial"), u"Download as Soft Font");
    ASSERT_TRUE(platform::ui::Click(FindControl(dialog, kDefaults)));
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 0) << "the first face is selected again";
    EXPECT_EQ(GetFocus(), FindControl(dialog, kDefaults));
    EXPECT_EQ(ShownFor(dialog, u"Arial"), u"Arial");
    EXPECT_EQ(ShownFor(dialog, u"Times New Roman"), u"Times New Roman");
    EXPECT_EQ(ShownFor(dialog, u"Font_B"), u"Download as Soft Font");
  });
}

TEST_F(FontSubstitutionTest, ThreeClicksInTheBottomLeftCornerGiveEveryFaceTheFirstFacesFont) {
  InstallFonts();
  Run([](HWND dialog) {
    ASSERT_TRUE(platform::ui::Choose(FindControl(dialog, kFaceList), u"@Vertical Test"));
    ASSERT_TRUE(platform::ui::Choose(FindControl(dialog, kChoice), u"Wingdings"));
    RECT client{};
    ASSERT_TRUE(GetClientRect(dialog, &client));
    const int bottom = client.bottom - 1;
    // A click outside the square starts the count again; so does one just above it.
    for (auto [x, y] : {std::pair{0, bottom}, std::pair{19, bottom - 19}, std::pair{40, bottom},
                        std::pair{5, bottom - 5}, std::pair{5, bottom - 20}, std::pair{5, bottom}})
      ASSERT_TRUE(platform::ui::ClickAt(dialog, x, y));
    EXPECT_EQ(ShownFor(dialog, u"Arial"), u"Arial") << "never three in a row";
    ASSERT_TRUE(platform::ui::ClickAt(dialog, 10, bottom));
    ASSERT_TRUE(platform::ui::ClickAt(dialog, 10, bottom));
    EXPECT_EQ(ShownFor(dialog, u"Arial"), u"Wingdings");
    EXPECT_EQ(ShownFor(dialog, u"Mincho Two"), u"Wingdings");
  });
}

TEST_F(FontSubstitutionTest, FaceLinesAreDrawnInSystemColoursWithTheResidentFontInTheLabelsColumn) {
  InstallFonts();
  Run([](HWND dialog) {
    HWND list = FindControl(dialog, kFaceList);
    RECT listRect{}, labelRect{};
    ASSERT_TRUE(GetWindowRect(list, &listRect));
    ASSERT_TRUE(GetWindowRect(FindControl(dialog, kChoiceLabel), &labelRect));
    const int column = labelRect.left - listRect.left;
    ASSERT_GT(column, 60);
    auto picture = platform::ui::LastPicture(list);
    ASSERT_TRUE(picture.has_value());
    const int row = 16;  // a 12-point line at 96 dots per inch
    auto pixel = [&](int x, int y) { return picture->pixels[static_cast<size_t>(y * picture->width + x)]; };
    auto inked = [&](int row0, int from, int to) {
      int n = 0;
      for (int y = row0 * row; y < (row0 + 1) * row; ++y)
        for (int x = from; x < to; ++x) n += pixel(x, y) != 0xFFFFFF ? 1 : 0;
      return n;
    };
    const uint32_t highlight = GetSysColor(COLOR_HIGHLIGHT);
    const uint32_t highlightRgb = ((highlight & 0xFF) << 16) | (highlight & 0xFF00) | ((highlight >> 16) & 0xFF);
    EXPECT_EQ(pixel(0, row / 2), highlightRgb) << "the selected line";
    EXPECT_EQ(pixel(picture->width - 2, row / 2), highlightRgb);
    EXPECT_EQ(pixel(0, row + row / 2), 0xFFFFFFu) << "an unselected line";
    // Line 1 ("Arial") shows its resident font from the column on; the gap before it is empty.
    EXPECT_GT(inked(1, 2, 40), 0);
    EXPECT_EQ(inked(1, column - 20, column), 0);
    EXPECT_GT(inked(1, column, column + 40), 0);
    // Choosing a font for a face redraws its line.
    ASSERT_TRUE(platform::ui::Choose(list, u"Liberation Sans"));
    auto unlit = [&](int line) {
      int n = 0;
      for (int y = line * row; y < (line + 1) * row; ++y)
        for (int x = column; x < picture->width; ++x) n += pixel(x, y) != highlightRgb ? 1 : 0;
      return n;
    };
    picture = platform::ui::LastPicture(list);
    ASSERT_TRUE(picture.has_value());
    EXPECT_EQ(pixel(0, 4 * row + row / 2), highlightRgb);
    const int before = unlit(4);
    EXPECT_GT(before, 0);
    ASSERT_TRUE(platform::ui::Choose(FindControl(dialog, kChoice), u"New Century Schoolbook Bold Italic"));
    picture = platform::ui::LastPicture(list);
    ASSERT_TRUE(picture.has_value());
    EXPECT_NE(unlit(4), before);
  });
}

TEST_F(FontSubstitutionTest, HelpOpensTopic6100AndF1TheControlsTopic) {
  InstallFonts();
  platform::hooks::TakeHelpCalls();
  Run([](HWND dialog) {
    ASSERT_TRUE(platform::ui::Click(FindControl(dialog, kHelpButton)));
    ASSERT_TRUE(platform::ui::Help(FindControl(dialog, kFaceList)));
    ASSERT_TRUE(platform::ui::Help(FindControl(dialog, kDefaults)));
  });
  const auto calls = platform::hooks::TakeHelpCalls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].command, HH_HELP_CONTEXT);
  EXPECT_EQ(calls[0].data, 6100u);
  EXPECT_EQ(calls[1].data, 6101u);
  EXPECT_EQ(calls[2].data, 6103u);
}

TEST_F(FontSubstitutionTest, TheFamiliesAreEnumeratedOncePerSheetUntilTheCacheIsReleased) {
  InstallFonts();
  auto faces = [&] {
    std::vector<std::u16string> items;
    Run([&](HWND dialog) { items = Items(FindControl(dialog, kFaceList)); });
    return items;
  };
  EXPECT_EQ(faces().size(), 9u);
  Register(u"@Later Face");
  EXPECT_EQ(faces().size(), 9u) << "the sheet's enumeration is kept";
  ui::ReleaseFontFamilyCache();
  const auto again = faces();
  EXPECT_EQ(again.size(), 11u);
  EXPECT_EQ(std::count(again.begin(), again.end(), u"@Later Face"), 1);
  EXPECT_EQ(std::count(again.begin(), again.end(), u"Later Face"), 1);
}

TEST_F(FontSubstitutionTest, WhenNoFontFileGivesANameTheTrueTypeFamiliesAreListed) {
  WriteBytes(fontsSource_ / "short.ttf", {0, 1, 0, 0, 0, 9});
  WriteBytes(fontsSource_ / "other.ttf", NameFont({{3, 1, 0x407, u"Nur Deutsch"}}));
  Run([](HWND dialog) {
    const auto items = Items(FindControl(dialog, kFaceList));
    EXPECT_EQ(std::count(items.begin(), items.end(), u"@Vertical Test"), 1);
    EXPECT_EQ(std::count(items.begin(), items.end(), u"Vertical Test"), 0);
    EXPECT_EQ(std::count(items.begin(), items.end(), u"Nur Deutsch"), 0);
    EXPECT_TRUE(std::is_sorted(items.begin(), items.end(), [](const auto& a, const auto& b) {
      return ui::fonts::FaceNameLess(a, b);
    }));
  });
}

TEST_F(FontSubstitutionTest, AnEmptyOrShortFileIsReplacedByAFreshTable) {
  InstallFonts();
  for (std::vector<uint8_t> content : {std::vector<uint8_t>{0, 0, 0, 0}, std::vector<uint8_t>{5, 0, 0, 0, 'A', 0}}) {
    WriteBytes(FilePath(), content);
    Run([](HWND dialog) {
      EXPECT_EQ(Items(FindControl(dialog, kFaceList)).size(), 9u);
      EXPECT_EQ(ShownFor(dialog, u"Arial"), u"Arial");
    });
  }
}

// The name reader on its own: which records count, and where it stops.
TEST(FontNameTableTest, TheEnglishOrUnicodeRecordWinsAndAChineseOneEndsTheFile) {
  using ui::fonts::ReadFullNames;
  auto names = [](const std::vector<uint8_t>& f, bool collection = false) {
    return ReadFullNames(f.data(), f.size(), collection);
  };
  // A later taken record replaces an earlier; German is not taken; other name ids are ignored.
  EXPECT_EQ(names(NameFont({{1, 0, 0, u"Mac Name"}, {3, 1, 0x409, u"English"}, {3, 1, 0x407, u"Deutsch"},
                            {3, 1, 0x409, u"Family", 1}})),
            std::vector<std::u16string>{u"English"});
  EXPECT_EQ(names(NameFont({{3, 1, 0x409, u"English"}, {1, 0, 0, u"Mac Last"}})),
            std::vector<std::u16string>{u"Mac Last"});
  EXPECT_EQ(names(NameFont({{0, 3, 0x411, u"Unicode"}})), std::vector<std::u16string>{u"Unicode"});
  EXPECT_EQ(names(NameFont({{3, 1, 0, u"Neutral"}})), std::vector<std::u16string>{u"Neutral"});
  EXPECT_TRUE(names(NameFont({{3, 1, 0x409, u""}})).empty());
  EXPECT_EQ(names(NameFont({{3, 1, 0x409, u"Kept"}, {3, 1, 0x804, u"Chinese"}, {3, 1, 0x409, u"Too Late"}})),
            std::vector<std::u16string>{u"Kept"});
  // A name is cut at 510 bytes.
  const auto longName = names(NameFont({{3, 1, 0x409, std::u16string(300, u'L')}}));
  ASSERT_EQ(longName.size(), 1u);
  EXPECT_EQ(longName[0].size(), 255u);
  // A collection gives one name per font; a Chinese record ends the whole collection.
  EXPECT_EQ(names(TwoFontCollection(u"One", u"Two"), true), (std::vector<std::u16string>{u"One", u"Two"}));
  // Not a TrueType offset table: nothing; a cut table: nothing, and no read past the end.
  auto font = EnglishFont(u"Whole");
  for (size_t cut = 0; cut < font.size(); ++cut) {
    std::vector<uint8_t> part(font.begin(), font.begin() + static_cast<long>(cut));
    EXPECT_TRUE(names(part).empty()) << cut;
  }
  font[1] = 2;
  EXPECT_TRUE(names(font).empty());
  EXPECT_TRUE(ui::fonts::IsTrueTypeFileName(u"A.TtC"));
  EXPECT_FALSE(ui::fonts::IsTrueTypeFileName(u"a.otf"));
}

TEST(FontFaceListTest, VerticalFamiliesComeTwiceAndUnderscoresSortFirstAfterTheFirstPosition) {
  using ui::fonts::FontFamily;
  const std::vector<FontFamily> families = {{u"@Gothic", true, 128}, {u"@Device", false, 0}, {u"Plain", true, 0}};
  EXPECT_EQ(ui::fonts::BuildFaceList(families, {u"_Z", u"B_", u"BA", u"Gothic", u"A"}),
            (std::vector<std::u16string>{u"@Gothic", u"A", u"B_", u"BA", u"Gothic", u"_Z"}));
  EXPECT_EQ(ui::fonts::BuildFaceList(families, {}), (std::vector<std::u16string>{u"@Gothic", u"Plain"}));
}

// The Windows folder's Fonts folder shows the files of the fonts source under their own names.
TEST_F(FontSubstitutionTest, TheFontsFolderListsTheSourceFilesAndOpensThem) {
  WriteBytes(fontsSource_ / "b.ttf", EnglishFont(u"B"));
  WriteBytes(fontsSource_ / "a.TTC", TwoFontCollection(u"A1", u"A2"));
  WriteBytes(fontsSource_ / "NODOT", {});
  WCHAR windows[MAX_PATH] = {};
  const UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
  ASSERT_GT(length, 0u);
  EXPECT_EQ(GetWindowsDirectoryW(windows, length), length + 1) << "the size needed";
  const std::u16string fonts = std::u16string(windows, length) + u"\\Fonts";
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW((fonts + u"\\*.*").c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  std::vector<std::u16string> files{std::u16string(platform::WideField(found.cFileName, MAX_PATH))};
  while (FindNextFileW(search, &found)) files.push_back(std::u16string(platform::WideField(found.cFileName, MAX_PATH)));
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
  EXPECT_TRUE(FindClose(search));
  EXPECT_FALSE(FindClose(search));
  EXPECT_EQ(files, (std::vector<std::u16string>{u"NODOT", u"a.TTC", u"b.ttf"}));
  const std::u16string slashed = std::u16string(windows, length) + u"/Fonts/a.TTC";
  EXPECT_EQ(ui::fonts::ReadFullNamesOfFile(slashed), (std::vector<std::u16string>{u"A1", u"A2"}));
  EXPECT_EQ(FindFirstFileW((fonts + u"\\*.otf").c_str(), &found), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(FindFirstFileW((fonts + u"\\missing\\*").c_str(), &found), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  // A file that left the source leaves the folder.
  fs::remove(fontsSource_ / "b.ttf");
  search = FindFirstFileW((fonts + u"\\*.tt?").c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_EQ(std::u16string(platform::WideField(found.cFileName, MAX_PATH)), u"a.TTC");
  EXPECT_FALSE(FindNextFileW(search, &found));
  FindClose(search);
}

}  // namespace
