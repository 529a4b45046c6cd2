// The watermark page and its editors.
#include "pages/pages.h"
#include "pages/page_support.h"

namespace ui {

LONG_PTR WINAPI WatermarkPageProc(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
  return pages::DefaultPageMessage(dialog, message, lParam);
}

}  // namespace ui
