// The printer properties' power-saving page: sleep time, optional trays, fonts.
#include <algorithm>
#include <array>
#include <string>

#include "entry/language.h"
#include "entry/property_sheets.h"
#include "pages/device_support.h"
#include "pages/font_substitution_dialog.h"
#include "pages/page_support.h"
#include "pages/pages.h"
#include "store/printer_data.h"
#include "win/dialogs.h"
#include "win/modules.h"
#include "win/printer_ui.h"

namespace ui {
namespace {

constexpr UINT kTitle = 274;
constexpr int kDriverVersion = 1448;
constexpr int kWebButton = 1255;
constexpr int kSleepLabel = 1447;
constexpr int kSleepList = 1393;
constexpr int kFontButton = 1455;
constexpr int kTray1Installed = 5084, kTray2Installed = 5085;
constexpr int kTray1Paper = 5080, kTray2Paper = 5081;
constexpr int kTray1PaperLabel = 1460, kTray2PaperLabel = 1461;
constexpr UINT kBusyCaption = 2060, kBusyText = 5079;
constexpr UINT_PTR kRetryTimer = 1;
constexpr UINT kRetryMilliseconds = 25;
constexpr char16_t kMakerWebPage[] = u"https://www.taliro.com/";

constexpr std::pair<int, UINT> kLabels[] = {
    {1248, 1171}, {1249, 1172}, {1252, 1174}, {1255, 4080}, {1447, 4086}, {1455, 136}, {1444, 4078},
    {1449, 5100}, {1450, 5101}, {1460, 5082}, {1461, 5083}, {1462, 5082}, {1463, 5083},
};

constexpr pages::Choice kSleepChoices[] = {
    {4081, 1}, {4083, 5}, {4084, 15}, {4085, 30}, {5026, 60}, {5027, 480},
};

constexpr pages::Choice kInstallChoices[] = {{5089, 0}, {5088, 1}};

// Item data is the DMPAPER value; the stored record keeps the index.
constexpr pages::Choice kTrayPapers[] = {
    {108, 1},   {116, 9},   {110, 5},  {118, 13}, {119, 11},  {4064, 250},
    {4065, 245}, {4069, 34}, {111, 7},  {109, 14}, {4070, 243}, {411, 6},
};

constexpr HelpContext kHelp[] = {
    {1393, 65101}, {1447, 65101}, {1448, 65102}, {1248, 65102}, {1255, 65103},
    {1455, 65104}, {5084, 65105}, {5085, 65105}, {5080, 65106}, {5081, 65106},
};
constexpr HelpContext kPageHelp[] = {{651, 65100}};

bool SharedConnection(const SheetState& state) {
  return std::u16string_view(state.printerName).find(u'\\') != std::u16string_view::npos;
}

void Enable(HWND dialog, int id, bool on) { EnableWindow(GetDlgItem(dialog, id), on ? TRUE : FALSE); }
void Show(HWND dialog, int id, bool on) { ShowWindow(GetDlgItem(dialog, id), on ? SW_SHOW : SW_HIDE); }

int Selection(HWND dialog, int id) {
  return static_cast<int>(std::max<LRESULT>(0, SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0)));
}

void ApplyTrayRule(HWND dialog) {
  bool first = SendDlgItemMessageW(dialog, kTray1Installed, CB_GETCURSEL, 0, 0) != 0;
  bool second = SendDlgItemMessageW(dialog, kTray2Installed, CB_GETCURSEL, 0, 0) != 0;
  Enable(dialog, kTray1Paper, first);
  Enable(dialog, kTray1PaperLabel, first);
  Enable(dialog, kTray2Paper, second);
  Enable(dialog, kTray2PaperLabel, second);
}

void SelectIndex(HWND dialog, int id, int32_t index, int count) {
  SendDlgItemMessageW(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(index >= 0 && index < count ? index : 0), 0);
}

// What the printer says its sleep time is; else what was stored last; else 1 minute.
int CurrentSleepTime(const SheetState& state, std::u16string_view port) {
  if (auto reply = device::QueryPrinterSleepState(device::FindUsbPrintDevice(port))) {
    (void)WriteSleepTime(state.printer, reply->minutes);
    return reply->minutes;
  }
  return ReadSleepTime(state.printer).value_or(1);
}

bool OnNetworkPort(std::u16string_view port) {
  auto described = device::DescribePort(port);
  return described && device::IsNetworkMonitor(described->monitor);
}

void InitSleepTime(HWND dialog, const SheetState& state) {
  bool mayChange = !SharedConnection(state) && device::IsAdministrator();
  Enable(dialog, kSleepList, mayChange);
  pages::FillChoices(dialog, kSleepList, state.languageModule, kSleepChoices);
  std::u16string port = device::PrinterPort(state.printer);
  if (OnNetworkPort(port)) {
    Show(dialog, kSleepLabel, false);
    Show(dialog, kSleepList, false);
    Enable(dialog, kSleepList, false);
    SendDlgItemMessageW(dialog, kSleepList, CB_SETCURSEL, 0, 0);
    return;
  }
  if (pages::SelectChoice(dialog, kSleepList, CurrentSleepTime(state, port)) < 0)
    SendDlgItemMessageW(dialog, kSleepList, CB_SETCURSEL, 0, 0);
}

void InitTrays(HWND dialog, const SheetState& state) {
  TrayInstallRecord record = ReadTrayInstall(state.printer);
  for (int id : {kTray1Installed, kTray2Installed}) pages::FillChoices(dialog, id, state.languageModule, kInstallChoices);
  for (int id : {kTray1Paper, kTray2Paper}) pages::FillChoices(dialog, id, state.languageModule, kTrayPapers);
  SelectIndex(dialog, kTray1Installed, record.tray1Installed, static_cast<int>(std::size(kInstallChoices)));
  SelectIndex(dialog, kTray2Installed, record.tray2Installed, static_cast<int>(std::size(kInstallChoices)));
  SelectIndex(dialog, kTray1Paper, record.tray1Paper, static_cast<int>(std::size(kTrayPapers)));
  SelectIndex(dialog, kTray2Paper, record.tray2Paper, static_cast<int>(std::size(kTrayPapers)));
  ApplyTrayRule(dialog);
}

void OnInit(HWND dialog, const SheetState& state) {
  SetWindowTextW(dialog, pages::ModuleText(state.languageModule, kTitle).c_str());
  pages::SetLabels(dialog, state.languageModule, kLabels);
  SetDlgItemTextW(dialog, kDriverVersion, device::ReadDriverVersion().c_str());
  InitSleepTime(dialog, state);
  InitTrays(dialog, state);
}

void OnSleepChosen(HWND dialog, const SheetState& state) {
  int current = CurrentSleepTime(state, device::PrinterPort(state.printer));
  (void)WriteSleepTime(state.printer, current);
  if (pages::SelectedChoice(dialog, kSleepList, 0) == current)
    pages::MarkUnchanged(dialog);
  else
    pages::MarkChanged(dialog);
}

void ApplySleepTime(HWND dialog, SheetState& state) {
  int selected = static_cast<int>(pages::SelectedChoice(dialog, kSleepList, 0));
  if (ReadSleepTime(state.printer).value_or(-1) == selected) return;
  std::u16string port = device::PrinterPort(state.printer);
  if (OnNetworkPort(port) || selected == 0 || SharedConnection(state) || !device::IsAdministrator()) return;
  std::u16string path = device::FindUsbPrintDevice(port);
  auto reply = device::QueryPrinterSleepState(path);
  if (!reply) return;
  if (!device::ReadyForCommand(*reply)) {
    ShowModuleMessage(dialog, state.languageModule, kBusyText, kBusyCaption, MB_ICONEXCLAMATION);
    SetTimer(dialog, kRetryTimer, kRetryMilliseconds, nullptr);
    return;
  }
  bool usbPort = port.size() >= 3 && (port[0] == u'U' || port[0] == u'u') && (port[1] == u'S' || port[1] == u's') &&
                 (port[2] == u'B' || port[2] == u'b');
  if (usbPort && !device::SendSleepTime(path, selected)) return;
  (void)WriteSleepTime(state.printer, selected);
}

void ApplyTrays(HWND dialog, const SheetState& state) {
  TrayInstallRecord record = ReadTrayInstall(state.printer);
  record.tray1Installed = Selection(dialog, kTray1Installed);
  record.tray2Installed = Selection(dialog, kTray2Installed);
  record.tray1Paper = Selection(dialog, kTray1Paper);
  record.tray2Paper = Selection(dialog, kTray2Paper);
  (void)WriteTrayInstall(state.printer, record);
}

void OnCommand(HWND dialog, SheetState& state, WORD id, WORD code) {
  switch (id) {
    case kSleepList:
      if (code == CBN_SELCHANGE) OnSleepChosen(dialog, state);
      break;
    case kTray1Installed:
    case kTray2Installed:
      if (code != CBN_SELCHANGE) break;
      ApplyTrayRule(dialog);
      pages::MarkChanged(dialog);
      break;
    case kTray1Paper:
    case kTray2Paper:
      if (code == CBN_SELCHANGE) pages::MarkChanged(dialog);
      break;
    case kWebButton:
      if (code == BN_CLICKED) ShellExecuteW(dialog, u"open", kMakerWebPage, nullptr, nullptr, SW_SHOWNORMAL);
      break;
    case kFontButton:
      // -1 is a dialog that could not be shown: nothing changed.
      if (code == BN_CLICKED && RunFontSubstitutionDialog(dialog, &state) > 0) pages::MarkChanged(dialog);
      break;
    default: break;
  }
}

LONG_PTR OnNotify(HWND dialog, SheetState& state, const NMHDR& notification) {
  switch (notification.code) {
    case PSN_SETACTIVE: ApplyTrayRule(dialog); return TRUE;
    case PSN_APPLY:
      if (GetDlgItem(dialog, kSleepList) != nullptr) {
        // The substitution dialog wrote its table when the user pressed its OK: nothing is pending.
        ApplySleepTime(dialog, state);
        ApplyTrays(dialog, state);
      }
      ApplySheetResult(dialog, &state);
      return TRUE;
    case PSN_RESET: state.applied = 0; return TRUE;
    case PSN_HELP: ShowContextHelp(dialog, 651, kPageHelp); return TRUE;
    default: return FALSE;
  }
}

}  // namespace

LONG_PTR WINAPI PowerPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    pages::DefaultPageMessage(dialog, message, lParam);
    // A page window that is not a dialog of the platform has no controls to fill.
    if (SheetState* state = pages::PageState(dialog); state != nullptr && GetDlgItem(dialog, kSleepList) != nullptr)
      OnInit(dialog, *state);
    return TRUE;
  }
  SheetState* state = pages::PageState(dialog);
  if (state == nullptr) return FALSE;
  switch (message) {
    case WM_COMMAND: OnCommand(dialog, *state, LOWORD(wParam), HIWORD(wParam)); return TRUE;
    case WM_NOTIFY:
      if (lParam == 0) return FALSE;
      return OnNotify(dialog, *state, *reinterpret_cast<const NMHDR*>(lParam));
    case WM_TIMER:
      if (wParam != kRetryTimer) return FALSE;
      KillTimer(dialog, kRetryTimer);
      pages::MarkChanged(dialog);
      return TRUE;
    case WM_HELP: {
      const auto* help = reinterpret_cast<const HELPINFO*>(lParam);
      if (help != nullptr) ShowContextHelp(dialog, help->iCtrlId, kHelp);
      return TRUE;
    }
    default: return FALSE;
  }
}

}  // namespace ui
