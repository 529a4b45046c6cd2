// The printer properties' pages driven as a user would, with fake USB printers standing in for
// the machine's: sleep time by port kind and user, the command's bytes, a busy printer, trays,
// the driver version from the INF, the font and web buttons.
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "entry/property_sheets.h"
#include "entry_fixture.h"
#include "platform/device_hooks.h"
#include "platform/sheet_driver.h"
#include "store/printer_data.h"
#include "win/dialogs.h"
#include "win/printer_ui.h"

namespace {

using platform::hooks::FakeUsbPrinter;
using platform::ui::PropertySheet;
using Bytes = std::vector<uint8_t>;

constexpr int kSleepList = 1393, kSleepLabel = 1447, kVersion = 1448;
constexpr int kTray1Installed = 5084, kTray2Installed = 5085, kTray1Paper = 5080, kTray2Paper = 5081;

class DevicePageTest : public testsupport::EntryTest {
 protected:
  void SetUp() override {
    EntryTest::SetUp();
    ui::SetSheetWindowCalls(ui::PlatformSheetWindowCalls());
    platform::hooks::SetAdministrator(true);
  }
  void TearDown() override {
    sheet_.reset();
    for (HANDLE h : printers_) ClosePrinter(h);
    EntryTest::TearDown();
  }

  void AddPrinterOn(const std::u16string& name, const std::string& port) {
    ASSERT_TRUE(platform::spooler::AddPrinter({name, kDriver, "/opt/dr.so",
                                               std::string(RT7700_LIB_DIR) + "/rt7700PCL5eui.so", u"winprint", port,
                                               {}}));
  }

  // The printer properties of `name`, open on the power-saving page.
  PropertySheet& Open(const std::u16string& name = u"USB Printer") {
    sheet_.reset();
    HANDLE printer = nullptr;
    EXPECT_TRUE(OpenPrinterW(name.c_str(), &printer, nullptr));
    printers_.push_back(printer);
    header_ = {sizeof(DEVICEPROPERTYHEADER), 0, printer, const_cast<LPWSTR>(printers_names_.emplace_back(name).c_str())};
    std::string error;
    sheet_ = PropertySheet::Open(ui::DevicePropertySheets, reinterpret_cast<LPARAM>(&header_), error);
    EXPECT_NE(sheet_, nullptr) << error;
    return *sheet_;
  }
  HANDLE Printer() const { return printers_.back(); }

  // A ready printer on USB001 reporting `minutes`.
  void ReadyUsbPrinter(uint8_t state, uint8_t minutes) {
    AddPrinterOn(u"USB Printer", "USB001");
    FakeUsbPrinter fake;
    fake.portNumber = 1;
    fake.statusReply = Bytes{state, minutes, 0, 0};
    platform::hooks::InstallFakeUsbPrinter(fake);
  }

  LONG_PTR SelectedMinutes() const {
    HWND list = sheet_->Find(kSleepList);
    LRESULT index = SendMessageW(list, CB_GETCURSEL, 0, 0);
    return index < 0 ? -1 : SendMessageW(list, CB_GETITEMDATA, static_cast<WPARAM>(index), 0);
  }
  bool Enabled(int id) const { return IsWindowEnabled(sheet_->Find(id)) != FALSE; }
  bool Visible(int id) const { return IsWindowVisible(sheet_->Find(id)) != FALSE; }
  LRESULT Selection(int id) const { return SendMessageW(sheet_->Find(id), CB_GETCURSEL, 0, 0); }
  std::u16string Text(int id) const {
    WCHAR text[256] = {};
    GetWindowTextW(sheet_->Find(id), text, 256);
    return text;
  }

  std::unique_ptr<PropertySheet> sheet_;
  std::vector<HANDLE> printers_;
  std::vector<std::u16string> printers_names_;
  DEVICEPROPERTYHEADER header_{};
};

const Bytes kEnterLanguage = [] {
  std::string s = "\x1b%-12345X@PJL ENTER LANGUAGE=ACL\r\n";
  return Bytes(s.begin(), s.end());
}();
const Bytes kExit = {0x1B, '%', '-', '1', '2', '3', '4', '5', 'X'};

TEST_F(DevicePageTest, AUsbPrinterReportingTheLongestTimeShowsEightHoursAndStoresIt) {
  ReadyUsbPrinter(2, 254);
  Open();
  EXPECT_EQ(SelectedMinutes(), 480);
  EXPECT_EQ(Text(kSleepList), u"8 hours");
  EXPECT_EQ(ui::ReadSleepTime(Printer()), 480);
  EXPECT_TRUE(Visible(kSleepList));
  EXPECT_TRUE(Enabled(kSleepList));
  // The status request: three zero bytes in, room for the whole reply out.
  auto requests = platform::hooks::TakeUsbRequests(1);
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests[0].code, 0x0022003Cu);
  EXPECT_EQ(requests[0].input, (Bytes{0, 0, 0}));
  EXPECT_EQ(requests[0].outputSize, 3840u);
  EXPECT_TRUE(platform::hooks::TakeUsbWrites(1).empty());
}

TEST_F(DevicePageTest, ChoosingFifteenMinutesOnAReadyUsbPrinterSendsTheCommandAndStoresIt) {
  for (uint8_t state : {2, 4}) {
    SCOPED_TRACE(state);
    platform::hooks::RemoveFakeUsbPrinters();
    ReadyUsbPrinter(state, 5);
    Open();
    EXPECT_EQ(SelectedMinutes(), 5);
    ASSERT_TRUE(platform::ui::Choose(sheet_->Find(kSleepList), u"15 minutes"));
    EXPECT_TRUE(sheet_->ApplyEnabled());
    ASSERT_TRUE(sheet_->Apply());
    auto writes = platform::hooks::TakeUsbWrites(1);
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[0], kEnterLanguage);
    EXPECT_EQ(writes[1], (Bytes{0x00, 0xAC, 0xFF, 0x82, 0x00, 0x0F, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(writes[2], kExit);
    EXPECT_EQ(ui::ReadSleepTime(Printer()), 15);
    EXPECT_TRUE(platform::hooks::TakeMessageBoxes().empty());
  }
}

TEST_F(DevicePageTest, EightHoursGoesOutAsMinutesInTwoBytes) {
  ReadyUsbPrinter(2, 5);
  Open();
  ASSERT_TRUE(platform::ui::Choose(sheet_->Find(kSleepList), u"8 hours"));
  ASSERT_TRUE(sheet_->Ok());
  auto writes = platform::hooks::TakeUsbWrites(1);
  ASSERT_EQ(writes.size(), 3u);
  EXPECT_EQ(writes[1], (Bytes{0x00, 0xAC, 0xFF, 0x82, 0x01, 0xE0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(ui::ReadSleepTime(Printer()), 480);
}

TEST_F(DevicePageTest, ABusyPrinterGetsTheWarningNothingIsSentAndTheUserMayRetry) {
  ReadyUsbPrinter(3, 5);
  Open();
  ASSERT_TRUE(platform::ui::Choose(sheet_->Find(kSleepList), u"15 minutes"));
  ASSERT_TRUE(sheet_->Apply());
  EXPECT_TRUE(platform::hooks::TakeUsbWrites(1).empty());
  EXPECT_EQ(ui::ReadSleepTime(Printer()), 5);
  auto boxes = platform::hooks::TakeMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, u"Power Saving");
  EXPECT_NE(boxes[0].text.find(u"busy"), std::u16string::npos);
  EXPECT_EQ(boxes[0].type & 0xF0u, MB_ICONEXCLAMATION);
  // The page marks itself changed again shortly after, so Apply is offered for a retry.
  platform::ui::AdvanceTime(25);
  EXPECT_TRUE(sheet_->ApplyEnabled());
  platform::hooks::SetUsbStatusReply(1, Bytes{2, 5});
  ASSERT_TRUE(sheet_->Apply());
  EXPECT_EQ(platform::hooks::TakeUsbWrites(1).size(), 3u);
  EXPECT_EQ(ui::ReadSleepTime(Printer()), 15);
}

TEST_F(DevicePageTest, APrinterThatDoesNotAnswerKeepsTheStoredTimeAndGetsNothing) {
  AddPrinterOn(u"USB Printer", "USB001");
  FakeUsbPrinter fake;
  fake.portNumber = 1;  // no status reply
  platform::hooks::InstallFakeUsbPrinter(fake);
  HANDLE printer = nullptr;
  ASSERT_TRUE(OpenPrinterW(u"USB Printer", &printer, nullptr));
  ASSERT_TRUE(ui::WriteSleepTime(printer, 30));
  ClosePrinter(printer);
  Open();
  EXPECT_EQ(SelectedMinutes(), 30);
  ASSERT_TRUE(platform::ui::Choose(sheet_->Find(kSleepList), u"60 minutes"));
  ASSERT_TRUE(sheet_->Apply());
  EXPECT_TRUE(platform::hooks::TakeUsbWrites(1).empty());
  EXPECT_TRUE(platform::hooks::TakeMessageBoxes().empty());
  EXPECT_EQ(ui::ReadSleepTime(Printer()), 30);
}

TEST_F(DevicePageTest, NetworkPortsShowNoSleepTimeAndApplySendsNothing) {
  // A USB printer on USB001 is present too: nothing may reach it.
  FakeUsbPrinter fake;
  fake.portNumber = 1;
  fake.statusReply = Bytes{2, 7};
  platform::hooks::InstallFakeUsbPrinter(fake);
  int n = 0;
  for (const char* port : {"WSD-6c1f0a2e-0b1d-4c63-9a2f-2a1e4f1b0c11", "IP_10.0.0.5", "socket://10.0.0.6:9100"}) {
    SCOPED_TRACE(port);
    std::u16string name = u"Network Printer " + std::u16string(1, static_cast<char16_t>(u'1' + n++));
    AddPrinterOn(name, port);
    Open(name);
    EXPECT_FALSE(Visible(kSleepList));
    EXPECT_FALSE(Enabled(kSleepList));
    EXPECT_FALSE(Visible(kSleepLabel));
    EXPECT_EQ(Selection(kSleepList), 0);
    ASSERT_TRUE(platform::ui::ChooseIndex(sheet_->Find(kTray1Installed), 1));
    ASSERT_TRUE(sheet_->Apply());
    EXPECT_TRUE(platform::hooks::TakeUsbRequests(1).empty());
    EXPECT_TRUE(platform::hooks::TakeUsbWrites(1).empty());
    EXPECT_EQ(ui::ReadSleepTime(Printer()), std::nullopt);
  }
}

TEST_F(DevicePageTest, OnlyAnAdministratorOfALocalPrinterMayChangeTheSleepTime) {
  // The printer reports 7 minutes, which no entry has: the first entry shows and differs from the
  // stored value, so an apply would send if it were allowed.
  struct Case {
    const char* what;
    bool administrator;
    std::u16string name;
  };
  for (const Case& c : {Case{"other user", false, u"USB Printer"}, Case{"shared", true, u"\\\\office\\USB Printer"}}) {
    SCOPED_TRACE(c.what);
    platform::hooks::RemoveFakeUsbPrinters();
    platform::hooks::SetAdministrator(c.administrator);
    AddPrinterOn(c.name, "USB001");
    FakeUsbPrinter fake;
    fake.portNumber = 1;
    fake.statusReply = Bytes{2, 7};
    platform::hooks::InstallFakeUsbPrinter(fake);
    Open(c.name);
    EXPECT_TRUE(Visible(kSleepList));
    EXPECT_FALSE(Enabled(kSleepList));
    EXPECT_FALSE(platform::ui::Choose(sheet_->Find(kSleepList), u"15 minutes"));
    EXPECT_EQ(SelectedMinutes(), 1);
    ASSERT_TRUE(platform::ui::ChooseIndex(sheet_->Find(kTray1Installed), 1));
    ASSERT_TRUE(sheet_->Apply());
    EXPECT_TRUE(platform::hooks::TakeUsbWrites(1).empty());
    EXPECT_EQ(ui::ReadSleepTime(Printer()), 7);
  }
}

TEST_F(DevicePageTest, ChoosingTheTimeThePrinterHasLeavesNothingToApply) {
  ReadyUsbPrinter(2, 5);
  Open();
  ASSERT_TRUE(platform::ui::Choose(sheet_->Find(kSleepList), u"15 minutes"));
  EXPECT_TRUE(sheet_->ApplyEnabled());
  ASSERT_TRUE(platform::ui::Choose(sheet_->Find(kSleepList), u"5 minutes"));
  EXPECT_FALSE(sheet_->ApplyEnabled());
}

TEST_F(DevicePageTest, ThePortNumberFindsTheDeviceAmongManyAndSkipsOtherInterfaces) {
  AddPrinterOn(u"USB Printer", "USB019");
  // Twenty interfaces (more than the first batches hold); a DOT4 interface claims the same port.
  FakeUsbPrinter dot4;
  dot4.portNumber = 19;
  dot4.instance = u"dot4";
  dot4.statusReply = Bytes{2, 60};
  platform::hooks::InstallFakeUsbPrinter(dot4);
  for (DWORD port = 1; port <= 20; ++port) {
    FakeUsbPrinter fake;
    fake.portNumber = port == 19 ? 19 : port + 100;
    fake.statusReply = Bytes{2, static_cast<uint8_t>(port == 19 ? 30 : 15)};
    platform::hooks::InstallFakeUsbPrinter(fake);
  }
  Open();
  EXPECT_EQ(SelectedMinutes(), 30);
}

TEST_F(DevicePageTest, TrayPaperListsFollowTheirInstallationListsAndTheChoicesPersist) {
  ReadyUsbPrinter(2, 5);
  // What the page does not own of the record stays as stored.
  HANDLE printer = nullptr;
  ASSERT_TRUE(OpenPrinterW(u"USB Printer", &printer, nullptr));
  ASSERT_TRUE(ui::WriteTrayInstall(printer, {0, 0, 0, 0, 7, 9}));
  ClosePrinter(printer);
  Open();
  EXPECT_EQ(Selection(kTray1Installed), 0);
  EXPECT_FALSE(Enabled(kTray1Paper));
  EXPECT_FALSE(Enabled(1460));
  EXPECT_FALSE(Enabled(kTray2Paper));
  EXPECT_FALSE(platform::ui::Choose(sheet_->Find(kTray1Paper), u"A4"));
  ASSERT_TRUE(platform::ui::Choose(sheet_->Find(kTray1Installed), u"Installed"));
  EXPECT_TRUE(Enabled(kTray1Paper));
  EXPECT_TRUE(Enabled(1460));
  EXPECT_FALSE(Enabled(kTray2Paper));
  ASSERT_TRUE(platform::ui::Choose(sheet_->Find(kTray1Paper), u"A4"));
  ASSERT_TRUE(platform::ui::Choose(sheet_->Find(kTray2Installed), u"Installed"));
  ASSERT_TRUE(platform::ui::Choose(sheet_->Find(kTray2Paper), u"Statement"));
  EXPECT_TRUE(sheet_->ApplyEnabled());
  ASSERT_TRUE(sheet_->Ok());
  ui::TrayInstallRecord r = ui::ReadTrayInstall(Printer());
  EXPECT_EQ(r.tray1Installed, 1);
  EXPECT_EQ(r.tray2Installed, 1);
  EXPECT_EQ(r.tray1Paper, 1);
  EXPECT_EQ(r.tray2Paper, 11);
  EXPECT_EQ(r.reserved16, 7);
  EXPECT_EQ(r.reserved18, 9);

  Open();
  EXPECT_EQ(Selection(kTray1Installed), 1);
  EXPECT_EQ(Text(kTray1Paper), u"A4");
  EXPECT_EQ(Text(kTray2Paper), u"Statement");
  EXPECT_TRUE(Enabled(kTray1Paper));
  ASSERT_TRUE(platform::ui::ChooseIndex(sheet_->Find(kTray1Installed), 0));
  EXPECT_FALSE(Enabled(kTray1Paper));
  EXPECT_TRUE(Enabled(kTray2Paper));
}

TEST_F(DevicePageTest, AStoredRecordOutOfRangeShowsTheFirstEntries) {
  ReadyUsbPrinter(2, 5);
  HANDLE printer = nullptr;
  ASSERT_TRUE(OpenPrinterW(u"USB Printer", &printer, nullptr));
  ASSERT_TRUE(ui::WriteTrayInstall(printer, {5, -1, 12, 400, 0, 0}));
  ClosePrinter(printer);
  Open();
  EXPECT_EQ(Selection(kTray1Installed), 0);
  EXPECT_EQ(Selection(kTray2Installed), 0);
  EXPECT_EQ(Selection(kTray1Paper), 0);
  EXPECT_EQ(Selection(kTray2Paper), 0);
}

TEST_F(DevicePageTest, TheDriverVersionComesFromTheDriversOwnInf) {
  namespace fs = std::filesystem;
  fs::path inf = root_.path() / "platform" / "windows" / "inf";
  fs::create_directories(inf);
  std::ofstream(inf / "oem1.inf") << "[Version]\nDriverVer=01/01/2020,9.9.9.9\n[Taliro]\n"
                                     "\"Taliro R7700D Series PCL5e\" = RT7700,USBPRINT\\OtherModel\n";
  std::ofstream(inf / "oem2.inf") << "[Version]\r\nSignature=\"$Windows NT$\"\r\nDriverVer = 11/30/2026,3.1.0.7 ; build\r\n"
                                     "[Taliro]\r\n\"Taliro R7700D Series PCL5e\" = RT7700,USBPRINT\\TaliroR7700D_SeriesA3D7\r\n";
  std::ofstream(inf / "oem3.inf") << "[Version]\nDriverVer=02/02/2022,2.0\n[Taliro]\n"
                                     "\"Taliro R7700D Series PCL5e\" = RT7700,USBPRINT\\TaliroR7700D_SeriesA3D7\n";
  std::ofstream(inf / "printer.inf") << "[Version]\nDriverVer=03/03/2023,4.0\n[Taliro]\n"
                                        "\"Taliro R7700D Series PCL5e\" = RT7700,USBPRINT\\TaliroR7700D_SeriesA3D7\n";
  ReadyUsbPrinter(2, 5);
  Open();
  EXPECT_EQ(Text(kVersion), u"3.1.0.7");
  ASSERT_TRUE(sheet_->SwitchTo(1));
  EXPECT_EQ(Text(6713), u"3.1.0.7");
}

TEST_F(DevicePageTest, TheDeviceOptionsPageShowsModelPortAndMonitor) {
  ReadyUsbPrinter(2, 5);
  Open();
  ASSERT_EQ(sheet_->PageCount(), 2u);
  ASSERT_TRUE(sheet_->SwitchTo(1));
  EXPECT_EQ(Text(6711), kDriver);
  EXPECT_EQ(Text(6713), u"Unknown");  // no INF of the driver
  EXPECT_EQ(Text(6715), u"USB001");
  EXPECT_EQ(Text(6717), u"USB Monitor");
}

TEST_F(DevicePageTest, TheFontButtonOpensTheSubstitutionDialogAndTheWebButtonTheMakersPage) {
  ReadyUsbPrinter(2, 5);
  Open();
  // Cancelled: nothing changed.
  ASSERT_TRUE(platform::ui::Click(sheet_->Find(1455)));
  EXPECT_FALSE(sheet_->ApplyEnabled());
  int seen = 0;
  platform::ui::QueueModalScript([&](HWND dialog) {
    ++seen;
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  });
  ASSERT_TRUE(platform::ui::Click(sheet_->Find(1455)));
  EXPECT_EQ(seen, 1);
  EXPECT_TRUE(sheet_->ApplyEnabled());

  ASSERT_TRUE(platform::ui::Click(sheet_->Find(1255)));
  auto shell = platform::ui::TakeShellExecutes();
  ASSERT_EQ(shell.size(), 1u);
  EXPECT_EQ(shell[0].operation, u"open");
  EXPECT_EQ(shell[0].file.rfind(u"https://", 0), 0u);
}

TEST_F(DevicePageTest, HelpOnAControlOpensItsTopic) {
  ReadyUsbPrinter(2, 5);
  Open();
  platform::hooks::TakeHelpCalls();
  ASSERT_TRUE(platform::ui::Help(sheet_->Find(kSleepList)));
  ASSERT_TRUE(platform::ui::Help(sheet_->Find(1455)));
  auto calls = platform::hooks::TakeHelpCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].command, HH_HELP_CONTEXT);
  EXPECT_NE(calls[0].data, calls[1].data);
}

}  // namespace
