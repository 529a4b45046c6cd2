// The printer properties' device options page: what the printer is and how it is reached, to read.
#include <string>
#include <vector>

#include "pages/device_support.h"
#include "pages/page_support.h"
#include "pages/pages.h"
#include "win/dialogs.h"
#include "win/spooler.h"

namespace ui {
namespace {

constexpr int kModel = 6711, kVersion = 6713, kPort = 6715, kMonitor = 6717;
constexpr UINT kUnknown = 6703;

std::u16string DriverName(HANDLE printer) {
  DWORD needed = 0;
  GetPrinterW(printer, 2, nullptr, 0, &needed);
  if (needed < sizeof(PRINTER_INFO_2W)) return {};
  std::vector<uint64_t> storage((needed + 7) / 8);
  if (!GetPrinterW(printer, 2, reinterpret_cast<LPBYTE>(storage.data()), needed, &needed)) return {};
  const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(storage.data());
  return info->pDriverName != nullptr ? std::u16string(info->pDriverName) : std::u16string();
}

void Show(HWND dialog, int id, const std::u16string& text, const std::u16string& unknown) {
  SetDlgItemTextW(dialog, id, (text.empty() ? unknown : text).c_str());
}

void OnInit(HWND dialog, const SheetState& state) {
  std::u16string unknown = pages::ModuleText(state.languageModule, kUnknown);
  std::u16string port = device::PrinterPort(state.printer);
  auto described = device::DescribePort(port);
  Show(dialog, kModel, DriverName(state.printer), unknown);
  Show(dialog, kVersion, device::ReadDriverVersion(), unknown);
  Show(dialog, kPort, port, unknown);
  Show(dialog, kMonitor, described ? described->monitor : std::u16string(), unknown);
}

}  // namespace

LONG_PTR WINAPI DeviceOptionsPageProc(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
  LONG_PTR handled = pages::DefaultPageMessage(dialog, message, lParam);
  if (message == WM_INITDIALOG) {
    if (SheetState* state = pages::PageState(dialog); state != nullptr && GetDlgItem(dialog, kModel) != nullptr)
      OnInit(dialog, *state);
  }
  return handled;
}

}  // namespace ui
