// Printer-data pairs, the tray record and the sleep time on a spooler printer.
#include "store/printer_data.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/spooler_admin.h"
#include "platform/test_hooks.h"
#include "support/temp_dir.h"
#include "win/error.h"
#include "win/spooler.h"

namespace {

class PrinterDataTest : public testing::Test {
 protected:
  void SetUp() override {
    platform::hooks::SetPlatformRoot(root_.str());
    platform::hooks::SetUserName(u"a-user-name-longer-than-thirty-one-characters");
    ASSERT_TRUE(platform::spooler::AddPrinter(
        {u"R7700", u"Taliro R7700 PCL5e", "/opt/dr.so", "/opt/ui.so", u"winprint", "MEMORY:", {}}));
    ASSERT_TRUE(OpenPrinterW(u"R7700", &printer_, nullptr));
  }
  void TearDown() override { ClosePrinter(printer_); }
  DWORD SetRaw(const char16_t* name, DWORD type, const void* data, DWORD size) {
    return SetPrinterDataW(printer_, name, type, static_cast<const BYTE*>(data), size);
  }

  testsupport::TempDir root_;
  HANDLE printer_ = nullptr;
};

TEST_F(PrinterDataTest, PairsRoundTripAndPersistWithThePrinter) {
  const uint8_t bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  ASSERT_TRUE(ui::WritePrinterDataPair(printer_, ui::PrinterDataPair::PrinterData, bytes));
  ClosePrinter(printer_);
  ASSERT_TRUE(OpenPrinterW(u"R7700", &printer_, nullptr));
  auto back = ui::ReadPrinterDataPair(printer_, ui::PrinterDataPair::PrinterData);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(*back, std::vector<uint8_t>(bytes, bytes + 8));
  DWORD size = 0, type = 0, needed = 0;
  ASSERT_EQ(GetPrinterDataW(printer_, u"PrinterDataSize", &type, reinterpret_cast<BYTE*>(&size), 4, &needed),
            ERROR_SUCCESS);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(size, 8u);
}

TEST_F(PrinterDataTest, InconsistentPairsAreAbsent) {
  EXPECT_FALSE(ui::ReadPrinterDataPair(printer_, ui::PrinterDataPair::FontData).has_value());
  DWORD zero = 0, huge = 0xFFFFFFF0u;
  const uint8_t data[4] = {9, 9, 9, 9};
  ASSERT_EQ(SetRaw(u"FontDataSize", REG_DWORD, &zero, 4), ERROR_SUCCESS);
  ASSERT_EQ(SetRaw(u"FontData", REG_BINARY, data, 4), ERROR_SUCCESS);
  EXPECT_FALSE(ui::ReadPrinterDataPair(printer_, ui::PrinterDataPair::FontData).has_value()) << "size 0";
  ASSERT_EQ(SetRaw(u"FontDataSize", REG_DWORD, &huge, 4), ERROR_SUCCESS);
  EXPECT_FALSE(ui::ReadPrinterDataPair(printer_, ui::PrinterDataPair::FontData).has_value()) << "size past the data";
  ASSERT_EQ(SetRaw(u"CustomPaperSize", REG_DWORD, &huge, 4), ERROR_SUCCESS);
  EXPECT_FALSE(ui::ReadPrinterDataPair(printer_, ui::PrinterDataPair::CustomPaper).has_value()) << "no data value";
}

TEST_F(PrinterDataTest, PerUserPairCarriesTheCutUserName) {
  auto names = ui::NamesOf(ui::PrinterDataPair::PrivateDevmodeData);
  EXPECT_EQ(names.size, u"PrivateDevmodeDataSizea-user-name-longer-than-thirty-");
  EXPECT_EQ(names.data, u"PrivateDevmodeDataa-user-name-longer-than-thirty-");
}

TEST_F(PrinterDataTest, TrayRecordStartsFromZerosAndKeepsItsLayout) {
  ui::TrayInstallRecord none = ui::ReadTrayInstall(printer_);
  EXPECT_EQ(std::memcmp(&none, "\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 20), 0);
  ui::TrayInstallRecord r = none;
  r.tray2Installed = 1;
  r.tray2Paper = 11;
  ASSERT_TRUE(ui::WriteTrayInstall(printer_, r));
  uint8_t raw[20] = {};
  DWORD type = 0, needed = 0;
  ASSERT_EQ(GetPrinterDataW(printer_, u"TrayInstall", &type, raw, 20, &needed), ERROR_SUCCESS);
  EXPECT_EQ(needed, 20u);
  EXPECT_EQ(raw[4], 1);
  EXPECT_EQ(raw[12], 11);
  EXPECT_EQ(ui::ReadTrayInstall(printer_).tray2Paper, 11);
  const uint8_t shortRecord[8] = {1, 1, 1, 1, 1, 1, 1, 1};
  ASSERT_TRUE(ui::WritePrinterDataPair(printer_, ui::PrinterDataPair::TrayInstall, shortRecord));
  EXPECT_EQ(ui::ReadTrayInstall(printer_).tray1Installed, 0) << "a record of another size is not used";
}

TEST_F(PrinterDataTest, SleepTimeIsDecimalTextWithItsNul) {
  EXPECT_FALSE(ui::ReadSleepTime(printer_).has_value());
  ASSERT_TRUE(ui::WriteSleepTime(printer_, 480));
  uint8_t raw[16] = {};
  DWORD type = 0, needed = 0;
  ASSERT_EQ(GetPrinterDataW(printer_, u"SleepTime", &type, raw, 16, &needed), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(needed, 8u);
  EXPECT_EQ(std::memcmp(raw, u"480", 8), 0);
  EXPECT_EQ(ui::ReadSleepTime(printer_), 480);
  ASSERT_EQ(SetRaw(u"SleepTime", REG_SZ, u"15x", 8), ERROR_SUCCESS);
  EXPECT_FALSE(ui::ReadSleepTime(printer_).has_value());
}

}  // namespace
