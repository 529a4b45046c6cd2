// Cosmetic line attributes in HP-GL/2: round ends and joins, the pen width in millimetres and
// dashed lines as user line types, kept in eight slots that are defined once per page.
#include <cstring>

#include "devmode/tracked_alloc.h"
#include "graphics/graphics.h"

namespace render {
namespace {

constexpr char kRoundEndsAndJoins[] = "LA2,4LA1,4";  // line attributes: round joins, round ends
constexpr char kWidthInMillimetres[] = "WU0";        // pen widths in millimetres
constexpr char kPenWidthPrefix[] = "PW0.";           // pen width, fraction of a millimetre follows
constexpr char kUserLineType[] = "UL%d";             // user-defined line type: slot, then gaps
constexpr char kUserLineTypeElement[] = ",%d";
constexpr int kRoundCap = 4;

int32_t Resolution(const Pdev& pdev) {
  return pdev.settings.pub.dmPrintQuality > 0 ? pdev.settings.pub.dmPrintQuality : 600;
}

// The slot (1 to 8) holding this style, defining it when new; `defined` tells which.
int FindOrDefineStyle(Pdev& pdev, const LINEATTRS& la, bool* defined, int32_t* patternLength) {
  HpglLineState& s = pdev.lines;
  const int32_t resolution = Resolution(pdev);
  const int32_t unit = resolution / 50;
  const auto count = static_cast<int32_t>(la.cstyle);
  int slot = 0;
  for (int i = 0; i < kLineStyleSlots; ++i) {
    const LineStyle* st = s.styles[i];
    if (st == nullptr) {
      slot = i + 1;
      break;
    }
    if (st->count != count) continue;
    bool same = true;
    for (int32_t k = 0; k < count && same; ++k) same = st->elements[k] == la.pstyle[k].l * unit;
    if (same) {
      *defined = false;
      *patternLength = st->patternLength;
      return i + 1;
    }
  }
  if (slot == 0) slot = s.styleReplacements % kLineStyleSlots + 1;
  LineStyle*& place = s.styles[slot - 1];
  if (place != nullptr) devmode::TrackedFree(place);
  place = nullptr;
  ++s.styleReplacements;
  auto* st = static_cast<LineStyle*>(devmode::TrackedAlloc(sizeof(LineStyle) + sizeof(int32_t) * count));
  if (st == nullptr) return 0;  // drawn solid
  st->count = count;
  int64_t sum = 0;
  EnterHpgl2(pdev, 0);
  WriteCommand(pdev, kUserLineType, slot);
  for (int32_t k = 0; k < count; ++k) {
    st->elements[k] = la.pstyle[k].l * unit;
    sum += st->elements[k];
    WriteCommand(pdev, kUserLineTypeElement, st->elements[k]);
  }
  st->patternLength = static_cast<int32_t>(static_cast<float>(sum) * 2540.0f / static_cast<float>(resolution * 100));
  place = st;
  *defined = true;
  *patternLength = st->patternLength;
  return slot;
}

}  // namespace

void ResetLineState(Pdev& pdev) {
  HpglLineState& s = pdev.lines;
  for (LineStyle*& st : s.styles) {
    if (st != nullptr) devmode::TrackedFree(st);
    st = nullptr;
  }
  s.lineEnd = 1;
  s.lineJoin = 1;
  s.penWidth = 3;
  s.lineType = -2;
  s.styleReplacements = 0;
}

int32_t PenWidthMicrons(int32_t widthPixels, int32_t resolution) {
  // Single precision throughout: the digits sent depend on it (1 pixel at 600 dpi is 42333).
  const float perPixel = static_cast<float>(widthPixels * 10) / static_cast<float>(resolution * 10);
  const float millimetres = perPixel * 254.0f;
  return static_cast<int32_t>(millimetres * 100000.0f);
}

int SelectLineAttributes(Pdev& pdev, const LINEATTRS* pla) {
  if (pla == nullptr || (pla->fl & LA_GEOMETRIC) != 0) return 0;
  HpglLineState& s = pdev.lines;
  EnterHpgl2(pdev, 0);
  if (s.lineEnd != kRoundCap && s.lineJoin != kRoundCap) {
    WriteCommand(pdev, kRoundEndsAndJoins);
    s.lineEnd = s.lineJoin = kRoundCap;
  }
  const int32_t width = pla->elWidth.l;
  if (width != s.penWidth) {
    WriteCommand(pdev, kWidthInMillimetres);
    s.penWidth = width;
    WriteCommand(pdev, kPenWidthPrefix);
    int32_t n = PenWidthMicrons(width, Resolution(pdev));
    for (int32_t d = 100000; d >= 1 && n != 0; d /= 10) {
      WriteCommand(pdev, "%d", n / d);
      n %= d;
    }
  }
  if (pla->pstyle != nullptr && pla->cstyle > 0) {
    bool defined = false;
    int32_t length = 0;
    const int slot = FindOrDefineStyle(pdev, *pla, &defined, &length);
    if (slot == 0) {
      if (s.lineType != -1) {
        s.lineType = -1;
        SetLineType(pdev, 0, 0);
      }
    } else if (defined || slot != s.lineType) {
      s.lineType = slot;
      SetLineType(pdev, slot, length);
    }
  } else if (s.lineType != -1) {
    s.lineType = -1;
    SetLineType(pdev, 0, 0);
  }
  return 1;
}

}  // namespace render
