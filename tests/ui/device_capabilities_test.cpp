// DrvDeviceCapabilities: every index, the custom papers of the store and names in the language.
#include "entry/device_capabilities.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "entry_fixture.h"
#include "platform/utf16.h"
#include "store/settings_store.h"
#include "win/printer_ui.h"

namespace {

using testsupport::EntryTest;

class CapabilitiesTest : public EntryTest {
 protected:
  DWORD Ask(WORD index, void* out, const DEVMODEW* dm = nullptr) {
    return ui::DeviceCapabilities(nullptr, kPrinter, index, out, dm);
  }
  static void AddCustom(const char16_t* name, int16_t width, int16_t height, uint32_t id) {
    devmode::CustomPaperRecord r{};
    r.width = width;
    r.height = height;
    platform::CopyWideField(r.name, std::size(r.name), name);
    r.paperId = id;
    ASSERT_EQ(ui::CustomPaperStore().EnsureSettingsSkeleton(), 1);
    ASSERT_EQ(ui::CustomPaperStore().Save(name, ui::RecordBytes(r)), 1);
  }
  static std::u16string Slot(const std::vector<WCHAR>& names, size_t i, size_t chars = 64) {
    return std::u16string(platform::WideField(names.data() + i * chars, chars));
  }
  devmode::StoredDevmode Landscape() {
    devmode::StoredDevmode d = Current();
    d.pub.dmOrientation = DMORIENT_LANDSCAPE;
    return d;
  }
};

TEST_F(CapabilitiesTest, FixedAnswers) {
  EXPECT_EQ(Ask(DC_FIELDS, nullptr), devmode::kStoredFields);
  EXPECT_EQ(Ask(DC_SIZE, nullptr), 220u);
  EXPECT_EQ(Ask(DC_EXTRA, nullptr), 4856u);
  EXPECT_EQ(Ask(DC_VERSION, nullptr), 0x0401u);
  EXPECT_EQ(Ask(DC_DRIVER, nullptr), 0x0600u);
  EXPECT_EQ(Ask(DC_DUPLEX, nullptr), 1u);
  EXPECT_EQ(Ask(DC_ORIENTATION, nullptr), 90u);
  EXPECT_EQ(Ask(DC_COPIES, nullptr), 999u);
  EXPECT_EQ(Ask(DC_COLLATE, nullptr), 1u);
  EXPECT_EQ(Ask(DC_BINADJUST, nullptr), 0u);
  EXPECT_EQ(Ask(DC_STAPLE, nullptr), 0u);
  EXPECT_EQ(Ask(DC_PRINTRATEPPM, nullptr), 0u);
  EXPECT_EQ(Ask(DC_TRUETYPE, nullptr), 0u);  // the defaults do not claim DM_TTOPTION

  WORD bins[4] = {0, 0, 0, 0xEEEE};
  EXPECT_EQ(Ask(DC_BINS, bins), 3u);
  EXPECT_EQ(std::vector<WORD>(bins, bins + 4), (std::vector<WORD>{7, 1, 4, 0xEEEE}));
  LONG res[5] = {0, 0, 0, 0, -1};
  EXPECT_EQ(Ask(DC_ENUMRESOLUTIONS, res), 2u);
  EXPECT_EQ(std::vector<LONG>(res, res + 5), (std::vector<LONG>{600, 600, 1200, 600, -1}));
  WCHAR deps[2] = {u'x', u'y'};
  EXPECT_EQ(Ask(DC_FILEDEPENDENCIES, deps), 0u);
  EXPECT_EQ(deps[0], 0);
  EXPECT_EQ(deps[1], u'y');

  WCHAR untouched[8] = {u'#'};
  for (WORD index : {DC_NUP, DC_MEDIATYPES, DC_MEDIATYPENAMES, DC_PERSONALITY, DC_PRINTERMEM, DC_EMF_COMPLIANT,
                     WORD{0}, WORD{36}, WORD{0xFFFF}}) {
    EXPECT_EQ(Ask(index, untouched), GDI_ERROR) << index;
  }
  EXPECT_EQ(untouched[0], u'#');
}

TEST_F(CapabilitiesTest, ExtentsFollowTheCallersOrientation) {
  EXPECT_EQ(Ask(DC_MINEXTENT, nullptr), 762u | (1270u << 16));
  EXPECT_EQ(Ask(DC_MAXEXTENT, nullptr), 2159u | (3556u << 16));
  devmode::StoredDevmode landscape = Landscape();
  EXPECT_EQ(Ask(DC_MINEXTENT, nullptr, &landscape.pub), 1270u | (762u << 16));
  EXPECT_EQ(Ask(DC_MAXEXTENT, nullptr, &landscape.pub), 3556u | (2159u << 16));
}

TEST_F(CapabilitiesTest, PapersAreTheTableThenTheCustomPapers) {
  EXPECT_EQ(Ask(DC_PAPERS, nullptr), 29u);
  EXPECT_EQ(Ask(DC_PAPERNAMES, nullptr), 29u);
  AddCustom(u"Box", 4000, 5000, 290);
  AddCustom(u"Card", 2000, 3000, 288);
  EXPECT_EQ(Ask(DC_PAPERS, nullptr), 31u);
  EXPECT_EQ(Ask(DC_PAPERSIZE, nullptr), 31u);
  EXPECT_EQ(Ask(DC_PAPERNAMES, nullptr), 31u);

  std::vector<WORD> ids(32, 0xEEEE);
  ASSERT_EQ(Ask(DC_PAPERS, ids.data()), 31u);
  EXPECT_EQ(std::vector<WORD>(ids.begin(), ids.begin() + 10), (std::vector<WORD>{1, 9, 5, 13, 37, 27, 28, 20, 11, 43}));
  EXPECT_EQ(ids[23], 240);
  EXPECT_EQ(ids[28], 280);
  EXPECT_EQ(ids[29], 290);
  EXPECT_EQ(ids[30], 288);
  EXPECT_EQ(ids[31], 0xEEEE);

  std::vector<POINT> sizes(32, POINT{-1, -1});
  ASSERT_EQ(Ask(DC_PAPERSIZE, sizes.data()), 31u);
  EXPECT_EQ(sizes[0].x, 2159);
  EXPECT_EQ(sizes[0].y, 2794);
  EXPECT_EQ(sizes[3].y, 2570);   // B5: 6071 rounds up
  EXPECT_EQ(sizes[23].y, 12000);  // long paper
  EXPECT_EQ(sizes[29].x, 1693);
  EXPECT_EQ(sizes[29].y, 2117);
  EXPECT_EQ(sizes[31].x, -1);

  // Landscape: the table papers stay (width, height), custom papers turn.
  devmode::StoredDevmode landscape = Landscape();
  ASSERT_EQ(Ask(DC_PAPERSIZE, sizes.data(), &landscape.pub), 31u);
  EXPECT_EQ(sizes[0].x, 2159);
  EXPECT_EQ(sizes[0].y, 2794);
  EXPECT_EQ(sizes[29].x, 2117);
  EXPECT_EQ(sizes[29].y, 1693);
}

TEST_F(CapabilitiesTest, NamesComeFromTheLanguageModule) {
  AddCustom(u"Box", 4000, 5000, 290);
  std::vector<WCHAR> names(31 * 64, u'#');
  ASSERT_EQ(Ask(DC_PAPERNAMES, names.data()), 30u);
  EXPECT_EQ(Slot(names, 0), u"Letter");
  EXPECT_EQ(Slot(names, 1), u"A4");
  EXPECT_EQ(Slot(names, 9), u"Japanese Postcard");
  EXPECT_EQ(Slot(names, 28), u"Envelope Yougata 2");
  EXPECT_EQ(Slot(names, 29), u"Box (169 x 211mm)");
  EXPECT_EQ(names[30 * 64], u'#');

  // Ready media are the table papers only.
  std::vector<WCHAR> ready(30 * 64, u'#');
  ASSERT_EQ(Ask(DC_MEDIAREADY, ready.data()), 29u);
  EXPECT_EQ(Slot(ready, 28), u"Envelope Yougata 2");
  EXPECT_EQ(ready[29 * 64], u'#');

  std::vector<WCHAR> bins(4 * 24, u'#');
  ASSERT_EQ(Ask(DC_BINNAMES, bins.data()), 3u);
  EXPECT_EQ(Slot(bins, 0, 24), u"Automatically Select");
  EXPECT_EQ(Slot(bins, 1, 24), u"Tray 1");
  EXPECT_EQ(Slot(bins, 2, 24), u"Manual Feed");
  EXPECT_EQ(bins[3 * 24], u'#');

  SetLanguage(u"German");
  ASSERT_EQ(Ask(DC_BINNAMES, bins.data()), 3u);
  EXPECT_EQ(Slot(bins, 0, 24), u"Automatisch wählen");
}

TEST_F(CapabilitiesTest, WithoutTheLanguageModuleNamesFailButCountsDoNot) {
  platform::hooks::SetModuleFileName((root_.path() / "elsewhere" / "rt7700PCL5eui.so").string());
  EXPECT_EQ(Ask(DC_BINNAMES, nullptr), 3u);
  EXPECT_EQ(Ask(DC_PAPERNAMES, nullptr), 29u);
  EXPECT_EQ(Ask(DC_MEDIAREADY, nullptr), 29u);
  std::vector<WCHAR> names(29 * 64, u'#');
  for (WORD index : {DC_BINNAMES, DC_PAPERNAMES, DC_MEDIAREADY}) {
    EXPECT_EQ(Ask(index, names.data()), 0u) << index;
  }
  EXPECT_EQ(names, std::vector<WCHAR>(29 * 64, u'#'));
}

TEST(CustomPaperDisplayName, SizeInWholeMillimetresAndAFallbackForLongNames) {
  EXPECT_EQ(ui::CustomPaperDisplayName(u"Box", 0, 4000, 5000), u"Box (169 x 211mm)");
  EXPECT_EQ(ui::CustomPaperDisplayName(u"", 3, 1800, 3000), u" (76 x 127mm)");
  std::u16string longName(50, u'n');  // 50 + " (169 x 211mm)" = 64
  EXPECT_EQ(ui::CustomPaperDisplayName(longName, 0, 4000, 5000), u"Custom 0 (169 x 211mm)");
  EXPECT_EQ(ui::CustomPaperDisplayName(longName.substr(0, 49), 0, 4000, 5000).size(), 63u);
}

TEST_F(CapabilitiesTest, ColourOnlyForOnePublishingProgram) {
  platform::hooks::SetExecutableName("C:\\Program Files\\Office\\MSPUB.EXE");
  EXPECT_EQ(Ask(DC_COLORDEVICE, nullptr), 1u);
  platform::hooks::SetExecutableName("/opt/office/mspub.exe");
  EXPECT_EQ(Ask(DC_COLORDEVICE, nullptr), 1u);
  for (const char* other : {"/usr/bin/writer", "D:notmspub.exe", "mspub.exe.bak", "MSPUB"}) {
    platform::hooks::SetExecutableName(other);
    EXPECT_EQ(Ask(DC_COLORDEVICE, nullptr), 0u) << other;
  }
}

}  // namespace
