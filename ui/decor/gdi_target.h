// The decoration renderer's calls bound to an application's printer device context.
#pragma once

#include <map>

#include "decor/decoration_target.h"
#include "win/wingdi.h"

namespace ui::decor {

class GdiDecorationTarget : public DecorationTarget {
 public:
  explicit GdiDecorationTarget(HDC hdc);
  ~GdiDecorationTarget() override;
  GdiDecorationTarget(const GdiDecorationTarget&) = delete;
  GdiDecorationTarget& operator=(const GdiDecorationTarget&) = delete;

  int Escape(int code, std::span<const uint8_t> in, std::span<uint8_t> out) override;
  int DeviceCaps(int index) override;
  Mapping GetMapping() override;
  // The renderer sets its page mapping and then puts back the one it found, never nesting. The
  // page mapping needs a scalable mode (extents are ignored in the fixed ones), so the first
  // call switches to it and the second returns to the mode the context was in.
  void SetMapping(const Mapping& m) override;
  int DeviceToLogicalHeight(int pixels) override;

  int SetBkMode(int mode) override;
  UINT SetTextAlign(UINT align) override;
  uint32_t SetBkColor(uint32_t colour) override;
  uint32_t SetTextColor(uint32_t colour) override;
  int SetPolyFillMode(int mode) override;
  int SetStretchBltMode(int mode) override;

  int FaceCharSet(const std::u16string& face) override;
  ObjectHandle CreateFont(const WatermarkFont& font) override;
  ObjectHandle CreatePatternBrush(const std::array<uint8_t, 32>& rows) override;
  ObjectHandle Select(ObjectHandle object) override;
  void Delete(ObjectHandle object) override;

  bool TextExtent(const std::u16string& text, int* cx, int* cy) override;
  void TextOut(int x, int y, const std::u16string& text) override;
  void ExtTextOut(int x, int y, UINT options, const RECT& rect, const std::u16string& text) override;

  void BeginPath() override;
  void EndPath() override;
  void FillPath() override;
  void Polygon(std::span<const Point> points) override;
  void Ellipse(int left, int top, int right, int bottom) override;

  bool LoadBitmapFile(const std::u16string& path, LoadedBitmap* bitmap) override;
  void StretchBits(const ImageRect& dest, const ImageRect& source, const LoadedBitmap& bitmap, DWORD rop) override;

 private:
  HDC hdc_;
  int foundMapMode_;
  bool pageMapping_ = false;
  std::map<ObjectHandle, HBITMAP> patternBitmaps_;  // brush -> the bitmap it was made from
};

}  // namespace ui::decor
