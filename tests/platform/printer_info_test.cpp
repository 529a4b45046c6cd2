// Printer information levels the interface library reads: level 4 with the attributes, level 2
// read, changed and written back whole, and the driver information.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/spooler_admin.h"
#include "platform/test_hooks.h"
#include "support/temp_dir.h"
#include "win/error.h"
#include "win/spooler.h"

namespace {

namespace spooler = platform::spooler;

class PrinterInfo : public testing::Test {
 protected:
  void SetUp() override { platform::hooks::SetPlatformRoot(root_.str()); }
  static spooler::PrinterConfig Config(const std::u16string& name) {
    return {name, u"Taliro R7700 PCL5e", "/opt/dr.so", "/opt/ui.so", u"winprint", "MEMORY:", {}};
  }
  static std::vector<BYTE> Get(HANDLE h, DWORD level) {
    DWORD needed = 0;
    SetLastError(0xDEAD);
    EXPECT_FALSE(GetPrinterW(h, level, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    std::vector<BYTE> buf(needed, 0xCC);
    EXPECT_FALSE(GetPrinterW(h, level, buf.data(), needed - 1, &needed));
    EXPECT_TRUE(GetPrinterW(h, level, buf.data(), needed, &needed));
    return buf;
  }
  testsupport::TempDir root_;
};

TEST_F(PrinterInfo, LevelFourGivesNameAndAttributes) {
  ASSERT_TRUE(spooler::AddPrinter(Config(u"Local")));
  auto shared = Config(u"Shared");
  shared.attributes = PRINTER_ATTRIBUTE_NETWORK | PRINTER_ATTRIBUTE_SHARED;
  ASSERT_TRUE(spooler::AddPrinter(shared));

  HANDLE h = nullptr;
  ASSERT_TRUE(OpenPrinterW(u"Local", &h, nullptr));
  auto buf = Get(h, 4);
  auto* info = reinterpret_cast<PRINTER_INFO_4W*>(buf.data());
  EXPECT_EQ(std::u16string(info->pPrinterName), u"Local");
  EXPECT_EQ(info->pServerName, nullptr);
  EXPECT_EQ(info->Attributes, PRINTER_ATTRIBUTE_LOCAL);
  SetLastError(0xDEAD);
  DWORD needed = 0;
  EXPECT_FALSE(GetPrinterW(h, 3, buf.data(), static_cast<DWORD>(buf.size()), &needed));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  ClosePrinter(h);

  // The attributes survive the process, as the printer does.
  ASSERT_TRUE(OpenPrinterW(u"Shared", &h, nullptr));
  buf = Get(h, 4);
  EXPECT_EQ(reinterpret_cast<PRINTER_INFO_4W*>(buf.data())->Attributes,
            PRINTER_ATTRIBUTE_NETWORK | PRINTER_ATTRIBUTE_SHARED);
  auto two = Get(h, 2);
  EXPECT_EQ(reinterpret_cast<PRINTER_INFO_2W*>(two.data())->Attributes,
            PRINTER_ATTRIBUTE_NETWORK | PRINTER_ATTRIBUTE_SHARED);
  ClosePrinter(h);
  EXPECT_EQ(spooler::FindPrinter(u"Shared")->attributes, PRINTER_ATTRIBUTE_NETWORK | PRINTER_ATTRIBUTE_SHARED);
}

TEST_F(PrinterInfo, LevelTwoWrittenBackWithANewPrintProcessorKeepsTheRest) {
  auto config = Config(u"P");
  std::vector<uint8_t> devmode(sizeof(DEVMODEW) + 4, 9);
  auto* dm = reinterpret_cast<DEVMODEW*>(devmode.data());
  dm->dmSize = sizeof(DEVMODEW);
  dm->dmDriverExtra = 4;
  config.defaultDevmode = devmode;
  ASSERT_TRUE(spooler::AddPrinter(config));
  HANDLE h = nullptr;
  ASSERT_TRUE(OpenPrinterW(u"P", &h, nullptr));
  auto buf = Get(h, 2);
  auto* info = reinterpret_cast<PRINTER_INFO_2W*>(buf.data());
  std::u16string processor = u"rt7700proc";
  info->pPrintProcessor = processor.data();
  ASSERT_TRUE(SetPrinterW(h, 2, buf.data(), 0));
  ClosePrinter(h);

  auto back = spooler::FindPrinter(u"P");
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->printProcessor, u"rt7700proc");
  EXPECT_EQ(back->defaultDevmode, devmode);
  EXPECT_EQ(back->port, "MEMORY:");
  EXPECT_EQ(back->driverName, u"Taliro R7700 PCL5e");
}

TEST_F(PrinterInfo, DriverInformationAfterASizeQuery) {
  ASSERT_TRUE(spooler::AddPrinter(Config(u"P")));
  HANDLE h = nullptr;
  ASSERT_TRUE(OpenPrinterW(u"P", &h, nullptr));
  DWORD needed = 0;
  SetLastError(0xDEAD);
  EXPECT_FALSE(GetPrinterDriverW(h, nullptr, 2, nullptr, 0, &needed));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  std::vector<BYTE> buf(needed);
  ASSERT_TRUE(GetPrinterDriverW(h, nullptr, 2, buf.data(), needed, &needed));
  auto* info = reinterpret_cast<DRIVER_INFO_2W*>(buf.data());
  EXPECT_EQ(std::u16string(info->pName), u"Taliro R7700 PCL5e");
  EXPECT_EQ(std::u16string(info->pConfigFile), u"/opt/ui.so");
  EXPECT_EQ(std::u16string(info->pDriverPath), u"/opt/dr.so");
  ClosePrinter(h);
}

}  // namespace
