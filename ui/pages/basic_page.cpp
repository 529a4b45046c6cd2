// The basic page: paper size, orientation and favourites.
#include "pages/pages.h"
#include "pages/page_support.h"

namespace ui {

LONG_PTR WINAPI BasicPageProc(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
  return pages::DefaultPageMessage(dialog, message, lParam);
}

}  // namespace ui
