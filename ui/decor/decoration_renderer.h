// Draws the job's watermark into the application's printer device context at the end of each
// page: the block comes from the rendering library by escape, the drawing goes back to it as
// ordinary paths, text and bitmaps between the begin- and end-decoration escapes.
#pragma once

#include "decor/decoration_target.h"

namespace ui::decor {

// Private escapes of the rendering library.
constexpr int kReadDecorationEscape = 0x5001;
constexpr int kBeginDecorationEscape = 0x5002;
constexpr int kEndDecorationEscape = 0x5003;
constexpr int kPageCounterEscape = 0x5004;

// Platform values the renderer uses.
constexpr int kTransparentBk = 1;
constexpr int kColorOnColor = 3;
constexpr UINT kRtlOpaque = 130;  // right-to-left reading plus opaque
constexpr DWORD kSrcAnd = 0x8800C6;
constexpr DWORD kSrcCopy = 0xCC0020;
constexpr int kTrueTypeOnly = 7;

// Style bits of CreateWatermarkFont.
constexpr int kStyleBold = 1;
constexpr int kStyleItalic = 2;
constexpr int kStyleUnderline = 4;
constexpr int kStyleStrikeOut = 8;

void DecorationRenderer(DecorationTarget& dc);
void DrawTextWatermark(DecorationTarget& dc, PageSize page, const devmode::DecorationBlock& block, double scale);
void DrawImageWatermark(DecorationTarget& dc, PageSize page, const devmode::DecorationBlock& block);
// A new font owned by the caller; 0 when it cannot be made. Screen previews keep the glyphs
// upright on the turned baseline (`turnGlyphs` false).
ObjectHandle CreateWatermarkFont(DecorationTarget& dc, const std::u16string& face, int height, int style, int tenths,
                                 bool turnGlyphs = true);

}  // namespace ui::decor
