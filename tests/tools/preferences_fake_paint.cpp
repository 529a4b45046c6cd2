// The fake sheets' preview painting, apart because the GDI header and the printer UI header do
// not mix.
#include "win/wingdi.h"

// Left half `left`, right half `right`.
void PaintFakePreview(HDC dc, int width, int height, COLORREF left, COLORREF right) {
  for (int half = 0; half < 2; ++half) {
    HBRUSH brush = CreateSolidBrush(half == 0 ? left : right);
    HGDIOBJ previous = SelectObject(dc, brush);
    PatBlt(dc, half == 0 ? 0 : width / 2, 0, half == 0 ? width / 2 : width - width / 2, height, PATCOPY);
    SelectObject(dc, previous);
    DeleteObject(brush);
  }
}
