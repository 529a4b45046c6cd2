// The sheet entry points driven as the common property-sheet UI drives them: a recording
// pfnComPropSheet, page windows that keep their DWLP_ values, and the pages' own messages.
#include <cstring>
#include <map>
#include <thread>
#include <vector>

#include "entry/property_sheets.h"
#include "entry_fixture.h"
#include "platform/sheet_driver.h"
#include "platform/utf16.h"
#include "win/modules.h"

namespace {

using devmode::StoredDevmode;

// The common UI's side of one sheet.
struct Host {
  std::vector<PROPSHEETPAGEW> pages;  // as added
  std::vector<std::u16string> titles;
  int attempts = 0;
  int refuseAt = -1;  // the add with this index (from 0) is refused
  std::vector<LPARAM> results;
};

LONG_PTR WINAPI ComPropSheet(HANDLE handle, UINT function, LPARAM lParam1, LPARAM lParam2) {
  auto* host = static_cast<Host*>(handle);
  if (function == CPSFUNC_ADD_PROPSHEETPAGEW) {
    if (host->attempts++ == host->refuseAt) return 0;
    const auto* page = reinterpret_cast<const PROPSHEETPAGEW*>(lParam1);
    host->pages.push_back(*page);
    host->titles.emplace_back((page->dwFlags & PSP_USETITLE) != 0 ? page->pszTitle : u"");
    return static_cast<LONG_PTR>(host->pages.size());
  }
  if (function == CPSFUNC_SET_RESULT) {
    EXPECT_EQ(lParam1, 0);
    host->results.push_back(lParam2);
    return 1;
  }
  return -1;
}

// Page windows: their DWLP_ values, their parent and what was sent to it.
std::map<std::pair<HWND, int>, LONG_PTR> gLongs;
std::vector<std::pair<HWND, UINT>> gSent;
int gCommonControls = 0;
const HWND kSheetWindow = reinterpret_cast<HWND>(0x9000);

LONG_PTR FakeSetLong(HWND w, int index, LONG_PTR value) {
  LONG_PTR old = gLongs[{w, index}];
  gLongs[{w, index}] = value;
  return old;
}
LONG_PTR FakeGetLong(HWND w, int index) { return gLongs[{w, index}]; }
HWND FakeParent(HWND) { return kSheetWindow; }
LRESULT FakeSend(HWND w, UINT message, WPARAM, LPARAM) {
  gSent.emplace_back(w, message);
  return 0;
}
BOOL FakeInitControls(const INITCOMMONCONTROLSEX* c) {
  EXPECT_EQ(c->dwICC, 0x3FFFu);
  ++gCommonControls;
  return TRUE;
}

HWND PageWindow(size_t i) { return reinterpret_cast<HWND>(0x1000 + i); }

class PropertySheetsTest : public testsupport::EntryTest {
 protected:
  void SetUp() override {
    EntryTest::SetUp();
    gLongs.clear();
    gSent.clear();
    gCommonControls = 0;
    ui::SetSheetWindowCalls({FakeSetLong, FakeGetLong, FakeParent, FakeSend, FakeInitControls});
    ASSERT_TRUE(OpenPrinterW(kPrinter, &printer_, nullptr));
  }
  void TearDown() override {
    ClosePrinter(printer_);
    ui::SetSheetWindowCalls(ui::PlatformSheetWindowCalls());
    EntryTest::TearDown();
  }

  // Printer kPrinter again, now with a default devmode and attributes.
  static void AddPrinterWith(const StoredDevmode* defaults, DWORD attributes = PRINTER_ATTRIBUTE_LOCAL) {
    platform::spooler::PrinterConfig c{kPrinter, kDriver, "/opt/dr.so", std::string(RT7700_LIB_DIR) + "/rt7700PCL5eui.so",
                                       u"winprint", "MEMORY:", {}};
    if (defaults != nullptr) {
      const auto* b = reinterpret_cast<const uint8_t*>(defaults);
      c.defaultDevmode.assign(b, b + sizeof *defaults);
    }
    c.attributes = attributes;
    ASSERT_TRUE(platform::spooler::AddPrinter(c));
  }

  // The interface library beside a language module that holds only pages 111, 645 and 651.
  static void UsePartialModule() {
    ui::ReleaseLanguageResources();
    platform::hooks::SetModuleFileName(std::string(RT7700_PARTIAL_MODULE_DIR) + "/rt7700PCL5eui.so");
  }

  DOCUMENTPROPERTYHEADER Header(DWORD mode, DEVMODEW* in, DEVMODEW* out, DWORD cbOut = 0) {
    return {sizeof(DOCUMENTPROPERTYHEADER), 0, printer_, const_cast<LPWSTR>(kPrinter), in, out, cbOut, mode};
  }
  PROPSHEETUI_INFO Info(Host* host, void* header, WORD reason = PROPSHEETUI_REASON_INIT) {
    return {sizeof(PROPSHEETUI_INFO), 0x100, 0, reason, host, ComPropSheet, reinterpret_cast<LPARAM>(header), 0, 0};
  }
  static ui::SheetState* State(const PROPSHEETUI_INFO& info) { return reinterpret_cast<ui::SheetState*>(info.UserData); }

  // As the property sheet creates its pages and later tells them something.
  static void CreatePages(Host& host) {
    for (size_t i = 0; i < host.pages.size(); ++i) {
      PROPSHEETPAGEW& p = host.pages[i];
      if (p.pfnCallback != nullptr) {
        EXPECT_EQ(p.pfnCallback(nullptr, PSPCB_CREATE, &p), 1u);
      }
      EXPECT_EQ(p.pfnDlgProc(PageWindow(i), WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(&p)), TRUE);
    }
  }
  static LONG_PTR Notify(Host& host, size_t i, UINT code) {
    NMHDR n{PageWindow(i), 0, code};
    return host.pages[i].pfnDlgProc(PageWindow(i), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&n));
  }
  static void ReleaseFirst(Host& host) { host.pages[0].pfnCallback(nullptr, PSPCB_RELEASE, &host.pages[0]); }
  static LONG Destroy(PROPSHEETUI_INFO& info) {
    info.Reason = PROPSHEETUI_REASON_DESTROY;
    return ui::DocumentPropertySheets(&info, 0);
  }

  HANDLE printer_ = nullptr;
};

// A buffer of exactly `size` bytes followed by a guard that must stay untouched.
struct Guarded {
  explicit Guarded(size_t size) : size(size), bytes(size + kGuard, 0xCD) {}
  DEVMODEW* devmode() { return reinterpret_cast<DEVMODEW*>(bytes.data()); }
  bool guardIntact() const {
    for (size_t i = size; i < bytes.size(); ++i)
      if (bytes[i] != 0xCD) return false;
    return true;
  }
  static constexpr size_t kGuard = 64;
  size_t size;
  std::vector<uint8_t> bytes;
};

TEST_F(PropertySheetsTest, WithoutUiReportsTheSizeAndWritesNothingUnlessAsked) {
  EXPECT_EQ(ui::DocumentPropertySheets(nullptr, 0), 0);
  Guarded out(devmode::kStoredDevmodeSize);
  const std::vector<uint8_t> before = out.bytes;
  for (DWORD mode : {0u, DM_PROMPT | DM_MODIFY}) {
    DOCUMENTPROPERTYHEADER h = Header(mode, nullptr, out.devmode(), 1);
    LONG result = ui::DocumentPropertySheets(nullptr, reinterpret_cast<LPARAM>(&h));
    EXPECT_EQ(result, mode == 0 ? 5076 : 1);
    EXPECT_EQ(h.cbOut, 5076u);
  }
  EXPECT_EQ(out.bytes, before);
  DOCUMENTPROPERTYHEADER noOut = Header(DM_COPY, nullptr, nullptr);
  EXPECT_EQ(ui::DocumentPropertySheets(nullptr, reinterpret_cast<LPARAM>(&noOut)), 5076);
}

TEST_F(PropertySheetsTest, WithoutUiCopiesThePrintersDefaultsMerged) {
  StoredDevmode defaults = Current();
  defaults.pub.dmCopies = 7;
  defaults.pub.dmOrientation = DMORIENT_LANDSCAPE;
  defaults.priv.MultipleUp = 4;
  defaults.priv.FavoriteName[0] = 0;
  defaults.priv.CustomPaperSize[3].width = 2000;
  AddPrinterWith(&defaults);
  Guarded out(devmode::kStoredDevmodeSize);
  DOCUMENTPROPERTYHEADER h = Header(DM_COPY, nullptr, out.devmode());
  ASSERT_EQ(ui::DocumentPropertySheets(nullptr, reinterpret_cast<LPARAM>(&h)), 1);
  EXPECT_TRUE(out.guardIntact());
  const auto* d = reinterpret_cast<const StoredDevmode*>(out.bytes.data());
  EXPECT_EQ(d->pub.dmSize, 220);
  EXPECT_EQ(d->pub.dmDriverExtra, 4856);
  EXPECT_EQ(d->pub.dmCopies, 7);
  EXPECT_EQ(d->pub.dmOrientation, DMORIENT_LANDSCAPE);
  EXPECT_EQ(d->priv.MultipleUp, 4);
  EXPECT_EQ(platform::WideField(d->pub.dmDeviceName, 32), kPrinter);
  // The validation gave the empty favourite the module's default back; custom papers never travel.
  EXPECT_EQ(platform::WideField(d->priv.FavoriteName, 256), u"Default Settings");
  EXPECT_EQ(d->priv.CustomPaperSize[3].width, 0);

  // The print pipeline's own process does not take the printer's defaults.
  platform::hooks::SetExecutableName("/usr/lib/PrintFilterPipelineSvc.exe");
  Guarded filtered(devmode::kStoredDevmodeSize);
  h = Header(DM_UPDATE, nullptr, filtered.devmode());
  ASSERT_EQ(ui::DocumentPropertySheets(nullptr, reinterpret_cast<LPARAM>(&h)), 1);
  EXPECT_EQ(reinterpret_cast<const StoredDevmode*>(filtered.bytes.data())->pub.dmCopies, 1);
}

TEST_F(PropertySheetsTest, WithoutUiMergesPdmInAndWritesOnlyItsLayout) {
  // A whole record of ours: its settings win over the printer's.
  StoredDevmode in = Current();
  in.pub.dmCopies = 3;
  in.priv.Thickness = 2;
  Guarded out(devmode::kStoredDevmodeSize);
  DOCUMENTPROPERTYHEADER h = Header(DM_COPY | DM_MODIFY, &in.pub, out.devmode());
  ASSERT_EQ(ui::DocumentPropertySheets(nullptr, reinterpret_cast<LPARAM>(&h)), 1);
  const auto* d = reinterpret_cast<const StoredDevmode*>(out.bytes.data());
  EXPECT_EQ(d->pub.dmCopies, 3);
  EXPECT_EQ(d->priv.Thickness, 2);
  EXPECT_TRUE(out.guardIntact());

  // An older, smaller record with a foreign private part: pdmOut gets that layout and no more.
  struct Older {
    DEVMODEW pub;
    uint8_t extra[100];
  } older{};
  platform::CopyWideField(older.pub.dmDeviceName, 32, u"R7700 Office");
  older.pub.dmSpecVersion = 0x320;
  older.pub.dmDriverVersion = 0x123;
  older.pub.dmSize = 188;
  older.pub.dmDriverExtra = 100;
  older.pub.dmFields = DM_COPIES;
  older.pub.dmCopies = 9;
  Guarded small(188 + 100);
  h = Header(DM_COPY, &older.pub, small.devmode());
  ASSERT_EQ(ui::DocumentPropertySheets(nullptr, reinterpret_cast<LPARAM>(&h)), 1);
  EXPECT_TRUE(small.guardIntact());
  const DEVMODEW* o = small.devmode();
  EXPECT_EQ(o->dmSize, 188);
  EXPECT_EQ(o->dmSpecVersion, 0x320);
  EXPECT_EQ(o->dmDriverExtra, 100);
  EXPECT_EQ(o->dmDriverVersion, 0x123);
  EXPECT_EQ(o->dmCopies, 1);  // a record of another size is not merged
  EXPECT_EQ(platform::WideField(o->dmDeviceName, 32), kPrinter);

  // A record shorter than a devmode header gets nothing at all.
  older.pub.dmSize = 40;
  Guarded tiny(40);
  const std::vector<uint8_t> before = tiny.bytes;
  h = Header(DM_COPY, &older.pub, tiny.devmode());
  EXPECT_EQ(ui::DocumentPropertySheets(nullptr, reinterpret_cast<LPARAM>(&h)), 1);
  EXPECT_EQ(tiny.bytes, before);
}

TEST_F(PropertySheetsTest, AnUnreadablePrinterFailsWithTheDebugLine) {
  platform::hooks::CaptureTraces(true);
  Guarded out(devmode::kStoredDevmodeSize);
  DOCUMENTPROPERTYHEADER h = Header(DM_COPY, nullptr, out.devmode());
  h.hPrinter = nullptr;
  EXPECT_EQ(ui::DocumentPropertySheets(nullptr, reinterpret_cast<LPARAM>(&h)), -1);
  Host host;
  PROPSHEETUI_INFO info = Info(&host, &h);
  EXPECT_EQ(ui::DocumentPropertySheets(&info, 0), -1);
  EXPECT_TRUE(host.pages.empty());
  std::vector<std::string> traces = platform::hooks::TakeTraces();
  platform::hooks::CaptureTraces(false);
  ASSERT_GE(traces.size(), 2u);
  EXPECT_EQ(traces[0].rfind("Registry_GetHL fail, level:2, error code is ", 0), 0u) << traces[0];
}

TEST_F(PropertySheetsTest, DocumentSheetAddsItsFourPagesInOrder) {
  Host host;
  DOCUMENTPROPERTYHEADER h = Header(0, nullptr, nullptr);
  PROPSHEETUI_INFO info = Info(&host, &h);
  info.Result = 77;
  ASSERT_EQ(ui::DocumentPropertySheets(&info, 0), 1);
  EXPECT_EQ(gCommonControls, 1);
  ASSERT_EQ(host.pages.size(), 4u);
  const WORD templates[] = {111, 693, 626, 645};
  const char16_t* titles[] = {u"Basic", u"Paper/Quality", u"Layout", u"Watermark"};
  for (size_t i = 0; i < 4; ++i) {
    const PROPSHEETPAGEW& p = host.pages[i];
    EXPECT_EQ(p.pszTemplate, MAKEINTRESOURCEW(templates[i]));
    EXPECT_EQ(host.titles[i], titles[i]);
    EXPECT_EQ(p.hInstance, ui::HeldSheetLanguageModule());
    EXPECT_EQ(p.lParam, static_cast<LPARAM>(info.UserData));
    EXPECT_EQ(p.dwFlags & (PSP_USEICONID | PSP_HASHELP | PSP_USETITLE), PSP_USEICONID | PSP_HASHELP | PSP_USETITLE);
    // The modules carry a manifest, so every page runs in its activation context.
    EXPECT_NE(p.dwFlags & PSP_USEFUSIONCONTEXT, 0u);
    EXPECT_NE(p.hActCtx, nullptr);
    EXPECT_EQ((p.dwFlags & PSP_USECALLBACK) != 0, i == 0);
    EXPECT_EQ(p.pfnCallback != nullptr, i == 0);
  }
  EXPECT_NE(host.pages[0].pfnDlgProc, host.pages[1].pfnDlgProc);
  EXPECT_EQ(info.Result, 0u);
  ui::SheetState* state = State(info);
  ASSERT_NE(state, nullptr);
  EXPECT_EQ(state->deviceSheet, 0);
  EXPECT_EQ(state->readOnly, 0);
  EXPECT_EQ(state->networkPrinter, 0);
  EXPECT_EQ(Destroy(info), 1);
  EXPECT_EQ(info.UserData, 0u);
}

TEST_F(PropertySheetsTest, NoPermissionOpensReadOnlyAndANetworkPrinterIsMarked) {
  AddPrinterWith(nullptr, PRINTER_ATTRIBUTE_NETWORK);
  Host host;
  DOCUMENTPROPERTYHEADER h = Header(DM_NOPERMISSION, nullptr, nullptr);
  PROPSHEETUI_INFO info = Info(&host, &h);
  ASSERT_EQ(ui::DocumentPropertySheets(&info, 0), 1);
  EXPECT_EQ(State(info)->readOnly, 1);
  EXPECT_EQ(State(info)->networkPrinter, 1);
  Destroy(info);
}

TEST_F(PropertySheetsTest, AModuleWithFewerTemplatesGivesFewerPages) {
  UsePartialModule();
  Host host;
  DOCUMENTPROPERTYHEADER h = Header(0, nullptr, nullptr);
  PROPSHEETUI_INFO info = Info(&host, &h);
  ASSERT_EQ(ui::DocumentPropertySheets(&info, 0), 1);
  ASSERT_EQ(host.pages.size(), 2u);
  EXPECT_EQ(host.pages[0].pszTemplate, MAKEINTRESOURCEW(111));
  EXPECT_EQ(host.pages[1].pszTemplate, MAKEINTRESOURCEW(645));
  EXPECT_NE(host.pages[0].pfnCallback, nullptr);
  Destroy(info);

  Host device;
  DEVICEPROPERTYHEADER dh{sizeof dh, 0, printer_, const_cast<LPWSTR>(kPrinter)};
  PROPSHEETUI_INFO dinfo = Info(&device, &dh);
  ASSERT_EQ(ui::DevicePropertySheets(&dinfo, 0), 1);
  ASSERT_EQ(device.pages.size(), 1u);
  EXPECT_EQ(device.pages[0].pszTemplate, MAKEINTRESOURCEW(651));
  EXPECT_EQ(device.titles[0], u"Power Saving");
  EXPECT_EQ(State(dinfo)->deviceSheet, 1);
  dinfo.Reason = PROPSHEETUI_REASON_DESTROY;
  EXPECT_EQ(ui::DevicePropertySheets(&dinfo, 0), 1);
}

TEST_F(PropertySheetsTest, NoLanguageModuleOrNoTemplateShowsNoSheet) {
  ui::ReleaseLanguageResources();
  platform::hooks::SetModuleFileName("/nonexistent/rt7700PCL5eui.so");
  Host host;
  DOCUMENTPROPERTYHEADER h = Header(0, nullptr, nullptr);
  PROPSHEETUI_INFO info = Info(&host, &h);
  EXPECT_EQ(ui::DocumentPropertySheets(&info, 0), -1);
  EXPECT_EQ(info.UserData, 0u);
  EXPECT_EQ(host.attempts, 0);
}

TEST_F(PropertySheetsTest, ARefusedPageStopsTheAdding) {
  Host host;
  host.refuseAt = 1;
  DOCUMENTPROPERTYHEADER h = Header(0, nullptr, nullptr);
  PROPSHEETUI_INFO info = Info(&host, &h);
  ASSERT_EQ(ui::DocumentPropertySheets(&info, 0), 1);
  EXPECT_EQ(host.attempts, 2);
  ASSERT_EQ(host.pages.size(), 1u);
  EXPECT_NE(info.UserData, 0u);
  Destroy(info);
}

TEST_F(PropertySheetsTest, ApplyWritesPdmOutAndReportsOk) {
  Host host;
  Guarded out(devmode::kStoredDevmodeSize);
  DOCUMENTPROPERTYHEADER h = Header(DM_IN_BUFFER | DM_OUT_BUFFER, nullptr, out.devmode(), 5076);
  PROPSHEETUI_INFO info = Info(&host, &h);
  ASSERT_EQ(ui::DocumentPropertySheets(&info, 0), 1);
  CreatePages(host);
  ui::SheetState* state = State(info);
  EXPECT_EQ(FakeGetLong(PageWindow(2), DWLP_USER), reinterpret_cast<LONG_PTR>(state));
  ASSERT_EQ(ui::SetPublicField(state, DM_COPIES, 5), S_OK);
  ASSERT_EQ(ui::SetPublicField(state, DM_DUPLEX, 5), S_OK);
  FakeSetLong(PageWindow(2), DWLP_MSGRESULT, 99);

  EXPECT_EQ(Notify(host, 2, PSN_APPLY), TRUE);
  EXPECT_EQ(FakeGetLong(PageWindow(2), DWLP_MSGRESULT), PSNRET_NOERROR);
  ASSERT_EQ(gSent.size(), 1u);
  EXPECT_EQ(gSent[0], std::make_pair(kSheetWindow, PSM_UNCHANGED));
  EXPECT_EQ(state->applied, 1);
  EXPECT_EQ(host.results, std::vector<LPARAM>{CPSUI_OK});
  const auto* d = reinterpret_cast<const StoredDevmode*>(out.bytes.data());
  EXPECT_EQ(d->pub.dmCopies, 5);
  EXPECT_EQ(d->priv.Duplex, 5);  // two-sided mode 5 travels in the private block too
  EXPECT_TRUE(out.guardIntact());

  SETRESULT_INFO result{sizeof result, 0, nullptr, CPSUI_OK};
  info.Reason = PROPSHEETUI_REASON_SET_RESULT;
  ASSERT_EQ(ui::DocumentPropertySheets(&info, reinterpret_cast<LPARAM>(&result)), 1);
  EXPECT_EQ(info.Result, static_cast<ULONG_PTR>(CPSUI_OK));
  EXPECT_EQ(host.results.size(), 2u);
  ReleaseFirst(host);  // applied: the release applies once more
  EXPECT_EQ(host.results.size(), 3u);
  EXPECT_EQ(Destroy(info), 1);
}

TEST_F(PropertySheetsTest, CancellingClearsTheAppliedFlagSoReleaseAppliesNothing) {
  Host host;
  Guarded out(devmode::kStoredDevmodeSize);
  DOCUMENTPROPERTYHEADER h = Header(DM_UPDATE, nullptr, out.devmode(), 5076);
  PROPSHEETUI_INFO info = Info(&host, &h);
  ASSERT_EQ(ui::DocumentPropertySheets(&info, 0), 1);
  CreatePages(host);
  EXPECT_EQ(Notify(host, 0, PSN_APPLY), TRUE);
  ASSERT_EQ(host.results.size(), 1u);
  ui::SetPublicField(State(info), DM_COPIES, 12);
  const std::vector<uint8_t> applied = out.bytes;
  EXPECT_EQ(Notify(host, 1, PSN_RESET), TRUE);
  EXPECT_EQ(State(info)->applied, 0);
  ReleaseFirst(host);
  EXPECT_EQ(host.results.size(), 1u);
  EXPECT_EQ(out.bytes, applied);
  // Messages the pages do not handle yet are left to the dialog manager.
  EXPECT_EQ(Notify(host, 0, PSN_SETACTIVE), FALSE);
  Destroy(info);
}

TEST_F(PropertySheetsTest, ApplyWritesPdmOutOnlyWhenAsked) {
  Host host;
  Guarded out(devmode::kStoredDevmodeSize);
  const std::vector<uint8_t> before = out.bytes;
  DOCUMENTPROPERTYHEADER h = Header(DM_PROMPT, nullptr, out.devmode(), 5076);
  PROPSHEETUI_INFO info = Info(&host, &h);
  ASSERT_EQ(ui::DocumentPropertySheets(&info, 0), 1);
  ui::ApplySheetResult(nullptr, State(info));
  EXPECT_EQ(host.results.size(), 1u);
  EXPECT_EQ(out.bytes, before);
  EXPECT_TRUE(gSent.empty());
  Destroy(info);
}

TEST_F(PropertySheetsTest, InfoHeaderNamesThePrinter) {
  Host host;
  DOCUMENTPROPERTYHEADER h = Header(0, nullptr, nullptr);
  PROPSHEETUI_INFO info = Info(&host, &h);
  ASSERT_EQ(ui::DocumentPropertySheets(&info, 0), 1);
  PROPSHEETUI_INFO_HEADER header{};
  header.cbSize = sizeof header;
  info.Reason = PROPSHEETUI_REASON_GET_INFO_HEADER;
  ASSERT_EQ(ui::DocumentPropertySheets(&info, reinterpret_cast<LPARAM>(&header)), 1);
  EXPECT_EQ(header.Flags, PSUIHDRF_PROPTITLE);
  EXPECT_EQ(header.pTitle, h.pszPrinterName);
  EXPECT_EQ(header.hInst, ui::HeldSheetLanguageModule());
  EXPECT_EQ(header.IconID, 64082u);
  EXPECT_EQ(ui::DocumentPropertySheets(&info, 0), -1);  // no header to fill
  info.Reason = 4;
  EXPECT_EQ(ui::DocumentPropertySheets(&info, 0), -1);
  Destroy(info);

  WCHAR name[] = u"R7700 Office";
  Host device;
  DEVICEPROPERTYHEADER dh{sizeof dh, 0, printer_, name};
  PROPSHEETUI_INFO dinfo = Info(&device, &dh, PROPSHEETUI_REASON_GET_INFO_HEADER);
  PROPSHEETUI_INFO_HEADER dheader{};
  ASSERT_EQ(ui::DevicePropertySheets(&dinfo, reinterpret_cast<LPARAM>(&dheader)), 1);
  EXPECT_EQ(dheader.pTitle, name);
  EXPECT_EQ(dheader.IconID, 64082u);
}

TEST_F(PropertySheetsTest, DeviceSheetAppliesWithoutWritingADevmode) {
  Host host;
  DEVICEPROPERTYHEADER dh{sizeof dh, DPS_NOPERMISSION, printer_, const_cast<LPWSTR>(kPrinter)};
  PROPSHEETUI_INFO info = Info(&host, &dh);
  EXPECT_EQ(ui::DevicePropertySheets(nullptr, 0), -1);
  PROPSHEETUI_INFO noHeader = Info(&host, nullptr);
  EXPECT_EQ(ui::DevicePropertySheets(&noHeader, 0), -1);
  ASSERT_EQ(ui::DevicePropertySheets(&info, 0), 1);
  EXPECT_EQ(gCommonControls, 0);
  ASSERT_EQ(host.pages.size(), 2u);
  EXPECT_EQ(host.pages[1].pszTemplate, MAKEINTRESOURCEW(5086));
  EXPECT_EQ(State(info)->readOnly, 1);
  CreatePages(host);
  EXPECT_EQ(Notify(host, 1, PSN_APPLY), TRUE);
  EXPECT_EQ(State(info)->applied, 1);
  EXPECT_EQ(gSent.size(), 1u);
  EXPECT_TRUE(host.results.empty());
  SETRESULT_INFO result{sizeof result, 0, nullptr, CPSUI_CANCEL};
  info.Reason = PROPSHEETUI_REASON_SET_RESULT;
  ASSERT_EQ(ui::DevicePropertySheets(&info, reinterpret_cast<LPARAM>(&result)), 1);
  EXPECT_EQ(info.Result, static_cast<ULONG_PTR>(CPSUI_CANCEL));
  info.Reason = 9;
  EXPECT_EQ(ui::DevicePropertySheets(&info, 0), -1);
  info.Reason = PROPSHEETUI_REASON_DESTROY;
  EXPECT_EQ(ui::DevicePropertySheets(&info, 0), 1);
}

// A controller that records what happens to it.
struct Recorder : ui::PageController {
  explicit Recorder(bool* destroyed) : destroyed(destroyed) {}
  ~Recorder() override { *destroyed = true; }
  void CommitInto(ui::SheetState& s) override { s.devmode->pub.dmCopies = 42; }
  bool* destroyed;
};

TEST_F(PropertySheetsTest, EachThreadHasItsOwnControllersUntilTheSheetCloses) {
  Host host;
  Guarded out(devmode::kStoredDevmodeSize);
  DOCUMENTPROPERTYHEADER h = Header(DM_COPY, nullptr, out.devmode(), 5076);
  PROPSHEETUI_INFO info = Info(&host, &h);
  ASSERT_EQ(ui::DocumentPropertySheets(&info, 0), 1);
  EXPECT_EQ(ui::FindThreadPageControllers(), nullptr);
  ui::PageControllerSet& mine = ui::ThreadPageControllers();
  EXPECT_EQ(&ui::ThreadPageControllers(), &mine);
  bool destroyed = false;
  mine.slots[static_cast<size_t>(ui::ControllerSlot::DecorationEditor)] = std::make_unique<Recorder>(&destroyed);
  ui::PageControllerSet* other = nullptr;
  std::thread([&other] { other = &ui::ThreadPageControllers(); ui::DestroyThreadPageControllers(); }).join();
  EXPECT_NE(other, &mine);
  EXPECT_EQ(ui::FindThreadPageControllers(), &mine);

  ui::ApplySheetResult(nullptr, State(info));  // the open editor's edits go in first
  EXPECT_EQ(reinterpret_cast<const StoredDevmode*>(out.bytes.data())->pub.dmCopies, 42);
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(Destroy(info), 1);
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(ui::FindThreadPageControllers(), nullptr);
}

TEST_F(PropertySheetsTest, PrivateFieldsByName) {
  Host host;
  DOCUMENTPROPERTYHEADER h = Header(0, nullptr, nullptr);
  PROPSHEETUI_INFO info = Info(&host, &h);
  ASSERT_EQ(ui::DocumentPropertySheets(&info, 0), 1);
  ui::SheetState* s = State(info);
  EXPECT_EQ(ui::PrivateFieldDirectory().size(), 71u);
  for (const ui::PrivateField& f : ui::PrivateFieldDirectory()) {
    EXPECT_LT(std::strlen(f.name), 20u) << f.name;
    EXPECT_LE(f.offset + f.size, devmode::kStoredPrivateSize) << f.name;
  }

  uint16_t thickness = 0;
  EXPECT_EQ(ui::GetPrivateField(s, "Thickness", &thickness, 2), S_OK);
  EXPECT_EQ(thickness, 1);
  thickness = 2;
  EXPECT_EQ(ui::SetPrivateField(s, "Thickness", &thickness, 2), S_OK);
  EXPECT_EQ(s->devmode->priv.Thickness, 2);

  WCHAR favorite[256] = {};
  EXPECT_EQ(ui::GetPrivateField(s, "FavoriteName", favorite, sizeof favorite), S_OK);
  EXPECT_EQ(platform::WideField(favorite, 256), u"Default Settings");
  uint8_t papers[1440];
  EXPECT_EQ(ui::GetPrivateField(s, "CustomPaperSize", papers, sizeof papers), S_OK);
  devmode::WatermarkRecord mark{};
  mark.WatermarkIndex = 3;
  EXPECT_EQ(ui::SetPrivateField(s, "WatermarkData", &mark, sizeof mark), S_OK);
  EXPECT_EQ(s->devmode->priv.WatermarkData.WatermarkIndex, 3);
  uint8_t items[24];
  EXPECT_EQ(ui::GetPrivateField(s, "PrintItems", items, 24), S_OK);
  uint32_t imageType = 0x00020001;
  EXPECT_EQ(ui::SetPrivateField(s, "ImageType", &imageType, 4), S_OK);
  EXPECT_EQ(s->devmode->priv.ImageType[1], 2);

  // A wrong size copies nothing.
  uint32_t wide = 0xFFFFFFFF;
  EXPECT_EQ(ui::SetPrivateField(s, "Thickness", &wide, 4), static_cast<HRESULT>(0x8007007A));
  EXPECT_EQ(ui::GetPrivateField(s, "Thickness", &wide, 4), static_cast<HRESULT>(0x8007007A));
  EXPECT_EQ(wide, 0xFFFFFFFFu);
  EXPECT_EQ(s->devmode->priv.Thickness, 2);
  // Names: exact, with the setter looking at 20 characters; fields without a name are not listed.
  EXPECT_EQ(ui::GetPrivateField(s, "Thick", &thickness, 2), E_INVALIDARG);
  EXPECT_EQ(ui::GetPrivateField(s, "thickness", &thickness, 2), E_INVALIDARG);
  EXPECT_EQ(ui::GetPrivateField(s, "ReverseOrder", &thickness, 2), E_INVALIDARG);
  EXPECT_EQ(ui::SetPrivateField(s, "ThicknessAndMoreAfterIt", &thickness, 2), E_INVALIDARG);
  EXPECT_EQ(ui::GetPrivateField(s, nullptr, &thickness, 2), E_INVALIDARG);
  // No sheet, or a sheet without its devmode.
  EXPECT_EQ(ui::GetPrivateField(nullptr, "Thickness", &thickness, 2), ui::E_PENDING);
  EXPECT_EQ(ui::SetPrivateField(nullptr, "Thickness", &thickness, 2), E_FAIL);
  std::unique_ptr<StoredDevmode> held = std::move(s->devmode);
  EXPECT_EQ(ui::SetPrivateField(s, "Thickness", &thickness, 2), E_FAIL);
  EXPECT_EQ(ui::GetPublicField(s, DM_COPIES, nullptr), E_FAIL);
  s->devmode = std::move(held);
  Destroy(info);
}

TEST_F(PropertySheetsTest, PublicFieldsAreRepairedAsTheyAreRead) {
  Host host;
  DOCUMENTPROPERTYHEADER h = Header(0, nullptr, nullptr);
  PROPSHEETUI_INFO info = Info(&host, &h);
  ASSERT_EQ(ui::DocumentPropertySheets(&info, 0), 1);
  ui::SheetState* s = State(info);
  DEVMODEW& pub = s->devmode->pub;
  struct Case {
    DWORD field;
    LONG stored;
    LONG read;
  };
  const Case cases[] = {
      {DM_ORIENTATION, 3, 1}, {DM_ORIENTATION, -1, 1}, {DM_ORIENTATION, 0, 0}, {DM_ORIENTATION, 2, 2},
      {DM_COPIES, 0, 1},      {DM_COPIES, 1000, 1},    {DM_COPIES, 999, 999},  {DM_COLLATE, -1, 0},
      {DM_COLLATE, 1, 1},     {DM_MEDIATYPE, 0, 1},    {DM_MEDIATYPE, 265, 1}, {DM_MEDIATYPE, 264, 264},
      {DM_PAPERSIZE, 500, 500}, {DM_DUPLEX, 9, 9},
  };
  for (const Case& c : cases) {
    if (c.field == DM_MEDIATYPE) {
      pub.dmMediaType = static_cast<DWORD>(c.stored);
    } else {
      ASSERT_EQ(ui::SetPublicField(s, c.field, c.stored), S_OK);
    }
    LONG value = -7;
    ASSERT_EQ(ui::GetPublicField(s, c.field, &value), S_OK);
    EXPECT_EQ(value, c.read) << std::hex << c.field << " " << std::dec << c.stored;
    value = -7;
    ASSERT_EQ(ui::GetPublicField(s, c.field, &value), S_OK);  // the repair was stored
    EXPECT_EQ(value, c.read);
  }
  EXPECT_EQ(pub.dmCopies, 999);

  // Scale always reads 100; writing it sets the zoom too.
  ASSERT_EQ(ui::SetPublicField(s, DM_SCALE, 150), S_OK);
  EXPECT_EQ(pub.dmScale, 150);
  EXPECT_EQ(s->devmode->priv.zoomPercent, 150);
  LONG value = 0;
  ASSERT_EQ(ui::GetPublicField(s, DM_SCALE, &value), S_OK);
  EXPECT_EQ(value, 100);

  // Reverse page order has a pseudo-flag of its own.
  s->devmode->priv.reverseOrder = 0xFFFF;
  ASSERT_EQ(ui::GetPublicField(s, ui::kReverseOrderField, &value), S_OK);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(s->devmode->priv.reverseOrder, 0);
  ASSERT_EQ(ui::SetPublicField(s, 0x404000, 1), S_OK);
  ASSERT_EQ(ui::GetPublicField(s, 0x404000, &value), S_OK);
  EXPECT_EQ(value, 1);

  EXPECT_EQ(ui::GetPublicField(s, DM_NUP, &value), E_INVALIDARG);
  EXPECT_EQ(ui::SetPublicField(s, DM_FORMNAME, 1), E_INVALIDARG);
  EXPECT_EQ(ui::GetPublicField(nullptr, DM_COPIES, &value), ui::E_PENDING);
  EXPECT_EQ(ui::SetPublicField(nullptr, DM_COPIES, 1), ui::E_PENDING);
  Destroy(info);
}

TEST_F(PropertySheetsTest, InitialSettingsAreTheDefaultsBeforeAnyMerge) {
  StoredDevmode defaults = Current();
  defaults.pub.dmCopies = 7;
  AddPrinterWith(&defaults);
  ui::SheetState* s = ui::CreateSheetState(printer_, nullptr);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->devmode->pub.dmCopies, 7);
  StoredDevmode initial{};
  ASSERT_TRUE(ui::InitialSheetSettings(&initial));
  EXPECT_EQ(initial.pub.dmCopies, 1);
  EXPECT_EQ(initial.priv.signature, devmode::kPrivSignature);
  EXPECT_EQ(platform::WideField(s->printerName, 260), kPrinter);
  ui::DestroySheetState(s);
}

}  // namespace

// The sheet as the platform's common UI plays it, over the English module's four pages: OK
// applies the working devmode into pdmOut and reports CPSUI_OK; Cancel writes nothing.
TEST_F(PropertySheetsTest, ThePlatformsSheetAppliesOnOkAndNotOnCancel) {
  ui::SetSheetWindowCalls(ui::PlatformSheetWindowCalls());
  for (bool ok : {true, false}) {
    SCOPED_TRACE(ok ? "OK" : "Cancel");
    Guarded out(devmode::kStoredDevmodeSize);
    DOCUMENTPROPERTYHEADER h = Header(DM_IN_BUFFER | DM_OUT_BUFFER, nullptr, out.devmode(), 5076);
    std::string error;
    auto sheet = platform::ui::PropertySheet::Open(ui::DocumentPropertySheets, reinterpret_cast<LPARAM>(&h), error);
    ASSERT_NE(sheet, nullptr) << error;
    EXPECT_EQ(sheet->PageCount(), 4u);
    EXPECT_EQ(sheet->Title(), kPrinter);
    ASSERT_TRUE(sheet->SwitchTo(3));
    ASSERT_TRUE(ok ? sheet->Ok() : sheet->Cancel());
    EXPECT_FALSE(sheet->IsOpen());
    const auto* d = reinterpret_cast<const StoredDevmode*>(out.bytes.data());
    if (ok) {
      EXPECT_EQ(sheet->Result(), CPSUI_OK);
      EXPECT_EQ(d->pub.dmSize, sizeof(DEVMODEW));
      EXPECT_EQ(d->pub.dmDriverExtra, sizeof d->priv);
      EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(d->pub.dmDeviceName)), kPrinter);
    } else {
      EXPECT_EQ(sheet->Result(), CPSUI_CANCEL);
      EXPECT_EQ(out.bytes, Guarded(devmode::kStoredDevmodeSize).bytes);
    }
    EXPECT_TRUE(out.guardIntact());
  }
}
