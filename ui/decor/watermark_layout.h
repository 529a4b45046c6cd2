// Where a printed watermark goes on the page: text height and margin for a point size, the
// box of rotated text, its anchor for each grid position, the text origin inside the box, the
// frame outlines, the tiles of a repeated watermark, and the rectangles of an image watermark.
// Pure arithmetic in device pixels (y downwards), so every rule can be checked without a device.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "devmode/render_settings.h"

namespace ui::decor {

struct Point {
  int x;
  int y;
  bool operator==(const Point&) const = default;
};

// The 16 x 16 one-bit fill pattern of a print grey, two bytes a row from the top; 0 bits take
// the text colour. Greys other than the five print greys use the middle one.
const std::array<uint8_t, 32>& WatermarkGreyPattern(uint32_t printColour);

// Text height in device pixels for a point size; scale 0 means unscaled.
int WatermarkTextHeight(int points, double scale);
// Angle in tenths of a degree, 0..3599, from signed degrees.
int WatermarkAngleTenths(int degrees);
// Ring thickness of a frame and the gap at the page edges, before and after the angle rule.
int WatermarkBaseMargin(int points);
int WatermarkMargin(int baseMargin, int tenths);

enum class Frame { kNone = 0, kEllipse = 1, kRectangle = 2 };

struct TextTile {
  Point anchor;   // top-left of the box (top-right when the text leans the other way)
  Point origin;   // where the text is written, left/top alignment
  // Frame outlines; empty without a frame. An ellipse is {left, top} and {right, bottom}.
  std::vector<Point> outer;
  std::vector<Point> inner;
};

struct TextPlan {
  int tenths = 0;
  double sn = 0, cs = 1;
  int baseMargin = 0, margin = 0;
  int cx = 0, cy = 0;            // the measured text, grown by italic and rectangle padding
  int ex = 0, ey = 0;            // that growth
  int boxWidth = 0, boxHeight = 0;  // the box the anchor rules use
  int diameter = 0;              // ellipse frames only
  std::vector<TextTile> tiles;
};

struct PageSize {
  int width;
  int height;
};

// The layout of a text watermark whose (already shortened, when repeating) text of `chars`
// characters measured cx x cy in the watermark font.
TextPlan PlanTextWatermark(const devmode::DecorationBlock& block, PageSize page, int cx, int cy, int chars);

// The text origin and frame outlines of one tile anchored at `anchor`, for a plan whose text
// fields are filled; boxW x boxH is the turned text's own box, before any frame.
TextTile PlaceTextTile(const TextPlan& plan, Frame frame, Point anchor, int boxW, int boxH);

// Tiling gives up beyond this many copies, so a tiny watermark cannot stall a job.
constexpr int kMaxTiles = 20000;

struct ImageRect {
  int x, y, width, height;
  bool operator==(const ImageRect&) const = default;
};
struct ImageTile {
  ImageRect dest;    // on the page
  ImageRect source;  // in the bitmap, top row first
};

// The stretched copies of a bw x bh bitmap at `scale` percent; empty when nothing is drawn.
std::vector<ImageTile> PlanImageWatermark(const devmode::DecorationBlock& block, PageSize page, int bw, int bh);

}  // namespace ui::decor
