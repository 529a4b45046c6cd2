// Bitmaps blitted onto a printer device context, checked in what the driver's image hooks
// receive: the source SURFOBJ and its translation, the rectangles, the ROP4, and the engine's own
// path (rendered, then DrvCopyBits) for what the driver did not hook.
#include <cstring>

#include "drawing_page.h"
#include "platform/engine_bitmaps.h"

namespace {

using drawing::Driver;
using drawing::Str;

class GdiBlitTest : public drawing::PageTest {
 protected:
  // A memory DC holding a 4×2 DIB section of `bits` bits per pixel, bottom-up; pixel (x, y) from
  // the top gets value `fill(x, y)`; indexed DIBs get `palette`.
  HDC MemoryDcWith(int bits, std::vector<RGBQUAD> palette, ULONG (*fill)(LONG, LONG), int height = 2) {
    std::vector<BYTE> info(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
    auto* bi = reinterpret_cast<BITMAPINFO*>(info.data());
    bi->bmiHeader = {sizeof(BITMAPINFOHEADER), 4, height, 1, static_cast<WORD>(bits), BI_RGB, 0, 0, 0,
                     static_cast<DWORD>(palette.size()), 0};
    if (!palette.empty()) std::memcpy(bi->bmiColors, palette.data(), palette.size() * sizeof(RGBQUAD));
    void* pixels = nullptr;
    bitmap = CreateDIBSection(nullptr, bi, DIB_RGB_COLORS, &pixels, nullptr, 0);
    EXPECT_NE(bitmap, nullptr);
    HDC mem = CreateCompatibleDC(hdc);
    EXPECT_NE(mem, nullptr);
    EXPECT_NE(SelectObject(mem, bitmap), nullptr);  // the stock one-pixel bitmap comes back
    LONG row = ((4 * bits + 31) / 32) * 4;
    SURFOBJ view{};
    view.iBitmapFormat = bits == 8 ? BMF_8BPP : BMF_24BPP;
    for (LONG y = 0; y < height; ++y) {
      view.pvScan0 = static_cast<BYTE*>(pixels) + (height - 1 - y) * row;  // bottom-up
      for (LONG x = 0; x < 4; ++x) platform::engine::WritePixel(view, x, 0, fill(x, y));
    }
    return mem;
  }

  // A new device whose surface hooks these.
  void Rehook(FLONG hooks) {
    EXPECT_EQ(EndPage(hdc), 1);
    EXPECT_EQ(EndDoc(hdc), 1);
    EXPECT_TRUE(DeleteDC(hdc));
    Driver().hooks = hooks;
    Open();
  }

  void TearDown() override {
    for (HDC m : memories) EXPECT_TRUE(DeleteDC(m));
    if (bitmap != nullptr) {
      EXPECT_TRUE(DeleteObject(bitmap));
    }
    drawing::PageTest::TearDown();
  }

  HBITMAP bitmap = nullptr;
  std::vector<HDC> memories;
};

// Pixel (x, y) of the 24-bit sources: blue = x, green = y, red 0x80, as B,G,R bytes.
ULONG Coloured(LONG x, LONG y) { return 0x800000u | (ULONG(y) << 8) | ULONG(x); }

TEST_F(GdiBlitTest, SourceCopiesGoToCopyBitsWhenHookedAndOtherOperationsToBitBlt) {
  HDC mem = MemoryDcWith(24, {}, Coloured);
  memories.push_back(mem);
  Rehook(fakes::kDrawingHooks | fakes::kImageHooks);
  ASSERT_TRUE(BitBlt(hdc, 100, 50, 3, 2, mem, 1, 0, SRCCOPY));
  ASSERT_TRUE(BitBlt(hdc, 100, 50, 3, 1, mem, 1, 1, SRCAND));
  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "CopyBits BitBlt");
  for (const auto& c : calls) {
    EXPECT_TRUE(c.hasSource);
    EXPECT_EQ(c.sourceFormat, BMF_24BPP);
    EXPECT_EQ(c.sourceSize.cx, 4);
    EXPECT_EQ(c.sourceSize.cy, 2);
  }
  EXPECT_TRUE(calls[0].target == (RECTL{100, 50, 103, 52})) << Str(calls[0].target);
  EXPECT_TRUE(calls[1].target == (RECTL{100, 50, 103, 51})) << Str(calls[1].target);
  // The translation makes COLORREFs: red in the low byte.
  EXPECT_EQ(calls[0].firstColour, RGB(0x80, 0, 1));
  EXPECT_EQ(calls[1].firstColour, RGB(0x80, 1, 1));
  EXPECT_EQ(calls[1].rop4, 0x8888u);
  EXPECT_EQ(calls[0].clipComplexity, DC_TRIVIAL);

  // Without DrvCopyBits the copy is a DrvBitBlt with SRCCOPY; a source rectangle past the bitmap is
  // cut, and the destination with it.
  Rehook(fakes::kDrawingHooks);
  ASSERT_TRUE(BitBlt(hdc, 10, 10, 8, 8, mem, 2, 0, SRCCOPY));
  calls = Take();
  ASSERT_EQ(Hooks(calls), "BitBlt");
  EXPECT_EQ(calls[0].rop4, 0xCCCCu);
  EXPECT_TRUE(calls[0].target == (RECTL{10, 10, 12, 12})) << Str(calls[0].target);
  EXPECT_EQ(calls[0].sourcePoint.x, 2);
}

TEST_F(GdiBlitTest, IndexedSourcesComeWithTheirPaletteAsATable) {
  HDC mem = MemoryDcWith(8, {{0, 0, 0, 0}, {0xFF, 0, 0, 0}, {0, 0, 0xFF, 0}},
                         [](LONG x, LONG) -> ULONG { return x == 0 ? 2 : 1; });
  memories.push_back(mem);
  Rehook(fakes::kDrawingHooks | fakes::kImageHooks);
  ASSERT_TRUE(BitBlt(hdc, 0, 0, 4, 2, mem, 0, 0, SRCCOPY));
  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "CopyBits");
  EXPECT_EQ(calls[0].sourceFormat, BMF_8BPP);
  EXPECT_EQ(calls[0].xlateFlags & XO_TABLE, XO_TABLE);
  EXPECT_EQ(calls[0].firstColour, RGB(0xFF, 0, 0));  // entry 2: red
}

TEST_F(GdiBlitTest, ChangesOfSizeGoToStretchBltWithTheModeAndTheMirroredRectangle) {
  HDC mem = MemoryDcWith(24, {}, Coloured);
  memories.push_back(mem);
  Rehook(fakes::kDrawingHooks | fakes::kImageHooks);
  EXPECT_EQ(SetStretchBltMode(hdc, HALFTONE), BLACKONWHITE);
  ASSERT_TRUE(StretchBlt(hdc, 200, 0, -8, 4, mem, 0, 0, 4, 2, SRCCOPY));
  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "StretchBlt");
  EXPECT_EQ(calls[0].mode, ULONG(HALFTONE));
  EXPECT_TRUE(calls[0].target == (RECTL{200, 0, 192, 4})) << Str(calls[0].target);
  EXPECT_TRUE(calls[0].sourceRect == (RECTL{0, 0, 4, 2})) << Str(calls[0].sourceRect);
  EXPECT_EQ(calls[0].clipBounds.left, 192);

  // Without the hook the engine stretches into a bitmap of the destination's size, mirrored.
  Rehook(fakes::kDrawingHooks | HOOK_COPYBITS);
  ASSERT_TRUE(StretchBlt(hdc, 200, 0, -8, 4, mem, 0, 0, 4, 2, SRCCOPY));
  calls = Take();
  ASSERT_EQ(Hooks(calls), "CopyBits");
  EXPECT_EQ(calls[0].sourceSize.cx, 8);
  EXPECT_EQ(calls[0].sourceSize.cy, 4);
  EXPECT_EQ(calls[0].firstColour, RGB(0x80, 0, 3));  // the leftmost pixel is the source's last
}

TEST_F(GdiBlitTest, DibsDrawnToTheDeviceCountTheirSourceFromTheBottomRow) {
  Rehook(fakes::kDrawingHooks | fakes::kImageHooks);
  // A 1×3 bottom-up DIB: rows in memory bottom first, blue 1, 2, 3.
  struct {
    BITMAPINFOHEADER h;
    BYTE bits[12];
  } dib{{sizeof(BITMAPINFOHEADER), 1, 3, 1, 24, BI_RGB, 0, 0, 0, 0, 0}, {1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0}};
  auto* info = reinterpret_cast<const BITMAPINFO*>(&dib.h);
  EXPECT_EQ(StretchDIBits(hdc, 5, 5, 1, 1, 0, 0, 1, 1, dib.bits, info, DIB_RGB_COLORS, SRCCOPY), 3);
  EXPECT_EQ(SetDIBitsToDevice(hdc, 5, 5, 1, 1, 0, 2, 0, 3, dib.bits, info, DIB_RGB_COLORS), 3);
  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "CopyBits CopyBits");
  EXPECT_EQ(calls[0].firstColour, RGB(0, 0, 1));  // source row 0 is the bottom one
  EXPECT_EQ(calls[1].firstColour, RGB(0, 0, 3));
  // A DIB whose bits cannot be what its header says is refused.
  dib.h.biBitCount = 7;
  EXPECT_EQ(StretchDIBits(hdc, 5, 5, 1, 1, 0, 0, 1, 1, dib.bits, info, DIB_RGB_COLORS, SRCCOPY), 0);
  EXPECT_TRUE(Take().empty());
}

TEST_F(GdiBlitTest, TransparentBltPassesTheKeyAsASourcePixelOrLeavesItOutOfTheEnginesCopy) {
  HDC mem = MemoryDcWith(24, {}, Coloured);
  memories.push_back(mem);
  Rehook(fakes::kDrawingHooks | fakes::kImageHooks);
  ASSERT_TRUE(TransparentBlt(hdc, 0, 0, 4, 2, mem, 0, 0, 4, 2, RGB(0x80, 0, 0)));
  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "TransparentBlt");
  EXPECT_EQ(calls[0].transparentKey, 0x800000u);  // B,G,R of red 0x80

  // Unhooked: the engine renders and copies only the pixels that are not the key (pixel (0, 0)).
  Rehook(fakes::kDrawingHooks | HOOK_COPYBITS);
  ASSERT_TRUE(TransparentBlt(hdc, 0, 0, 4, 2, mem, 0, 0, 4, 2, RGB(0x80, 0, 0)));
  calls = Take();
  ASSERT_EQ(Hooks(calls), "CopyBits");
  EXPECT_EQ(calls[0].clipComplexity, DC_COMPLEX);
  ASSERT_EQ(calls[0].clipRects.size(), 2u);
  EXPECT_TRUE(calls[0].clipRects[0] == (RECTL{1, 0, 4, 1})) << Str(calls[0].clipRects[0]);
  EXPECT_TRUE(calls[0].clipRects[1] == (RECTL{0, 1, 4, 2})) << Str(calls[0].clipRects[1]);
}

TEST_F(GdiBlitTest, MaskBltHandsTheMaskAndBothOperationsToBitBlt) {
  HDC mem = MemoryDcWith(24, {}, Coloured);
  memories.push_back(mem);
  BYTE maskBits[4] = {0xA0, 0, 0x50, 0};
  HBITMAP mask = CreateBitmap(4, 2, 1, 1, maskBits);
  ASSERT_NE(mask, nullptr);
  ASSERT_TRUE(MaskBlt(hdc, 0, 0, 4, 2, mem, 0, 0, mask, 0, 0, MAKEROP4(SRCCOPY, 0x00AA0029)));
  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "BitBlt");
  EXPECT_TRUE(calls[0].hasMask);
  EXPECT_EQ(calls[0].rop4, 0xAACCu);
  // A colour bitmap is no mask.
  HBITMAP colour = CreateBitmap(4, 2, 1, 24, nullptr);
  EXPECT_FALSE(MaskBlt(hdc, 0, 0, 4, 2, mem, 0, 0, colour, 0, 0, MAKEROP4(SRCCOPY, 0x00AA0029)));
  EXPECT_TRUE(DeleteObject(mask));
  EXPECT_TRUE(DeleteObject(colour));
}

TEST_F(GdiBlitTest, GradientsReachTheHookOnTheDeviceOrAreRenderedByTheEngine) {
  TRIVERTEX v[3] = {{10, 10, 0xFF00, 0, 0, 0}, {20, 30, 0, 0, 0xFF00, 0}, {10, 30, 0, 0xFF00, 0, 0}};
  GRADIENT_TRIANGLE tri{0, 1, 2};
  Rehook(fakes::kDrawingHooks | fakes::kImageHooks);
  ASSERT_TRUE(GradientFill(hdc, v, 3, &tri, 1, GRADIENT_FILL_TRIANGLE));
  auto calls = Take();
  ASSERT_EQ(Hooks(calls), "GradientFill");
  EXPECT_EQ(calls[0].vertices, 3u);
  EXPECT_EQ(calls[0].meshes, 1u);
  EXPECT_EQ(calls[0].mode, GRADIENT_FILL_TRIANGLE);
  EXPECT_TRUE(calls[0].target == (RECTL{10, 10, 20, 30})) << Str(calls[0].target);
  GRADIENT_TRIANGLE bad{0, 1, 3};
  EXPECT_FALSE(GradientFill(hdc, v, 3, &bad, 1, GRADIENT_FILL_TRIANGLE));

  Rehook(fakes::kDrawingHooks | HOOK_COPYBITS);
  GRADIENT_RECT rect{0, 1};
  ASSERT_TRUE(GradientFill(hdc, v, 3, &rect, 1, GRADIENT_FILL_RECT_V));
  calls = Take();
  ASSERT_EQ(Hooks(calls), "CopyBits");
  EXPECT_TRUE(calls[0].target == (RECTL{10, 10, 20, 30})) << Str(calls[0].target);
  // The top row's centre is 0.5 of 20 rows down: 0.975 of the first vertex's red.
  EXPECT_EQ(calls[0].firstColour & 0xFF, 0xF8u);
}

TEST_F(GdiBlitTest, DibSectionsRoundTripThroughSetAndGetDIBits) {
  HBITMAP b = CreateCompatibleBitmap(hdc, 2, 2);
  ASSERT_NE(b, nullptr);
  struct {
    BITMAPINFOHEADER h;
    BYTE bits[16];
  } in{{sizeof(BITMAPINFOHEADER), 2, -2, 1, 32, BI_RGB, 0, 0, 0, 0, 0},
       {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0, 10, 11, 12, 0}}, out{};
  EXPECT_EQ(SetDIBits(hdc, b, 0, 2, in.bits, reinterpret_cast<BITMAPINFO*>(&in.h), DIB_RGB_COLORS), 2);
  out.h = {sizeof(BITMAPINFOHEADER), 2, 2, 1, 32, BI_RGB, 0, 0, 0, 0, 0};  // bottom-up this time
  EXPECT_EQ(GetDIBits(hdc, b, 0, 2, out.bits, reinterpret_cast<BITMAPINFO*>(&out.h), DIB_RGB_COLORS), 2);
  const BYTE expected[16] = {7, 8, 9, 0, 10, 11, 12, 0, 1, 2, 3, 0, 4, 5, 6, 0};
  EXPECT_EQ(std::memcmp(out.bits, expected, 16), 0);
  BITMAP bm{};
  ASSERT_EQ(GetObjectW(b, sizeof bm, &bm), int(sizeof bm));
  EXPECT_EQ(bm.bmBitsPixel, 24);
  EXPECT_TRUE(DeleteObject(b));
}

}  // namespace
