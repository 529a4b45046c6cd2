// The path hooks: engine paths become HP-GL/2 pen moves, Béziers and polygons, and strokes under a
// complex clip become the engine's clipped runs as polyline-encoded lines.
#include <charconv>
#include <cstdlib>

#include "graphics/graphics.h"

namespace render {
namespace {

constexpr char kPenUp[] = "PU%d,%d";             // pen up to the subpath's start
constexpr char kPenDown[] = "PD";                // pen down, points follow
constexpr char kBezier[] = "BZ";                 // cubic Bézier, three points follow
constexpr char kPolygonStart[] = "PM0";          // polygon mode: start
constexpr char kPolygonNext[] = "PM1";           // polygon mode: close this subpolygon, start another
constexpr char kPolygonEnd[] = "PM2";            // polygon mode: close and end
constexpr char kCloseFigure[] = "PD%d,%d,%d,%d;";  // the closing segment of a figure
constexpr char kFillEvenOdd[] = "FP";            // fill the polygon, even-odd
constexpr char kFillWinding[] = "FP1";           // fill the polygon, non-zero winding
constexpr char kEdgePolygon[] = "EP";            // outline the polygon
constexpr char kEncodedMoveAbsolute[] = "PE=<";  // polyline encoded: absolute, pen up
constexpr char kEncodedLine[] = "PE";            // polyline encoded: relative, pen down
constexpr ULONG kPointsPerChunk = 1024;
constexpr ULONG kClipLineBytes = 432;  // one line and up to 51 runs

int32_t Pixel(FIX v) { return v >> 4; }

// "x,y" of a point in pixels.
void WritePoint(Pdev& pdev, const POINTFIX& p, bool separator) {
  char text[32];
  char* end = std::to_chars(text, text + 12, Pixel(p.x)).ptr;
  *end++ = ',';
  end = std::to_chars(end, end + 12, Pixel(p.y)).ptr;
  if (separator) *end++ = ',';
  WriteBytes(pdev, text, static_cast<uint32_t>(end - text));
}

void WriteText(Pdev& pdev, const char* text) { WriteBytes(pdev, text, 0); }

void WriteLines(Pdev& pdev, const POINTFIX* points, ULONG count) {
  for (ULONG first = 0; first < count; first += kPointsPerChunk) {
    const ULONG end = count - first < kPointsPerChunk ? count : first + kPointsPerChunk;
    WriteText(pdev, kPenDown);
    for (ULONG i = first; i < end; ++i) WritePoint(pdev, points[i], i + 1 < end);
  }
}

void WriteCurves(Pdev& pdev, const POINTFIX* points, ULONG count) {
  for (ULONG i = 0; i < count; i += 3) {
    WriteText(pdev, kPenDown);
    WriteText(pdev, kBezier);
    WritePoint(pdev, points[i], true);
    WritePoint(pdev, points[i + 1], true);
    WritePoint(pdev, points[i + 2], i + 3 < count);
  }
}

// Windows' MulDiv: rounded half away from zero.
LONG MulDivRound(LONG a, LONG b, LONG c) {
  if (c == 0) return 0;
  const int64_t p = static_cast<int64_t>(a) * b;
  const int64_t q = (std::llabs(p) + std::llabs(static_cast<int64_t>(c)) / 2) / std::llabs(static_cast<int64_t>(c));
  return static_cast<LONG>((p < 0) != (c < 0) ? -q : q);
}

void WriteEncoded(Pdev& pdev, const char* command, int32_t x, int32_t y) {
  char pair[16];
  const int n = EncodePolylinePair(x, y, pair);
  WriteText(pdev, command);
  WriteBytes(pdev, pair, static_cast<uint32_t>(n));
  WriteBytes(pdev, ";", 1);
}

void WriteRun(Pdev& pdev, const CLIPLINE& line, const RUN& run) {
  const FIX dx = line.ptfxB.x - line.ptfxA.x, dy = line.ptfxB.y - line.ptfxA.y;
  const LONG adx = std::labs(dx), ady = std::labs(dy);
  const LONG sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
  const LONG s = run.iStart * 16, t = run.iStop * 16;
  FIX x0, y0, x1, y1;
  if (adx >= ady) {
    x0 = line.ptfxA.x + sx * s;
    y0 = line.ptfxA.y + sy * MulDivRound(s, ady, adx);
    x1 = line.ptfxA.x + sx * t;
    y1 = line.ptfxA.y + sy * MulDivRound(t, ady, adx);
  } else {
    y0 = line.ptfxA.y + sy * s;
    x0 = line.ptfxA.x + sx * MulDivRound(s, adx, ady);
    y1 = line.ptfxA.y + sy * t;
    x1 = line.ptfxA.x + sx * MulDivRound(t, adx, ady);
  }
  WriteEncoded(pdev, kEncodedMoveAbsolute, Pixel(x0), Pixel(y0));
  WriteEncoded(pdev, kEncodedLine, (x1 - x0) >> 4, (y1 - y0) >> 4);
}

// The common start of the three path hooks.
Pdev* BeginPathHook(SURFOBJ* pso, MIX mix) {
  Pdev* pdev = ValidPdev(pso);
  if (pdev == nullptr) return nullptr;
  if (pdev->caches.CurrentLanguage == kLanguagePcl) EnterHpgl2(*pdev, 0);
  SetMergeControl(*pdev, 0, mix);
  return pdev;
}

void WriteFill(Pdev& pdev, FLONG options) { WriteText(pdev, (options & FP_ALTERNATEMODE) ? kFillEvenOdd : kFillWinding); }

}  // namespace

int WriteHpglPath(Pdev& pdev, PATHOBJ* ppo, bool polygonMode) {
  PATHOBJ_vEnumStart(ppo);
  POINTFIX start{}, last{};
  bool firstSubpath = true, curvesSeen = false, more;
  EnterHpgl2(pdev, 0);
  do {
    PATHDATA pd{};
    more = PATHOBJ_bEnum(ppo, &pd) != FALSE;
    const POINTFIX* points = pd.pptfx;
    ULONG count = points != nullptr ? pd.count : 0;
    if ((pd.flags & PD_BEGINSUBPATH) && count > 0) {
      start = last = points[0];
      WriteCommand(pdev, kPenUp, Pixel(start.x), Pixel(start.y));
      ++points;
      --count;
      if (polygonMode && firstSubpath) {
        WriteText(pdev, kPolygonStart);
        firstSubpath = false;
      }
    }
    if ((pd.flags & PD_BEZIERS) && count % 3 != 0) return 0;
    if (count > 0) {
      if (pd.flags & PD_BEZIERS) {
        curvesSeen = true;
        WriteCurves(pdev, points, count);
      } else {
        WriteLines(pdev, points, count);
      }
      last = points[count - 1];
    }
    if (pd.flags & PD_ENDSUBPATH) {
      // Once a curve was drawn no figure of this path gets its closing segment.
      if ((pd.flags & PD_CLOSEFIGURE) && !curvesSeen)
        WriteCommand(pdev, kCloseFigure, Pixel(last.x), Pixel(last.y), Pixel(start.x), Pixel(start.y));
      if (more && polygonMode) WriteText(pdev, kPolygonNext);
    }
  } while (more);
  if (polygonMode) WriteText(pdev, kPolygonEnd);
  return 1;
}

int WriteClippedLines(Pdev& pdev, SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, LINEATTRS* pla) {
  if (pla == nullptr || (pla->fl & LA_GEOMETRIC) || (ppo->fl & PO_BEZIERS)) return 0;
  // Runs are cut to the region already; a window would cut them again, except on an enlarged page
  // where the window keeps the enlargement on the sheet.
  if (pdev.settings.priv.ScalePercent <= 100) SetClipWindow(pdev, nullptr);
  PATHOBJ_vEnumStartClipLines(ppo, pco, pso, pla);
  alignas(CLIPLINE) uint8_t buffer[kClipLineBytes];
  auto* line = reinterpret_cast<CLIPLINE*>(buffer);
  const ULONG maxRuns = (kClipLineBytes - offsetof(CLIPLINE, arun)) / sizeof(RUN);
  EnterHpgl2(pdev, 0);
  bool more;
  do {
    line->c = 0;
    more = PATHOBJ_bEnumClipLines(ppo, kClipLineBytes, line) != FALSE;
    if (line->ptfxA.x == line->ptfxB.x && line->ptfxA.y == line->ptfxB.y) continue;
    const ULONG runs = line->c < maxRuns ? line->c : maxRuns;
    for (ULONG i = 0; i < runs; ++i) WriteRun(pdev, *line, line->arun[i]);
  } while (more);
  return 1;
}

BOOL DrvStrokePath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ*, BRUSHOBJ* pbo, POINTL*, LINEATTRS* pla,
                   MIX mix) {
  Pdev* pdev = BeginPathHook(pso, mix);
  if (pdev == nullptr || ppo == nullptr) return FALSE;
  if (pbo == nullptr || !SelectBrush(*pdev, pbo, nullptr, kStrokePen) || !SelectLineAttributes(*pdev, pla))
    return FALSE;
  if (pco != nullptr && pco->iDComplexity == DC_COMPLEX) return WriteClippedLines(*pdev, pso, ppo, pco, pla);
  SetWindowFromClip(*pdev, pco, nullptr);
  return WriteHpglPath(*pdev, ppo, false);
}

BOOL DrvFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* pptlBrushOrg, MIX mix,
                 FLONG flOptions) {
  Pdev* pdev = BeginPathHook(pso, mix);
  if (pdev == nullptr || ppo == nullptr) return FALSE;
  if (pbo == nullptr || !SelectBrush(*pdev, pbo, pptlBrushOrg, kFill)) return FALSE;
  // A region the window cannot hold goes back to the engine, which fills it as rectangles.
  if (pco != nullptr && pco->iDComplexity == DC_COMPLEX) return FALSE;
  SetWindowFromClip(*pdev, pco, nullptr);
  if (!WriteHpglPath(*pdev, ppo, true)) return FALSE;
  WriteFill(*pdev, flOptions);
  return TRUE;
}

BOOL DrvStrokeAndFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ*, BRUSHOBJ* pboStroke, LINEATTRS* pla,
                          BRUSHOBJ* pboFill, POINTL* pptlBrushOrg, MIX mixFill, FLONG flOptions) {
  Pdev* pdev = BeginPathHook(pso, mixFill);
  if (pdev == nullptr || ppo == nullptr || pboStroke == nullptr) return FALSE;
  if (!SelectBrush(*pdev, pboStroke, nullptr, kStrokePen) || !SelectLineAttributes(*pdev, pla)) return FALSE;
  SetWindowFromClip(*pdev, pco, nullptr);
  if (!WriteHpglPath(*pdev, ppo, true)) return FALSE;
  if (pboFill != nullptr) {
    if (!SelectBrush(*pdev, pboFill, pptlBrushOrg, kFill)) return FALSE;
    WriteFill(*pdev, flOptions);
  }
  if (!SelectBrush(*pdev, pboStroke, nullptr, kStrokePen)) return FALSE;
  WriteText(*pdev, kEdgePolygon);
  return TRUE;
}

}  // namespace render
