// Text output: glyph runs placed one by one with HP-GL/2 pen moves and printed as PCL text, cut
// glyphs as HP-GL/2 labels, background and rule rectangles as PCL rectangle fills.
#pragma once

#include <cstdint>

#include "win/winddi.h"

namespace render {

struct Pdev;

constexpr int kAdvanceChunk = 1024;  // glyphs whose advances are computed at a time

// Per-device text state, reset with the graphics state (ResetTextState); the advance buffer is
// kept until the device is disabled.
struct TextState {
  int32_t parsingWanted;  // the font's character set, then 3 for every run
  int32_t parsingSent;    // -1: no text parsing method sent yet
  int32_t codeMode;       // 1 glyph indices, 2 character codes
  // HP-GL/2 label font, as the last soft-font selection left it (zero after the reset).
  int16_t labelSpacing;     // 1 proportional, 0 fixed
  int32_t labelPitchOrHeight;  // hundredths of a point (height) or of a character per inch
  int16_t labelSymbolSet;
  int16_t labelPosture;
  int16_t labelStrokeWeight;
  int32_t labelTypeface;
  int16_t labelScalableOnly;
  int16_t labelResident;       // the typeface is a resident font's, not a soft-font identifier
  int16_t labelDirection;      // escapement + 1000 last sent with "DI"; 0 none
  int16_t basePrintDirection;  // the page's print direction, degrees
  int16_t* advances;           // kAdvanceChunk x advances, then as many y advances
};

void ResetTextState(Pdev& pdev);
void FreeTextBuffers(Pdev& pdev);

BOOL DrvTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra, RECTL* prclOpaque,
                BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, POINTL* pptlOrg, MIX mix);

// PCL rectangle fills of `rect` within the clip, with the current pattern; `selectBrush` first sets
// the raster operation and the brush.
int FillTextRectangle(Pdev& pdev, MIX mix, BRUSHOBJ* pbo, const RECTL& rect, CLIPOBJ* pco, bool selectBrush);

// One run of glyphs within `clip` (null: the string's background, within the printable page).
// 0 when the font can be neither substituted nor downloaded, or memory runs out.
int WriteTextRun(Pdev& pdev, FONTOBJ* pfo, const RECTL* clip, BRUSHOBJ* pbo, ULONG count, const GLYPHPOS* pgp,
                 ULONG charInc, STROBJ* pstro, MIX mix);

// The HP-GL/2 label font definition ("SD") from the label-font values.
int DefineLabelFont(Pdev& pdev);

// Every glyph as a PCL raster of its engine bitmap.
BOOL PrintTextAsGraphics(Pdev& pdev, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, BRUSHOBJ* pboFore, MIX mix);

// The run's em height in device pixels and its escapement in tenths of a degree (0 to 3599),
// from the font transform. False when the font has no usable transform.
bool RunSizeAndAngle(FONTOBJ* pfo, int32_t* size, int32_t* angle);

}  // namespace render
