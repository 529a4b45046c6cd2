// The layout page driven as a user drives it: the printing preferences opened through the sheet
// entry point, the layout page chosen, its lists, boxes and buttons used, and the devmode the sheet
// hands back (pdmOut) read after Apply or OK.
#include <cstdint>
#include <string>
#include <vector>

#include "devmode/builtin_watermarks.h"
#include "entry/property_sheets.h"
#include "entry_fixture.h"
#include "platform/sheet_driver.h"
#include "platform/ui_hooks.h"
#include "preview/layout_preview.h"

namespace layout_page_test {
// In layout_page_test_picture.cpp.
std::vector<uint32_t> PaintedPreview(HMODULE module, int width, int height, const ui::preview::LayoutInputs& in);
}  // namespace layout_page_test

namespace {

using devmode::StoredDevmode;
using layout_page_test::PaintedPreview;
using platform::ui::ControlInfo;

constexpr int kPagesPerSheet = 1300, kOrder = 6403, kBorder = 6405, kPortrait = 6407, kLandscape = 6408,
              kZoom = 6410, kZoomSpin = 6411, kZoomNote = 6413, kDensity = 6415, kTonerSaving = 6416,
              kRotate180 = 6417, kDefaults = 6418, kPreview = 6419;

const std::u16string kNupNeedsFullSize =
    u"Several pages per sheet can only be printed at a zoom of 100%. Set the zoom to 100% first.";
const std::u16string kPosterNeedsFullSize = u"Poster printing needs a zoom of 100%. Set the zoom to 100% first.";
const std::u16string kPosterConflict = u"Poster printing cannot be combined with two-sided printing or a watermark.";

class LayoutPageTest : public testsupport::EntryTest {
 protected:
  void SetUp() override {
    EntryTest::SetUp();
    ui::SetSheetWindowCalls(ui::PlatformSheetWindowCalls());
    ASSERT_TRUE(OpenPrinterW(kPrinter, &printer_, nullptr));
    platform::hooks::TakeMessageBoxes();
  }
  void TearDown() override {
    sheet_.reset();
    ClosePrinter(printer_);
    EntryTest::TearDown();
  }

  // The preferences opened on `in`, showing the layout page.
  void Open(const StoredDevmode& in, DWORD extraMode = 0) {
    in_ = in;
    out_.assign(devmode::kStoredDevmodeSize, 0);
    header_ = {sizeof(DOCUMENTPROPERTYHEADER), 0, printer_, const_cast<LPWSTR>(kPrinter),
               reinterpret_cast<DEVMODEW*>(&in_), reinterpret_cast<DEVMODEW*>(out_.data()),
               static_cast<DWORD>(out_.size()), DM_IN_BUFFER | DM_OUT_BUFFER | extraMode};
    std::string error;
    sheet_ = platform::ui::PropertySheet::Open(ui::DocumentPropertySheets, reinterpret_cast<LPARAM>(&header_), error);
    ASSERT_NE(sheet_, nullptr) << error;
    ASSERT_TRUE(sheet_->SwitchTo(u"Layout"));
  }

  HWND Control(int id) const { return sheet_->Find(id); }
  ControlInfo Info(int id) const {
    for (const ControlInfo& c : platform::ui::DescribeControls(sheet_->Page()))
      if (c.id == id) return c;
    ADD_FAILURE() << "no control " << id;
    return {};
  }
  std::u16string Shown(int id) const {
    ControlInfo c = Info(id);
    return c.selection >= 0 ? c.items[static_cast<size_t>(c.selection)] : u"";
  }
  bool Choose(int id, std::u16string_view text) { return platform::ui::Choose(Control(id), text); }
  // The user clicks into the density list and leaves it as it was: the focus moves there.
  void MoveFocus() { ASSERT_TRUE(platform::ui::ChooseIndex(Control(kDensity), Info(kDensity).selection)); }

  // What the sheet writes into pdmOut when the user presses Apply; Apply is only possible after
  // the page told the sheet about a change.
  const StoredDevmode& Applied() {
    EXPECT_TRUE(sheet_->ApplyEnabled());
    EXPECT_TRUE(sheet_->Apply());
    return *reinterpret_cast<const StoredDevmode*>(out_.data());
  }
  const StoredDevmode& Closed() {
    EXPECT_TRUE(sheet_->Ok());
    return *reinterpret_cast<const StoredDevmode*>(out_.data());
  }

  std::vector<std::u16string> Messages() {
    std::vector<std::u16string> texts;
    for (const auto& m : platform::hooks::TakeMessageBoxes()) {
      EXPECT_EQ(m.caption, u"Layout");
      texts.push_back(m.text);
    }
    return texts;
  }

  HANDLE printer_ = nullptr;
  StoredDevmode in_{};
  std::vector<uint8_t> out_;
  DOCUMENTPROPERTYHEADER header_{};
  std::unique_ptr<platform::ui::PropertySheet> sheet_;
};

TEST_F(LayoutPageTest, ShowsTheWorkingDevmode) {
  StoredDevmode d = Current();
  d.pub.dmOrientation = DMORIENT_LANDSCAPE;
  d.priv.MultipleUp = 16;
  d.priv.PageOrder = 4;
  d.priv.PageBorder = 1;
  d.priv.Thickness = 2;
  d.priv.Rotate180 = 1;
  Open(d);
  ControlInfo pages = Info(kPagesPerSheet);
  EXPECT_EQ(pages.items, (std::vector<std::u16string>{u"1 Page per Sheet", u"2 Pages per Sheet", u"4 Pages per Sheet",
                                                      u"8 Pages per Sheet", u"16 Pages per Sheet", u"Poster"}));
  EXPECT_EQ(Shown(kPagesPerSheet), u"16 Pages per Sheet");
  EXPECT_EQ(Shown(kOrder), u"Left, then Down");
  EXPECT_EQ(Shown(kBorder), u"Thin Line");
  EXPECT_EQ(Shown(kDensity), u"Dark");
  EXPECT_EQ(Info(kLandscape).check, BST_CHECKED);
  EXPECT_EQ(Info(kPortrait).check, BST_UNCHECKED);
  EXPECT_EQ(Info(kRotate180).check, BST_CHECKED);
  EXPECT_EQ(Info(kTonerSaving).check, BST_UNCHECKED);
  EXPECT_TRUE(Info(kDensity).enabled);
  EXPECT_FALSE(Info(kZoom).enabled) << "several pages per sheet print at 100%";
  EXPECT_TRUE(Info(kZoomNote).visible);
  EXPECT_EQ(Info(6401).text, u"Pages per sheet:");
  EXPECT_FALSE(sheet_->ApplyEnabled()) << "showing the settings changes nothing";
  EXPECT_EQ(Closed().priv.MultipleUp, 16);
}

TEST_F(LayoutPageTest, ZoomOtherThan100RefusesSeveralPagesPerSheetAndPoster) {
  StoredDevmode d = Current();
  d.priv.zoomPercent = 150;
  Open(d);
  EXPECT_EQ(Info(kZoom).text, u"150");
  EXPECT_TRUE(Info(kZoom).enabled);
  ASSERT_TRUE(Choose(kPagesPerSheet, u"4 Pages per Sheet"));
  EXPECT_EQ(Messages(), std::vector<std::u16string>{kNupNeedsFullSize});
  EXPECT_EQ(Shown(kPagesPerSheet), u"1 Page per Sheet");
  ASSERT_TRUE(Choose(kPagesPerSheet, u"Poster"));
  EXPECT_EQ(Messages(), std::vector<std::u16string>{kPosterNeedsFullSize});
  EXPECT_EQ(Shown(kPagesPerSheet), u"1 Page per Sheet");
  EXPECT_FALSE(sheet_->ApplyEnabled());
  const StoredDevmode& out = Closed();
  EXPECT_EQ(out.priv.MultipleUp, 1);
  EXPECT_EQ(out.priv.zoomPercent, 150);
}

TEST_F(LayoutPageTest, TwoSidedPrintingRefusesPosterAndFallsBackToOnePage) {
  struct Case {
    const char* what;
    short dmDuplex;
    uint16_t privateDuplex;
    bool refused;
  };
  for (const Case& c : {Case{"long edge", 2, 1, true}, Case{"short edge", 3, 1, true}, Case{"manual", 5, 5, true},
                        Case{"private two-sided", 1, 5, true}, Case{"one-sided", 1, 1, false}}) {
    SCOPED_TRACE(c.what);
    StoredDevmode d = Current();
    d.pub.dmDuplex = c.dmDuplex;
    d.priv.Duplex = c.privateDuplex;
    d.priv.MultipleUp = 4;
    d.priv.PageOrder = 3;
    d.priv.PageBorder = 1;
    Open(d);
    ASSERT_TRUE(Choose(kPagesPerSheet, u"Poster"));
    const StoredDevmode& out = Applied();
    if (c.refused) {
      EXPECT_EQ(Messages(), std::vector<std::u16string>{kPosterConflict});
      EXPECT_EQ(Shown(kPagesPerSheet), u"1 Page per Sheet");
      EXPECT_EQ(out.priv.MultipleUp, 1);
    } else {
      EXPECT_TRUE(Messages().empty());
      EXPECT_EQ(Shown(kPagesPerSheet), u"Poster");
      EXPECT_EQ(out.priv.MultipleUp, 22);
    }
    EXPECT_EQ(out.priv.PageBorder, 0);
    EXPECT_EQ(out.priv.PageOrder, 0);
    EXPECT_EQ(Shown(kBorder), u"None");
    EXPECT_FALSE(Info(kOrder).enabled);
    EXPECT_FALSE(Info(kBorder).enabled);
    EXPECT_EQ(Info(kZoom).enabled, c.refused) << "only one page per sheet can be zoomed";
    ASSERT_TRUE(sheet_->Cancel());
  }
}

TEST_F(LayoutPageTest, ASelectedWatermarkRefusesPosterAndKeepsTheChoice) {
  StoredDevmode d = Current();
  d.priv.WatermarkData = devmode::BuiltInWatermark(1);
  d.priv.WatermarkData.WatermarkIndex = 1;  // the watermark page's list position
  d.priv.MultipleUp = 2;
  d.priv.PageOrder = 1;
  Open(d);
  ASSERT_TRUE(Choose(kPagesPerSheet, u"Poster"));
  EXPECT_EQ(Messages(), std::vector<std::u16string>{kPosterConflict});
  EXPECT_EQ(Shown(kPagesPerSheet), u"2 Pages per Sheet");
  EXPECT_FALSE(sheet_->ApplyEnabled());
  const StoredDevmode& out = Closed();
  EXPECT_EQ(out.priv.MultipleUp, 2);
  EXPECT_EQ(out.priv.PageOrder, 1);
}

TEST_F(LayoutPageTest, SeveralPagesPerSheetSetTheirOrderAndFixTheZoom) {
  Open(Current());
  EXPECT_FALSE(Info(kOrder).enabled);
  EXPECT_FALSE(Info(kZoomNote).visible);
  ASSERT_TRUE(Choose(kPagesPerSheet, u"8 Pages per Sheet"));
  EXPECT_TRUE(Messages().empty());
  EXPECT_FALSE(Info(kZoom).enabled);
  EXPECT_FALSE(Info(kZoomSpin).enabled);
  EXPECT_EQ(Info(kZoom).text, u"100");
  EXPECT_TRUE(Info(kZoomNote).visible);
  EXPECT_TRUE(Info(kOrder).enabled);
  EXPECT_TRUE(Info(kBorder).enabled);
  EXPECT_EQ(Info(kOrder).items,
            (std::vector<std::u16string>{u"Right, then Down", u"Down, then Right", u"Left, then Down", u"Down, then Left"}));
  EXPECT_EQ(Shown(kOrder), u"Right, then Down");
  {
    const StoredDevmode& out = Applied();
    EXPECT_EQ(out.priv.MultipleUp, 8);
    EXPECT_EQ(out.priv.PageOrder, 2);
  }
  ASSERT_TRUE(Choose(kOrder, u"Down, then Left"));
  ASSERT_TRUE(Choose(kBorder, u"Thin Line"));
  {
    const StoredDevmode& out = Applied();
    EXPECT_EQ(out.priv.PageOrder, 5);
    EXPECT_EQ(out.priv.PageBorder, 1);
  }
  // A new count starts from its first order; the border stays with several pages.
  ASSERT_TRUE(Choose(kPagesPerSheet, u"16 Pages per Sheet"));
  {
    const StoredDevmode& out = Applied();
    EXPECT_EQ(out.priv.MultipleUp, 16);
    EXPECT_EQ(out.priv.PageOrder, 2);
    EXPECT_EQ(out.priv.PageBorder, 1);
  }
  ASSERT_TRUE(Choose(kPagesPerSheet, u"1 Page per Sheet"));
  EXPECT_TRUE(Info(kZoom).enabled);
  EXPECT_FALSE(Info(kZoomNote).visible);
  EXPECT_FALSE(Info(kOrder).enabled);
  EXPECT_EQ(Shown(kBorder), u"None");
  const StoredDevmode& out = Applied();
  EXPECT_EQ(out.priv.MultipleUp, 1);
  EXPECT_EQ(out.priv.PageOrder, 0);
  EXPECT_EQ(out.priv.PageBorder, 0);
}

TEST_F(LayoutPageTest, ZoomIsClampedWhenTheBoxLosesTheFocus) {
  Open(Current());
  ASSERT_TRUE(platform::ui::Type(Control(kZoom), u"500"));
  MoveFocus();
  EXPECT_EQ(Info(kZoom).text, u"400");
  {
    const StoredDevmode& out = Applied();
    EXPECT_EQ(out.priv.zoomPercent, 400);
    EXPECT_EQ(out.pub.dmScale, 400);
  }
  ASSERT_TRUE(platform::ui::Type(Control(kZoom), u"10"));
  MoveFocus();
  EXPECT_EQ(Info(kZoom).text, u"25");
  EXPECT_EQ(Applied().priv.zoomPercent, 25);
  // A value inside the limits counts while it is typed, before the box is left.
  ASSERT_TRUE(platform::ui::Type(Control(kZoom), u"150"));
  EXPECT_TRUE(sheet_->ApplyEnabled());
  ASSERT_TRUE(platform::ui::Spin(Control(kZoomSpin), 1));
  EXPECT_EQ(Info(kZoom).text, u"151");
  EXPECT_EQ(Applied().priv.zoomPercent, 151);
  // With the zoom not at 100 the page refuses several pages per sheet until it is.
  ASSERT_TRUE(Choose(kPagesPerSheet, u"2 Pages per Sheet"));
  EXPECT_EQ(Messages(), std::vector<std::u16string>{kNupNeedsFullSize});
  ASSERT_TRUE(platform::ui::Type(Control(kZoom), u"100"));
  ASSERT_TRUE(Choose(kPagesPerSheet, u"2 Pages per Sheet"));
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(Applied().priv.MultipleUp, 2);
}

TEST_F(LayoutPageTest, AZoomStillBeingTypedCountsWhenTheUserApplies) {
  Open(Current());
  ASSERT_TRUE(platform::ui::Type(Control(kZoom), u"900"));
  const StoredDevmode& out = Applied();
  EXPECT_EQ(out.priv.zoomPercent, 400);
  EXPECT_EQ(Info(kZoom).text, u"400");
}

TEST_F(LayoutPageTest, NegativePrintingKeepsTheZoomBoxDisabled) {
  StoredDevmode d = Current();
  d.priv.Negative = 1;
  Open(d);
  EXPECT_FALSE(Info(kZoom).enabled);
  ASSERT_TRUE(platform::ui::Click(Control(kDefaults)));
  EXPECT_FALSE(Info(kZoom).enabled);
  EXPECT_FALSE(platform::ui::Type(Control(kZoom), u"50"));
}

TEST_F(LayoutPageTest, TonerSavingLightensAndLocksTheDensity) {
  StoredDevmode d = Current();
  d.priv.Thickness = 2;
  Open(d);
  ASSERT_TRUE(platform::ui::SetChecked(Control(kTonerSaving), true));
  EXPECT_FALSE(Info(kDensity).enabled);
  EXPECT_EQ(Shown(kDensity), u"Light");
  {
    const StoredDevmode& out = Applied();
    EXPECT_EQ(out.priv.TonerSavingMode, 1);
    EXPECT_EQ(out.priv.Thickness, 0);
  }
  ASSERT_TRUE(platform::ui::SetChecked(Control(kTonerSaving), false));
  EXPECT_TRUE(Info(kDensity).enabled);
  EXPECT_EQ(Shown(kDensity), u"Normal");
  {
    const StoredDevmode& out = Applied();
    EXPECT_EQ(out.priv.TonerSavingMode, 0);
    EXPECT_EQ(out.priv.Thickness, 1);
  }
  ASSERT_TRUE(Choose(kDensity, u"Dark"));
  ASSERT_TRUE(platform::ui::SetChecked(Control(kRotate180), true));
  const StoredDevmode& out = Applied();
  EXPECT_EQ(out.priv.Thickness, 2);
  EXPECT_EQ(out.priv.Rotate180, 1);
}

TEST_F(LayoutPageTest, OrientationWithTwoPagesPerSheetRestartsTheOrder) {
  StoredDevmode d = Current();
  d.priv.MultipleUp = 2;
  d.priv.PageOrder = 1;
  Open(d);
  EXPECT_EQ(Info(kOrder).items, (std::vector<std::u16string>{u"Left to Right", u"Right to Left"}));
  EXPECT_EQ(Shown(kOrder), u"Right to Left");
  ASSERT_TRUE(platform::ui::Click(Control(kLandscape)));
  EXPECT_EQ(Info(kOrder).items, (std::vector<std::u16string>{u"Top to Bottom", u"Bottom to Top"}));
  EXPECT_EQ(Shown(kOrder), u"Top to Bottom");
  {
    const StoredDevmode& out = Applied();
    EXPECT_EQ(out.pub.dmOrientation, DMORIENT_LANDSCAPE);
    EXPECT_EQ(out.priv.PageOrder, 0);
  }
  // With two pages the stored order is the entry's place in the list.
  ASSERT_TRUE(Choose(kOrder, u"Bottom to Top"));
  EXPECT_EQ(Applied().priv.PageOrder, 1);
  // Without two pages per sheet the order stays as it is.
  ASSERT_TRUE(Choose(kPagesPerSheet, u"4 Pages per Sheet"));
  ASSERT_TRUE(Choose(kOrder, u"Down, then Right"));
  ASSERT_TRUE(platform::ui::Click(Control(kPortrait)));
  const StoredDevmode& out = Applied();
  EXPECT_EQ(out.pub.dmOrientation, DMORIENT_PORTRAIT);
  EXPECT_EQ(out.priv.PageOrder, 3);
}

TEST_F(LayoutPageTest, DefaultsButtonRestoresEveryLayoutSetting) {
  StoredDevmode d = Current();
  d.pub.dmOrientation = DMORIENT_LANDSCAPE;
  d.priv.MultipleUp = 4;
  d.priv.PageOrder = 3;
  d.priv.PageBorder = 1;
  d.priv.Rotate180 = 1;
  d.priv.TonerSavingMode = 1;
  d.priv.Thickness = 0;
  d.pub.dmCopies = 3;  // not a layout setting
  Open(d);
  ASSERT_TRUE(platform::ui::Click(Control(kDefaults)));
  EXPECT_EQ(Shown(kPagesPerSheet), u"1 Page per Sheet");
  EXPECT_EQ(Shown(kBorder), u"None");
  EXPECT_EQ(Shown(kDensity), u"Normal");
  EXPECT_TRUE(Info(kDensity).enabled);
  EXPECT_FALSE(Info(kOrder).enabled);
  EXPECT_TRUE(Info(kZoom).enabled);
  EXPECT_EQ(Info(kZoom).text, u"100");
  EXPECT_EQ(Info(kPortrait).check, BST_CHECKED);
  EXPECT_EQ(Info(kTonerSaving).check, BST_UNCHECKED);
  EXPECT_EQ(Info(kRotate180).check, BST_UNCHECKED);
  const StoredDevmode& out = Applied();
  EXPECT_EQ(out.priv.MultipleUp, 1);
  EXPECT_EQ(out.priv.PageOrder, 0);
  EXPECT_EQ(out.priv.PageBorder, 0);
  EXPECT_EQ(out.pub.dmOrientation, DMORIENT_PORTRAIT);
  EXPECT_EQ(out.priv.zoomPercent, 100);
  EXPECT_EQ(out.priv.Rotate180, 0);
  EXPECT_EQ(out.priv.TonerSavingMode, 0);
  EXPECT_EQ(out.priv.Thickness, 1);
  EXPECT_EQ(out.pub.dmCopies, 3);
}

TEST_F(LayoutPageTest, ReadOnlyPreferencesCannotBeChanged) {
  Open(Current(), DM_NOPERMISSION);
  for (int id : {kPagesPerSheet, kOrder, kBorder, kPortrait, kLandscape, kZoom, kDensity, kTonerSaving, kRotate180,
                 kDefaults}) {
    EXPECT_FALSE(Info(id).enabled) << id;
  }
  EXPECT_FALSE(Choose(kPagesPerSheet, u"4 Pages per Sheet"));
}

TEST_F(LayoutPageTest, HelpForAControlOpensItsTopic) {
  Open(Current());
  platform::hooks::TakeHelpCalls();
  ASSERT_TRUE(platform::ui::Help(Control(kPagesPerSheet)));
  ASSERT_TRUE(platform::ui::Help(Control(kZoom)));
  ASSERT_TRUE(platform::ui::Help(Control(6401)));  // a label has no topic
  auto calls = platform::hooks::TakeHelpCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].command, HH_HELP_CONTEXT);
  EXPECT_NE(calls[0].data, calls[1].data);
  EXPECT_TRUE(calls[0].file.ends_with(u".chm"));
}

TEST_F(LayoutPageTest, PreviewFollowsEveryChange) {
  StoredDevmode d = Current();
  d.priv.MultipleUp = 4;
  Open(d);
  HMODULE module = ui::SheetLanguageModule();
  ASSERT_NE(module, nullptr);
  auto picture = [&] {
    auto p = platform::ui::LastPicture(Control(kPreview));
    EXPECT_TRUE(p.has_value());
    return p.value_or(platform::ui::Picture{});
  };
  const platform::ui::Picture first = picture();
  ASSERT_GT(first.width, 0);
  ui::preview::LayoutInputs in;
  in.pagesPerSheet = 4;
  EXPECT_EQ(first.pixels, PaintedPreview(module, first.width, first.height, in));

  ASSERT_TRUE(Choose(kDensity, u"Dark"));
  in.density = 2;
  const platform::ui::Picture dark = picture();
  EXPECT_NE(dark.pixels, first.pixels);
  EXPECT_EQ(dark.pixels, PaintedPreview(module, first.width, first.height, in));

  ASSERT_TRUE(platform::ui::SetChecked(Control(kRotate180), true));
  in.rotate180 = true;
  EXPECT_EQ(picture().pixels, PaintedPreview(module, first.width, first.height, in));

  ASSERT_TRUE(platform::ui::Click(Control(kLandscape)));
  in.landscape = true;
  EXPECT_EQ(picture().pixels, PaintedPreview(module, first.width, first.height, in));

  ASSERT_TRUE(Choose(kPagesPerSheet, u"1 Page per Sheet"));
  ASSERT_TRUE(platform::ui::Type(Control(kZoom), u"60"));
  in.pagesPerSheet = 1;
  in.zoom = 60;
  const platform::ui::Picture zoomed = picture();
  EXPECT_EQ(zoomed.pixels, PaintedPreview(module, first.width, first.height, in));
  EXPECT_EQ(zoomed.pixels[0], 0u) << "a zoomed page has its outline";
}

}  // namespace
