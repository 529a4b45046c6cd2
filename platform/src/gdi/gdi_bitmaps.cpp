// Bitmaps and memory device contexts: CreateBitmap, CreateCompatibleBitmap, CreateDIBSection,
// SetDIBits/GetDIBits, CreateCompatibleDC and the stretching mode.
#include "gdi_bitmaps.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include "gdi_trace.h"
#include "platform/bitmaps.h"
#include "win/error.h"

namespace platform::gdi {
namespace {

constexpr LONG kMaxSide = 1 << 16;

std::mutex g_lock;
uintptr_t g_next = 0x7D0000;

std::map<uintptr_t, std::shared_ptr<MemoryDc>>& MemoryDcs() {
  static std::map<uintptr_t, std::shared_ptr<MemoryDc>> dcs;
  return dcs;
}

ULONG FormatOf(int bitCount) {
  switch (bitCount) {
    case 1: return BMF_1BPP;
    case 4: return BMF_4BPP;
    case 8: return BMF_8BPP;
    case 16: return BMF_16BPP;
    case 24: return BMF_24BPP;
    case 32: return BMF_32BPP;
    default: return 0;
  }
}

LONG DibRowBytes(LONG width, int bitCount) { return static_cast<LONG>(((int64_t(width) * bitCount + 31) / 32) * 4); }

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// The colour table and masks a BITMAPINFO carries after its header, and where they end.
struct DibLayout {
  engine::PixelLayout layout;
  LONG width = 0, height = 0;  // height negative: top-down
  int bitCount = 0;
};

std::optional<DibLayout> ReadDibInfo(const BITMAPINFO* info, UINT usage) {
  if (info == nullptr || info->bmiHeader.biSize < sizeof(BITMAPINFOHEADER) || usage != DIB_RGB_COLORS) return std::nullopt;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  DibLayout d;
  d.width = h.biWidth;
  d.height = h.biHeight;
  d.bitCount = h.biBitCount;
  ULONG format = FormatOf(h.biBitCount);
  if (format == 0 || h.biWidth <= 0 || h.biWidth > kMaxSide || h.biHeight == 0 || h.biHeight < -kMaxSide ||
      h.biHeight > kMaxSide || h.biPlanes != 1)
    return std::nullopt;
  d.layout.format = format;
  const auto* after = reinterpret_cast<const BYTE*>(info) + h.biSize;
  if (h.biCompression == BI_BITFIELDS) {
    if (h.biBitCount != 16 && h.biBitCount != 32) return std::nullopt;
    DWORD masks[3];
    // A plain 40-byte header is followed by the masks; the longer ones hold them inside.
    std::memcpy(masks, h.biSize == sizeof(BITMAPINFOHEADER) ? after : reinterpret_cast<const BYTE*>(info) + 40, 12);
    d.layout.redMask = masks[0], d.layout.greenMask = masks[1], d.layout.blueMask = masks[2];
    if ((masks[0] | masks[1] | masks[2]) == 0) return std::nullopt;
  } else if (h.biCompression != BI_RGB) {
    return std::nullopt;
  }
  if (h.biBitCount <= 8) {
    size_t full = size_t{1} << h.biBitCount;
    size_t n = h.biClrUsed != 0 && h.biClrUsed < full ? h.biClrUsed : full;
    const auto* colours = reinterpret_cast<const RGBQUAD*>(after);
    for (size_t i = 0; i < n; ++i) d.layout.palette.push_back(RGB(colours[i].rgbRed, colours[i].rgbGreen, colours[i].rgbBlue));
  }
  return d;
}

}  // namespace

BitmapObject::~BitmapObject() {
  if (surface != nullptr) EngUnlockSurface(surface);
  if (hsurf != nullptr) EngDeleteSurface(hsurf);
}

std::shared_ptr<BitmapObject> NewBitmap(LONG width, LONG height, int bitCount, bool topDown,
                                        engine::PixelLayout layout) {
  ULONG format = FormatOf(bitCount);
  if (format == 0 || width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return nullptr;
  HBITMAP bm = EngCreateBitmap(SIZEL{width, height}, 0, format, topDown ? BMF_TOPDOWN : 0, nullptr);
  if (bm == nullptr) return nullptr;
  auto b = std::make_shared<BitmapObject>();
  b->hsurf = reinterpret_cast<HSURF>(bm);
  b->surface = EngLockSurface(b->hsurf);
  b->bitCount = bitCount;
  layout.format = format;
  if (format <= BMF_8BPP && layout.palette.empty()) layout.palette = engine::DefaultLayout(format).palette;
  b->layout = std::move(layout);
  if (b->surface == nullptr || !engine::SetSurfaceLayout(b->hsurf, b->layout)) return nullptr;
  return b;
}

std::shared_ptr<BitmapObject> FindBitmap(HGDIOBJ handle) {
  return std::static_pointer_cast<BitmapObject>(FindObject(handle, OBJ_BITMAP));
}

HBITMAP AddBitmap(std::shared_ptr<BitmapObject> bitmap) {
  return static_cast<HBITMAP>(AddObject(OBJ_BITMAP, std::move(bitmap)));
}

std::shared_ptr<BitmapObject> BitmapFromDib(const BITMAPINFO* info, const void* bits, UINT usage,
                                            std::optional<LONG> rows) {
  auto d = ReadDibInfo(info, usage);
  if (!d || bits == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  LONG height = rows.value_or(std::abs(d->height));
  LONG row = DibRowBytes(d->width, d->bitCount);
  if (height <= 0 || height > std::abs(d->height)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto b = NewBitmap(d->width, height, d->bitCount, true, d->layout);
  if (b == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  const auto* src = static_cast<const BYTE*>(bits);
  for (LONG y = 0; y < height; ++y) {
    LONG from = d->height > 0 ? height - 1 - y : y;
    std::memcpy(static_cast<BYTE*>(b->surface->pvScan0) + size_t(y) * b->surface->lDelta, src + size_t(from) * row,
                size_t(row));
  }
  return b;
}

std::shared_ptr<MemoryDc> FindMemoryDc(HDC hdc) {
  std::lock_guard g(g_lock);
  auto it = MemoryDcs().find(reinterpret_cast<uintptr_t>(hdc));
  return it == MemoryDcs().end() ? nullptr : it->second;
}

bool SelectIntoMemoryDc(HDC hdc, HGDIOBJ object, HGDIOBJ* previous) {
  auto dc = FindMemoryDc(hdc);
  if (dc == nullptr) return false;
  *previous = nullptr;
  DcState& s = dc->graphics.state;
  if (auto bitmap = FindBitmap(object)) {
    *previous = dc->bitmapHandle;
    dc->bitmap = std::move(bitmap);
    dc->bitmapHandle = object;
  } else if (auto pen = FindPen(object)) {
    *previous = s.penHandle;
    s.pen = std::move(pen);
    s.penHandle = object;
  } else if (auto brush = FindBrush(object)) {
    *previous = s.brushHandle;
    s.brush = std::move(brush);
    s.brushHandle = object;
  } else if (auto font = FindFont(object)) {
    *previous = s.fontHandle;
    s.font = std::move(font);
    s.fontHandle = object;
  } else if (auto region = FindRegion(object)) {
    s.clip = region->region;
    *previous = reinterpret_cast<HGDIOBJ>(static_cast<intptr_t>(region->region.RectCount() > 1 ? COMPLEXREGION
                                                                : region->region.IsEmpty() ? NULLREGION
                                                                                           : SIMPLEREGION));
  } else {
    SetLastError(ERROR_INVALID_HANDLE);
  }
  return true;
}

bool DeleteMemoryDc(HDC hdc) {
  std::lock_guard g(g_lock);
  return MemoryDcs().erase(reinterpret_cast<uintptr_t>(hdc)) == 1;
}

}  // namespace platform::gdi

using namespace platform::gdi;

namespace {
// A bitmap a module's resources hold answers GetObjectW and GetDIBits as any other; direct-colour
// pictures only, since the view leaves out an indexed picture's colours.
std::shared_ptr<BitmapObject> BitmapOrResource(HGDIOBJ object) {
  if (auto b = FindBitmap(object)) return b;
  auto view = platform::ViewBitmap(static_cast<HBITMAP>(object));
  if (!view || view->header.biBitCount <= 8 || view->header.biCompression != BI_RGB) return nullptr;
  BITMAPINFO info{};
  info.bmiHeader = view->header;
  const int64_t width = view->header.biWidth, height = view->header.biHeight;
  if (width <= 0 || height == 0) return nullptr;
  const uint64_t need = uint64_t((width * view->header.biBitCount + 31) / 32 * 4) * uint64_t(height < 0 ? -height : height);
  if (view->bits.size() < need) return nullptr;
  return BitmapFromDib(&info, view->bits.data(), DIB_RGB_COLORS);
}
}  // namespace

extern "C" {

// Memory DCs start with a one-pixel monochrome bitmap, as GDI's do.
HDC CreateCompatibleDC(HDC) {
  static const HBITMAP stock = AddBitmap(NewBitmap(1, 1, 1, true, platform::engine::DefaultLayout(BMF_1BPP)));
  auto dc = std::make_shared<MemoryDc>();
  dc->bitmap = FindBitmap(stock);
  dc->bitmapHandle = stock;
  if (dc->bitmap == nullptr) return nullptr;
  std::lock_guard g(g_lock);
  uintptr_t id = g_next += 0x10;
  MemoryDcs()[id] = std::move(dc);
  return reinterpret_cast<HDC>(id);
}

// A printer's compatible bitmap is a 24-bit colour bitmap; a memory DC's has its bitmap's depth.
HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height) {
  int bitCount = 24;
  platform::engine::PixelLayout layout;
  if (auto dc = FindMemoryDc(hdc)) {
    bitCount = dc->bitmap->bitCount;
    layout = dc->bitmap->layout;
  } else if (!FindDrawingTarget(hdc)) {
    return nullptr;
  }
  auto b = NewBitmap(width, height, bitCount, true, layout);
  if (b == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return AddBitmap(std::move(b));
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitCount, const void* bits) {
  auto b = planes == 1 ? NewBitmap(width, height, static_cast<int>(bitCount), true,
                                   platform::engine::DefaultLayout(FormatOf(static_cast<int>(bitCount))))
                       : nullptr;
  if (b == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (bits != nullptr) {
    size_t row = ((size_t(width) * bitCount + 15) / 16) * 2;
    for (LONG y = 0; y < height; ++y)
      std::memcpy(static_cast<BYTE*>(b->surface->pvScan0) + size_t(y) * b->surface->lDelta,
                  static_cast<const BYTE*>(bits) + y * row, row);
  }
  return AddBitmap(std::move(b));
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD) {
  auto d = ReadDibInfo(info, usage);
  if (!d || section != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto b = NewBitmap(d->width, std::abs(d->height), d->bitCount, d->height < 0, d->layout);
  if (b == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  b->dibSection = true;
  if (bits != nullptr) *bits = b->surface->pvBits;
  return AddBitmap(std::move(b));
}


int GetObjectW(HGDIOBJ object, int size, void* out) {
  auto b = BitmapOrResource(object);
  if (b == nullptr || (out != nullptr && size < static_cast<int>(sizeof(BITMAP)))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (out == nullptr) return sizeof(BITMAP);
  BITMAP bm{};
  bm.bmWidth = b->width();
  bm.bmHeight = b->height();
  bm.bmWidthBytes = std::abs(b->surface->lDelta);
  bm.bmPlanes = 1;
  bm.bmBitsPixel = static_cast<WORD>(b->bitCount);
  bm.bmBits = b->dibSection ? b->surface->pvBits : nullptr;
  std::memcpy(out, &bm, sizeof bm);
  return sizeof(BITMAP);
}

// Rows `start` to `start + lines` counted from the DIB's first scan line (the bottom one of a
// bottom-up DIB). Pixels go through colour, so any depth reads any other.
int SetDIBits(HDC, HBITMAP bitmap, UINT start, UINT lines, const void* bits, const BITMAPINFO* info, UINT usage) {
  auto b = FindBitmap(bitmap);
  auto dib = BitmapFromDib(info, bits, usage);
  if (b == nullptr || dib == nullptr || dib->width() != b->width() || dib->height() != b->height()) return Fail(ERROR_INVALID_PARAMETER);
  bool bottomUp = info->bmiHeader.biHeight > 0;
  UINT end = std::min<UINT>(start + lines, static_cast<UINT>(b->height()));
  int done = 0;
  for (UINT scan = start; scan < end; ++scan, ++done) {
    LONG y = bottomUp ? b->height() - 1 - static_cast<LONG>(scan) : static_cast<LONG>(scan);
    for (LONG x = 0; x < b->width(); ++x) {
      COLORREF c = dib->layout.ColourOf(platform::engine::ReadPixel(*dib->surface, x, y));
      platform::engine::WritePixel(*b->surface, x, y, b->layout.PixelOf(c));
    }
  }
  return done;
}

int GetDIBits(HDC, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info, UINT usage) {
  auto b = BitmapOrResource(bitmap);
  if (b == nullptr || info == nullptr || usage != DIB_RGB_COLORS) return Fail(ERROR_INVALID_PARAMETER);
  BITMAPINFOHEADER& h = info->bmiHeader;
  if (bits == nullptr) {
    if (h.biBitCount == 0) {
      h.biWidth = b->width();
      h.biHeight = b->height();
      h.biPlanes = 1;
      h.biBitCount = static_cast<WORD>(b->bitCount);
      h.biCompression = BI_RGB;
    }
    h.biSizeImage = static_cast<DWORD>(DibRowBytes(b->width(), h.biBitCount) * std::abs(h.biHeight));
    return 1;
  }
  ULONG format = FormatOf(h.biBitCount);
  if (format == 0 || h.biWidth != b->width() || std::abs(h.biHeight) != b->height() || h.biCompression != BI_RGB)
    return Fail(ERROR_INVALID_PARAMETER);
  platform::engine::PixelLayout out = format == b->layout.format ? b->layout : platform::engine::DefaultLayout(format);
  out.format = format;
  if (format <= BMF_8BPP) {
    auto* colours = info->bmiColors;
    for (size_t i = 0; i < out.palette.size(); ++i)
      colours[i] = RGBQUAD{static_cast<BYTE>(out.palette[i] >> 16), static_cast<BYTE>(out.palette[i] >> 8),
                           static_cast<BYTE>(out.palette[i]), 0};
  }
  bool bottomUp = h.biHeight > 0;
  LONG row = DibRowBytes(b->width(), h.biBitCount);
  UINT end = std::min<UINT>(start + lines, static_cast<UINT>(b->height()));
  SURFOBJ view{};
  view.iBitmapFormat = format;
  view.lDelta = row;
  int done = 0;
  for (UINT scan = start; scan < end; ++scan, ++done) {
    LONG y = bottomUp ? b->height() - 1 - static_cast<LONG>(scan) : static_cast<LONG>(scan);
    view.pvScan0 = static_cast<BYTE*>(bits) + size_t(scan - start) * row;
    std::memset(view.pvScan0, 0, size_t(row));
    for (LONG x = 0; x < b->width(); ++x) {
      COLORREF c = b->layout.ColourOf(platform::engine::ReadPixel(*b->surface, x, y));
      ULONG v = format == b->layout.format ? platform::engine::ReadPixel(*b->surface, x, y) : out.PixelOf(c);
      platform::engine::WritePixel(view, x, 0, v);
    }
  }
  return done;
}

int SetStretchBltMode(HDC hdc, int mode) {
  if (mode < BLACKONWHITE || mode > HALFTONE) return Fail(ERROR_INVALID_PARAMETER);
  DcState* s = nullptr;
  std::optional<DrawingTarget> t;
  if (auto dc = FindMemoryDc(hdc)) {
    s = &dc->graphics.state;
  } else if ((t = FindDrawingTarget(hdc))) {
    s = &t->state();
  }
  if (s == nullptr) return 0;
  int previous = s->stretchMode;
  s->stretchMode = mode;
  return previous;
}

int GetStretchBltMode(HDC hdc) {
  if (auto dc = FindMemoryDc(hdc)) return dc->graphics.state.stretchMode;
  auto t = FindDrawingTarget(hdc);
  return t ? t->state().stretchMode : 0;
}

}  // extern "C"
