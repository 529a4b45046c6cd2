#include <gtest/gtest.h>

#include <cstring>

#include "devmode/caller_merge.h"
#include "entry/xps_adjustment.h"
#include "platform/test_hooks.h"
#include "store/settings_store.h"
#include "support/temp_dir.h"
#include "win/error.h"

namespace ui {
namespace {

class XpsAdjustment : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::hooks::SetAppDataFolder(dir_.str());
    devmode::InitStoredDevmode(&dm_, u"R7700 Test", u"Default Settings");
  }

  // Imageable area, compression and resolution, in that order.
  void Build(EPrintPropertyType areaType = kPropertyTypeBuffer, DWORD areaSize = 16) {
    props_[0] = {const_cast<WCHAR*>(u"MxdcImageableArea"), {areaType, {}}};
    props_[0].propertyValue.value.propertyBlob = {areaSize, area_};
    props_[1] = {const_cast<WCHAR*>(u"MxdcImageCompressionType"), {kPropertyTypeInt32, {}}};
    props_[1].propertyValue.value.propertyInt32 = 5;
    props_[2] = {const_cast<WCHAR*>(u"MxdcDotsPerInch"), {kPropertyTypeInt32, {}}};
    props_[2].propertyValue.value.propertyInt32 = 300;
    collection_ = {3, props_};
  }
  HRESULT Run(const DEVMODEW* dm) { return AdjustXpsProperties(dm, &collection_); }
  std::vector<int32_t> Area() const { return {area_[0], area_[1], area_[2], area_[3]}; }

  testsupport::TempDir dir_;
  devmode::StoredDevmode dm_{};
  int32_t area_[4] = {-1, -1, -1, -1};
  PrintNamedProperty props_[3]{};
  PrintPropertiesCollection collection_{};
};

TEST_F(XpsAdjustment, ImageableAreaOfStandardPapers) {
  Build();
  dm_.pub.dmPaperSize = DMPAPER_A4;
  EXPECT_EQ(Run(&dm_.pub), S_OK);
  EXPECT_EQ(Area(), (std::vector<int32_t>{4000, 4000, 206000, 293000}));
  EXPECT_EQ(props_[1].propertyValue.value.propertyInt32, 0);
  dm_.pub.dmPaperSize = DMPAPER_LETTER;
  EXPECT_EQ(Run(&dm_.pub), S_OK);
  EXPECT_EQ(Area(), (std::vector<int32_t>{4000, 4000, 211900, 275400}));
}

TEST_F(XpsAdjustment, UnknownAndCustomPapers) {
  Build();
  // A custom id the store does not hold: the A4-sized custom default.
  platform::hooks::SetCountryCode(1);
  dm_.pub.dmPaperSize = 300;
  EXPECT_EQ(Run(&dm_.pub), S_OK);
  EXPECT_EQ(Area(), (std::vector<int32_t>{4000, 4000, 206000, 293000}));
  // One the store holds.
  devmode::CustomPaperRecord paper{};
  paper.width = 3000;
  paper.height = 6000;
  paper.paperId = 300;
  CustomPaperStore store;
  ASSERT_EQ(store.Save(u"Card", RecordBytes(paper)), 1);
  EXPECT_EQ(Run(&dm_.pub), S_OK);
  EXPECT_EQ(Area(), (std::vector<int32_t>{4000, 4000, 127000 - 4000, 254000 - 4000}));
  // Without the private block the custom id means the locale's paper: Letter in country 1.
  DEVMODEW bare = dm_.pub;
  bare.dmDriverExtra = 0;
  EXPECT_EQ(Run(&bare), S_OK);
  EXPECT_EQ(Area(), (std::vector<int32_t>{4000, 4000, 211900, 275400}));
  platform::hooks::SetCountryCode(49);
  bare.dmPaperSize = 9999;
  EXPECT_EQ(Run(&bare), S_OK);
  EXPECT_EQ(Area(), (std::vector<int32_t>{4000, 4000, 206000, 293000}));
}

TEST_F(XpsAdjustment, ResolutionOnlyForDraftQuality) {
  Build();
  dm_.pub.dmPrintQuality = 600;
  Run(&dm_.pub);
  EXPECT_EQ(props_[2].propertyValue.value.propertyInt32, 300);
  dm_.pub.dmPrintQuality = -3;
  Run(&dm_.pub);
  EXPECT_EQ(props_[2].propertyValue.value.propertyInt32, 600);
}

TEST_F(XpsAdjustment, WrongTypesStopTheWalk) {
  Build(kPropertyTypeBuffer, 12);
  EXPECT_EQ(Run(&dm_.pub), E_NOTIMPL);
  EXPECT_EQ(area_[0], -1);
  EXPECT_EQ(props_[1].propertyValue.value.propertyInt32, 5);  // later properties untouched
  // Compression first with a string value: nothing is adjusted.
  Build();
  std::swap(props_[0], props_[1]);
  props_[0].propertyValue.ePropertyType = kPropertyTypeString;
  EXPECT_EQ(Run(&dm_.pub), E_NOTIMPL);
  EXPECT_EQ(area_[0], -1);
  EXPECT_EQ(props_[2].propertyValue.value.propertyInt32, 300);
  // A null devmode stops at the imageable area too.
  Build();
  EXPECT_EQ(Run(nullptr), E_NOTIMPL);
  EXPECT_EQ(AdjustXpsProperties(&dm_.pub, nullptr), E_NOTIMPL);
  PrintPropertiesCollection empty{0, props_};
  EXPECT_EQ(AdjustXpsProperties(&dm_.pub, &empty), E_NOTIMPL);
  // Names compare exactly.
  Build();
  props_[0].propertyName = const_cast<WCHAR*>(u"mxdcImageableArea");
  props_[1].propertyName = nullptr;
  dm_.pub.dmPrintQuality = 600;
  EXPECT_EQ(Run(&dm_.pub), E_NOTIMPL);
}

}  // namespace
}  // namespace ui
