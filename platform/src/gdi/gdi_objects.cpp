// The GDI object table and the calls that create, inspect and delete pens, brushes and stock
// objects.
#include "gdi_objects.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "gdi_bitmaps.h"
#include "gdi_trace.h"
#include "platform/bitmaps.h"
#include "win/error.h"

namespace platform::gdi {
namespace {

struct Entry {
  DWORD type;
  std::shared_ptr<void> object;
  bool stock;
};

std::mutex g_lock;
uintptr_t g_next = 0x3A0000;

std::map<uintptr_t, Entry>& Table() {
  static std::map<uintptr_t, Entry> table;
  return table;
}

HGDIOBJ Add(DWORD type, std::shared_ptr<void> object, bool stock = false) {
  std::lock_guard g(g_lock);
  uintptr_t id = g_next += 0x10;
  Table()[id] = {type, std::move(object), stock};
  return reinterpret_cast<HGDIOBJ>(id);
}

std::shared_ptr<void> Find(HGDIOBJ handle, DWORD type, DWORD alsoType = 0) {
  std::lock_guard g(g_lock);
  auto it = Table().find(reinterpret_cast<uintptr_t>(handle));
  if (it == Table().end() || (it->second.type != type && it->second.type != alsoType)) return nullptr;
  return it->second.object;
}

std::shared_ptr<BrushObject> Solid(COLORREF color, UINT style = BS_SOLID) {
  auto b = std::make_shared<BrushObject>();
  b->style = style;
  b->color = color & 0x00FFFFFF;
  return b;
}

// The stock objects, made once with their handles.
struct Stock {
  HGDIOBJ handles[NULL_PEN + 1] = {};
  std::shared_ptr<void> objects[NULL_PEN + 1];
  Stock() {
    const COLORREF greys[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000};
    for (int i = WHITE_BRUSH; i <= BLACK_BRUSH; ++i) objects[i] = Solid(greys[i]);
    objects[NULL_BRUSH] = Solid(0, BS_NULL);
    for (int i : {WHITE_PEN, BLACK_PEN, NULL_PEN}) {
      auto pen = std::make_shared<PenObject>();
      pen->style = i == NULL_PEN ? PS_NULL : PS_SOLID;
      pen->color = i == WHITE_PEN ? 0xFFFFFF : 0;
      pen->brush = Solid(pen->color);
      objects[i] = pen;
    }
    for (int i = 0; i <= NULL_PEN; ++i) handles[i] = Add(i <= NULL_BRUSH ? OBJ_BRUSH : OBJ_PEN, objects[i], true);
  }
};

Stock& Stocks() {
  static Stock stock;
  return stock;
}

HBRUSH AddBrush(std::shared_ptr<BrushObject> brush) {
  return reinterpret_cast<HBRUSH>(Add(OBJ_BRUSH, std::move(brush)));
}

// A pattern brush from bottom-up or top-down DIB rows.
std::shared_ptr<BrushObject> PatternFromDib(const BITMAPINFOHEADER& h, const RGBQUAD* colours, size_t colourCount,
                                            const BYTE* bits, size_t bitsSize) {
  int bpp = h.biBitCount;
  if (h.biWidth <= 0 || h.biHeight == 0 || h.biWidth > 4096 || std::abs(h.biHeight) > 4096 ||
      (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) || h.biCompression != BI_RGB)
    return nullptr;
  LONG height = std::abs(h.biHeight);
  LONG stride = ((h.biWidth * bpp + 31) / 32) * 4;
  if (bitsSize < static_cast<size_t>(stride) * height) return nullptr;
  auto b = std::make_shared<BrushObject>();
  b->style = BS_PATTERN;
  b->width = h.biWidth;
  b->height = height;
  b->stride = stride;
  b->bitCount = bpp;
  b->bits.resize(static_cast<size_t>(stride) * height);
  for (LONG row = 0; row < height; ++row) {
    LONG from = h.biHeight > 0 ? height - 1 - row : row;
    std::memcpy(b->bits.data() + static_cast<size_t>(row) * stride, bits + static_cast<size_t>(from) * stride, stride);
  }
  for (size_t i = 0; i < colourCount; ++i)
    b->palette.push_back(RGB(colours[i].rgbRed, colours[i].rgbGreen, colours[i].rgbBlue));
  return b;
}

// A pattern of a bitmap made through GDI, copied as it is now (later drawing into the bitmap
// does not change the brush). A monochrome bitmap keeps its bits and takes its colours from the
// device context; any other depth becomes 24-bit colour.
std::shared_ptr<BrushObject> PatternFromBitmap(HBITMAP handle) {
  auto bitmap = FindBitmap(handle);
  if (bitmap == nullptr || bitmap->width() > 4096 || bitmap->height() > 4096) return nullptr;
  const SURFOBJ& so = *bitmap->surface;
  const LONG w = bitmap->width(), h = bitmap->height();
  auto b = std::make_shared<BrushObject>();
  b->style = BS_PATTERN;
  b->width = w;
  b->height = h;
  if (bitmap->bitCount == 1 && !bitmap->dibSection) {
    b->monochrome = true;
    b->bitCount = 1;
    b->stride = ((w + 31) / 32) * 4;
    b->bits.assign(static_cast<size_t>(b->stride) * h, 0);
    const size_t rowBytes = static_cast<size_t>(w + 7) / 8;
    for (LONG y = 0; y < h; ++y)
      std::memcpy(b->bits.data() + static_cast<size_t>(y) * b->stride,
                  static_cast<const BYTE*>(so.pvScan0) + static_cast<ptrdiff_t>(y) * so.lDelta, rowBytes);
    b->palette = {0x000000, 0xFFFFFF};
    return b;
  }
  b->bitCount = 24;
  b->stride = ((w * 24 + 31) / 32) * 4;
  b->bits.assign(static_cast<size_t>(b->stride) * h, 0);
  for (LONG y = 0; y < h; ++y)
    for (LONG x = 0; x < w; ++x) {
      const COLORREF c = bitmap->layout.ColourOf(platform::engine::ReadPixel(so, x, y));
      BYTE* p = b->bits.data() + static_cast<size_t>(y) * b->stride + static_cast<size_t>(x) * 3;
      p[0] = static_cast<BYTE>(c >> 16);
      p[1] = static_cast<BYTE>(c >> 8);
      p[2] = static_cast<BYTE>(c);
    }
  return b;
}

size_t ColourCount(const BITMAPINFOHEADER& h) {
  if (h.biBitCount > 8) return 0;
  size_t full = size_t{1} << h.biBitCount;
  return h.biClrUsed != 0 && h.biClrUsed < full ? h.biClrUsed : full;
}

}  // namespace

HGDIOBJ AddObject(DWORD type, std::shared_ptr<void> object) { return Add(type, std::move(object)); }
std::shared_ptr<void> FindObject(HGDIOBJ handle, DWORD type) { return Find(handle, type); }

std::shared_ptr<PenObject> FindPen(HGDIOBJ handle) {
  return std::static_pointer_cast<PenObject>(Find(handle, OBJ_PEN, OBJ_EXTPEN));
}
std::shared_ptr<BrushObject> FindBrush(HGDIOBJ handle) {
  return std::static_pointer_cast<BrushObject>(Find(handle, OBJ_BRUSH));
}
std::shared_ptr<RegionObject> FindRegion(HGDIOBJ handle) {
  return std::static_pointer_cast<RegionObject>(Find(handle, OBJ_REGION));
}

DWORD ObjectType(HGDIOBJ handle) {
  Stocks();
  std::lock_guard g(g_lock);
  auto it = Table().find(reinterpret_cast<uintptr_t>(handle));
  return it == Table().end() ? 0 : it->second.type;
}

std::shared_ptr<FontObject> FindFont(HGDIOBJ handle) {
  return std::static_pointer_cast<FontObject>(Find(handle, OBJ_FONT));
}

HGDIOBJ NewFont(std::shared_ptr<FontObject> font) { return Add(OBJ_FONT, std::move(font)); }

HGDIOBJ StockFontHandle(int index) {
  // Sans-serif faces for the variable and GUI fonts, monospaced ones for the fixed fonts.
  static const std::map<int, HGDIOBJ> fonts = [] {
    std::map<int, HGDIOBJ> m;
    for (int i : {OEM_FIXED_FONT, ANSI_FIXED_FONT, ANSI_VAR_FONT, SYSTEM_FONT, DEVICE_DEFAULT_FONT, SYSTEM_FIXED_FONT,
                  DEFAULT_GUI_FONT}) {
      auto f = std::make_shared<FontObject>();
      bool fixed = i == OEM_FIXED_FONT || i == ANSI_FIXED_FONT || i == SYSTEM_FIXED_FONT;
      const char16_t* face = fixed ? u"Courier New" : u"Arial";
      for (size_t k = 0; face[k] != 0; ++k) f->logFont.lfFaceName[k] = face[k];
      f->logFont.lfWeight = i == SYSTEM_FONT ? FW_BOLD : FW_NORMAL;
      f->logFont.lfPitchAndFamily = fixed ? (FIXED_PITCH | FF_MODERN) : (VARIABLE_PITCH | FF_SWISS);
      m[i] = Add(OBJ_FONT, std::move(f), true);
    }
    return m;
  }();
  auto it = fonts.find(index);
  return it == fonts.end() ? nullptr : it->second;
}

HRGN NewRegion(engine::Region region) {
  auto r = std::make_shared<RegionObject>();
  r->region = std::move(region);
  return reinterpret_cast<HRGN>(Add(OBJ_REGION, std::move(r)));
}

std::shared_ptr<PenObject> StockPen(int index) {
  return std::static_pointer_cast<PenObject>(Stocks().objects[index]);
}
std::shared_ptr<BrushObject> StockBrush(int index) {
  return std::static_pointer_cast<BrushObject>(Stocks().objects[index]);
}

}  // namespace platform::gdi

using namespace platform::gdi;

extern "C" {

HPEN CreatePen(int style, int width, COLORREF color) {
  try {
    UINT kind = static_cast<UINT>(style);
    if (kind > PS_INSIDEFRAME) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    auto pen = std::make_shared<PenObject>();
    pen->color = color & 0x00FFFFFF;
    pen->brush = Solid(pen->color);
    pen->width = std::abs(width);
    // Wider than one unit a pen is geometric with round ends and joins, and styles other than
    // solid, null and inside-frame draw solid.
    pen->geometric = pen->width > 1;
    if (pen->geometric && kind >= PS_DASH && kind <= PS_DASHDOTDOT) kind = PS_SOLID;
    pen->style = kind | (pen->geometric ? PS_GEOMETRIC : PS_COSMETIC);
    if (!pen->geometric) pen->width = 0;
    return reinterpret_cast<HPEN>(Add(OBJ_PEN, std::move(pen)));
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
}

HPEN CreatePenIndirect(const LOGPEN* pen) {
  if (pen == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return CreatePen(static_cast<int>(pen->lopnStyle), pen->lopnWidth.x, pen->lopnColor);
}

HPEN ExtCreatePen(DWORD style, DWORD width, const LOGBRUSH* brush, DWORD styleCount, const DWORD* styles) {
  try {
    UINT kind = style & PS_STYLE_MASK;
    UINT type = style & PS_TYPE_MASK;
    bool geometric = type == PS_GEOMETRIC;
    bool valid = brush != nullptr && kind <= PS_ALTERNATE && (type == PS_COSMETIC || geometric) &&
                 (style & ~(PS_STYLE_MASK | PS_ENDCAP_MASK | PS_JOIN_MASK | PS_TYPE_MASK)) == 0 &&
                 (style & PS_ENDCAP_MASK) <= PS_ENDCAP_FLAT && (style & PS_JOIN_MASK) <= PS_JOIN_MITER;
    // Cosmetic pens are one pixel wide and solid-coloured; only they alternate pixels; only
    // user styles carry an array, of 1 to 16 lengths not all zero.
    if (valid && !geometric) valid = width == 1 && brush->lbStyle == BS_SOLID;
    if (valid && geometric) valid = kind != PS_ALTERNATE && width <= 0x7FFFFFFF;
    if (valid && kind == PS_USERSTYLE) {
      valid = styles != nullptr && styleCount >= 1 && styleCount <= 16;
      bool anyLength = false;
      for (DWORD i = 0; valid && i < styleCount; ++i) anyLength = anyLength || styles[i] != 0;
      valid = valid && anyLength;
    } else if (valid) {
      valid = styleCount == 0;
    }
    if (!valid) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    auto pen = std::make_shared<PenObject>();
    pen->style = style;
    pen->extended = true;
    pen->geometric = geometric;
    pen->width = geometric ? static_cast<LONG>(width) : 0;
    pen->color = brush->lbColor & 0x00FFFFFF;
    if (brush->lbStyle == BS_HATCHED && brush->lbHatch < HS_DDI_MAX) {
      pen->brush = Solid(pen->color, BS_HATCHED);
      pen->brush->hatch = static_cast<ULONG>(brush->lbHatch);
    } else if (brush->lbStyle == BS_NULL) {
      pen->style = (style & ~PS_STYLE_MASK) | PS_NULL;
      pen->brush = Solid(0, BS_NULL);
    } else if (brush->lbStyle == BS_SOLID) {
      pen->brush = Solid(pen->color);
    } else if (brush->lbStyle == BS_PATTERN || brush->lbStyle == BS_DIBPATTERNPT) {
      auto from = brush->lbStyle == BS_PATTERN ? CreatePatternBrush(reinterpret_cast<HBITMAP>(brush->lbHatch))
                                               : CreateDIBPatternBrushPt(reinterpret_cast<const void*>(brush->lbHatch),
                                                                         DIB_RGB_COLORS);
      if (from == nullptr) return nullptr;
      pen->brush = FindBrush(from);
      DeleteObject(from);
    } else {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    if (kind == PS_USERSTYLE) pen->userStyle.assign(styles, styles + styleCount);
    return reinterpret_cast<HPEN>(Add(OBJ_EXTPEN, std::move(pen)));
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
}

HBRUSH CreateSolidBrush(COLORREF color) {
  try {
    return AddBrush(Solid(color));
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
}

HBRUSH CreateHatchBrush(int hatch, COLORREF color) {
  if (hatch < 0 || static_cast<ULONG>(hatch) >= HS_DDI_MAX) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  try {
    auto b = Solid(color, BS_HATCHED);
    b->hatch = static_cast<ULONG>(hatch);
    return AddBrush(std::move(b));
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
}

HBRUSH CreatePatternBrush(HBITMAP bitmap) {
  try {
    auto view = platform::ViewBitmap(bitmap);
    if (!view) {
      auto b = PatternFromBitmap(bitmap);
      if (b == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
      }
      return AddBrush(std::move(b));
    }
    // A resource bitmap: its colour table sits between the header and the bits in the resource,
    // which the view does not hand out; indexed bitmaps without one are black on white.
    std::vector<RGBQUAD> colours;
    if (view->header.biBitCount <= 8) {
      colours.resize(size_t{1} << view->header.biBitCount);
      for (size_t i = 0; i < colours.size(); ++i) {
        BYTE v = static_cast<BYTE>(i * 255 / (colours.size() - 1));
        colours[i] = {v, v, v, 0};
      }
    }
    auto b = PatternFromDib(view->header, colours.data(), colours.size(), view->bits.data(), view->bits.size());
    if (b == nullptr) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    return AddBrush(std::move(b));
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
}

HBRUSH CreateDIBPatternBrushPt(const void* packedDib, UINT usage) {
  try {
    if (packedDib == nullptr || usage != DIB_RGB_COLORS) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    BITMAPINFOHEADER h;
    std::memcpy(&h, packedDib, sizeof h);
    if (h.biSize < sizeof h || h.biSize > 1024) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    const auto* base = static_cast<const BYTE*>(packedDib);
    size_t colours = ColourCount(h);
    const auto* table = reinterpret_cast<const RGBQUAD*>(base + h.biSize);
    const BYTE* bits = base + h.biSize + colours * sizeof(RGBQUAD);
    // The caller vouches for a whole DIB: its size follows from the header.
    size_t stride = h.biWidth > 0 ? ((static_cast<size_t>(h.biWidth) * h.biBitCount + 31) / 32) * 4 : 0;
    auto b = PatternFromDib(h, table, colours, bits, stride * static_cast<size_t>(std::abs(h.biHeight)));
    if (b == nullptr) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    return AddBrush(std::move(b));
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* brush) {
  if (brush == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  switch (brush->lbStyle) {
    case BS_SOLID: return CreateSolidBrush(brush->lbColor);
    case BS_NULL: return reinterpret_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    case BS_HATCHED: return CreateHatchBrush(static_cast<int>(brush->lbHatch), brush->lbColor);
    case BS_PATTERN: return CreatePatternBrush(reinterpret_cast<HBITMAP>(brush->lbHatch));
    case BS_DIBPATTERNPT: return CreateDIBPatternBrushPt(reinterpret_cast<const void*>(brush->lbHatch), DIB_RGB_COLORS);
    default: SetLastError(ERROR_INVALID_PARAMETER); return nullptr;
  }
}

HGDIOBJ GetStockObject(int index) {
  if (HGDIOBJ font = StockFontHandle(index)) return font;
  if (index < WHITE_BRUSH || index > NULL_PEN) return nullptr;
  return Stocks().handles[index];
}

BOOL DeleteObject(HGDIOBJ object) {
  Stocks();
  std::lock_guard g(g_lock);
  auto it = Table().find(reinterpret_cast<uintptr_t>(object));
  if (it == Table().end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!it->second.stock) Table().erase(it);  // stock objects stay
  return TRUE;
}

DWORD GetObjectType(HGDIOBJ object) {
  DWORD type = ObjectType(object);
  if (type == 0) SetLastError(ERROR_INVALID_HANDLE);
  return type;
}

}  // extern "C"
