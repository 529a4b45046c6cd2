// The small watermark preview of the watermark page and editors: the record drawn in greys into
// a page-shaped control, with screen constants of its own but the print layout's arithmetic.
#pragma once

#include <span>

#include "decor/decoration_target.h"
#include "devmode/stored_devmode.h"
#include "win/dialogs.h"
#include "win/wingdi.h"

namespace ui::preview {

using decor::ObjectHandle;
using decor::Point;

// The drawing calls the preview needs beyond those the print renderer makes.
class PreviewTarget {
 public:
  virtual ~PreviewTarget() = default;
  virtual ObjectHandle CreateSolidPen(int width, uint32_t colour) = 0;
  virtual ObjectHandle HollowBrush() = 0;  // a stock object: never deleted
  virtual void ClipTo(const RECT& rect) = 0;
  virtual void RestoreClip() = 0;
  virtual void Polyline(std::span<const Point> points) = 0;
};

// Screen colour of a grey level; levels outside the table draw black.
uint32_t PreviewTextColour(int greyLevel);
// The record as the preview draws it: its colour turned grey, black for an unknown grey level.
devmode::WatermarkRecord PreviewCopy(const devmode::WatermarkRecord& record);
// Font height value handed to the watermark font for a point size on a screen of `dpi`.
int PreviewFontHeight(int points, int dpi);

// Each draws `record` (already a preview copy) into `rect` of the context.
void DrawTextWatermarkPreview(decor::DecorationTarget& dc, PreviewTarget& extra, Point origin, const RECT& rect,
                              const devmode::WatermarkRecord& record, bool rtl);
void DrawImageWatermarkPreview(decor::DecorationTarget& dc, Point origin, const RECT& rect,
                               const devmode::WatermarkRecord& record);

// The 24-bit bitmap greyed, and lightened when the watermark is transparent.
void GreyPreviewBitmap(decor::LoadedBitmap& bitmap, bool lighten);

// The whole paint into a control's context: frame, white page, the watermark, one copy.
// `client` is the control's client rectangle.
void PaintWatermarkPreviewInto(HDC hdc, const RECT& client, const devmode::WatermarkRecord& record, bool rtl);
// The owner-draw paint of the preview control: the request's context and rectangle, the
// interface language's reading order.
void PaintWatermarkPreview(const DRAWITEMSTRUCT& item, const devmode::WatermarkRecord& record);

}  // namespace ui::preview
