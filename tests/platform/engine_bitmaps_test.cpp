// Engine bitmaps as a driver reads them (row order, pvScan0 and lDelta, pixel packing), the colour
// translations of their layouts, and the engine's own blits, gradients and erasing on bitmaps.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/engine_bitmaps.h"

namespace {

using namespace platform::engine;

TEST(EngineBitmapTest, BottomUpBitmapsStartAtTheirLastRowInMemoryWithANegativeDelta) {
  struct Case {
    ULONG format;
    LONG width;
    LONG rowBytes;
  };
  for (Case c : {Case{BMF_1BPP, 33, 8}, Case{BMF_4BPP, 9, 8}, Case{BMF_8BPP, 5, 8}, Case{BMF_16BPP, 3, 8},
                 Case{BMF_24BPP, 3, 12}, Case{BMF_32BPP, 3, 12}}) {
    SCOPED_TRACE(c.format);
    for (bool topDown : {false, true}) {
      HBITMAP bm = EngCreateBitmap(SIZEL{c.width, 4}, 0, c.format, topDown ? BMF_TOPDOWN : 0, nullptr);
      ASSERT_NE(bm, nullptr);
      SURFOBJ* so = EngLockSurface(reinterpret_cast<HSURF>(bm));
      ASSERT_NE(so, nullptr);
      EXPECT_EQ(so->iType, STYPE_BITMAP);
      EXPECT_EQ(so->cjBits, ULONG(c.rowBytes * 4));
      auto* base = static_cast<BYTE*>(so->pvBits);
      EXPECT_EQ(so->lDelta, topDown ? c.rowBytes : -c.rowBytes);
      EXPECT_EQ(so->pvScan0, topDown ? base : base + 3 * c.rowBytes);
      // The last pixel of the top row: written through scan0, found where the order puts it.
      WritePixel(*so, c.width - 1, 0, 1);
      EXPECT_EQ(ReadPixel(*so, c.width - 1, 0), 1u);
      EXPECT_EQ(ReadPixel(*so, c.width - 2, 0), 0u);
      EXPECT_EQ(ReadPixel(*so, c.width - 1, 1), 0u);
      const BYTE* topRow = topDown ? base : base + 3 * c.rowBytes;
      EXPECT_NE(std::memcmp(topRow, std::vector<BYTE>(size_t(c.rowBytes)).data(), size_t(c.rowBytes)), 0);
      EngUnlockSurface(so);
      EXPECT_TRUE(EngDeleteSurface(reinterpret_cast<HSURF>(bm)));
    }
  }
}

TEST(EngineBitmapTest, PixelsPackMostSignificantFirstAndLittleEndian) {
  auto b1 = ScratchBitmap::Create(16, 1, BMF_1BPP);
  auto b4 = ScratchBitmap::Create(4, 1, BMF_4BPP);
  auto b16 = ScratchBitmap::Create(2, 1, BMF_16BPP);
  auto b24 = ScratchBitmap::Create(2, 1, BMF_24BPP);
  ASSERT_TRUE(b1 && b4 && b16 && b24);
  WritePixel(*b1->get(), 0, 0, 1);
  WritePixel(*b1->get(), 9, 0, 1);
  const auto* p1 = static_cast<const BYTE*>(b1->get()->pvScan0);
  EXPECT_EQ(p1[0], 0x80);
  EXPECT_EQ(p1[1], 0x40);
  WritePixel(*b4->get(), 1, 0, 0xA);
  WritePixel(*b4->get(), 2, 0, 0x5);
  const auto* p4 = static_cast<const BYTE*>(b4->get()->pvScan0);
  EXPECT_EQ(p4[0], 0x0A);
  EXPECT_EQ(p4[1], 0x50);
  WritePixel(*b16->get(), 1, 0, 0x7C1F);
  const auto* p16 = static_cast<const BYTE*>(b16->get()->pvScan0);
  EXPECT_EQ(p16[2], 0x1F);
  EXPECT_EQ(p16[3], 0x7C);
  WritePixel(*b24->get(), 1, 0, 0x112233);  // blue 0x33 first
  const auto* p24 = static_cast<const BYTE*>(b24->get()->pvScan0);
  EXPECT_EQ(p24[3], 0x33);
  EXPECT_EQ(p24[5], 0x11);
}

TEST(EngineBitmapTest, TranslationsGiveColourrefsForPalettesBgrAndMasks) {
  PixelLayout indexed;
  indexed.format = BMF_4BPP;
  indexed.palette = {0x000000, 0x0000FF, 0x00FF00};
  EngineXlate table = indexed.Xlate();
  EXPECT_EQ(table.get()->flXlate & XO_TABLE, XO_TABLE);
  ASSERT_EQ(table.get()->cEntries, 3u);
  EXPECT_EQ(table.get()->pulXlate[2], 0x00FF00u);
  EXPECT_EQ(XLATEOBJ_iXlate(table.get(), 1), 0x0000FFu);

  PixelLayout bgr;
  bgr.format = BMF_24BPP;
  EXPECT_EQ(XLATEOBJ_iXlate(bgr.Xlate().get(), 0x112233), 0x332211u);
  EXPECT_EQ(bgr.PixelOf(0x332211), 0x112233u);

  PixelLayout rgb555;
  rgb555.format = BMF_16BPP;  // default masks: 5-5-5
  EngineXlate x555 = rgb555.Xlate();
  EXPECT_EQ(x555.get()->iSrcType, PAL_BITFIELDS);
  EXPECT_EQ(XLATEOBJ_iXlate(x555.get(), 0x7C00), 0x0000FFu);  // full red
  EXPECT_EQ(XLATEOBJ_iXlate(x555.get(), 0x001F), 0xFF0000u);  // full blue
  EXPECT_EQ(XLATEOBJ_iXlate(x555.get(), 0x0200), 0x008400u);  // green 16 of 31 -> 132
  ULONG masks[3] = {};
  EXPECT_EQ(XLATEOBJ_cGetPalette(x555.get(), XO_SRCPALETTE, 3, masks), 3u);
  EXPECT_EQ(masks[1], 0x03E0u);

  PixelLayout rgb565;
  rgb565.format = BMF_16BPP;
  rgb565.redMask = 0xF800, rgb565.greenMask = 0x07E0, rgb565.blueMask = 0x001F;
  EngineXlate x565 = rgb565.Xlate();
  EXPECT_EQ(XLATEOBJ_iXlate(x565.get(), 0x07E0), 0x00FF00u);
  EXPECT_EQ(XLATEOBJ_iXlate(x565.get(), 0x0020), 0x000400u);  // green 1 of 63 -> 4
  EXPECT_EQ(rgb565.PixelOf(0x00FF00), 0x07E0u);
  // 5-6-5 and 5-5-5 read the same bits differently.
  EXPECT_NE(XLATEOBJ_iXlate(x565.get(), 0x7C00), XLATEOBJ_iXlate(x555.get(), 0x7C00));
}

TEST(EngineBitmapTest, EngBitBltWithAMaskKeepsTheDestinationWhereTheBackgroundIsANoOp) {
  auto dst = ScratchBitmap::Create(4, 1, BMF_24BPP);
  auto src = ScratchBitmap::Create(4, 1, BMF_24BPP);
  auto mask = ScratchBitmap::Create(4, 1, BMF_1BPP);
  ASSERT_TRUE(dst && src && mask);
  for (LONG x = 0; x < 4; ++x) {
    WritePixel(*dst->get(), x, 0, 0x0000FF);  // blue
    WritePixel(*src->get(), x, 0, 0xFF0000);  // red
  }
  WritePixel(*mask->get(), 1, 0, 1);
  WritePixel(*mask->get(), 3, 0, 1);
  RECTL r{0, 0, 4, 1};
  POINTL at{0, 0};
  EngineXlate xlate = EngineXlate::FromBgr();
  ASSERT_TRUE(EngBitBlt(dst->get(), src->get(), mask->get(), nullptr, xlate.get(), &r, &at, &at, nullptr, &at,
                        0xAACC));
  EXPECT_EQ(ReadPixel(*dst->get(), 0, 0), 0x0000FFu);
  EXPECT_EQ(ReadPixel(*dst->get(), 1, 0), 0xFF0000u);
  EXPECT_EQ(ReadPixel(*dst->get(), 2, 0), 0x0000FFu);
  EXPECT_EQ(ReadPixel(*dst->get(), 3, 0), 0xFF0000u);
  // SRCINVERT (0x66) xors the source into what is there: red ^ red is black, blue stays blue.
  ASSERT_TRUE(EngBitBlt(dst->get(), src->get(), nullptr, nullptr, xlate.get(), &r, &at, nullptr, nullptr, &at,
                        0x6666));
  EXPECT_EQ(ReadPixel(*dst->get(), 0, 0), 0xFF00FFu);
  EXPECT_EQ(ReadPixel(*dst->get(), 1, 0), 0x000000u);
}

TEST(EngineBitmapTest, EngTransparentBltLeavesTheKeyColourAndMirrorsASwappedDestination) {
  auto dst = ScratchBitmap::Create(3, 1, BMF_8BPP);
  auto src = ScratchBitmap::Create(3, 1, BMF_8BPP);
  ASSERT_TRUE(dst && src);
  for (LONG x = 0; x < 3; ++x) WritePixel(*src->get(), x, 0, ULONG(x + 10));
  WritePixel(*dst->get(), 2, 0, 0xFF);
  RECTL d{3, 0, 0, 1}, s{0, 0, 3, 1};  // mirrored across x
  EngineXlate grey = DefaultLayout(BMF_8BPP).Xlate();
  ASSERT_TRUE(EngTransparentBlt(dst->get(), src->get(), nullptr, grey.get(), &d, &s, 10, 0));
  // The default 8-bit layout is a grey ramp, so pixel values come back as themselves.
  EXPECT_EQ(ReadPixel(*dst->get(), 0, 0), 12u);
  EXPECT_EQ(ReadPixel(*dst->get(), 1, 0), 11u);
  EXPECT_EQ(ReadPixel(*dst->get(), 2, 0), 0xFFu);  // source pixel 10 is transparent
}

TEST(EngineBitmapTest, EngGradientFillInterpolatesAtPixelCentresAndRefusesBadIndices) {
  auto dst = ScratchBitmap::Create(4, 4, BMF_32BPP);
  ASSERT_TRUE(dst);
  TRIVERTEX v[2] = {{0, 0, 0, 0, 0, 0}, {4, 4, 0xFF00, 0, 0, 0}};
  GRADIENT_RECT rect{0, 1};
  ASSERT_TRUE(EngGradientFill(dst->get(), nullptr, nullptr, v, 2, &rect, 1, nullptr, nullptr, GRADIENT_FILL_RECT_H));
  // Red at x + 0.5 of 4: 0.125 and 0.875 of 0xFF00, then the high byte.
  EXPECT_EQ(ReadPixel(*dst->get(), 0, 2), 0x1F0000u);
  EXPECT_EQ(ReadPixel(*dst->get(), 3, 0), 0xDF0000u);
  GRADIENT_RECT bad{0, 2};
  EXPECT_FALSE(EngGradientFill(dst->get(), nullptr, nullptr, v, 2, &bad, 1, nullptr, nullptr, GRADIENT_FILL_RECT_H));

  auto tri = ScratchBitmap::Create(8, 8, BMF_32BPP);
  ASSERT_TRUE(tri);
  TRIVERTEX t[3] = {{0, 0, 0, 0xFF00, 0, 0}, {8, 0, 0, 0xFF00, 0, 0}, {0, 8, 0, 0xFF00, 0, 0}};
  GRADIENT_TRIANGLE mesh{0, 1, 2};
  ASSERT_TRUE(EngGradientFill(tri->get(), nullptr, nullptr, t, 3, &mesh, 1, nullptr, nullptr, GRADIENT_FILL_TRIANGLE));
  EXPECT_EQ(ReadPixel(*tri->get(), 1, 1), 0x00FF00u);
  EXPECT_EQ(ReadPixel(*tri->get(), 7, 7), 0u);  // beyond the hypotenuse
}

TEST(EngineBitmapTest, EngEraseSurfaceWritesThePixelValueInsideTheBitmapOnly) {
  auto dst = ScratchBitmap::Create(4, 2, BMF_16BPP);
  ASSERT_TRUE(dst);
  RECTL r{2, -5, 9, 1};
  ASSERT_TRUE(EngEraseSurface(dst->get(), &r, 0x1234));
  EXPECT_EQ(ReadPixel(*dst->get(), 1, 0), 0u);
  EXPECT_EQ(ReadPixel(*dst->get(), 2, 0), 0x1234u);
  EXPECT_EQ(ReadPixel(*dst->get(), 3, 0), 0x1234u);
  EXPECT_EQ(ReadPixel(*dst->get(), 3, 1), 0u);
}

}  // namespace
