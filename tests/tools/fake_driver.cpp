// A printer graphics library that prints nothing: its hooks record how the engine calls them, so
// the GDI layer's mapping of application calls onto hooks can be checked line by line.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <chrono>
#include <thread>

#include "fake_driver.h"
#include "platform/engine_bitmaps.h"
#include "platform/utf16.h"
#include "win/sysinfo.h"
#include "win/spooler.h"
#include "win/wingdi.h"
#include "win/winddi.h"

namespace {

fakes::DriverState g_state;
int g_nextPdev = 0;

struct Pdev {
  int id;
  HDEV hdev;
  HSURF hsurf = nullptr;
  HANDLE printer = nullptr;
  uint32_t pagesSent = 0;
};
std::map<DHPDEV, Pdev*> g_pdevs;

void Log(std::string line) { g_state.calls.push_back(std::move(line)); }
bool Fails(const char* hook) { return g_state.failing.count(hook) != 0; }

// The PDEV a surface object names, after checking the object is the one the engine should pass.
Pdev* Check(SURFOBJ* pso, const char* hook) {
  auto it = pso != nullptr ? g_pdevs.find(pso->dhpdev) : g_pdevs.end();
  if (it == g_pdevs.end()) {
    g_state.surfaceErrors.push_back(std::string(hook) + ": unknown PDEV");
    return nullptr;
  }
  Pdev* p = it->second;
  if (pso->hdev != p->hdev || pso->hsurf != p->hsurf || pso->iType != STYPE_DEVICE)
    g_state.surfaceErrors.push_back(std::string(hook) + ": surface does not match PDEV " + std::to_string(p->id));
  return p;
}

// Each document hook also sends its name as a line to the printer, so a job has bytes to deliver.
std::string Id(SURFOBJ* pso, const char* hook) {
  Pdev* p = Check(pso, hook);
  if (p == nullptr) return "?";
  if (std::strcmp(hook, "Escape") != 0) {
    std::string line = std::string(hook) + "\n";
    DWORD written = 0;
    (void)WritePrinter(p->printer, line.data(), static_cast<DWORD>(line.size()), &written);
  }
  return std::to_string(p->id);
}

DHPDEV EnablePDEV(DEVMODEW* pdm, LPWSTR, ULONG, HSURF*, ULONG cjCaps, ULONG* caps, ULONG cjDevInfo, DEVINFO* di,
                  HDEV hdev, LPWSTR deviceName, HANDLE printer) {
  std::string line = "EnablePDEV " + std::to_string(g_nextPdev + 1);
  line += pdm != nullptr ? " copies=" + std::to_string(pdm->dmCopies) : std::string(" no devmode");
  line += " device=" + platform::Utf16ToUtf8(deviceName != nullptr ? deviceName : u"");
  Log(line);
  if (Fails("EnablePDEV") || cjCaps < sizeof(GDIINFO) || cjDevInfo < sizeof(DEVINFO)) return nullptr;
  auto* g = reinterpret_cast<GDIINFO*>(caps);
  g->ulVersion = 0x5000;
  g->ulTechnology = DT_RASPRINTER;
  g->ulHorzSize = static_cast<ULONG>(-209973);  // micrometres
  g->ulVertSize = 297;
  g->ulHorzRes = 4724;
  g->ulVertRes = 6779;
  g->cBitsPixel = 1;
  g->cPlanes = 1;
  g->ulLogPixelsX = 600;
  g->ulLogPixelsY = 600;
  g->szlPhysSize = {4960, 7015};
  g->ptlPhysOffset = {118, 118};
  di->flGraphicsCaps = GCAPS_BEZIERS;
  auto* p = new Pdev{++g_nextPdev, hdev, nullptr, printer};
  g_pdevs[reinterpret_cast<DHPDEV>(p)] = p;
  return reinterpret_cast<DHPDEV>(p);
}

Pdev* Of(DHPDEV d) {
  auto it = g_pdevs.find(d);
  return it == g_pdevs.end() ? nullptr : it->second;
}

void CompletePDEV(DHPDEV d, HDEV hdev) {
  Pdev* p = Of(d);
  Log("CompletePDEV " + (p != nullptr ? std::to_string(p->id) : std::string("?")) +
      (p != nullptr && p->hdev == hdev ? "" : " other device"));
}

void DisablePDEV(DHPDEV d) {
  Pdev* p = Of(d);
  Log("DisablePDEV " + (p != nullptr ? std::to_string(p->id) : std::string("?")));
  g_pdevs.erase(d);
  delete p;
}

HSURF EnableSurface(DHPDEV d) {
  Pdev* p = Of(d);
  Log("EnableSurface " + (p != nullptr ? std::to_string(p->id) : std::string("?")));
  if (p == nullptr || Fails("EnableSurface")) return nullptr;
  p->hsurf = EngCreateDeviceSurface(reinterpret_cast<DHSURF>(p), SIZEL{4724, 6779}, BMF_1BPP);
  if (p->hsurf == nullptr || !EngAssociateSurface(p->hsurf, p->hdev, g_state.hooks)) return nullptr;
  return p->hsurf;
}

void DisableSurface(DHPDEV d) {
  Pdev* p = Of(d);
  Log("DisableSurface " + (p != nullptr ? std::to_string(p->id) : std::string("?")));
  if (p != nullptr && p->hsurf != nullptr) (void)EngDeleteSurface(p->hsurf);
}

// The realized brush the fake keeps: the hatch it was made for.
struct Rbrush {
  LONG hatch;
  SIZEL size;
  ULONG format;
  BYTE topRow;
  ULONG colour1;
};

BOOL RealizeBrush(BRUSHOBJ* pbo, SURFOBJ* target, SURFOBJ* pattern, SURFOBJ*, XLATEOBJ* xlate, ULONG hatch) {
  Log("RealizeBrush " + Id(target, "RealizeBrush") + " hatch=" + std::to_string(hatch));
  auto* r = static_cast<Rbrush*>(BRUSHOBJ_pvAllocRbrush(pbo, sizeof(Rbrush)));
  if (r == nullptr) return FALSE;
  *r = {static_cast<LONG>(hatch), {}, 0, 0, 0};
  if (pattern != nullptr) {
    r->size = pattern->sizlBitmap;
    r->format = pattern->iBitmapFormat;
    if (pattern->pvScan0 != nullptr) r->topRow = *static_cast<const BYTE*>(pattern->pvScan0);
  }
  if (xlate != nullptr) r->colour1 = XLATEOBJ_iXlate(xlate, 1);
  return TRUE;
}

void RecordPath(PATHOBJ* ppo, fakes::DrawCall& call) {
  if (ppo == nullptr) return;
  PATHOBJ_vGetBounds(ppo, &call.pathBounds);
  PATHOBJ_vEnumStart(ppo);
  PATHDATA pd{};
  BOOL more;
  do {
    more = PATHOBJ_bEnum(ppo, &pd);
    if (pd.count == 0) break;
    call.path.push_back({pd.flags, std::vector<POINTFIX>(pd.pptfx, pd.pptfx + pd.count)});
  } while (more);
}

void RecordClip(CLIPOBJ* pco, fakes::DrawCall& call) {
  if (pco == nullptr) return;
  call.clipComplexity = pco->iDComplexity;
  call.clipBounds = pco->rclBounds;
  if (pco->iDComplexity == DC_TRIVIAL) return;
  CLIPOBJ_cEnumStart(pco, FALSE, CT_RECTANGLES, CD_RIGHTDOWN, 0);
  struct {
    ULONG c;
    RECTL rects[8];
  } batch;
  BOOL more;
  do {
    more = CLIPOBJ_bEnum(pco, sizeof batch, &batch.c);
    call.clipRects.insert(call.clipRects.end(), batch.rects, batch.rects + batch.c);
  } while (more);
}

void RecordBrush(BRUSHOBJ* pbo, ULONG* colour, fakes::DrawCall& call) {
  if (pbo == nullptr) return;
  *colour = pbo->iSolidColor;
  if (pbo->iSolidColor == 0xFFFFFFFF) {
    if (auto* r = static_cast<Rbrush*>(BRUSHOBJ_pvGetRbrush(pbo))) {
      call.realizedHatch = r->hatch;
      call.realizedSize = r->size;
      call.realizedFormat = r->format;
      call.realizedTopRow = r->topRow;
      call.realizedColour1 = r->colour1;
    }
  }
}

void RecordLine(LINEATTRS* la, fakes::DrawCall& call) {
  if (la == nullptr) return;
  call.hasLineAttrs = true;
  call.lineAttrs = *la;
  if (la->pstyle != nullptr) call.style.assign(la->pstyle, la->pstyle + la->cstyle);
  call.lineAttrs.pstyle = call.style.data();
}

void RecordXform(XFORMOBJ* pxo, fakes::DrawCall& call) {
  if (pxo == nullptr) return;
  call.hasXform = true;
  (void)XFORMOBJ_iGetXform(pxo, &call.xform);
}

BOOL Keep(fakes::DrawCall call, bool refuse) {
  call.accepted = !refuse && !Fails(call.hook.c_str());
  bool accepted = call.accepted;
  g_state.draws.push_back(std::move(call));
  return accepted ? TRUE : FALSE;
}

BOOL StrokePath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pbo, POINTL*, LINEATTRS* la,
                MIX mix) {
  Check(pso, "StrokePath");
  fakes::DrawCall call;
  call.hook = "StrokePath";
  RecordPath(ppo, call);
  RecordClip(pco, call);
  RecordXform(pxo, call);
  RecordBrush(pbo, &call.brushColor, call);
  RecordLine(la, call);
  call.mix = mix;
  bool geometric = la != nullptr && (la->fl & LA_GEOMETRIC) != 0;
  return Keep(std::move(call), g_state.refuseLikePrinter && geometric);
}

BOOL FillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL*, MIX mix, FLONG options) {
  Check(pso, "FillPath");
  fakes::DrawCall call;
  call.hook = "FillPath";
  RecordPath(ppo, call);
  RecordClip(pco, call);
  RecordBrush(pbo, &call.brushColor, call);
  call.mix = mix;
  call.fillOptions = options;
  bool complex = pco != nullptr && pco->iDComplexity == DC_COMPLEX;
  return Keep(std::move(call), g_state.refuseLikePrinter && complex);
}

BOOL StrokeAndFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* stroke, LINEATTRS* la,
                       BRUSHOBJ* fill, POINTL*, MIX mix, FLONG options) {
  Check(pso, "StrokeAndFillPath");
  fakes::DrawCall call;
  call.hook = "StrokeAndFillPath";
  RecordPath(ppo, call);
  RecordClip(pco, call);
  RecordXform(pxo, call);
  RecordBrush(stroke, &call.brushColor, call);
  RecordBrush(fill, &call.fillBrushColor, call);
  RecordLine(la, call);
  call.mix = mix;
  call.fillOptions = options;
  bool geometric = la != nullptr && (la->fl & LA_GEOMETRIC) != 0;
  return Keep(std::move(call), g_state.refuseLikePrinter && geometric);
}

void RecordSource(SURFOBJ* src, XLATEOBJ* xlo, POINTL at, fakes::DrawCall& call) {
  if (src == nullptr) return;
  call.hasSource = true;
  call.sourceFormat = src->iBitmapFormat;
  call.sourceSize = src->sizlBitmap;
  call.sourcePoint = at;
  if (xlo != nullptr) call.xlateFlags = xlo->flXlate;
  if (src->iType == STYPE_BITMAP && at.x >= 0 && at.y >= 0 && at.x < src->sizlBitmap.cx && at.y < src->sizlBitmap.cy)
    call.firstColour = platform::engine::XlateColour(xlo, platform::engine::ReadPixel(*src, at.x, at.y));
}

BOOL BitBlt(SURFOBJ* trg, SURFOBJ* src, SURFOBJ* mask, CLIPOBJ* pco, XLATEOBJ* xlo, RECTL* rect, POINTL* srcAt,
            POINTL*, BRUSHOBJ* pbo, POINTL*, ROP4 rop4) {
  Check(trg, "BitBlt");
  fakes::DrawCall call;
  call.hook = "BitBlt";
  RecordClip(pco, call);
  RecordBrush(pbo, &call.brushColor, call);
  RecordSource(src, xlo, srcAt != nullptr ? *srcAt : POINTL{-1, -1}, call);
  call.hasMask = mask != nullptr;
  if (rect != nullptr) call.target = *rect;
  call.rop4 = rop4;
  return Keep(std::move(call), false);
}

BOOL CopyBits(SURFOBJ* dst, SURFOBJ* src, CLIPOBJ* pco, XLATEOBJ* xlo, RECTL* rect, POINTL* srcAt) {
  Check(dst, "CopyBits");
  fakes::DrawCall call;
  call.hook = "CopyBits";
  RecordClip(pco, call);
  RecordSource(src, xlo, srcAt != nullptr ? *srcAt : POINTL{-1, -1}, call);
  if (rect != nullptr) call.target = *rect;
  return Keep(std::move(call), false);
}

BOOL StretchBlt(SURFOBJ* dst, SURFOBJ* src, SURFOBJ* mask, CLIPOBJ* pco, XLATEOBJ* xlo, COLORADJUSTMENT*, POINTL*,
                RECTL* dstRect, RECTL* srcRect, POINTL*, ULONG mode) {
  Check(dst, "StretchBlt");
  fakes::DrawCall call;
  call.hook = "StretchBlt";
  RecordClip(pco, call);
  RecordSource(src, xlo, srcRect != nullptr ? POINTL{srcRect->left, srcRect->top} : POINTL{-1, -1}, call);
  if (srcRect != nullptr) call.sourceRect = *srcRect;
  if (dstRect != nullptr) call.target = *dstRect;
  call.hasMask = mask != nullptr;
  call.mode = mode;
  return Keep(std::move(call), false);
}

BOOL TransparentBlt(SURFOBJ* dst, SURFOBJ* src, CLIPOBJ* pco, XLATEOBJ* xlo, RECTL* dstRect, RECTL* srcRect,
                    ULONG key, ULONG) {
  Check(dst, "TransparentBlt");
  fakes::DrawCall call;
  call.hook = "TransparentBlt";
  RecordClip(pco, call);
  RecordSource(src, xlo, srcRect != nullptr ? POINTL{srcRect->left, srcRect->top} : POINTL{-1, -1}, call);
  if (srcRect != nullptr) call.sourceRect = *srcRect;
  if (dstRect != nullptr) call.target = *dstRect;
  call.transparentKey = key;
  return Keep(std::move(call), false);
}

BOOL GradientFill(SURFOBJ* dst, CLIPOBJ* pco, XLATEOBJ* xlo, TRIVERTEX*, ULONG nVertex, PVOID, ULONG nMesh,
                  RECTL* extents, POINTL*, ULONG mode) {
  Check(dst, "GradientFill");
  fakes::DrawCall call;
  call.hook = "GradientFill";
  RecordClip(pco, call);
  if (xlo != nullptr) call.xlateFlags = xlo->flXlate;
  if (extents != nullptr) call.target = *extents;
  call.vertices = nVertex;
  call.meshes = nMesh;
  call.mode = mode;
  return Keep(std::move(call), false);
}

BOOL TextOut(SURFOBJ* pso, STROBJ* str, FONTOBJ* font, CLIPOBJ* pco, RECTL* extra, RECTL* opaque, BRUSHOBJ* fore,
             BRUSHOBJ* back, POINTL*, MIX mix) {
  Check(pso, "TextOut");
  fakes::DrawCall call;
  call.hook = "TextOut";
  RecordClip(pco, call);
  RecordBrush(fore, &call.brushColor, call);
  call.mix = mix;
  if (str != nullptr) {
    call.positionsGiven = str->pgp != nullptr;
    call.accel = str->flAccel;
    call.charInc = str->ulCharInc;
    call.background = str->rclBkGround;
    if (str->pwszOrg != nullptr) call.text.assign(str->pwszOrg, str->cGlyphs);
    STROBJ_vEnumStart(str);
    ULONG c = 0;
    GLYPHPOS* gp = nullptr;
    BOOL more;
    do {
      more = STROBJ_bEnum(str, &c, &gp);
      for (ULONG i = 0; i < c; ++i) call.glyphs.push_back({gp[i].hg, nullptr, gp[i].ptl});
    } while (more);
  }
  if (font != nullptr) {
    call.fontUniq = font->iUniq;
    call.fontType = font->flFontType;
    if (IFIMETRICS* ifi = FONTOBJ_pifi(font)) {
      call.family = reinterpret_cast<const WCHAR*>(reinterpret_cast<const BYTE*>(ifi) + ifi->dpwszFamilyName);
      call.unitsPerEm = ifi->fwdUnitsPerEm;
      call.charSet = ifi->jWinCharSet;
    }
    if (XFORMOBJ* xo = FONTOBJ_pxoGetXform(font)) (void)XFORMOBJ_iGetXform(xo, &call.fontXform);
    (void)FONTOBJ_pvTrueTypeFontFile(font, &call.fontFileSize);
  }
  if (opaque != nullptr) {
    call.hasOpaque = true;
    call.opaque = *opaque;
    if (back != nullptr) call.opaqueColor = back->iSolidColor;
  }
  for (RECTL* r = extra; r != nullptr && (r->left | r->top | r->right | r->bottom) != 0; ++r) call.extras.push_back(*r);
  return Keep(std::move(call), g_state.refuseText);
}

BOOL ResetPDEV(DHPDEV oldPdev, DHPDEV newPdev) {
  Pdev* o = Of(oldPdev);
  Pdev* n = Of(newPdev);
  Log("ResetPDEV " + (o != nullptr ? std::to_string(o->id) : std::string("?")) + "->" +
      (n != nullptr ? std::to_string(n->id) : std::string("?")));
  return Fails("ResetPDEV") ? FALSE : TRUE;
}

// The printing application's program, as a driver finds it.
std::string Program() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string full(path, n);
  return full.substr(full.find_last_of("/\\") + 1);
}

BOOL StartDoc(SURFOBJ* pso, LPWSTR docName, DWORD jobId) {
  Log("StartDoc " + Id(pso, "StartDoc") + " doc=" + (docName != nullptr ? platform::Utf16ToUtf8(docName) : "(none)") +
      " job=" + std::to_string(jobId));
  if (g_state.logProgram) Log("Program " + Program());
  if (Pdev* p = pso != nullptr ? Of(pso->dhpdev) : nullptr) p->pagesSent = 0;
  return Fails("StartDoc") ? FALSE : TRUE;
}

BOOL StartPage(SURFOBJ* pso) {
  Log("StartPage " + Id(pso, "StartPage"));
  return Fails("StartPage") ? FALSE : TRUE;
}

// With RT7700_FAKE_DRIVER_WAIT=FILE the first page creates FILE and waits (at most a minute) until
// the job is cancelled, so a test can signal a run that is known to be printing.
void WaitForCancel(SURFOBJ* pso) {
  static bool waited = false;
  const char* marker = std::getenv("RT7700_FAKE_DRIVER_WAIT");
  if (marker == nullptr || waited) return;
  waited = true;
  if (FILE* f = std::fopen(marker, "w")) std::fclose(f);
  for (int i = 0; i < 6000 && !EngCheckAbort(pso); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

BOOL SendPage(SURFOBJ* pso) {
  Log("SendPage " + Id(pso, "SendPage"));
  if (Pdev* p = pso != nullptr ? Of(pso->dhpdev) : nullptr) ++p->pagesSent;
  WaitForCancel(pso);
  return Fails("SendPage") ? FALSE : TRUE;
}

BOOL EndDoc(SURFOBJ* pso, FLONG fl) {
  Log("EndDoc " + Id(pso, "EndDoc") + " flags=" + std::to_string(fl));
  return Fails("EndDoc") ? FALSE : TRUE;
}

// Echoes: the result is the input size plus 100, the output gets the input bytes, and the driver
// scribbles over its input to show the caller's buffer is not the one it was given.
ULONG Escape(SURFOBJ* pso, ULONG code, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut) {
  std::string id = Id(pso, "Escape");
  if (code >= static_cast<ULONG>(fakes::kEventEscapeBase) && code < static_cast<ULONG>(fakes::kEventEscapeBase) + 0x100) {
    Log("Escape " + id + " event=" + std::to_string(code - fakes::kEventEscapeBase));
    return 1;
  }
  Log("Escape " + id + " code=" + std::to_string(code) + " in=" + std::to_string(cjIn) + " out=" + std::to_string(cjOut));
  if (!g_state.decorationBlock.empty() && code >= 0x5001 && code <= 0x5004) {
    const std::vector<uint8_t>& block = g_state.decorationBlock;
    if (code == 0x5001) {
      if (pvOut == nullptr || cjOut != block.size()) return 0;
      std::memcpy(pvOut, block.data(), block.size());
    }
    if (code == 0x5004) {
      Pdev* p = Of(pso->dhpdev);
      if (pvOut == nullptr || cjOut < 4 || p == nullptr) return 0;
      std::memcpy(pvOut, &p->pagesSent, 4);
    }
    return 1;
  }
  if (pvOut != nullptr && pvIn != nullptr) std::memcpy(pvOut, pvIn, std::min(cjIn, cjOut));
  if (pvIn != nullptr) std::memset(pvIn, 0xEE, cjIn);
  return cjIn + 100;
}

DRVFN g_hooks[] = {
    {INDEX_DrvEnablePDEV, reinterpret_cast<PFN>(&EnablePDEV)},
    {INDEX_DrvCompletePDEV, reinterpret_cast<PFN>(&CompletePDEV)},
    {INDEX_DrvDisablePDEV, reinterpret_cast<PFN>(&DisablePDEV)},
    {INDEX_DrvEnableSurface, reinterpret_cast<PFN>(&EnableSurface)},
    {INDEX_DrvDisableSurface, reinterpret_cast<PFN>(&DisableSurface)},
    {INDEX_DrvResetPDEV, reinterpret_cast<PFN>(&ResetPDEV)},
    {INDEX_DrvStartDoc, reinterpret_cast<PFN>(&StartDoc)},
    {INDEX_DrvStartPage, reinterpret_cast<PFN>(&StartPage)},
    {INDEX_DrvSendPage, reinterpret_cast<PFN>(&SendPage)},
    {INDEX_DrvEndDoc, reinterpret_cast<PFN>(&EndDoc)},
    {INDEX_DrvEscape, reinterpret_cast<PFN>(&Escape)},
    {INDEX_DrvRealizeBrush, reinterpret_cast<PFN>(&RealizeBrush)},
    {INDEX_DrvStrokePath, reinterpret_cast<PFN>(&StrokePath)},
    {INDEX_DrvFillPath, reinterpret_cast<PFN>(&FillPath)},
    {INDEX_DrvStrokeAndFillPath, reinterpret_cast<PFN>(&StrokeAndFillPath)},
    {INDEX_DrvBitBlt, reinterpret_cast<PFN>(&BitBlt)},
    {INDEX_DrvCopyBits, reinterpret_cast<PFN>(&CopyBits)},
    {INDEX_DrvStretchBlt, reinterpret_cast<PFN>(&StretchBlt)},
    {INDEX_DrvTransparentBlt, reinterpret_cast<PFN>(&TransparentBlt)},
    {INDEX_DrvGradientFill, reinterpret_cast<PFN>(&GradientFill)},
    {INDEX_DrvTextOut, reinterpret_cast<PFN>(&TextOut)},
};

}  // namespace

extern "C" {

__attribute__((visibility("default"))) BOOL DrvEnableDriver(ULONG version, ULONG cj, DRVENABLEDATA* ded) {
  Log("EnableDriver " + std::to_string(version));
  // Runs of rt7700-print make the driver fail this way.
  if (const char* fail = std::getenv("RT7700_FAKE_DRIVER_FAIL")) g_state.failing.insert(fail);
  if (cj < sizeof(DRVENABLEDATA) || Fails("EnableDriver")) return FALSE;
  ded->iDriverVersion = DDI_DRIVER_VERSION_NT5;
  ded->c = static_cast<ULONG>(std::size(g_hooks));
  ded->pdrvfn = g_hooks;
  return TRUE;
}

__attribute__((visibility("default"))) void DrvDisableDriver() { Log("DisableDriver"); }

__attribute__((visibility("default"))) fakes::DriverState* FakeDriverState() { return &g_state; }
}
