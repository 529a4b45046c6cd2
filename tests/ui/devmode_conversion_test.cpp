// Devmode conversion between layouts, the printer-data upgrade, the print-time check and the
// message formatter behind its text.
#include "entry/devmode_conversion.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "entry_fixture.h"
#include "platform/utf16.h"
#include "store/printer_data.h"
#include "win/error.h"

namespace {

using testsupport::EntryTest;
using DevmodeConversionTest = EntryTest;

std::vector<uint8_t> Bytes(const void* p, size_t n) {
  auto* b = static_cast<const uint8_t*>(p);
  return {b, b + n};
}

void SetHeader(void* record, WORD spec, WORD driver, WORD size, WORD extra) {
  auto* d = static_cast<DEVMODEW*>(record);
  d->dmSpecVersion = spec;
  d->dmDriverVersion = driver;
  d->dmSize = size;
  d->dmDriverExtra = extra;
}

TEST_F(DevmodeConversionTest, ConvertIntoAnOpenLayoutReproducesTheSource) {
  devmode::StoredDevmode source = Current();
  source.priv.MultipleUp = 4;
  std::vector<uint8_t> out(5076, 0xCC);
  SetHeader(out.data(), DM_SPECVERSION, 0, 220, 4856);
  LONG needed = 5076;
  SetLastError(0xDEAD);
  ASSERT_TRUE(ui::ConvertDevMode(nullptr, &source.pub, reinterpret_cast<DEVMODEW*>(out.data()), &needed, CDM_CONVERT));
  EXPECT_EQ(needed, 5076);
  EXPECT_EQ(out, Bytes(&source, sizeof source));
}

TEST_F(DevmodeConversionTest, ConvertFromAnOlderPublicSizeZeroFillsAForeignPrivatePart) {
  devmode::StoredDevmode source = Current();
  source.pub.dmSize = 216;
  source.pub.dmDriverExtra = 100;
  devmode::StoredDevmode target = Current(u"Target");
  std::memset(&target.priv, 0x77, sizeof target.priv);
  target.pub.dmPanningHeight = 0x1234;  // the last 4 bytes of the current public part
  LONG needed = 5076;
  ASSERT_TRUE(ui::ConvertDevMode(nullptr, &source.pub, &target.pub, &needed, CDM_CONVERT));
  EXPECT_EQ(needed, 5076);
  EXPECT_EQ(Bytes(&target.pub, 64), Bytes(&source.pub, 64));
  EXPECT_EQ(target.pub.dmSize, 220);
  EXPECT_EQ(target.pub.dmDriverExtra, 4856);
  EXPECT_EQ(target.pub.dmSpecVersion, DM_SPECVERSION);
  EXPECT_EQ(target.pub.dmPanningHeight, 0x1234u);  // beyond the 216 bytes copied
  EXPECT_EQ(Bytes(&target.priv, sizeof target.priv), std::vector<uint8_t>(sizeof target.priv, 0));
}

TEST_F(DevmodeConversionTest, ConvertToTheOldLayoutAsksForItsSizeThenZeroFillsItsPrivatePart) {
  devmode::StoredDevmode source = Current();
  std::vector<uint8_t> out(304, 0xCC);
  LONG needed = 0;
  SetLastError(0xDEAD);
  EXPECT_FALSE(ui::ConvertDevMode(nullptr, &source.pub, reinterpret_cast<DEVMODEW*>(out.data()), &needed, CDM_CONVERT351));
  EXPECT_EQ(needed, 304);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(out, std::vector<uint8_t>(304, 0xCC));

  ASSERT_TRUE(ui::ConvertDevMode(nullptr, &source.pub, reinterpret_cast<DEVMODEW*>(out.data()), &needed, CDM_CONVERT351));
  EXPECT_EQ(needed, 304);
  auto* d = reinterpret_cast<DEVMODEW*>(out.data());
  EXPECT_EQ(d->dmSpecVersion, 0x0320);
  EXPECT_EQ(d->dmDriverVersion, 0x0350);
  EXPECT_EQ(d->dmSize, 192);
  EXPECT_EQ(d->dmDriverExtra, 112);
  EXPECT_EQ(Bytes(out.data() + 72, 120), Bytes(reinterpret_cast<uint8_t*>(&source) + 72, 120));
  EXPECT_EQ(Bytes(out.data() + 192, 112), std::vector<uint8_t>(112, 0));
}

TEST_F(DevmodeConversionTest, ConvertRefusesWhatItCannotHold) {
  devmode::StoredDevmode source = Current();
  devmode::StoredDevmode target = Current();
  LONG needed = 5075;
  SetLastError(0xDEAD);
  EXPECT_FALSE(ui::ConvertDevMode(nullptr, &source.pub, &target.pub, &needed, CDM_CONVERT));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  // A target that takes the source's layout must have room for it, whatever its header said.
  std::vector<uint8_t> small(300, 0xCC);
  SetHeader(small.data(), DM_SPECVERSION, 0, 220, 0);
  needed = 300;
  EXPECT_FALSE(ui::ConvertDevMode(nullptr, &source.pub, reinterpret_cast<DEVMODEW*>(small.data()), &needed, CDM_CONVERT));
  EXPECT_EQ(small[299], 0xCC);

  // Spec version 0 on either side.
  source.pub.dmSpecVersion = 0;
  needed = 5076;
  EXPECT_FALSE(ui::ConvertDevMode(nullptr, &source.pub, &target.pub, &needed, CDM_CONVERT));
  source.pub.dmSize = 192;  // ... unless the size says which version it is
  EXPECT_TRUE(ui::ConvertDevMode(nullptr, &source.pub, &target.pub, &needed, CDM_CONVERT));

  SetLastError(0xDEAD);
  EXPECT_FALSE(ui::ConvertDevMode(nullptr, &source.pub, &target.pub, nullptr, CDM_CONVERT));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  SetLastError(0xDEAD);
  EXPECT_FALSE(ui::ConvertDevMode(nullptr, &source.pub, &target.pub, &needed, 3));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(DevmodeConversionTest, DriverDefaultIsTheWholeDefaultDevmodeNamedAfterTheDriver) {
  LONG needed = 100;
  SetLastError(0xDEAD);
  EXPECT_FALSE(ui::ConvertDevMode(kPrinter, nullptr, nullptr, &needed, CDM_DRIVER_DEFAULT));
  EXPECT_EQ(needed, 5076);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);

  std::vector<uint8_t> out(5076, 0xCC);
  ASSERT_TRUE(ui::ConvertDevMode(kPrinter, nullptr, reinterpret_cast<DEVMODEW*>(out.data()), &needed, CDM_DRIVER_DEFAULT));
  devmode::StoredDevmode expected = Current(kDriver);
  EXPECT_EQ(out, Bytes(&expected, sizeof expected));

  needed = 5076;
  EXPECT_FALSE(ui::ConvertDevMode(u"No Such Printer", nullptr, reinterpret_cast<DEVMODEW*>(out.data()), &needed,
                                  CDM_DRIVER_DEFAULT));
  EXPECT_EQ(needed, 5076);
}

class UpgradeTest : public EntryTest {
 protected:
  ui::PrinterDataRecord Stored() {
    HANDLE printer = nullptr;
    EXPECT_TRUE(OpenPrinterW(kPrinter, &printer, nullptr));
    auto bytes = ui::ReadPrinterDataPair(printer, ui::PrinterDataPair::PrinterData);
    ClosePrinter(printer);
    ui::PrinterDataRecord r{};
    EXPECT_TRUE(bytes.has_value());
    if (bytes && bytes->size() == sizeof r) std::memcpy(&r, bytes->data(), sizeof r);
    return r;
  }
  void Store(std::vector<uint8_t> bytes) {
    HANDLE printer = nullptr;
    ASSERT_TRUE(OpenPrinterW(kPrinter, &printer, nullptr));
    ASSERT_TRUE(ui::WritePrinterDataPair(printer, ui::PrinterDataPair::PrinterData, bytes));
    ClosePrinter(printer);
  }
  BOOL Upgrade(const char16_t* name, DWORD level = 1) {
    std::u16string n(name);
    DRIVER_UPGRADE_INFO_1W info{n.data(), nullptr};
    return ui::UpgradePrinter(level, reinterpret_cast<const BYTE*>(&info));
  }
};

TEST_F(UpgradeTest, OldOrMissingRecordsBecomeTheCurrentOne) {
  ASSERT_TRUE(Upgrade(kPrinter));
  auto r = Stored();
  EXPECT_EQ(r.version, 0x0600);
  EXPECT_EQ(r.size, 8);
  EXPECT_EQ(r.reserved, 0u);

  // Version 0x0500 of 4 bytes: the bytes behind its size are not taken over.
  Store({0x00, 0x05, 0x04, 0x00, 0xAA, 0xBB, 0xCC, 0xDD});
  ASSERT_TRUE(Upgrade(kPrinter));
  r = Stored();
  EXPECT_EQ(r.version, 0x0600);
  EXPECT_EQ(r.size, 8);
  EXPECT_EQ(r.reserved, 0u);

  // A current record is kept as it is.
  Store({0x00, 0x06, 0x08, 0x00, 0x01, 0x02, 0x03, 0x04});
  ASSERT_TRUE(Upgrade(kPrinter));
  EXPECT_EQ(Stored().reserved, 0x04030201u);
}

TEST_F(UpgradeTest, RefusesOtherLevelsAndUnknownPrinters) {
  SetLastError(0xDEAD);
  EXPECT_FALSE(Upgrade(kPrinter, 2));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  SetLastError(0xDEAD);
  EXPECT_FALSE(Upgrade(u"No Such Printer"));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  SetLastError(0xDEAD);
  EXPECT_FALSE(ui::UpgradePrinter(1, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

using QueryPrintTest = EntryTest;

TEST_F(QueryPrintTest, AcceptsOursAndRefusesWhatTheMergeRefuses) {
  devmode::StoredDevmode good = Current();
  WCHAR text[300];
  std::fill(std::begin(text), std::end(text), u'#');
  DEVQUERYPRINT_INFO info{sizeof info, 0, nullptr, &good.pub, text, 300, 0};
  EXPECT_FALSE(ui::QueryPrint(&info));  // level 0
  EXPECT_EQ(text[0], u'#');
  EXPECT_EQ(info.cchNeeded, 0u);
  EXPECT_FALSE(ui::QueryPrint(nullptr));

  info.Level = 1;
  EXPECT_TRUE(ui::QueryPrint(&info));
  info.pDevMode = nullptr;
  EXPECT_TRUE(ui::QueryPrint(&info));

  // Without the sheets' language module the reason is empty.
  devmode::StoredDevmode bad = Current();
  bad.pub.dmSize = 156;
  info.pDevMode = &bad.pub;
  EXPECT_FALSE(ui::QueryPrint(&info));
  EXPECT_EQ(info.cchNeeded, 1u);
  EXPECT_EQ(text[0], 0);

  // With it, string 207, cut to the buffer and always terminated.
  ASSERT_NE(ui::SheetLanguageModule(), nullptr);
  const std::u16string reason = u"These document settings do not suit this printer. Open Printing Preferences and "
                                u"choose the settings again.";
  std::fill(std::begin(text), std::end(text), u'#');
  EXPECT_FALSE(ui::QueryPrint(&info));
  EXPECT_EQ(info.cchNeeded, reason.size() + 1);
  EXPECT_EQ(std::u16string(text), reason);
  std::fill(std::begin(text), std::end(text), u'#');
  info.cchErrorStr = 6;
  EXPECT_FALSE(ui::QueryPrint(&info));
  EXPECT_EQ(info.cchNeeded, reason.size() + 1);
  EXPECT_EQ(std::u16string(text), u"These");
  EXPECT_EQ(text[6], u'#');

  for (auto spoil : {+[](DEVMODEW& d) { d.dmDeviceName[0] = 0; }, +[](DEVMODEW& d) { d.dmFields = 0; },
                     +[](DEVMODEW& d) { d.dmSize = 216; }}) {
    devmode::StoredDevmode refused = Current();
    spoil(refused.pub);
    info.pDevMode = &refused.pub;
    EXPECT_FALSE(ui::QueryPrint(&info));
  }
}

TEST(FormatMessageText, DirectivesAndTheCountPastTheBuffer) {
  const uintptr_t args[] = {static_cast<uintptr_t>(-42), 42, 0xBEEF, 0xBEEF, u'Z',
                            reinterpret_cast<uintptr_t>(u"text"), 0};
  WCHAR out[64];
  size_t n = ui::FormatMessageText(nullptr, out, 64, u"%d %u %x %X %c %s|%s| 100%% %q", args);
  EXPECT_EQ(std::u16string(out), u"-42 42 beef BEEF Z text| | 100% q");
  EXPECT_EQ(n, 33u);

  WCHAR small[5];
  std::fill(std::begin(small), std::end(small), u'#');
  EXPECT_EQ(ui::FormatMessageText(nullptr, small, 4, u"%d %u %x %X", args), 16u);
  EXPECT_EQ(std::u16string(small), u"-42");
  EXPECT_EQ(small[4], u'#');
  // Arguments that are not there read as 0; a string id without a module inserts nothing.
  EXPECT_EQ(ui::FormatMessageText(nullptr, out, 64, u"[%d%x%!]%", {}), 4u);
  EXPECT_EQ(std::u16string(out), u"[00]");
}

}  // namespace
