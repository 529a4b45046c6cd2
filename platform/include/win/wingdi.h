// GDI for applications: printer device contexts, document and page control, escapes and device
// capabilities, with the published names and values.
#pragma once

#include "win/base.h"
#include "win/devmode.h"
#include "win/modules.h"
#include "win/winddi.h"  // the hatch styles (HS_*) are the DDI's

struct DOCINFOW {
  int cbSize;
  LPCWSTR lpszDocName;
  LPCWSTR lpszOutput;
  LPCWSTR lpszDatatype;
  DWORD fwType;
};

// Results of StartDocW, StartPage, EndPage, EndDoc and AbortDoc on failure.
constexpr int SP_ERROR = -1;
constexpr int SP_APPABORT = -2;
constexpr int SP_USERABORT = -3;
constexpr int SP_OUTOFDISK = -4;
constexpr int SP_OUTOFMEMORY = -5;

// GetDeviceCaps indices.
constexpr int DRIVERVERSION = 0;
constexpr int TECHNOLOGY = 2;
constexpr int HORZSIZE = 4;
constexpr int VERTSIZE = 6;
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;
constexpr int NUMCOLORS = 24;
constexpr int TEXTCAPS = 34;
constexpr int RASTERCAPS = 38;
constexpr int ASPECTX = 40;
constexpr int ASPECTY = 42;
constexpr int ASPECTXY = 44;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;
constexpr int SIZEPALETTE = 104;
constexpr int PHYSICALWIDTH = 110;
constexpr int PHYSICALHEIGHT = 111;
constexpr int PHYSICALOFFSETX = 112;
constexpr int PHYSICALOFFSETY = 113;
constexpr int SHADEBLENDCAPS = 120;

// Document events the GDI layer sends to the printer's interface library (DrvDocumentEvent).
constexpr int DOCUMENTEVENT_CREATEDCPRE = 1;
constexpr int DOCUMENTEVENT_CREATEDCPOST = 2;
constexpr int DOCUMENTEVENT_RESETDCPRE = 3;
constexpr int DOCUMENTEVENT_RESETDCPOST = 4;
constexpr int DOCUMENTEVENT_STARTDOC = 5;
constexpr int DOCUMENTEVENT_STARTPAGE = 6;
constexpr int DOCUMENTEVENT_ENDPAGE = 7;
constexpr int DOCUMENTEVENT_ENDDOC = 8;
constexpr int DOCUMENTEVENT_ABORTDOC = 9;
constexpr int DOCUMENTEVENT_DELETEDC = 10;
constexpr int DOCUMENTEVENT_ESCAPE = 11;
constexpr int DOCUMENTEVENT_ENDDOCPOST = 12;
constexpr int DOCUMENTEVENT_STARTDOCPOST = 13;

constexpr int DOCUMENTEVENT_FAILURE = -1;
constexpr int DOCUMENTEVENT_UNSUPPORTED = 0;
constexpr int DOCUMENTEVENT_SUCCESS = 1;

// The interface library's export, as GDI calls it.
using PFN_DrvDocumentEvent = int (*)(HANDLE hPrinter, HDC hdc, int iEsc, ULONG cbIn, PVOID pvIn, ULONG cbOut,
                                     PVOID pvOut);

extern "C" {
// A device context for the printer named `device` (`driver` may be null or "WINSPOOL"; `port` is
// ignored). The devmode is the caller's, else the printer's default. Null on failure.
PLATFORM_API HDC WINAPI CreateDCW(LPCWSTR driver, LPCWSTR device, LPCWSTR port, const DEVMODEW* devmode);
// Starts a job; returns its id (above 0) or SP_ERROR.
PLATFORM_API int WINAPI StartDocW(HDC hdc, const DOCINFOW* docInfo);
PLATFORM_API int WINAPI StartPage(HDC hdc);
PLATFORM_API int WINAPI EndPage(HDC hdc);
PLATFORM_API int WINAPI EndDoc(HDC hdc);
PLATFORM_API int WINAPI AbortDoc(HDC hdc);
// Between pages only: the device takes the new devmode and keeps the document. Returns hdc or null.
PLATFORM_API HDC WINAPI ResetDCW(HDC hdc, const DEVMODEW* devmode);
// The driver's result: above 0 success, 0 not supported; below 0 when the call is refused.
PLATFORM_API int WINAPI ExtEscape(HDC hdc, int escape, int cjInput, LPCSTR inData, int cjOutput, LPSTR outData);
PLATFORM_API int WINAPI GetDeviceCaps(HDC hdc, int index);
PLATFORM_API BOOL WINAPI DeleteDC(HDC hdc);
}

// ---- Drawing on a device context: objects, state, paths, regions and transforms ----

using HGDIOBJ = void*;
using HPEN = struct HPEN__*;
using HBRUSH = struct HBRUSH__*;
using HRGN = struct HRGN__*;

struct SIZE {
  LONG cx;
  LONG cy;
};

struct XFORM {
  FLOAT eM11;
  FLOAT eM12;
  FLOAT eM21;
  FLOAT eM22;
  FLOAT eDx;
  FLOAT eDy;
};
static_assert(sizeof(XFORM) == 24);

struct LOGBRUSH {
  UINT lbStyle;
  COLORREF lbColor;
  ULONG_PTR lbHatch;
};
static_assert(sizeof(LOGBRUSH) == 16);

struct LOGPEN {
  UINT lopnStyle;
  POINT lopnWidth;
  COLORREF lopnColor;
};
static_assert(sizeof(LOGPEN) == 16);

struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
};

struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
  return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16);
}

// Pen styles (CreatePen, ExtCreatePen).
constexpr UINT PS_SOLID = 0;
constexpr UINT PS_DASH = 1;
constexpr UINT PS_DOT = 2;
constexpr UINT PS_DASHDOT = 3;
constexpr UINT PS_DASHDOTDOT = 4;
constexpr UINT PS_NULL = 5;
constexpr UINT PS_INSIDEFRAME = 6;
constexpr UINT PS_USERSTYLE = 7;
constexpr UINT PS_ALTERNATE = 8;
constexpr UINT PS_STYLE_MASK = 0x0000000F;
constexpr UINT PS_ENDCAP_ROUND = 0x00000000;
constexpr UINT PS_ENDCAP_SQUARE = 0x00000100;
constexpr UINT PS_ENDCAP_FLAT = 0x00000200;
constexpr UINT PS_ENDCAP_MASK = 0x00000F00;
constexpr UINT PS_JOIN_ROUND = 0x00000000;
constexpr UINT PS_JOIN_BEVEL = 0x00001000;
constexpr UINT PS_JOIN_MITER = 0x00002000;
constexpr UINT PS_JOIN_MASK = 0x0000F000;
constexpr UINT PS_COSMETIC = 0x00000000;
constexpr UINT PS_GEOMETRIC = 0x00010000;
constexpr UINT PS_TYPE_MASK = 0x000F0000;

// Brush styles and hatches.
constexpr UINT BS_SOLID = 0;
constexpr UINT BS_NULL = 1;
constexpr UINT BS_HOLLOW = BS_NULL;
constexpr UINT BS_HATCHED = 2;
constexpr UINT BS_PATTERN = 3;
constexpr UINT BS_DIBPATTERNPT = 6;
constexpr UINT DIB_RGB_COLORS = 0;
constexpr UINT DIB_PAL_COLORS = 1;
constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_RLE8 = 1;
constexpr DWORD BI_RLE4 = 2;
constexpr DWORD BI_BITFIELDS = 3;
constexpr DWORD MAKEROP4(DWORD fore, DWORD back) { return ((back << 8) & 0xFF000000) | fore; }

// Stretching modes (SetStretchBltMode).
constexpr int BLACKONWHITE = 1;
constexpr int WHITEONBLACK = 2;
constexpr int COLORONCOLOR = 3;
constexpr int HALFTONE = 4;

// LoadImageW.
constexpr UINT IMAGE_BITMAP = 0;
constexpr UINT LR_DEFAULTCOLOR = 0x00000000;
constexpr UINT LR_CREATEDIBSECTION = 0x00002000;
constexpr UINT LR_LOADFROMFILE = 0x00000010;

struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  LPVOID bmBits;
};
static_assert(sizeof(BITMAP) == 32);

// Stock objects.
constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int GRAY_BRUSH = 2;
constexpr int DKGRAY_BRUSH = 3;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int HOLLOW_BRUSH = NULL_BRUSH;
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
constexpr int NULL_PEN = 8;
constexpr int DC_BRUSH = 18;
constexpr int DC_PEN = 19;

// GetObjectType results.
constexpr DWORD OBJ_PEN = 1;
constexpr DWORD OBJ_BRUSH = 2;
constexpr DWORD OBJ_DC = 3;
constexpr DWORD OBJ_BITMAP = 7;
constexpr DWORD OBJ_REGION = 8;
constexpr DWORD OBJ_MEMDC = 10;
constexpr DWORD OBJ_EXTPEN = 11;

// Binary raster operations (SetROP2).
constexpr int R2_BLACK = 1;
constexpr int R2_NOTMERGEPEN = 2;
constexpr int R2_MASKNOTPEN = 3;
constexpr int R2_NOTCOPYPEN = 4;
constexpr int R2_MASKPENNOT = 5;
constexpr int R2_NOT = 6;
constexpr int R2_XORPEN = 7;
constexpr int R2_NOTMASKPEN = 8;
constexpr int R2_MASKPEN = 9;
constexpr int R2_NOTXORPEN = 10;
constexpr int R2_NOP = 11;
constexpr int R2_MERGENOTPEN = 12;
constexpr int R2_COPYPEN = 13;
constexpr int R2_MERGEPENNOT = 14;
constexpr int R2_MERGEPEN = 15;
constexpr int R2_WHITE = 16;

// Ternary raster operations (PatBlt, BitBlt and the other blits); MaskBlt takes MAKEROP4.
constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr DWORD SRCPAINT = 0x00EE0086;
constexpr DWORD SRCAND = 0x008800C6;
constexpr DWORD SRCINVERT = 0x00660046;
constexpr DWORD SRCERASE = 0x00440328;
constexpr DWORD NOTSRCCOPY = 0x00330008;
constexpr DWORD NOTSRCERASE = 0x001100A6;
constexpr DWORD MERGECOPY = 0x00C000CA;
constexpr DWORD MERGEPAINT = 0x00BB0226;
constexpr DWORD PATPAINT = 0x00FB0A09;
constexpr DWORD PATCOPY = 0x00F00021;
constexpr DWORD PATINVERT = 0x005A0049;
constexpr DWORD DSTINVERT = 0x00550009;
constexpr DWORD BLACKNESS = 0x00000042;
constexpr DWORD WHITENESS = 0x00FF0062;

// Polygon fill modes, arc directions, graphics modes.
constexpr int ALTERNATE = 1;
constexpr int WINDING = 2;
constexpr int AD_COUNTERCLOCKWISE = 1;
constexpr int AD_CLOCKWISE = 2;
constexpr int GM_COMPATIBLE = 1;
constexpr int GM_ADVANCED = 2;

// Mapping modes.
constexpr int MM_TEXT = 1;
constexpr int MM_LOMETRIC = 2;
constexpr int MM_HIMETRIC = 3;
constexpr int MM_LOENGLISH = 4;
constexpr int MM_HIENGLISH = 5;
constexpr int MM_TWIPS = 6;
constexpr int MM_ISOTROPIC = 7;
constexpr int MM_ANISOTROPIC = 8;

// ModifyWorldTransform.
constexpr DWORD MWT_IDENTITY = 1;
constexpr DWORD MWT_LEFTMULTIPLY = 2;
constexpr DWORD MWT_RIGHTMULTIPLY = 3;

// Region combination and complexity.
constexpr int RGN_AND = 1;
constexpr int RGN_OR = 2;
constexpr int RGN_XOR = 3;
constexpr int RGN_DIFF = 4;
constexpr int RGN_COPY = 5;
constexpr int ERROR = 0;
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;
constexpr int COMPLEXREGION = 3;
constexpr int RGN_ERROR = ERROR;

// Point types of GetPath.
constexpr BYTE PT_CLOSEFIGURE = 0x01;
constexpr BYTE PT_LINETO = 0x02;
constexpr BYTE PT_BEZIERTO = 0x04;
constexpr BYTE PT_MOVETO = 0x06;

constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;
inline const HGDIOBJ HGDI_ERROR = reinterpret_cast<HGDIOBJ>(static_cast<intptr_t>(-1));

extern "C" {
// Objects: pens, brushes, stock objects; SelectObject returns the previous object of the kind, or
// null (regions: the new clip's complexity) and HGDI_ERROR on failure.
PLATFORM_API HPEN WINAPI CreatePen(int style, int width, COLORREF color);
PLATFORM_API HPEN WINAPI CreatePenIndirect(const LOGPEN* pen);
PLATFORM_API HPEN WINAPI ExtCreatePen(DWORD style, DWORD width, const LOGBRUSH* brush, DWORD styleCount,
                                      const DWORD* styles);
PLATFORM_API HBRUSH WINAPI CreateSolidBrush(COLORREF color);
PLATFORM_API HBRUSH WINAPI CreateHatchBrush(int hatch, COLORREF color);
PLATFORM_API HBRUSH WINAPI CreatePatternBrush(HBITMAP bitmap);
// A packed DIB: BITMAPINFO with its colour table, then the bits.
PLATFORM_API HBRUSH WINAPI CreateDIBPatternBrushPt(const void* packedDib, UINT usage);
PLATFORM_API HBRUSH WINAPI CreateBrushIndirect(const LOGBRUSH* brush);
PLATFORM_API HGDIOBJ WINAPI GetStockObject(int index);
PLATFORM_API HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ object);
PLATFORM_API BOOL WINAPI DeleteObject(HGDIOBJ object);
PLATFORM_API DWORD WINAPI GetObjectType(HGDIOBJ object);
PLATFORM_API HGDIOBJ WINAPI GetCurrentObject(HDC hdc, UINT type);

// State.
PLATFORM_API int WINAPI SaveDC(HDC hdc);
PLATFORM_API BOOL WINAPI RestoreDC(HDC hdc, int savedDc);
PLATFORM_API int WINAPI SetROP2(HDC hdc, int rop2);
PLATFORM_API int WINAPI GetROP2(HDC hdc);
PLATFORM_API int WINAPI SetPolyFillMode(HDC hdc, int mode);
PLATFORM_API int WINAPI GetPolyFillMode(HDC hdc);
PLATFORM_API int WINAPI SetArcDirection(HDC hdc, int direction);
PLATFORM_API int WINAPI GetArcDirection(HDC hdc);
PLATFORM_API BOOL WINAPI SetBrushOrgEx(HDC hdc, int x, int y, POINT* previous);

// Transforms.
PLATFORM_API int WINAPI SetMapMode(HDC hdc, int mode);
PLATFORM_API int WINAPI GetMapMode(HDC hdc);
PLATFORM_API BOOL WINAPI SetWindowOrgEx(HDC hdc, int x, int y, POINT* previous);
PLATFORM_API BOOL WINAPI SetViewportOrgEx(HDC hdc, int x, int y, POINT* previous);
PLATFORM_API BOOL WINAPI SetWindowExtEx(HDC hdc, int x, int y, SIZE* previous);
PLATFORM_API BOOL WINAPI SetViewportExtEx(HDC hdc, int x, int y, SIZE* previous);
PLATFORM_API BOOL WINAPI GetWindowExtEx(HDC hdc, SIZE* size);
PLATFORM_API BOOL WINAPI GetViewportExtEx(HDC hdc, SIZE* size);
PLATFORM_API BOOL WINAPI GetWindowOrgEx(HDC hdc, POINT* point);
PLATFORM_API BOOL WINAPI GetViewportOrgEx(HDC hdc, POINT* point);
PLATFORM_API int WINAPI SetGraphicsMode(HDC hdc, int mode);
PLATFORM_API int WINAPI GetGraphicsMode(HDC hdc);
PLATFORM_API BOOL WINAPI SetWorldTransform(HDC hdc, const XFORM* xform);
PLATFORM_API BOOL WINAPI GetWorldTransform(HDC hdc, XFORM* xform);
PLATFORM_API BOOL WINAPI ModifyWorldTransform(HDC hdc, const XFORM* xform, DWORD mode);
PLATFORM_API BOOL WINAPI LPtoDP(HDC hdc, POINT* points, int count);
PLATFORM_API BOOL WINAPI DPtoLP(HDC hdc, POINT* points, int count);

// Lines and curves; the current position moves with MoveToEx, LineTo, PolylineTo and PolyBezierTo.
PLATFORM_API BOOL WINAPI MoveToEx(HDC hdc, int x, int y, POINT* previous);
PLATFORM_API BOOL WINAPI GetCurrentPositionEx(HDC hdc, POINT* point);
PLATFORM_API BOOL WINAPI LineTo(HDC hdc, int x, int y);
PLATFORM_API BOOL WINAPI Polyline(HDC hdc, const POINT* points, int count);
PLATFORM_API BOOL WINAPI PolylineTo(HDC hdc, const POINT* points, DWORD count);
PLATFORM_API BOOL WINAPI PolyPolyline(HDC hdc, const POINT* points, const DWORD* counts, DWORD polylines);
PLATFORM_API BOOL WINAPI PolyBezier(HDC hdc, const POINT* points, DWORD count);
PLATFORM_API BOOL WINAPI PolyBezierTo(HDC hdc, const POINT* points, DWORD count);

// Shapes: outlined with the pen, filled with the brush.
PLATFORM_API BOOL WINAPI Polygon(HDC hdc, const POINT* points, int count);
PLATFORM_API BOOL WINAPI PolyPolygon(HDC hdc, const POINT* points, const INT* counts, int polygons);
PLATFORM_API BOOL WINAPI Rectangle(HDC hdc, int left, int top, int right, int bottom);
PLATFORM_API BOOL WINAPI RoundRect(HDC hdc, int left, int top, int right, int bottom, int width, int height);
PLATFORM_API BOOL WINAPI Ellipse(HDC hdc, int left, int top, int right, int bottom);
PLATFORM_API BOOL WINAPI Arc(HDC hdc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd,
                             int yEnd);
PLATFORM_API BOOL WINAPI Pie(HDC hdc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd,
                             int yEnd);
PLATFORM_API BOOL WINAPI Chord(HDC hdc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd,
                               int yEnd);
PLATFORM_API BOOL WINAPI PatBlt(HDC hdc, int x, int y, int width, int height, DWORD rop);

// Path brackets.
PLATFORM_API BOOL WINAPI BeginPath(HDC hdc);
PLATFORM_API BOOL WINAPI EndPath(HDC hdc);
PLATFORM_API BOOL WINAPI AbortPath(HDC hdc);
PLATFORM_API BOOL WINAPI CloseFigure(HDC hdc);
PLATFORM_API BOOL WINAPI StrokePath(HDC hdc);
PLATFORM_API BOOL WINAPI FillPath(HDC hdc);
PLATFORM_API BOOL WINAPI StrokeAndFillPath(HDC hdc);
PLATFORM_API BOOL WINAPI SelectClipPath(HDC hdc, int mode);
// The closed path in logical coordinates; with a count of 0, the number of points.
PLATFORM_API int WINAPI GetPath(HDC hdc, POINT* points, BYTE* types, int count);

// Regions (device coordinates) and the clip region of a device context.
PLATFORM_API HRGN WINAPI CreateRectRgn(int left, int top, int right, int bottom);
PLATFORM_API HRGN WINAPI CreateRectRgnIndirect(const RECT* rect);
PLATFORM_API HRGN WINAPI CreateEllipticRgn(int left, int top, int right, int bottom);
PLATFORM_API HRGN WINAPI CreatePolygonRgn(const POINT* points, int count, int fillMode);
PLATFORM_API int WINAPI CombineRgn(HRGN destination, HRGN source1, HRGN source2, int mode);
PLATFORM_API BOOL WINAPI EqualRgn(HRGN a, HRGN b);
PLATFORM_API int WINAPI OffsetRgn(HRGN region, int x, int y);
PLATFORM_API int WINAPI GetRgnBox(HRGN region, RECT* box);
PLATFORM_API BOOL WINAPI PtInRegion(HRGN region, int x, int y);
PLATFORM_API BOOL WINAPI SetRectRgn(HRGN region, int left, int top, int right, int bottom);
PLATFORM_API int WINAPI SelectClipRgn(HDC hdc, HRGN region);
PLATFORM_API int WINAPI ExtSelectClipRgn(HDC hdc, HRGN region, int mode);
PLATFORM_API int WINAPI IntersectClipRect(HDC hdc, int left, int top, int right, int bottom);
PLATFORM_API int WINAPI ExcludeClipRect(HDC hdc, int left, int top, int right, int bottom);
PLATFORM_API int WINAPI OffsetClipRgn(HDC hdc, int x, int y);
// 1 and a copy of the clip region in `region`; 0 when there is none; -1 on error.
PLATFORM_API int WINAPI GetClipRgn(HDC hdc, HRGN region);
PLATFORM_API int WINAPI GetClipBox(HDC hdc, RECT* box);

// Bitmaps and memory device contexts. A memory DC draws into its selected bitmap; DIB sections
// hand out their bits. Bottom-up DIBs (positive height) keep their last row first in memory.
PLATFORM_API HDC WINAPI CreateCompatibleDC(HDC hdc);
PLATFORM_API HBITMAP WINAPI CreateCompatibleBitmap(HDC hdc, int width, int height);
// Rows top first, each padded to 2 bytes; one plane only.
PLATFORM_API HBITMAP WINAPI CreateBitmap(int width, int height, UINT planes, UINT bitCount, const void* bits);
PLATFORM_API HBITMAP WINAPI CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits,
                                             HANDLE section, DWORD offset);
PLATFORM_API int WINAPI GetObjectW(HGDIOBJ object, int size, void* out);
PLATFORM_API int WINAPI SetDIBits(HDC hdc, HBITMAP bitmap, UINT start, UINT lines, const void* bits,
                                  const BITMAPINFO* info, UINT usage);
// With null bits, fills the header (size, bit count, image size) and returns nonzero.
PLATFORM_API int WINAPI GetDIBits(HDC hdc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info,
                                  UINT usage);
// IMAGE_BITMAP with LR_LOADFROMFILE only: a BMP file (core, info, V4 or V5 header; 1 to 32 bits;
// RLE4, RLE8, bit fields). cx, cy: 0 keeps the image's size, else it is stretched (nearest pixel).
// A malformed file fails with ERROR_INVALID_DATA and a trace saying what is wrong; a kind not read
// (embedded JPEG or PNG) with ERROR_NOT_SUPPORTED.
PLATFORM_API HANDLE WINAPI LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int cx, int cy, UINT load);
PLATFORM_API int WINAPI SetStretchBltMode(HDC hdc, int mode);
PLATFORM_API int WINAPI GetStretchBltMode(HDC hdc);
PLATFORM_API BOOL WINAPI BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc,
                                DWORD rop);
PLATFORM_API BOOL WINAPI StretchBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc,
                                    int srcWidth, int srcHeight, DWORD rop);
PLATFORM_API int WINAPI StretchDIBits(HDC hdc, int x, int y, int width, int height, int xSrc, int ySrc,
                                      int srcWidth, int srcHeight, const void* bits, const BITMAPINFO* info,
                                      UINT usage, DWORD rop);
PLATFORM_API int WINAPI SetDIBitsToDevice(HDC hdc, int x, int y, DWORD width, DWORD height, int xSrc, int ySrc,
                                          UINT startScan, UINT lines, const void* bits, const BITMAPINFO* info,
                                          UINT usage);
PLATFORM_API BOOL WINAPI MaskBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc,
                                 HBITMAP mask, int xMask, int yMask, DWORD rop4);
PLATFORM_API BOOL WINAPI TransparentBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc,
                                        int srcWidth, int srcHeight, UINT transparent);
PLATFORM_API BOOL WINAPI GradientFill(HDC hdc, TRIVERTEX* vertices, ULONG count, PVOID mesh, ULONG meshCount,
                                      ULONG mode);
}

// ---- Fonts and text ----

using HFONT = struct HFONT__*;

constexpr DWORD OBJ_FONT = 6;
constexpr int LF_FACESIZE = 32;
constexpr int LF_FULLFACESIZE = 64;

// Stock fonts.
constexpr int OEM_FIXED_FONT = 10;
constexpr int ANSI_FIXED_FONT = 11;
constexpr int ANSI_VAR_FONT = 12;
constexpr int SYSTEM_FONT = 13;
constexpr int DEVICE_DEFAULT_FONT = 14;
constexpr int SYSTEM_FIXED_FONT = 16;
constexpr int DEFAULT_GUI_FONT = 17;

// Weights.
constexpr int FW_DONTCARE = 0;
constexpr int FW_THIN = 100;
constexpr int FW_EXTRALIGHT = 200;
constexpr int FW_LIGHT = 300;
constexpr int FW_NORMAL = 400;
constexpr int FW_MEDIUM = 500;
constexpr int FW_SEMIBOLD = 600;
constexpr int FW_BOLD = 700;
constexpr int FW_EXTRABOLD = 800;
constexpr int FW_HEAVY = 900;

// Character sets.
constexpr BYTE ANSI_CHARSET = 0;
constexpr BYTE DEFAULT_CHARSET = 1;
constexpr BYTE SYMBOL_CHARSET = 2;
constexpr BYTE SHIFTJIS_CHARSET = 128;
constexpr BYTE HANGUL_CHARSET = 129;
constexpr BYTE GB2312_CHARSET = 134;
constexpr BYTE CHINESEBIG5_CHARSET = 136;
constexpr BYTE OEM_CHARSET = 255;
constexpr BYTE JOHAB_CHARSET = 130;
constexpr BYTE HEBREW_CHARSET = 177;
constexpr BYTE ARABIC_CHARSET = 178;
constexpr BYTE GREEK_CHARSET = 161;
constexpr BYTE TURKISH_CHARSET = 162;
constexpr BYTE VIETNAMESE_CHARSET = 163;
constexpr BYTE THAI_CHARSET = 222;
constexpr BYTE EASTEUROPE_CHARSET = 238;
constexpr BYTE RUSSIAN_CHARSET = 204;
constexpr BYTE MAC_CHARSET = 77;
constexpr BYTE BALTIC_CHARSET = 186;

// Precision, quality, pitch and family.
constexpr BYTE OUT_DEFAULT_PRECIS = 0;
constexpr BYTE OUT_TT_PRECIS = 4;
constexpr BYTE OUT_TT_ONLY_PRECIS = 7;
constexpr BYTE CLIP_DEFAULT_PRECIS = 0;
constexpr BYTE DEFAULT_QUALITY = 0;
constexpr BYTE DEFAULT_PITCH = 0;
constexpr BYTE FIXED_PITCH = 1;
constexpr BYTE VARIABLE_PITCH = 2;
constexpr BYTE FF_DONTCARE = 0x00;
constexpr BYTE FF_ROMAN = 0x10;
constexpr BYTE FF_SWISS = 0x20;
constexpr BYTE FF_MODERN = 0x30;
constexpr BYTE FF_SCRIPT = 0x40;
constexpr BYTE FF_DECORATIVE = 0x50;

// TEXTMETRICW.tmPitchAndFamily
constexpr BYTE TMPF_FIXED_PITCH = 0x01;  // set when the font is NOT fixed pitch
constexpr BYTE TMPF_VECTOR = 0x02;
constexpr BYTE TMPF_TRUETYPE = 0x04;
constexpr BYTE TMPF_DEVICE = 0x08;

struct TEXTMETRICW {
  LONG tmHeight;
  LONG tmAscent;
  LONG tmDescent;
  LONG tmInternalLeading;
  LONG tmExternalLeading;
  LONG tmAveCharWidth;
  LONG tmMaxCharWidth;
  LONG tmWeight;
  LONG tmOverhang;
  LONG tmDigitizedAspectX;
  LONG tmDigitizedAspectY;
  WCHAR tmFirstChar;
  WCHAR tmLastChar;
  WCHAR tmDefaultChar;
  WCHAR tmBreakChar;
  BYTE tmItalic;
  BYTE tmUnderlined;
  BYTE tmStruckOut;
  BYTE tmPitchAndFamily;
  BYTE tmCharSet;
};
static_assert(sizeof(TEXTMETRICW) == 60);
static_assert(offsetof(TEXTMETRICW, tmFirstChar) == 44);
static_assert(offsetof(TEXTMETRICW, tmItalic) == 52);

struct NEWTEXTMETRICW {
  TEXTMETRICW tm;  // the published record spells these fields out; the layout is the same
  DWORD ntmFlags;
  UINT ntmSizeEM;
  UINT ntmCellHeight;
  UINT ntmAvgWidth;
};
static_assert(sizeof(NEWTEXTMETRICW) == 76);

struct FONTSIGNATURE {
  DWORD fsUsb[4];
  DWORD fsCsb[2];
};

struct NEWTEXTMETRICEXW {
  NEWTEXTMETRICW ntmTm;
  FONTSIGNATURE ntmFontSig;
};
static_assert(sizeof(NEWTEXTMETRICEXW) == 100);

struct ENUMLOGFONTEXW {
  LOGFONTW elfLogFont;
  WCHAR elfFullName[LF_FULLFACESIZE];
  WCHAR elfStyle[LF_FACESIZE];
  WCHAR elfScript[LF_FACESIZE];
};
static_assert(sizeof(ENUMLOGFONTEXW) == 348);

// NEWTEXTMETRICW.ntmFlags
constexpr DWORD NTM_ITALIC = 0x00000001;
constexpr DWORD NTM_BOLD = 0x00000020;
constexpr DWORD NTM_REGULAR = 0x00000040;
constexpr DWORD NTM_PS_OPENTYPE = 0x00020000;
constexpr DWORD NTM_TT_OPENTYPE = 0x00040000;

// Font types given to an enumeration callback.
constexpr DWORD RASTER_FONTTYPE = 0x0001;
constexpr DWORD DEVICE_FONTTYPE = 0x0002;
constexpr DWORD TRUETYPE_FONTTYPE = 0x0004;

// AddFontResourceExW flags.
constexpr DWORD FR_PRIVATE = 0x10;
constexpr DWORD FR_NOT_ENUM = 0x20;

// The callback gets an ENUMLOGFONTEXW and a NEWTEXTMETRICEXW behind these pointers; a return of 0
// stops the enumeration.
using FONTENUMPROCW = int (*)(const LOGFONTW* logFont, const TEXTMETRICW* metrics, DWORD fontType, LPARAM lParam);

// ExtTextOutW options.
constexpr UINT ETO_OPAQUE = 0x0002;
constexpr UINT ETO_CLIPPED = 0x0004;
constexpr UINT ETO_GLYPH_INDEX = 0x0010;
constexpr UINT ETO_RTLREADING = 0x0080;
constexpr UINT ETO_IGNORELANGUAGE = 0x1000;
constexpr UINT ETO_PDY = 0x2000;

// Text alignment.
constexpr UINT TA_NOUPDATECP = 0;
constexpr UINT TA_UPDATECP = 1;
constexpr UINT TA_LEFT = 0;
constexpr UINT TA_RIGHT = 2;
constexpr UINT TA_CENTER = 6;
constexpr UINT TA_TOP = 0;
constexpr UINT TA_BOTTOM = 8;
constexpr UINT TA_BASELINE = 24;
constexpr UINT TA_RTLREADING = 256;
constexpr UINT TA_MASK = TA_BASELINE | TA_CENTER | TA_UPDATECP | TA_RTLREADING;

// Background modes.
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

constexpr DWORD GGI_MARK_NONEXISTING_GLYPHS = 0x0001;

extern "C" {
// Fonts: lfHeight < 0 is the em height, > 0 the cell height (ascent + descent), 0 a default size,
// all in logical units; escapement and orientation in tenths of a degree; a face name starting with
// '@' selects the vertical variant of the face.
PLATFORM_API HFONT WINAPI CreateFontIndirectW(const LOGFONTW* logFont);
PLATFORM_API HFONT WINAPI CreateFontW(int height, int width, int escapement, int orientation, int weight,
                                      DWORD italic, DWORD underline, DWORD strikeOut, DWORD charSet,
                                      DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                                      DWORD pitchAndFamily, LPCWSTR faceName);
// Fonts an application brings: a file, or the bytes of one (kept by the platform). The count of
// faces added, 0 on failure; the memory form returns a handle for RemoveFontMemResourceEx.
PLATFORM_API int WINAPI AddFontResourceExW(LPCWSTR fileName, DWORD flags, PVOID reserved);
PLATFORM_API BOOL WINAPI RemoveFontResourceExW(LPCWSTR fileName, DWORD flags, PVOID reserved);
PLATFORM_API HANDLE WINAPI AddFontMemResourceEx(PVOID fileView, DWORD size, PVOID reserved, DWORD* fontCount);
PLATFORM_API BOOL WINAPI RemoveFontMemResourceEx(HANDLE fontHandle);
// Every face (style) of the families matching lfFaceName (empty: one call per family) and lfCharSet
// (DEFAULT_CHARSET: any). The last callback's result; 0 when nothing matched.
PLATFORM_API int WINAPI EnumFontFamiliesExW(HDC hdc, LOGFONTW* logFont, FONTENUMPROCW proc, LPARAM lParam,
                                            DWORD flags);

PLATFORM_API BOOL WINAPI GetTextMetricsW(HDC hdc, TEXTMETRICW* metrics);
PLATFORM_API int WINAPI GetTextFaceW(HDC hdc, int count, LPWSTR faceName);
PLATFORM_API BOOL WINAPI GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int count, SIZE* size);
PLATFORM_API BOOL WINAPI GetCharWidth32W(HDC hdc, UINT first, UINT last, INT* widths);
// Glyph indices of the characters; missing ones are 0, or 0xFFFF with GGI_MARK_NONEXISTING_GLYPHS.
PLATFORM_API DWORD WINAPI GetGlyphIndicesW(HDC hdc, LPCWSTR text, int count, WORD* indices, DWORD flags);

PLATFORM_API BOOL WINAPI TextOutW(HDC hdc, int x, int y, LPCWSTR text, int count);
// dx: advance of each character in logical units (with ETO_PDY, x and y pairs).
PLATFORM_API BOOL WINAPI ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT* rect, LPCWSTR text,
                                     UINT count, const INT* dx);
PLATFORM_API UINT WINAPI SetTextAlign(HDC hdc, UINT align);
PLATFORM_API UINT WINAPI GetTextAlign(HDC hdc);
PLATFORM_API COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color);
PLATFORM_API COLORREF WINAPI GetTextColor(HDC hdc);
PLATFORM_API COLORREF WINAPI SetBkColor(HDC hdc, COLORREF color);
PLATFORM_API COLORREF WINAPI GetBkColor(HDC hdc);
PLATFORM_API int WINAPI SetBkMode(HDC hdc, int mode);
PLATFORM_API int WINAPI GetBkMode(HDC hdc);
PLATFORM_API int WINAPI SetTextCharacterExtra(HDC hdc, int extra);
PLATFORM_API int WINAPI GetTextCharacterExtra(HDC hdc);
}
