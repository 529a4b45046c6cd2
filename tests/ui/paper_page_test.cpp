// The paper and image page driven as a user would: paper source, media, copies, two-sided
// printing, density and resolution, and the combinations the printer cannot print.
#include <cstring>
#include <memory>
#include <string>

#include "entry/language.h"
#include "entry/property_sheets.h"
#include "entry_fixture.h"
#include "platform/sheet_driver.h"
#include "platform/ui_hooks.h"
#include "store/settings_editing.h"

namespace {

using devmode::StoredDevmode;
using platform::ui::Choose;
using platform::ui::ChooseIndex;
using platform::ui::Click;
using platform::ui::PropertySheet;
using platform::ui::Type;

enum : int {
  kPaperList = 6011,
  kSource = 6211,
  kMedia = 6213,
  kCopies = 6215,
  kCopiesSpin = 6216,
  kCollate = 6217,
  kTwoSided = 6219,
  kDensity = 6221,
  kResolution = 6223,
  kDefaults = 6224,
};

// List positions of the two-sided choices.
constexpr int kOneSided = 0, kLongEdge = 1, kShortEdge = 2;

class PaperPageTest : public testsupport::EntryTest {
 protected:
  void SetUp() override {
    EntryTest::SetUp();
    ui::SetSheetWindowCalls(ui::PlatformSheetWindowCalls());
    ASSERT_TRUE(OpenPrinterW(kPrinter, &printer_, nullptr));
    platform::hooks::TakeMessageBoxes();
  }
  void TearDown() override {
    ClosePrinter(printer_);
    EntryTest::TearDown();
  }

  // The preferences on the paper and image page, from `in` when given.
  std::unique_ptr<PropertySheet> Open(const StoredDevmode* in = nullptr) {
    std::memset(&out_, 0, sizeof out_);
    if (in != nullptr) in_ = *in;
    header_ = {sizeof(DOCUMENTPROPERTYHEADER), 0, printer_, const_cast<LPWSTR>(kPrinter),
               in != nullptr ? &in_.pub : nullptr, &out_.pub, sizeof out_, DM_IN_BUFFER | DM_OUT_BUFFER};
    std::string error;
    auto sheet = PropertySheet::Open(ui::DocumentPropertySheets, reinterpret_cast<LPARAM>(&header_), error);
    EXPECT_NE(sheet, nullptr) << error;
    if (sheet) {
      EXPECT_TRUE(sheet->SwitchTo(1));
    }
    return sheet;
  }

  static std::u16string Text(UINT id) {
    WCHAR text[512] = {};
    int n = ui::LoadResourceString(ui::HeldSheetLanguageModule(), id, text, 512);
    return std::u16string(text, static_cast<size_t>(n));
  }
  static platform::ui::ControlInfo Info(HWND control) {
    for (const auto& c : platform::ui::DescribeControls(::GetParent(control))) {
      if (c.window == control) return c;
    }
    return {};
  }
  static std::u16string Selected(HWND combo) {
    auto c = Info(combo);
    return c.selection >= 0 ? c.items[static_cast<size_t>(c.selection)] : u"";
  }
  static std::vector<std::u16string> Messages() {
    std::vector<std::u16string> texts;
    for (const auto& box : platform::hooks::TakeMessageBoxes()) texts.push_back(box.text);
    return texts;
  }
  static StoredDevmode WithPaper(short paper) {
    StoredDevmode d = Current();
    d.pub.dmPaperSize = paper;
    return d;
  }

  HANDLE printer_ = nullptr;
  StoredDevmode in_{};
  StoredDevmode out_{};
  DOCUMENTPROPERTYHEADER header_{};
};

TEST_F(PaperPageTest, EveryChoiceReachesTheAppliedDevmode) {
  auto sheet = Open(std::make_unique<StoredDevmode>(WithPaper(9)).get());
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(Info(sheet->Find(kSource)).items.size(), 3u);
  EXPECT_EQ(Info(sheet->Find(kMedia)).items.size(), 7u);
  ASSERT_TRUE(Choose(sheet->Find(kSource), Text(4018)));       // manual feed
  ASSERT_TRUE(Choose(sheet->Find(kMedia), Text(6252)));        // thick paper
  ASSERT_TRUE(ChooseIndex(sheet->Find(kTwoSided), kShortEdge));
  ASSERT_TRUE(Choose(sheet->Find(kDensity), Text(166)));       // dark
  ASSERT_TRUE(Choose(sheet->Find(kResolution), Text(6261)));   // 1200 dpi
  ASSERT_TRUE(Type(sheet->Find(kCopies), u"3"));
  ASSERT_TRUE(platform::ui::SetChecked(sheet->Find(kCollate), true));
  EXPECT_TRUE(Messages().empty());
  ASSERT_TRUE(sheet->Ok());
  EXPECT_EQ(out_.pub.dmDefaultSource, DMBIN_MANUAL);
  EXPECT_EQ(out_.pub.dmMediaType, 257u);
  EXPECT_EQ(out_.pub.dmDuplex, DMDUP_HORIZONTAL);
  EXPECT_EQ(out_.priv.Thickness, 2);
  EXPECT_EQ(out_.pub.dmPrintQuality, 1200);
  EXPECT_EQ(out_.pub.dmYResolution, 600);
  EXPECT_EQ(out_.pub.dmCopies, 3);
  EXPECT_EQ(out_.pub.dmCollate, 1);

  // The next sheet, opened on that devmode, shows it; the page's defaults bring the driver's back.
  StoredDevmode applied = out_;
  sheet = Open(&applied);
  EXPECT_EQ(Selected(sheet->Find(kSource)), Text(4018));
  EXPECT_EQ(Selected(sheet->Find(kTwoSided)), Text(6259));
  EXPECT_EQ(Info(sheet->Find(kCopies)).text, u"3");
  ASSERT_TRUE(Click(sheet->Find(kDefaults)));
  ASSERT_TRUE(sheet->Ok());
  StoredDevmode initial{};
  ASSERT_TRUE(ui::InitialSheetSettings(&initial));
  EXPECT_EQ(out_.pub.dmDefaultSource, initial.pub.dmDefaultSource);
  EXPECT_EQ(out_.pub.dmMediaType, initial.pub.dmMediaType);
  EXPECT_EQ(out_.pub.dmDuplex, initial.pub.dmDuplex);
  EXPECT_EQ(out_.pub.dmCopies, 1);
  EXPECT_EQ(out_.pub.dmPrintQuality, 600);
  EXPECT_EQ(out_.priv.Thickness, initial.priv.Thickness);
}

TEST_F(PaperPageTest, CopiesStayWithinTheRangeHoweverTheyAreEntered) {
  auto sheet = Open();
  HWND copies = sheet->Find(kCopies);
  EXPECT_FALSE(Info(sheet->Find(kCollate)).enabled) << "one copy has nothing to collate";
  ASSERT_TRUE(Type(copies, u"1500"));  // the box takes three digits
  EXPECT_EQ(Info(copies).text, u"150");
  ASSERT_TRUE(Type(copies, u"0"));
  ASSERT_TRUE(ChooseIndex(sheet->Find(kSource), 0));  // the box loses the focus
  EXPECT_EQ(Info(copies).text, u"1");
  ASSERT_TRUE(Type(copies, u"999"));
  ASSERT_TRUE(platform::ui::Spin(sheet->Find(kCopiesSpin), 1));
  EXPECT_EQ(Info(copies).text, u"999");
  EXPECT_TRUE(Info(sheet->Find(kCollate)).enabled);
  ASSERT_TRUE(platform::ui::Spin(sheet->Find(kCopiesSpin), -3));
  EXPECT_EQ(Info(copies).text, u"996");
  // A number left half-typed is settled when the sheet applies.
  ASSERT_TRUE(Type(copies, u""));
  ASSERT_TRUE(sheet->Ok());
  EXPECT_EQ(out_.pub.dmCopies, 1);

  sheet = Open();
  ASSERT_TRUE(Type(sheet->Find(kCopies), u"42"));
  ASSERT_TRUE(sheet->Ok());
  EXPECT_EQ(out_.pub.dmCopies, 42);
}

TEST_F(PaperPageTest, TwoSidedPrintingIsRefusedWhereThePrinterCannotTurnTheSheet) {
  struct Case {
    const char* what;
    short paper;
    DWORD media;
    uint16_t pagesPerSheet;
    UINT message;
  } cases[] = {
      {"A5", 11, 1, 1, 6240},
      {"custom paper", 288, 1, 1, 6240},
      {"transparency", 9, 2, 1, 6241},
      {"labels", 1, 263, 1, 6241},
      {"poster", 9, 1, 22, 6242},
  };
  // The custom paper exists, so the basic page keeps it.
  ui::CustomPaperStore papers;
  ASSERT_TRUE(papers.EnsureSettingsSkeleton());
  ASSERT_EQ(ui::SaveCustomPaper(papers, nullptr, nullptr, {u"Slip", 1, 2362.2f, 4724.4f}), ui::EditOutcome::Saved);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto in = std::make_unique<StoredDevmode>(WithPaper(c.paper));
    in->pub.dmMediaType = c.media;
    in->priv.MultipleUp = c.pagesPerSheet;
    auto sheet = Open(in.get());
    ASSERT_TRUE(ChooseIndex(sheet->Find(kTwoSided), kLongEdge));
    EXPECT_EQ(Messages(), std::vector<std::u16string>{Text(c.message)});
    EXPECT_EQ(Info(sheet->Find(kTwoSided)).selection, kOneSided);
    ASSERT_TRUE(sheet->Ok());
    EXPECT_EQ(out_.pub.dmDuplex, DMDUP_SIMPLEX);
    EXPECT_EQ(out_.priv.MultipleUp, c.pagesPerSheet);
  }
  // Where it can, both edges are taken without a word.
  for (short paper : {9, 1, 5, 14, 243}) {
    auto sheet = Open(std::make_unique<StoredDevmode>(WithPaper(paper)).get());
    ASSERT_TRUE(ChooseIndex(sheet->Find(kTwoSided), kLongEdge));
    ASSERT_TRUE(sheet->Ok());
    EXPECT_EQ(out_.pub.dmDuplex, DMDUP_VERTICAL) << paper;
  }
  EXPECT_TRUE(Messages().empty());
}

TEST_F(PaperPageTest, AOneSidedMediaChosenLaterTurnsTwoSidedPrintingOff) {
  auto sheet = Open(std::make_unique<StoredDevmode>(WithPaper(9)).get());
  ASSERT_TRUE(ChooseIndex(sheet->Find(kTwoSided), kLongEdge));
  ASSERT_TRUE(Choose(sheet->Find(kMedia), Text(6251)));  // thin paper can be turned
  EXPECT_TRUE(Messages().empty());
  ASSERT_TRUE(Choose(sheet->Find(kMedia), Text(6256)));  // envelopes cannot
  EXPECT_EQ(Messages(), std::vector<std::u16string>{Text(6243)});
  EXPECT_EQ(Info(sheet->Find(kTwoSided)).selection, kOneSided);
  ASSERT_TRUE(sheet->Ok());
  EXPECT_EQ(out_.pub.dmMediaType, 258u);
  EXPECT_EQ(out_.pub.dmDuplex, DMDUP_SIMPLEX);
}

TEST_F(PaperPageTest, ValuesThePageCannotShowArePutRightAndTonerSavingLocksTheDensity) {
  auto in = std::make_unique<StoredDevmode>(Current());
  in->pub.dmMediaType = 200;  // not a media of this printer
  in->priv.TonerSavingMode = 1;
  in->priv.Thickness = 0;
  auto sheet = Open(in.get());
  EXPECT_EQ(Selected(sheet->Find(kMedia)), Text(6250));
  EXPECT_FALSE(Info(sheet->Find(kDensity)).enabled);
  ASSERT_TRUE(Choose(sheet->Find(kSource), Text(4019)));
  ASSERT_TRUE(sheet->Ok());
  EXPECT_EQ(out_.pub.dmMediaType, 1u);
  EXPECT_EQ(out_.priv.Thickness, 0);
}

}  // namespace
