// The printer properties' device options page.
#include "pages/pages.h"
#include "pages/page_support.h"

namespace ui {

LONG_PTR WINAPI DeviceOptionsPageProc(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
  return pages::DefaultPageMessage(dialog, message, lParam);
}

}  // namespace ui
