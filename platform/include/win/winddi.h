// The display and printer driver interface between the graphics engine and a printer graphics
// library: the enable records, hook indices, capability records, surface and engine objects.
#pragma once

#include "win/base.h"
#include "win/devmode.h"

using DHPDEV = struct DHPDEV__*;
using DHSURF = struct DHSURF__*;
using HSURF = struct HSURF__*;
using HDEV = struct HDEV__*;
using HPALETTE = struct HPALETTE__*;
using PFN = void (*)();
using ROP4 = ULONG;
using MIX = ULONG;
using LDECI4 = LONG;
using HGLYPH = ULONG;

struct CLIPOBJ;
struct XLATEOBJ;
struct BRUSHOBJ;
struct PATHOBJ;
struct STROBJ;
struct FONTOBJ;
struct XFORMOBJ;
struct LINEATTRS;
struct TRIVERTEX;
struct IFIMETRICS;
struct BLENDOBJ;
struct COLORADJUSTMENT;
struct GLYPHDATA;

constexpr ULONG DDI_DRIVER_VERSION_NT4 = 0x00020000;
constexpr ULONG DDI_DRIVER_VERSION_NT5 = 0x00030000;

struct DRVFN {
  ULONG iFunc;
  PFN pfn;
};

struct DRVENABLEDATA {
  ULONG iDriverVersion;
  ULONG c;
  DRVFN* pdrvfn;
};
static_assert(sizeof(DRVENABLEDATA) == 16);

// Hook indices (winddi INDEX_Drv*).
constexpr ULONG INDEX_DrvEnablePDEV = 0;
constexpr ULONG INDEX_DrvCompletePDEV = 1;
constexpr ULONG INDEX_DrvDisablePDEV = 2;
constexpr ULONG INDEX_DrvEnableSurface = 3;
constexpr ULONG INDEX_DrvDisableSurface = 4;
constexpr ULONG INDEX_DrvResetPDEV = 7;
constexpr ULONG INDEX_DrvDisableDriver = 8;
constexpr ULONG INDEX_DrvRealizeBrush = 12;
constexpr ULONG INDEX_DrvStrokePath = 14;
constexpr ULONG INDEX_DrvFillPath = 15;
constexpr ULONG INDEX_DrvStrokeAndFillPath = 16;
constexpr ULONG INDEX_DrvPaint = 17;
constexpr ULONG INDEX_DrvBitBlt = 18;
constexpr ULONG INDEX_DrvCopyBits = 19;
constexpr ULONG INDEX_DrvStretchBlt = 20;
constexpr ULONG INDEX_DrvTextOut = 23;
constexpr ULONG INDEX_DrvEscape = 24;
constexpr ULONG INDEX_DrvDrawEscape = 25;
constexpr ULONG INDEX_DrvQueryFont = 26;
constexpr ULONG INDEX_DrvQueryFontTree = 27;
constexpr ULONG INDEX_DrvQueryFontData = 28;
constexpr ULONG INDEX_DrvSendPage = 32;
constexpr ULONG INDEX_DrvStartPage = 33;
constexpr ULONG INDEX_DrvEndDoc = 34;
constexpr ULONG INDEX_DrvStartDoc = 35;
constexpr ULONG INDEX_DrvQueryAdvanceWidths = 53;
constexpr ULONG INDEX_DrvGradientFill = 68;
constexpr ULONG INDEX_DrvTransparentBlt = 74;

// Surface hooks (EngAssociateSurface).
constexpr FLONG HOOK_BITBLT = 0x00000001;
constexpr FLONG HOOK_STRETCHBLT = 0x00000002;
constexpr FLONG HOOK_PLGBLT = 0x00000004;
constexpr FLONG HOOK_TEXTOUT = 0x00000008;
constexpr FLONG HOOK_PAINT = 0x00000010;
constexpr FLONG HOOK_STROKEPATH = 0x00000020;
constexpr FLONG HOOK_FILLPATH = 0x00000040;
constexpr FLONG HOOK_STROKEANDFILLPATH = 0x00000080;
constexpr FLONG HOOK_LINETO = 0x00000100;
constexpr FLONG HOOK_COPYBITS = 0x00000400;
constexpr FLONG HOOK_MOVEPANNING = 0x00000800;
constexpr FLONG HOOK_SYNCHRONIZE = 0x00001000;
constexpr FLONG HOOK_STRETCHBLTROP = 0x00002000;
constexpr FLONG HOOK_TRANSPARENTBLT = 0x00008000;
constexpr FLONG HOOK_ALPHABLEND = 0x00010000;
constexpr FLONG HOOK_GRADIENTFILL = 0x00020000;

// Graphics capabilities (DEVINFO.flGraphicsCaps).
constexpr FLONG GCAPS_BEZIERS = 0x00000001;
constexpr FLONG GCAPS_GEOMETRICWIDE = 0x00000002;
constexpr FLONG GCAPS_ALTERNATEFILL = 0x00000004;
constexpr FLONG GCAPS_WINDINGFILL = 0x00000008;
constexpr FLONG GCAPS_HALFTONE = 0x00000010;
constexpr FLONG GCAPS_COLOR_DITHER = 0x00000020;
constexpr FLONG GCAPS_HORIZSTRIKE = 0x00000040;
constexpr FLONG GCAPS_VERTSTRIKE = 0x00000080;
constexpr FLONG GCAPS_OPAQUERECT = 0x00000100;
constexpr FLONG GCAPS_VECTORFONT = 0x00000200;
constexpr FLONG GCAPS_MONO_DITHER = 0x00000400;
constexpr FLONG GCAPS_ASYNCCHANGE = 0x00000800;
constexpr FLONG GCAPS_ASYNCMOVE = 0x00001000;
constexpr FLONG GCAPS_DONTJOURNAL = 0x00002000;

// Technology, text capabilities, halftone.
constexpr ULONG DT_RASPRINTER = 2;
constexpr FLONG TC_OP_CHARACTER = 0x00000001;
constexpr FLONG TC_OP_STROKE = 0x00000002;
constexpr FLONG TC_CP_STROKE = 0x00000004;
constexpr FLONG TC_CR_90 = 0x00000008;
constexpr FLONG TC_CR_ANY = 0x00000010;
constexpr FLONG TC_SF_X_YINDEP = 0x00000020;
constexpr FLONG TC_SA_DOUBLE = 0x00000040;
constexpr FLONG TC_SA_INTEGER = 0x00000080;
constexpr FLONG TC_SA_CONTIN = 0x00000100;
constexpr FLONG TC_EA_DOUBLE = 0x00000200;
constexpr FLONG TC_IA_ABLE = 0x00000400;
constexpr FLONG TC_UA_ABLE = 0x00000800;
constexpr FLONG TC_SO_ABLE = 0x00001000;
constexpr FLONG TC_RA_ABLE = 0x00002000;
constexpr FLONG TC_VA_ABLE = 0x00004000;
constexpr ULONG HT_FORMAT_1BPP = 0;
constexpr FLONG HT_FLAG_HAS_BLACK_DYE = 0x00000002;
constexpr FLONG SB_GRAD_RECT = 0x00000010;
constexpr FLONG SB_GRAD_TRI = 0x00000020;

// Bitmap formats, palettes.
constexpr ULONG BMF_1BPP = 1;
constexpr ULONG BMF_4BPP = 2;
constexpr ULONG BMF_8BPP = 3;
constexpr ULONG BMF_16BPP = 4;
constexpr ULONG BMF_24BPP = 5;
constexpr ULONG BMF_32BPP = 6;
constexpr ULONG PAL_INDEXED = 0x00000001;
constexpr ULONG PAL_BITFIELDS = 0x00000002;
constexpr ULONG PAL_RGB = 0x00000004;
constexpr ULONG PAL_BGR = 0x00000008;

// DrvEndDoc flags, DrvQueryDriverInfo queries.
constexpr FLONG ED_ABORTDOC = 0x00000001;
constexpr DWORD DRVQUERY_USERMODE = 0x00000001;

// Escapes the engine passes through.
constexpr ULONG QUERYESCSUPPORT = 8;
constexpr ULONG SETCOPYCOUNT = 17;
constexpr ULONG PASSTHROUGH = 19;
constexpr ULONG GETTECHNOLOGY = 20;

struct CIECHROMA {
  LDECI4 x;
  LDECI4 y;
  LDECI4 Y;
};

struct COLORINFO {
  CIECHROMA Red;
  CIECHROMA Green;
  CIECHROMA Blue;
  CIECHROMA Cyan;
  CIECHROMA Magenta;
  CIECHROMA Yellow;
  CIECHROMA AlignmentWhite;
  LDECI4 RedGamma;
  LDECI4 GreenGamma;
  LDECI4 BlueGamma;
  LDECI4 MagentaInCyanDye;
  LDECI4 YellowInCyanDye;
  LDECI4 CyanInMagentaDye;
  LDECI4 YellowInMagentaDye;
  LDECI4 CyanInYellowDye;
  LDECI4 MagentaInYellowDye;
};
static_assert(sizeof(COLORINFO) == 120);

struct GDIINFO {
  ULONG ulVersion;
  ULONG ulTechnology;
  ULONG ulHorzSize;
  ULONG ulVertSize;
  ULONG ulHorzRes;
  ULONG ulVertRes;
  ULONG cBitsPixel;
  ULONG cPlanes;
  ULONG ulNumColors;
  ULONG flRaster;
  ULONG ulLogPixelsX;
  ULONG ulLogPixelsY;
  ULONG flTextCaps;
  ULONG ulDACRed;
  ULONG ulDACGreen;
  ULONG ulDACBlue;
  ULONG ulAspectX;
  ULONG ulAspectY;
  ULONG ulAspectXY;
  LONG xStyleStep;
  LONG yStyleStep;
  LONG denStyleStep;
  POINTL ptlPhysOffset;
  SIZEL szlPhysSize;
  ULONG ulNumPalReg;
  COLORINFO ciDevice;
  ULONG ulDevicePelsDPI;
  ULONG ulPrimaryOrder;
  ULONG ulHTPatternSize;
  ULONG ulHTOutputFormat;
  ULONG flHTFlags;
  ULONG ulVRefresh;
  ULONG ulBltAlignment;
  ULONG ulPanningHorzRes;
  ULONG ulPanningVertRes;
  ULONG xPanningAlignment;
  ULONG yPanningAlignment;
  ULONG cxHTPat;
  ULONG cyHTPat;
  LPBYTE pHTPatA;
  LPBYTE pHTPatB;
  LPBYTE pHTPatC;
  ULONG flShadeBlend;
  ULONG ulPhysicalPixelCharacteristics;
  ULONG ulPhysicalPixelGamma;
};
static_assert(sizeof(GDIINFO) == 320);
static_assert(offsetof(GDIINFO, ptlPhysOffset) == 88);
static_assert(offsetof(GDIINFO, ciDevice) == 108);
static_assert(offsetof(GDIINFO, ulHTPatternSize) == 236);
static_assert(offsetof(GDIINFO, flShadeBlend) == 304);

struct LOGFONTW {
  LONG lfHeight;
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  WCHAR lfFaceName[32];
};
static_assert(sizeof(LOGFONTW) == 92);

struct DEVINFO {
  FLONG flGraphicsCaps;
  LOGFONTW lfDefaultFont;
  LOGFONTW lfAnsiVarFont;
  LOGFONTW lfAnsiFixFont;
  ULONG cFonts;
  ULONG iDitherFormat;
  USHORT cxDither;
  USHORT cyDither;
  HPALETTE hpalDefault;
  FLONG flGraphicsCaps2;
};
static_assert(sizeof(DEVINFO) == 312);

constexpr USHORT STYPE_BITMAP = 0;
constexpr USHORT STYPE_DEVICE = 1;
constexpr USHORT STYPE_DEVBITMAP = 3;

struct SURFOBJ {
  DHSURF dhsurf;
  HSURF hsurf;
  DHPDEV dhpdev;
  HDEV hdev;
  SIZEL sizlBitmap;
  ULONG cjBits;
  PVOID pvBits;
  PVOID pvScan0;
  LONG lDelta;
  ULONG iUniq;
  ULONG iBitmapFormat;
  USHORT iType;
  USHORT fjBitmap;
};

static_assert(sizeof(SURFOBJ) == 80);
static_assert(offsetof(SURFOBJ, sizlBitmap) == 32);
static_assert(offsetof(SURFOBJ, pvScan0) == 56);
static_assert(offsetof(SURFOBJ, lDelta) == 64);
static_assert(offsetof(SURFOBJ, iBitmapFormat) == 72);

// Bitmap flags (SURFOBJ.fjBitmap, EngCreateBitmap).
constexpr USHORT BMF_TOPDOWN = 0x0001;
constexpr USHORT BMF_NOZEROINIT = 0x0002;
constexpr USHORT BMF_DONTCACHE = 0x0004;
constexpr USHORT BMF_USERMEM = 0x0008;

constexpr ULONG DDI_ERROR = 0xFFFFFFFF;

// Engine objects handed to the drawing hooks.

// 28.4 signed fixed point: 16 units per device pixel.
using FIX = LONG;
using FLOATL = FLOAT;

struct POINTFIX {
  FIX x;
  FIX y;
};
static_assert(sizeof(POINTFIX) == 8);

struct RECTFX {
  FIX xLeft;
  FIX yTop;
  FIX xRight;
  FIX yBottom;
};
static_assert(sizeof(RECTFX) == 16);

union FLOAT_LONG {
  FLOATL e;
  LONG l;
};
static_assert(sizeof(FLOAT_LONG) == 4);

struct XFORML {
  FLOATL eM11;
  FLOATL eM12;
  FLOATL eM21;
  FLOATL eM22;
  FLOATL eDx;
  FLOATL eDy;
};
static_assert(sizeof(XFORML) == 24);

// PATHOBJ.fl
constexpr FLONG PO_BEZIERS = 0x00000001;
constexpr FLONG PO_ELLIPSE = 0x00000002;
constexpr FLONG PO_ALL_INTEGERS = 0x00000004;
constexpr FLONG PO_ENUM_AS_INTEGERS = 0x00000008;
constexpr FLONG PO_WIDENED = 0x00000010;

struct PATHOBJ {
  FLONG fl;
  ULONG cCurves;
};
static_assert(sizeof(PATHOBJ) == 8);

// PATHDATA.flags
constexpr FLONG PD_BEGINSUBPATH = 0x00000001;
constexpr FLONG PD_ENDSUBPATH = 0x00000002;
constexpr FLONG PD_RESETSTYLE = 0x00000004;
constexpr FLONG PD_CLOSEFIGURE = 0x00000008;
constexpr FLONG PD_BEZIERS = 0x00000010;

struct PATHDATA {
  FLONG flags;
  ULONG count;
  POINTFIX* pptfx;
};
static_assert(sizeof(PATHDATA) == 16);
static_assert(offsetof(PATHDATA, pptfx) == 8);

// CLIPOBJ.iDComplexity, iFComplexity, iMode, fjOptions
constexpr BYTE DC_TRIVIAL = 0;
constexpr BYTE DC_RECT = 1;
constexpr BYTE DC_COMPLEX = 3;
constexpr BYTE FC_RECT = 1;
constexpr BYTE FC_RECT4 = 2;
constexpr BYTE FC_COMPLEX = 3;
constexpr BYTE TC_RECTANGLES = 0;
constexpr BYTE TC_PATHOBJ = 2;
constexpr BYTE OC_BANK_CLIP = 1;

// CLIPOBJ_cEnumStart types and directions.
constexpr ULONG CT_RECTANGLES = 0;
constexpr ULONG CD_RIGHTDOWN = 0;
constexpr ULONG CD_LEFTDOWN = 1;
constexpr ULONG CD_RIGHTUP = 2;
constexpr ULONG CD_LEFTUP = 3;
constexpr ULONG CD_ANY = 4;

struct CLIPOBJ {
  ULONG iUniq;
  RECTL rclBounds;
  BYTE iDComplexity;
  BYTE iFComplexity;
  BYTE iMode;
  BYTE fjOptions;
};
static_assert(sizeof(CLIPOBJ) == 24);
static_assert(offsetof(CLIPOBJ, rclBounds) == 4);
static_assert(offsetof(CLIPOBJ, iDComplexity) == 20);

struct ENUMRECTS {
  ULONG c;
  RECTL arcl[1];
};
static_assert(sizeof(ENUMRECTS) == 20);

struct RUN {
  LONG iStart;
  LONG iStop;
};

struct CLIPLINE {
  POINTFIX ptfxA;
  POINTFIX ptfxB;
  LONG lStyleState;
  ULONG c;
  RUN arun[1];
};
static_assert(sizeof(CLIPLINE) == 32);
static_assert(offsetof(CLIPLINE, arun) == 24);

// BRUSHOBJ.flColorType
constexpr FLONG BR_DEVICE_ICM = 0x00000001;
constexpr FLONG BR_HOST_ICM = 0x00000002;
constexpr FLONG BR_CMYKCOLOR = 0x00000004;
constexpr FLONG BR_ORIGCOLOR = 0x00000008;

struct BRUSHOBJ {
  ULONG iSolidColor;
  PVOID pvRbrush;
  FLONG flColorType;
};
static_assert(sizeof(BRUSHOBJ) == 24);
static_assert(offsetof(BRUSHOBJ, pvRbrush) == 8);
static_assert(offsetof(BRUSHOBJ, flColorType) == 16);

// Hatch styles the engine realizes with DrvRealizeBrush's iHatch (below HS_DDI_MAX).
constexpr ULONG HS_HORIZONTAL = 0;
constexpr ULONG HS_VERTICAL = 1;
constexpr ULONG HS_FDIAGONAL = 2;
constexpr ULONG HS_BDIAGONAL = 3;
constexpr ULONG HS_CROSS = 4;
constexpr ULONG HS_DIAGCROSS = 5;
constexpr ULONG HS_DDI_MAX = 6;

// XLATEOBJ.flXlate and XLATEOBJ_cGetPalette
constexpr FLONG XO_TRIVIAL = 0x00000001;
constexpr FLONG XO_TABLE = 0x00000002;
constexpr FLONG XO_TO_MONO = 0x00000004;
constexpr FLONG XO_FROM_CMYK = 0x00000008;
constexpr ULONG XO_SRCPALETTE = 1;
constexpr ULONG XO_DESTPALETTE = 2;

struct XLATEOBJ {
  ULONG iUniq;
  FLONG flXlate;
  USHORT iSrcType;
  USHORT iDstType;
  ULONG cEntries;
  ULONG* pulXlate;
};
static_assert(sizeof(XLATEOBJ) == 24);
static_assert(offsetof(XLATEOBJ, cEntries) == 12);
static_assert(offsetof(XLATEOBJ, pulXlate) == 16);

// LINEATTRS.fl, iJoin, iEndCap
constexpr FLONG LA_GEOMETRIC = 0x00000001;
constexpr FLONG LA_ALTERNATE = 0x00000002;
constexpr FLONG LA_STARTGAP = 0x00000004;
constexpr FLONG LA_STYLED = 0x00000008;
constexpr ULONG JOIN_ROUND = 0;
constexpr ULONG JOIN_BEVEL = 1;
constexpr ULONG JOIN_MITER = 2;
constexpr ULONG ENDCAP_ROUND = 0;
constexpr ULONG ENDCAP_SQUARE = 1;
constexpr ULONG ENDCAP_BUTT = 2;

struct LINEATTRS {
  FLONG fl;
  ULONG iJoin;
  ULONG iEndCap;
  FLOAT_LONG elWidth;
  FLOATL eMiterLimit;
  ULONG cstyle;
  FLOAT_LONG* pstyle;
  FLOAT_LONG elStyleState;
};
static_assert(sizeof(LINEATTRS) == 40);
static_assert(offsetof(LINEATTRS, pstyle) == 24);
static_assert(offsetof(LINEATTRS, elStyleState) == 32);

// ---- Text: string and font objects ----

using FWORD = SHORT;
using PTRDIFF = LONG_PTR;

struct POINTQF {  // 32.32 fixed point
  LONGLONG x;
  LONGLONG y;
};
static_assert(sizeof(POINTQF) == 16);

// A glyph image: 1 bpp, rows padded to whole bytes, top row first; ptlOrigin is the top-left
// corner relative to the glyph's origin on the baseline.
struct GLYPHBITS {
  POINTL ptlOrigin;
  SIZEL sizlBitmap;
  BYTE aj[1];
};
static_assert(sizeof(GLYPHBITS) == 20);
static_assert(offsetof(GLYPHBITS, aj) == 16);

union GLYPHDEF {
  GLYPHBITS* pgb;
  PATHOBJ* ppo;
};
static_assert(sizeof(GLYPHDEF) == 8);

struct GLYPHPOS {
  HGLYPH hg;
  GLYPHDEF* pgdf;
  POINTL ptl;
};
static_assert(sizeof(GLYPHPOS) == 24);
static_assert(offsetof(GLYPHPOS, pgdf) == 8);
static_assert(offsetof(GLYPHPOS, ptl) == 16);

struct GLYPHDATA {
  GLYPHDEF gdf;
  HGLYPH hg;
  FIX fxD;          // advance along the baseline
  FIX fxA;          // prebearing
  FIX fxAB;         // prebearing + ink width
  FIX fxInkTop;     // along the ascent direction
  FIX fxInkBottom;
  RECTL rclInk;     // device pixels relative to the origin
  POINTQF ptqD;     // advance vector in device space
};
static_assert(sizeof(GLYPHDATA) == 64);
static_assert(offsetof(GLYPHDATA, hg) == 8);
static_assert(offsetof(GLYPHDATA, rclInk) == 32);
static_assert(offsetof(GLYPHDATA, ptqD) == 48);

// STROBJ.flAccel
constexpr FLONG SO_FLAG_DEFAULT_PLACEMENT = 0x00000001;
constexpr FLONG SO_HORIZONTAL = 0x00000002;
constexpr FLONG SO_VERTICAL = 0x00000004;
constexpr FLONG SO_REVERSED = 0x00000008;
constexpr FLONG SO_ZERO_BEARINGS = 0x00000010;
constexpr FLONG SO_CHAR_INC_EQUAL_BM_BASE = 0x00000020;
constexpr FLONG SO_MAXEXT_EQUAL_BM_SIDE = 0x00000040;
constexpr FLONG SO_DO_NOT_SUBSTITUTE_DEVICE_FONT = 0x00000080;
constexpr FLONG SO_GLYPHINDEX_TEXTOUT = 0x00000100;
constexpr FLONG SO_ESC_NOT_ORIENT = 0x00000200;
constexpr FLONG SO_DXDY = 0x00000400;
constexpr FLONG SO_CHARACTER_EXTRA = 0x00000800;
constexpr FLONG SO_BREAK_EXTRA = 0x00001000;

struct STROBJ {
  ULONG cGlyphs;
  FLONG flAccel;
  ULONG ulCharInc;   // fixed advance in pixels, 0 when glyphs advance by their own widths
  RECTL rclBkGround;
  GLYPHPOS* pgp;     // null: enumerate with STROBJ_bEnum
  LPWSTR pwszOrg;
};
static_assert(sizeof(STROBJ) == 48);
static_assert(offsetof(STROBJ, rclBkGround) == 12);
static_assert(offsetof(STROBJ, pgp) == 32);
static_assert(offsetof(STROBJ, pwszOrg) == 40);

// FONTOBJ.flFontType
constexpr FLONG FO_TYPE_RASTER = 0x00000001;
constexpr FLONG FO_TYPE_DEVICE = 0x00000002;
constexpr FLONG FO_TYPE_TRUETYPE = 0x00000004;
constexpr FLONG FO_TYPE_OPENTYPE = 0x00000008;
constexpr FLONG FO_SIM_BOLD = 0x00002000;
constexpr FLONG FO_SIM_ITALIC = 0x00004000;
constexpr FLONG FO_EM_HEIGHT = 0x00008000;
constexpr FLONG FO_GRAY16 = 0x00010000;
constexpr FLONG FO_NOGRAY16 = 0x00020000;
constexpr FLONG FO_NOHINTS = 0x00040000;
constexpr FLONG FO_NO_CHOICE = 0x00080000;
constexpr FLONG FO_CFF = 0x00100000;
constexpr FLONG FO_POSTSCRIPT = 0x00200000;
constexpr FLONG FO_MULTIPLEMASTER = 0x00400000;
constexpr FLONG FO_VERT_FACE = 0x00800000;
constexpr FLONG FO_DBCS_FONT = 0x01000000;
constexpr FLONG FO_NOCLEARTYPE = 0x02000000;

// FONTOBJ_cGetGlyphs modes.
constexpr ULONG FO_HGLYPHS = 0;
constexpr ULONG FO_GLYPHBITS = 1;
constexpr ULONG FO_PATHOBJ = 2;

struct FONTOBJ {
  ULONG iUniq;           // this realization (face, size, transform, simulation)
  ULONG iFace;
  ULONG cxMax;           // widest glyph in pixels
  FLONG flFontType;
  ULONG_PTR iTTUniq;     // the font file
  ULONG_PTR iFile;
  SIZEL sizLogResPpi;
  ULONG ulStyleSize;
  PVOID pvConsumer;
  PVOID pvProducer;
};
static_assert(sizeof(FONTOBJ) == 64);
static_assert(offsetof(FONTOBJ, iTTUniq) == 16);
static_assert(offsetof(FONTOBJ, sizLogResPpi) == 32);
static_assert(offsetof(FONTOBJ, pvConsumer) == 48);

struct PANOSE {
  BYTE bFamilyType;
  BYTE bSerifStyle;
  BYTE bWeight;
  BYTE bProportion;
  BYTE bContrast;
  BYTE bStrokeVariation;
  BYTE bArmStyle;
  BYTE bLetterform;
  BYTE bMidline;
  BYTE bXHeight;
};
static_assert(sizeof(PANOSE) == 10);

struct FONTDIFF {
  BYTE jReserved1;
  BYTE jReserved2;
  BYTE jReserved3;
  BYTE bWeight;
  USHORT usWinWeight;
  USHORT fsSelection;
  FWORD fwdAveCharWidth;
  FWORD fwdMaxCharInc;
  POINTL ptlCaret;
};
static_assert(sizeof(FONTDIFF) == 20);

// Offsets from the start of the FONTSIM to each FONTDIFF; 0 when that simulation is not offered.
struct FONTSIM {
  PTRDIFF dpBold;
  PTRDIFF dpItalic;
  PTRDIFF dpBoldItalic;
};
static_assert(sizeof(FONTSIM) == 24);

// IFIMETRICS.flInfo
constexpr FLONG FM_INFO_TECH_TRUETYPE = 0x00000001;
constexpr FLONG FM_INFO_TECH_BITMAP = 0x00000002;
constexpr FLONG FM_INFO_TECH_STROKE = 0x00000004;
constexpr FLONG FM_INFO_TECH_OUTLINE_NOT_TRUETYPE = 0x00000008;
constexpr FLONG FM_INFO_ARB_XFORMS = 0x00000010;
constexpr FLONG FM_INFO_1BPP = 0x00000020;
constexpr FLONG FM_INFO_4BPP = 0x00000040;
constexpr FLONG FM_INFO_8BPP = 0x00000080;
constexpr FLONG FM_INFO_16BPP = 0x00000100;
constexpr FLONG FM_INFO_24BPP = 0x00000200;
constexpr FLONG FM_INFO_32BPP = 0x00000400;
constexpr FLONG FM_INFO_INTEGER_WIDTH = 0x00000800;
constexpr FLONG FM_INFO_CONSTANT_WIDTH = 0x00001000;
constexpr FLONG FM_INFO_NOT_CONTIGUOUS = 0x00002000;
constexpr FLONG FM_INFO_TECH_MM = 0x00004000;
constexpr FLONG FM_INFO_RETURNS_OUTLINES = 0x00008000;
constexpr FLONG FM_INFO_RETURNS_STROKES = 0x00010000;
constexpr FLONG FM_INFO_RETURNS_BITMAPS = 0x00020000;
constexpr FLONG FM_INFO_DSIG = 0x00040000;
constexpr FLONG FM_INFO_RIGHT_HANDED = 0x00080000;
constexpr FLONG FM_INFO_INTEGRAL_SCALING = 0x00100000;
constexpr FLONG FM_INFO_90DEGREE_ROTATIONS = 0x00200000;
constexpr FLONG FM_INFO_OPTICALLY_FIXED_PITCH = 0x00400000;
constexpr FLONG FM_INFO_DO_NOT_ENUMERATE = 0x00800000;
constexpr FLONG FM_INFO_ISOTROPIC_SCALING_ONLY = 0x01000000;
constexpr FLONG FM_INFO_ANISOTROPIC_SCALING_ONLY = 0x02000000;
constexpr FLONG FM_INFO_TECH_CFF = 0x04000000;
constexpr FLONG FM_INFO_FAMILY_EQUIV = 0x08000000;
constexpr FLONG FM_INFO_DBCS_FIXED_PITCH = 0x10000000;
constexpr FLONG FM_INFO_NONNEGATIVE_AC = 0x20000000;
constexpr FLONG FM_INFO_IGNORE_TC_RA_ABLE = 0x40000000;
constexpr FLONG FM_INFO_TECH_TYPE1 = 0x80000000;

// IFIMETRICS.fsSelection
constexpr USHORT FM_SEL_ITALIC = 0x0001;
constexpr USHORT FM_SEL_UNDERSCORE = 0x0002;
constexpr USHORT FM_SEL_NEGATIVE = 0x0004;
constexpr USHORT FM_SEL_OUTLINED = 0x0008;
constexpr USHORT FM_SEL_STRIKEOUT = 0x0010;
constexpr USHORT FM_SEL_BOLD = 0x0020;
constexpr USHORT FM_SEL_REGULAR = 0x0040;

// Metrics of a face in font units (fwd*), with its names at byte offsets (dpwsz*) from the
// record's start; the names and the FONTSIM follow the record in the same allocation.
struct IFIMETRICS {
  ULONG cjThis;
  ULONG cjIfiExtra;
  PTRDIFF dpwszFamilyName;
  PTRDIFF dpwszStyleName;
  PTRDIFF dpwszFaceName;
  PTRDIFF dpwszUniqueName;
  PTRDIFF dpFontSim;
  LONG lEmbedId;
  LONG lItalicAngle;
  LONG lCharBias;
  PTRDIFF dpCharSets;
  BYTE jWinCharSet;
  BYTE jWinPitchAndFamily;
  USHORT usWinWeight;
  ULONG flInfo;
  USHORT fsSelection;
  USHORT fsType;
  FWORD fwdUnitsPerEm;
  FWORD fwdLowestPPEm;
  FWORD fwdWinAscender;
  FWORD fwdWinDescender;
  FWORD fwdMacAscender;
  FWORD fwdMacDescender;
  FWORD fwdMacLineGap;
  FWORD fwdTypoAscender;
  FWORD fwdTypoDescender;
  FWORD fwdTypoLineGap;
  FWORD fwdAveCharWidth;
  FWORD fwdMaxCharInc;
  FWORD fwdCapHeight;
  FWORD fwdXHeight;
  FWORD fwdSubscriptXSize;
  FWORD fwdSubscriptYSize;
  FWORD fwdSubscriptXOffset;
  FWORD fwdSubscriptYOffset;
  FWORD fwdSuperscriptXSize;
  FWORD fwdSuperscriptYSize;
  FWORD fwdSuperscriptXOffset;
  FWORD fwdSuperscriptYOffset;
  FWORD fwdUnderscoreSize;
  FWORD fwdUnderscorePosition;
  FWORD fwdStrikeoutSize;
  FWORD fwdStrikeoutPosition;
  BYTE chFirstChar;
  BYTE chLastChar;
  BYTE chDefaultChar;
  BYTE chBreakChar;
  WCHAR wcFirstChar;
  WCHAR wcLastChar;
  WCHAR wcDefaultChar;
  WCHAR wcBreakChar;
  POINTL ptlBaseline;
  POINTL ptlAspect;
  POINTL ptlCaret;
  RECTL rclFontBox;
  BYTE achVendId[4];
  ULONG cKerningPairs;
  ULONG ulPanoseCulture;
  PANOSE panose;
  PVOID Align;  // the 64-bit layout keeps the record 8-byte aligned
};
static_assert(sizeof(IFIMETRICS) == 224);
static_assert(offsetof(IFIMETRICS, dpwszFamilyName) == 8);
static_assert(offsetof(IFIMETRICS, dpFontSim) == 40);
static_assert(offsetof(IFIMETRICS, lEmbedId) == 48);
static_assert(offsetof(IFIMETRICS, dpCharSets) == 64);
static_assert(offsetof(IFIMETRICS, jWinCharSet) == 72);
static_assert(offsetof(IFIMETRICS, usWinWeight) == 74);
static_assert(offsetof(IFIMETRICS, flInfo) == 76);
static_assert(offsetof(IFIMETRICS, fsSelection) == 80);
static_assert(offsetof(IFIMETRICS, fwdUnitsPerEm) == 84);
static_assert(offsetof(IFIMETRICS, fwdWinAscender) == 88);
static_assert(offsetof(IFIMETRICS, fwdAveCharWidth) == 104);
static_assert(offsetof(IFIMETRICS, fwdMaxCharInc) == 106);
static_assert(offsetof(IFIMETRICS, fwdUnderscoreSize) == 128);
static_assert(offsetof(IFIMETRICS, fwdStrikeoutPosition) == 134);
static_assert(offsetof(IFIMETRICS, chFirstChar) == 136);
static_assert(offsetof(IFIMETRICS, wcFirstChar) == 140);
static_assert(offsetof(IFIMETRICS, ptlBaseline) == 148);
static_assert(offsetof(IFIMETRICS, rclFontBox) == 172);
static_assert(offsetof(IFIMETRICS, achVendId) == 188);
static_assert(offsetof(IFIMETRICS, panose) == 200);
static_assert(offsetof(IFIMETRICS, Align) == 216);

// XFORMOBJ_iGetXform results, XFORMOBJ_bApplyXform modes.
constexpr ULONG GX_IDENTITY = 0;
constexpr ULONG GX_OFFSET = 1;
constexpr ULONG GX_SCALE = 2;
constexpr ULONG GX_GENERAL = 3;
constexpr ULONG XF_LTOL = 0;
constexpr ULONG XF_INV_LTOL = 1;
constexpr ULONG XF_LTOFX = 2;
constexpr ULONG XF_INV_FXTOL = 3;

struct XFORMOBJ {
  ULONG ulUnused;
};

// Gradients (DrvGradientFill, EngGradientFill, GradientFill): colour channels are 16-bit, the
// high byte significant.
using COLOR16 = USHORT;
struct TRIVERTEX {
  LONG x;
  LONG y;
  COLOR16 Red;
  COLOR16 Green;
  COLOR16 Blue;
  COLOR16 Alpha;
};
static_assert(sizeof(TRIVERTEX) == 16);
struct GRADIENT_TRIANGLE {
  ULONG Vertex1;
  ULONG Vertex2;
  ULONG Vertex3;
};
struct GRADIENT_RECT {
  ULONG UpperLeft;
  ULONG LowerRight;
};
constexpr ULONG GRADIENT_FILL_RECT_H = 0x00000000;
constexpr ULONG GRADIENT_FILL_RECT_V = 0x00000001;
constexpr ULONG GRADIENT_FILL_TRIANGLE = 0x00000002;

// DrvFillPath flOptions.
constexpr FLONG FP_ALTERNATEMODE = 0x00000001;
constexpr FLONG FP_WINDINGMODE = 0x00000002;

// The driver's exports, as the engine calls them.
using PFN_DrvEnableDriver = BOOL (*)(ULONG iEngineVersion, ULONG cj, DRVENABLEDATA* pded);
using PFN_DrvDisableDriver = void (*)();
using PFN_DrvQueryDriverInfo = BOOL (*)(DWORD dwMode, PVOID pBuffer, DWORD cbBuf, PDWORD pcbNeeded);

// The hooks, as the engine calls them.
using PFN_DrvEnablePDEV = DHPDEV (*)(DEVMODEW* pdm, LPWSTR pwszLogAddress, ULONG cPat, HSURF* phsurfPatterns,
                                     ULONG cjCaps, ULONG* pdevcaps, ULONG cjDevInfo, DEVINFO* pdi, HDEV hdev,
                                     LPWSTR pwszDeviceName, HANDLE hDriver);
using PFN_DrvCompletePDEV = void (*)(DHPDEV dhpdev, HDEV hdev);
using PFN_DrvDisablePDEV = void (*)(DHPDEV dhpdev);
using PFN_DrvResetPDEV = BOOL (*)(DHPDEV dhpdevOld, DHPDEV dhpdevNew);
using PFN_DrvEnableSurface = HSURF (*)(DHPDEV dhpdev);
using PFN_DrvDisableSurface = void (*)(DHPDEV dhpdev);
using PFN_DrvStartDoc = BOOL (*)(SURFOBJ* pso, LPWSTR pwszDocName, DWORD dwJobId);
using PFN_DrvStartPage = BOOL (*)(SURFOBJ* pso);
using PFN_DrvSendPage = BOOL (*)(SURFOBJ* pso);
using PFN_DrvEndDoc = BOOL (*)(SURFOBJ* pso, FLONG fl);
using PFN_DrvEscape = ULONG (*)(SURFOBJ* pso, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut);
using PFN_DrvDrawEscape = ULONG (*)(SURFOBJ* pso, ULONG iEsc, CLIPOBJ* pco, RECTL* prcl, ULONG cjIn, PVOID pvIn);
using PFN_DrvQueryFont = IFIMETRICS* (*)(DHPDEV dhpdev, ULONG_PTR iFile, ULONG iFace, ULONG_PTR* pid);
using PFN_DrvRealizeBrush = BOOL (*)(BRUSHOBJ* pbo, SURFOBJ* psoTarget, SURFOBJ* psoPattern, SURFOBJ* psoMask,
                                     XLATEOBJ* pxlo, ULONG iHatch);
using PFN_DrvBitBlt = BOOL (*)(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                               RECTL* prclTrg, POINTL* pptlSrc, POINTL* pptlMask, BRUSHOBJ* pbo, POINTL* pptlBrush,
                               ROP4 rop4);
using PFN_DrvCopyBits = BOOL (*)(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest,
                                 POINTL* pptlSrc);
using PFN_DrvStretchBlt = BOOL (*)(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                                   COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc,
                                   POINTL* pptlMask, ULONG iMode);
using PFN_DrvGradientFill = BOOL (*)(SURFOBJ* psoDest, CLIPOBJ* pco, XLATEOBJ* pxlo, TRIVERTEX* pVertex,
                                     ULONG nVertex, PVOID pMesh, ULONG nMesh, RECTL* prclExtents,
                                     POINTL* pptlDitherOrg, ULONG ulMode);
using PFN_DrvTransparentBlt = BOOL (*)(SURFOBJ* psoDst, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo,
                                       RECTL* prclDst, RECTL* prclSrc, ULONG iTransColor, ULONG ulReserved);
using PFN_DrvQueryAdvanceWidths = BOOL (*)(DHPDEV dhpdev, FONTOBJ* pfo, ULONG iMode, HGLYPH* phg,
                                           PVOID pvWidths, ULONG cGlyphs);
using PFN_DrvStrokePath = BOOL (*)(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pbo,
                                   POINTL* pptlBrushOrg, LINEATTRS* plineattrs, MIX mix);
using PFN_DrvFillPath = BOOL (*)(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* pptlBrushOrg,
                                 MIX mix, FLONG flOptions);
using PFN_DrvStrokeAndFillPath = BOOL (*)(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo,
                                          BRUSHOBJ* pboStroke, LINEATTRS* plineattrs, BRUSHOBJ* pboFill,
                                          POINTL* pptlBrushOrg, MIX mixFill, FLONG flOptions);
using PFN_DrvTextOut = BOOL (*)(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra,
                                RECTL* prclOpaque, BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, POINTL* pptlOrg, MIX mix);
using PFN_DrvQueryFontData = LONG (*)(DHPDEV dhpdev, FONTOBJ* pfo, ULONG iMode, HGLYPH hg, GLYPHDATA* pgd, PVOID pv,
                                      ULONG cjSize);

// Engine services a printer graphics library calls.
extern "C" {
PLATFORM_API HSURF WINAPI EngCreateDeviceSurface(DHSURF dhsurf, SIZEL sizl, ULONG iFormatCompat);
PLATFORM_API BOOL WINAPI EngAssociateSurface(HSURF hsurf, HDEV hdev, FLONG flHooks);
PLATFORM_API BOOL WINAPI EngDeleteSurface(HSURF hsurf);
PLATFORM_API HPALETTE WINAPI EngCreatePalette(ULONG iMode, ULONG cColors, ULONG* pulColors, FLONG flRed,
                                              FLONG flGreen, FLONG flBlue);
PLATFORM_API BOOL WINAPI EngDeletePalette(HPALETTE hpal);
// TRUE when the job of the surface's device has been cancelled.
PLATFORM_API BOOL WINAPI EngCheckAbort(SURFOBJ* pso);
// The printer's data file for the device (a path beside the printer's store); null when unknown.
PLATFORM_API LPWSTR WINAPI EngGetPrinterDataFileName(HDEV hdev);

// Engine bitmaps: lWidth is the row size in bytes (0: rows padded to 4 bytes); pvBits, when given,
// stays the caller's. EngLockSurface hands out a SURFOBJ until EngUnlockSurface.
PLATFORM_API HBITMAP WINAPI EngCreateBitmap(SIZEL sizl, LONG lWidth, ULONG iFormat, FLONG fl, PVOID pvBits);
PLATFORM_API SURFOBJ* WINAPI EngLockSurface(HSURF hsurf);
PLATFORM_API void WINAPI EngUnlockSurface(SURFOBJ* pso);

// The engine's own drawing, for what a driver hands back. On a device surface the result is
// rendered into an engine bitmap and returned through the driver's DrvCopyBits.
PLATFORM_API BOOL WINAPI EngBitBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                                   RECTL* prclTrg, POINTL* pptlSrc, POINTL* pptlMask, BRUSHOBJ* pbo,
                                   POINTL* pptlBrush, ROP4 rop4);
PLATFORM_API BOOL WINAPI EngCopyBits(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo,
                                     RECTL* prclDest, POINTL* pptlSrc);
PLATFORM_API BOOL WINAPI EngTransparentBlt(SURFOBJ* psoDst, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo,
                                           RECTL* prclDst, RECTL* prclSrc, ULONG TransColor,
                                           ULONG bCalledFromBitBlt);
PLATFORM_API BOOL WINAPI EngGradientFill(SURFOBJ* psoDest, CLIPOBJ* pco, XLATEOBJ* pxlo, TRIVERTEX* pVertex,
                                         ULONG nVertex, PVOID pMesh, ULONG nMesh, RECTL* prclExtents,
                                         POINTL* pptlDitherOrg, ULONG ulMode);
PLATFORM_API BOOL WINAPI EngEraseSurface(SURFOBJ* pso, RECTL* prcl, ULONG iColor);

// Paths.
PLATFORM_API void WINAPI PATHOBJ_vEnumStart(PATHOBJ* ppo);
// Fills ppd with the next record; TRUE while more records follow.
PLATFORM_API BOOL WINAPI PATHOBJ_bEnum(PATHOBJ* ppo, PATHDATA* ppd);
PLATFORM_API void WINAPI PATHOBJ_vGetBounds(PATHOBJ* ppo, RECTFX* prectfx);
PLATFORM_API void WINAPI PATHOBJ_vEnumStartClipLines(PATHOBJ* ppo, CLIPOBJ* pco, SURFOBJ* pso, LINEATTRS* pla);
// One line of the path with the runs of its pixels inside the clip; TRUE while more follow.
PLATFORM_API BOOL WINAPI PATHOBJ_bEnumClipLines(PATHOBJ* ppo, ULONG cb, CLIPLINE* pcl);
PLATFORM_API void WINAPI EngDeletePath(PATHOBJ* ppo);

// Clipping.
PLATFORM_API ULONG WINAPI CLIPOBJ_cEnumStart(CLIPOBJ* pco, BOOL bAll, ULONG iType, ULONG iDirection, ULONG cLimit);
PLATFORM_API BOOL WINAPI CLIPOBJ_bEnum(CLIPOBJ* pco, ULONG cj, ULONG* pul);
PLATFORM_API PATHOBJ* WINAPI CLIPOBJ_ppoGetPath(CLIPOBJ* pco);

// Brushes and colour translation.
PLATFORM_API PVOID WINAPI BRUSHOBJ_pvAllocRbrush(BRUSHOBJ* pbo, ULONG cj);
PLATFORM_API PVOID WINAPI BRUSHOBJ_pvGetRbrush(BRUSHOBJ* pbo);
PLATFORM_API ULONG WINAPI BRUSHOBJ_ulGetBrushColor(BRUSHOBJ* pbo);
PLATFORM_API ULONG WINAPI XLATEOBJ_iXlate(XLATEOBJ* pxlo, ULONG iColor);
PLATFORM_API ULONG WINAPI XLATEOBJ_cGetPalette(XLATEOBJ* pxlo, ULONG iPal, ULONG cPal, ULONG* pPal);

// Transforms.
PLATFORM_API ULONG WINAPI XFORMOBJ_iGetXform(XFORMOBJ* pxo, XFORML* pxform);
PLATFORM_API BOOL WINAPI XFORMOBJ_bApplyXform(XFORMOBJ* pxo, ULONG iMode, ULONG cPoints, PVOID pvIn, PVOID pvOut);

// Strings: glyph positions in batches; TRUE while more follow.
PLATFORM_API void WINAPI STROBJ_vEnumStart(STROBJ* pstro);
PLATFORM_API BOOL WINAPI STROBJ_bEnum(STROBJ* pstro, ULONG* pc, GLYPHPOS** ppgpos);
PLATFORM_API BOOL WINAPI STROBJ_bEnumPositionsOnly(STROBJ* pstro, ULONG* pc, GLYPHPOS** ppgpos);
PLATFORM_API DWORD WINAPI STROBJ_dwGetCodePage(STROBJ* pstro);

// Fonts. FONTOBJ_cGetGlyphs hands out one glyph (cGlyph 1) as GLYPHDATA in *ppvGlyph, valid until
// the next call on the font; returns 1, or 0 (and *ppvGlyph null) for an unknown glyph or mode.
PLATFORM_API ULONG WINAPI FONTOBJ_cGetGlyphs(FONTOBJ* pfo, ULONG iMode, ULONG cGlyph, HGLYPH* phg,
                                             PVOID* ppvGlyph);
PLATFORM_API IFIMETRICS* WINAPI FONTOBJ_pifi(FONTOBJ* pfo);
// The font file's bytes (the whole collection for a member of one); null for a non-TrueType font.
PLATFORM_API PVOID WINAPI FONTOBJ_pvTrueTypeFontFile(FONTOBJ* pfo, ULONG* pcjFile);
// Notional (font units) to device.
PLATFORM_API XFORMOBJ* WINAPI FONTOBJ_pxoGetXform(FONTOBJ* pfo);
// The number of glyphs; with phg, fills it with every glyph handle.
PLATFORM_API ULONG WINAPI FONTOBJ_cGetAllGlyphHandles(FONTOBJ* pfo, HGLYPH* phg);

// UTF-16 to the system ANSI code page; unmappable characters become '?'.
PLATFORM_API void WINAPI EngUnicodeToMultiByteN(LPSTR pMultiByte, ULONG cjMultiByte, ULONG* pcjWritten,
                                                LPWSTR pUnicode, ULONG cjUnicode);
}
