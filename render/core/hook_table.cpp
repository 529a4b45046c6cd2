// The exports and the hook table, one slot per hook the engine may call.
#include <cstring>

#include "devmode/trace.h"
#include "graphics/graphics.h"
#include "hooks.h"
#include "pdev.h"
#include "text/text_fonts.h"
#include "text/text_output.h"
#include "win/error.h"

namespace render {
namespace {

constexpr ULONG kHookCount = 25;

template <typename F>
PFN Fn(F f) {
  return reinterpret_cast<PFN>(f);
}

DRVFN g_hooks[kHookCount] = {
    {INDEX_DrvEnablePDEV, Fn(&DrvEnablePDEV)},
    {INDEX_DrvCompletePDEV, Fn(&DrvCompletePDEV)},
    {INDEX_DrvDisablePDEV, Fn(&DrvDisablePDEV)},
    {INDEX_DrvResetPDEV, Fn(&DrvResetPDEV)},
    {INDEX_DrvEnableSurface, Fn(&DrvEnableSurface)},
    {INDEX_DrvDisableSurface, Fn(&DrvDisableSurface)},
    {INDEX_DrvStartDoc, Fn(&DrvStartDoc)},
    {INDEX_DrvStartPage, Fn(&DrvStartPage)},
    {INDEX_DrvEndDoc, Fn(&DrvEndDoc)},
    {INDEX_DrvSendPage, Fn(&DrvSendPage)},
    {INDEX_DrvRealizeBrush, Fn(&DrvRealizeBrush)},
    {INDEX_DrvBitBlt, Fn(&DrvBitBlt)},
    {INDEX_DrvCopyBits, Fn(&DrvCopyBits)},
    {INDEX_DrvStretchBlt, Fn(&DrvStretchBlt)},
    {INDEX_DrvGradientFill, Fn(&DrvGradientFill)},
    {INDEX_DrvTransparentBlt, Fn(&DrvTransparentBlt)},
    {INDEX_DrvEscape, Fn(&DrvEscape)},
    {INDEX_DrvDrawEscape, Fn(&DrvDrawEscape)},
    {INDEX_DrvQueryAdvanceWidths, Fn(&DrvQueryAdvanceWidths)},
    {INDEX_DrvStrokePath, Fn(&DrvStrokePath)},
    {INDEX_DrvFillPath, Fn(&DrvFillPath)},
    {INDEX_DrvStrokeAndFillPath, Fn(&DrvStrokeAndFillPath)},
    {INDEX_DrvQueryFont, Fn(&DrvDrawEscape)},  // the same "nothing to report" function
    {INDEX_DrvQueryFontData, Fn(&DrvQueryFontData)},
    {INDEX_DrvTextOut, Fn(&DrvTextOut)},
};

}  // namespace
}  // namespace render

extern "C" BOOL DrvEnableDriver(ULONG iEngineVersion, ULONG cj, DRVENABLEDATA* pded) {
  if (iEngineVersion < DDI_DRIVER_VERSION_NT4 || cj < sizeof(DRVENABLEDATA) || pded == nullptr) return FALSE;
  pded->iDriverVersion = iEngineVersion >= DDI_DRIVER_VERSION_NT5 ? DDI_DRIVER_VERSION_NT5 : DDI_DRIVER_VERSION_NT4;
  pded->c = render::kHookCount;
  pded->pdrvfn = render::g_hooks;
  return TRUE;
}

extern "C" void DrvDisableDriver() {}

extern "C" BOOL DrvQueryDriverInfo(DWORD dwMode, PVOID pBuffer, DWORD cbBuf, PDWORD pcbNeeded) {
  if (dwMode != DRVQUERY_USERMODE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (pcbNeeded != nullptr) *pcbNeeded = sizeof(DWORD);
  if (pBuffer == nullptr || cbBuf < sizeof(DWORD)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  const DWORD userMode = 1;
  std::memcpy(pBuffer, &userMode, sizeof userMode);
  return TRUE;
}

extern "C" BOOL DllEntryPoint(HMODULE, DWORD, LPVOID) { return TRUE; }
