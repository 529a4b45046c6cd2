// The layout preview painted as the platform paints an owner-drawn control (a white 32-bit
// memory picture), for the layout page tests; apart because wingdi.h and the sheet headers clash.
#include <cstdint>
#include <cstring>
#include <vector>

#include "preview/layout_preview.h"
#include "win/wingdi.h"

namespace layout_page_test {

std::vector<uint32_t> PaintedPreview(HMODULE module, int width, int height, const ui::preview::LayoutInputs& in) {
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = CreateCompatibleDC(nullptr);
  std::vector<uint32_t> out(static_cast<size_t>(width) * height, 0x00FFFFFFu);
  if (bitmap == nullptr || dc == nullptr || bits == nullptr) {
    if (dc != nullptr) DeleteDC(dc);
    if (bitmap != nullptr) DeleteObject(bitmap);
    return {};
  }
  auto* pixels = static_cast<uint32_t*>(bits);
  std::memcpy(pixels, out.data(), out.size() * sizeof(uint32_t));
  HGDIOBJ old = SelectObject(dc, bitmap);
  DRAWITEMSTRUCT item{};
  item.CtlType = ODT_STATIC;
  item.hDC = dc;
  item.rcItem = {0, 0, width, height};
  ui::preview::PaintLayoutPreview(item, module, in);
  for (size_t i = 0; i < out.size(); ++i) out[i] = pixels[i] & 0x00FFFFFFu;
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(bitmap);
  return out;
}

}  // namespace layout_page_test
