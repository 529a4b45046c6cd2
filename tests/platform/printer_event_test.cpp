// Adding and deleting printers as an installer does: the driver's interface library hears of it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/spooler_admin.h"
#include "platform/test_hooks.h"
#include "platform/utf16.h"
#include "spooler/spooler_internal.h"
#include "support/temp_dir.h"
#include "support/traces.h"
#include "win/error.h"
#include "win/printer_ui.h"
#include "win/spooler.h"

namespace {

namespace spooler = platform::spooler;
constexpr DWORD kSentinel = 0xDEAD;

class PrinterEvents : public testing::Test {
 protected:
  void SetUp() override { platform::hooks::SetPlatformRoot(root_.str()); }

  static bool InstallDriver(const char16_t* name, const char16_t* config) {
    std::u16string n = name, driver = u"/opt/dr.so", ui = config;
    DRIVER_INFO_2W info{3, n.data(), nullptr, driver.data(), nullptr, ui.data()};
    return AddPrinterDriverW(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
  }
  static HANDLE Add(const char16_t* printer, const char16_t* driver, const char16_t* processor = nullptr) {
    std::u16string name = printer, port = u"MEMORY:", drv = driver, proc = processor ? processor : u"";
    PRINTER_INFO_2W info{};
    info.pPrinterName = name.data();
    info.pPortName = port.data();
    info.pDriverName = drv.data();
    info.pPrintProcessor = processor ? proc.data() : nullptr;
    return AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
  }
  static std::vector<std::string> Events(std::vector<std::string> traces) {
    std::vector<std::string> out;
    for (auto& t : traces) {
      if (t.rfind("event ", 0) == 0) out.push_back(t);
    }
    return out;
  }

  testsupport::TempDir root_;
  std::u16string probe_ = platform::Utf8ToUtf16(RT7700_EVENT_PROBE);
};

TEST_F(PrinterEvents, AddingInitialisesAfterThePrinterExistsDeletingTellsBeforeItGoes) {
  ASSERT_TRUE(InstallDriver(u"Probe Driver", probe_.c_str()));
  testsupport::TraceCapture traces;
  HANDLE printer = Add(u"Office", u"Probe Driver");
  ASSERT_NE(printer, nullptr);
  auto config = spooler::FindPrinter(u"Office");
  ASSERT_TRUE(config);
  EXPECT_EQ(config->driverPath, "/opt/dr.so");
  EXPECT_EQ(config->configPath, RT7700_EVENT_PROBE);
  EXPECT_EQ(config->printProcessor, u"winprint");  // the platform's default
  EXPECT_EQ(Events(traces.Take()), std::vector<std::string>{"event 3 Office exists"});

  EXPECT_TRUE(DeletePrinter(printer));
  EXPECT_EQ(Events(traces.Take()), std::vector<std::string>{"event 4 Office exists"});
  EXPECT_FALSE(spooler::FindPrinter(u"Office"));
  EXPECT_TRUE(ClosePrinter(printer));

  // The admin's own removal sends nothing.
  ASSERT_TRUE(spooler::AddPrinter({u"Quiet", u"Probe Driver", "/opt/dr.so", RT7700_EVENT_PROBE, u"x", "MEMORY:", {}}));
  EXPECT_TRUE(spooler::DeletePrinter(u"Quiet"));
  EXPECT_TRUE(Events(traces.Take()).empty());
}

TEST_F(PrinterEvents, AddingRefusesWhatAnInstallerGotWrong) {
  SetLastError(kSentinel);
  EXPECT_EQ(Add(u"Office", u"Not Installed"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_UNKNOWN_PRINTER_DRIVER);
  EXPECT_FALSE(spooler::FindPrinter(u"Office"));

  ASSERT_TRUE(InstallDriver(u"Plain", u""));  // no interface library: nobody to tell
  HANDLE printer = Add(u"Office", u"Plain", u"custom");
  ASSERT_NE(printer, nullptr);
  EXPECT_EQ(spooler::FindPrinter(u"Office")->printProcessor, u"custom");
  SetLastError(kSentinel);
  EXPECT_EQ(Add(u"Office", u"Plain"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PRINTER_ALREADY_EXISTS);
  EXPECT_TRUE(DeletePrinter(printer));
  SetLastError(kSentinel);
  EXPECT_FALSE(DeletePrinter(printer));  // already gone
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PRINTER_NAME);
  ClosePrinter(printer);
  SetLastError(kSentinel);
  EXPECT_FALSE(DeletePrinter(printer));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

  std::u16string empty;
  PRINTER_INFO_2W info{};
  info.pPrinterName = empty.data();
  SetLastError(kSentinel);
  EXPECT_EQ(AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&info)), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(AddPrinterW(nullptr, 1, reinterpret_cast<LPBYTE>(&info)), nullptr);
  EXPECT_FALSE(AddPrinterDriverW(nullptr, 2, nullptr));
  EXPECT_FALSE(InstallDriver(u"Sub\\Key", u""));
}

TEST_F(PrinterEvents, AnInterfaceLibraryThatCannotLoadDoesNotStopTheAdd) {
  ASSERT_TRUE(InstallDriver(u"Broken", u"/no/such/ui.so"));
  testsupport::TraceCapture traces;
  HANDLE printer = Add(u"Office", u"Broken");
  ASSERT_NE(printer, nullptr);
  auto lines = traces.Take();
  EXPECT_NE(std::find_if(lines.begin(), lines.end(),
                         [](const std::string& l) { return l.find("/no/such/ui.so") != std::string::npos; }),
            lines.end());
  ClosePrinter(printer);
}

}  // namespace
