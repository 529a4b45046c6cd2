// DrvTextOut: text as printer text. Each glyph is placed with an HP-GL/2 pen move that becomes the
// PCL cursor and printed in the resident or downloaded font; glyphs the clip cuts are printed as
// HP-GL/2 labels inside the input window; the text-as-graphics switch prints glyph bitmaps instead.
#include "text/text_output.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/pdev.h"
#include "devmode/trace.h"
#include "devmode/tracked_alloc.h"
#include "graphics/graphics.h"
#include "text/text_fonts.h"

namespace render {
namespace {

constexpr char kSolidBlack[] = "\x1b*v0T";        // PCL current pattern: solid black
constexpr char kSolidWhite[] = "\x1b*v1T";        // PCL current pattern: solid white
constexpr char kTextParsing[] = "\x1b&t38P";        // PCL text parsing method: 16-bit codes
constexpr char kInputWindowOff[] = "IW";            // HP-GL/2 input window: whole picture frame
constexpr char kPenUp[] = "PU%d,%d";                // HP-GL/2 pen up to the glyph origin
constexpr char kPrintDirection[] = "\x1b&a%dP";     // PCL print direction, degrees
constexpr char kLabelOrigin[] = "LO21;";            // HP-GL/2 label origin: PCL-compatible
constexpr char kLabelDirection[] = "DI;";           // HP-GL/2 label direction: default
constexpr char kLabelTwoByte[] = "LM1";             // HP-GL/2 label mode: two-byte codes
constexpr char kLabelOneByte[] = "LM0";
constexpr char kRectangleFill[] = "\x1b*c%da%db5P";  // PCL rectangle size and fill with the current pattern
constexpr char kScalableFont[] = "SB1;";            // HP-GL/2 scalable or bitmap fonts: both
constexpr char kScalableOnly[] = "SB;";
constexpr char kStandardFont[] = "SD1,%d";          // HP-GL/2 standard font: symbol set
constexpr char kFontHeight[] = ",2,1,4,%s";         // proportional, height in points
constexpr char kFontPitch[] = ",2,0,3,%s";          // fixed, pitch
constexpr char kFontStyle[] = ",5,%d,6,%d";         // posture, stroke weight
constexpr char kFontTypeface[] = ",7,%dFI%d;";      // typeface, then the font selected by it
constexpr char kFontTypefaceOnly[] = ",7,%d;";      // typeface of a resident font
constexpr char kRasterSize[] = "\x1b*r%ds%dT";      // PCL raster width and height
constexpr char kRasterStart[] = "\x1b*r%dA";        // PCL start raster: 3 at the cursor, scaled
constexpr char kRasterCompression[] = "\x1b*b%dM";  // PCL raster compression: 0 none
constexpr char kRasterRow[] = "\x1b*b%dW";          // PCL raster row
constexpr char kRasterEnd[] = "\x1b*rC";            // PCL end raster

constexpr int kParsingSixteenBit = 3;
constexpr int kSymbolSetSixteenBit = 629;
constexpr ULONG kWhite = 0x00FFFFFF;
constexpr ULONG kLightestGrey = 0x00FEFFFF;  // white labels: the lightest grey pattern, not "FT10,0"
constexpr LONG kBackgroundTolerance = 3;

// The run's writing direction: 0, 90, 180 or 270 degrees, or none of them.
enum Direction { kEast = 0, kNorth = 1, kWest = 2, kSouth = 3, kOblique = -1 };

Direction DirectionOf(int32_t angle) {
  if (angle % 900 != 0) return kOblique;
  return static_cast<Direction>(angle / 900);
}

SIZEL PrintableSize(const Pdev& pdev) {
  const devmode::PageGeometry& g = pdev.doc.page;
  return SIZEL{g.width - g.left - g.right, g.height - g.top - g.bottom};
}

int32_t ScaleX(const Pdev& pdev) { return pdev.doc.scaleX > 0 ? pdev.doc.scaleX : 100; }
int32_t ScaleY(const Pdev& pdev) { return pdev.doc.scaleY > 0 ? pdev.doc.scaleY : 100; }

bool Intersect(RECTL* r, const RECTL& with) {
  r->left = std::max(r->left, with.left);
  r->top = std::max(r->top, with.top);
  r->right = std::min(r->right, with.right);
  r->bottom = std::min(r->bottom, with.bottom);
  return r->left < r->right && r->top < r->bottom;
}

// The string's glyph positions, whole: its own array, or enumerated into `store`.
const GLYPHPOS* AllGlyphs(STROBJ* pstro, std::vector<GLYPHPOS>& store) {
  if (pstro->pgp != nullptr) return pstro->pgp;
  store.clear();
  store.reserve(pstro->cGlyphs);
  STROBJ_vEnumStart(pstro);
  bool more;
  do {
    ULONG c = 0;
    GLYPHPOS* batch = nullptr;
    more = STROBJ_bEnum(pstro, &c, &batch) != FALSE;
    if (batch == nullptr) break;
    for (ULONG i = 0; i < c && store.size() < pstro->cGlyphs; ++i) store.push_back(batch[i]);
  } while (more);
  return store.data();
}

// The glyph's advance from the engine's metrics, or the font's widest advance.
int32_t LastAdvance(FONTOBJ* pfo, HGLYPH hg) {
  GLYPHDATA* gd = nullptr;
  if (FONTOBJ_cGetGlyphs(pfo, FO_GLYPHBITS, 1, &hg, reinterpret_cast<PVOID*>(&gd)) == 1 && gd != nullptr)
    return (gd->fxD + 8) >> 4;
  return static_cast<int32_t>(pfo->cxMax);
}

// Hundredths as a decimal number with two fractional digits.
void Hundredths(int32_t v, char (&out)[16]) {
  char* p = out;
  if (v < 0) {
    *p++ = '-';
    v = -v;
  }
  char digits[12];
  int n = 0;
  int32_t whole = v / 100;
  do {
    digits[n++] = static_cast<char>('0' + whole % 10);
    whole /= 10;
  } while (whole > 0);
  while (n > 0) *p++ = digits[--n];
  *p++ = '.';
  *p++ = static_cast<char>('0' + v % 100 / 10);
  *p++ = static_cast<char>('0' + v % 10);
  *p = 0;
}

// Which glyphs of a run print, and how.
struct RunArea {
  RECTL area;
  Direction direction;
  int mode;  // 1 uncut, 2 cut across the writing direction, 3 cut only along it
};

enum GlyphPlace { kInside, kCut, kBefore, kBeyond };

// Where a glyph from `start` to `end` lies along the writing direction of the area.
GlyphPlace Place(const RunArea& run, POINTL start, POINTL end) {
  const RECTL& a = run.area;
  switch (run.direction) {
    case kEast:
      if (start.x >= a.right) return kBeyond;
      if (end.x <= a.left) return kBefore;
      return start.x >= a.left && end.x <= a.right ? kInside : kCut;
    case kWest:
      if (start.x <= a.left) return kBeyond;
      if (end.x >= a.right) return kBefore;
      return start.x <= a.right && end.x >= a.left ? kInside : kCut;
    case kNorth:
      if (start.y <= a.top) return kBeyond;
      if (end.y >= a.bottom) return kBefore;
      return start.y <= a.bottom && end.y >= a.top ? kInside : kCut;
    case kSouth:
      if (start.y >= a.bottom) return kBeyond;
      if (end.y <= a.top) return kBefore;
      return start.y >= a.top && end.y <= a.bottom ? kInside : kCut;
    default:
      return kCut;
  }
}

// The start point lies beyond the area's far edge: nothing of the run can show.
bool StartsBeyond(const RunArea& run, POINTL p) {
  const RECTL& a = run.area;
  switch (run.direction) {
    case kEast: return p.x >= a.right;
    case kWest: return p.x < a.left;
    case kNorth: return p.y < a.top;
    case kSouth: return p.y >= a.bottom;
    default: return false;
  }
}

// Visible area, writing direction and mode of a run; false when nothing of it can print.
bool ClassifyRun(const Pdev& pdev, const RECTL* clip, const STROBJ* pstro, int32_t angle, POINTL start, RunArea* run) {
  const SIZEL page = PrintableSize(pdev);
  const RECTL bk = pstro->rclBkGround;
  RECTL area = clip != nullptr ? *clip : bk;
  if (clip == nullptr && (bk.left >= bk.right || bk.top >= bk.bottom)) area = RECTL{0, 0, page.cx, page.cy};
  if (!Intersect(&area, RECTL{0, 0, page.cx, page.cy})) return false;
  const bool cutLeft = area.left > bk.left + kBackgroundTolerance;
  const bool cutRight = area.right < bk.right - kBackgroundTolerance;
  const bool cutTop = area.top > bk.top + kBackgroundTolerance;
  const bool cutBottom = area.bottom < bk.bottom - kBackgroundTolerance;
  run->area = area;
  run->direction = DirectionOf(angle);
  if (StartsBeyond(*run, start)) return false;
  const bool horizontal = run->direction == kEast || run->direction == kWest;
  const bool along = horizontal ? cutLeft || cutRight : cutTop || cutBottom;
  const bool across = horizontal ? cutTop || cutBottom : cutLeft || cutRight;
  if (!along && !across) run->mode = 1;
  else if (across || run->direction == kOblique) run->mode = 2;
  else run->mode = 3;
  return true;
}

// A PCL symbol set identifier as its number: "19U" is 19 * 32 + 'U' - 64.
int SymbolSetNumber(const char* id) {
  int value = 0;
  for (; *id >= '0' && *id <= '9'; ++id) value = value * 10 + (*id - '0');
  return *id >= 'A' && *id <= 'Z' ? value * 32 + (*id - 64) : 0;
}

// Posture, stroke weight and typeface from a resident selection ("...v0s3b16602T").
void ParseStyle(const char* selection, TextState* t) {
  const char* p = std::strstr(selection, "%.2f");
  if (p == nullptr) return;
  p += 5;  // the placeholder and the height or pitch letter
  int32_t values[3] = {0, 0, 0};
  for (int32_t& v : values) {
    bool negative = *p == '-';
    if (negative) ++p;
    for (; *p >= '0' && *p <= '9'; ++p) v = v * 10 + (*p - '0');
    if (negative) v = -v;
    if (*p != 0) ++p;
  }
  t->labelPosture = static_cast<int16_t>(values[0]);
  t->labelStrokeWeight = static_cast<int16_t>(values[1]);
  t->labelTypeface = values[2];
}

// Substitution by a resident font, else download as a soft font. `resident` tells how the codes
// lie in `codes`: UTF-16 low byte first for resident fonts, high byte first for soft fonts.
bool ChooseFont(Pdev& pdev, FONTOBJ* pfo, STROBJ* pstro, int32_t size, int32_t angle, uint8_t* codes, int mode,
                bool* resident) {
  int number = 0;
  const bool substitutable = pdev.settings.priv.TrueTypeAsSoftFont == 0 && pstro->cGlyphs > 0 &&
                             pstro->pwszOrg != nullptr && pstro->pwszOrg[0] < 255;
  TextState& t = pdev.text;
  const int32_t resolution = pdev.settings.pub.dmYResolution > 0 ? pdev.settings.pub.dmYResolution : 600;
  const auto points = static_cast<int32_t>(int64_t{size} * 7200 / resolution * ScaleY(pdev) / 100);
  if (substitutable && LookUpSubstitution(pfo, &number)) {
    *resident = true;
    if (!SelectResidentFont(pdev, pfo, pstro, size, number, codes)) return false;
    // Labels in a resident font: the same face by its typeface number, not a soft-font identifier.
    const ResidentFont* entry = ResidentFontEntry(number);
    if (entry != nullptr) {
      t.labelResident = 1;
      t.labelSpacing = entry->proportional;
      const int64_t scaled = int64_t{size} * ScaleX(pdev) / 100;
      // The units the resident selection uses: height size / 12, pitch 1200 / size.
      t.labelPitchOrHeight = entry->proportional ? static_cast<int32_t>(scaled * 100 / 12)
                             : scaled > 0        ? static_cast<int32_t>(120000 / scaled)
                                                 : 0;
      t.labelSymbolSet = static_cast<int16_t>(SymbolSetNumber(entry->symbolSet));
      ParseStyle(entry->selection, &t);
    }
    return true;
  }
  *resident = false;
  if (!DownloadAndSelectSoftFont(pdev, pfo, pstro, size, angle, codes, mode)) return false;
  t.labelResident = 0;
  t.labelSpacing = 1;
  t.labelPitchOrHeight = points;
  t.labelSymbolSet = kSymbolSetSixteenBit;
  t.labelTypeface = pdev.fonts.labelFontId;
  return true;
}

void SetLabelDirection(Pdev& pdev, int32_t angle) {
  const auto value = static_cast<int16_t>(angle + 1000);
  if (pdev.text.labelDirection == value) return;
  pdev.text.labelDirection = value;
  EnterHpgl2(pdev, 0);
  WriteCommand(pdev, kLabelOrigin);
  WriteCommand(pdev, kLabelDirection);
}

// One glyph as PCL text at its origin.
void WritePclGlyph(Pdev& pdev, POINTL at, const uint8_t* code, Direction direction) {
  EnterHpgl2(pdev, 1);
  WriteCommand(pdev, kPenUp, at.x, at.y);
  EnterPcl(pdev, 1);
  const int base = pdev.text.basePrintDirection;
  if (direction != kEast) WriteCommand(pdev, kPrintDirection, direction * 90 + base);
  WriteBytes(pdev, code, 2);
  if (direction != kEast) WriteCommand(pdev, kPrintDirection, base);
}

// One glyph as a two-byte HP-GL/2 label at its origin, code high byte first.
void WriteLabelGlyph(Pdev& pdev, POINTL at, const uint8_t* code, bool resident, bool* twoByte) {
  EnterHpgl2(pdev, 1);
  if (!*twoByte) {
    WriteCommand(pdev, kLabelTwoByte);
    *twoByte = true;
  }
  WriteCommand(pdev, kPenUp, at.x, at.y);
  const uint8_t label[] = {'L', 'B', resident ? code[1] : code[0], resident ? code[0] : code[1], 0x00, 0x03};
  WriteBytes(pdev, label, sizeof label);
}


// One glyph bitmap at `corner`, cut to `clip` (or none) and to the printable page.
void WriteGlyphRaster(Pdev& pdev, const GLYPHBITS& gb, POINTL corner, const RECTL* clip) {
  const int32_t width = gb.sizlBitmap.cx, height = gb.sizlBitmap.cy;
  if (width <= 0 || height <= 0) return;
  const int32_t rowBytes = (width + 7) / 8;
  RECTL r{corner.x, corner.y, corner.x + width, corner.y + height};
  if (clip != nullptr && !Intersect(&r, *clip)) return;
  const SIZEL page = PrintableSize(pdev);
  if (!Intersect(&r, RECTL{0, 0, page.cx, page.cy})) return;
  // Whole bytes only on the left: the raster starts at the byte holding the first visible pixel.
  const int32_t skipBytes = (r.left - corner.x) / 8;
  const int32_t skipRows = r.top - corner.y;
  const int32_t left = corner.x + skipBytes * 8;
  const int32_t w = r.right - left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return;
  const int32_t sendBytes = std::min((w + 7) / 8, rowBytes - skipBytes);
  MovePclCursor(pdev, left, r.top);
  SetRasterScale(pdev, w, h);
  WriteCommand(pdev, kRasterSize, w, h);
  WriteCommand(pdev, kRasterStart, 3);
  WriteCommand(pdev, kRasterCompression, 0);
  for (int32_t y = 0; y < h; ++y) {
    WriteCommand(pdev, kRasterRow, sendBytes);
    WriteBytes(pdev, gb.aj + static_cast<size_t>(skipRows + y) * rowBytes + skipBytes, static_cast<uint32_t>(sendBytes));
  }
  WriteCommand(pdev, kRasterEnd);
}

void WriteGlyphRasters(Pdev& pdev, FONTOBJ* pfo, const GLYPHPOS* pgp, ULONG count, const RECTL* clip) {
  for (ULONG i = 0; i < count; ++i) {
    HGLYPH hg = pgp[i].hg;
    GLYPHDATA* gd = nullptr;
    if (FONTOBJ_cGetGlyphs(pfo, FO_GLYPHBITS, 1, &hg, reinterpret_cast<PVOID*>(&gd)) != 1 || gd == nullptr ||
        gd->gdf.pgb == nullptr)
      continue;
    const GLYPHBITS& gb = *gd->gdf.pgb;
    WriteGlyphRaster(pdev, gb, POINTL{pgp[i].ptl.x + gb.ptlOrigin.x, pgp[i].ptl.y + gb.ptlOrigin.y}, clip);
  }
}

}  // namespace

void ResetTextState(Pdev& pdev) {
  TextState& t = pdev.text;
  int16_t* kept = t.advances;
  t = TextState{};
  t.parsingSent = -1;
  t.codeMode = 2;
  t.advances = kept;
}

void FreeTextBuffers(Pdev& pdev) {
  if (pdev.text.advances != nullptr) devmode::TrackedFree(pdev.text.advances);
  pdev.text.advances = nullptr;
}

bool RunSizeAndAngle(FONTOBJ* pfo, int32_t* size, int32_t* angle) {
  XFORMOBJ* pxo = FONTOBJ_pxoGetXform(pfo);
  const IFIMETRICS* ifi = FONTOBJ_pifi(pfo);
  XFORML m{};
  if (pxo == nullptr || ifi == nullptr || XFORMOBJ_iGetXform(pxo, &m) == DDI_ERROR) return false;
  const double em = ifi->fwdUnitsPerEm > 0 ? ifi->fwdUnitsPerEm : 2048;
  const double height = em * std::hypot(static_cast<double>(m.eM21), static_cast<double>(m.eM22));
  if (!(height >= 1 && height < 1e6)) return false;
  *size = static_cast<int32_t>(std::lround(height));
  // The baseline's direction on the page, counter-clockwise (device y grows downwards).
  double degrees = std::atan2(-static_cast<double>(m.eM12), static_cast<double>(m.eM11)) * 180 / M_PI;
  auto tenths = static_cast<int32_t>(std::lround(degrees * 10));
  *angle = ((tenths % 3600) + 3600) % 3600;
  return true;
}

int FillTextRectangle(Pdev& pdev, MIX mix, BRUSHOBJ* pbo, const RECTL& rect, CLIPOBJ* pco, bool selectBrush) {
  if (selectBrush) {
    SetPclRasterOps(pdev, 0, 1, RopForMix(mix));
    if (pbo != nullptr && !SelectBrush(pdev, pbo, nullptr, kFill)) return 0;
  }
  auto fill = [&](const RECTL& r) {
    const LONG left = std::max(r.left, rect.left), top = std::max(r.top, rect.top);
    const LONG right = std::min(r.right, rect.right), bottom = std::min(r.bottom, rect.bottom);
    if (left >= right || top >= bottom) return;
    MovePclCursor(pdev, left, top);
    WriteCommand(pdev, kRectangleFill, right - left + 1, bottom - top + 1);
  };
  if (pco == nullptr || pco->iDComplexity == DC_TRIVIAL) {
    fill(rect);
  } else if (pco->iDComplexity == DC_RECT) {
    fill(pco->rclBounds);
  } else {
    ForEachClipRect(pco, fill);
  }
  return 1;
}

int DefineLabelFont(Pdev& pdev) {
  const TextState& t = pdev.text;
  EnterHpgl2(pdev, 1);
  WriteCommand(pdev, t.labelScalableOnly ? kScalableOnly : kScalableFont);
  WriteCommand(pdev, kStandardFont, t.labelSymbolSet);
  if (t.labelPitchOrHeight != 0) {
    char value[16];
    Hundredths(t.labelPitchOrHeight, value);
    WriteCommand(pdev, t.labelSpacing ? kFontHeight : kFontPitch, value);
  }
  WriteCommand(pdev, kFontStyle, t.labelPosture, t.labelStrokeWeight);
  if (t.labelResident) WriteCommand(pdev, kFontTypefaceOnly, t.labelTypeface);
  else WriteCommand(pdev, kFontTypeface, t.labelTypeface, t.labelTypeface);
  pdev.fonts.labelFontState = 2;
  return 1;
}

int WriteTextRun(Pdev& pdev, FONTOBJ* pfo, const RECTL* clip, BRUSHOBJ* pbo, ULONG count, const GLYPHPOS* pgp,
                 ULONG charInc, STROBJ* pstro, MIX mix) {
  if (count == 0 || pgp == nullptr) return 1;
  TextState& t = pdev.text;
  int32_t size = 0, angle = 0;
  if (!RunSizeAndAngle(pfo, &size, &angle)) {
    devmode::DebugTrace("WriteTextRun: the font has no usable transform\n");
    return 0;
  }
  RunArea run{};
  if (!ClassifyRun(pdev, clip, pstro, angle, pgp[0].ptl, &run)) return 1;
  if (run.mode == 1) {
    EnterHpgl2(pdev, 1);
    WriteCommand(pdev, kInputWindowOff);
    pdev.caches.clipValid = 0;
    std::memset(pdev.caches.clip, 0, sizeof pdev.caches.clip);
  } else {
    SetClipWindow(pdev, &run.area);
  }

  t.codeMode = (pstro->flAccel & SO_GLYPHINDEX_TEXTOUT) ? 1 : 2;
  t.parsingWanted = kParsingSixteenBit;
  if (t.parsingWanted != t.parsingSent) {
    EnterPcl(pdev, 1);
    WriteCommand(pdev, kTextParsing);
    t.parsingSent = t.parsingWanted;
  }

  // The font fills codes for the whole string, whatever part of it this run prints.
  const ULONG codeCount = std::max<ULONG>(count, pstro->cGlyphs);
  auto* codes = static_cast<uint8_t*>(devmode::TrackedAlloc(size_t{codeCount} * 2));
  if (codes == nullptr) {
    devmode::DebugTrace("Memalloc text codes fail! file:%s,lines:%ld\n", __FILE__, static_cast<long>(__LINE__));
    return 0;
  }
  std::memset(codes, 0, size_t{codeCount} * 2);
  bool resident = false;
  if (!ChooseFont(pdev, pfo, pstro, size, angle, codes, run.mode, &resident)) {
    devmode::TrackedFree(codes);
    return 0;
  }
  if (run.mode != 1) {
    SetLabelDirection(pdev, angle);
    if (pdev.fonts.labelFontState != 2) DefineLabelFont(pdev);
  }

  EnterPcl(pdev, 1);
  if (pbo != nullptr) SelectBrush(pdev, pbo, nullptr, kFill);
  if (run.mode != 1 && pbo != nullptr) {
    EnterHpgl2(pdev, 1);
    BRUSHOBJ labels = *pbo;
    if ((labels.iSolidColor & 0xFFFFFF) == kWhite && labels.iSolidColor != 0xFFFFFFFF) labels.iSolidColor = kLightestGrey;
    SelectBrush(pdev, &labels, nullptr, kFill);
  }
  SetPclRasterOps(pdev, 0, 1, RopForMix(mix));

  if (t.advances == nullptr) {
    t.advances = static_cast<int16_t*>(devmode::TrackedAlloc(sizeof(int16_t) * 2 * kAdvanceChunk));
    if (t.advances == nullptr) {
      devmode::DebugTrace("Memalloc advances fail! file:%s,lines:%ld\n", __FILE__, static_cast<long>(__LINE__));
      devmode::TrackedFree(codes);
      return 0;
    }
  }
  int16_t* ax = t.advances;
  int16_t* ay = t.advances + kAdvanceChunk;
  int32_t incX = 0, incY = 0;
  if (charInc != 0) VectorFromAngle(angle, static_cast<int32_t>(charInc), &incX, &incY);
  incY = -incY;  // counter-clockwise angles, device y downwards

  const bool fitToPaper = pdev.settings.priv.ScaleMode == 2;
  const SIZEL scaledPage = PageLimits(pdev);
  bool twoByte = false;
  bool stopped = false;
  POINTL at = pgp[0].ptl;
  for (ULONG chunk = 0; chunk < count && !stopped; chunk += kAdvanceChunk) {
    const ULONG n = std::min<ULONG>(kAdvanceChunk, count - chunk);
    for (ULONG k = 0; k < n; ++k) {
      const ULONG i = chunk + k;
      int32_t dx, dy;
      if (charInc != 0) {
        dx = incX;
        dy = incY;
      } else if (i + 1 < count) {
        dx = pgp[i + 1].ptl.x - pgp[i].ptl.x;
        dy = pgp[i + 1].ptl.y - pgp[i].ptl.y;
      } else {
        VectorFromAngle(angle, LastAdvance(pfo, pgp[i].hg), &dx, &dy);
        dy = -dy;
      }
      ax[k] = static_cast<int16_t>(std::clamp<int32_t>(dx, INT16_MIN, INT16_MAX));
      ay[k] = static_cast<int16_t>(std::clamp<int32_t>(dy, INT16_MIN, INT16_MAX));
    }
    for (ULONG k = 0; k < n; ++k) {
      const ULONG i = chunk + k;
      const POINTL end{at.x + ax[k], at.y + ay[k]};
      GlyphPlace place = run.mode == 1 ? kInside : Place(run, at, end);
      if (fitToPaper && place == kInside &&
          (std::max(at.x, end.x) > scaledPage.cx || std::max(at.y, end.y) > scaledPage.cy))
        place = kCut;
      if (place == kBeyond) {
        stopped = true;
        break;
      }
      const uint8_t* code = codes + size_t{i} * 2;
      if (place == kInside && run.mode != 2) {
        WritePclGlyph(pdev, at, code, run.direction == kOblique ? kEast : run.direction);
      } else if (place != kBefore) {
        WriteLabelGlyph(pdev, at, code, resident, &twoByte);
      }
      at = end;
    }
  }
  if (twoByte) {
    EnterHpgl2(pdev, 1);
    WriteCommand(pdev, kLabelOneByte);
  }
  devmode::TrackedFree(codes);
  return 1;
}

BOOL PrintTextAsGraphics(Pdev& pdev, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, BRUSHOBJ* pboFore, MIX mix) {
  SetPclRasterOps(pdev, 0, 1, RopForMix(mix));
  if (pboFore != nullptr && pboFore->iSolidColor != 0xFFFFFFFF && (pboFore->iSolidColor & 0xFFFFFF) == kWhite) {
    pboFore->iSolidColor &= ~ULONG{1};
    EnterPcl(pdev, 0);
    WriteCommand(pdev, kSolidWhite);
    pdev.brush.currentKind = kPatternWhite;
  }
  std::vector<GLYPHPOS> store;
  const GLYPHPOS* pgp = AllGlyphs(pstro, store);
  const ULONG count = pstro->pgp != nullptr ? pstro->cGlyphs : static_cast<ULONG>(store.size());
  if (pco != nullptr && pco->iDComplexity == DC_COMPLEX) {
    ForEachClipRect(pco, [&](const RECTL& r) { WriteGlyphRasters(pdev, pfo, pgp, count, &r); });
    return TRUE;
  }
  const RECTL bk = pstro->rclBkGround;
  const bool contains = pco != nullptr && pco->iDComplexity == DC_RECT && pco->rclBounds.left <= bk.left &&
                        pco->rclBounds.top <= bk.top && pco->rclBounds.right >= bk.right &&
                        pco->rclBounds.bottom + 1 >= bk.bottom;
  if (pco == nullptr || pco->iDComplexity == DC_TRIVIAL || contains) {
    SetClipWindow(pdev, nullptr);
    WriteGlyphRasters(pdev, pfo, pgp, count, nullptr);
  } else {
    WriteGlyphRasters(pdev, pfo, pgp, count, &pco->rclBounds);
  }
  return TRUE;
}

BOOL DrvTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra, RECTL* prclOpaque,
                BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, POINTL*, MIX mix) {
  if (pso == nullptr || pstro == nullptr || pfo == nullptr) return FALSE;
  Pdev* pdev = ValidPdev(pso);
  if (pdev == nullptr) return FALSE;
  if (pdev->blitAborted || EngCheckAbort(pso)) {
    pdev->blitAborted = 1;
    return FALSE;
  }
  std::vector<GLYPHPOS> store;
  const GLYPHPOS* pgp = AllGlyphs(pstro, store);
  const ULONG count = pstro->pgp != nullptr ? pstro->cGlyphs : static_cast<ULONG>(store.size());

  if (pdev->settings.priv.LayoutMode == 4 && count > 0) {
    const SIZEL page = PrintableSize(*pdev);
    const int64_t x = int64_t{pgp[0].ptl.x} * ScaleX(*pdev) / 100;
    const int64_t y = int64_t{pgp[0].ptl.y} * ScaleY(*pdev) / 100;
    if (x > page.cx || y > page.cy) return TRUE;
  }
  if (pdev->brush.currentKind != kPatternBlack) {
    EnterHpgl2(*pdev, 1);
    SetFillType(*pdev, 0, 0);
    EnterPcl(*pdev, 1);
    WriteCommand(*pdev, kSolidBlack);
    pdev->brush.currentKind = kPatternBlack;
  }
  const IFIMETRICS* ifi = FONTOBJ_pifi(pfo);
  pdev->text.parsingWanted = ifi != nullptr ? ifi->jWinCharSet : 1;

  if (prclOpaque != nullptr && pboOpaque != nullptr)
    FillTextRectangle(*pdev, mix, pboOpaque, *prclOpaque, pco, true);

  if (pdev->settings.priv.TextAsGraphics) return PrintTextAsGraphics(*pdev, pstro, pfo, pco, pboFore, mix);

  if (pco != nullptr && pco->iDComplexity == DC_COMPLEX) {
    bool ok = true;
    ForEachClipRect(pco, [&](const RECTL& r) {
      if (ok && !WriteTextRun(*pdev, pfo, &r, pboFore, count, pgp, pstro->ulCharInc, pstro, mix)) ok = false;
    });
    if (!ok) return FALSE;
  } else {
    const RECTL* clip = pco != nullptr && pco->iDComplexity == DC_RECT ? &pco->rclBounds : nullptr;
    if (!WriteTextRun(*pdev, pfo, clip, pboFore, count, pgp, pstro->ulCharInc, pstro, mix)) return FALSE;
  }

  if (prclExtra != nullptr) {
    bool first = true;
    for (const RECTL* r = prclExtra; r->left != 0 || r->top != 0 || r->right != 0 || r->bottom != 0; ++r) {
      FillTextRectangle(*pdev, mix, pboFore, *r, pco, first);
      first = false;
    }
  }
  return TRUE;
}

}  // namespace render
