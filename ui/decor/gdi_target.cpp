#include "decor/gdi_target.h"

#include <climits>
#include <cstring>
#include <vector>

#include "platform/utf16.h"

namespace ui::decor {
namespace {

HGDIOBJ AsObject(ObjectHandle h) { return reinterpret_cast<HGDIOBJ>(h); }
ObjectHandle AsHandle(const void* h) { return reinterpret_cast<ObjectHandle>(h); }

int Length(const std::u16string& text) {
  return text.size() > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(text.size());
}

LPCWSTR Wide(const std::u16string& text) { return reinterpret_cast<LPCWSTR>(text.c_str()); }

int FirstCharSet(const LOGFONTW* logFont, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<int*>(found) = logFont->lfCharSet;
  return 0;
}

BITMAPINFO BottomUp24(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

size_t RowBytes(int width) { return (static_cast<size_t>(width) * 3 + 3) & ~size_t{3}; }

}  // namespace

GdiDecorationTarget::GdiDecorationTarget(HDC hdc) : hdc_(hdc), foundMapMode_(GetMapMode(hdc)) {}

GdiDecorationTarget::~GdiDecorationTarget() {
  // Brushes the renderer did not delete still own their bitmaps.
  for (const auto& [brush, bitmap] : patternBitmaps_) {
    DeleteObject(AsObject(brush));
    DeleteObject(bitmap);
  }
}

int GdiDecorationTarget::Escape(int code, std::span<const uint8_t> in, std::span<uint8_t> out) {
  if (in.size() > INT_MAX || out.size() > INT_MAX) return 0;
  return ExtEscape(hdc_, code, static_cast<int>(in.size()), reinterpret_cast<LPCSTR>(in.data()),
                   static_cast<int>(out.size()), reinterpret_cast<LPSTR>(out.data()));
}

int GdiDecorationTarget::DeviceCaps(int index) { return GetDeviceCaps(hdc_, index); }

Mapping GdiDecorationTarget::GetMapping() {
  POINT wo{}, vo{};
  SIZE we{}, ve{};
  GetWindowOrgEx(hdc_, &wo);
  GetViewportOrgEx(hdc_, &vo);
  GetWindowExtEx(hdc_, &we);
  GetViewportExtEx(hdc_, &ve);
  return {{wo.x, wo.y}, {vo.x, vo.y}, {we.cx, we.cy}, {ve.cx, ve.cy}};
}

void GdiDecorationTarget::SetMapping(const Mapping& m) {
  pageMapping_ = !pageMapping_;
  ::SetMapMode(hdc_, pageMapping_ ? MM_ANISOTROPIC : foundMapMode_);
  // A fixed mode ignores these, as it should: it brings its own extents.
  SetWindowExtEx(hdc_, m.windowExtent.x, m.windowExtent.y, nullptr);
  SetViewportExtEx(hdc_, m.viewportExtent.x, m.viewportExtent.y, nullptr);
  SetWindowOrgEx(hdc_, m.windowOrigin.x, m.windowOrigin.y, nullptr);
  SetViewportOrgEx(hdc_, m.viewportOrigin.x, m.viewportOrigin.y, nullptr);
}

int GdiDecorationTarget::DeviceToLogicalHeight(int pixels) {
  POINT p[2] = {{0, 0}, {0, pixels}};
  if (!DPtoLP(hdc_, p, 2)) return pixels;
  return p[1].y - p[0].y;
}

int GdiDecorationTarget::SetBkMode(int mode) { return ::SetBkMode(hdc_, mode); }
UINT GdiDecorationTarget::SetTextAlign(UINT align) { return ::SetTextAlign(hdc_, align); }
uint32_t GdiDecorationTarget::SetBkColor(uint32_t colour) { return ::SetBkColor(hdc_, colour); }
uint32_t GdiDecorationTarget::SetTextColor(uint32_t colour) { return ::SetTextColor(hdc_, colour); }
int GdiDecorationTarget::SetPolyFillMode(int mode) { return ::SetPolyFillMode(hdc_, mode); }
int GdiDecorationTarget::SetStretchBltMode(int mode) { return ::SetStretchBltMode(hdc_, mode); }

int GdiDecorationTarget::FaceCharSet(const std::u16string& face) {
  LOGFONTW query{};
  query.lfCharSet = DEFAULT_CHARSET;
  platform::CopyWideField(query.lfFaceName, LF_FACESIZE, face);
  int found = -1;
  EnumFontFamiliesExW(hdc_, &query, &FirstCharSet, reinterpret_cast<LPARAM>(&found), 0);
  return found;
}

ObjectHandle GdiDecorationTarget::CreateFont(const WatermarkFont& f) {
  LOGFONTW lf{};
  lf.lfHeight = f.height;
  lf.lfEscapement = f.escapement;
  lf.lfOrientation = f.orientation;
  lf.lfWeight = f.weight;
  lf.lfItalic = f.italic ? 1 : 0;
  lf.lfUnderline = f.underline ? 1 : 0;
  lf.lfStrikeOut = f.strikeOut ? 1 : 0;
  lf.lfCharSet = static_cast<BYTE>(f.charSet);
  lf.lfOutPrecision = static_cast<BYTE>(f.outPrecision);
  platform::CopyWideField(lf.lfFaceName, LF_FACESIZE, f.face);
  return AsHandle(CreateFontIndirectW(&lf));
}

ObjectHandle GdiDecorationTarget::CreatePatternBrush(const std::array<uint8_t, 32>& rows) {
  HBITMAP bitmap = CreateBitmap(16, 16, 1, 1, rows.data());
  if (bitmap == nullptr) return 0;
  HBRUSH brush = ::CreatePatternBrush(bitmap);
  if (brush == nullptr) {
    DeleteObject(bitmap);
    return 0;
  }
  try {
    patternBitmaps_[AsHandle(brush)] = bitmap;
  } catch (...) {
    DeleteObject(brush);
    DeleteObject(bitmap);
    return 0;
  }
  return AsHandle(brush);
}

ObjectHandle GdiDecorationTarget::Select(ObjectHandle object) {
  if (object == 0) return 0;
  return AsHandle(SelectObject(hdc_, AsObject(object)));
}

void GdiDecorationTarget::Delete(ObjectHandle object) {
  DeleteObject(AsObject(object));
  auto it = patternBitmaps_.find(object);
  if (it != patternBitmaps_.end()) {
    DeleteObject(it->second);
    patternBitmaps_.erase(it);
  }
}

bool GdiDecorationTarget::TextExtent(const std::u16string& text, int* cx, int* cy) {
  SIZE size{};
  if (!GetTextExtentPoint32W(hdc_, Wide(text), Length(text), &size)) return false;
  *cx = size.cx;
  *cy = size.cy;
  return true;
}

void GdiDecorationTarget::TextOut(int x, int y, const std::u16string& text) {
  TextOutW(hdc_, x, y, Wide(text), Length(text));
}

void GdiDecorationTarget::ExtTextOut(int x, int y, UINT options, const RECT& rect, const std::u16string& text) {
  ExtTextOutW(hdc_, x, y, options, &rect, Wide(text), static_cast<UINT>(Length(text)), nullptr);
}

void GdiDecorationTarget::BeginPath() { ::BeginPath(hdc_); }
void GdiDecorationTarget::EndPath() { ::EndPath(hdc_); }
void GdiDecorationTarget::FillPath() { ::FillPath(hdc_); }

void GdiDecorationTarget::Polygon(std::span<const Point> points) {
  if (points.size() > INT_MAX) return;
  std::vector<POINT> p;
  p.reserve(points.size());
  for (const Point& q : points) p.push_back({q.x, q.y});
  ::Polygon(hdc_, p.data(), static_cast<int>(p.size()));
}

void GdiDecorationTarget::Ellipse(int left, int top, int right, int bottom) { ::Ellipse(hdc_, left, top, right, bottom); }

bool GdiDecorationTarget::LoadBitmapFile(const std::u16string& path, LoadedBitmap* out) {
  if (path.empty()) return false;
  auto bitmap = static_cast<HBITMAP>(
      LoadImageW(nullptr, Wide(path), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
  if (bitmap == nullptr) return false;
  bool ok = false;
  BITMAP header{};
  HDC memory = CreateCompatibleDC(hdc_);
  if (memory != nullptr && GetObjectW(bitmap, sizeof header, &header) != 0 && header.bmWidth > 0 &&
      header.bmHeight > 0) {
    try {
      BITMAPINFO info = BottomUp24(header.bmWidth, header.bmHeight);
      std::vector<uint8_t> bits(RowBytes(header.bmWidth) * static_cast<size_t>(header.bmHeight));
      if (GetDIBits(memory, bitmap, 0, static_cast<UINT>(header.bmHeight), bits.data(), &info, DIB_RGB_COLORS) ==
          header.bmHeight) {
        out->width = header.bmWidth;
        out->height = header.bmHeight;
        out->bits = std::move(bits);
        ok = true;
      }
    } catch (const std::bad_alloc&) {
      ok = false;
    }
  }
  if (memory != nullptr) DeleteDC(memory);
  DeleteObject(bitmap);
  return ok;
}

void GdiDecorationTarget::StretchBits(const ImageRect& dest, const ImageRect& source, const LoadedBitmap& bitmap,
                                      DWORD rop) {
  if (bitmap.bits.size() < RowBytes(bitmap.width) * static_cast<size_t>(bitmap.height)) return;
  const BITMAPINFO info = BottomUp24(bitmap.width, bitmap.height);
  // A bottom-up source is addressed from its bottom row.
  const int sourceY = bitmap.height - (source.y + source.height);
  StretchDIBits(hdc_, dest.x, dest.y, dest.width, dest.height, source.x, sourceY, source.width, source.height,
                bitmap.bits.data(), &info, DIB_RGB_COLORS, rop);
}

}  // namespace ui::decor
