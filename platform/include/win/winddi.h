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
struct POINTFIX;

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
}
