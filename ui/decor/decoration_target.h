// The drawing calls the decoration renderer makes on the application's printer device context,
// one method per platform call, so the renderer's use of the context can be recorded in tests
// and bound to the context's own calls in the library.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "decor/watermark_layout.h"
#include "win/base.h"

namespace ui::decor {

using ObjectHandle = uintptr_t;  // 0 = none

struct WatermarkFont {
  std::u16string face;  // at most 31 characters
  int height = 0;       // negative: em height in logical units
  int escapement = 0;   // tenths of a degree
  int orientation = 0;
  int weight = 0;
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  int charSet = 0;
  int outPrecision = 0;
};

struct LoadedBitmap {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bits;  // 24-bit, bottom row first, rows padded to 4 bytes
};

struct Mapping {
  Point windowOrigin, viewportOrigin, windowExtent, viewportExtent;
  bool operator==(const Mapping&) const = default;
};

class DecorationTarget {
 public:
  virtual ~DecorationTarget() = default;

  virtual int Escape(int code, std::span<const uint8_t> in, std::span<uint8_t> out) = 0;
  virtual int DeviceCaps(int index) = 0;
  virtual Mapping GetMapping() = 0;
  virtual void SetMapping(const Mapping& m) = 0;
  // Length in logical units of a vertical run of `pixels` device pixels.
  virtual int DeviceToLogicalHeight(int pixels) = 0;

  virtual int SetBkMode(int mode) = 0;  // each returns the previous value
  virtual UINT SetTextAlign(UINT align) = 0;
  virtual uint32_t SetBkColor(uint32_t colour) = 0;
  virtual uint32_t SetTextColor(uint32_t colour) = 0;
  virtual int SetPolyFillMode(int mode) = 0;
  virtual int SetStretchBltMode(int mode) = 0;

  // Character set of the first face enumerated under this name; -1 when none.
  virtual int FaceCharSet(const std::u16string& face) = 0;
  virtual ObjectHandle CreateFont(const WatermarkFont& font) = 0;
  virtual ObjectHandle CreatePatternBrush(const std::array<uint8_t, 32>& rows) = 0;
  virtual ObjectHandle Select(ObjectHandle object) = 0;  // returns the object it replaced
  virtual void Delete(ObjectHandle object) = 0;

  virtual bool TextExtent(const std::u16string& text, int* cx, int* cy) = 0;
  virtual void TextOut(int x, int y, const std::u16string& text) = 0;
  virtual void ExtTextOut(int x, int y, UINT options, const RECT& rect, const std::u16string& text) = 0;

  virtual void BeginPath() = 0;
  virtual void EndPath() = 0;
  virtual void FillPath() = 0;
  virtual void Polygon(std::span<const Point> points) = 0;
  virtual void Ellipse(int left, int top, int right, int bottom) = 0;

  virtual bool LoadBitmapFile(const std::u16string& path, LoadedBitmap* bitmap) = 0;
  virtual void StretchBits(const ImageRect& dest, const ImageRect& source, const LoadedBitmap& bitmap, DWORD rop) = 0;
};

}  // namespace ui::decor
