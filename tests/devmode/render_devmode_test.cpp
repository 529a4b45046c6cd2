#include <gtest/gtest.h>

#include "devmode_fixtures.h"
#include "platform/test_hooks.h"
#include "platform/utf16.h"
#include "support/traces.h"

namespace devmode {
namespace {

using testing::DefaultStored;
using testing::Rendered;
namespace hooks = platform::hooks;

TEST(RenderDefaults, PaperFollowsCountry) {
  RenderSettings r{};
  hooks::SetCountryCode(49);
  ASSERT_EQ(Devmod2_InitDevMode(&r, u"R7700"), 1);
  EXPECT_EQ(r.pub.dmPaperSize, 9);
  EXPECT_EQ(r.pub.dmPaperWidth, 2100);
  EXPECT_EQ(r.pub.dmPaperLength, 2970);
  EXPECT_EQ(platform::WideField(r.pub.dmFormName, 32), u"A4");
  for (int letter : {1, 2, 50, 52, 59, 500, 599}) {
    hooks::SetCountryCode(letter);
    Devmod2_InitDevMode(&r, u"R7700");
    EXPECT_EQ(r.pub.dmPaperSize, 1) << letter;
    EXPECT_EQ(r.pub.dmPaperWidth, 2159);
    EXPECT_EQ(r.pub.dmPaperLength, 2794);
  }
  for (int metric : {3, 49, 60, 499, 600, 86}) {
    hooks::SetCountryCode(metric);
    Devmod2_InitDevMode(&r, u"R7700");
    EXPECT_EQ(r.pub.dmPaperSize, 9) << metric;
  }
  hooks::SetCountryCode(std::nullopt);
  Devmod2_InitDevMode(&r, u"R7700");
  EXPECT_EQ(r.pub.dmPaperSize, 1);
}

TEST(RenderDefaults, FieldsAndPrivateBlock) {
  RenderSettings r{};
  hooks::SetCountryCode(49);
  ASSERT_EQ(Devmod2_InitDevMode(&r, u"A device name that is much longer than thirty-one"), 1);
  EXPECT_EQ(platform::WideField(r.pub.dmDeviceName, 32).size(), 31u);
  EXPECT_EQ(r.pub.dmSpecVersion, 0x401);
  EXPECT_EQ(r.pub.dmDriverVersion, 0x500);
  EXPECT_EQ(r.pub.dmDriverExtra, 8864);
  EXPECT_EQ(r.pub.dmFields, 0x380AF13u);
  EXPECT_EQ(r.pub.dmICMMethod, 1u);
  EXPECT_EQ(r.pub.dmICMIntent, 2u);
  EXPECT_EQ(r.pub.dmMediaType, 0u);
  EXPECT_EQ(r.priv.PagesPerSheet, 1);
  EXPECT_EQ(r.priv.LayoutMode, 4);
  EXPECT_EQ(r.priv.ScaleMode, 1);
  EXPECT_EQ(r.priv.ScalePercent, 100);
  EXPECT_EQ(r.priv.AutoDuplexUnit, 1);
  EXPECT_EQ(r.priv.paperSize, 9);
  EXPECT_EQ(r.priv.specialPages[4].kind, 3);
  EXPECT_EQ(platform::WideField(r.priv.textSlots[7], 260), u"Not Available");
  EXPECT_EQ(platform::WideField(r.priv.decoration.name, 32), u"<None>");
  EXPECT_EQ(r.priv.decoration.angle, 45);
  EXPECT_EQ(r.priv.trailer, kPrivSignature);
  EXPECT_TRUE(RenderSettingsValid(r));
}

TEST(RenderDefaults, NullRecordsAreTraced) {
  testsupport::TraceCapture traces;
  EXPECT_EQ(Devmod2_InitDevMode(nullptr, u"x"), 0);
  EXPECT_EQ(CheckDevmodeVersion(nullptr), 0);
  auto lines = traces.Take();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "Devmod2_InitDevMode get NULL pointer!\n");
  EXPECT_EQ(lines[1], "CheckDevmodeVersion get NULL pointer!\n");
}

TEST(CheckDevmodeVersion, FromPublicSize) {
  DEVMODEW d{};
  d.dmSpecVersion = 0x123;
  for (auto [size, version] : {std::pair{188, 0x320}, {212, 0x400}, {220, 0x401}, {100, 0x123}}) {
    d.dmSize = static_cast<WORD>(size);
    EXPECT_EQ(CheckDevmodeVersion(&d), version) << size;
  }
}

TEST(Import, FailsOnlyWithoutDevmode) {
  RenderSettings scratch{};
  EXPECT_EQ(ImportStoredDevmode(nullptr, &scratch), 0);
  StoredDevmode s = DefaultStored();
  EXPECT_EQ(ImportStoredDevmode(&s.pub, &scratch), 1);
  EXPECT_EQ(scratch.pub.dmDriverVersion, 0x500);
  EXPECT_EQ(scratch.pub.dmDriverExtra, 8864);
  EXPECT_EQ(scratch.priv.trailer, kPrivSignature);
}

TEST(ImportAndMerge, DefaultStoredDevmodeRendersValid) {
  hooks::SetCountryCode(49);
  int ok = 0;
  RenderSettings r = Rendered(DefaultStored(), &ok);
  ASSERT_EQ(ok, 1);
  EXPECT_TRUE(RenderSettingsValid(r));
  EXPECT_EQ(r.pub.dmPaperSize, 9);
  EXPECT_EQ(r.pub.dmMediaType, 1u);
  EXPECT_EQ(r.priv.DensityLevel, 2);
  EXPECT_EQ(r.priv.ScaleMode, 0);
  EXPECT_EQ(r.priv.feedShortEdge, 1);
  EXPECT_EQ(platform::WideField(r.priv.labelText, 256), u"Default Settings");
  EXPECT_EQ(platform::WideField(r.pub.dmDeviceName, 32), u"R7700 Test");
}

TEST(ImportAndMerge, Layout) {
  StoredDevmode s = DefaultStored();
  s.priv.MultipleUp = 22;
  s.priv.PageOrder = 2;
  RenderSettings r = Rendered(s);
  EXPECT_EQ(r.priv.LayoutMode, 0);
  EXPECT_EQ(r.priv.PagesPerSheet, 1);
  EXPECT_EQ(r.priv.NupOrder, 2);

  // The stored order is shifted per grid: +1 for 2 pages, -2 for 4, 8 and 16.
  struct Case {
    int up, order, expectPages, expectOrder;
  } cases[] = {{2, 0, 2, 1}, {2, 2, 2, 3}, {2, 3, 1, 0} /* order 4 fails the check */,
               {4, 2, 4, 0}, {4, 5, 4, 3},  {4, 1, 1, 0} /* 255 fails */, {6, 3, 6, 3}, {16, 4, 16, 2},
               {5, 0, 1, 0} /* not a grid */};
  for (const auto& c : cases) {
    s.priv.MultipleUp = static_cast<uint16_t>(c.up);
    s.priv.PageOrder = static_cast<uint16_t>(c.order);
    r = Rendered(s);
    EXPECT_EQ(r.priv.PagesPerSheet, c.expectPages) << c.up << "/" << c.order;
    EXPECT_EQ(r.priv.NupOrder, c.expectOrder) << c.up << "/" << c.order;
    EXPECT_EQ(r.priv.LayoutMode, 4);
  }
  s.priv.MultipleUp = 4;
  s.priv.PageOrder = 2;
  s.priv.PageBorder = 1;
  EXPECT_EQ(Rendered(s).priv.NupBorder, 1);
  s.priv.PageBorder = 2;  // a bad border drops the whole group
  EXPECT_EQ(Rendered(s).priv.PagesPerSheet, 1);
}

TEST(ImportAndMerge, TwoSidedOnlyOnItsPapers) {
  StoredDevmode s = DefaultStored();
  s.pub.dmPaperSize = 9;
  s.pub.dmDuplex = 3;
  RenderSettings r = Rendered(s);
  EXPECT_EQ(r.priv.TwoSided, 1);
  EXPECT_EQ(r.priv.FlipShortEdge, 1);
  s.pub.dmDuplex = 2;
  r = Rendered(s);
  EXPECT_EQ(r.priv.TwoSided, 1);
  EXPECT_EQ(r.priv.FlipShortEdge, 0);
  s.pub.dmPaperSize = 11;  // A5
  s.pub.dmDuplex = 3;
  r = Rendered(s);
  EXPECT_EQ(r.priv.TwoSided, 0);
  EXPECT_EQ(r.priv.FlipShortEdge, 0);
  s.pub.dmPaperSize = 1;
  s.pub.dmDuplex = 5;
  EXPECT_EQ(Rendered(s).priv.TwoSided, 0);
}

TEST(ImportAndMerge, PrintQualityAndRenderModel) {
  StoredDevmode s = DefaultStored();
  s.pub.dmPrintQuality = 1200;
  s.pub.dmYResolution = 1200;
  RenderSettings r = Rendered(s);
  EXPECT_EQ(r.pub.dmPrintQuality, 600);
  EXPECT_EQ(r.pub.dmYResolution, 600);
  EXPECT_EQ(r.priv.RenderModel, 2);
  s.pub.dmPrintQuality = 300;
  s.pub.dmYResolution = 300;
  r = Rendered(s);
  EXPECT_EQ(r.pub.dmPrintQuality, 600);
  EXPECT_EQ(r.pub.dmYResolution, 600);
  EXPECT_EQ(r.priv.RenderModel, 1);
}

TEST(ImportAndMerge, PublicRangesAndSubstitutes) {
  testsupport::TraceCapture traces;
  StoredDevmode s = DefaultStored();
  s.pub.dmCopies = 1000;
  s.pub.dmScale = 5;
  s.pub.dmMediaType = 3;
  s.pub.dmOrientation = 7;
  s.pub.dmCollate = 4;
  s.pub.dmColor = 9;
  RenderSettings r = Rendered(s);
  EXPECT_EQ(r.pub.dmCopies, 1);
  EXPECT_EQ(r.pub.dmScale, 100);
  EXPECT_EQ(r.pub.dmMediaType, 1u);
  EXPECT_EQ(r.pub.dmOrientation, 1);
  EXPECT_EQ(r.pub.dmCollate, 0);
  EXPECT_EQ(r.pub.dmColor, 1);
  auto lines = traces.Take();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("File:render_devmode.cpp\nLine:", 0), 0u);

  s = DefaultStored();
  s.pub.dmCopies = 999;
  s.pub.dmScale = 400;
  s.pub.dmMediaType = 264;
  s.pub.dmOrientation = 2;
  s.pub.dmCollate = 1;
  s.pub.dmDefaultSource = 258;
  r = Rendered(s);
  EXPECT_EQ(r.pub.dmCopies, 999);
  EXPECT_EQ(r.pub.dmScale, 400);
  EXPECT_EQ(r.pub.dmMediaType, 264u);
  EXPECT_EQ(r.pub.dmOrientation, 2);
  EXPECT_EQ(r.pub.dmCollate, 1);
  EXPECT_EQ(r.pub.dmDefaultSource, 258);
  EXPECT_EQ(r.priv.TrayIndex, 4);
}

TEST(ImportAndMerge, FieldsWithoutTheirBitKeepDefaults) {
  StoredDevmode s = DefaultStored();
  s.pub.dmFields &= ~(DM_COPIES | DM_ORIENTATION);
  s.pub.dmCopies = 7;
  s.pub.dmOrientation = 2;
  s.pub.dmTTOption = 3;  // never merged: not among the render settings' fields
  RenderSettings r = Rendered(s);
  EXPECT_EQ(r.pub.dmCopies, 1);
  EXPECT_EQ(r.pub.dmOrientation, 1);
  EXPECT_EQ(r.pub.dmTTOption, 1);
}

TEST(ImportAndMerge, ZoomOutsideRangeStaysAtHundred) {
  StoredDevmode s = DefaultStored();
  s.priv.zoomPercent = 20;
  RenderSettings r = Rendered(s);
  EXPECT_EQ(r.priv.ScalePercent, 100);
  EXPECT_EQ(r.priv.ScaleMode, 1);
  s.priv.zoomPercent = 50;
  r = Rendered(s);
  EXPECT_EQ(r.priv.ScalePercent, 50);
  EXPECT_EQ(r.priv.ScaleMode, 1);
}

TEST(ImportAndMerge, PaperNotInTableFollowsLocale) {
  StoredDevmode s = DefaultStored();
  s.pub.dmPaperSize = 200;
  hooks::SetCountryCode(49);
  RenderSettings r = Rendered(s);
  EXPECT_EQ(r.pub.dmPaperSize, 9);
  EXPECT_EQ(r.pub.dmPaperWidth, 2100);
  EXPECT_EQ(r.pub.dmPaperLength, 2970);
  hooks::SetCountryCode(52);
  r = Rendered(s);
  EXPECT_EQ(r.pub.dmPaperSize, 1);
  EXPECT_EQ(r.pub.dmPaperWidth, 2159);

  s.pub.dmPaperSize = 300;  // custom sizes keep their width and length
  s.pub.dmPaperWidth = 1000;
  s.pub.dmPaperLength = 2000;
  r = Rendered(s);
  EXPECT_EQ(r.pub.dmPaperSize, 300);
  EXPECT_EQ(r.pub.dmPaperWidth, 1000);
  EXPECT_EQ(r.priv.paperLength, 2000);
  s.pub.dmPaperWidth = 0;  // a custom size without a size is not usable
  EXPECT_EQ(Rendered(s).pub.dmPaperSize, 1);
}

TEST(ImportAndMerge, DensityRotationFeedAndFlags) {
  StoredDevmode s = DefaultStored();
  s.priv.Thickness = 2;
  s.priv.Rotate180 = 1;
  s.priv.FeedOrient = 2;
  s.priv.reverseOrder = 1;
  s.priv.interfaceFlagA = 1;
  s.priv.interfaceFlagB = 0;
  RenderSettings r = Rendered(s);
  EXPECT_EQ(r.priv.DensityLevel, 4);
  EXPECT_EQ(r.priv.Rotate180, 1);
  EXPECT_EQ(r.priv.feedShortEdge, 0);
  EXPECT_EQ(r.priv.ReverseOrder, 1);
  EXPECT_EQ(r.priv.interfaceFlagA, 1);
  EXPECT_EQ(r.priv.interfaceFlagB, 0);
  s.priv.Thickness = 0;
  EXPECT_EQ(Rendered(s).priv.DensityLevel, 0);
}

TEST(ImportAndMerge, DecorationBlockFromWatermark) {
  StoredDevmode s = DefaultStored();
  WatermarkRecord& w = s.priv.WatermarkData;
  w.WatermarkIndex = 2;
  w.WatermarkKind = 1;
  platform::CopyWideField(w.Name, 33, u"Draft");
  platform::CopyWideField(w.Text, 65, u"DRAFT");
  platform::CopyWideField(w.ImagePath, 260, u"/tmp/stale.bmp");
  w.Size = 80;
  w.Scale = 300;
  w.Angle = -30;
  w.Position = 10;
  w.Bold = 1;
  w.Frame = 2;
  w.Repeat = 1;
  w.HorizontalPosition = -5;
  w.VerticalPosition = 70;
  w.GreyLevel = 5;
  s.priv.FirstPageOnly = 1;
  RenderSettings r = Rendered(s);
  const DecorationBlock& d = r.priv.decoration;
  EXPECT_EQ(d.WatermarkIndex, 2);
  EXPECT_EQ(platform::WideField(d.name, 32), u"Draft");
  EXPECT_EQ(platform::WideField(d.text, 65), u"DRAFT");
  EXPECT_EQ(d.size, 80);
  EXPECT_EQ(d.angle, -30);
  EXPECT_EQ(d.position, 10);
  EXPECT_EQ(d.imageFlag, 0);
  EXPECT_EQ(d.firstPageOnly, 1);
  EXPECT_EQ(d.bold, 1);
  EXPECT_EQ(d.OverlayTransparent, 1);
  EXPECT_EQ(d.frame, 2);
  EXPECT_EQ(d.repeat, 1u);
  EXPECT_EQ(d.horizontal, -5);
  EXPECT_EQ(d.vertical, 70);
  EXPECT_EQ(d.grey, 0x7C7C7Cu);
  // The record's bitmap never becomes a print file to splice.
  EXPECT_EQ(platform::WideField(d.portraitMonoFile, 260), u"");
  const uint32_t greys[] = {0xC6C6C6, 0xA1A1A1, 0x7C7C7C, 0x575757, 0x323232, 0x7C7C7C};
  for (unsigned level = 0; level < 6; ++level) EXPECT_EQ(DecorationGrey(level), greys[level]);
  // The overlay block is never filled by the import.
  EXPECT_EQ(r.priv.overlay.mode, 0);
}

TEST(ImportAndMerge, ImageWatermarkCarriesItsPathAndScaleForTheRenderer) {
  StoredDevmode s = DefaultStored();
  WatermarkRecord& w = s.priv.WatermarkData;
  w.WatermarkIndex = 4;
  w.WatermarkKind = 2;
  platform::CopyWideField(w.Text, 65, u"ignored");
  // A path longer than the text field: it must survive whole, up to its 259 characters.
  std::u16string path = u"/images/";
  while (path.size() < 259) path += u'x';
  for (size_t i = 0; i < 260; ++i) w.ImagePath[i] = i < path.size() ? path[i] : u'Z';  // no NUL of its own
  w.Size = 72;
  w.Scale = 250;
  RenderSettings r = Rendered(s);
  const DecorationBlock& d = r.priv.decoration;
  EXPECT_EQ(d.imageFlag, 1);
  EXPECT_EQ(platform::WideField(d.imagePath, 261), path);
  EXPECT_EQ(d.size, 250);
  EXPECT_EQ(platform::WideField(d.portraitMonoFile, 260), u"");
  EXPECT_EQ(platform::WideField(d.typeface, 32), u"Arial");
  EXPECT_TRUE(RenderSettingsValid(r));
}

TEST(ImportAndMerge, UnterminatedStringsAreCutAtTheirFields) {
  StoredDevmode s = DefaultStored();
  for (auto& c : s.priv.WatermarkData.Text) c = u'T';
  for (auto& c : s.priv.WatermarkData.Typeface) c = u'F';
  for (auto& c : s.priv.FavoriteName) c = u'N';
  for (auto& c : s.pub.dmDeviceName) c = u'D';
  int ok = 0;
  RenderSettings r = Rendered(s, &ok);
  ASSERT_EQ(ok, 1);
  EXPECT_EQ(platform::WideField(r.priv.decoration.text, 65).size(), 64u);
  EXPECT_EQ(platform::WideField(r.priv.decoration.typeface, 32).size(), 31u);
  EXPECT_EQ(platform::WideField(r.priv.labelText, 256), u"");  // an unterminated label is not taken
  EXPECT_EQ(platform::WideField(r.pub.dmDeviceName, 32), u"R7700 Test");  // the device's own name
  EXPECT_TRUE(RenderSettingsValid(r));
}

TEST(ImportAndMerge, EmptyDeviceNameFailsTheMerge) {
  StoredDevmode s = DefaultStored(u"");
  int ok = 1;
  Rendered(s, &ok);
  EXPECT_EQ(ok, 0);
}

TEST(ImportAndMerge, NullScratchChangesNothing) {
  RenderSettings r{};
  Devmod2_InitDevMode(&r, u"R7700");
  RenderSettings before = r;
  EXPECT_EQ(Devmod2_MergeFieldsHigh(&r, nullptr), 1);
  EXPECT_EQ(std::memcmp(&r, &before, sizeof r), 0);
}

TEST(ImportAndMerge, ShortPublicPartContributesOnlyWhatItHolds) {
  StoredDevmode s = DefaultStored();
  s.pub.dmMediaType = 263;  // beyond 188 bytes
  s.pub.dmCopies = 3;       // within
  s.pub.dmSize = 188;
  s.pub.dmDriverExtra = 0;
  RenderSettings r = Rendered(s);
  EXPECT_EQ(r.pub.dmCopies, 3);
  EXPECT_EQ(r.pub.dmMediaType, 0u);  // the default: the field is not held
  EXPECT_TRUE(RenderSettingsValid(r));
}

TEST(ImportAndMerge, ForeignPrivateBlockUsesStoredDefaults) {
  StoredDevmode s = DefaultStored();
  s.priv.signature = 0x12345678;
  s.priv.MultipleUp = 4;
  s.priv.Thickness = 2;
  RenderSettings r = Rendered(s);
  EXPECT_EQ(r.priv.PagesPerSheet, 1);
  EXPECT_EQ(r.priv.DensityLevel, 2);
  EXPECT_EQ(r.priv.ScalePercent, 100);
  EXPECT_TRUE(RenderSettingsValid(r));
}

}  // namespace
}  // namespace devmode
