// HP-GL/2 and PCL state commands with a one-value cache each, and the numeric helpers the
// graphics modules share (ROP translation, polyline encoding, angles).
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "pdev.h"

namespace render {
namespace {

constexpr char kInputWindow[] = "IW%d,%d,%d,%d";  // HP-GL/2 input window
constexpr char kInputWindowOff[] = "IW";          // HP-GL/2 input window: whole picture frame
constexpr char kLineType[] = "LT%d,%d,1";         // HP-GL/2 line type, pattern length in mm
constexpr char kLineTypeSolid[] = "LT";           // HP-GL/2 solid line
constexpr char kScreenedVectorsOff[] = "SV";      // HP-GL/2 screened vectors: solid
constexpr char kScreenedVectorsShade[] = "SV1,%d";
constexpr char kScreenedVectorsPattern[] = "SV2";
constexpr char kScreenedVectorsUser[] = "SV21,%d";
constexpr char kScreenedVectorsPcl[] = "SV22,%d";
constexpr char kFillTypeSolid[] = "FT";  // HP-GL/2 fill type: solid
constexpr char kFillTypeShade[] = "FT10,%d";
constexpr char kFillTypeHatch[] = "FT11,%d";
constexpr char kFillTypeUser[] = "FT21,%d";
constexpr char kFillTypePcl[] = "FT22,%d";
constexpr char kMergeControl[] = "MC1,%d";              // HP-GL/2 merge control (raster operation)
constexpr char kSourceTransparency[] = "\x1b*v%dN";     // PCL source transparency mode
constexpr char kPatternTransparency[] = "\x1b*v%dO";    // PCL pattern transparency mode
constexpr char kLogicalOperation[] = "\x1b*l%dO";       // PCL logical operation (ROP3)
constexpr char kPenUp[] = "PU%d,%d";                    // HP-GL/2 pen up to a point
constexpr char kRasterPresentation[] = "\x1b*r0F";      // PCL raster follows the logical page

constexpr uint8_t kRopNibbles[16] = {0xFF, 0x00, 0x05, 0x0A, 0x0F, 0x50, 0x55, 0x5A,
                                     0x5F, 0xA0, 0xA5, 0xAA, 0xAF, 0xF0, 0xF5, 0xFA};
constexpr uint8_t kTransparentRop = 0xA0;  // D AND S: white source leaves the page untouched
constexpr uint8_t kOpaqueRop = 0xF0;       // pattern copy

// tan(k degrees) and sin(k degrees) times 10000, rounded; index 0 is 0.
const std::array<int32_t, 46>& TanTable() {
  static const std::array<int32_t, 46> t = [] {
    std::array<int32_t, 46> a{};
    for (int k = 1; k <= 45; ++k) a[k] = static_cast<int32_t>(std::lround(std::tan(k * M_PI / 180) * 10000));
    return a;
  }();
  return t;
}

const std::array<int32_t, 91>& SinTable() {
  static const std::array<int32_t, 91> t = [] {
    std::array<int32_t, 91> a{};
    for (int k = 1; k <= 90; ++k) a[k] = static_cast<int32_t>(std::lround(std::sin(k * M_PI / 180) * 10000));
    return a;
  }();
  return t;
}

// sin of 0 to 900 tenths of a degree, times 10000.
int32_t SinTenths(int tenths) {
  const auto& s = SinTable();
  int k = tenths / 10, frac = tenths % 10;
  if (k >= 90) return s[90];
  return s[k] + static_cast<int32_t>(std::lround((s[k + 1] - s[k]) * frac / 10.0));
}

}  // namespace

bool ForcedTransparent(const Pdev& pdev) {
  return (pdev.doc.OutputFlags & kDecorationMode) != 0 || pdev.doc.watermarkProgram != 0;
}

void ResetGraphicsCaches(Pdev& pdev) {
  GraphicsCaches& c = pdev.caches;
  c.rop = 255;
  c.sourceTransparency = 255;
  c.patternTransparency = 255;
  std::memset(c.clip, 0, sizeof c.clip);
  c.clipValid = 0;
  c.fillKind = -1;
  c.fillValue = 0;
  c.screenedKind = -1;
  c.screenedValue = 0;
}

int SetInputWindowRaw(Pdev& pdev, int x1, int y1, int x2, int y2) {
  EnterHpgl2(pdev, 0);
  return WriteCommand(pdev, kInputWindow, x1, y1, x2, y2);
}

int SetClipWindow(Pdev& pdev, const RECTL* rect) {
  GraphicsCaches& c = pdev.caches;
  if (rect == nullptr) {
    if (!c.clipValid) return 1;
    c.clipValid = 0;
    std::memset(c.clip, 0, sizeof c.clip);
    EnterHpgl2(pdev, 0);
    return WriteCommand(pdev, kInputWindowOff);
  }
  if (c.clipValid && c.clip[0] == rect->left && c.clip[1] == rect->top && c.clip[2] == rect->right &&
      c.clip[3] == rect->bottom)
    return 1;
  EnterHpgl2(pdev, 0);
  // The binding margin moves one edge: the left one for portrait pages, the top one for landscape.
  RECTL r = *rect;
  const LONG shift = pdev.settings.priv.bindingShift;
  if (shift != 0) {
    if (pdev.doc.orientation == 1) {
      r.left += shift;
    } else {
      r.top += shift;
    }
  }
  // The unshifted rectangle is kept, so the same window is not sent again.
  c.clip[0] = rect->left;
  c.clip[1] = rect->top;
  c.clip[2] = rect->right;
  c.clip[3] = rect->bottom;
  c.clipValid = 1;
  return WriteCommand(pdev, kInputWindow, r.left, r.bottom, r.right, r.top);
}

int SetLineType(Pdev& pdev, int pattern, int length) {
  EnterHpgl2(pdev, 0);
  return pattern != 0 ? WriteCommand(pdev, kLineType, pattern, length) : WriteCommand(pdev, kLineTypeSolid);
}

int SetScreenedVectors(Pdev& pdev, int type, int level) {
  if (type != 0 && type != 1 && type != 2 && type != 21 && type != 22) return 0;
  const int value = type == 0 || type == 2 ? 0 : level;
  GraphicsCaches& c = pdev.caches;
  EnterHpgl2(pdev, 0);
  if (c.screenedKind == type && c.screenedValue == value) return 1;
  c.screenedKind = static_cast<int16_t>(type);
  c.screenedValue = value;
  switch (type) {
    case 0: return WriteCommand(pdev, kScreenedVectorsOff);
    case 1: return WriteCommand(pdev, kScreenedVectorsShade, level);
    case 2: return WriteCommand(pdev, kScreenedVectorsPattern);
    case 21: return WriteCommand(pdev, kScreenedVectorsUser, level);
    default: return WriteCommand(pdev, kScreenedVectorsPcl, level);
  }
}

int SetFillType(Pdev& pdev, int type, int value) {
  if (type != 0 && type != 10 && type != 11 && type != 21 && type != 22) return 0;
  const int kept = type == 0 ? 0 : value;
  GraphicsCaches& c = pdev.caches;
  EnterHpgl2(pdev, 0);
  if (c.fillKind == type && c.fillValue == kept) return 1;
  c.fillKind = static_cast<int16_t>(type);
  c.fillValue = kept;
  switch (type) {
    case 0: return WriteCommand(pdev, kFillTypeSolid);
    case 10: return WriteCommand(pdev, kFillTypeShade, value);
    case 11: return WriteCommand(pdev, kFillTypeHatch, value);
    case 21: return WriteCommand(pdev, kFillTypeUser, value);
    default: return WriteCommand(pdev, kFillTypePcl, value);
  }
}

int SetMergeControl(Pdev& pdev, int defaultCode, MIX mix) {
  int value;
  if (ForcedTransparent(pdev)) {
    value = pdev.settings.priv.decoration.OverlayTransparent ? kTransparentRop : kOpaqueRop;
  } else if (mix != 0) {
    value = kRopNibbles[(mix & 0xFF) % 16] & kRopNibbles[((mix >> 8) & 0xFF) % 16];
  } else if (!pdev.settings.priv.VectorGraphics) {
    value = TranslateRopToSource(defaultCode & 0xFF);
  } else {
    value = defaultCode & 0xFF;
  }
  if (pdev.caches.rop == static_cast<uint8_t>(value)) return 1;
  pdev.caches.rop = static_cast<uint8_t>(value);
  EnterHpgl2(pdev, 0);
  return WriteCommand(pdev, kMergeControl, value);
}

int SetPclRasterOps(Pdev& pdev, int sourceTransparency, int patternTransparency, int rop) {
  GraphicsCaches& c = pdev.caches;
  if (ForcedTransparent(pdev)) {
    const bool vector = pdev.settings.priv.VectorGraphics != 0;
    if (pdev.settings.priv.decoration.WatermarkIndex == 0) {
      rop = vector ? kOpaqueRop : 0xCC;
    } else {
      rop = vector ? kTransparentRop : 0x88;
    }
  }
  EnterPcl(pdev, 0);
  int ok = 1;
  if (c.sourceTransparency != static_cast<uint8_t>(sourceTransparency)) {
    c.sourceTransparency = static_cast<uint8_t>(sourceTransparency);
    EnterPcl(pdev, 0);
    ok &= WriteCommand(pdev, kSourceTransparency, sourceTransparency);
  }
  if (c.patternTransparency != static_cast<uint8_t>(patternTransparency)) {
    c.patternTransparency = static_cast<uint8_t>(patternTransparency);
    EnterPcl(pdev, 0);
    ok &= WriteCommand(pdev, kPatternTransparency, patternTransparency);
  }
  if (c.rop != static_cast<uint8_t>(rop)) {
    c.rop = static_cast<uint8_t>(rop);
    EnterPcl(pdev, 0);
    ok &= WriteCommand(pdev, kLogicalOperation, rop);
  }
  return ok;
}

int MovePenUp(Pdev& pdev, int x, int y) {
  EnterHpgl2(pdev, 1);
  return WriteCommand(pdev, kPenUp, x, y);
}

int SetRasterPresentation(Pdev& pdev) {
  EnterPcl(pdev, 0);
  return WriteCommand(pdev, kRasterPresentation);
}

int TranslateRopToSource(int rop) {
  switch (rop) {
    case 5: return 0x11;
    case 10: return 0x22;
    case 15: return 0x33;
    case 80: return 0x44;
    case 90: return 0x66;
    case 95: return 0x77;
    case 160: return 0x88;
    case 165: return 0x99;
    case 175: return 0xBB;
    case 240: return 0xCC;
    case 245: return 0xDD;
    case 250: return 0xEE;
    default: return rop;
  }
}

int RopForMix(MIX mix) { return kRopNibbles[mix % 16]; }

int EncodePolylinePair(int32_t x, int32_t y, char* out) {
  int n = 0;
  for (int32_t v : {x, y}) {
    uint64_t u = v >= 0 ? 2 * static_cast<uint64_t>(v) : 1 + 2 * static_cast<uint64_t>(-static_cast<int64_t>(v));
    while (u >= 64) {
      out[n++] = static_cast<char>((u & 63) + 63);
      u >>= 6;
    }
    out[n++] = static_cast<char>(static_cast<unsigned char>(u + 191));
  }
  out[n] = 0;
  return n;
}

int VectorAngle(int32_t dx, int32_t dy) {
  int64_t ax = std::llabs(dx), ay = std::llabs(dy);
  if (ax == 0 && ay == 0) return 0;
  int64_t small = ax < ay ? ax : ay, large = ax < ay ? ay : ax;
  auto ratio = static_cast<int32_t>(small * 10000 / large);
  const auto& t = TanTable();
  int lo = 0, hi = 45;  // t[lo] <= ratio <= t[hi]
  while (hi - lo > 1) {
    int mid = (lo + hi) / 2;
    (t[mid] <= ratio ? lo : hi) = mid;
  }
  int a = lo * 10 + static_cast<int>((ratio - t[lo]) * 10 / (t[hi] - t[lo]));
  if (ay > ax) a = 900 - a;
  if (dx >= 0 && dy >= 0) return a;
  if (dx < 0 && dy >= 0) return 1800 - a;
  if (dx < 0) return 1800 + a;
  return a == 0 ? 0 : 3600 - a;
}

void VectorFromAngle(int angleTenths, int32_t length, int32_t* dx, int32_t* dy) {
  int a = angleTenths % 3600;
  if (a < 0) a += 3600;
  int quadrant = a / 900, r = a % 900;
  int64_t s = SinTenths(r), c = SinTenths(900 - r);
  auto scale = [length](int64_t v) { return static_cast<int32_t>(std::llround(static_cast<double>(v) * length / 10000.0)); };
  int32_t x = scale(c), y = scale(s);
  switch (quadrant) {
    case 0: *dx = x; *dy = y; break;
    case 1: *dx = -y; *dy = x; break;
    case 2: *dx = -x; *dy = -y; break;
    default: *dx = y; *dy = -x; break;
  }
}

}  // namespace render
