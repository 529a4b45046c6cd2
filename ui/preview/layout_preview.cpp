#include "preview/layout_preview.h"

#include <algorithm>
#include <new>

#include "win/wingdi.h"

namespace ui::preview {
namespace {

constexpr int kPosterFirst = 144;
constexpr int kOnePageFirst = 300;
constexpr int kTwoPagesFirst = 310;
constexpr int kManyPagesFirst = 320;

size_t Stride(int width) { return (static_cast<size_t>(width) * 3 + 3) & ~size_t{3}; }

// Rows are bottom-up: row 0 is the picture's bottom row.
uint8_t* Pixel(decor::LoadedBitmap& p, int x, int row) { return &p.bits[row * Stride(p.width) + x * 3]; }

bool Usable(const decor::LoadedBitmap& p) {
  return p.width > 0 && p.height > 0 && p.bits.size() >= Stride(p.width) * p.height;
}

}  // namespace

LayoutInputs LayoutInputsFrom(int orientation, const devmode::StoredPrivate& p) {
  LayoutInputs in;
  in.landscape = orientation == 2;
  in.poster = p.PosterPrint != 0;
  in.posterType = p.PosterType;
  in.cropMarks = p.CropMarks != 0;
  in.pagesPerSheet = p.MultipleUp;
  in.pageOrder = p.PageOrder;
  in.pageBorder = p.PageBorder != 0;
  in.tonerSaving = p.TonerSavingMode != 0;
  in.density = p.Thickness;
  in.rotate180 = p.Rotate180 != 0;
  in.zoom = p.zoomPercent;
  return in;
}

int LayoutDensity(const LayoutInputs& in) { return in.tonerSaving ? 0 : std::clamp(in.density, 0, 2); }

int LayoutPictureId(const LayoutInputs& in) {
  const int o = in.landscape ? 1 : 0;
  if (in.poster) return kPosterFirst + o * 12 + (in.cropMarks ? 6 : 0) + std::clamp(in.posterType, 0, 5);
  const int border = in.pageBorder ? 1 : 0;
  switch (in.pagesPerSheet) {
    case 2:
    case 22: return kTwoPagesFirst + o * 4 + border * 2 + std::clamp(in.pageOrder, 0, 1);
    case 4:
    case 8:
    case 16: {
      const int n = in.pagesPerSheet == 4 ? 0 : in.pagesPerSheet == 8 ? 1 : 2;
      return kManyPagesFirst + n * 16 + o * 8 + border * 4 + std::clamp(in.pageOrder, 0, 3);
    }
    default: return kOnePageFirst + o;
  }
}

void AdjustLayoutDensity(decor::LoadedBitmap& p, int density) {
  if (density == 1 || !Usable(p)) return;
  const int delta = density == 0 ? 120 : -40;
  for (int row = 3; row < p.height - 2; ++row) {
    for (int x = 3; x < p.width - 2; ++x) {
      uint8_t* px = Pixel(p, x, row);
      const int b = px[0], g = px[1], r = px[2];
      if ((11 * r + 30 * b + 59 * g + 50) / 100 == 255) continue;
      for (int c = 0; c < 3; ++c) px[c] = static_cast<uint8_t>(std::clamp(px[c] + delta, 0, 255));
    }
  }
}

void MirrorLayoutPicture(decor::LoadedBitmap& p) {
  if (!Usable(p)) return;
  decor::LoadedBitmap out = p;
  for (int row = 0; row < p.height; ++row)
    for (int x = 0; x < p.width; ++x) std::copy_n(Pixel(p, x, row), 3, Pixel(out, p.width - 1 - x, p.height - 1 - row));
  p = std::move(out);
}

void WhitenLayoutEdges(decor::LoadedBitmap& p) {
  if (!Usable(p)) return;
  for (int row = 0; row < p.height; ++row) {
    const bool edgeRow = row < 3 || row >= p.height - 2;
    for (int x = 0; x < p.width; ++x)
      if (edgeRow || x == 0 || x == p.width - 1) std::fill_n(Pixel(p, x, row), 3, 0xFF);
  }
}

void PaintLayoutPreview(const DRAWITEMSTRUCT& item, HMODULE module, const LayoutInputs& in) {
  const RECT& rc = item.rcItem;
  const int w = rc.right - rc.left, h = rc.bottom - rc.top;
  if (w <= 0 || h <= 0) return;
  HDC mem = CreateCompatibleDC(item.hDC);
  HBITMAP canvas = mem != nullptr ? CreateCompatibleBitmap(item.hDC, w, h) : nullptr;
  if (canvas == nullptr) {
    if (mem != nullptr) DeleteDC(mem);
    return;
  }
  HGDIOBJ oldCanvas = SelectObject(mem, canvas);
  PatBlt(mem, 0, 0, w, h, WHITENESS);
  HBITMAP picture = LoadBitmapW(module, MAKEINTRESOURCEW(LayoutPictureId(in)));
  BITMAP info{};
  if (picture != nullptr && GetObjectW(picture, sizeof info, &info) != 0 && info.bmWidth > 0 && info.bmHeight > 0) {
    decor::LoadedBitmap p;
    p.width = info.bmWidth;
    p.height = info.bmHeight;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = p.width;
    bi.bmiHeader.biHeight = p.height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biXPelsPerMeter = bi.bmiHeader.biYPelsPerMeter = 75;
    bool copied = false;
    try {
      p.bits.resize(Stride(p.width) * p.height);
      copied = GetDIBits(mem, picture, 0, p.height, p.bits.data(), &bi, DIB_RGB_COLORS) == p.height;
    } catch (const std::bad_alloc&) {
      copied = false;  // the page stays white
    }
    if (copied) {
      AdjustLayoutDensity(p, LayoutDensity(in));
      if (in.rotate180) MirrorLayoutPicture(p);
      if (in.zoom == 100) {
        StretchDIBits(mem, 0, 0, p.width, p.height, 0, 0, p.width, p.height, p.bits.data(), &bi, DIB_RGB_COLORS, SRCCOPY);
      } else {
        WhitenLayoutEdges(p);
        const int zw = p.width * std::clamp(in.zoom, 0, 1000) / 100, zh = p.height * std::clamp(in.zoom, 0, 1000) / 100;
        SetStretchBltMode(mem, COLORONCOLOR);
        StretchDIBits(mem, 0, 0, zw, zh, 0, 0, p.width, p.height, p.bits.data(), &bi, DIB_RGB_COLORS, SRCCOPY);
        HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        HGDIOBJ old = SelectObject(mem, black);
        PatBlt(mem, 0, 0, w, 1, PATCOPY);
        PatBlt(mem, 0, h - 1, w, 1, PATCOPY);
        PatBlt(mem, 0, 0, 1, h, PATCOPY);
        PatBlt(mem, w - 1, 0, 1, h, PATCOPY);
        SelectObject(mem, old);
      }
    }
  }
  if (picture != nullptr) DeleteObject(picture);
  BitBlt(item.hDC, rc.left, rc.top, w, h, mem, 0, 0, SRCCOPY);
  SelectObject(mem, oldCanvas);
  DeleteObject(canvas);
  DeleteDC(mem);
}

}  // namespace ui::preview
