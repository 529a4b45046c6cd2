// The printer and driver events: the print processor a printer gets, the identity a cache refresh
// runs under, and the helper programs told to quit, through a real printer of the platform.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <future>

#include "entry/events.h"
#include "entry/host_process.h"
#include "entry_fixture.h"
#include "platform/durable_file.h"
#include "platform/event_hooks.h"
#include "platform/utf16.h"
#include "support/pipe_listener.h"
#include "win/modules.h"
#include "win/namedpipe.h"
#include "win/printer_ui.h"

namespace {

using namespace std::chrono_literals;
using testsupport::CloseMessage;
using testsupport::PipeListener;

// Far below the 20-second wait for a busy helper, so a test that ends within it did not wait.
constexpr auto kPromptly = 10s;

class EventsTest : public testsupport::EntryTest {
 protected:
  void SetUp() override {
    EntryTest::SetUp();
    auto runtime = root_.path() / "run";
    std::filesystem::create_directories(runtime);
    ASSERT_EQ(::chmod(runtime.c_str(), 0700), 0);
    platform::hooks::SetPipeRuntimeFolder(runtime.string());
  }
  static std::u16string Processor(const std::u16string& printer = kPrinter) {
    auto config = platform::spooler::FindPrinter(printer);
    return config ? config->printProcessor : u"(no printer)";
  }
  static BOOL Event(INT event, std::u16string printer = kPrinter) { return ui::PrinterEvent(printer.data(), event); }
  static std::string Token(const std::vector<std::string>& switches) {
    return switches.empty() ? std::string() : switches.front().substr(switches.front().find(' ') + 1);
  }
};

TEST_F(EventsTest, InitializeGivesThePrinterThisDriversPrintProcessor) {
  ASSERT_EQ(Processor(), u"winprint");
  auto devmode = Current();
  const auto* bytes = reinterpret_cast<const uint8_t*>(&devmode);
  auto config = *platform::spooler::FindPrinter(kPrinter);
  config.defaultDevmode.assign(bytes, bytes + sizeof devmode);
  ASSERT_TRUE(platform::spooler::AddPrinter(config));

  EXPECT_TRUE(Event(PRINTER_EVENT_INITIALIZE));
  EXPECT_EQ(Processor(), ui::kPrintProcessor);
  EXPECT_EQ(Processor().size(), 28u);
  // Written back whole: the default devmode is the one the printer had.
  EXPECT_EQ(platform::spooler::FindPrinter(kPrinter)->defaultDevmode, config.defaultDevmode);
  // The spooler's own identity is not taken for this.
  EXPECT_TRUE(platform::hooks::TakeIdentitySwitches().empty());

  EXPECT_FALSE(Event(PRINTER_EVENT_INITIALIZE, u"No Such Printer"));
}

TEST_F(EventsTest, AnUpdateThatFailsLeavesThePrinterAndStillSucceeds) {
  platform::hooks::FailDurableReplaceAt(platform::hooks::DurableStep::Rename);
  EXPECT_TRUE(Event(PRINTER_EVENT_INITIALIZE));
  EXPECT_TRUE(Event(PRINTER_EVENT_CACHE_REFRESH));
  platform::hooks::FailDurableReplaceAt(std::nullopt);
  EXPECT_EQ(Processor(), u"winprint");
}

// The platform has no client-side printer cache to refresh, so the export is called as it would be.
TEST_F(EventsTest, CacheRefreshRevertsOpensAndImpersonatesWithTheSameToken) {
  HMODULE library = LoadLibraryW(platform::Utf8ToUtf16(std::string(RT7700_LIB_DIR) + "/rt7700PCL5eui.so").c_str());
  ASSERT_NE(library, nullptr);
  auto exported = reinterpret_cast<PFN_DrvPrinterEvent>(
      reinterpret_cast<void (*)()>(GetProcAddress(library, "DrvPrinterEvent")));
  ASSERT_NE(exported, nullptr);
  std::u16string printer = kPrinter;
  EXPECT_TRUE(exported(printer.data(), PRINTER_EVENT_CACHE_REFRESH, 0, 0));
  FreeLibrary(library);
  EXPECT_EQ(Processor(), ui::kPrintProcessor);
  auto switches = platform::hooks::TakeIdentitySwitches();
  std::string token = Token(switches);
  EXPECT_EQ(switches, (std::vector<std::string>{"revert " + token, "open R7700 Office as spooler", "impersonate " + token}));

  // A printer that cannot be opened: the identity is still given back.
  EXPECT_FALSE(Event(PRINTER_EVENT_CACHE_REFRESH, u"No Such Printer"));
  switches = platform::hooks::TakeIdentitySwitches();
  token = Token(switches);
  EXPECT_EQ(switches, (std::vector<std::string>{"revert " + token, "impersonate " + token}));
}

TEST_F(EventsTest, CacheRefreshWithoutSpoolssOrOneOfItsFunctionsFails) {
  platform::hooks::HideBuiltinFunction("spoolss.dll", "RevertToPrinterSelf");
  EXPECT_FALSE(Event(PRINTER_EVENT_CACHE_REFRESH));
  platform::hooks::ResetAll();
  SetUp();  // the hooks again, with every function of the module there
  platform::hooks::HideBuiltinFunction("spoolss.dll", "ImpersonatePrinterClient");
  EXPECT_FALSE(Event(PRINTER_EVENT_CACHE_REFRESH));
  platform::hooks::HideBuiltinModule("spoolss.dll");
  EXPECT_FALSE(Event(PRINTER_EVENT_CACHE_REFRESH));
  // Nothing was switched and nothing changed.
  EXPECT_TRUE(platform::hooks::TakeIdentitySwitches().empty());
  EXPECT_EQ(Processor(), u"winprint");
}

TEST_F(EventsTest, OtherEventsSucceedAndChangeNothing) {
  for (INT event : {PRINTER_EVENT_ADD_CONNECTION, PRINTER_EVENT_DELETE_CONNECTION, PRINTER_EVENT_CACHE_DELETE, 0, 99}) {
    EXPECT_TRUE(Event(event)) << event;
  }
  EXPECT_EQ(Processor(), u"winprint");
  EXPECT_TRUE(platform::hooks::TakeIdentitySwitches().empty());
  EXPECT_FALSE(ui::DriverEvent(DRIVER_EVENT_INITIALIZE));
  EXPECT_FALSE(ui::DriverEvent(77));
}

TEST_F(EventsTest, DeleteEventsWithNoHelperRunningReturnAtOnce) {
  auto printerDelete = std::async(std::launch::async, [] { return Event(PRINTER_EVENT_DELETE); });
  auto driverDelete = std::async(std::launch::async, [] { return ui::DriverEvent(DRIVER_EVENT_DELETE); });
  ASSERT_EQ(printerDelete.wait_for(kPromptly), std::future_status::ready);
  ASSERT_EQ(driverDelete.wait_for(kPromptly), std::future_status::ready);
  EXPECT_TRUE(printerDelete.get());
  EXPECT_FALSE(driverDelete.get());
}

TEST_F(EventsTest, EachHelperIsToldCloseInOneTwelveByteMessage) {
  PipeListener xps(ui::kXpsHelperPipe), duplex(ui::kDuplexHelperPipe);
  ASSERT_TRUE(xps.Serving() && duplex.Serving());
  xps.Start();
  duplex.Start();
  EXPECT_FALSE(ui::DriverEvent(DRIVER_EVENT_DELETE));
  EXPECT_EQ(xps.WaitForMessages(1, kPromptly), std::vector<std::vector<uint8_t>>{CloseMessage()});
  EXPECT_EQ(duplex.WaitForMessages(1, kPromptly), std::vector<std::vector<uint8_t>>{CloseMessage()});
  EXPECT_EQ(CloseMessage().size(), 12u);

  EXPECT_TRUE(Event(PRINTER_EVENT_DELETE));
  EXPECT_EQ(xps.WaitForMessages(2, kPromptly).size(), 2u);
  EXPECT_EQ(duplex.WaitForMessages(2, kPromptly).size(), 2u);
}

// The duplex helper is busy with another client: the XPS helper is told first, and the duplex one
// once its pipe is free again, within the wait.
TEST_F(EventsTest, TheXpsHelperFirstAndABusyHelperAfterItsWait) {
  PipeListener xps(ui::kXpsHelperPipe), duplex(ui::kDuplexHelperPipe, 1);
  ASSERT_TRUE(xps.Serving() && duplex.Serving());
  xps.Start();
  HANDLE other = CreateFileW(ui::kDuplexHelperPipe, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);

  auto event = std::async(std::launch::async, [] { return ui::DriverEvent(DRIVER_EVENT_DELETE); });
  // Had the duplex helper come first, the event would still be waiting for it here.
  EXPECT_EQ(xps.WaitForMessages(1, kPromptly), std::vector<std::vector<uint8_t>>{CloseMessage()});
  EXPECT_EQ(duplex.Clients(), 0);
  duplex.Start();
  CloseHandle(other);
  EXPECT_EQ(duplex.WaitForMessages(1, kPromptly), std::vector<std::vector<uint8_t>>{CloseMessage()});
  ASSERT_EQ(event.wait_for(kPromptly), std::future_status::ready);
  EXPECT_FALSE(event.get());
  EXPECT_EQ(duplex.Clients(), 2);
}

// As an installer sets a printer up and an administrator removes it.
TEST_F(EventsTest, AddingAPrinterSetsItsProcessorAndDeletingTellsTheHelpers) {
  std::u16string name = u"Taliro Driver", driverPath = u"/opt/dr.so",
                 ui = platform::Utf8ToUtf16(std::string(RT7700_LIB_DIR) + "/rt7700PCL5eui.so");
  DRIVER_INFO_2W driver{3, name.data(), nullptr, driverPath.data(), nullptr, ui.data()};
  ASSERT_TRUE(AddPrinterDriverW(nullptr, 2, reinterpret_cast<LPBYTE>(&driver)));
  std::u16string printer = u"Hall", port = u"MEMORY:", processor = u"winprint";
  PRINTER_INFO_2W info{};
  info.pPrinterName = printer.data();
  info.pPortName = port.data();
  info.pDriverName = name.data();
  info.pPrintProcessor = processor.data();
  HANDLE handle = AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(Processor(u"Hall"), ui::kPrintProcessor);

  PipeListener xps(ui::kXpsHelperPipe), duplex(ui::kDuplexHelperPipe);
  xps.Start();
  duplex.Start();
  EXPECT_TRUE(DeletePrinter(handle));
  ClosePrinter(handle);
  EXPECT_EQ(xps.WaitForMessages(1, kPromptly), std::vector<std::vector<uint8_t>>{CloseMessage()});
  EXPECT_EQ(duplex.WaitForMessages(1, kPromptly), std::vector<std::vector<uint8_t>>{CloseMessage()});
  EXPECT_FALSE(platform::spooler::FindPrinter(u"Hall"));
}

TEST(IsHostProcess, TheFileNameAfterTheLastSeparatorWithoutCase) {
  platform::hooks::SetExecutableName("C:\\Windows\\System32\\PrintFilterPipelineSvc.exe");
  EXPECT_TRUE(ui::IsHostProcess(u"printfilterpipelinesvc.exe"));
  EXPECT_FALSE(ui::IsHostProcess(u"MSPUB.EXE"));
  for (const char* path : {"x:mspub.exe", "/opt/a:b\\MsPub.Exe", "dir/MSPUB.EXE", "MSPUB.EXE"}) {
    platform::hooks::SetExecutableName(path);
    EXPECT_TRUE(ui::IsHostProcess(u"MSPUB.EXE")) << path;
  }
  for (const char* path : {"MSPUB.EXE/", "mspub.exe ", "xmspub.exe", "mspub.ex", "MSPUB.EXE\\x", ""}) {
    platform::hooks::SetExecutableName(path);
    EXPECT_FALSE(ui::IsHostProcess(u"MSPUB.EXE")) << path;
  }
  // Non-ASCII letters are compared as they are.
  platform::hooks::SetExecutableName("\xC3\x89.exe");
  EXPECT_FALSE(ui::IsHostProcess(u"\u00e9.exe"));
  EXPECT_TRUE(ui::IsHostProcess(u"\u00c9.EXE"));
}

TEST(IsHostProcess, WithoutTheHookItIsThisProgram) { EXPECT_TRUE(ui::IsHostProcess(u"UI_TESTS")); }

}  // namespace
