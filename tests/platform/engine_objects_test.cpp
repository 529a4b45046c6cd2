// Engine objects as a driver's hooks see them: path records, clip complexity and rectangle
// enumeration, brush realization through DrvRealizeBrush, colour translation and transforms.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/engine_objects.h"

namespace {

using namespace platform::engine;

constexpr FIX F(int pixels) { return pixels * 16; }

struct Record {
  FLONG flags;
  std::vector<std::pair<FIX, FIX>> points;
  bool operator==(const Record&) const = default;
};

std::vector<Record> Enumerate(PATHOBJ* ppo, std::vector<BOOL>* more = nullptr) {
  std::vector<Record> out;
  PATHOBJ_vEnumStart(ppo);
  for (int guard = 0; guard < 1000; ++guard) {
    PATHDATA pd;
    BOOL again = PATHOBJ_bEnum(ppo, &pd);
    Record r{pd.flags, {}};
    for (ULONG i = 0; i < pd.count; ++i) r.points.emplace_back(pd.pptfx[i].x, pd.pptfx[i].y);
    if (pd.count != 0) out.push_back(r);
    if (more) more->push_back(again);
    if (!again) break;
  }
  return out;
}

TEST(EnginePathTest, LinesAndBeziersEnumerateAsRecordsPerFigure) {
  PathPoints p;
  p.MoveTo(F(1), F(2));
  p.LineTo(F(3), F(2));
  p.LineTo(F(3), F(4));
  p.BezierTo({F(4), F(4)}, {F(5), F(5)}, {F(6), F(6)});
  p.BezierTo({F(7), F(6)}, {F(8), F(7)}, {F(9), -1});
  p.LineTo(F(1), F(9));
  p.CloseFigure();
  p.MoveTo(F(20), F(20));
  p.BezierTo({F(21), F(20)}, {F(22), F(21)}, {F(22), F(22)});
  EnginePath path(p);
  PATHOBJ* ppo = path.get();
  EXPECT_EQ(ppo->fl, PO_BEZIERS);  // -1 is not a whole pixel
  EXPECT_EQ(ppo->cCurves, 2u + 2 + 1 + 1);

  std::vector<BOOL> more;
  auto records = Enumerate(ppo, &more);
  std::vector<Record> expected = {
      {PD_BEGINSUBPATH | PD_RESETSTYLE, {{F(1), F(2)}, {F(3), F(2)}, {F(3), F(4)}}},
      {PD_BEZIERS, {{F(4), F(4)}, {F(5), F(5)}, {F(6), F(6)}, {F(7), F(6)}, {F(8), F(7)}, {F(9), -1}}},
      {PD_ENDSUBPATH | PD_CLOSEFIGURE, {{F(1), F(9)}}},
      {PD_BEGINSUBPATH | PD_RESETSTYLE | PD_BEZIERS | PD_ENDSUBPATH,
       {{F(20), F(20)}, {F(21), F(20)}, {F(22), F(21)}, {F(22), F(22)}}},
  };
  EXPECT_EQ(records, expected);
  EXPECT_EQ(more, (std::vector<BOOL>{TRUE, TRUE, TRUE, FALSE}));
  // A second enumeration starts over.
  EXPECT_EQ(Enumerate(ppo), expected);

  RECTFX bounds;
  PATHOBJ_vGetBounds(ppo, &bounds);
  EXPECT_EQ(bounds.xLeft, F(1));
  EXPECT_EQ(bounds.yTop, -1);
  EXPECT_EQ(bounds.xRight, F(22));
  EXPECT_EQ(bounds.yBottom, F(22));
}

TEST(EnginePathTest, MalformedAndForeignPathsAreHandedOutWithoutReadingPastThem) {
  // A Bézier run that is not a whole number of curves passes through for the driver to refuse.
  PathPoints p;
  p.MoveTo(0, 0);
  for (int i = 1; i <= 4; ++i) {
    p.points.push_back({F(i), F(i)});
    p.types.push_back(kPathBezierTo);
  }
  p.types.push_back(kPathLineTo);  // one type too many: ignored
  EnginePath path(p);
  auto records = Enumerate(path.get());
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].flags, PD_BEGINSUBPATH | PD_RESETSTYLE | PD_BEZIERS | PD_ENDSUBPATH);
  EXPECT_EQ(records[0].points.size(), 5u);

  PATHOBJ foreign{};
  PATHDATA pd{7, 7, nullptr};
  EXPECT_FALSE(PATHOBJ_bEnum(&foreign, &pd));
  EXPECT_EQ(pd.count, 0u);
  EngDeletePath(&foreign);       // not the engine's: left alone
  EngDeletePath(path.get());     // owned by the EnginePath: left alone
  EXPECT_EQ(Enumerate(path.get()).size(), 1u);
}

std::vector<RECTL> EnumerateRects(CLIPOBJ* pco, ULONG direction, ULONG perCall, std::vector<ULONG>* batches = nullptr) {
  std::vector<RECTL> out;
  CLIPOBJ_cEnumStart(pco, FALSE, CT_RECTANGLES, direction, 0);
  std::vector<ULONG> buffer(1 + 4 * perCall);
  for (int guard = 0; guard < 1000; ++guard) {
    BOOL more = CLIPOBJ_bEnum(pco, static_cast<ULONG>(buffer.size() * sizeof(ULONG)), buffer.data());
    auto* er = reinterpret_cast<ENUMRECTS*>(buffer.data());
    if (batches) batches->push_back(er->c);
    for (ULONG i = 0; i < er->c; ++i) out.push_back(er->arcl[i]);
    if (!more) break;
  }
  return out;
}

struct R {
  LONG l, t, r, b;
  bool operator==(const R&) const = default;
};

std::vector<R> AsR(const std::vector<RECTL>& v) {
  std::vector<R> out;
  for (const RECTL& r : v) out.push_back({r.left, r.top, r.right, r.bottom});
  return out;
}

TEST(EngineClipTest, RectanglesEnumerateInEachDirectionWithTheLastOneDeliveredWithFalse) {
  // Three bands: one rectangle, two rectangles, three rectangles.
  std::vector<RECTL> rects = {{0, 0, 10, 2}, {0, 2, 4, 6}, {6, 2, 10, 6}, {0, 6, 2, 8}, {4, 6, 6, 8}, {8, 6, 10, 8}};
  Region clip = Region::FromRects(rects);
  EngineClip co(&clip, RECTL{0, 0, 100, 100}, RECTL{0, 0, 20, 20});
  CLIPOBJ* pco = co.get();
  EXPECT_EQ(pco->iDComplexity, DC_COMPLEX);
  EXPECT_EQ(pco->iFComplexity, FC_COMPLEX);
  EXPECT_EQ(AsR({pco->rclBounds}), std::vector<R>({{0, 0, 10, 8}}));
  EXPECT_EQ(CLIPOBJ_cEnumStart(pco, FALSE, CT_RECTANGLES, CD_ANY, 0), 6u);
  EXPECT_EQ(CLIPOBJ_cEnumStart(pco, FALSE, CT_RECTANGLES, CD_ANY, 5), 0xFFFFFFFFu);

  std::vector<R> a = {{0, 0, 10, 2}}, b = {{0, 2, 4, 6}, {6, 2, 10, 6}}, c = {{0, 6, 2, 8}, {4, 6, 6, 8}, {8, 6, 10, 8}};
  auto rev = [](std::vector<R> v) { return std::vector<R>(v.rbegin(), v.rend()); };
  auto cat = [](std::initializer_list<std::vector<R>> parts) {
    std::vector<R> out;
    for (auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
  };
  std::vector<ULONG> batches;
  EXPECT_EQ(AsR(EnumerateRects(pco, CD_RIGHTDOWN, 1, &batches)), cat({a, b, c}));
  EXPECT_EQ(batches, std::vector<ULONG>(6, 1));  // the sixth comes with FALSE
  EXPECT_EQ(AsR(EnumerateRects(pco, CD_LEFTDOWN, 1)), cat({a, rev(b), rev(c)}));
  EXPECT_EQ(AsR(EnumerateRects(pco, CD_RIGHTUP, 1)), cat({c, b, a}));
  EXPECT_EQ(AsR(EnumerateRects(pco, CD_LEFTUP, 1)), cat({rev(c), rev(b), a}));
  batches.clear();
  EXPECT_EQ(AsR(EnumerateRects(pco, CD_RIGHTDOWN, 4, &batches)), cat({a, b, c}));
  EXPECT_EQ(batches, (std::vector<ULONG>{4, 2}));

  // A buffer without room for a rectangle, or none at all, ends the enumeration.
  ULONG small[2] = {99, 0};
  CLIPOBJ_cEnumStart(pco, FALSE, CT_RECTANGLES, CD_ANY, 0);
  EXPECT_FALSE(CLIPOBJ_bEnum(pco, sizeof(small), small));
  EXPECT_EQ(small[0], 0u);
  EXPECT_FALSE(CLIPOBJ_bEnum(pco, 100, nullptr));
}

TEST(EngineClipTest, ComplexityFollowsWhatIsCutFromThePrimitive) {
  RECTL surface{0, 0, 1000, 800};
  EngineClip none(nullptr, surface, RECTL{10, 10, 50, 50});
  EXPECT_EQ(none.get()->iDComplexity, DC_TRIVIAL);
  EXPECT_EQ(AsR({none.get()->rclBounds}), std::vector<R>({{10, 10, 50, 50}}));

  Region big(RECTL{0, 0, 500, 500});
  EngineClip inside(&big, surface, RECTL{10, 10, 50, 50});
  EXPECT_EQ(inside.get()->iDComplexity, DC_TRIVIAL);

  EngineClip offPage(nullptr, surface, RECTL{900, 700, 1100, 900});
  EXPECT_EQ(offPage.get()->iDComplexity, DC_RECT);
  EXPECT_EQ(AsR({offPage.get()->rclBounds}), std::vector<R>({{900, 700, 1000, 800}}));

  // A complex clip that leaves one rectangle of the primitive is a rectangle clip.
  Region two = Region::FromRects(std::vector<RECTL>{{0, 0, 20, 20}, {100, 100, 200, 200}});
  EngineClip one(&two, surface, RECTL{5, 5, 60, 60});
  EXPECT_EQ(one.get()->iDComplexity, DC_RECT);
  EXPECT_EQ(AsR({one.get()->rclBounds}), std::vector<R>({{5, 5, 20, 20}}));
  EngineClip both(&two, surface, RECTL{5, 5, 150, 150});
  EXPECT_EQ(both.get()->iDComplexity, DC_COMPLEX);
  EXPECT_EQ(both.get()->iFComplexity, FC_RECT4);
  EXPECT_EQ(AsR({both.get()->rclBounds}), std::vector<R>({{5, 5, 150, 150}}));

  EngineClip hidden(&two, surface, RECTL{30, 30, 60, 60});
  EXPECT_TRUE(hidden.IsEmpty());
  EXPECT_NE(both.get()->iUniq, one.get()->iUniq);
}

TEST(EngineClipTest, ClipPathCoversTheVisibleRegion) {
  Region two = Region::FromRects(std::vector<RECTL>{{0, 0, 20, 20}, {100, 100, 200, 200}});
  EngineClip co(&two, RECTL{0, 0, 1000, 1000}, RECTL{0, 0, 1000, 1000});
  PATHOBJ* ppo = CLIPOBJ_ppoGetPath(co.get());
  ASSERT_NE(ppo, nullptr);
  PathPoints collected;
  PATHOBJ_vEnumStart(ppo);
  PATHDATA pd;
  BOOL more;
  do {
    more = PATHOBJ_bEnum(ppo, &pd);
    for (ULONG i = 0; i < pd.count; ++i) {
      if (i == 0 && (pd.flags & PD_BEGINSUBPATH)) collected.MoveTo(pd.pptfx[i].x, pd.pptfx[i].y);
      else collected.LineTo(pd.pptfx[i].x, pd.pptfx[i].y);
    }
    if (pd.flags & PD_CLOSEFIGURE) collected.CloseFigure();
  } while (more);
  EngDeletePath(ppo);
  EXPECT_TRUE(RasterizePath(collected, kFillAlternate, RECTL{0, 0, 1000, 1000}) == two);
}

TEST(RegionTest, CombinationsAndOffsets) {
  Region a(RECTL{0, 0, 10, 10}), b(RECTL{5, 5, 15, 15});
  Region x = *Region::Combine(a, b, kRegionXor);
  EXPECT_TRUE(x.Contains(0, 0));
  EXPECT_TRUE(x.Contains(14, 14));
  EXPECT_FALSE(x.Contains(7, 7));
  EXPECT_EQ(x.RectCount(), 4u);
  Region d = *Region::Combine(a, b, kRegionDiff);
  EXPECT_FALSE(d.Contains(5, 5));
  EXPECT_TRUE(d.Contains(4, 9));
  EXPECT_FALSE(Region::Combine(a, b, 9).has_value());
  d.Offset(100, 0);
  EXPECT_EQ(AsR({d.Bounds()}), std::vector<R>({{100, 0, 110, 10}}));
  Region moved(std::move(d));
  EXPECT_TRUE(d.IsEmpty());  // NOLINT: a moved-from region stays usable
  EXPECT_FALSE(moved.IsEmpty());
  EXPECT_TRUE(Region(RECTL{5, 5, 5, 9}).IsEmpty());
}

// A DrvRealizeBrush that records what it was given and realizes into engine memory.
struct RealizeLog {
  int calls = 0;
  SURFOBJ* target = nullptr;
  SURFOBJ pattern{};
  std::vector<BYTE> firstRow;
  ULONG iHatch = 0;
  ULONG colour0 = 0;
  ULONG colour1 = 0;
  BOOL answer = TRUE;
};
RealizeLog g_log;

BOOL FakeRealize(BRUSHOBJ* pbo, SURFOBJ* target, SURFOBJ* pattern, SURFOBJ*, XLATEOBJ* xlo, ULONG iHatch) {
  ++g_log.calls;
  g_log.target = target;
  g_log.pattern = *pattern;
  auto* scan0 = static_cast<BYTE*>(pattern->pvScan0);
  g_log.firstRow.assign(scan0, scan0 + 4);
  g_log.iHatch = iHatch;
  g_log.colour0 = XLATEOBJ_iXlate(xlo, 0);
  g_log.colour1 = XLATEOBJ_iXlate(xlo, 1);
  auto* rb = static_cast<ULONG*>(BRUSHOBJ_pvAllocRbrush(pbo, 64));
  if (rb == nullptr) return FALSE;
  rb[0] = 0xC0FFEE;
  rb[15] = iHatch;
  return g_log.answer;
}

TEST(EngineBrushTest, PatternBrushIsRealizedOnceThroughTheDriver) {
  g_log = RealizeLog();
  PatternBits bits;
  bits.format = BMF_8BPP;
  bits.width = 3;
  bits.height = 2;
  bits.stride = 3;
  bits.bits = {0, 1, 2, 2, 1, 0};
  bits.palette = {0x000000FF, 0x0000FF00, 0x00FF0000};
  auto brush = EngineBrush::Pattern(bits);
  ASSERT_TRUE(brush.has_value());
  EXPECT_EQ(brush->get()->iSolidColor, 0xFFFFFFFFu);
  EXPECT_EQ(BRUSHOBJ_pvGetRbrush(brush->get()), nullptr);  // no driver bound yet
  EXPECT_EQ(g_log.calls, 0);

  SURFOBJ device{};
  brush->BindDriver(&device, FakeRealize);
  auto* rb = static_cast<ULONG*>(BRUSHOBJ_pvGetRbrush(brush->get()));
  ASSERT_NE(rb, nullptr);
  EXPECT_EQ(rb[0], 0xC0FFEEu);
  EXPECT_EQ(rb[15], HS_DDI_MAX);
  EXPECT_EQ(brush->get()->pvRbrush, rb);
  EXPECT_EQ(BRUSHOBJ_pvGetRbrush(brush->get()), rb);
  EXPECT_EQ(g_log.calls, 1);
  EXPECT_EQ(g_log.target, &device);
  EXPECT_EQ(g_log.pattern.iBitmapFormat, BMF_8BPP);
  EXPECT_EQ(g_log.pattern.sizlBitmap.cx, 3);
  EXPECT_EQ(g_log.pattern.sizlBitmap.cy, 2);
  EXPECT_EQ(g_log.pattern.lDelta, 4);  // rows padded to 4 bytes
  EXPECT_EQ(g_log.pattern.iType, STYPE_BITMAP);
  EXPECT_EQ(std::memcmp(static_cast<BYTE*>(g_log.pattern.pvScan0) + 4, "\x02\x01\x00", 3), 0);
  EXPECT_EQ(g_log.colour1, 0x0000FF00u);

  // Bound to another surface, the brush is realized again; moving it keeps the realization.
  SURFOBJ other{};
  brush->BindDriver(&other, FakeRealize);
  EngineBrush moved = std::move(*brush);
  EXPECT_NE(BRUSHOBJ_pvGetRbrush(moved.get()), nullptr);
  EXPECT_NE(BRUSHOBJ_pvGetRbrush(moved.get()), nullptr);
  EXPECT_EQ(g_log.calls, 2);
  EXPECT_EQ(moved.RealizeCalls(), 2);
}

TEST(EngineBrushTest, HatchBrushPassesItsStyleAndColoursAndARefusalIsNotKept) {
  g_log = RealizeLog();
  EngineBrush hatch = EngineBrush::Hatch(HS_CROSS, 0x00123456, 0x00FFFFFF);
  EXPECT_EQ(BRUSHOBJ_ulGetBrushColor(hatch.get()), 0x00123456u);
  SURFOBJ device{};
  hatch.BindDriver(&device, FakeRealize);
  g_log.answer = FALSE;
  EXPECT_EQ(BRUSHOBJ_pvGetRbrush(hatch.get()), nullptr);
  EXPECT_EQ(hatch.get()->pvRbrush, nullptr);
  g_log.answer = TRUE;
  EXPECT_NE(BRUSHOBJ_pvGetRbrush(hatch.get()), nullptr);
  EXPECT_EQ(g_log.calls, 2);
  EXPECT_EQ(g_log.iHatch, HS_CROSS);
  EXPECT_EQ(g_log.pattern.iBitmapFormat, BMF_1BPP);
  EXPECT_EQ(g_log.colour0, 0x00123456u);  // colour 0 is the hatch colour
  EXPECT_EQ(g_log.colour1, 0x00FFFFFFu);
  EXPECT_EQ(g_log.firstRow[0], 0xF7);    // the vertical stroke of the cross, as colour 0

  EngineBrush solid = EngineBrush::Solid(0xFF808080);
  EXPECT_TRUE(solid.IsSolid());
  EXPECT_EQ(solid.get()->iSolidColor, 0x00808080u);
  EXPECT_EQ(BRUSHOBJ_ulGetBrushColor(solid.get()), 0x00808080u);
}

TEST(EngineBrushTest, PatternBitsShorterThanTheirDescriptionAreRefused) {
  PatternBits bits;
  bits.format = BMF_24BPP;
  bits.width = 4;
  bits.height = 4;
  bits.stride = 12;
  bits.bits.assign(12 * 3 + 11, 0);
  EXPECT_FALSE(EngineBrush::Pattern(bits).has_value());
  bits.bits.push_back(0);
  EXPECT_TRUE(EngineBrush::Pattern(bits).has_value());
  bits.stride = 11;
  EXPECT_FALSE(EngineBrush::Pattern(bits).has_value());
  bits.format = 9;
  EXPECT_FALSE(EngineBrush::Pattern(bits).has_value());
  EXPECT_EQ(BRUSHOBJ_pvAllocRbrush(nullptr, 16), nullptr);
}

TEST(EngineXlateTest, TablesAndChannelOrder) {
  EngineXlate indexed = EngineXlate::Indexed({0x00FF0000, 0xAA00FF00});
  EXPECT_EQ(indexed.get()->flXlate, XO_TABLE);
  ASSERT_EQ(indexed.get()->cEntries, 2u);
  EXPECT_EQ(indexed.get()->pulXlate[1], 0x0000FF00u);
  EXPECT_EQ(XLATEOBJ_iXlate(indexed.get(), 0), 0x00FF0000u);
  ULONG pal[4] = {};
  EXPECT_EQ(XLATEOBJ_cGetPalette(indexed.get(), XO_SRCPALETTE, 4, pal), 2u);
  EXPECT_EQ(pal[1], 0x0000FF00u);
  EngineXlate bgr = EngineXlate::FromBgr();
  EXPECT_EQ(XLATEOBJ_iXlate(bgr.get(), 0x00112233), 0x00332211u);
  EXPECT_EQ(XLATEOBJ_iXlate(EngineXlate::Identity().get(), 0x00112233), 0x00112233u);
}

TEST(EngineXformTest, ClassifiesAndAppliesTheTransform) {
  XFORML xf{};
  EXPECT_EQ(XFORMOBJ_iGetXform(EngineXform().get(), &xf), GX_IDENTITY);
  EXPECT_EQ(XFORMOBJ_iGetXform(EngineXform(XFORML{1, 0, 0, 1, 5, 0}).get(), &xf), GX_OFFSET);
  EXPECT_EQ(XFORMOBJ_iGetXform(EngineXform(XFORML{2, 0, 0, -3, 0, 0}).get(), &xf), GX_SCALE);
  EngineXform general(XFORML{0, 2, -2, 0, 10, 20});
  EXPECT_EQ(XFORMOBJ_iGetXform(general.get(), &xf), GX_GENERAL);
  EXPECT_EQ(xf.eM12, 2.0f);
  POINTL in[1] = {{3, 4}}, out[1], back[1];
  ASSERT_TRUE(XFORMOBJ_bApplyXform(general.get(), XF_LTOL, 1, in, out));
  EXPECT_EQ(out[0].x, 3 * 0 + 4 * -2 + 10);
  EXPECT_EQ(out[0].y, 3 * 2 + 4 * 0 + 20);
  ASSERT_TRUE(XFORMOBJ_bApplyXform(general.get(), XF_INV_LTOL, 1, out, back));
  EXPECT_EQ(back[0].x, 3);
  EXPECT_EQ(back[0].y, 4);
  EXPECT_FALSE(XFORMOBJ_bApplyXform(EngineXform(XFORML{1, 1, 1, 1, 0, 0}).get(), XF_INV_LTOL, 1, out, back));
}

}  // namespace
