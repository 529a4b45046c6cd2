// GDI for applications over a fake driver: which hooks each call reaches, in which order, with
// which PDEV and surface, and what the application is told when something fails.
#include <arpa/inet.h>
#include <dlfcn.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <gtest/gtest.h>

#include "support/loopback.h"

#include <cstring>
#include <vector>

#include "fake_driver.h"
#include "platform/spooler_admin.h"
#include "platform/test_hooks.h"
#include "support/temp_dir.h"
#include "win/error.h"
#include "win/winddi.h"
#include "win/wingdi.h"

namespace {

using Calls = std::vector<std::string>;
constexpr DWORD kSentinel = 0xDEADBEEF;
const std::u16string kPrinter = u"Fake R7700";

// Keeps the fake libraries loaded for the test's whole run, so their logs outlive the GDI's own
// loading and unloading.
struct Fakes {
  Fakes() {
    driverModule = dlopen(FAKE_DRIVER_PATH, RTLD_NOW);
    interfaceModule = dlopen(FAKE_INTERFACE_PATH, RTLD_NOW);
    if (driverModule != nullptr)
      driver = reinterpret_cast<fakes::DriverStateFn>(dlsym(driverModule, "FakeDriverState"))();
    if (interfaceModule != nullptr)
      ui = reinterpret_cast<fakes::InterfaceStateFn>(dlsym(interfaceModule, "FakeInterfaceState"))();
  }
  void* driverModule = nullptr;
  void* interfaceModule = nullptr;
  fakes::DriverState* driver = nullptr;
  fakes::InterfaceState* ui = nullptr;
};

Fakes& Libraries() {
  static Fakes f;
  return f;
}

std::vector<uint8_t> Devmode(SHORT copies) {
  DEVMODEW dm{};
  std::memcpy(dm.dmDeviceName, u"Fake R7700", sizeof(u"Fake R7700"));
  dm.dmSpecVersion = 0x401;
  dm.dmSize = sizeof(DEVMODEW);
  dm.dmFields = DM_COPIES;
  dm.dmCopies = copies;
  std::vector<uint8_t> bytes(sizeof dm);
  std::memcpy(bytes.data(), &dm, sizeof dm);
  return bytes;
}

// The PDEV number of a logged hook line ("EnablePDEV 12 copies=1 ...").
std::string IdOf(const std::string& line) {
  size_t start = line.find(' ') + 1;
  return line.substr(start, line.find(' ', start) - start);
}

const DEVMODEW* Dm(const std::vector<uint8_t>& bytes) { return reinterpret_cast<const DEVMODEW*>(bytes.data()); }

class GdiTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(Libraries().driver, nullptr) << dlerror();
    ASSERT_NE(Libraries().ui, nullptr) << dlerror();
    driver().calls.clear();
    driver().failing.clear();
    driver().surfaceErrors.clear();
    driver().logProgram = false;
    ui().events.clear();
    ui().refused.clear();
    platform::hooks::SetPlatformRoot(dir.str());
    AddPrinter(FAKE_DRIVER_PATH, "", {});
    platform::hooks::TakeMemoryPrinterBytes(kPrinter);  // what earlier tests left
  }
  void TearDown() override { EXPECT_EQ(driver().surfaceErrors, Calls{}); }

  static fakes::DriverState& driver() { return *Libraries().driver; }
  static fakes::InterfaceState& ui() { return *Libraries().ui; }

  void AddPrinter(std::string driverPath, std::string interfacePath, std::vector<uint8_t> devmode) {
    platform::spooler::PrinterConfig config;
    config.name = kPrinter;
    config.driverName = u"Fake";
    config.driverPath = std::move(driverPath);
    config.configPath = std::move(interfacePath);
    config.port = "MEMORY:";
    config.defaultDevmode = std::move(devmode);
    ASSERT_TRUE(platform::spooler::AddPrinter(config));
  }

  HDC Open(const DEVMODEW* dm = nullptr) {
    HDC hdc = CreateDCW(u"WINSPOOL", kPrinter.c_str(), nullptr, dm);
    EXPECT_NE(hdc, nullptr);
    return hdc;
  }

  // The calls logged since the last take, without the device set-up.
  Calls Take() {
    Calls out;
    out.swap(driver().calls);
    return out;
  }

  testsupport::TempDir dir;
};

TEST_F(GdiTest, CreateRefusesUnknownPrintersAndLibrariesThatAreNoDrivers) {
  SetLastError(kSentinel);
  EXPECT_EQ(CreateDCW(nullptr, u"No such printer", nullptr, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PRINTER_NAME);

  AddPrinter(dir.str() + "/missing.so", "", {});
  SetLastError(kSentinel);
  EXPECT_EQ(CreateDCW(nullptr, kPrinter.c_str(), nullptr, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);

  AddPrinter(FAKE_INTERFACE_PATH, "", {});  // a library without DrvEnableDriver
  SetLastError(kSentinel);
  EXPECT_EQ(CreateDCW(nullptr, kPrinter.c_str(), nullptr, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);

  AddPrinter(FAKE_DRIVER_PATH, "", {});
  driver().failing = {"EnableSurface"};
  SetLastError(kSentinel);
  EXPECT_EQ(CreateDCW(nullptr, kPrinter.c_str(), nullptr, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  Calls calls = Take();
  ASSERT_EQ(calls.size(), 6u);
  std::string id = IdOf(calls[1]);
  EXPECT_EQ(Calls(calls.begin() + 2, calls.end()),
            (Calls{"CompletePDEV " + id, "EnableSurface " + id, "DisablePDEV " + id, "DisableDriver"}));
}

TEST_F(GdiTest, AWholeDocumentReachesTheHooksInOrderWithOnePdevAndItsSurface) {
  auto dm = Devmode(3);
  HDC hdc = Open(Dm(dm));
  Calls setup = Take();
  ASSERT_EQ(setup.size(), 4u);
  EXPECT_EQ(setup[0], "EnableDriver 196608");  // engine version 0x30000
  std::string id = IdOf(setup[1]);
  EXPECT_EQ(setup[1], "EnablePDEV " + id + " copies=3 device=Fake R7700");
  EXPECT_EQ(setup[2], "CompletePDEV " + id);
  EXPECT_EQ(setup[3], "EnableSurface " + id);

  DOCINFOW doc{sizeof(DOCINFOW), u"C:\\reports\\q3.txt", nullptr, nullptr, 0};
  int job = StartDocW(hdc, &doc);
  ASSERT_GT(job, 0);
  for (int page = 0; page < 2; ++page) {
    EXPECT_EQ(StartPage(hdc), 1);
    EXPECT_EQ(EndPage(hdc), 1);
  }
  EXPECT_EQ(EndDoc(hdc), 1);
  EXPECT_TRUE(DeleteDC(hdc));
  EXPECT_EQ(Take(), (Calls{"StartDoc " + id + " doc=C:\\reports\\q3.txt job=" + std::to_string(job),
                           "StartPage " + id, "SendPage " + id, "StartPage " + id, "SendPage " + id,
                           "EndDoc " + id + " flags=0", "DisableSurface " + id, "DisablePDEV " + id,
                           "DisableDriver"}));
}

TEST_F(GdiTest, TheDevmodeIsTheCallersElseAWholeDefaultOfThePrinter) {
  AddPrinter(FAKE_DRIVER_PATH, "", Devmode(5));
  HDC a = Open();
  auto mine = Devmode(2);
  HDC b = Open(Dm(mine));
  auto truncated = Devmode(7);
  truncated.resize(100);  // claims 220 bytes
  AddPrinter(FAKE_DRIVER_PATH, "", truncated);
  HDC c = Open();
  Calls calls = Take();
  ASSERT_EQ(calls.size(), 10u);
  EXPECT_NE(calls[1].find("copies=5"), std::string::npos) << calls[1];
  EXPECT_NE(calls[4].find("copies=2"), std::string::npos) << calls[4];
  EXPECT_NE(calls[7].find("no devmode"), std::string::npos) << calls[7];
  for (HDC h : {a, b, c}) EXPECT_TRUE(DeleteDC(h));
}

TEST_F(GdiTest, OneLoadOfTheDriverServesEveryDeviceContextUntilTheLast) {
  HDC a = Open();
  HDC b = Open();
  EXPECT_TRUE(DeleteDC(a));
  Calls calls = Take();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "EnableDriver 196608"), 1);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "DisableDriver"), 0);
  EXPECT_TRUE(DeleteDC(b));
  EXPECT_EQ(Take().back(), "DisableDriver");
  SetLastError(kSentinel);
  EXPECT_FALSE(DeleteDC(b));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(GdiTest, CallsOutOfOrderAreRefusedWithoutReachingTheDriver) {
  HDC hdc = Open();
  Take();
  SetLastError(kSentinel);
  EXPECT_EQ(StartPage(hdc), SP_ERROR);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(EndDoc(hdc), SP_ERROR);
  EXPECT_EQ(AbortDoc(hdc), SP_ERROR);
  ASSERT_GT(StartDocW(hdc, nullptr), 0);
  SetLastError(kSentinel);
  EXPECT_EQ(StartDocW(hdc, nullptr), SP_ERROR);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(EndPage(hdc), SP_ERROR);
  ASSERT_EQ(StartPage(hdc), 1);
  EXPECT_EQ(StartPage(hdc), SP_ERROR);
  SetLastError(kSentinel);
  EXPECT_EQ(ResetDCW(hdc, nullptr), nullptr);  // only between pages
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  Calls calls = Take();
  EXPECT_EQ(calls.size(), 2u);  // StartDoc, StartPage
  EXPECT_EQ(calls[0].substr(calls[0].find("doc=")), "doc=(none) job=" + calls[0].substr(calls[0].rfind('=') + 1));
  // An open page is ended by EndDoc.
  EXPECT_EQ(EndDoc(hdc), 1);
  calls = Take();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].substr(0, 9), "SendPage ");
  EXPECT_TRUE(DeleteDC(hdc));
  SetLastError(kSentinel);
  EXPECT_EQ(StartDocW(hdc, nullptr), SP_ERROR);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(GdiTest, AbortAndDeleteEndTheDocumentWithTheAbortFlag) {
  HDC hdc = Open();
  std::string id = IdOf(Take()[1]);
  ASSERT_GT(StartDocW(hdc, nullptr), 0);
  ASSERT_EQ(StartPage(hdc), 1);
  EXPECT_EQ(AbortDoc(hdc), 1);
  Calls calls = Take();
  EXPECT_EQ(calls.back(), "EndDoc " + id + " flags=1");
  EXPECT_EQ(EndDoc(hdc), SP_ERROR);  // nothing left to end

  ASSERT_GT(StartDocW(hdc, nullptr), 0);
  EXPECT_TRUE(DeleteDC(hdc));
  calls = Take();
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls[1], "EndDoc " + id + " flags=1");
}

TEST_F(GdiTest, FailuresOfTheDriverAndCancelledJobsFailTheDocument) {
  HDC hdc = Open();
  ASSERT_GT(StartDocW(hdc, nullptr), 0);
  driver().failing = {"StartPage"};
  SetLastError(kSentinel);
  EXPECT_EQ(StartPage(hdc), SP_ERROR);
  EXPECT_EQ(GetLastError(), ERROR_WRITE_FAULT);
  driver().failing.clear();
  SetLastError(kSentinel);
  EXPECT_EQ(EndDoc(hdc), SP_ERROR);  // a lost page is not a printed document
  EXPECT_EQ(GetLastError(), ERROR_WRITE_FAULT);

  ASSERT_GT(StartDocW(hdc, nullptr), 0);
  ASSERT_EQ(StartPage(hdc), 1);
  platform::hooks::CancelJobAt(kPrinter, 0);
  EXPECT_EQ(EndPage(hdc), 1);
  SetLastError(kSentinel);
  EXPECT_EQ(EndDoc(hdc), SP_ERROR);
  EXPECT_EQ(GetLastError(), ERROR_PRINT_CANCELLED);
  EXPECT_TRUE(DeleteDC(hdc));
}

TEST_F(GdiTest, ADeliveryThatFailsFailsTheDocumentThoughTheDriverReportsSuccess) {
  // A listener that is gone by the time the job connects.
  platform::spooler::PrinterConfig config = *platform::spooler::FindPrinter(kPrinter);
  config.port = testsupport::RefusingLoopbackPrinter();
  ASSERT_TRUE(platform::spooler::AddPrinter(config));

  HDC hdc = Open();
  ASSERT_GT(StartDocW(hdc, nullptr), 0);
  SetLastError(kSentinel);
  EXPECT_EQ(EndDoc(hdc), SP_ERROR);
  EXPECT_EQ(GetLastError(), ERROR_CONNECTION_REFUSED);  // the delivery's reason, not a generic fault
  EXPECT_TRUE(DeleteDC(hdc));
}

TEST_F(GdiTest, TheDriverSeesTheProgramTheProcessRunsOrTheOneATestNames) {
  driver().logProgram = true;
  HDC hdc = Open();
  ASSERT_GT(StartDocW(hdc, nullptr), 0);
  ASSERT_EQ(AbortDoc(hdc), 1);
  platform::hooks::SetExecutableName("C:\\Program Files\\Taliro\\rt7700PCL5eWM.EXE");
  ASSERT_GT(StartDocW(hdc, nullptr), 0);
  EXPECT_TRUE(DeleteDC(hdc));
  Calls programs;
  for (const auto& line : Take()) {
    if (line.rfind("Program ", 0) == 0) programs.push_back(line);
  }
  EXPECT_EQ(programs, (Calls{"Program gdi_tests", "Program rt7700PCL5eWM.EXE"}));
}

TEST_F(GdiTest, DrvStartDocRefusingAbandonsTheJob) {
  HDC hdc = Open();
  std::string id = IdOf(Take()[1]);
  driver().failing = {"StartDoc"};
  SetLastError(kSentinel);
  EXPECT_EQ(StartDocW(hdc, nullptr), SP_ERROR);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  Calls calls = Take();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1], "EndDoc " + id + " flags=1");
  EXPECT_EQ(StartPage(hdc), SP_ERROR);
  EXPECT_TRUE(DeleteDC(hdc));
}

TEST_F(GdiTest, ResetBetweenPagesMovesTheDocumentToANewPdev) {
  auto one = Devmode(1);
  HDC hdc = Open(Dm(one));
  std::string first = IdOf(Take()[1]);
  ASSERT_GT(StartDocW(hdc, nullptr), 0);
  ASSERT_EQ(StartPage(hdc), 1);
  ASSERT_EQ(EndPage(hdc), 1);
  Take();

  auto four = Devmode(4);
  EXPECT_EQ(ResetDCW(hdc, Dm(four)), hdc);
  Calls calls = Take();
  ASSERT_EQ(calls.size(), 6u);
  std::string second = IdOf(calls[0]);
  EXPECT_NE(second, first);
  EXPECT_EQ(calls, (Calls{"EnablePDEV " + second + " copies=4 device=Fake R7700", "CompletePDEV " + second,
                          "ResetPDEV " + first + "->" + second, "DisableSurface " + first, "DisablePDEV " + first,
                          "EnableSurface " + second}));

  // A refused reset keeps the device as it was.
  driver().failing = {"ResetPDEV"};
  SetLastError(kSentinel);
  EXPECT_EQ(ResetDCW(hdc, Dm(one)), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  calls = Take();
  ASSERT_EQ(calls.size(), 4u);
  std::string third = IdOf(calls[0]);
  EXPECT_EQ(calls[3], "DisablePDEV " + third);
  driver().failing.clear();

  ASSERT_EQ(StartPage(hdc), 1);
  ASSERT_EQ(EndPage(hdc), 1);
  EXPECT_EQ(EndDoc(hdc), 1);
  EXPECT_EQ(Take(), (Calls{"StartPage " + second, "SendPage " + second, "EndDoc " + second + " flags=0"}));
  EXPECT_TRUE(DeleteDC(hdc));
}

TEST_F(GdiTest, EscapesPassThroughWithACopyOfTheInput) {
  HDC hdc = Open();
  std::string id = IdOf(Take()[1]);
  const char in[6] = "PCL5c";
  char out[8] = {};
  EXPECT_EQ(ExtEscape(hdc, 0x5004, sizeof in, in, sizeof out, out), 106);
  EXPECT_STREQ(in, "PCL5c");  // the driver scribbled over its own copy only
  EXPECT_STREQ(out, "PCL5c");
  EXPECT_EQ(ExtEscape(hdc, static_cast<int>(GETTECHNOLOGY), 0, nullptr, 0, nullptr), 100);
  SetLastError(kSentinel);
  EXPECT_EQ(ExtEscape(hdc, static_cast<int>(GETTECHNOLOGY), -1, in, 0, nullptr), -1);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(ExtEscape(hdc, static_cast<int>(GETTECHNOLOGY), 4, nullptr, 0, nullptr), -1);
  EXPECT_EQ(Take(), (Calls{"Escape " + id + " code=20484 in=6 out=8", "Escape " + id + " code=20 in=0 out=0"}));
  EXPECT_TRUE(DeleteDC(hdc));
}

TEST_F(GdiTest, DeviceCapsComeFromTheGdiInfoOfThePdev) {
  HDC hdc = Open();
  EXPECT_EQ(GetDeviceCaps(hdc, HORZSIZE), 209);  // the driver gave micrometres
  EXPECT_EQ(GetDeviceCaps(hdc, VERTSIZE), 297);
  EXPECT_EQ(GetDeviceCaps(hdc, VERTRES), 6779);
  EXPECT_EQ(GetDeviceCaps(hdc, PHYSICALHEIGHT), 7015);
  EXPECT_EQ(GetDeviceCaps(hdc, PHYSICALOFFSETX), 118);
  EXPECT_EQ(GetDeviceCaps(hdc, 9999), 0);
  EXPECT_TRUE(DeleteDC(hdc));
  SetLastError(kSentinel);
  EXPECT_EQ(GetDeviceCaps(hdc, HORZRES), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(GdiTest, TheInterfaceLibrarySeesEachPageEndBeforeTheDriverSendsIt) {
  AddPrinter(FAKE_DRIVER_PATH, FAKE_INTERFACE_PATH, {});
  ui().refused = {DOCUMENTEVENT_STARTDOC};  // a refusal does not stop the job
  HDC hdc = Open();
  std::string id = IdOf(Take()[1]);
  ASSERT_GT(StartDocW(hdc, nullptr), 0);
  ASSERT_EQ(StartPage(hdc), 1);
  ASSERT_EQ(EndPage(hdc), 1);
  ASSERT_EQ(EndDoc(hdc), 1);
  EXPECT_TRUE(DeleteDC(hdc));
  Calls calls = Take();
  ASSERT_EQ(calls.size(), 14u);
  calls[1] = calls[1].substr(0, calls[1].find(" job="));
  auto event = [&](int e) { return "Escape " + id + " event=" + std::to_string(e); };
  EXPECT_EQ(calls, (Calls{event(DOCUMENTEVENT_STARTDOC), "StartDoc " + id + " doc=(none)",
                          event(DOCUMENTEVENT_STARTDOCPOST), event(DOCUMENTEVENT_STARTPAGE), "StartPage " + id,
                          event(DOCUMENTEVENT_ENDPAGE), "SendPage " + id, event(DOCUMENTEVENT_ENDDOC),
                          "EndDoc " + id + " flags=0", event(DOCUMENTEVENT_ENDDOCPOST), event(DOCUMENTEVENT_DELETEDC),
                          "DisableSurface " + id, "DisablePDEV " + id, "DisableDriver"}));
}

}  // namespace
