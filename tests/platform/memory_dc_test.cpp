// Drawing into memory device contexts: GDI's pixels where its rules are exact (rectangles, cosmetic
// lines, pattern blits, clips, bitwise raster operations), stated tolerances where curves are
// antialiased.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "platform/memory_dc.h"
#include "win/error.h"
#include "win/wingdi.h"

namespace {

constexpr ULONG kWhite = 0xFFFFFF, kBlack = 0x000000, kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF;

// A memory DC holding a white top-down 32-bit DIB section; pixels read as 0x00RRGGBB.
struct Canvas {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ previous = nullptr;
  uint32_t* bits = nullptr;
  int width, height;

  Canvas(int w, int h, int bitCount = 32) : width(w), height(h) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = static_cast<WORD>(bitCount);
    bi.bmiHeader.biCompression = BI_RGB;
    void* p = nullptr;
    bitmap = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &p, nullptr, 0);
    bits = static_cast<uint32_t*>(p);
    dc = CreateCompatibleDC(nullptr);
    previous = SelectObject(dc, bitmap);
    EXPECT_TRUE(PatBlt(dc, 0, 0, w, h, WHITENESS));
  }
  ~Canvas() {
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
  ULONG At(int x, int y) const { return bits[size_t(y) * width + x] & 0xFFFFFF; }
  std::vector<ULONG> Snapshot() const {
    std::vector<ULONG> v;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) v.push_back(At(x, y));
    return v;
  }
  // The pixels of colour `c` as a picture: '#' for c, '.' otherwise, one row a line.
  std::string Map(ULONG c, int w = -1, int h = -1) const {
    std::string s;
    for (int y = 0; y < (h < 0 ? height : h); ++y) {
      for (int x = 0; x < (w < 0 ? width : w); ++x) s += At(x, y) == c ? '#' : '.';
      s += '\n';
    }
    return s;
  }
  int Count(ULONG c) const {
    int n = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) n += At(x, y) == c;
    return n;
  }
};

COLORREF Ref(ULONG rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

struct Selected {
  HDC dc;
  HGDIOBJ object, previous;
  Selected(HDC d, HGDIOBJ o) : dc(d), object(o), previous(SelectObject(d, o)) {}
  ~Selected() {
    SelectObject(dc, previous);
    DeleteObject(object);
  }
};

TEST(MemoryDcDrawing, RectanglesTakeGdiPixelsExactly) {
  Canvas c(8, 7);
  {
    Selected brush(c.dc, CreateSolidBrush(Ref(kRed)));
    // The black pen's border on the outer pixels, the brush inside, right and bottom excluded.
    ASSERT_TRUE(Rectangle(c.dc, 1, 1, 7, 6));
  }
  EXPECT_EQ(c.Map(kBlack),
            "........\n"
            ".######.\n"
            ".#....#.\n"
            ".#....#.\n"
            ".#....#.\n"
            ".######.\n"
            "........\n");
  EXPECT_EQ(c.Count(kRed), 12);
  EXPECT_EQ(c.At(2, 2), kRed);

  // Without a pen the fill alone is one pixel smaller each way.
  Canvas d(6, 6);
  Selected pen(d.dc, GetStockObject(NULL_PEN));
  Selected brush(d.dc, CreateSolidBrush(Ref(kBlue)));
  ASSERT_TRUE(Rectangle(d.dc, 1, 1, 5, 5));
  EXPECT_EQ(d.Map(kBlue),
            "......\n"
            ".###..\n"
            ".###..\n"
            ".###..\n"
            "......\n"
            "......\n");
}

TEST(MemoryDcDrawing, CosmeticLinesLeaveTheirLastPixelOut) {
  Canvas c(7, 4);
  ASSERT_TRUE(MoveToEx(c.dc, 0, 0, nullptr));
  ASSERT_TRUE(LineTo(c.dc, 5, 2));
  // Minor steps rounded half away from zero: 0, 0.4, 0.8, 1.2, 1.6.
  EXPECT_EQ(c.Map(kBlack),
            "##.....\n"
            "..##...\n"
            "....#..\n"
            ".......\n");
  POINT at{};
  ASSERT_TRUE(GetCurrentPositionEx(c.dc, &at));
  EXPECT_EQ(at.x, 5);
  EXPECT_EQ(at.y, 2);

  // A closed polyline draws each corner once, so an XOR pen leaves no corner undone.
  Canvas x(6, 6);
  SetROP2(x.dc, R2_XORPEN);
  Selected pen(x.dc, CreatePen(PS_SOLID, 0, Ref(kWhite)));
  POINT square[] = {{1, 1}, {4, 1}, {4, 4}, {1, 4}, {1, 1}};
  ASSERT_TRUE(Polyline(x.dc, square, 5));
  EXPECT_EQ(x.Map(kBlack),
            "......\n"
            ".####.\n"
            ".#..#.\n"
            ".#..#.\n"
            ".####.\n"
            "......\n");
}

TEST(MemoryDcDrawing, StyledCosmeticPensCountPixels) {
  Canvas c(12, 1);
  LOGBRUSH black{BS_SOLID, 0, 0};
  DWORD dashes[] = {3, 2};
  Selected pen(c.dc, ExtCreatePen(PS_COSMETIC | PS_USERSTYLE, 1, &black, 2, dashes));
  ASSERT_TRUE(MoveToEx(c.dc, 0, 0, nullptr));
  ASSERT_TRUE(LineTo(c.dc, 12, 0));
  EXPECT_EQ(c.Map(kBlack), "###..###..##\n");
}

TEST(MemoryDcDrawing, XorTwiceGivesThePageBack) {
  Canvas c(40, 30);
  {
    Selected brush(c.dc, CreateSolidBrush(Ref(kGreen)));
    ASSERT_TRUE(Ellipse(c.dc, 3, 3, 25, 20));
  }
  std::vector<ULONG> before = c.Snapshot();
  SetROP2(c.dc, R2_XORPEN);
  Selected brush(c.dc, CreateSolidBrush(Ref(0x3050F0)));
  Selected pen(c.dc, CreatePen(PS_SOLID, 3, Ref(kRed)));
  for (int pass = 0; pass < 2; ++pass) {
    ASSERT_TRUE(Ellipse(c.dc, 10, 5, 37, 28));
    ASSERT_TRUE(RoundRect(c.dc, 2, 12, 30, 27, 8, 8));
    ASSERT_TRUE(MoveToEx(c.dc, 0, 29, nullptr));
    ASSERT_TRUE(LineTo(c.dc, 39, 1));
    if (pass == 0) {
      EXPECT_NE(c.Snapshot(), before);
    }
  }
  EXPECT_EQ(c.Snapshot(), before);
}

TEST(MemoryDcDrawing, BinaryRasterOperationsCombinePixelBits) {
  struct Case {
    int rop2;
    ULONG expected;  // red pen over a green page
  } cases[] = {{R2_MERGEPEN, 0xFFFF00}, {R2_MASKPEN, 0x000000}, {R2_XORPEN, 0xFFFF00}, {R2_NOT, 0xFF00FF},
               {R2_NOTCOPYPEN, 0x00FFFF}, {R2_MERGEPENNOT, 0xFF00FF}, {R2_NOP, 0x00FF00}, {R2_WHITE, 0xFFFFFF},
               {R2_COPYPEN, 0xFF0000}, {R2_NOTMERGEPEN, 0x0000FF}};
  for (const Case& k : cases) {
    Canvas c(6, 6);
    {
      Selected green(c.dc, CreateSolidBrush(Ref(kGreen)));
      ASSERT_TRUE(PatBlt(c.dc, 0, 0, 6, 6, PATCOPY));
    }
    SetROP2(c.dc, k.rop2);
    Selected pen(c.dc, GetStockObject(NULL_PEN));
    Selected red(c.dc, CreateSolidBrush(Ref(kRed)));
    ASSERT_TRUE(Rectangle(c.dc, 1, 1, 5, 5));
    EXPECT_EQ(c.At(2, 2), k.expected) << "ROP2 " << k.rop2;
    EXPECT_EQ(c.At(0, 0), kGreen) << "ROP2 " << k.rop2;
    EXPECT_EQ(c.At(4, 4), kGreen) << "ROP2 " << k.rop2;
  }
}

TEST(MemoryDcDrawing, FillModesDecideTheStarsCentre) {
  for (int mode : {ALTERNATE, WINDING}) {
    Canvas c(50, 50);
    SetPolyFillMode(c.dc, mode);
    Selected pen(c.dc, GetStockObject(NULL_PEN));
    Selected brush(c.dc, GetStockObject(BLACK_BRUSH));
    POINT star[] = {{25, 2}, {39, 46}, {2, 18}, {48, 18}, {11, 46}};
    ASSERT_TRUE(Polygon(c.dc, star, 5));
    EXPECT_EQ(c.At(25, 28), mode == WINDING ? kBlack : kWhite) << mode;
    EXPECT_EQ(c.At(25, 8), kBlack) << mode;  // a point of the star
    EXPECT_EQ(c.At(2, 45), kWhite) << mode;
  }
}

TEST(MemoryDcDrawing, ClipRegionsCutEveryCall) {
  Canvas c(10, 6);
  ASSERT_NE(IntersectClipRect(c.dc, 2, 1, 8, 5), ERROR);
  ASSERT_NE(ExcludeClipRect(c.dc, 4, 2, 6, 4), ERROR);
  Selected brush(c.dc, CreateSolidBrush(Ref(kBlue)));
  ASSERT_TRUE(PatBlt(c.dc, 0, 0, 10, 6, PATCOPY));
  ASSERT_TRUE(MoveToEx(c.dc, 0, 3, nullptr));
  SetROP2(c.dc, R2_NOT);
  ASSERT_TRUE(LineTo(c.dc, 10, 3));
  EXPECT_EQ(c.Map(kBlue),
            "..........\n"
            "..######..\n"
            "..##..##..\n"
            "..........\n"
            "..######..\n"
            "..........\n");
  EXPECT_EQ(c.Map(0xFFFF00),  // blue inverted where the line crosses the clip
            "..........\n"
            "..........\n"
            "..........\n"
            "..##..##..\n"
            "..........\n"
            "..........\n");

  // A filled shape under a region selected into the DC.
  Canvas e(20, 20);
  HRGN region = CreateRectRgn(0, 0, 10, 20);
  ASSERT_NE(SelectClipRgn(e.dc, region), ERROR);
  Selected pen(e.dc, GetStockObject(NULL_PEN));
  Selected black(e.dc, GetStockObject(BLACK_BRUSH));
  ASSERT_TRUE(Ellipse(e.dc, 0, 0, 20, 20));
  for (int y = 0; y < 20; ++y)
    for (int x = 10; x < 20; ++x) ASSERT_EQ(e.At(x, y), kWhite) << x << "," << y;
  EXPECT_EQ(e.At(5, 10), kBlack);
  DeleteObject(region);
}

TEST(MemoryDcDrawing, PatternBlitsFollowTheBrushOrigin) {
  Canvas c(8, 16);
  Selected hatch(c.dc, CreateHatchBrush(HS_HORIZONTAL, Ref(kRed)));
  ASSERT_TRUE(PatBlt(c.dc, 0, 0, 8, 16, PATCOPY));
  for (int y = 0; y < 16; ++y) EXPECT_EQ(c.At(3, y), y % 8 == 4 ? kRed : kWhite) << y;
  SetBrushOrgEx(c.dc, 0, 2, nullptr);
  ASSERT_TRUE(PatBlt(c.dc, 0, 0, 8, 16, PATCOPY));
  for (int y = 0; y < 16; ++y) EXPECT_EQ(c.At(3, y), y % 8 == 6 ? kRed : kWhite) << y;
  ASSERT_TRUE(PatBlt(c.dc, 2, 5, 3, 3, DSTINVERT));
  EXPECT_EQ(c.At(3, 6), 0x00FFFF);
  EXPECT_EQ(c.At(3, 5), kBlack);
  EXPECT_EQ(c.At(5, 6), kRed);
  EXPECT_EQ(c.At(1, 5), kWhite);
  ASSERT_TRUE(PatBlt(c.dc, 0, 0, 8, 16, BLACKNESS));
  EXPECT_EQ(c.Count(kBlack), 8 * 16);
  // A source operation has no source here.
  SetLastError(0xDEAD);
  EXPECT_FALSE(PatBlt(c.dc, 0, 0, 8, 16, SRCCOPY));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(MemoryDcDrawing, WidePensAndCurvesWithinTolerance) {
  Canvas c(60, 40);
  LOGBRUSH red{BS_SOLID, Ref(kRed), 0};
  {
    Selected pen(c.dc, ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_FLAT, 4, &red, 0, nullptr));
    ASSERT_TRUE(MoveToEx(c.dc, 10, 20, nullptr));
    ASSERT_TRUE(LineTo(c.dc, 40, 20));
  }
  // Straight edges: exact, the width centred on the line.
  EXPECT_EQ(c.Count(kRed), 30 * 4);
  EXPECT_EQ(c.At(10, 18), kRed);
  EXPECT_EQ(c.At(39, 21), kRed);
  EXPECT_EQ(c.At(9, 20), kWhite);
  EXPECT_EQ(c.At(40, 20), kWhite);
  EXPECT_EQ(c.At(20, 17), kWhite);
  EXPECT_EQ(c.At(20, 22), kWhite);

  // An antialiased disc: its coverage sums to its area within 2 %, the inside solid, the
  // corners untouched.
  Canvas d(64, 64);
  Selected pen(d.dc, GetStockObject(NULL_PEN));
  Selected brush(d.dc, GetStockObject(BLACK_BRUSH));
  ASSERT_TRUE(Ellipse(d.dc, 2, 2, 62, 62));
  double ink = 0;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) ink += (255 - (d.At(x, y) & 0xFF)) / 255.0;
  // GM_COMPATIBLE pulls the box in a pixel: a 59-pixel ellipse.
  double area = M_PI * 29.5 * 29.5;
  EXPECT_NEAR(ink, area, area * 0.02);
  EXPECT_EQ(d.At(32, 32), kBlack);
  EXPECT_EQ(d.At(6, 6), kWhite);
  EXPECT_EQ(d.At(57, 57), kWhite);
}

TEST(MemoryDcDrawing, OtherDepthsAndBottomUpBitmaps) {
  // A 16-bit 5-5-5 bottom-up DIB: the top row sits last in memory.
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = 4;
  bi.bmiHeader.biHeight = 3;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 16;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(bitmap, nullptr);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  {
    Selected red(dc, CreateSolidBrush(RGB(255, 0, 0)));
    ASSERT_TRUE(PatBlt(dc, 0, 0, 2, 1, PATCOPY));
  }
  const auto* px = static_cast<const uint16_t*>(bits);
  EXPECT_EQ(px[2 * 4 + 0], 0x7C00);  // row 0 from the top is the third in memory
  EXPECT_EQ(px[2 * 4 + 1], 0x7C00);
  EXPECT_EQ(px[2 * 4 + 2], 0);
  EXPECT_EQ(px[0], 0);
  SelectObject(dc, old);

  // A monochrome bitmap: black and white through the palette, R2_NOT flips index bits.
  HBITMAP mono = CreateBitmap(8, 2, 1, 1, nullptr);
  SelectObject(dc, mono);
  ASSERT_TRUE(PatBlt(dc, 0, 0, 8, 2, WHITENESS));
  SetROP2(dc, R2_NOT);
  ASSERT_TRUE(MoveToEx(dc, 0, 1, nullptr));
  ASSERT_TRUE(LineTo(dc, 4, 1));
  BYTE out[2 * 4] = {};
  // A 1-bpp answer carries its two-entry colour table: room for it after the header.
  struct {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[2];
  } query{};
  query.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  query.bmiHeader.biWidth = 8;
  query.bmiHeader.biHeight = -2;
  query.bmiHeader.biPlanes = 1;
  query.bmiHeader.biBitCount = 1;
  SelectObject(dc, old);
  ASSERT_EQ(GetDIBits(dc, mono, 0, 2, out, reinterpret_cast<BITMAPINFO*>(&query), DIB_RGB_COLORS), 2);
  EXPECT_EQ(out[0], 0xFF);
  EXPECT_EQ(out[4], 0x0F);
  DeleteDC(dc);
  DeleteObject(bitmap);
  DeleteObject(mono);
}

TEST(MemoryDcDrawing, DeviceCapsFollowTheDeviceDescription) {
  Canvas c(200, 100);
  EXPECT_EQ(GetDeviceCaps(c.dc, LOGPIXELSX), 96);
  EXPECT_EQ(GetDeviceCaps(c.dc, HORZRES), 200);
  EXPECT_EQ(GetDeviceCaps(c.dc, PHYSICALWIDTH), 200);
  EXPECT_EQ(GetDeviceCaps(c.dc, BITSPIXEL), 32);
  platform::gdi::MemoryDcDevice device;
  device.dpiX = device.dpiY = 100;
  device.physicalWidth = 827;
  device.physicalHeight = 1169;
  device.offsetX = 20;
  device.offsetY = 10;
  ASSERT_TRUE(platform::gdi::SetMemoryDcDevice(c.dc, device));
  EXPECT_EQ(GetDeviceCaps(c.dc, LOGPIXELSY), 100);
  EXPECT_EQ(GetDeviceCaps(c.dc, PHYSICALHEIGHT), 1169);
  EXPECT_EQ(GetDeviceCaps(c.dc, PHYSICALOFFSETX), 20);
  // Mapping modes scale by the device's resolution: a tenth of an inch is ten pixels.
  ASSERT_NE(SetMapMode(c.dc, MM_LOENGLISH), 0);
  POINT p{10, -10};
  ASSERT_TRUE(LPtoDP(c.dc, &p, 1));
  EXPECT_EQ(p.x, 10);
  EXPECT_EQ(p.y, 10);

  SetLastError(0);
  device.dpiX = 0;
  EXPECT_FALSE(platform::gdi::SetMemoryDcDevice(c.dc, device));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  SetLastError(0);
  EXPECT_FALSE(platform::gdi::SetMemoryDcDevice(reinterpret_cast<HDC>(0x1234), device));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(MemoryDcDrawing, PathsFillStrokeAndClip) {
  Canvas c(12, 12);
  ASSERT_TRUE(BeginPath(c.dc));
  ASSERT_TRUE(Rectangle(c.dc, 0, 0, 6, 12));
  ASSERT_TRUE(EndPath(c.dc));
  ASSERT_TRUE(SelectClipPath(c.dc, RGN_COPY));
  Selected black(c.dc, GetStockObject(BLACK_BRUSH));
  ASSERT_TRUE(BeginPath(c.dc));
  POINT tri[] = {{0, 0}, {12, 0}, {12, 12}, {0, 12}};
  ASSERT_TRUE(Polygon(c.dc, tri, 4));
  ASSERT_TRUE(EndPath(c.dc));
  ASSERT_TRUE(FillPath(c.dc));
  // The clip path is the compatible rectangle: five columns.
  EXPECT_EQ(c.Count(kBlack), 5 * 11);
  EXPECT_EQ(c.At(4, 10), kBlack);
  EXPECT_EQ(c.At(5, 0), kWhite);
}

}  // namespace
