#include "decor/watermark_layout.h"

#include <algorithm>
#include <cmath>

namespace ui::decor {
namespace {

using Pattern = std::array<uint8_t, 32>;

constexpr Pattern kGrey32 = {0x08, 0x08, 0x00, 0x00, 0x00, 0x00, 0x80, 0x81, 0x80, 0x80, 0x00, 0x00, 0x00, 0x00, 0x18, 0x18,
                             0x08, 0x08, 0x00, 0x00, 0x00, 0x00, 0x81, 0x81, 0x80, 0x80, 0x00, 0x00, 0x00, 0x00, 0x18, 0x18};
constexpr Pattern kGrey57 = {0x1C, 0x1C, 0x00, 0x00, 0x00, 0x00, 0xC1, 0xC1, 0xC1, 0xC1, 0x00, 0x00, 0x00, 0x00, 0x1C, 0x1C,
                             0x1C, 0x1C, 0x00, 0x00, 0x00, 0x00, 0xC1, 0xC1, 0xC1, 0xC1, 0x00, 0x00, 0x00, 0x00, 0x1C, 0x1C};
constexpr Pattern kGrey7C = {0xC3, 0xC3, 0xC3, 0xC3, 0x3C, 0x3C, 0x3C, 0x3C, 0x3C, 0x3C, 0x3C, 0x3C, 0xC3, 0xC3, 0xC3, 0xC3,
                             0xC3, 0xC3, 0xC3, 0xC3, 0x3C, 0x3C, 0x3C, 0x3C, 0x3C, 0x3C, 0x1C, 0x3C, 0xC3, 0xC3, 0xC3, 0xC3};
constexpr Pattern kGreyA1 = {0xE3, 0xE3, 0xFF, 0xFF, 0xFF, 0xFF, 0x3E, 0x3E, 0x3E, 0x3E, 0xFF, 0xFF, 0xFF, 0xFF, 0xE3, 0xE3,
                             0xE3, 0xE3, 0xFF, 0xFF, 0xFF, 0xFF, 0x3E, 0x3E, 0x3E, 0x3E, 0xFF, 0xFF, 0xFF, 0xFF, 0xE3, 0xE3};
constexpr Pattern kGreyC6 = {0xF7, 0xF7, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0x7E, 0x7F, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xE7, 0xE7,
                             0xF7, 0xF7, 0xFF, 0xFF, 0xFF, 0xFF, 0x7E, 0x7E, 0x7F, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xE7, 0xE7};

constexpr double kPi = 3.14159;

int Trunc(double v) { return static_cast<int>(v); }
int Rnd(double v) { return static_cast<int>(v + 0.5); }

double SizeFactor(int points) {
  switch (points) {
    case 36: return 8.5;
    case 44: return 9.6;
    case 54: return 9.2;
    case 72: return 9.1;
    case 88: return 9.4;
    default: return 9.7;
  }
}

double EllipseGrowth(int chars) {
  if (chars <= 1) return 1.0 / 4;
  if (chars == 2) return 1.0 / 3;
  if (chars == 3) return 1.0 / 6;
  return 1.0 / 8;
}

// Anchor of the box for a grid position; `leansRight` is true for angles 0..90.
Point Anchor(int position, PageSize page, int bw, int bh, int m, bool leansRight) {
  const int W = page.width, H = page.height;
  const int centreX = leansRight ? (W - bw) / 2 : W - (W - bw) / 2;
  const int leftX = leansRight ? 2 * m : 2 * m + bw;
  switch (position) {
    case 1: return {leftX, m};
    case 2: return {centreX, m};
    case 3: return {leansRight ? W - 2 * m - bw : W - m, m};
    case 4: return {leftX, (H - bh) / 2};
    case 6: return {leansRight ? W - bw - m : W - 2 * m, (H - bh) / 2};
    case 7: return {leftX, H - bh - m};
    case 8: return {centreX, H - bh - m};
    case 9: return {leansRight ? W - bw - m : W - m, H - bh - m};
    default: return {centreX, (H - bh) / 2};
  }
}

// The rectangle (x0, y0)-(x1, y1) of unrotated text, turned by the angle and moved so that its
// bounding box touches the anchor as the box does.
std::vector<Point> TurnedRectangle(const TextPlan& p, Point anchor, double x0, double y0, double x1, double y1) {
  const double theta = p.tenths * kPi / 1800;
  const double s = std::sin(theta), c = std::cos(theta);
  // Counter-clockwise on a page whose y grows downwards.
  auto turn = [&](double u, double v) { return std::pair{u * c + v * s, -u * s + v * c}; };
  // Bounding box of the whole padded rectangle, so the inner ring shares the outer's placement.
  double minX = 1e300, maxX = -1e300, minY = 1e300;
  for (auto [u, v] : {turn(0, 0), turn(p.cx, 0), turn(p.cx, p.cy), turn(0, p.cy)}) {
    minX = std::min(minX, u);
    maxX = std::max(maxX, u);
    minY = std::min(minY, v);
  }
  const double dx = anchor.x - (p.tenths <= 900 ? minX : maxX);
  const double dy = anchor.y - minY;
  std::vector<Point> out;
  for (auto [u, v] : {turn(x0, y0), turn(x1, y0), turn(x1, y1), turn(x0, y1)})
    out.push_back({static_cast<int>(std::lround(u + dx)), static_cast<int>(std::lround(v + dy))});
  return out;
}

void PlaceTile(TextPlan& p, const devmode::DecorationBlock& b, Point anchor, int boxW, int boxH) {
  TextTile tile;
  tile.anchor = anchor;
  const int Ax = anchor.x, Ay = anchor.y;
  const double sn = p.sn, cs = p.cs;
  if (b.frame == static_cast<uint8_t>(Frame::kEllipse)) {
    const int D = p.diameter;
    if (p.tenths < 2700) {
      tile.origin = {Trunc(Ax + (D - boxW) / 2 + p.ex * cs * 0.5),
                     Trunc(Ay + D - (D - boxH) / 2 - p.ey * sn - Trunc(p.cy * cs))};
    } else {
      tile.origin = {Trunc((D - boxW) / 2 + Ax - D + p.ex * sn * 0.5 + Trunc(p.cy * sn)),
                     Trunc(Ay + (D - boxH) / 2 + p.ey * sn * 0.5)};
    }
    const int left = p.tenths > 900 ? Ax - D : Ax;
    const int half = p.baseMargin / 2;
    tile.outer = {{left - half, Ay - half}, {left + D + half, Ay + D + half}};
    tile.inner = {{left + half, Ay + half}, {left + D - half, Ay + D - half}};
  } else {
    const int hx = p.ex / 2, hy = p.ey / 2;
    if (p.tenths <= 900) {
      tile.origin = {Ax + Trunc(hy * sn) + Trunc(hx * cs), Ay + Trunc(hy * cs) + Trunc((p.cx - hx) * sn)};
    } else {
      tile.origin = {Ax + Trunc(-hy * sn) - Trunc((p.cx - hx) * cs), Ay + Trunc(hx * sn) + Trunc(hy * cs)};
    }
    if (b.frame == static_cast<uint8_t>(Frame::kRectangle)) {
      const int m0 = p.baseMargin;
      tile.outer = TurnedRectangle(p, anchor, 0, 0, p.cx, p.cy);
      if (p.cx > 2 * m0 && p.cy > 2 * m0) tile.inner = TurnedRectangle(p, anchor, m0, m0, p.cx - m0, p.cy - m0);
    }
  }
  p.tiles.push_back(std::move(tile));
}

}  // namespace

const std::array<uint8_t, 32>& WatermarkGreyPattern(uint32_t printColour) {
  switch (printColour) {
    case 0x323232: return kGrey32;
    case 0x575757: return kGrey57;
    case 0xA1A1A1: return kGreyA1;
    case 0xC6C6C6: return kGreyC6;
    default: return kGrey7C;
  }
}

TextTile PlaceTextTile(const TextPlan& plan, Frame frame, Point anchor, int boxW, int boxH) {
  TextPlan p = plan;
  p.tiles.clear();
  devmode::DecorationBlock b{};
  b.frame = static_cast<uint8_t>(frame);
  PlaceTile(p, b, anchor, boxW, boxH);
  return std::move(p.tiles.back());
}

int WatermarkTextHeight(int points, double scale) {
  int h = Trunc(points * SizeFactor(points));
  if (scale != 0) h = Trunc(h * scale);
  return h;
}

int WatermarkAngleTenths(int degrees) {
  int a = degrees < 0 ? degrees + 360 : degrees;
  int t = (a * 10) % 3600;
  return t < 0 ? t + 3600 : t;
}

int WatermarkBaseMargin(int points) {
  const int m0 = (points / 36) * 25;
  return m0 <= 0 ? 25 : m0;
}

int WatermarkMargin(int baseMargin, int tenths) {
  const double theta = tenths * kPi / 1800;
  if (tenths == 900 || tenths == 2700) return baseMargin;
  if ((tenths >= 450 && tenths <= 900) || (tenths >= 2700 && tenths <= 3150))
    return Trunc(baseMargin / std::fabs(std::sin(theta)));
  return Trunc(baseMargin / std::fabs(std::cos(theta)));
}

TextPlan PlanTextWatermark(const devmode::DecorationBlock& b, PageSize page, int cx, int cy, int chars) {
  TextPlan p;
  p.tenths = WatermarkAngleTenths(b.angle);
  const double theta = p.tenths * kPi / 1800;
  p.sn = std::fabs(std::sin(theta));
  p.cs = std::fabs(std::cos(theta));
  p.cx = cx;
  p.cy = cy;
  if (b.italic) {
    const int d = page.width > 0 && cx / page.width >= 10 ? 100 : 14;
    p.ex = Rnd(static_cast<double>(cx) / d);
    p.ey = Rnd(static_cast<double>(cy) / d);
    p.cx += p.ex;
    p.cy += p.ey;
  }
  const int boxW = Trunc(p.sn * p.cy + p.cs * p.cx);
  const int boxH = Trunc(p.cs * p.cy + p.sn * p.cx);
  p.baseMargin = WatermarkBaseMargin(b.size);
  p.margin = WatermarkMargin(p.baseMargin, p.tenths);
  if (b.frame == static_cast<uint8_t>(Frame::kEllipse)) {
    const double f = EllipseGrowth(chars);
    p.diameter = p.cx > p.cy ? p.cx + Rnd(p.cx * f) : p.cy + Rnd(p.cy * f);
    p.boxWidth = p.boxHeight = p.diameter;
  } else {
    if (b.frame == static_cast<uint8_t>(Frame::kRectangle)) {
      const int gx = Rnd(p.cx / 5.0), gy = Rnd(p.cy / 5.0);
      p.ex += gx;
      p.ey += gy;
      p.cx += gx;
      p.cy += gy;
    }
    p.boxWidth = Trunc(p.cx * p.cs + p.cy * p.sn);
    p.boxHeight = Trunc(p.cy * p.cs + p.cx * p.sn);
  }
  const bool leansRight = p.tenths <= 900;
  // A free position moves the whole watermark, frame included.
  Point shift{0, 0};
  if (b.position == 10) {
    shift = {Trunc((b.horizontal - 50) * page.width * 0.01), Trunc((b.vertical - 50) * (page.height - p.boxHeight) * 0.01)};
  }
  if (!b.repeat) {
    Point a = Anchor(b.position, page, p.boxWidth, p.boxHeight, p.margin, leansRight);
    PlaceTile(p, b, {a.x + shift.x, a.y + shift.y}, boxW, boxH);
    return p;
  }
  const int stepW = std::max(1, p.boxWidth), stepH = std::max(1, p.boxHeight);
  const long columns = page.width / stepW + 1, rows = page.height / stepH + 1;
  if (columns * rows > kMaxTiles) return p;
  const int gap = b.frame != 0 ? p.margin : 0;
  const Point first = Anchor(1, page, p.boxWidth, p.boxHeight, p.margin, leansRight);
  for (int i = 0; i < columns; ++i) {
    for (int j = 0; j < rows; ++j) {
      PlaceTile(p, b, {first.x + i * (p.boxWidth + gap) + shift.x, first.y + j * (p.boxHeight + gap) + shift.y}, boxW, boxH);
    }
  }
  return p;
}

std::vector<ImageTile> PlanImageWatermark(const devmode::DecorationBlock& b, PageSize page, int bw, int bh) {
  std::vector<ImageTile> out;
  const int scale = b.size;
  if (scale <= 1 || bw <= 0 || bh <= 0 || page.width <= 0 || page.height <= 0) return out;
  const float L = static_cast<float>(std::max(page.width + 1, page.height + 1));
  const float u = L * (bw + 1) * 254.0f * scale / 28512000.0f;
  const float v = L * (bh + 1) * 254.0f * scale / 28512000.0f;
  const int W = page.width, H = page.height;
  if (b.repeat) {
    const int iu = Trunc(u), iv = Trunc(v);
    if (iu == 0 || iv == 0) return out;
    const long columns = Trunc((W + 1) / u) + 1, rows = Trunc((H + 1) / v) + 1;
    if (columns * rows > kMaxTiles) return out;
    if (columns > 1 || rows > 1) {
      for (int i = 0; i < columns; ++i)
        for (int j = 0; j < rows; ++j) out.push_back({{Trunc(i * u), Trunc(j * v), iu, iv}, {0, 0, bw, bh}});
      return out;
    }
    // One tile covers the page: drawn as at the top-left corner.
  }
  const int position = b.repeat ? 1 : b.position;
  if (position < 1 || position > 9) return out;
  // The part of the image the page can hold, and the matching part of the bitmap.
  const int dw = std::min(Trunc(u), W), dh = std::min(Trunc(v), H);
  if (dw <= 0 || dh <= 0) return out;
  const int sw = u > W ? std::max(1, Trunc(bw * (W / u))) : bw;
  const int sh = v > H ? std::max(1, Trunc(bh * (H / v))) : bh;
  const int column = (position - 1) % 3, row = (position - 1) / 3;  // 0 left/top, 1 centre, 2 right/bottom
  auto place = [](int where, int page, int size) { return where == 0 ? 0 : where == 1 ? (page - size) / 2 : page - size; };
  ImageTile t;
  t.dest = {place(column, W, dw), place(row, H, dh), dw, dh};
  t.source = {place(column, bw, sw), place(row, bh, sh), sw, sh};
  out.push_back(t);
  return out;
}

}  // namespace ui::decor
