#include "decor/decoration_renderer.h"

#include <cmath>
#include <cstring>

#include "entry/language.h"
#include "platform/utf16.h"
#include "win/wingdi.h"

namespace ui::decor {
namespace {

constexpr size_t kMaxTextChars = 256;
constexpr int kMaxExtent = 24000;  // a repeated text longer than this is cut from both ends
constexpr size_t kMaxFaceChars = 31;

// Page-sized logical space with y upwards, as the drawing below expects; restored afterwards.
class PageMapping {
 public:
  PageMapping(DecorationTarget& dc, PageSize page) : dc_(dc), saved_(dc.GetMapping()) {
    dc_.SetMapping({{0, 0}, {0, 0}, {page.width, -page.height}, {page.width, -page.height}});
  }
  ~PageMapping() { dc_.SetMapping(saved_); }

 private:
  DecorationTarget& dc_;
  Mapping saved_;
};

// Fills the current path with the pattern brush under `fillMode`, `times` over.
void FillWith(DecorationTarget& dc, ObjectHandle brush, int fillMode, int times, auto&& addFigures) {
  for (int pass = 0; pass < times; ++pass) {
    dc.BeginPath();
    addFigures();
    dc.EndPath();
    const ObjectHandle oldBrush = dc.Select(brush);
    const int oldMode = dc.SetPolyFillMode(fillMode);
    dc.FillPath();
    dc.SetPolyFillMode(oldMode);
    dc.Select(oldBrush);
  }
}

}  // namespace

ObjectHandle CreateWatermarkFont(DecorationTarget& dc, const std::u16string& face, int height, int style, int tenths,
                                 bool turnGlyphs) {
  WatermarkFont f;
  f.face = face.substr(0, kMaxFaceChars);
  const int charSet = dc.FaceCharSet(f.face);
  f.charSet = charSet < 0 ? 1 : charSet;  // DEFAULT_CHARSET when the face is unknown
  const int y = static_cast<int>(height * static_cast<double>(dc.DeviceCaps(LOGPIXELSY)) / 72 + 0.5);
  const int logical = std::abs(dc.DeviceToLogicalHeight(y));
  f.height = -static_cast<int>(logical / 10.0 + 0.5);
  f.escapement = tenths;
  f.orientation = turnGlyphs ? tenths : 0;
  f.weight = (style & kStyleBold) ? 700 : 0;
  f.italic = (style & kStyleItalic) != 0;
  f.underline = (style & kStyleUnderline) != 0;
  f.strikeOut = (style & kStyleStrikeOut) != 0;
  f.outPrecision = kTrueTypeOnly;
  return dc.CreateFont(f);
}

void DrawTextWatermark(DecorationTarget& dc, PageSize page, const devmode::DecorationBlock& b, double scale) {
  PageMapping mapping(dc, page);
  const int oldBkMode = dc.SetBkMode(kTransparentBk);
  const UINT oldAlign = dc.SetTextAlign(0);
  const uint32_t oldBk = dc.SetBkColor(0xFFFFFF);
  // COLORREF order: the print greys read the same either way round.
  const uint32_t oldText = dc.SetTextColor(b.grey);

  std::u16string text(platform::WideField(b.text, std::size(b.text)));
  if (text.size() > kMaxTextChars) text.resize(kMaxTextChars);
  const int height = WatermarkTextHeight(b.size, scale);
  const int tenths = WatermarkAngleTenths(b.angle);
  const int style = (b.bold ? kStyleBold : 0) | (b.italic ? kStyleItalic : 0);
  const ObjectHandle font =
      CreateWatermarkFont(dc, std::u16string(platform::WideField(b.typeface, std::size(b.typeface))), height, style, tenths);
  // Without a font of its own the watermark is written in the one the context holds.
  const ObjectHandle oldFont = font != 0 ? dc.Select(font) : 0;

  int cx = 0, cy = 0;
  bool measured = !text.empty() && dc.TextExtent(text, &cx, &cy);
  while (measured && b.repeat && (cx > kMaxExtent || cy > kMaxExtent) && text.size() > 2) {
    text = text.substr(1, text.size() - 2);
    measured = dc.TextExtent(text, &cx, &cy);
  }
  if (measured) {
    const TextPlan plan = PlanTextWatermark(b, page, cx, cy, static_cast<int>(text.size()));
    const ObjectHandle brush = dc.CreatePatternBrush(WatermarkGreyPattern(b.grey));
    const int times = b.OverlayTransparent ? 2 : 1;
    const RECT pageRect{0, 0, page.width, page.height};
    const bool rtl = RightToLeft();
    for (const TextTile& tile : plan.tiles) {
      FillWith(dc, brush, WINDING, times, [&] {
        if (rtl)
          dc.ExtTextOut(tile.origin.x, tile.origin.y, kRtlOpaque, pageRect, text);
        else
          dc.TextOut(tile.origin.x, tile.origin.y, text);
      });
      if (b.frame == static_cast<uint8_t>(Frame::kEllipse)) {
        FillWith(dc, brush, ALTERNATE, times, [&] {
          dc.Ellipse(tile.outer[0].x, tile.outer[0].y, tile.outer[1].x, tile.outer[1].y);
          dc.Ellipse(tile.inner[0].x, tile.inner[0].y, tile.inner[1].x, tile.inner[1].y);
        });
      } else if (b.frame == static_cast<uint8_t>(Frame::kRectangle)) {
        FillWith(dc, brush, ALTERNATE, times, [&] {
          dc.Polygon(tile.outer);
          if (!tile.inner.empty()) dc.Polygon(tile.inner);
        });
      }
    }
    if (brush != 0) dc.Delete(brush);
  }

  if (font != 0) {
    dc.Select(oldFont);
    dc.Delete(font);
  }
  dc.SetTextColor(oldText);
  dc.SetBkColor(oldBk);
  dc.SetTextAlign(oldAlign);
  dc.SetBkMode(oldBkMode);
}

void DrawImageWatermark(DecorationTarget& dc, PageSize page, const devmode::DecorationBlock& b) {
  if (b.size <= 1) return;
  LoadedBitmap bitmap;
  if (!dc.LoadBitmapFile(std::u16string(platform::WideField(b.imagePath, std::size(b.imagePath))), &bitmap)) return;
  const std::vector<ImageTile> tiles = PlanImageWatermark(b, page, bitmap.width, bitmap.height);
  if (tiles.empty()) return;
  PageMapping mapping(dc, page);
  const int oldMode = dc.SetStretchBltMode(kColorOnColor);
  const DWORD rop = b.OverlayTransparent ? kSrcAnd : kSrcCopy;
  for (const ImageTile& t : tiles) dc.StretchBits(t.dest, t.source, bitmap, rop);
  dc.SetStretchBltMode(oldMode);
}

void DecorationRenderer(DecorationTarget& dc) {
  const PageSize page{dc.DeviceCaps(HORZRES), dc.DeviceCaps(VERTRES)};
  devmode::DecorationBlock block{};
  std::span<uint8_t> blockBytes(reinterpret_cast<uint8_t*>(&block), sizeof block);
  // A block the rendering library does not hand out reads as no watermark.
  if (dc.Escape(kReadDecorationEscape, {}, blockBytes) <= 0) std::memset(&block, 0, sizeof block);
  uint32_t pageCounter = 0;
  dc.Escape(kPageCounterEscape, {}, {reinterpret_cast<uint8_t*>(&pageCounter), sizeof pageCounter});
  if (block.WatermarkIndex == 0) return;
  if (pageCounter != 0 && block.firstPageOnly != 0) return;
  // The block came from another library: its strings end inside their fields.
  if (block.imageFlag)
    block.imagePath[std::size(block.imagePath) - 1] = 0;
  else
    block.text[std::size(block.text) - 1] = 0;
  block.typeface[std::size(block.typeface) - 1] = 0;
  dc.Escape(kBeginDecorationEscape, {}, {});
  if (block.imageFlag)
    DrawImageWatermark(dc, page, block);
  else
    DrawTextWatermark(dc, page, block, 1.0);
  dc.Escape(kEndDecorationEscape, {}, {});
}

}  // namespace ui::decor
