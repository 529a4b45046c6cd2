// The property-sheet host: the PROPSHEETUI reasons, page creation and callbacks, and the PSN_
// notifications Apply, OK, Cancel and page switches send, over a small sheet entry point.
#include <gtest/gtest.h>

#include "dialog_test_support.h"
#include "platform/sheet_driver.h"
#include "win/printer_ui.h"

namespace {

using dialog_test::Log;
using dialog_test::TakeLog;
using Lines = std::vector<std::string>;
namespace ui = platform::ui;

struct Sheet {
  HMODULE module = nullptr;
  PROPSHEETUI_INFO* info = nullptr;
  LONG initResult = 1;
  UINT createResult = 1;  // PSPCB_CREATE's answer for page 2
  LONG_PTR applyAnswer[2] = {PSNRET_NOERROR, PSNRET_NOERROR};
  LONG_PTR killAnswer = FALSE;
  PROPSHEETPAGEW pages[3]{};
  int added = 0;
};
Sheet* g_sheet = nullptr;

std::string Code(UINT code) {
  switch (code) {
    case PSN_SETACTIVE:
      return "SETACTIVE";
    case PSN_KILLACTIVE:
      return "KILLACTIVE";
    case PSN_APPLY:
      return "APPLY";
    case PSN_RESET:
      return "RESET";
    case PSN_QUERYCANCEL:
      return "QUERYCANCEL";
    default:
      return std::to_string(code);
  }
}

// Page n's procedure: a click marks the sheet changed, PSN_APPLY sets the sheet's result.
INT_PTR WINAPI PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* psp = reinterpret_cast<PROPSHEETPAGEW*>(lParam);
    SetWindowLongPtrW(page, DWLP_USER, psp->lParam);
    Log().push_back("page " + std::to_string(psp->lParam) + " INITDIALOG");
    return TRUE;
  }
  auto n = GetWindowLongPtrW(page, DWLP_USER);
  if (message == WM_COMMAND) {
    // A click changes something; typing puts the page back as it was.
    WORD code = HIWORD(static_cast<DWORD>(wParam));
    if (code == BN_CLICKED || code == EN_CHANGE) {
      SendMessageW(GetParent(page), code == BN_CLICKED ? PSM_CHANGED : PSM_UNCHANGED,
                   reinterpret_cast<WPARAM>(page), 0);
    }
    return TRUE;
  }
  if (message != WM_NOTIFY) return FALSE;
  auto* nm = reinterpret_cast<PSHNOTIFY*>(lParam);
  Log().push_back(
      "page " + std::to_string(n) + " " + Code(nm->hdr.code) +
      (nm->hdr.code == PSN_APPLY || nm->hdr.code == PSN_RESET ? " " + std::to_string(nm->lParam) : ""));
  LONG_PTR answer = 0;
  if (nm->hdr.code == PSN_APPLY) {
    answer = g_sheet->applyAnswer[n - 1];
    if (answer == PSNRET_NOERROR) {
      g_sheet->info->pfnComPropSheet(g_sheet->info->hComPropSheet, CPSFUNC_SET_RESULT, 0, CPSUI_OK);
    }
  }
  if (nm->hdr.code == PSN_KILLACTIVE) answer = g_sheet->killAnswer;
  SetWindowLongPtrW(page, DWLP_MSGRESULT, answer);
  return TRUE;
}

UINT WINAPI PageCallback(HWND, UINT message, PROPSHEETPAGEW* psp) {
  Log().push_back("page " + std::to_string(psp->lParam) +
                  (message == PSPCB_CREATE    ? " CREATE"
                   : message == PSPCB_RELEASE ? " RELEASE"
                                              : " ?"));
  return message == PSPCB_CREATE && psp->lParam == 2 ? g_sheet->createResult : 1;
}

LONG WINAPI Entry(PROPSHEETUI_INFO* info, LPARAM lParam) {
  Sheet& s = *g_sheet;
  s.info = info;
  switch (info->Reason) {
    case PROPSHEETUI_REASON_INIT: {
      Log().push_back("INIT " + std::to_string(lParam));
      if (s.initResult <= 0) return s.initResult;
      for (int i = 0; i < 3; ++i) {
        PROPSHEETPAGEW& p = s.pages[i];
        p.dwSize = sizeof p;
        p.dwFlags = PSP_USECALLBACK | (i == 0 ? PSP_USETITLE : 0);
        p.hInstance = s.module;
        p.pszTemplate = MAKEINTRESOURCEW(static_cast<WORD>(i == 2 ? 555 : 101 + i));
        p.pszTitle = MAKEINTRESOURCEW(11);
        p.pfnDlgProc = PageProc;
        p.lParam = i + 1;
        p.pfnCallback = PageCallback;
        if (info->pfnComPropSheet(info->hComPropSheet, CPSFUNC_ADD_PROPSHEETPAGEW,
                                  reinterpret_cast<LPARAM>(&p), 0) <= 0) {
          Log().push_back("add refused");
          break;
        }
        ++s.added;
      }
      return 1;
    }
    case PROPSHEETUI_REASON_GET_INFO_HEADER: {
      auto* header = reinterpret_cast<PROPSHEETUI_INFO_HEADER*>(lParam);
      header->Flags = PSUIHDRF_PROPTITLE;
      header->pTitle = const_cast<LPWSTR>(u"Office printer");
      Log().push_back("GET_INFO_HEADER");
      return 1;
    }
    case PROPSHEETUI_REASON_SET_RESULT:
      Log().push_back("SET_RESULT " + std::to_string(reinterpret_cast<SETRESULT_INFO*>(lParam)->Result));
      return 1;
    case PROPSHEETUI_REASON_DESTROY:
      Log().push_back("DESTROY " + std::to_string(lParam));
      return 1;
    default:
      return -1;
  }
}

class SheetHost : public testing::Test {
 protected:
  void SetUp() override {
    sheet.module = dialog_test::LoadModule();
    ASSERT_NE(sheet.module, nullptr);
    g_sheet = &sheet;
    TakeLog();
  }
  void TearDown() override {
    host.reset();
    FreeLibrary(sheet.module);
    g_sheet = nullptr;
    TakeLog();
  }
  void Open() {
    std::string error;
    host = ui::PropertySheet::Open(Entry, 99, error);
    ASSERT_TRUE(host) << error;
  }
  Sheet sheet;
  std::unique_ptr<ui::PropertySheet> host;
};

TEST_F(SheetHost, OkRunsTheWholeSequence) {
  Open();
  EXPECT_EQ(host->PageCount(), 3u);
  EXPECT_EQ(host->PageTitle(0), u"Portrait");     // PSP_USETITLE with a string id
  EXPECT_EQ(host->PageTitle(1), u"Second page");  // the template's caption
  EXPECT_EQ(host->Title(), u"Office printer");
  EXPECT_EQ(TakeLog(),
            (Lines{"INIT 99", "GET_INFO_HEADER", "page 1 CREATE", "page 1 INITDIALOG", "page 1 SETACTIVE"}));
  EXPECT_FALSE(host->ApplyEnabled());
  EXPECT_FALSE(host->Apply());  // the button is disabled
  ASSERT_TRUE(ui::Click(host->Find(10)));
  EXPECT_TRUE(host->ApplyEnabled());
  ASSERT_TRUE(host->SwitchTo(u"Second page"));
  EXPECT_TRUE(IsWindowVisible(host->Page()));
  EXPECT_FALSE(IsWindowVisible(host->PageWindow(0)));
  EXPECT_FALSE(ui::Click(ui::FindControl(host->PageWindow(0), 10)));  // a hidden page takes no clicks
  EXPECT_TRUE(host->Apply());
  EXPECT_FALSE(host->ApplyEnabled());
  EXPECT_EQ(TakeLog(), (Lines{"page 1 KILLACTIVE", "page 2 CREATE", "page 2 INITDIALOG", "page 2 SETACTIVE",
                              "page 2 KILLACTIVE", "page 1 APPLY 0", "page 2 APPLY 0", "page 2 SETACTIVE"}));
  ASSERT_TRUE(host->Ok());
  EXPECT_FALSE(host->IsOpen());
  EXPECT_EQ(host->Result(), CPSUI_OK);
  // Pages are released before the entry point hears the result and cleans up; the page that was
  // never shown is released too.
  EXPECT_EQ(TakeLog(), (Lines{"page 2 KILLACTIVE", "page 1 APPLY 1", "page 2 APPLY 1", "page 1 RELEASE",
                              "page 2 RELEASE", "page 3 RELEASE", "SET_RESULT 1", "DESTROY 1"}));
}

TEST_F(SheetHost, TheApplyButtonFollowsEveryPagesChanges) {
  Open();
  ASSERT_TRUE(ui::Click(host->Find(10)));
  ASSERT_TRUE(host->SwitchTo(1));
  ASSERT_TRUE(ui::Click(host->Find(10)));
  ASSERT_TRUE(host->SwitchTo(0));
  ASSERT_TRUE(ui::Type(host->Find(20), u"x"));  // page 1 unchanged; page 2 still changed
  EXPECT_TRUE(host->ApplyEnabled());
  ASSERT_TRUE(host->SwitchTo(1));
  SendMessageW(host->Window(), PSM_UNCHANGED, reinterpret_cast<WPARAM>(host->Page()), 0);
  EXPECT_FALSE(host->ApplyEnabled());
}

TEST_F(SheetHost, CancelResetsCreatedPagesOnly) {
  Open();
  TakeLog();
  ASSERT_TRUE(host->Cancel());
  EXPECT_EQ(host->Result(), CPSUI_CANCEL);
  EXPECT_EQ(TakeLog(), (Lines{"page 1 QUERYCANCEL", "page 1 RESET 0", "page 1 RELEASE", "page 2 RELEASE",
                              "page 3 RELEASE", "DESTROY 0"}));
}

TEST_F(SheetHost, RefusingPagesKeepTheSheetOpen) {
  Open();
  ASSERT_TRUE(host->SwitchTo(1));
  sheet.killAnswer = TRUE;  // the current page's values are invalid
  EXPECT_FALSE(host->SwitchTo(0));
  EXPECT_FALSE(host->Ok());
  EXPECT_EQ(host->CurrentPage(), 1);
  sheet.killAnswer = FALSE;
  sheet.applyAnswer[0] = PSNRET_INVALID;
  EXPECT_FALSE(host->Ok());
  EXPECT_EQ(host->CurrentPage(), 0);  // the refusing page is brought forward
  sheet.applyAnswer[0] = PSNRET_INVALID_NOCHANGEPAGE;
  ASSERT_TRUE(host->SwitchTo(1));
  EXPECT_FALSE(host->Ok());
  EXPECT_EQ(host->CurrentPage(), 1);
  EXPECT_TRUE(host->IsOpen());
  sheet.applyAnswer[0] = PSNRET_NOERROR;
  TakeLog();
  EXPECT_TRUE(host->Close());
  EXPECT_EQ(TakeLog().at(1), "page 1 RESET 1");  // the title bar's close button
}

TEST_F(SheetHost, ARefusedPageAddStopsAdding) {
  ui::LimitSheetPages(1);
  Open();
  EXPECT_EQ(sheet.added, 1);
  EXPECT_EQ(host->PageCount(), 1u);
  EXPECT_EQ(TakeLog().at(1), "add refused");
}

TEST_F(SheetHost, PagesThatCannotBeCreatedAreSkipped) {
  sheet.createResult = 0;
  Open();
  EXPECT_FALSE(host->SwitchTo(1));  // its callback refused
  EXPECT_FALSE(host->SwitchTo(2));  // no template
  EXPECT_EQ(host->CurrentPage(), 0);
  EXPECT_EQ(host->PageWindow(1), nullptr);
  std::string shown = host->Show();
  EXPECT_NE(shown.find("Page 1 \"Portrait\" (current)\n  10 check \"Collate\" [ ]\n  20 edit\n"),
            std::string::npos)
      << shown;
}

TEST_F(SheetHost, AnEntryPointRefusingInitOpensNothing) {
  sheet.initResult = -1;
  std::string error;
  EXPECT_FALSE(ui::PropertySheet::Open(Entry, 0, error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(TakeLog(), (Lines{"INIT 0"}));
}

}  // namespace
