// The basic page driven as a user would: paper size, orientation, the custom-paper editor and
// favourites, with what reaches the caller's devmode and the user's settings file.
#include <cstring>
#include <memory>
#include <string>

#include "entry/language.h"
#include "entry/property_sheets.h"
#include "entry_fixture.h"
#include "platform/sheet_driver.h"
#include "platform/ui_hooks.h"
#include "platform/utf16.h"
#include "store/settings_editing.h"
#include "store/settings_store.h"

namespace {

using devmode::StoredDevmode;
using platform::ui::Click;
using platform::ui::FindControl;
using platform::ui::PropertySheet;
using platform::ui::QueueModalScript;
using platform::ui::Type;

enum : int {
  kFavorites = 1110,
  kSave = 1111,
  kDelete = 1112,
  kPaperList = 6011,
  kCustomPaper = 6012,
  kPortrait = 6014,
  kLandscape = 6015,
  kDefaults = 6017,
  kEditorName = 6102,
  kEditorWidth = 6104,
  kEditorHeight = 6106,
  kEditorInches = 6109,
  kEditorDelete = 6111,
  kTwoSided = 6219,
};

class BasicPageTest : public testsupport::EntryTest {
 protected:
  void SetUp() override {
    EntryTest::SetUp();
    ui::SetSheetWindowCalls(ui::PlatformSheetWindowCalls());
    ASSERT_TRUE(OpenPrinterW(kPrinter, &printer_, nullptr));
    platform::hooks::TakeMessageBoxes();
    platform::hooks::TakeHelpCalls();
  }
  void TearDown() override {
    ClosePrinter(printer_);
    EntryTest::TearDown();
  }

  // The preferences as an application opens them, with `in` as its devmode when given.
  std::unique_ptr<PropertySheet> Open(const StoredDevmode* in = nullptr, DWORD extraMode = 0) {
    std::memset(&out_, 0, sizeof out_);
    if (in != nullptr) in_ = *in;
    header_ = {sizeof(DOCUMENTPROPERTYHEADER), 0, printer_, const_cast<LPWSTR>(kPrinter),
               in != nullptr ? &in_.pub : nullptr, &out_.pub, sizeof out_, DM_IN_BUFFER | DM_OUT_BUFFER | extraMode};
    std::string error;
    auto sheet = PropertySheet::Open(ui::DocumentPropertySheets, reinterpret_cast<LPARAM>(&header_), error);
    EXPECT_NE(sheet, nullptr) << error;
    return sheet;
  }

  static std::u16string Text(UINT id) {
    WCHAR text[512] = {};
    int n = ui::LoadResourceString(ui::HeldSheetLanguageModule(), id, text, 512);
    return std::u16string(text, static_cast<size_t>(n));
  }
  static std::u16string Selected(HWND combo) {
    for (const auto& c : platform::ui::DescribeControls(::GetParent(combo))) {
      if (c.window == combo) return c.selection >= 0 ? c.items[static_cast<size_t>(c.selection)] : c.text;
    }
    return u"?";
  }
  static std::u16string BoxText(HWND dialog, int id) {
    for (const auto& c : platform::ui::DescribeControls(dialog)) {
      if (c.id == id) return c.text;
    }
    return u"?";
  }
  static bool Checked(HWND button) {
    for (const auto& c : platform::ui::DescribeControls(::GetParent(button))) {
      if (c.window == button) return c.check == BST_CHECKED;
    }
    return false;
  }
  static std::vector<std::u16string> Items(HWND combo) {
    for (const auto& c : platform::ui::DescribeControls(::GetParent(combo))) {
      if (c.window == combo) return c.items;
    }
    return {};
  }
  // The texts of the message boxes shown since the last call.
  static std::vector<std::u16string> Messages() {
    std::vector<std::u16string> texts;
    for (const auto& box : platform::hooks::TakeMessageBoxes()) texts.push_back(box.text);
    return texts;
  }
  // A custom paper typed into the editor and saved; the editor's script leaves it open when the
  // store refuses the paper, and the platform then cancels it.
  static void QueueEditor(std::u16string name, std::u16string width, std::u16string height, bool inches = false) {
    QueueModalScript([=](HWND d) {
      if (inches) {
        EXPECT_TRUE(platform::ui::SetChecked(FindControl(d, kEditorInches), true));
      }
      EXPECT_TRUE(Type(FindControl(d, kEditorName), name));
      EXPECT_TRUE(Type(FindControl(d, kEditorWidth), width));
      EXPECT_TRUE(Type(FindControl(d, kEditorHeight), height));
      EXPECT_TRUE(Click(FindControl(d, IDOK)));
    });
  }
  static std::vector<std::u16string> FavoriteNames() {
    std::vector<std::u16string> names;
    auto items = ui::FavoriteStore().Items();
    if (items) {
      for (const auto& i : *items) names.push_back(i.name);
    }
    return names;
  }

  HANDLE printer_ = nullptr;
  StoredDevmode in_{};
  StoredDevmode out_{};
  DOCUMENTPROPERTYHEADER header_{};
};

TEST_F(BasicPageTest, PaperAndOrientationReachTheAppliedDevmodeAndCancelWritesNothing) {
  for (bool ok : {true, false}) {
    SCOPED_TRACE(ok ? "OK" : "Cancel");
    auto sheet = Open();
    ASSERT_NE(sheet, nullptr);
    ASSERT_TRUE(sheet->SwitchTo(0));
    EXPECT_EQ(Items(sheet->Find(kPaperList)).size(), 29u);
    ASSERT_TRUE(platform::ui::Choose(sheet->Find(kPaperList), Text(110)));  // Legal
    ASSERT_TRUE(platform::ui::SetChecked(sheet->Find(kLandscape), true));
    EXPECT_TRUE(sheet->ApplyEnabled());
    ASSERT_TRUE(ok ? sheet->Ok() : sheet->Cancel());
    if (ok) {
      EXPECT_EQ(out_.pub.dmPaperSize, 5);
      EXPECT_EQ(out_.pub.dmPaperWidth, 2159);
      EXPECT_EQ(out_.pub.dmPaperLength, 3556);
      EXPECT_EQ(out_.pub.dmOrientation, DMORIENT_LANDSCAPE);
    } else {
      EXPECT_EQ(out_.pub.dmSize, 0) << "a cancelled sheet wrote the caller's devmode";
    }
  }
  // The cancelled choice is not what the next sheet starts from.
  auto sheet = Open();
  ASSERT_TRUE(sheet->SwitchTo(0));
  EXPECT_NE(Selected(sheet->Find(kPaperList)), Text(110));
  EXPECT_TRUE(Checked(sheet->Find(kPortrait)));
}

TEST_F(BasicPageTest, TheCallersPaperIsShownAndTheDefaultsButtonRestoresTheDriversOwn) {
  StoredDevmode in = Current();
  in.pub.dmPaperSize = 11;  // A5
  in.pub.dmOrientation = DMORIENT_LANDSCAPE;
  auto sheet = Open(&in);
  ASSERT_TRUE(sheet->SwitchTo(0));
  EXPECT_EQ(Selected(sheet->Find(kPaperList)), Text(119));
  ASSERT_TRUE(Click(sheet->Find(kDefaults)));
  ASSERT_TRUE(sheet->Ok());
  StoredDevmode initial{};
  ASSERT_TRUE(ui::InitialSheetSettings(&initial));
  EXPECT_EQ(out_.pub.dmPaperSize, initial.pub.dmPaperSize);
  EXPECT_EQ(out_.pub.dmPaperWidth, initial.pub.dmPaperWidth);
  EXPECT_EQ(out_.pub.dmOrientation, DMORIENT_PORTRAIT);
}

TEST_F(BasicPageTest, ACustomPaperMadeInTheEditorIsStoredSelectedAndListedNextTime) {
  auto sheet = Open();
  ASSERT_TRUE(sheet->SwitchTo(0));
  QueueEditor(u"  Receipt ", u"100", u"200,5");
  ASSERT_TRUE(Click(sheet->Find(kCustomPaper)));
  EXPECT_EQ(Selected(sheet->Find(kPaperList)), u"Receipt (100 x 200mm)");
  ASSERT_TRUE(sheet->Ok());
  EXPECT_EQ(out_.pub.dmPaperSize, 288);
  EXPECT_EQ(out_.pub.dmPaperWidth, 1000);
  EXPECT_EQ(out_.pub.dmPaperLength, 2005);
  auto papers = ui::CustomPaperStore().Records();
  ASSERT_EQ(papers.size(), 1u);
  EXPECT_EQ(platform::WideField(papers[0].name, 26), u"Receipt");
  EXPECT_EQ(papers[0].unit, 1u);

  // A second paper in inches; then the sheet opened again with the applied devmode.
  StoredDevmode applied = out_;
  sheet = Open(&applied);
  ASSERT_TRUE(sheet->SwitchTo(0));
  EXPECT_EQ(Selected(sheet->Find(kPaperList)), u"Receipt (100 x 200mm)");
  QueueEditor(u"Card", u"5.5", u"8.5", true);
  ASSERT_TRUE(Click(sheet->Find(kCustomPaper)));
  EXPECT_TRUE(Messages().empty());
  ASSERT_TRUE(sheet->Ok());
  EXPECT_EQ(out_.pub.dmPaperSize, 289);
  EXPECT_EQ(out_.pub.dmPaperWidth, 1397);
  papers = ui::CustomPaperStore().Records();
  ASSERT_EQ(papers.size(), 2u);
  EXPECT_EQ(papers[1].unit, 2u);
  EXPECT_EQ(papers[1].width, 3300);
  sheet = Open();
  ASSERT_TRUE(sheet->SwitchTo(0));
  EXPECT_EQ(Items(sheet->Find(kPaperList)).size(), 31u);
  EXPECT_TRUE(platform::ui::Choose(sheet->Find(kPaperList), u"Card (139 x 215mm)"));
}

TEST_F(BasicPageTest, TheEditorStartsFromTheSelectedPaperInTheLanguagesDecimalSign) {
  SetLanguage(u"German");
  auto sheet = Open();
  ASSERT_TRUE(sheet->SwitchTo(0));
  QueueEditor(u"Beleg", u"100", u"200.5");
  ASSERT_TRUE(Click(sheet->Find(kCustomPaper)));
  std::u16string shown[4];
  QueueModalScript([&shown](HWND d) {
    shown[0] = BoxText(d, kEditorName);
    shown[1] = BoxText(d, kEditorHeight);
    EXPECT_TRUE(platform::ui::SetChecked(FindControl(d, kEditorInches), true));
    shown[2] = BoxText(d, kEditorWidth);
    shown[3] = BoxText(d, kEditorHeight);
    EXPECT_TRUE(Click(FindControl(d, IDCANCEL)));
  });
  ASSERT_TRUE(Click(sheet->Find(kCustomPaper)));
  EXPECT_EQ(shown[0], u"Beleg");
  EXPECT_EQ(shown[1], u"200,5");
  EXPECT_EQ(shown[2], u"3,94");
  EXPECT_EQ(shown[3], u"7,89");
  auto papers = ui::CustomPaperStore().Records();
  ASSERT_EQ(papers.size(), 1u);
  EXPECT_EQ(papers[0].unit, 1u) << "a cancelled editor changed the paper";
}

TEST_F(BasicPageTest, TheEditorRefusesWhatTheStoreWouldNotKeepAndSaysWhy) {
  auto sheet = Open();
  ASSERT_TRUE(sheet->SwitchTo(0));
  const std::u16string before = Selected(sheet->Find(kPaperList));
  struct Case {
    std::u16string name, width, height;
    UINT message;
  } cases[] = {
      {u"Narrow", u"89", u"200", 6063},      {u"Tall", u"100", u"357", 6063},
      {u"   ", u"100", u"200", 6061},        {std::u16string(25, u'x'), u"100", u"200", 6062},
      {u"Letters", u"1O0", u"200", 6063},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(platform::Utf16ToUtf8(c.name + u" " + c.width + u" x " + c.height));
    QueueEditor(c.name, c.width, c.height);
    ASSERT_TRUE(Click(sheet->Find(kCustomPaper)));
    EXPECT_EQ(Messages(), std::vector<std::u16string>{Text(c.message)});
  }
  QueueEditor(u"Wide", u"8.6", u"11", true);
  ASSERT_TRUE(Click(sheet->Find(kCustomPaper)));
  EXPECT_EQ(Messages(), std::vector<std::u16string>{Text(6064)});
  EXPECT_EQ(ui::CustomPaperStore().Count(), 0);
  EXPECT_EQ(Selected(sheet->Find(kPaperList)), before);
  // The limits themselves are accepted.
  QueueEditor(u"Smallest", u"90", u"120");
  ASSERT_TRUE(Click(sheet->Find(kCustomPaper)));
  QueueEditor(u"Largest", u"216", u"356");
  ASSERT_TRUE(Click(sheet->Find(kCustomPaper)));
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(ui::CustomPaperStore().Count(), 2);
}

TEST_F(BasicPageTest, ReplacingACustomPaperAsksAndKeepsItsIdAndTheSeventeenthIsRefused) {
  auto sheet = Open();
  ASSERT_TRUE(sheet->SwitchTo(0));
  QueueEditor(u"Form", u"100", u"200");
  ASSERT_TRUE(Click(sheet->Find(kCustomPaper)));
  QueueEditor(u"Other", u"120", u"200");
  ASSERT_TRUE(Click(sheet->Find(kCustomPaper)));
  // The editor opens on the selected paper ("Other"); a same-named save asks first.
  platform::hooks::QueueMessageBoxAnswers({IDNO});
  QueueEditor(u"Form", u"150", u"250");
  ASSERT_TRUE(Click(sheet->Find(kCustomPaper)));
  EXPECT_EQ(Messages(), std::vector<std::u16string>{Text(5010)});
  EXPECT_EQ(ui::CustomPaperStore().Records()[0].width, 2362) << "declined, yet replaced";
  platform::hooks::QueueMessageBoxAnswers({IDYES});
  QueueEditor(u"Form", u"150", u"250");
  ASSERT_TRUE(Click(sheet->Find(kCustomPaper)));
  EXPECT_EQ(Messages(), std::vector<std::u16string>{Text(5010)});
  auto papers = ui::CustomPaperStore().Records();
  ASSERT_EQ(papers.size(), 2u);
  EXPECT_EQ(platform::WideField(papers[1].name, 26), u"Form");
  EXPECT_EQ(papers[1].paperId, 288u);
  EXPECT_EQ(papers[1].width, 3543);
  EXPECT_EQ(Selected(sheet->Find(kPaperList)), u"Form (150 x 250mm)");

  for (int i = 2; i < ui::kStoreCapacity; ++i) {
    QueueEditor(u"Paper " + platform::Widen(std::to_string(i)), u"100", u"200");
    ASSERT_TRUE(Click(sheet->Find(kCustomPaper)));
  }
  EXPECT_TRUE(Messages().empty());
  ASSERT_EQ(ui::CustomPaperStore().Count(), 16);
  EXPECT_EQ(Items(sheet->Find(kPaperList)).size(), 29u + 16u);
  QueueEditor(u"Seventeen", u"100", u"200");
  ASSERT_TRUE(Click(sheet->Find(kCustomPaper)));
  EXPECT_EQ(Messages(), std::vector<std::u16string>{Text(5008)});
  EXPECT_EQ(ui::CustomPaperStore().Count(), 16);

  // The editor lists the stored papers and deletes one; deleting the page's own paper puts the
  // driver's default paper in its place.
  std::u16string shownWidth;
  QueueModalScript([&shownWidth](HWND d) {
    EXPECT_TRUE(platform::ui::Choose(FindControl(d, kEditorName), u"Other"));
    shownWidth = BoxText(d, kEditorWidth);
    EXPECT_TRUE(Type(FindControl(d, kEditorName), u"Paper 15"));  // the selected one
    EXPECT_TRUE(Click(FindControl(d, kEditorDelete)));
    EXPECT_TRUE(Type(FindControl(d, kEditorName), u"Paper 15"));
    EXPECT_TRUE(Click(FindControl(d, kEditorDelete)));
    EXPECT_TRUE(Click(FindControl(d, IDCANCEL)));
  });
  ASSERT_TRUE(Click(sheet->Find(kCustomPaper)));
  EXPECT_EQ(shownWidth, u"120");
  EXPECT_EQ(Messages(), std::vector<std::u16string>{Text(6069)}) << "the second delete";
  EXPECT_EQ(ui::CustomPaperStore().Count(), 15);
  EXPECT_EQ(Items(sheet->Find(kPaperList)).size(), 29u + 15u);
  ASSERT_TRUE(sheet->Ok());
  StoredDevmode initial{};
  ASSERT_TRUE(ui::InitialSheetSettings(&initial));
  EXPECT_EQ(out_.pub.dmPaperSize, initial.pub.dmPaperSize);
}

TEST_F(BasicPageTest, FavouritesAreSavedReplacedAppliedAndDeletedAndOutliveTheSheet) {
  auto sheet = Open();
  ASSERT_TRUE(sheet->SwitchTo(0));
  const std::u16string defaultName = Text(202);
  EXPECT_EQ(FavoriteNames(), std::vector<std::u16string>{defaultName}) << "the driver's own settings come first";
  EXPECT_EQ(Selected(sheet->Find(kFavorites)), defaultName);

  // An empty name is refused.
  ASSERT_TRUE(Type(sheet->Find(kFavorites), u"  "));
  ASSERT_TRUE(Click(sheet->Find(kSave)));
  EXPECT_EQ(Messages(), std::vector<std::u16string>{Text(2062)});

  // A new favourite: Legal, landscape.
  ASSERT_TRUE(platform::ui::Choose(sheet->Find(kPaperList), Text(110)));
  ASSERT_TRUE(platform::ui::SetChecked(sheet->Find(kLandscape), true));
  ASSERT_TRUE(Type(sheet->Find(kFavorites), u"Contracts"));
  ASSERT_TRUE(Click(sheet->Find(kSave)));
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(FavoriteNames(), (std::vector<std::u16string>{defaultName, u"Contracts"}));
  EXPECT_EQ(Selected(sheet->Find(kFavorites)), u"Contracts");

  // The same name again: No keeps the stored one, Yes replaces it.
  ASSERT_TRUE(platform::ui::SetChecked(sheet->Find(kPortrait), true));
  platform::hooks::QueueMessageBoxAnswers({IDNO});
  ASSERT_TRUE(Type(sheet->Find(kFavorites), u"Contracts"));
  ASSERT_TRUE(Click(sheet->Find(kSave)));
  EXPECT_EQ(Messages(), std::vector<std::u16string>{Text(2063)});
  auto stored = std::make_unique<StoredDevmode>();
  ASSERT_TRUE(ui::FavoriteStore().LoadInto(u"Contracts", *stored));
  EXPECT_EQ(stored->pub.dmOrientation, DMORIENT_LANDSCAPE);
  platform::hooks::QueueMessageBoxAnswers({IDYES});
  ASSERT_TRUE(Click(sheet->Find(kSave)));
  EXPECT_EQ(Messages(), std::vector<std::u16string>{Text(2063)});
  ASSERT_TRUE(ui::FavoriteStore().LoadInto(u"Contracts", *stored));
  EXPECT_EQ(stored->pub.dmOrientation, DMORIENT_PORTRAIT);
  EXPECT_EQ(stored->pub.dmPaperSize, 5);
  EXPECT_EQ(Items(sheet->Find(kFavorites)).size(), 2u) << "the replaced name is listed once";

  // Back to the defaults, then the favourite applied by choosing it.
  ASSERT_TRUE(platform::ui::Choose(sheet->Find(kFavorites), defaultName));
  EXPECT_NE(Selected(sheet->Find(kPaperList)), Text(110));
  ASSERT_TRUE(platform::ui::Choose(sheet->Find(kFavorites), u"Contracts"));
  EXPECT_EQ(Selected(sheet->Find(kPaperList)), Text(110));
  ASSERT_TRUE(sheet->Ok());
  EXPECT_EQ(out_.pub.dmPaperSize, 5);
  EXPECT_EQ(platform::WideField(out_.priv.FavoriteName, 256), u"Contracts");
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(out_.pub.dmDeviceName)), kPrinter);

  // The next sheet lists it; deleting removes it from the list and the file.
  sheet = Open();
  ASSERT_TRUE(sheet->SwitchTo(0));
  EXPECT_EQ(Items(sheet->Find(kFavorites)), (std::vector<std::u16string>{defaultName, u"Contracts"}));
  ASSERT_TRUE(Type(sheet->Find(kFavorites), u"Nothing like it"));
  ASSERT_TRUE(Click(sheet->Find(kDelete)));
  EXPECT_EQ(Messages(), std::vector<std::u16string>{Text(6068)});
  ASSERT_TRUE(Type(sheet->Find(kFavorites), u"Contracts"));
  ASSERT_TRUE(Click(sheet->Find(kDelete)));
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(Items(sheet->Find(kFavorites)), std::vector<std::u16string>{defaultName});
  EXPECT_EQ(FavoriteNames(), std::vector<std::u16string>{defaultName});
  // The driver's own settings stay.
  ASSERT_TRUE(Type(sheet->Find(kFavorites), defaultName));
  ASSERT_TRUE(Click(sheet->Find(kDelete)));
  EXPECT_EQ(Messages().size(), 1u);
  EXPECT_EQ(FavoriteNames(), std::vector<std::u16string>{defaultName});
}

// The settings file is the user's, shared by every printer of the driver and by older drivers.
TEST_F(BasicPageTest, AFavouriteFromElsewhereIsAppliedWithinRangeAndKeepsThisPrinter) {
  auto sheet = Open();
  ASSERT_TRUE(sheet->SwitchTo(0));
  StoredDevmode foreign = Current(u"Lab printer");
  foreign.pub.dmPaperSize = 300;  // a custom paper deleted since
  foreign.pub.dmCopies = 5000;
  foreign.pub.dmOrientation = DMORIENT_LANDSCAPE;
  foreign.priv.MultipleUp = 99;
  foreign.priv.Thickness = 2;
  foreign.pub.dmMediaType = 2;  // transparencies are not turned over
  foreign.pub.dmDuplex = DMDUP_VERTICAL;
  auto record = std::make_unique<ui::SettingsRecord>();
  ui::PackSettingsRecord(foreign, *record);
  ASSERT_TRUE(ui::FavoriteStore().Save(u"From the lab", ui::RecordBytes(*record)));
  sheet = Open();  // lists it
  ASSERT_TRUE(sheet->SwitchTo(0));
  ASSERT_TRUE(platform::ui::Choose(sheet->Find(kFavorites), u"From the lab"));
  ASSERT_TRUE(sheet->Ok());
  StoredDevmode initial{};
  ASSERT_TRUE(ui::InitialSheetSettings(&initial));
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(out_.pub.dmDeviceName)), kPrinter);
  EXPECT_EQ(out_.pub.dmPaperSize, initial.pub.dmPaperSize);
  EXPECT_EQ(out_.pub.dmPaperWidth, initial.pub.dmPaperWidth);
  EXPECT_EQ(out_.pub.dmCopies, 1);
  EXPECT_EQ(out_.priv.MultipleUp, 1);
  EXPECT_EQ(out_.pub.dmOrientation, DMORIENT_LANDSCAPE);
  EXPECT_EQ(out_.priv.Thickness, 2);
  EXPECT_EQ(out_.pub.dmMediaType, 2u);
  EXPECT_EQ(out_.pub.dmDuplex, DMDUP_SIMPLEX);
}

TEST_F(BasicPageTest, TheSeventeenthFavouriteIsRefusedWithTheMessage) {
  auto sheet = Open();
  ASSERT_TRUE(sheet->SwitchTo(0));
  for (int i = 1; i < ui::kStoreCapacity; ++i) {
    ASSERT_TRUE(Type(sheet->Find(kFavorites), u"Set " + platform::Widen(std::to_string(i))));
    ASSERT_TRUE(Click(sheet->Find(kSave)));
  }
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(FavoriteNames().size(), 16u);
  ASSERT_TRUE(Type(sheet->Find(kFavorites), u"One more"));
  ASSERT_TRUE(Click(sheet->Find(kSave)));
  EXPECT_EQ(Messages(), std::vector<std::u16string>{Text(2061)});
  EXPECT_EQ(FavoriteNames().size(), 16u);
  EXPECT_EQ(Items(sheet->Find(kFavorites)).size(), 16u);
  // A name the file could not keep is refused rather than cut.
  ASSERT_TRUE(Type(sheet->Find(kFavorites), u"Set 1"));
  ASSERT_TRUE(Click(sheet->Find(kDelete)));
  ASSERT_TRUE(Type(sheet->Find(kFavorites), std::u16string(33, u'n')));
  ASSERT_TRUE(Click(sheet->Find(kSave)));
  EXPECT_EQ(Messages(), std::vector<std::u16string>{Text(6066)});
  EXPECT_EQ(FavoriteNames().size(), 15u);
}

TEST_F(BasicPageTest, AOneSidedPaperTurnsTwoSidedPrintingOffAndSaysSo) {
  auto sheet = Open();
  ASSERT_TRUE(sheet->SwitchTo(0));
  ASSERT_TRUE(platform::ui::Choose(sheet->Find(kPaperList), Text(116)));  // A4
  ASSERT_TRUE(sheet->SwitchTo(1));
  ASSERT_TRUE(platform::ui::ChooseIndex(sheet->Find(kTwoSided), 1));
  ASSERT_TRUE(sheet->SwitchTo(0));
  ASSERT_TRUE(platform::ui::Choose(sheet->Find(kPaperList), Text(110)));  // Legal keeps it
  EXPECT_TRUE(Messages().empty());
  ASSERT_TRUE(platform::ui::Choose(sheet->Find(kPaperList), Text(119)));  // A5 does not
  EXPECT_EQ(Messages(), std::vector<std::u16string>{Text(6030)});
  ASSERT_TRUE(sheet->SwitchTo(1));
  EXPECT_EQ(Selected(sheet->Find(kTwoSided)), Text(6257));
  ASSERT_TRUE(sheet->Ok());
  EXPECT_EQ(out_.pub.dmPaperSize, 11);
  EXPECT_EQ(out_.pub.dmDuplex, DMDUP_SIMPLEX);
}

TEST_F(BasicPageTest, AReadOnlySheetOffersNothingAndHelpNamesTheControl) {
  auto sheet = Open(nullptr, DM_NOPERMISSION);
  ASSERT_TRUE(sheet->SwitchTo(0));
  EXPECT_FALSE(platform::ui::Choose(sheet->Find(kPaperList), Text(110)));
  EXPECT_FALSE(Click(sheet->Find(kSave)));
  EXPECT_FALSE(Click(sheet->Find(kCustomPaper)));
  EXPECT_TRUE(sheet->Cancel());
  sheet = Open();
  ASSERT_TRUE(sheet->SwitchTo(0));
  ASSERT_TRUE(platform::ui::Help(sheet->Find(kFavorites)));
  auto calls = platform::hooks::TakeHelpCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].data, 1110u);
}

}  // namespace
