#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "devmode/builtin_watermarks.h"
#include "devmode_fixtures.h"
#include "platform/test_hooks.h"
#include "platform/utf16.h"

namespace devmode {
namespace {

using testing::DefaultStored;
namespace hooks = platform::hooks;

const CallerMergeContext kContext{u"Default Settings", nullptr};

TEST(StoredDefaults, PublicAndPrivate) {
  hooks::SetCountryCode(49);
  StoredDevmode s = DefaultStored();
  EXPECT_EQ(s.pub.dmSpecVersion, 0x401);
  EXPECT_EQ(s.pub.dmDriverVersion, 0x600);
  EXPECT_EQ(s.pub.dmSize, 220);
  EXPECT_EQ(s.pub.dmDriverExtra, 4856);
  EXPECT_EQ(s.pub.dmFields, 0x200BF1Fu);
  EXPECT_EQ(s.pub.dmPaperSize, 9);
  EXPECT_EQ(s.pub.dmMediaType, 1u);
  EXPECT_EQ(s.priv.signature, kPrivSignature);
  EXPECT_EQ(s.priv.FavoriteIndex, 26);
  EXPECT_EQ(s.priv.GammaCorrection, 3);
  EXPECT_EQ(s.priv.zoomPercent, 100);
  EXPECT_EQ(platform::WideField(s.priv.WatermarkData.Name, 33), u"[No Watermark]");
  EXPECT_EQ(platform::WideField(s.priv.CustomPaperSize[19].name, 26), u"Custom 20");
  EXPECT_EQ(s.priv.CustomPaperSize[0].width, 4960);
  EXPECT_EQ(s.priv.CustomPaperSize[0].height, 7015);
  StoredPrivate copy = s.priv;
  EXPECT_EQ(ValidatePrivateBlock(&copy, u"Default Settings"), 0);  // the defaults are valid
  hooks::SetCountryCode(1);
  s = DefaultStored();
  EXPECT_EQ(s.pub.dmPaperSize, 1);
  EXPECT_EQ(s.pub.dmPaperWidth, 2159);
}

TEST(CallerMerge, RefusedRecordsLeaveTheWorkingDevmodeUnchanged) {
  StoredDevmode w = DefaultStored();
  const StoredDevmode before = w;
  StoredDevmode a = DefaultStored();
  a.pub.dmCopies = 5;
  StoredDevmode cases[4] = {a, a, a, a};
  cases[0].pub.dmDeviceName[0] = 0;
  cases[1].pub.dmSize = 212;
  cases[2].pub.dmFields = 0;
  cases[3].pub.dmSize = 220;
  cases[3].pub.dmSpecVersion = 0;  // dmSize 220 still gives 0x401: accepted
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(MergeCallerDevmode(&w, &cases[i].pub, kContext)) << i;
    EXPECT_EQ(std::memcmp(&w, &before, sizeof w), 0) << i;
  }
  EXPECT_TRUE(MergeCallerDevmode(&w, &cases[3].pub, kContext));
  EXPECT_FALSE(MergeCallerDevmode(&w, nullptr, kContext));
}

TEST(CallerMerge, PublicFieldRules) {
  StoredDevmode w = DefaultStored();
  StoredDevmode a = DefaultStored();
  a.pub.dmOrientation = 3;
  a.pub.dmCopies = 1000;
  a.pub.dmPrintQuality = 1200;
  a.pub.dmYResolution = 1200;
  a.pub.dmDuplex = 4;
  a.pub.dmMediaType = 0;
  a.pub.dmDefaultSource = 0;
  a.pub.dmScale = 77;
  a.pub.dmCollate = 2;
  a.pub.dmColor = 2;
  ASSERT_TRUE(MergeCallerDevmode(&w, &a.pub, kContext));
  EXPECT_EQ(w.pub.dmOrientation, 1);
  EXPECT_EQ(w.pub.dmCopies, 1);
  EXPECT_EQ(w.pub.dmPrintQuality, 1200);  // copied as it stands
  EXPECT_EQ(w.pub.dmYResolution, 600);
  EXPECT_EQ(w.pub.dmDuplex, 1);
  EXPECT_EQ(w.pub.dmMediaType, 1u);
  EXPECT_EQ(w.pub.dmDefaultSource, 7);
  EXPECT_EQ(w.pub.dmScale, 77);
  EXPECT_EQ(w.pub.dmCollate, 0);
  EXPECT_EQ(w.pub.dmColor, 1);  // always monochrome

  a.pub.dmOrientation = 2;
  a.pub.dmCopies = 12;
  a.pub.dmDuplex = 5;
  a.priv.Duplex = 4;
  a.pub.dmMediaType = 263;
  a.pub.dmDefaultSource = 258;
  a.pub.dmCollate = 1;
  ASSERT_TRUE(MergeCallerDevmode(&w, &a.pub, kContext));
  EXPECT_EQ(w.pub.dmOrientation, 2);
  EXPECT_EQ(w.pub.dmCopies, 12);
  EXPECT_EQ(w.pub.dmDuplex, 5);
  EXPECT_EQ(w.priv.Duplex, 4);
  EXPECT_EQ(w.pub.dmMediaType, 263u);
  EXPECT_EQ(w.pub.dmDefaultSource, 258);
  EXPECT_EQ(w.pub.dmCollate, 1);
}

TEST(CallerMerge, PaperTakenOrReplacedByLocaleDefault) {
  hooks::SetCountryCode(49);
  StoredDevmode w = DefaultStored();
  StoredDevmode a = DefaultStored();
  a.pub.dmPaperSize = 37;
  a.pub.dmPaperWidth = 1;
  ASSERT_TRUE(MergeCallerDevmode(&w, &a.pub, kContext));
  EXPECT_EQ(w.pub.dmPaperSize, 37);
  EXPECT_EQ(w.pub.dmPaperWidth, 984);    // 2324 px
  EXPECT_EQ(w.pub.dmPaperLength, 1899);  // 4486 px
  a.pub.dmPaperSize = 200;
  ASSERT_TRUE(MergeCallerDevmode(&w, &a.pub, kContext));
  EXPECT_EQ(w.pub.dmPaperSize, 9);
  EXPECT_EQ(w.pub.dmPaperWidth, 2100);
  EXPECT_EQ(w.pub.dmPaperLength, 2970);
  hooks::SetCountryCode(52);
  a.pub.dmPaperSize = 320;  // past the custom ids the merge accepts
  ASSERT_TRUE(MergeCallerDevmode(&w, &a.pub, kContext));
  EXPECT_EQ(w.pub.dmPaperSize, 1);
  EXPECT_EQ(w.pub.dmPaperLength, 2794);
}

TEST(CallerMerge, CustomPaperFromTheStoreOnlyWithThePrivateBlock) {
  int asked = 0;
  CallerMergeContext context{u"Default Settings", [&](int id, CustomPaperRecord* out) {
                               ++asked;
                               if (id != 290) return false;
                               out->width = 3000;
                               out->height = 6000;
                               return true;
                             }};
  StoredDevmode w = DefaultStored();
  StoredDevmode a = DefaultStored();
  a.pub.dmPaperSize = 290;
  ASSERT_TRUE(MergeCallerDevmode(&w, &a.pub, context));
  EXPECT_EQ(w.pub.dmPaperSize, 290);
  EXPECT_EQ(w.pub.dmPaperWidth, 1270);
  EXPECT_EQ(w.pub.dmPaperLength, 2540);
  a.pub.dmPaperSize = 291;  // not in the store: the default custom size
  ASSERT_TRUE(MergeCallerDevmode(&w, &a.pub, context));
  EXPECT_EQ(w.pub.dmPaperWidth, 2100);
  EXPECT_EQ(w.pub.dmPaperLength, 2970);
  EXPECT_EQ(asked, 2);
  a.pub.dmPaperSize = 290;
  a.pub.dmDriverExtra = 0;  // public part only: the store is not asked
  ASSERT_TRUE(MergeCallerDevmode(&w, &a.pub, context));
  EXPECT_EQ(w.pub.dmPaperWidth, 2100);
  EXPECT_EQ(asked, 2);
  PageGeometry g{};
  ASSERT_TRUE(LookupPaperSize(300, false, nullptr, &g));
  EXPECT_EQ(g, (PageGeometry{4960, 7015, 95, 95, 95, 95}));
  EXPECT_FALSE(LookupPaperSize(200, false, nullptr, &g));
}

TEST(CallerMerge, PrivateBlockCopiedOnlyWhenItIsOurs) {
  StoredDevmode w = DefaultStored();
  StoredDevmode a = DefaultStored();
  a.priv.MultipleUp = 4;
  StoredDevmode foreign = a;
  foreign.pub.dmDriverVersion = 0x500;
  ASSERT_TRUE(MergeCallerDevmode(&w, &foreign.pub, kContext));
  EXPECT_EQ(w.priv.MultipleUp, 1);
  foreign = a;
  foreign.priv.signature = 0;
  ASSERT_TRUE(MergeCallerDevmode(&w, &foreign.pub, kContext));
  EXPECT_EQ(w.priv.MultipleUp, 1);
  ASSERT_TRUE(MergeCallerDevmode(&w, &a.pub, kContext));
  EXPECT_EQ(w.priv.MultipleUp, 4);
}

// Each row: a field set out of range and the substitute validation puts back.
TEST(PrivateValidation, RangesAndSubstitutes) {
  struct Row {
    const char* name;
    void (*spoil)(StoredPrivate&);
    bool (*check)(const StoredPrivate&);
  };
  const Row rows[] = {
      {"ColorMode", [](StoredPrivate& p) { p.ColorMode = 2; }, [](const StoredPrivate& p) { return p.ColorMode == 1; }},
      {"Duplex", [](StoredPrivate& p) { p.Duplex = 6; }, [](const StoredPrivate& p) { return p.Duplex == 1; }},
      {"DuplexIndex", [](StoredPrivate& p) { p.DuplexIndex = 3; }, [](const StoredPrivate& p) { return p.DuplexIndex == 0; }},
      {"OutputSize", [](StoredPrivate& p) { p.OutputSize = -1; }, [](const StoredPrivate& p) { return p.OutputSize == 0; }},
      {"ScaleRadio", [](StoredPrivate& p) { p.ScaleRadio = 24; }, [](const StoredPrivate& p) { return p.ScaleRadio == 100; }},
      {"MultipleUp", [](StoredPrivate& p) { p.MultipleUp = 24; }, [](const StoredPrivate& p) { return p.MultipleUp == 1; }},
      {"PageOrder", [](StoredPrivate& p) { p.PageOrder = 6; }, [](const StoredPrivate& p) { return p.PageOrder == 0; }},
      {"FeedOrient", [](StoredPrivate& p) { p.FeedOrient = 0; }, [](const StoredPrivate& p) { return p.FeedOrient == 1; }},
      {"MarginsAutoFit", [](StoredPrivate& p) { p.MarginsAutoFit = 2; }, [](const StoredPrivate& p) { return p.MarginsAutoFit == 1; }},
      {"Side2", [](StoredPrivate& p) { p.Side2 = 1182; }, [](const StoredPrivate& p) { return p.Side2 == 0; }},
      {"LeftRight", [](StoredPrivate& p) { p.LeftRight = -1182; }, [](const StoredPrivate& p) { return p.LeftRight == 0; }},
      {"ImageType", [](StoredPrivate& p) { p.ImageType[1] = 4; }, [](const StoredPrivate& p) { return p.ImageType[1] == 0; }},
      {"Brightness", [](StoredPrivate& p) { p.Brightness[3] = 101; }, [](const StoredPrivate& p) { return p.Brightness[3] == 0; }},
      {"Shadows", [](StoredPrivate& p) { p.Shadows[0] = -4; }, [](const StoredPrivate& p) { return p.Shadows[0] == 0; }},
      {"ColorTemperature", [](StoredPrivate& p) { p.ColorTemperature = 3; }, [](const StoredPrivate& p) { return p.ColorTemperature == 1; }},
      {"GammaCorrection", [](StoredPrivate& p) { p.GammaCorrection = 5; }, [](const StoredPrivate& p) { return p.GammaCorrection == 3; }},
      {"Thickness", [](StoredPrivate& p) { p.Thickness = 3; }, [](const StoredPrivate& p) { return p.Thickness == 1; }},
      {"FirstPageOnly", [](StoredPrivate& p) { p.FirstPageOnly = 2; }, [](const StoredPrivate& p) { return p.FirstPageOnly == 0; }},
      {"flag B", [](StoredPrivate& p) { p.interfaceFlagB = 2; }, [](const StoredPrivate& p) { return p.interfaceFlagB == 1; }},
      {"HeaderFontSize", [](StoredPrivate& p) { p.HeaderFontSize = 25; }, [](const StoredPrivate& p) { return p.HeaderFontSize == 9; }},
      {"HeaderBold", [](StoredPrivate& p) { p.HeaderBold = 2; }, [](const StoredPrivate& p) { return p.HeaderBold == 1; }},
      {"HeaderColor", [](StoredPrivate& p) { p.HeaderColor = 0x1000000; }, [](const StoredPrivate& p) { return p.HeaderColor == 0; }},
      {"PrintItems", [](StoredPrivate& p) { p.PrintItems[5].position = 6; }, [](const StoredPrivate& p) { return p.PrintItems[5].position == 0; }},
      {"CustomPaper width", [](StoredPrivate& p) { p.CustomPaperSize[3].width = 1799; }, [](const StoredPrivate& p) { return p.CustomPaperSize[3].width == 4960; }},
      {"CustomPaper height", [](StoredPrivate& p) { p.CustomPaperSize[3].height = 8401; }, [](const StoredPrivate& p) { return p.CustomPaperSize[3].height == 7015; }},
      {"Watermark size", [](StoredPrivate& p) { p.WatermarkData.Size = 5; }, [](const StoredPrivate& p) { return p.WatermarkData.Size == 72; }},
      {"Watermark angle", [](StoredPrivate& p) { p.WatermarkData.Angle = 91; }, [](const StoredPrivate& p) { return p.WatermarkData.Angle == 0; }},
      {"Watermark position", [](StoredPrivate& p) { p.WatermarkData.Position = 11; }, [](const StoredPrivate& p) { return p.WatermarkData.Position == 0; }},
      {"Watermark scale", [](StoredPrivate& p) { p.WatermarkData.Scale = 1001; }, [](const StoredPrivate& p) { return p.WatermarkData.Scale == 0; }},
      {"Watermark colour", [](StoredPrivate& p) { p.WatermarkData.Colour = 0x1000000; }, [](const StoredPrivate& p) { return p.WatermarkData.Colour == 0x0033FF; }},
      {"Watermark index", [](StoredPrivate& p) { p.WatermarkData.WatermarkIndex = 33; }, [](const StoredPrivate& p) { return p.WatermarkData.WatermarkIndex == 0; }},
  };
  for (const Row& row : rows) {
    StoredPrivate p = DefaultStored().priv;
    row.spoil(p);
    EXPECT_EQ(ValidatePrivateBlock(&p, u"Default Settings"), 1) << row.name;
    EXPECT_TRUE(row.check(p)) << row.name;
    EXPECT_EQ(ValidatePrivateBlock(&p, u"Default Settings"), 0) << row.name;
  }
}

TEST(PrivateValidation, StringsEndInsideTheirFields) {
  StoredPrivate p = DefaultStored().priv;
  for (auto& c : p.FavoriteName) c = u'x';     // 256 characters: too long, reloaded
  for (auto& c : p.Monitor) c = u'm';          // unterminated path: emptied
  for (auto& c : p.HeaderFontName) c = u'h';   // cut at 31
  for (auto& c : p.WatermarkData.Name) c = u'n';
  for (auto& c : p.WatermarkData.Text) c = u't';
  for (auto& c : p.CustomPaperSize[0].name) c = u'c';
  ValidatePrivateBlock(&p, u"Default Settings");
  EXPECT_EQ(platform::WideField(p.FavoriteName, 256), u"Default Settings");
  EXPECT_EQ(platform::WideField(p.Monitor, 256), u"");
  EXPECT_EQ(platform::WideField(p.HeaderFontName, 32).size(), 31u);
  EXPECT_EQ(platform::WideField(p.WatermarkData.Name, 33).size(), 32u);
  EXPECT_EQ(platform::WideField(p.WatermarkData.Text, 65).size(), 64u);
  EXPECT_EQ(platform::WideField(p.CustomPaperSize[0].name, 26).size(), 24u);
  // A name of 33 characters is reloaded; one of 32 is kept.
  p = DefaultStored().priv;
  platform::CopyWideField(p.FavoriteName, 256, std::u16string(33, u'a'));
  ValidatePrivateBlock(&p, u"Default Settings");
  EXPECT_EQ(platform::WideField(p.FavoriteName, 256), u"Default Settings");
  platform::CopyWideField(p.FavoriteName, 256, std::u16string(32, u'a'));
  EXPECT_EQ(ValidatePrivateBlock(&p, u"Default Settings"), 0);
}

TEST(PrivateValidation, MergeValidatesTheCopiedBlock) {
  StoredDevmode w = DefaultStored();
  StoredDevmode a = DefaultStored();
  a.priv.MultipleUp = 99;
  a.priv.WatermarkData.Size = 601;
  ASSERT_TRUE(MergeCallerDevmode(&w, &a.pub, kContext));
  EXPECT_EQ(w.priv.MultipleUp, 1);
  EXPECT_EQ(w.priv.WatermarkData.Size, 72);
}

TEST(BuiltInWatermarks, Records) {
  WatermarkRecord r = BuiltInWatermark(1);
  EXPECT_EQ(platform::WideField(r.Name, 33), u"Confidential");
  EXPECT_EQ(r.WatermarkKind, 1);
  EXPECT_EQ(r.Size, 114);
  EXPECT_EQ(r.Angle, 45);
  EXPECT_EQ(r.Reserved802, 1);
  EXPECT_EQ(BuiltInWatermark(0).Scale, 100);
  EXPECT_EQ(BuiltInWatermark(3).Size, 72);
  EXPECT_EQ(ValidateWatermarkRecord(&r), 0);
}

}  // namespace
}  // namespace devmode

namespace devmode {
namespace {

TEST(CallerMerge, DuplexFiveCopiesOnlyAValidPrivateDuplex) {
  StoredDevmode w = testing::DefaultStored();
  StoredDevmode a = testing::DefaultStored();
  a.pub.dmDuplex = 5;
  a.priv.signature = 0;  // not our block: the rest of it is ignored
  a.priv.Duplex = 0;
  ASSERT_TRUE(MergeCallerDevmode(&w, &a.pub, CallerMergeContext{u"Default Settings", nullptr}));
  EXPECT_EQ(w.pub.dmDuplex, 5);
  EXPECT_EQ(w.priv.Duplex, 1);
  a.priv.Duplex = 3;
  ASSERT_TRUE(MergeCallerDevmode(&w, &a.pub, CallerMergeContext{u"Default Settings", nullptr}));
  EXPECT_EQ(w.priv.Duplex, 3);
}

}  // namespace
}  // namespace devmode
