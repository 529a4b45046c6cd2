#include "preview/watermark_preview.h"

#include <algorithm>
#include <cmath>

#include "decor/decoration_renderer.h"
#include "decor/gdi_target.h"
#include "entry/language.h"
#include "platform/utf16.h"

namespace ui::preview {
namespace {

using decor::DecorationTarget;
using devmode::WatermarkRecord;

constexpr double kPi = 3.14159;  // the print layout's value, so both turn text alike
constexpr UINT kClipped = 4;
constexpr UINT kClippedRtl = 132;

int Trunc(double v) { return static_cast<int>(v); }
int Rnd(double v) { return static_cast<int>(v + 0.5); }

double EllipseGrowth(size_t chars) {
  if (chars <= 1) return 1.0 / 4;
  if (chars == 2) return 1.0 / 3;
  if (chars == 3) return 1.0 / 6;
  return 1.0 / 8;
}

class GdiPreviewTarget : public PreviewTarget {
 public:
  explicit GdiPreviewTarget(HDC hdc) : hdc_(hdc) {}
  ObjectHandle CreateSolidPen(int width, uint32_t colour) override {
    return reinterpret_cast<ObjectHandle>(CreatePen(PS_SOLID, width, colour));
  }
  ObjectHandle HollowBrush() override { return reinterpret_cast<ObjectHandle>(GetStockObject(HOLLOW_BRUSH)); }
  void ClipTo(const RECT& r) override { IntersectClipRect(hdc_, r.left, r.top, r.right, r.bottom); }
  void RestoreClip() override { SelectClipRgn(hdc_, nullptr); }
  void Polyline(std::span<const Point> points) override {
    std::vector<POINT> p;
    for (const Point& q : points) p.push_back({q.x, q.y});
    ::Polyline(hdc_, p.data(), static_cast<int>(p.size()));
  }

 private:
  HDC hdc_;
};

}  // namespace

uint32_t PreviewTextColour(int greyLevel) {
  switch (greyLevel) {
    case 0: return 0xC0C0C0;
    case 1: return 0x909090;
    case 2: return 0x606060;
    case 3: return 0x303030;
    default: return 0;
  }
}

WatermarkRecord PreviewCopy(const WatermarkRecord& record) {
  WatermarkRecord copy = record;
  const uint32_t c = record.Colour;
  const uint32_t g = ((c & 0xFF) + ((c >> 8) & 0xFF) + ((c >> 16) & 0xFF)) / 3;
  copy.Colour = g * 0x010101;
  if (copy.GreyLevel > 3) copy.Colour = 0;
  return copy;
}

int PreviewFontHeight(int points, int dpi) {
  if (points == 12) return 20;
  if (points <= 24) return 33;
  if (dpi <= 0) dpi = 96;
  const double k = points == 36 ? 1.17 : points == 54 ? 1.31 : points >= 200 ? 1.41 : 1.38;
  return Trunc(k * 95 / dpi * points);
}

void DrawTextWatermarkPreview(DecorationTarget& dc, PreviewTarget& extra, Point origin, const RECT& rect,
                              const WatermarkRecord& r, bool rtl) {
  const int W = rect.right - rect.left, H = rect.bottom - rect.top;
  if (W <= 0 || H <= 0) return;
  const decor::Mapping found = dc.GetMapping();
  dc.SetMapping({{0, 0}, {0, 0}, {W, -H}, {W, -H}});
  const int oldBkMode = dc.SetBkMode(decor::kTransparentBk);
  extra.ClipTo({origin.x, origin.y, W - 3, H - 3});

  const int size = r.Size;
  const int tenths = decor::WatermarkAngleTenths(r.Angle);
  const int style = (r.Bold ? decor::kStyleBold : 0) | (r.Italic ? decor::kStyleItalic : 0);
  const ObjectHandle font =
      decor::CreateWatermarkFont(dc, std::u16string(platform::WideField(r.Typeface, std::size(r.Typeface))),
                                 PreviewFontHeight(size, dc.DeviceCaps(LOGPIXELSX)), style, tenths, false);
  const ObjectHandle oldFont = font != 0 ? dc.Select(font) : 0;
  const uint32_t textColour = PreviewTextColour(r.GreyLevel);
  const uint32_t oldText = dc.SetTextColor(textColour);
  const std::u16string text(platform::WideField(r.Text, std::size(r.Text)));

  int cx = 0, cy = 0;
  if (!text.empty() && dc.TextExtent(text, &cx, &cy)) {
    decor::TextPlan p;
    p.tenths = tenths;
    const double theta = tenths * kPi / 1800;
    p.sn = std::fabs(std::sin(theta));
    p.cs = std::fabs(std::cos(theta));
    if (r.Italic && size > 24) {
      const int d = cx / W >= 10 ? 100 : 14;
      p.ex = cx / d;
      p.ey = cy / d;
      cx += p.ex;
      cy += p.ey;
    }
    p.cx = cx;
    p.cy = cy;
    const auto frame = static_cast<decor::Frame>(r.Frame);
    const bool framed = frame == decor::Frame::kEllipse || frame == decor::Frame::kRectangle;
    const int pw = framed ? std::max(1, Rnd(size / 100.0)) : 1;
    const int x0 = origin.x + pw - 1, y0 = origin.y + pw - 1;
    const int boxW = Trunc(p.sn * p.cy + p.cs * p.cx), boxH = Trunc(p.cs * p.cy + p.sn * p.cx);
    int BW, BH;
    if (frame == decor::Frame::kEllipse) {
      const int longer = std::max(p.cx, p.cy);
      p.diameter = longer + Rnd(longer * EllipseGrowth(text.size()));
      BW = BH = p.diameter;
    } else {
      if (frame == decor::Frame::kRectangle) {
        const int gx = Rnd(p.cx / 5.0), gy = Rnd(p.cy / 5.0);
        p.ex += gx;
        p.ey += gy;
        p.cx += gx;
        p.cy += gy;
      }
      BW = Trunc(p.cx * p.cs + p.cy * p.sn);
      BH = Trunc(p.cy * p.cs + p.cx * p.sn);
    }
    const bool leansRight = tenths <= 900;
    std::vector<Point> anchors;
    if (r.Repeat) {
      const int stepW = std::max(1, BW), stepH = std::max(1, BH);
      const long columns = W / stepW + 1, rows = H / stepH + 1;
      const int gap = framed ? pw : 0;
      if (columns * rows <= decor::kMaxTiles) {
        for (int i = 0; i < columns; ++i)
          for (int j = 0; j < rows; ++j)
            anchors.push_back({(leansRight ? 3 : 3 + BW) + i * (BW + gap), 3 + j * (BH + gap)});
      }
    } else {
      const int pos = r.Position >= 1 && r.Position <= 9 ? r.Position : 5;
      const int col = (pos - 1) % 3, row = (pos - 1) / 3;
      int left = col == 0 ? x0 : col == 1 ? (W - BW) / 2 : W - x0 - BW;
      int top = row == 0 ? y0 : row == 1 ? (H - BH) / 2 : H - y0 - BH;
      if (r.Position == 10) {
        left += Trunc((r.HorizontalPosition - 50) * W * 0.01);
        top += Trunc((r.VerticalPosition - 50) * (H - BH) * 0.01);
      }
      anchors.push_back({leansRight ? left : left + BW, top});
    }
    const ObjectHandle pen = framed ? extra.CreateSolidPen(size <= 100 ? 1 : size / 100,
                                                           r.Transparent == 1 ? textColour : r.Colour)
                                    : 0;
    const ObjectHandle oldPen = pen != 0 ? dc.Select(pen) : 0;
    const ObjectHandle oldBrush = framed ? dc.Select(extra.HollowBrush()) : 0;
    for (const Point& a : anchors) {
      const decor::TextTile tile = decor::PlaceTextTile(p, frame, a, boxW, boxH);
      if (frame == decor::Frame::kEllipse) {
        const int left = leansRight ? a.x : a.x - p.diameter;
        dc.Ellipse(left, a.y, left + p.diameter, a.y + p.diameter);
      } else if (frame == decor::Frame::kRectangle) {
        std::vector<Point> lines = tile.outer;
        lines.push_back(lines.front());
        extra.Polyline(lines);
      }
      dc.ExtTextOut(tile.origin.x, tile.origin.y, rtl ? kClippedRtl : kClipped, rect, text);
    }
    if (framed) dc.Select(oldBrush);
    if (pen != 0) {
      dc.Select(oldPen);
      dc.Delete(pen);
    }
  }

  if (font != 0) {
    dc.Select(oldFont);
    dc.Delete(font);
  }
  dc.SetTextColor(oldText);
  extra.RestoreClip();
  dc.SetBkMode(oldBkMode);
  dc.SetMapping(found);
}

void GreyPreviewBitmap(decor::LoadedBitmap& bm, bool lighten) {
  std::array<uint8_t, 256> table{};
  for (int i = 0; i < 256; ++i) {
    const double v = std::pow(i, 0.3125) / (std::pow(255.0, 0.3125) / 255);
    table[i] = static_cast<uint8_t>(std::clamp(Trunc(v), 0, 255));
  }
  const size_t stride = (static_cast<size_t>(bm.width) * 3 + 3) & ~size_t{3};
  for (int y = 0; y < bm.height; ++y) {
    for (int x = 0; x < bm.width; ++x) {
      const size_t at = y * stride + x * 3;
      if (at + 2 >= bm.bits.size()) return;
      uint8_t* px = &bm.bits[at];
      int v = (74 * px[0] + 155 * px[1] + 27 * px[2]) / 256;
      if (lighten) v = table[v];
      px[0] = px[1] = px[2] = static_cast<uint8_t>(v);
    }
  }
}

void DrawImageWatermarkPreview(DecorationTarget& dc, Point, const RECT& rect, const WatermarkRecord& r) {
  if (r.Scale < 2) return;
  decor::LoadedBitmap bm;
  if (!dc.LoadBitmapFile(std::u16string(platform::WideField(r.ImagePath, std::size(r.ImagePath))), &bm)) return;
  if (bm.width <= 0 || bm.height <= 0) return;
  GreyPreviewBitmap(bm, r.Transparent == 1);
  const int W = rect.right - rect.left, H = rect.bottom - rect.top;
  if (W <= 0 || H <= 0) return;
  const float L = static_cast<float>(std::max(W + 1, H + 1));
  const int iw = Trunc(L * (bm.width + 1) * 254.0f * r.Scale / 28512000.0f);
  const int ih = Trunc(L * (bm.height + 1) * 254.0f * r.Scale / 28512000.0f);
  if (iw <= 0 || ih <= 0) return;
  const int oldMode = dc.SetStretchBltMode(decor::kColorOnColor);
  const DWORD rop = r.Transparent == 1 ? decor::kSrcAnd : decor::kSrcCopy;
  const decor::ImageRect whole{0, 0, bm.width, bm.height};
  int position = r.Position;
  bool draw = true;
  if (r.Repeat) {
    const long columns = W / iw + 1, rows = H / ih + 1;
    if (columns * rows > decor::kMaxTiles) {
      draw = false;
    } else if (columns > 1 || rows > 1) {
      for (int i = 0; i < columns; ++i)
        for (int j = 0; j < rows; ++j) dc.StretchBits({rect.left + i * iw, rect.top + j * ih, iw, ih}, whole, bm, rop);
      draw = false;
    }
    position = 0;  // the top-left corner
  }
  if (draw) {
    const int dw = std::min(iw, W), dh = std::min(ih, H);
    const double rx = static_cast<double>(bm.width) / iw + 0.005, ry = static_cast<double>(bm.height) / ih + 0.005;
    const int sw = std::clamp(Trunc(dw * rx), 1, bm.width), sh = std::clamp(Trunc(dh * ry), 1, bm.height);
    const decor::ImageRect source{(bm.width - sw) / 2, (bm.height - sh) / 2, sw, sh};
    int x = 0, y = 0;
    if (position == 0) {
      x = rect.left;
      y = rect.top;
    } else if (position == 10) {
      x = rect.left + W / 3;
      y = rect.top + H / 3;
    } else if (position >= 1 && position <= 9) {
      const int col = (position - 1) % 3, row = (position - 1) / 3;
      x = col == 0 ? rect.left + 3 : col == 1 ? rect.left + (W - dw) / 2 : rect.right - 3 - dw;
      y = row == 0 ? rect.top + 2 : row == 1 ? rect.top + (H - dh) / 2 : rect.bottom - 3 - dh;
    } else {
      draw = false;
    }
    if (draw) dc.StretchBits({x, y, dw, dh}, source, bm, rop);
  }
  dc.SetStretchBltMode(oldMode);
}

namespace {

void PaintFramedPreview(HDC hdc, const RECT& client, const WatermarkRecord& record, bool rtl) {
  const RECT rc{client.left + 1, client.top + 1, client.right - 1, client.bottom - 1};
  const int w = rc.right - rc.left + 2, h = rc.bottom - rc.top + 2;
  if (w <= 8 || h <= 8) return;
  HDC mem = CreateCompatibleDC(hdc);
  HBITMAP bitmap = mem != nullptr ? CreateCompatibleBitmap(hdc, w, h) : nullptr;
  if (bitmap == nullptr) {
    if (mem != nullptr) DeleteDC(mem);
    return;
  }
  HGDIOBJ oldBitmap = SelectObject(mem, bitmap);
  BitBlt(mem, 0, 0, w, h, hdc, rc.left - 1, rc.top - 1, SRCCOPY);
  HBRUSH grey = CreateSolidBrush(0x646464);
  HGDIOBJ oldBrush = SelectObject(mem, grey);
  PatBlt(mem, 1, 1, w - 2, 1, PATCOPY);
  PatBlt(mem, 1, h - 2, w - 2, 1, PATCOPY);
  PatBlt(mem, 1, 1, 1, h - 2, PATCOPY);
  PatBlt(mem, w - 2, 1, 1, h - 2, PATCOPY);
  SelectObject(mem, oldBrush);
  DeleteObject(grey);
  PatBlt(mem, 4, 4, w - 8, h - 8, WHITENESS);
  {
    const WatermarkRecord copy = PreviewCopy(record);
    decor::GdiDecorationTarget dc(mem);
    GdiPreviewTarget extra(mem);
    const RECT frame{1, 1, w - 1, h - 1};
    if (copy.WatermarkKind == 2)
      DrawImageWatermarkPreview(dc, {4, 4}, frame, copy);
    else if (copy.WatermarkKind != 0)
      DrawTextWatermarkPreview(dc, extra, {4, 4}, frame, copy, rtl);
  }
  BitBlt(hdc, rc.left - 1, rc.top - 1, w, h, mem, 0, 0, SRCCOPY);
  SelectObject(mem, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(mem);
}

}  // namespace

// The control's context is the dialog's: its layout is put back as it was found.
void PaintWatermarkPreviewInto(HDC hdc, const RECT& client, const WatermarkRecord& record, bool rtl) {
  const DWORD previous = rtl ? SetLayout(hdc, LAYOUT_RTL) : GDI_ERROR;
  PaintFramedPreview(hdc, client, record, rtl);
  if (previous != GDI_ERROR) SetLayout(hdc, previous);
}

void PaintWatermarkPreview(const DRAWITEMSTRUCT& item, const WatermarkRecord& record) {
  PaintWatermarkPreviewInto(item.hDC, item.rcItem, record, RightToLeft());
}

}  // namespace ui::preview
