// Headless dialogs: templates from a module, control state, the notifications user actions send
// (and programmatic messages do not), modal dialogs, posted messages, timers and owner drawing.
#include <gtest/gtest.h>

#include "dialog_test_support.h"
#include "platform/sheet_driver.h"
#include "ui/dialog_template.h"
#include "win/error.h"
#include "win/wingdi.h"

namespace {

using dialog_test::TakeLog;
using Lines = std::vector<std::string>;
namespace ui = platform::ui;

TEST(DialogTemplate, OldLinesGetTheirClassDefaultsAndOptionsParse) {
  std::string error;
  auto t = ui::ParseDialogTemplate(
      "dialog 651 274\ncontrol 1255 BUTTON\ncontrol 1393 COMBOBOX\n"
      "control 7 button style=BS_AUTOCHECKBOX|0x8000 text=\"Say \\\"hi\\\" ünd\" rect=1,2,30,40 hidden\n"
      "control 8 STATIC text=#99\n",
      error);
  ASSERT_TRUE(t) << error;
  EXPECT_EQ(t->id, 651);
  EXPECT_EQ(t->captionId, 274u);
  ASSERT_EQ(t->controls.size(), 4u);
  EXPECT_EQ(t->controls[0].style, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON);
  EXPECT_EQ(t->controls[1].style & 0x3, CBS_DROPDOWNLIST);
  const auto& c = t->controls[2];
  EXPECT_EQ(c.style, WS_CHILD | WS_TABSTOP | BS_AUTOCHECKBOX | 0x8000u);
  EXPECT_EQ(c.text.literal, u"Say \"hi\" ünd");
  EXPECT_EQ(c.x + c.y + c.width + c.height, 1 + 2 + 30 + 40);
  EXPECT_TRUE(t->controls[3].text.fromModule);
  EXPECT_EQ(t->controls[3].text.stringId, 99u);
}

TEST(DialogTemplate, MalformedLinesAreRefusedWithTheirLine) {
  const char* bad[] = {
      "control 1 BUTTON\n",                             // before any dialog
      "dialog 1 2\ncontrol 1 SLIDER\n",                 // unknown class
      "dialog 1 2\ncontrol 1 BUTTON style=BS_FANCY\n",  // unknown style
      "dialog 1 2\ncontrol 1 BUTTON text=\"open\n",     // quotes not closed
      "dialog 1 2\ncontrol 1 BUTTON text=plain\n",      // neither id nor literal
      "dialog 1 2\ncontrol 1 BUTTON rect=1,2,3\n",      // three numbers
      "dialog 1 2\ndialog 3 4\n",                       // two dialogs
      "dialog 1\n",                                     // no caption
      "dialog 1 2\ncontrol 1 BUTTON text=\"\xC3\"\n",   // cut UTF-8
      "",
  };
  for (const char* text : bad) {
    std::string error;
    EXPECT_FALSE(ui::ParseDialogTemplate(text, error)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
}

class Dialogs : public testing::Test {
 protected:
  void SetUp() override {
    module = dialog_test::LoadModule();
    ASSERT_NE(module, nullptr);
    dialog = CreateDialogParamW(module, MAKEINTRESOURCEW(100), nullptr, dialog_test::RecordingProc, 77);
    ASSERT_NE(dialog, nullptr);
    ShowWindow(dialog, SW_SHOW);
    TakeLog();
  }
  void TearDown() override {
    if (IsWindow(dialog)) DestroyWindow(dialog);
    FreeLibrary(module);
    TakeLog();
  }
  HWND Item(int id) { return GetDlgItem(dialog, id); }
  std::u16string TextOf(int id) {
    WCHAR buffer[128];
    GetDlgItemTextW(dialog, id, buffer, 128);
    return buffer;
  }
  HMODULE module = nullptr;
  HWND dialog = nullptr;
};

TEST_F(Dialogs, ControlsComeFromTheTemplateWithModuleTexts) {
  EXPECT_EQ(TextOf(11), u"Portrait");
  EXPECT_EQ(TextOf(71), u"Größe");
  WCHAR caption[32];
  EXPECT_EQ(GetWindowTextW(dialog, caption, 32), 11);
  EXPECT_EQ(std::u16string(caption), u"Test dialog");
  EXPECT_EQ(GetDlgCtrlID(Item(40)), 40);
  EXPECT_EQ(GetParent(Item(40)), dialog);
  EXPECT_FALSE(IsWindowEnabled(Item(70)));
  EXPECT_EQ(GetDlgItem(dialog, 999), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_CONTROL_ID_NOT_FOUND);
  EXPECT_EQ(CreateDialogParamW(module, MAKEINTRESOURCEW(555), nullptr, dialog_test::RecordingProc, 0),
            nullptr);
  EXPECT_EQ(ui::FindControlByText(dialog, u"Collate"), Item(10));
}

TEST_F(Dialogs, InitDialogGetsTheParameterAndDestroyIsSent) {
  HWND second = CreateDialogParamW(module, MAKEINTRESOURCEW(101), nullptr, dialog_test::RecordingProc, 1234);
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(DestroyWindow(second));
  EXPECT_EQ(TakeLog(), (Lines{"INIT 1234", "DESTROY"}));
  EXPECT_FALSE(IsWindow(second));
  EXPECT_EQ(SendMessageW(second, WM_GETTEXTLENGTH, 0, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

TEST_F(Dialogs, ButtonsNotifyUserClicksOnly) {
  CheckDlgButton(dialog, 10, BST_CHECKED);
  SendMessageW(Item(10), BM_SETCHECK, BST_UNCHECKED, 0);
  EXPECT_TRUE(TakeLog().empty());
  ASSERT_TRUE(ui::Click(Item(10)));
  EXPECT_EQ(IsDlgButtonChecked(dialog, 10), BST_CHECKED);
  EXPECT_TRUE(ui::SetChecked(Item(10), false));
  EXPECT_EQ(IsDlgButtonChecked(dialog, 10), BST_UNCHECKED);
  SendMessageW(Item(60), BM_CLICK, 0, 0);  // a click, though sent by a program
  EXPECT_EQ(TakeLog(), (Lines{"COMMAND 10 BN_CLICKED", "COMMAND 10 BN_CLICKED", "COMMAND 60 BN_CLICKED"}));

  EXPECT_FALSE(ui::Click(Item(70)));  // disabled
  EXPECT_EQ(IsDlgButtonChecked(dialog, 70), BST_UNCHECKED);
  EnableWindow(Item(10), FALSE);
  EXPECT_FALSE(ui::SetChecked(Item(10), true));
  EnableWindow(Item(10), TRUE);
  ShowWindow(dialog, SW_HIDE);
  EXPECT_FALSE(ui::Click(Item(10)));  // a hidden dialog takes no clicks
  EXPECT_TRUE(TakeLog().empty());
}

TEST_F(Dialogs, RadioButtonsClearTheirGroupOnly) {
  ASSERT_TRUE(ui::Click(Item(13)));
  ASSERT_TRUE(ui::Click(Item(11)));
  ASSERT_TRUE(ui::Click(Item(12)));
  EXPECT_EQ(IsDlgButtonChecked(dialog, 11), BST_UNCHECKED);
  EXPECT_EQ(IsDlgButtonChecked(dialog, 12), BST_CHECKED);
  EXPECT_EQ(IsDlgButtonChecked(dialog, 13), BST_CHECKED);
  EXPECT_FALSE(ui::SetChecked(Item(12), false));  // a user unchecks a radio button by choosing another
  CheckRadioButton(dialog, 11, 13, 11);
  EXPECT_EQ(IsDlgButtonChecked(dialog, 11), BST_CHECKED);
  EXPECT_EQ(IsDlgButtonChecked(dialog, 12), BST_UNCHECKED);
  EXPECT_EQ(IsDlgButtonChecked(dialog, 13), BST_UNCHECKED);
  EXPECT_EQ(TakeLog(), (Lines{"COMMAND 13 BN_CLICKED", "COMMAND 11 BN_CLICKED", "COMMAND 12 BN_CLICKED"}));
}

TEST_F(Dialogs, ComboBoxKeepsItemsDataAndSelection) {
  HWND combo = Item(30);
  for (const char16_t* s : {u"A4", u"Letter", u"Legal"})
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
  EXPECT_EQ(SendMessageW(combo, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(u"A5")), 0);
  EXPECT_EQ(SendMessageW(combo, CB_INSERTSTRING, 9, reinterpret_cast<LPARAM>(u"X")), CB_ERR);
  SendMessageW(combo, CB_SETITEMDATA, 2, 601);
  EXPECT_EQ(SendMessageW(combo, CB_GETITEMDATA, 2, 0), 601);
  EXPECT_EQ(
      SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(u"legal")),
      3);
  EXPECT_EQ(
      SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(u"Leg")),
      CB_ERR);
  EXPECT_EQ(SendMessageW(combo, CB_SETCURSEL, 2, 0), 2);
  EXPECT_EQ(TextOf(30), u"Letter");
  EXPECT_TRUE(TakeLog().empty());  // programmatic: no CBN_SELCHANGE
  EXPECT_EQ(SendMessageW(combo, CB_DELETESTRING, 0, 0), 3);
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);  // the selection follows its item
  EXPECT_EQ(SendMessageW(combo, CB_GETITEMDATA, 1, 0), 601);
  WCHAR text[16];
  EXPECT_EQ(SendMessageW(combo, CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(text)), 5);
  EXPECT_EQ(std::u16string(text), u"Legal");
  EXPECT_EQ(SendMessageW(combo, CB_GETLBTEXTLEN, 7, 0), CB_ERR);
  EXPECT_EQ(SendMessageW(combo, CB_SETCURSEL, 7, 0), CB_ERR);
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), CB_ERR);

  ASSERT_TRUE(ui::Choose(combo, u"legal"));
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 2);
  EXPECT_FALSE(ui::Choose(combo, u"B5"));
  EXPECT_EQ(TakeLog(), (Lines{"COMMAND 30 CBN_SETFOCUS", "COMMAND 30 CBN_DROPDOWN", "COMMAND 30 CBN_SELENDOK",
                              "COMMAND 30 CBN_CLOSEUP", "COMMAND 30 CBN_SELCHANGE"}));
  SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 0);
}

TEST_F(Dialogs, SortedEditableComboAndListBoxes) {
  HWND combo = Item(31);
  for (const char16_t* s : {u"pear", u"Apple", u"fig"})
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
  EXPECT_EQ(ui::DescribeControls(dialog)[8].items, (std::vector<std::u16string>{u"Apple", u"fig", u"pear"}));
  SendMessageW(combo, CB_LIMITTEXT, 4, 0);
  ASSERT_TRUE(ui::Type(combo, u"kiwis"));
  EXPECT_EQ(TextOf(31), u"kiwi");
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), CB_ERR);
  TakeLog();

  HWND list = Item(40), quiet = Item(41);
  for (HWND l : {list, quiet}) {
    SendMessageW(l, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"one"));
    SendMessageW(l, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"two"));
  }
  SendMessageW(list, LB_SETCURSEL, 0, 0);
  EXPECT_TRUE(TakeLog().empty());
  ASSERT_TRUE(ui::Choose(list, u"two"));
  ASSERT_TRUE(ui::DoubleClick(list));
  ASSERT_TRUE(ui::Choose(quiet, u"two"));  // without LBS_NOTIFY the list tells nothing
  EXPECT_EQ(SendMessageW(quiet, LB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(TakeLog(),
            (Lines{"COMMAND 31 CBN_KILLFOCUS", "COMMAND 40 LBN_SELCHANGE", "COMMAND 40 LBN_DBLCLK"}));
}

TEST_F(Dialogs, TypingSendsAChangePerKeyAndHonoursLimits) {
  HWND edit = Item(20);
  SendMessageW(edit, EM_LIMITTEXT, 3, 0);
  ASSERT_TRUE(ui::Type(edit, u"abcd"));
  EXPECT_EQ(TextOf(20), u"abc");
  EXPECT_EQ(TakeLog(), (Lines{"COMMAND 20 EN_SETFOCUS", "COMMAND 20 EN_UPDATE", "COMMAND 20 EN_CHANGE",
                              "COMMAND 20 EN_UPDATE", "COMMAND 20 EN_CHANGE", "COMMAND 20 EN_UPDATE",
                              "COMMAND 20 EN_CHANGE", "COMMAND 20 EN_MAXTEXT"}));
  // A program's text is not limited, and an edit reports it changed.
  SetDlgItemTextW(dialog, 20, u"longer text");
  EXPECT_EQ(TextOf(20), u"longer text");
  EXPECT_EQ(TakeLog(), (Lines{"COMMAND 20 EN_UPDATE", "COMMAND 20 EN_CHANGE"}));
  SetDlgItemTextW(dialog, 71, u"label");
  EXPECT_TRUE(TakeLog().empty());

  ASSERT_TRUE(ui::Type(Item(21), u"1a2"));  // ES_NUMBER drops the letter
  EXPECT_EQ(TextOf(21), u"12");
  ASSERT_TRUE(ui::Click(Item(60)));  // focus leaves the edit
  Lines log = TakeLog();
  EXPECT_EQ(log.front(), "COMMAND 20 EN_KILLFOCUS");
  EXPECT_EQ(log.back(), "COMMAND 60 BN_CLICKED");
  SendMessageW(edit, EM_SETREADONLY, TRUE, 0);
  EXPECT_FALSE(ui::Type(edit, u"x"));
}

TEST_F(Dialogs, DialogItemIntegersTranslateAsWindowsDoes) {
  struct Case {
    const char16_t* text;
    BOOL isSigned;
    BOOL translated;
    UINT value;
  } cases[] = {
      {u" 42 ", FALSE, TRUE, 42},
      {u"-7", TRUE, TRUE, static_cast<UINT>(-7)},
      {u"-7", FALSE, FALSE, 0},
      {u"4294967295", FALSE, TRUE, 4294967295u},
      {u"4294967296", FALSE, FALSE, 0},
      {u"2147483648", TRUE, FALSE, 0},
      {u"-2147483648", TRUE, TRUE, 0x80000000u},
      {u"12x", FALSE, FALSE, 0},
      {u"", FALSE, FALSE, 0},
  };
  for (const auto& c : cases) {
    SetDlgItemTextW(dialog, 20, c.text);
    BOOL translated = 2;
    EXPECT_EQ(GetDlgItemInt(dialog, 20, &translated, c.isSigned), c.value) << platform::Utf16ToUtf8(c.text);
    EXPECT_EQ(translated, c.translated) << platform::Utf16ToUtf8(c.text);
  }
  SetDlgItemInt(dialog, 20, static_cast<UINT>(-5), TRUE);
  EXPECT_EQ(TextOf(20), u"-5");
  SetDlgItemInt(dialog, 20, static_cast<UINT>(-5), FALSE);
  EXPECT_EQ(TextOf(20), u"4294967291");
}

TEST_F(Dialogs, UpDownKeepsItsRangeAndWritesItsBuddy) {
  HWND spin = Item(22);
  EXPECT_EQ(reinterpret_cast<HWND>(SendMessageW(spin, UDM_GETBUDDY, 0, 0)),
            Item(21));  // the control before it
  SendMessageW(spin, UDM_SETRANGE32, 1, 999);
  SendMessageW(spin, UDM_SETPOS32, 0, 1200);
  EXPECT_EQ(TextOf(21), u"999");
  int low = 0, high = 0;
  SendMessageW(spin, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
  EXPECT_EQ(low + high, 1000);
  SetDlgItemTextW(dialog, 21, u"30");
  BOOL error = TRUE;
  EXPECT_EQ(SendMessageW(spin, UDM_GETPOS32, 0, reinterpret_cast<LPARAM>(&error)), 30);
  EXPECT_FALSE(error);
  TakeLog();
  ASSERT_TRUE(ui::Spin(spin, 2));
  EXPECT_EQ(TextOf(21), u"32");
  EXPECT_EQ(TakeLog(),
            (Lines{"COMMAND 21 EN_UPDATE", "COMMAND 21 EN_CHANGE", "VSCROLL 4 32", "VSCROLL 8 0"}));
  SetDlgItemTextW(dialog, 21, u"");
  EXPECT_EQ(SendMessageW(spin, UDM_GETPOS32, 0, reinterpret_cast<LPARAM>(&error)), 32);
  EXPECT_TRUE(error);
}

TEST_F(Dialogs, TrackBarAndHelpReachTheDialog) {
  HWND bar = Item(80);
  SendMessageW(bar, TBM_SETRANGEMIN, FALSE, 10);
  SendMessageW(bar, TBM_SETRANGEMAX, FALSE, 20);
  SendMessageW(bar, TBM_SETPOS, TRUE, 50);
  EXPECT_EQ(SendMessageW(bar, TBM_GETPOS, 0, 0), 20);
  EXPECT_TRUE(TakeLog().empty());
  ASSERT_TRUE(ui::Slide(bar, 12));
  ASSERT_TRUE(ui::Help(Item(10)));
  EXPECT_EQ(TakeLog(), (Lines{"HSCROLL 4 12", "HSCROLL 8 0", "HELP 10"}));
}

TEST(Layout, IsKeptPerDeviceContext) {
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_EQ(GetLayout(dc), 0u);
  EXPECT_EQ(SetLayout(dc, LAYOUT_RTL), 0u);
  EXPECT_EQ(GetLayout(dc), LAYOUT_RTL);
  EXPECT_EQ(SetLayout(nullptr, LAYOUT_RTL), GDI_ERROR_LAYOUT);
  DeleteDC(dc);
}

TEST_F(Dialogs, WindowDataSlots) {
  EXPECT_EQ(SetWindowLongPtrW(dialog, DWLP_USER, 5), 0);
  EXPECT_EQ(SetWindowLongPtrW(dialog, DWLP_USER, 6), 5);
  SetWindowLongPtrW(dialog, DWLP_MSGRESULT, 9);
  SetWindowLongPtrW(Item(10), GWLP_USERDATA, 11);
  EXPECT_EQ(GetWindowLongPtrW(dialog, DWLP_USER) + GetWindowLongPtrW(dialog, DWLP_MSGRESULT), 15);
  EXPECT_EQ(GetWindowLongPtrW(Item(10), GWLP_USERDATA), 11);
  EXPECT_EQ(GetWindowLongPtrW(Item(10), GWLP_ID), 10);
  EXPECT_EQ(SetWindowLongPtrW(Item(10), DWLP_USER, 1), 0);  // a control has no dialog slots
  EXPECT_EQ(GetLastError(), ERROR_INVALID_INDEX);
}

TEST_F(Dialogs, PostedMessagesWaitForThePumpAndTimersForTheClock) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(60, BN_CLICKED), 0);
  EXPECT_TRUE(TakeLog().empty());
  ui::PumpMessages();
  EXPECT_EQ(TakeLog(), (Lines{"COMMAND 60 BN_CLICKED"}));

  EXPECT_EQ(SetTimer(dialog, 7, 100, nullptr), 7u);
  ui::AdvanceTime(99);
  EXPECT_TRUE(TakeLog().empty());
  ui::AdvanceTime(251);
  EXPECT_EQ(TakeLog(), (Lines{"TIMER 7", "TIMER 7", "TIMER 7"}));
  EXPECT_TRUE(KillTimer(dialog, 7));
  ui::AdvanceTime(1000);
  EXPECT_TRUE(TakeLog().empty());
  EXPECT_FALSE(KillTimer(dialog, 7));
}

INT_PTR WINAPI EndsAtOnce(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_INITDIALOG) EndDialog(dialog, lParam);
  return message == WM_INITDIALOG ? TRUE : FALSE;
}

TEST(ModalDialogs, RunUntilEndDialogDrivenByTheirScript) {
  HMODULE module = dialog_test::LoadModule();
  ASSERT_NE(module, nullptr);
  ui::QueueModalScript([](HWND dialog) {
    EXPECT_TRUE(ui::Type(GetDlgItem(dialog, 20), u"x"));
    PostMessageW(dialog, WM_USER, 31, 0);
  });
  EXPECT_EQ(DialogBoxParamW(module, MAKEINTRESOURCEW(100), nullptr, dialog_test::RecordingProc, 0), 31);
  ui::QueueModalScript([](HWND dialog) { EXPECT_TRUE(ui::Click(GetDlgItem(dialog, IDOK))); });
  EXPECT_EQ(DialogBoxParamW(module, MAKEINTRESOURCEW(100), nullptr, dialog_test::RecordingProc, 0), IDOK);
  // No script: the dialog is cancelled as a user pressing Escape would.
  EXPECT_EQ(DialogBoxParamW(module, MAKEINTRESOURCEW(101), nullptr, dialog_test::RecordingProc, 0), IDCANCEL);
  EXPECT_EQ(DialogBoxParamW(module, MAKEINTRESOURCEW(101), nullptr, EndsAtOnce, 55), 55);
  EXPECT_EQ(DialogBoxParamW(module, MAKEINTRESOURCEW(555), nullptr, EndsAtOnce, 55), -1);
  Lines log = TakeLog();
  EXPECT_EQ(std::count(log.begin(), log.end(), "DESTROY"), 3);
  EXPECT_EQ(std::count(log.begin(), log.end(), "COMMAND 2 BN_CLICKED"), 1);
  FreeLibrary(module);
}

// Paints the item's rectangle red and its width in green pixels along the top row.
INT_PTR WINAPI Painter(HWND, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_MEASUREITEM) {
    reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = 10;
    return TRUE;
  }
  if (message != WM_DRAWITEM) return FALSE;
  auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
  dialog_test::Log().push_back("DRAW " + std::to_string(dis->CtlID) + " item " +
                               std::to_string(static_cast<int>(dis->itemID)) +
                               (dis->itemState & ODS_SELECTED ? " selected" : ""));
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  HGDIOBJ old = SelectObject(dis->hDC, red);
  SelectObject(dis->hDC, GetStockObject(NULL_PEN));
  Rectangle(dis->hDC, dis->rcItem.left, dis->rcItem.top, dis->rcItem.left + 5, dis->rcItem.top + 5);
  SelectObject(dis->hDC, old);
  DeleteObject(red);
  return TRUE;
}

TEST(OwnerDrawn, ControlsArePaintedIntoAMemoryDcAndKept) {
  HMODULE module = dialog_test::LoadModule();
  HWND dialog = CreateDialogParamW(module, MAKEINTRESOURCEW(100), nullptr, Painter, 0);
  ASSERT_NE(dialog, nullptr);
  HWND picture = GetDlgItem(dialog, 50), list = GetDlgItem(dialog, 51);
  auto shown = ui::LastPicture(picture);
  ASSERT_TRUE(shown);
  EXPECT_EQ(shown->width, 60);  // 40 x 16 dialog units
  EXPECT_EQ(shown->height, 26);
  EXPECT_EQ(shown->pixels[0], 0xFF0000u);
  EXPECT_EQ(shown->pixels[2 * 60 + 2], 0xFF0000u);
  EXPECT_EQ(shown->pixels[10 * 60 + 10], 0xFFFFFFu);
  EXPECT_FALSE(ui::LastPicture(GetDlgItem(dialog, 10)));  // drawn by the system, not its owner
  TakeLog();

  SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"a"));
  SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"b"));
  SendMessageW(list, LB_SETCURSEL, 1, 0);
  EXPECT_TRUE(TakeLog().empty());  // painting waits for the message loop
  ui::PumpMessages();
  EXPECT_EQ(TakeLog(), (Lines{"DRAW 51 item 0", "DRAW 51 item 1 selected"}));
  auto rows = ui::LastPicture(list);
  ASSERT_TRUE(rows);
  EXPECT_EQ(rows->pixels[static_cast<size_t>(10 * rows->width)], 0xFF0000u);  // the second row starts 10 down
  EXPECT_EQ(rows->pixels[static_cast<size_t>(5 * rows->width)], 0xFFFFFFu);

  InvalidateRect(picture, nullptr, TRUE);
  UpdateWindow(picture);
  EXPECT_EQ(TakeLog(), (Lines{"DRAW 50 item 0"}));
  DestroyWindow(dialog);
  FreeLibrary(module);
}

TEST(CommonDialogs, ChoosersTakeQueuedAnswersAndShellCallsAreRecorded) {
  ui::QueueColorAnswers({RGB(1, 2, 3), std::nullopt});
  CHOOSECOLORW cc{};
  cc.lStructSize = sizeof cc;
  EXPECT_TRUE(ChooseColorW(&cc));
  EXPECT_EQ(cc.rgbResult, RGB(1, 2, 3));
  EXPECT_FALSE(ChooseColorW(&cc));
  EXPECT_FALSE(ChooseColorW(&cc));  // nothing queued: cancelled

  ui::QueueOpenFileAnswers({u"/tmp/logo.bmp", u"/a/very/long/name.bmp"});
  WCHAR file[16] = {};
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.lpstrFile = file;
  ofn.nMaxFile = 16;
  ASSERT_TRUE(GetOpenFileNameW(&ofn));
  EXPECT_EQ(std::u16string(file), u"/tmp/logo.bmp");
  EXPECT_EQ(ofn.nFileOffset, 5);
  EXPECT_EQ(ofn.nFileExtension, 10);
  EXPECT_FALSE(GetOpenFileNameW(&ofn));
  EXPECT_EQ(CommDlgExtendedError(), FNERR_BUFFERTOOSMALL);
  EXPECT_EQ(file[0], 22);  // the room it needs

  EXPECT_EQ(reinterpret_cast<uintptr_t>(
                ShellExecuteW(nullptr, u"open", u"https://example.org", nullptr, nullptr, SW_SHOW)),
            42u);
  auto calls = ui::TakeShellExecutes();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].file, u"https://example.org");
  INITCOMMONCONTROLSEX icc{sizeof icc, 0x3FFF};
  EXPECT_TRUE(InitCommonControlsEx(&icc));
}

}  // namespace
