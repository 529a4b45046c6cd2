// DrvEscape: the standard queries and the private codes through which the interface library reads
// the watermark and overlay settings, the page number and the poster layout, and marks the
// drawing of a decoration.
#include <cstring>

#include "hooks.h"
#include "pdev.h"

namespace render {
namespace {

constexpr ULONG kPosterQuery = 6002;
constexpr ULONG kReadOverlay = 0x4001;
constexpr ULONG kClearOverlay = 0x4003;
constexpr ULONG kReadDecoration = 0x5001;
constexpr ULONG kBeginDecoration = 0x5002;
constexpr ULONG kEndDecoration = 0x5003;
constexpr ULONG kPageNumber = 0x5004;
constexpr ULONG kLargestCopyCount = 999;
constexpr char kTechnology[] = "PCL5c";

ULONG QuerySupport(ULONG cjIn, const void* pvIn) {
  if (pvIn == nullptr || cjIn < sizeof(uint16_t)) return 0;
  uint16_t code;
  std::memcpy(&code, pvIn, sizeof code);
  switch (code) {
    case SETCOPYCOUNT: return kLargestCopyCount;
    case QUERYESCSUPPORT:
    case GETTECHNOLOGY:
    case kPosterQuery:
    case kReadOverlay:
    case kClearOverlay:
    case kReadDecoration:
    case kBeginDecoration:
    case kEndDecoration:
    case kPageNumber: return 1;
    default: return 0;
  }
}

void Store32(void* out, int32_t v) { std::memcpy(out, &v, sizeof v); }

}  // namespace

ULONG DrvEscape(SURFOBJ* pso, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut) {
  if (iEsc == QUERYESCSUPPORT) return QuerySupport(cjIn, pvIn);
  if (iEsc == GETTECHNOLOGY) {
    if (pvOut == nullptr || cjOut <= 5) return 0;
    std::memcpy(pvOut, kTechnology, sizeof kTechnology);
    return 1;
  }
  Pdev* pdev = ValidPdev(pso);
  if (pdev == nullptr) return 0;
  devmode::RenderPrivate& p = pdev->settings.priv;
  switch (iEsc) {
    case kPosterQuery:
      if (pvOut == nullptr || cjOut < sizeof(int32_t)) return 0;
      Store32(pvOut, p.LayoutMode == devmode::kLayoutPoster ? 1 : 0);
      return 1;
    case kReadOverlay:
      if (pvOut == nullptr || cjOut != sizeof(devmode::OverlayBlock)) return 0;
      if (p.overlay.mode == 2) {
        std::memcpy(pvOut, &p.overlay, sizeof p.overlay);
      } else {
        const uint16_t none = 0;
        std::memcpy(pvOut, &none, sizeof none);
      }
      return 1;
    case kClearOverlay:
      if (pvIn == nullptr) return 0;
      std::memset(&p.overlay, 0, sizeof p.overlay);
      return 1;
    case kReadDecoration:
      if (pvOut == nullptr || cjOut != sizeof(devmode::DecorationBlock)) return 0;
      std::memcpy(pvOut, &p.decoration, sizeof p.decoration);
      return 1;
    case kBeginDecoration:
      pdev->doc.OutputFlags |= kDecorationMode;
      return 1;
    case kEndDecoration:
      pdev->doc.OutputFlags &= ~kDecorationMode;
      return 1;
    case kPageNumber:
      if (pvOut == nullptr || cjOut < sizeof(int32_t)) return 0;
      Store32(pvOut, pdev->doc.pageCounter);
      return 1;
    default: return 0;
  }
}

}  // namespace render
