// The paper and image page: paper source, media type, copies, two-sided printing and the image settings.
#include "pages/pages.h"
#include "pages/page_support.h"

namespace ui {

LONG_PTR WINAPI PaperImagePageProc(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
  return pages::DefaultPageMessage(dialog, message, lParam);
}

}  // namespace ui
