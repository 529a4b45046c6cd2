// Driver entry and device state: PDEV creation from the application's devmode, the capability
// records the engine reads (GDIINFO, DEVINFO), the device surface, and the hand-over of a
// document across DrvResetPDEV.
#include <algorithm>
#include <cstring>

#include "devmode/render_devmode.h"
#include "devmode/trace.h"
#include "devmode/tracked_alloc.h"
#include "hooks.h"
#include "pdev.h"
#include "win/memory.h"

namespace render {
namespace {

constexpr char kSourceFile[] = "enable.cpp";
constexpr FLONG kSurfaceHooks = HOOK_BITBLT | HOOK_STRETCHBLT | HOOK_TEXTOUT | HOOK_STROKEPATH | HOOK_FILLPATH |
                                HOOK_STROKEANDFILLPATH | HOOK_COPYBITS | HOOK_TRANSPARENTBLT | HOOK_GRADIENTFILL;
static_assert(kSurfaceHooks == 0x284EB);
constexpr FLONG kTextCaps = TC_OP_CHARACTER | TC_OP_STROKE | TC_CP_STROKE | TC_CR_90 | TC_CR_ANY | TC_IA_ABLE |
                            TC_UA_ABLE | TC_SO_ABLE | TC_VA_ABLE;
static_assert(kTextCaps == 0x5C1F);
constexpr FLONG kGraphicsCaps = GCAPS_BEZIERS | GCAPS_ALTERNATEFILL | GCAPS_WINDINGFILL | GCAPS_HALFTONE | GCAPS_OPAQUERECT;
static_assert(kGraphicsCaps == 0x11D);

ULONG HalftonePatternSize(int resolution) {
  if (resolution >= 2400) return 15;
  if (resolution >= 1800) return 13;
  if (resolution >= 1200) return 11;
  if (resolution >= 900) return 9;
  if (resolution >= 400) return 7;
  if (resolution < 180) return 3;
  return 5;
}

void FillGdiInfo(const Pdev& pdev, ULONG* out, ULONG size) {
  if (out == nullptr || size == 0) return;
  const DEVMODEW& dm = pdev.settings.pub;
  const devmode::PageGeometry& g = pdev.doc.page;
  const LONG r = dm.dmYResolution;
  LONG d = r * dm.dmScale / 100;
  if (d <= 0) d = r > 0 ? r : 600;
  GDIINFO gi{};
  gi.ulVersion = 0x400;
  gi.ulTechnology = DT_RASPRINTER;
  const LONG printableW = g.width - g.left - g.right, printableH = g.height - g.top - g.bottom;
  gi.ulHorzSize = static_cast<ULONG>(printableW * 25.4 / d);
  gi.ulVertSize = static_cast<ULONG>(printableH * 25.4 / d);
  gi.ulHorzRes = static_cast<ULONG>(printableW);
  gi.ulVertRes = static_cast<ULONG>(printableH);
  gi.cBitsPixel = 1;
  gi.cPlanes = 1;
  gi.ulNumColors = 20;
  gi.flRaster = 0;
  gi.ulLogPixelsX = static_cast<ULONG>(d);
  gi.ulLogPixelsY = static_cast<ULONG>(d);
  gi.flTextCaps = kTextCaps;
  gi.ulAspectX = static_cast<ULONG>(r);
  gi.ulAspectY = static_cast<ULONG>(r);
  gi.ulAspectXY = static_cast<ULONG>(r * 1414 / 1000);
  gi.xStyleStep = 1;
  gi.yStyleStep = 1;
  gi.denStyleStep = r / 50;
  gi.ptlPhysOffset = {g.left, g.top};
  gi.szlPhysSize = {g.width, g.height};
  gi.ciDevice = {{6380, 3350, 0}, {2345, 6075, 0}, {1410, 932, 0}, {2000, 2450, 0}, {5210, 2100, 0},
                 {4750, 5100, 0}, {3127, 3290, 0}, 12500, 12500, 12500, 585, 120, 0, 0, 0, 10000};
  gi.ulHTPatternSize = HalftonePatternSize(dm.dmYResolution);
  gi.ulHTOutputFormat = HT_FORMAT_1BPP;
  gi.flHTFlags = HT_FLAG_HAS_BLACK_DYE;
  gi.flShadeBlend = SB_GRAD_RECT | SB_GRAD_TRI;
  std::memcpy(out, &gi, std::min<size_t>(size, sizeof gi));
}

// 0 when the palette cannot be made.
int FillDevInfo(Pdev& pdev, DEVINFO* out, ULONG size) {
  DEVINFO di{};
  const devmode::RenderPrivate& p = pdev.settings.priv;
  di.flGraphicsCaps = kGraphicsCaps;
  if (p.LayoutMode == devmode::kLayoutNormal && p.decoration.WatermarkIndex == 0) di.flGraphicsCaps |= GCAPS_DONTJOURNAL;
  di.cFonts = pdev.doc.deviceFontCount;
  di.iDitherFormat = BMF_24BPP;
  if (pdev.palette != nullptr) {
    EngDeletePalette(pdev.palette);
    pdev.palette = nullptr;
  }
  pdev.palette = EngCreatePalette(PAL_RGB, 0, nullptr, 0, 0, 0);
  if (pdev.palette == nullptr) {
    devmode::DebugTrace("EngCreatePalette fail! file:%s,lines:%ld", kSourceFile, static_cast<long>(__LINE__));
    return 0;
  }
  di.hpalDefault = pdev.palette;
  if (out != nullptr) std::memcpy(out, &di, std::min<size_t>(size, sizeof di));
  return 1;
}

void LookUpPageGeometry(Pdev& pdev) {
  devmode::GetPageGeometry(pdev.settings.pub.dmPaperSize, pdev.settings, &pdev.doc.page);
  pdev.doc.orientation = pdev.settings.pub.dmOrientation;
}

void ReleasePdev(Pdev* pdev) {
  if ((pdev->doc.OutputFlags & kSpoolCopyActive) != 0) {
    ReleasePageRecords(*pdev);
    DeleteSpoolCopy(*pdev);
  }
  ReleaseDownloads(*pdev, false);
  FreeSoftFonts(*pdev);
  ResetLineState(*pdev);
  FreeTextBuffers(*pdev);
  for (RasterBuffer& b : pdev->raster) {
    if (b.data != nullptr) devmode::TrackedFree(b.data);
    b = {};
  }
  if (pdev->palette != nullptr) EngDeletePalette(pdev->palette);
  pdev->leadingSignature = pdev->trailingSignature = 0;
  GlobalFree(pdev);
}

void SetDocumentConstants(Pdev& pdev) {
  pdev.doc.documentConstant = 4;
  pdev.doc.documentConstantPercent = 100;
}

}  // namespace

Pdev* ValidPdev(DHPDEV dhpdev) {
  auto* pdev = reinterpret_cast<Pdev*>(dhpdev);
  if (pdev == nullptr || pdev->leadingSignature != kPdevSignature || pdev->trailingSignature != kPdevSignature)
    return nullptr;
  return pdev;
}

Pdev* ValidPdev(const SURFOBJ* pso) { return pso == nullptr ? nullptr : ValidPdev(pso->dhpdev); }

DHPDEV DrvEnablePDEV(DEVMODEW* pdm, LPWSTR, ULONG cPat, HSURF* phsurfPatterns, ULONG cjCaps, ULONG* pdevcaps,
                     ULONG cjDevInfo, DEVINFO* pdi, HDEV hdev, LPWSTR pwszDeviceName, HANDLE hDriver) {
  auto* pdev = static_cast<Pdev*>(GlobalAlloc(GPTR, sizeof(Pdev)));
  if (pdev == nullptr) {
    devmode::DebugTrace("Memalloc ppdev fail! file:%s,lines:%ld", kSourceFile, static_cast<long>(__LINE__));
    return nullptr;
  }
  ResetOutputBuffer(*pdev);
  pdev->doc.pageCounter = pdev->doc.sheetCounter = -1;
  pdev->doc.lastPaperSent = pdev->doc.lastOrientationCodeSent = -1;
  pdev->doc.lastTray = pdev->doc.lastMedia = 255;
  pdev->doc.nupFactor = 1.0;
  pdev->doc.scaleX = pdev->doc.scaleY = 100;
  pdev->printer = hDriver;
  pdev->hdev = hdev;
  devmode::Devmod2_InitDevMode(&pdev->settings, pwszDeviceName);

  auto* scratch = static_cast<devmode::RenderSettings*>(GlobalAlloc(GPTR, sizeof(devmode::RenderSettings)));
  if (scratch == nullptr) {
    devmode::DebugTrace("Memalloc pdm fail! file:%s,lines:%ld", kSourceFile, static_cast<long>(__LINE__));
    GlobalFree(pdev);
    return nullptr;
  }
  if (!devmode::ImportStoredDevmode(pdm, scratch)) {
    devmode::DebugTrace("Transform fail! file:%s,lines:%ld", kSourceFile, static_cast<long>(__LINE__));
    GlobalFree(scratch);
    GlobalFree(pdev);
    return nullptr;
  }
  if (!devmode::Devmod2_MergeFieldsHigh(&pdev->settings, &scratch->pub)) {
    devmode::DebugTrace("Devmod2_MergeFieldsHigh fail! file:%s,lines:%ld", kSourceFile, static_cast<long>(__LINE__));
    GlobalFree(scratch);
    GlobalFree(pdev);
    return nullptr;
  }
  GlobalFree(scratch);

  pdev->leadingSignature = kPdevSignature;
  pdev->trailingSignature = kPdevSignature;
  LookUpPageGeometry(*pdev);
  FillGdiInfo(*pdev, pdevcaps, std::min<ULONG>(cjCaps, sizeof(GDIINFO)));
  pdev->doc.deviceFontCount = 0;
  if (!FillDevInfo(*pdev, pdi, cjDevInfo)) {
    devmode::DebugTrace("FillNtDevInfo fail! file:%s,lines:%ld", kSourceFile, static_cast<long>(__LINE__));
    ReleasePdev(pdev);
    return nullptr;
  }
  if (phsurfPatterns != nullptr) std::memset(phsurfPatterns, 0, cPat * sizeof(HSURF));
  return reinterpret_cast<DHPDEV>(pdev);
}

void DrvCompletePDEV(DHPDEV dhpdev, HDEV hdev) {
  if (Pdev* pdev = ValidPdev(dhpdev)) pdev->hdev = hdev;
}

void DrvDisablePDEV(DHPDEV dhpdev) {
  if (Pdev* pdev = ValidPdev(dhpdev)) ReleasePdev(pdev);
}

HSURF DrvEnableSurface(DHPDEV dhpdev) {
  Pdev* pdev = ValidPdev(dhpdev);
  if (pdev == nullptr) return nullptr;
  const devmode::PageGeometry& g = pdev->doc.page;
  SIZEL size{g.width - g.left - g.right, g.height - g.top - g.bottom};
  HSURF hsurf = EngCreateDeviceSurface(reinterpret_cast<DHSURF>(pdev), size, BMF_24BPP);
  if (hsurf == nullptr) return nullptr;
  if (!EngAssociateSurface(hsurf, pdev->hdev, kSurfaceHooks)) {
    EngDeleteSurface(hsurf);
    return nullptr;
  }
  pdev->surface = hsurf;
  return hsurf;
}

void DrvDisableSurface(DHPDEV dhpdev) {
  Pdev* pdev = ValidPdev(dhpdev);
  if (pdev == nullptr) return;
  if (pdev->surface != nullptr) EngDeleteSurface(pdev->surface);
  pdev->surface = nullptr;
}

BOOL DrvResetPDEV(DHPDEV dhpdevOld, DHPDEV dhpdevNew) {
  Pdev* old = ValidPdev(dhpdevOld);
  Pdev* now = ValidPdev(dhpdevNew);
  if (old == nullptr || now == nullptr || old == now) return FALSE;
  // Pending bytes of the old device go out (and into its spool copy) before the byte count is
  // handed over, so the new device's page records stay true.
  (void)FlushOutput(*old);
  const devmode::RenderSettings oldSettings = old->settings;
  now->doc = old->doc;
  std::memcpy(now->jobName, old->jobName, sizeof now->jobName);
  now->jobId = old->jobId;
  // The spool-copy file, its records and the download lists now belong to the new device.
  old->doc.OutputFlags &= ~kSpoolCopyActive;
  old->doc.spoolFile = nullptr;
  old->doc.pageRecords = nullptr;
  std::memset(old->doc.spoolName, 0, sizeof old->doc.spoolName);
  for (int i = 0; i < 2; ++i) {
    now->downloads[i] = old->downloads[i];
    old->downloads[i] = nullptr;
  }
  HandOverSoftFonts(*old, *now);

  if (now->settings.priv.PagesPerSheet <= 1) ResetPageTransform(*now);
  now->leadingSignature = now->trailingSignature = kPdevSignature;
  LookUpPageGeometry(*now);
  now->settings.priv.ReverseOrder = oldSettings.priv.ReverseOrder;
  GraphicsStateReset(*now);
  SetDocumentConstants(*now);

  const DEVMODEW& o = oldSettings.pub;
  const DEVMODEW& n = now->settings.pub;
  const bool collateNow = n.dmCollate == 1 && o.dmCollate != 1 && n.dmCopies > 1;
  const bool layoutChanged = now->settings.priv.LayoutMode != oldSettings.priv.LayoutMode;
  const bool twoSidedNow = now->settings.priv.TwoSided && !oldSettings.priv.TwoSided;
  if ((now->doc.OutputFlags & kDocumentStarted) && (collateNow || layoutChanged || twoSidedNow)) StartSpoolCopy(*now);
  return TRUE;
}

ULONG DrvDrawEscape(SURFOBJ*, ULONG, CLIPOBJ*, RECTL*, ULONG, PVOID) { return 0; }

}  // namespace render
