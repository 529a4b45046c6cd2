// Clip regions on a printer device context and the engine's fallback chain: what a hook is
// clipped to, and what reaches DrvBitBlt when the driver refuses a fill.
#include <cmath>
#include <set>

#include "drawing_page.h"

namespace {

using drawing::Driver;
using drawing::FiguresOf;
using fakes::DrawCall;

class GdiClipTest : public drawing::PageTest {};

using Pixels = std::set<std::pair<LONG, LONG>>;

Pixels PixelsOf(const std::vector<RECTL>& rects) {
  Pixels out;
  for (const auto& r : rects)
    for (LONG y = r.top; y < r.bottom; ++y)
      for (LONG x = r.left; x < r.right; ++x) EXPECT_TRUE(out.insert({x, y}).second) << "overlap at " << x << "," << y;
  return out;
}

TEST_F(GdiClipTest, AFillUnderAnEllipticClipReachesTheBlitAsTheEllipsesPixels) {
  HRGN oval = CreateEllipticRgn(100, 100, 301, 201);  // centre (150+50, 150), radii 100 and 50
  ASSERT_NE(oval, nullptr);
  EXPECT_EQ(SelectClipRgn(hdc, oval), COMPLEXREGION);
  SelectObject(hdc, GetStockObject(NULL_PEN));
  SelectObject(hdc, GetStockObject(GRAY_BRUSH));
  POINT square[] = {{0, 0}, {400, 0}, {400, 400}, {0, 400}};
  ASSERT_TRUE(Polygon(hdc, square, 4));
  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "FillPath(refused) BitBlt");
  EXPECT_EQ(calls[0].clipComplexity, DC_COMPLEX);
  const DrawCall& blt = calls[1];
  EXPECT_EQ(blt.rop4, 0xF0F0u);
  EXPECT_EQ(blt.brushColor, 0x00808080u);
  EXPECT_EQ(blt.clipComplexity, DC_COMPLEX);
  EXPECT_TRUE(blt.target == blt.clipBounds) << drawing::Str(blt.target);

  // Every pixel clearly inside the ellipse is there, every one clearly outside is not.
  Pixels got = PixelsOf(blt.clipRects);
  size_t inside = 0;
  for (LONG y = 90; y < 210; ++y) {
    for (LONG x = 90; x < 310; ++x) {
      double dx = (x + 0.5 - 200) / 100, dy = (y + 0.5 - 150) / 50;
      double d = std::sqrt(dx * dx + dy * dy);
      bool in = got.count({x, y}) != 0;
      if (d < 0.97) {
        EXPECT_TRUE(in) << x << "," << y;
      }
      if (d > 1.03) {
        EXPECT_FALSE(in) << x << "," << y;
      }
      inside += in;
    }
  }
  EXPECT_EQ(inside, got.size());
  EXPECT_NEAR(static_cast<double>(inside), 3.14159 * 100 * 50, 3.14159 * 100 * 50 * 0.03);
  // And it is exactly the clip region.
  HRGN fromBlt = CreateRectRgn(0, 0, 0, 0);
  for (const auto& r : blt.clipRects) {
    HRGN piece = CreateRectRgnIndirect(&r);
    CombineRgn(fromBlt, fromBlt, piece, RGN_OR);
    DeleteObject(piece);
  }
  EXPECT_TRUE(EqualRgn(fromBlt, oval));
  DeleteObject(fromBlt);
  DeleteObject(oval);
}

TEST_F(GdiClipTest, ARefusedFillIsCutByTheClipAndTheFillRule) {
  // A winding star: its middle is inside with WINDING and a hole with ALTERNATE.
  POINT star[] = {{100, 0}, {160, 200}, {0, 70}, {200, 70}, {40, 200}};
  SelectObject(hdc, GetStockObject(NULL_PEN));
  IntersectClipRect(hdc, 0, 0, 300, 300);
  ExcludeClipRect(hdc, 0, 0, 100, 300);   // the left third cut away
  ExcludeClipRect(hdc, 150, 0, 160, 10);  // and a notch, so the clip is complex
  SetPolyFillMode(hdc, WINDING);
  ASSERT_TRUE(Polygon(hdc, star, 5));
  SetPolyFillMode(hdc, ALTERNATE);
  ASSERT_TRUE(Polygon(hdc, star, 5));
  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "FillPath(refused) BitBlt FillPath(refused) BitBlt");
  Pixels winding = PixelsOf(calls[1].clipRects), alternate = PixelsOf(calls[3].clipRects);
  EXPECT_TRUE(winding.count({105, 100}));     // the star's middle
  EXPECT_FALSE(alternate.count({105, 100}));  // a hole with the even-odd rule
  EXPECT_TRUE(alternate.count({100, 30}));    // the top spike, inside both ways
  for (const auto& [x, y] : winding) {
    EXPECT_GE(x, 100);  // never in the excluded half
    EXPECT_FALSE(x >= 150 && x < 160 && y < 10);
  }
}

TEST_F(GdiClipTest, ClipRectanglesAreLogicalAndCombineWithEveryMode) {
  SetMapMode(hdc, MM_LOENGLISH);
  EXPECT_EQ(IntersectClipRect(hdc, 0, 0, 100, -100), SIMPLEREGION);  // one inch
  EXPECT_EQ(ExcludeClipRect(hdc, 25, -25, 75, -75), COMPLEXREGION);   // a half-inch hole
  RECT box{};
  EXPECT_EQ(GetClipBox(hdc, &box), COMPLEXREGION);
  EXPECT_EQ(box.left, 0);
  EXPECT_EQ(box.right, 100);
  HRGN clip = CreateRectRgn(0, 0, 0, 0);
  ASSERT_EQ(GetClipRgn(hdc, clip), 1);
  EXPECT_FALSE(PtInRegion(clip, 300, 300));
  EXPECT_TRUE(PtInRegion(clip, 100, 300));
  EXPECT_TRUE(PtInRegion(clip, 599, 599));
  EXPECT_FALSE(PtInRegion(clip, 600, 599));

  ASSERT_TRUE(PatBlt(hdc, 0, 0, 200, -200, PATCOPY));
  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "BitBlt");
  EXPECT_EQ(calls[0].clipComplexity, DC_COMPLEX);
  EXPECT_EQ(PixelsOf(calls[0].clipRects).size(), 600u * 600 - 300u * 300);

  // Combining into the clip: no clip counts as the whole page.
  SetMapMode(hdc, MM_TEXT);
  HRGN a = CreateRectRgn(0, 0, 100, 100), b = CreateRectRgn(50, 50, 150, 150);
  EXPECT_EQ(SelectClipRgn(hdc, nullptr), SIMPLEREGION);
  EXPECT_EQ(GetClipRgn(hdc, clip), 0);
  EXPECT_EQ(ExtSelectClipRgn(hdc, a, RGN_DIFF), COMPLEXREGION);  // the page less a corner
  EXPECT_EQ(ExtSelectClipRgn(hdc, b, RGN_AND), COMPLEXREGION);   // b less a's corner: an L
  EXPECT_EQ(ExtSelectClipRgn(hdc, a, RGN_OR), COMPLEXREGION);   // a and b
  EXPECT_EQ(ExtSelectClipRgn(hdc, b, RGN_XOR), COMPLEXREGION);  // a less b
  ASSERT_EQ(GetClipRgn(hdc, clip), 1);
  EXPECT_TRUE(PtInRegion(clip, 10, 10));
  EXPECT_FALSE(PtInRegion(clip, 75, 75));
  EXPECT_FALSE(PtInRegion(clip, 120, 120));
  RECT box2{};
  EXPECT_EQ(GetRgnBox(clip, &box2), COMPLEXREGION);
  EXPECT_TRUE(box2 == (RECT{0, 0, 100, 100}));
  EXPECT_EQ(ExtSelectClipRgn(hdc, a, RGN_COPY), SIMPLEREGION);
  EXPECT_EQ(ExtSelectClipRgn(hdc, b, RGN_DIFF), COMPLEXREGION);
  EXPECT_EQ(ExtSelectClipRgn(hdc, a, RGN_DIFF), NULLREGION);
  SetLastError(0);
  EXPECT_EQ(ExtSelectClipRgn(hdc, nullptr, RGN_AND), ERROR);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(ExtSelectClipRgn(hdc, a, 9), ERROR);
  // With nothing left visible, nothing reaches the driver.
  ASSERT_TRUE(Ellipse(hdc, 0, 0, 100, 100));
  EXPECT_TRUE(Take().empty());

  // The same modes on regions of their own.
  HRGN d = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(CombineRgn(d, a, b, RGN_AND), SIMPLEREGION);
  RECT r{};
  GetRgnBox(d, &r);
  EXPECT_TRUE(r == (RECT{50, 50, 100, 100}));
  EXPECT_EQ(CombineRgn(d, a, b, RGN_OR), COMPLEXREGION);
  GetRgnBox(d, &r);
  EXPECT_TRUE(r == (RECT{0, 0, 150, 150}));
  EXPECT_EQ(CombineRgn(d, a, b, RGN_XOR), COMPLEXREGION);
  EXPECT_FALSE(PtInRegion(d, 75, 75));
  EXPECT_EQ(CombineRgn(d, a, a, RGN_DIFF), NULLREGION);
  EXPECT_EQ(CombineRgn(d, b, nullptr, RGN_COPY), SIMPLEREGION);
  EXPECT_TRUE(EqualRgn(d, b));
  EXPECT_EQ(CombineRgn(d, a, b, 0), ERROR);
  EXPECT_EQ(CombineRgn(d, a, reinterpret_cast<HRGN>(GetStockObject(BLACK_PEN)), RGN_OR), ERROR);
  for (HRGN h : {a, b, d, clip}) EXPECT_TRUE(DeleteObject(h));
  EXPECT_FALSE(DeleteObject(a));
}

TEST_F(GdiClipTest, SelectClipPathClipsToThePathsInterior) {
  ASSERT_TRUE(BeginPath(hdc));
  POINT triangle[] = {{0, 0}, {200, 0}, {0, 200}};
  Polygon(hdc, triangle, 3);
  ASSERT_TRUE(EndPath(hdc));
  ASSERT_TRUE(SelectClipPath(hdc, RGN_COPY));
  EXPECT_FALSE(StrokePath(hdc));  // the path became the clip
  ASSERT_TRUE(PatBlt(hdc, 0, 0, 300, 300, PATCOPY));
  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "BitBlt");
  ASSERT_EQ(calls[0].clipComplexity, DC_COMPLEX);
  for (const auto& [x, y] : PixelsOf(calls[0].clipRects)) EXPECT_LE(x + y, 201) << x << "," << y;
  EXPECT_GT(PixelsOf(calls[0].clipRects).size(), 19000u);
  SetLastError(0);
  EXPECT_FALSE(SelectClipPath(hdc, RGN_AND));  // no path
  EXPECT_EQ(GetLastError(), ERROR_CAN_NOT_COMPLETE);
}

TEST_F(GdiClipTest, HooksTheDriverDidNotHookAreNeverCalled) {
  HRGN oval = CreateEllipticRgn(0, 0, 100, 100);
  SelectClipRgn(hdc, oval);
  SelectObject(hdc, GetStockObject(NULL_PEN));

  // Only the blit hooked: fills go straight to the raster fallback.
  ASSERT_TRUE(DeleteDC(hdc));
  Driver().hooks = HOOK_BITBLT;
  Open();
  SelectClipRgn(hdc, oval);
  SelectObject(hdc, GetStockObject(NULL_PEN));
  ASSERT_TRUE(Ellipse(hdc, 0, 0, 100, 100));
  EXPECT_EQ(Hooks(Take()), "BitBlt");
  // Nothing hooked: a fill has no way to the page and reports it.
  ASSERT_TRUE(DeleteDC(hdc));
  Driver().hooks = 0;
  Open();
  SelectObject(hdc, GetStockObject(NULL_PEN));
  EXPECT_FALSE(Ellipse(hdc, 0, 0, 100, 100));
  EXPECT_FALSE(PatBlt(hdc, 0, 0, 10, 10, PATCOPY));
  EXPECT_TRUE(Take().empty());
  // Every hook hooked and every one refusing: the whole chain failed.
  ASSERT_TRUE(DeleteDC(hdc));
  Driver().hooks = fakes::kDrawingHooks;
  Open();
  Driver().failing = {"FillPath", "BitBlt"};
  SelectObject(hdc, GetStockObject(NULL_PEN));
  EXPECT_FALSE(Ellipse(hdc, 0, 0, 100, 100));
  EXPECT_EQ(Hooks(Take()), "FillPath(refused) BitBlt(refused)");
  Driver().failing.clear();
  DeleteObject(oval);
}

}  // namespace
