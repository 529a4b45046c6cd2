// The layout page: pages per sheet or poster, page order, borders, orientation, zoom and density.
#include "pages/pages.h"
#include "pages/page_support.h"

namespace ui {

LONG_PTR WINAPI LayoutPageProc(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
  return pages::DefaultPageMessage(dialog, message, lParam);
}

}  // namespace ui
