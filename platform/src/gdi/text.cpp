// Fonts and text on a printer device context. A logical font is realized for the device's scale
// (fontconfig picks the face, FreeType makes it); a string becomes a STROBJ of device glyph
// positions and goes to DrvTextOut. When the driver does not take it, the engine paints the
// background, fills the glyph outlines through the path hooks and paints underline and
// strike-out. Inside a path bracket the outlines join the path instead. A memory DC has no driver:
// it always takes the engine's way, into its bitmap.
#include <algorithm>
#include <cmath>
#include <new>

#include "../fonts/font_faces.h"
#include "dc_state.h"
#include "device_output.h"
#include "text_layout.h"
#include "gdi_trace.h"
#include "platform/font_objects.h"
#include "platform/utf16.h"
#include "win/error.h"

namespace platform::gdi {
namespace {

constexpr double kPi = 3.14159265358979323846;

LONG Round(double v) { return static_cast<LONG>(std::lround(v)); }

}  // namespace

std::optional<Realized> Realize(const DcState& s, int dpiX, int dpiY) {
  if (s.font == nullptr) return std::nullopt;
  const LOGFONTW& lf = s.font->logFont;
  Matrix m = s.ToDevice();
  Realized out;
  out.scaleX = std::hypot(m.m11, m.m12);
  out.scaleY = std::hypot(m.m21, m.m22);
  if (!(out.scaleX > 0) || !(out.scaleY > 0)) return std::nullopt;

  std::u16string face(WideField(lf.lfFaceName, LF_FACESIZE));
  bool vertical = !face.empty() && face[0] == u'@';
  if (vertical) face.erase(face.begin());
  LONG weight = lf.lfWeight > 0 ? std::min<LONG>(lf.lfWeight, 1000) : FW_NORMAL;
  bool italic = lf.lfItalic != 0;
  // A turning world transform turns the baseline with it.
  LONG turn = 0;
  if (s.graphicsMode == GM_ADVANCED) turn = Round(std::atan2(-m.m12, m.m11) * 1800 / kPi);
  char key[160];
  std::snprintf(key, sizeof key, "%.6f/%.6f/%d/%d/%d", out.scaleX, out.scaleY, dpiX, dpiY, static_cast<int>(turn));
  std::lock_guard g(s.font->lock);
  auto& slot = s.font->realized[key];
  if (slot != nullptr) {
    out = *std::static_pointer_cast<Realized>(slot);
    return out;
  }
  auto info = fonts::MatchFace(face, weight, italic);
  if (!info) return std::nullopt;
  engine::FontRealization r;
  r.dpiX = dpiX;
  r.dpiY = dpiY;
  r.charSet = lf.lfCharSet;
  r.vertical = vertical;
  r.simulateBold = weight >= FW_SEMIBOLD && info->weight < FW_SEMIBOLD;
  r.simulateItalic = italic && !info->italic;
  r.escapement = ((lf.lfEscapement + turn) % 3600 + 3600) % 3600;
  auto file = info->file != nullptr ? info->file : fonts::LoadFontFile(info->path);
  // The face's own proportions first: the cell height and width of LOGFONTW are measured in them.
  engine::FontRealization probe = r;
  probe.emPixels = 100;
  probe.escapement = 0;
  auto first = file != nullptr ? engine::EngineFont::FromMemory(file->bytes, info->index, probe) : std::nullopt;
  if (!first) return std::nullopt;
  const IFIMETRICS* pi = FONTOBJ_pifi(first->get());
  double upem = pi->fwdUnitsPerEm, cell = pi->fwdWinAscender + pi->fwdWinDescender;
  if (lf.lfHeight < 0) r.emPixels = -static_cast<double>(lf.lfHeight) * out.scaleY;
  else if (lf.lfHeight > 0) r.emPixels = lf.lfHeight * out.scaleY * upem / std::max(cell, 1.0);
  else r.emPixels = dpiY / 6.0;  // 12 points
  r.emPixels = std::clamp(r.emPixels, 0.05, 16384.0);
  if (lf.lfWidth > 0 && pi->fwdAveCharWidth > 0)
    r.widthScale = std::clamp(lf.lfWidth * out.scaleX / (pi->fwdAveCharWidth * r.emPixels / upem), 0.01, 100.0);
  std::optional<engine::EngineFont> made;
  if (info->file != nullptr) made = engine::EngineFont::FromMemory(file->bytes, info->index, r);
  else made = engine::EngineFont::FromFile(info->path, info->index, r);
  if (!made) return std::nullopt;
  out.font = std::make_shared<engine::EngineFont>(std::move(*made));
  out.ifi = FONTOBJ_pifi(out.font->get());
  out.em = r.emPixels;
  out.family = std::u16string(reinterpret_cast<const WCHAR*>(reinterpret_cast<const BYTE*>(out.ifi) +
                                                             out.ifi->dpwszFamilyName));
  slot = std::make_shared<Realized>(out);
  return out;
}

namespace {

double Units(const Realized& r, double fontUnits) { return fontUnits * r.em / r.ifi->fwdUnitsPerEm; }


TEXTMETRICW ToLogical(TEXTMETRICW tm, const Realized& r) {
  auto y = [&](LONG v) { return Round(v / r.scaleY); };
  auto x = [&](LONG v) { return Round(v / r.scaleX); };
  tm.tmAscent = y(tm.tmAscent);
  tm.tmDescent = y(tm.tmDescent);
  tm.tmHeight = tm.tmAscent + tm.tmDescent;
  tm.tmInternalLeading = y(tm.tmInternalLeading);
  tm.tmExternalLeading = y(tm.tmExternalLeading);
  tm.tmAveCharWidth = x(tm.tmAveCharWidth);
  tm.tmMaxCharWidth = x(tm.tmMaxCharWidth);
  return tm;
}

RECTL DeviceRect(const DcState& s, const RECT& r) {
  Matrix m = s.ToDevice();
  double x0, y0, x1, y1;
  m.Apply(r.left, r.top, &x0, &y0);
  m.Apply(r.right, r.bottom, &x1, &y1);
  return {Round(std::min(x0, x1)), Round(std::min(y0, y1)), Round(std::max(x0, x1)), Round(std::max(y0, y1))};
}

RECTL Union(RECTL a, RECTL b) {
  if (a.left >= a.right || a.top >= a.bottom) return b;
  if (b.left >= b.right || b.top >= b.bottom) return a;
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}


// A band that lies along the page's axes on whole pixels, as a rectangle (right and bottom
// exclusive); nothing for a turned one.
std::optional<RECTL> AxisRect(const engine::PathPoints& p) {
  if (p.points.size() != 4) return std::nullopt;
  for (const auto& pt : p.points)
    if ((pt.x & 15) != 0 || (pt.y & 15) != 0) return std::nullopt;
  bool axis = (p.points[0].y == p.points[1].y && p.points[1].x == p.points[2].x) ||
              (p.points[0].x == p.points[1].x && p.points[1].y == p.points[2].y);
  if (!axis) return std::nullopt;
  RECTL r{p.points[0].x, p.points[0].y, p.points[0].x, p.points[0].y};
  for (const auto& pt : p.points)
    r = {std::min(r.left, pt.x), std::min(r.top, pt.y), std::max(r.right, pt.x), std::max(r.bottom, pt.y)};
  return RECTL{r.left / 16, r.top / 16, r.right / 16, r.bottom / 16};
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

template <typename Fn>
auto Guarded(HDC hdc, Fn fn) -> decltype(fn(std::declval<const DrawingTarget&>())) {
  try {
    auto t = FindDrawingTarget(hdc);
    if (!t) return {};
    return fn(*t);
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return {};
  }
}

BOOL DrawText(const DrawingTarget& t, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count,
              const INT* dx) {
  DcState& s = t.state();
  if (count > 0 && text == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if (count > 0x100000) return Fail(ERROR_INVALID_PARAMETER);
  auto r = Realize(t.state(), t.dpiX, t.dpiY);
  if (!r) {
    GdiTrace("GDI: no face for the selected font\n");
    return Fail(ERROR_INVALID_HANDLE);
  }
  bool glyphIndex = (options & ETO_GLYPH_INDEX) != 0;
  bool pdy = (options & ETO_PDY) != 0 && dx != nullptr;
  // One glyph per character: a surrogate pair is one character, spaced by the sum of its two
  // entries in the spacing array.
  struct Character {
    char32_t code;
    INT dx, dy;
  };
  std::vector<Character> chars;
  for (UINT i = 0; i < count;) {
    char32_t code = text[i];
    UINT units = 1;
    if (!glyphIndex && code >= 0xD800 && code < 0xDC00 && i + 1 < count && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
      units = 2;
    }
    Character c{code, 0, 0};
    for (UINT k = i; dx != nullptr && k < i + units; ++k) {
      c.dx += pdy ? dx[2 * k] : dx[k];
      if (pdy) c.dy += dx[2 * k + 1];
    }
    chars.push_back(c);
    i += units;
  }
  // Right-to-left reading: the characters are laid out from the last to the first.
  if ((options & ETO_RTLREADING) != 0 || (s.textAlign & TA_RTLREADING) != 0) std::reverse(chars.begin(), chars.end());
  std::vector<HGLYPH> glyphs;
  std::vector<INT> spacing;
  // The driver reads one code unit per glyph: characters beyond 16 bits stand as U+FFFD.
  std::u16string str;
  for (const Character& c : chars) {
    glyphs.push_back(glyphIndex ? static_cast<HGLYPH>(c.code) : r->font->GlyphIndex(c.code));
    str.push_back(c.code > 0xFFFF ? u'\uFFFD' : static_cast<char16_t>(c.code));
    spacing.push_back(c.dx);
    if (pdy) spacing.push_back(c.dy);
  }
  bool updateCp = (s.textAlign & TA_UPDATECP) != 0;
  POINT ref = updateCp ? s.current : POINT{x, y};
  double dxDev, dyDev;
  s.ToDevice().Apply(ref.x, ref.y, &dxDev, &dyDev);
  Layout l = LayOut(*r, s, dxDev, dyDev, std::move(glyphs), dx != nullptr ? spacing.data() : nullptr, pdy);

  if (updateCp) {
    // The current position moves to the end of the text (left aligned) or its start (right
    // aligned); centred text leaves it where it was.
    UINT h = s.textAlign & TA_CENTER;
    if (h != TA_CENTER && s.ToDevice().Invertible()) {
      Matrix inv = s.ToDevice().Inverse();
      double lx, ly;
      double ex = h == TA_RIGHT ? l.baseX : l.endX, ey = h == TA_RIGHT ? l.baseY : l.endY;
      inv.Apply(ex, ey, &lx, &ly);
      s.current = {Round(lx), Round(ly)};
    }
  }

  std::optional<RECTL> opaque;
  if ((options & ETO_OPAQUE) != 0 && rect != nullptr) opaque = DeviceRect(s, *rect);
  else if (s.bkMode == OPAQUE && count > 0) opaque = l.cells;
  if (opaque && (opaque->left >= opaque->right || opaque->top >= opaque->bottom)) opaque.reset();

  engine::PathPoints outlines;
  auto buildOutlines = [&] {
    for (size_t i = 0; i < l.glyphs.size(); ++i) {
      auto o = r->font->GlyphOutline(l.glyphs[i], {l.positions[i].x * 16, l.positions[i].y * 16});
      if (!o) continue;
      outlines.points.insert(outlines.points.end(), o->points.begin(), o->points.end());
      outlines.types.insert(outlines.types.end(), o->types.begin(), o->types.end());
    }
  };
  const LOGFONTW& lf = s.font->logFont;
  auto decorations = Decorations(*r, lf, l);

  if (s.bracket == PathBracket::kOpen) {
    buildOutlines();
    if (!outlines.empty()) s.path.Append(outlines);
    for (auto& d : decorations) s.path.Append(d);
    return TRUE;
  }
  if (!t.inPage) return TRUE;

  // The clip of the call: the DC's, cut to the rectangle with ETO_CLIPPED.
  std::optional<engine::Region> clip = s.clip;
  if ((options & ETO_CLIPPED) != 0 && rect != nullptr) {
    engine::Region cut(DeviceRect(s, *rect));
    if (clip) clip->Intersect(cut);
    else clip = std::move(cut);
  }
  RECTL bounds = l.cells;
  if (opaque) bounds = Union(bounds, *opaque);
  for (auto& d : decorations) {
    RECTL b = engine::PathPixelBounds(d);
    bounds = Union(bounds, b);
  }
  engine::EngineClip call(clip ? &*clip : nullptr, t.SurfaceBounds(), bounds);
  if (call.IsEmpty()) return TRUE;

  auto foreground = std::make_shared<BrushObject>();
  foreground->color = s.textColor & 0x00FFFFFF;
  auto background = std::make_shared<BrushObject>();
  background->color = s.bkColor & 0x00FFFFFF;

  std::vector<RECTL> extras;
  bool extrasAsRects = true;
  for (auto& d : decorations) {
    auto rr = AxisRect(d);
    if (!rr) extrasAsRects = false;
    else extras.push_back(*rr);
  }
  if (!extrasAsRects) extras.clear();

  engine::EngineString so = engine::EngineString::FromGlyphs(*r->font, l.glyphs, l.positions,
                                                             glyphIndex ? std::u16string_view() : std::u16string_view(str));
  FLONG accel = so.get()->flAccel & (SO_HORIZONTAL | SO_VERTICAL | SO_REVERSED);
  if (dx == nullptr) accel |= SO_FLAG_DEFAULT_PLACEMENT;
  if (glyphIndex) accel |= SO_GLYPHINDEX_TEXTOUT;
  if (pdy) accel |= SO_DXDY;
  if (dx == nullptr && s.charExtra != 0) accel |= SO_CHARACTER_EXTRA;
  so.SetAccel(accel);
  so.SetBackground(l.cells);
  bool fixed = (r->ifi->flInfo & FM_INFO_CONSTANT_WIDTH) != 0;
  if (fixed && dx == nullptr && s.charExtra == 0 && !l.advances.empty() && accel & SO_HORIZONTAL &&
      (accel & SO_REVERSED) == 0 &&
      std::all_of(l.advances.begin(), l.advances.end(), [&](double v) { return v == l.advances[0]; }))
    so.SetCharInc(static_cast<ULONG>(Round(l.advances[0])));

  auto textOut = t.driver != nullptr ? t.driver->Hook<PFN_DrvTextOut>(INDEX_DrvTextOut) : nullptr;
  // No glyphs: only the background rectangle, which is a blit; a driver never sees an empty string.
  if ((t.hooks & HOOK_TEXTOUT) != 0 && textOut != nullptr && !l.glyphs.empty()) {
    engine::EngineBrush* fore = EngineBrushFor(t, *foreground);
    engine::EngineBrush* back = opaque ? EngineBrushFor(t, *background) : nullptr;
    std::vector<RECTL> extraList = extras;
    if (!extraList.empty()) extraList.push_back(RECTL{0, 0, 0, 0});
    RECTL opaqueRect = opaque ? *opaque : RECTL{};
    POINTL org = s.brushOrg;
    BOOL ok = textOut(t.surface, so.get(), r->font->get(), call.get(), extraList.empty() ? nullptr : extraList.data(),
                      opaque ? &opaqueRect : nullptr, fore != nullptr ? fore->get() : nullptr,
                      back != nullptr ? back->get() : nullptr, &org, MixOf(R2_COPYPEN));
    if (ok != FALSE) {
      // Decorations the record cannot carry (turned text) are drawn as figures.
      if (!decorations.empty() && extras.empty())
        for (auto& d : decorations) (void)FillPathOnDevice(t, d, *foreground, WINDING, MixOf(R2_COPYPEN));
      return TRUE;
    }
  }

  // The engine's own way: background, glyph outlines, decorations, each with the call's clip.
  std::optional<engine::Region> saved = s.clip;
  s.clip = clip;
  bool ok = true;
  if (opaque) {
    ok = BlitRectOnDevice(t, *opaque, background.get(), Rop4OfMix(MixOf(R2_COPYPEN))) ||
         FillPathOnDevice(t,
                          [&] {
                            engine::PathPoints p;
                            p.MoveTo(opaque->left * 16, opaque->top * 16);
                            p.LineTo(opaque->right * 16, opaque->top * 16);
                            p.LineTo(opaque->right * 16, opaque->bottom * 16);
                            p.LineTo(opaque->left * 16, opaque->bottom * 16);
                            p.CloseFigure();
                            return p;
                          }(),
                          *background, WINDING, MixOf(R2_COPYPEN));
  }
  buildOutlines();
  if (!outlines.empty()) ok = FillPathOnDevice(t, outlines, *foreground, WINDING, MixOf(R2_COPYPEN)) && ok;
  for (auto& d : decorations) ok = FillPathOnDevice(t, d, *foreground, WINDING, MixOf(R2_COPYPEN)) && ok;
  s.clip = std::move(saved);
  return ok ? TRUE : FALSE;
}

char16_t LowerChar(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

}  // namespace

// Text metrics in device pixels; the callers scale them to logical units.
TEXTMETRICW DeviceMetrics(const Realized& r, const LOGFONTW& lf) {
  TEXTMETRICW tm{};
  const IFIMETRICS* m = r.ifi;
  tm.tmAscent = r.font->Ascent();
  tm.tmDescent = r.font->Descent();
  tm.tmHeight = tm.tmAscent + tm.tmDescent;
  tm.tmInternalLeading = std::max<LONG>(0, tm.tmHeight - Round(r.em));
  tm.tmExternalLeading = r.font->ExternalLeading();
  double ws = r.font->realization().widthScale;
  tm.tmAveCharWidth = Round(Units(r, m->fwdAveCharWidth) * ws);
  tm.tmMaxCharWidth = static_cast<LONG>(r.font->get()->cxMax);
  tm.tmWeight = lf.lfWeight > 0 ? lf.lfWeight : m->usWinWeight;
  tm.tmOverhang = 0;
  tm.tmDigitizedAspectX = r.font->realization().dpiX;
  tm.tmDigitizedAspectY = r.font->realization().dpiY;
  tm.tmFirstChar = m->wcFirstChar;
  tm.tmLastChar = m->wcLastChar;
  tm.tmDefaultChar = m->wcDefaultChar;
  tm.tmBreakChar = m->wcBreakChar;
  tm.tmItalic = lf.lfItalic != 0 || (m->fsSelection & FM_SEL_ITALIC) != 0;
  tm.tmUnderlined = lf.lfUnderline != 0;
  tm.tmStruckOut = lf.lfStrikeOut != 0;
  // TMPF_FIXED_PITCH is set for variable-pitch faces.
  BYTE pitch = (m->flInfo & FM_INFO_CONSTANT_WIDTH) != 0 ? 0 : TMPF_FIXED_PITCH;
  tm.tmPitchAndFamily = static_cast<BYTE>(pitch | TMPF_VECTOR | TMPF_TRUETYPE | (lf.lfPitchAndFamily & 0xF0));
  tm.tmCharSet = lf.lfCharSet == DEFAULT_CHARSET ? ANSI_CHARSET : lf.lfCharSet;
  return tm;
}


// Glyph origins in device pixels for text drawn at the device point (x, y), aligned as asked.
Layout LayOut(const Realized& r, const DcState& s, double x, double y, std::vector<HGLYPH> glyphs, const INT* dx,
              bool pdy) {
  Layout l;
  l.glyphs = std::move(glyphs);
  size_t n = l.glyphs.size();
  double a = r.font->realization().escapement * kPi / 1800.0, c = std::cos(a), sn = std::sin(a);
  for (size_t i = 0; i < n; ++i) {
    if (dx != nullptr) {
      double lx = pdy ? dx[2 * i] : dx[i], ly = pdy ? dx[2 * i + 1] : 0;
      // The spacing is in logical units along the page's axes, turned with the text.
      l.advances.push_back(lx * r.scaleX);
      l.advancesY.push_back(ly * r.scaleY);
    } else {
      l.advances.push_back(r.font->AdvanceFix(l.glyphs[i]) / 16.0 + s.charExtra * r.scaleX);
      l.advancesY.push_back(0);
    }
  }
  double along = 0, across = 0;
  for (size_t i = 0; i < n; ++i) along += l.advances[i], across += l.advancesY[i];
  // Offsets along the baseline (u) and down from it (v) for the alignment.
  double u = 0, v = 0;
  UINT h = s.textAlign & TA_CENTER;
  if (h == TA_CENTER) u = -along / 2;
  else if (h == TA_RIGHT) u = -along;
  UINT vert = s.textAlign & TA_BASELINE;
  double asc = r.font->Ascent(), desc = r.font->Descent();
  if (vert == TA_BASELINE) v = 0;
  else if (vert == TA_BOTTOM) v = -desc;
  else v = asc;  // TA_TOP
  // Baseline direction (c, −sn); "down" from the baseline (sn, c).
  l.baseX = x + u * c + v * sn;
  l.baseY = y - u * sn + v * c;
  double pu = 0, pv = 0;
  for (size_t i = 0; i < n; ++i) {
    l.positions.push_back({Round(l.baseX + pu * c + pv * sn), Round(l.baseY - pu * sn + pv * c)});
    pu += l.advances[i];
    pv += l.advancesY[i];
  }
  l.endX = l.baseX + pu * c + pv * sn;
  l.endY = l.baseY - pu * sn + pv * c;
  double minX = 1e18, minY = 1e18, maxX = -1e18, maxY = -1e18;
  for (double uu : {0.0, pu})
    for (double vv : {-asc, desc}) {
      double px = l.baseX + uu * c + vv * sn, py = l.baseY - uu * sn + vv * c;
      minX = std::min(minX, px), maxX = std::max(maxX, px), minY = std::min(minY, py), maxY = std::max(maxY, py);
    }
  l.cells = n == 0 ? RECTL{} : RECTL{Round(std::floor(minX)), Round(std::floor(minY)), Round(std::ceil(maxX)),
                                     Round(std::ceil(maxY))};
  return l;
}


// Underline and strike-out as device figures: a band along the baseline for each.
std::vector<engine::PathPoints> Decorations(const Realized& r, const LOGFONTW& lf, const Layout& l) {
  std::vector<engine::PathPoints> out;
  double a = r.font->realization().escapement * kPi / 1800.0, c = std::cos(a), sn = std::sin(a);
  double length = 0;
  for (double adv : l.advances) length += adv;
  auto band = [&](double top, double thickness) {
    // top: distance below the baseline of the band's upper edge.
    engine::PathPoints p;
    auto at = [&](double uu, double vv) {
      return POINTFIX{static_cast<FIX>(std::lround((l.baseX + uu * c + vv * sn) * 16)),
                      static_cast<FIX>(std::lround((l.baseY - uu * sn + vv * c) * 16))};
    };
    POINTFIX p0 = at(0, top), p1 = at(length, top), p2 = at(length, top + thickness), p3 = at(0, top + thickness);
    p.MoveTo(p0.x, p0.y);
    p.LineTo(p1.x, p1.y);
    p.LineTo(p2.x, p2.y);
    p.LineTo(p3.x, p3.y);
    p.CloseFigure();
    out.push_back(std::move(p));
  };
  if (lf.lfUnderline != 0) {
    double thick = std::max(1.0, std::round(Units(r, r.ifi->fwdUnderscoreSize)));
    band(std::round(-Units(r, r.ifi->fwdUnderscorePosition)), thick);
  }
  if (lf.lfStrikeOut != 0) {
    double thick = std::max(1.0, std::round(Units(r, r.ifi->fwdStrikeoutSize)));
    band(std::round(-Units(r, r.ifi->fwdStrikeoutPosition)), thick);
  }
  return out;
}

}  // namespace platform::gdi

using namespace platform::gdi;
using platform::Utf16ToUtf8;

extern "C" {

HFONT CreateFontIndirectW(const LOGFONTW* logFont) {
  if (logFont == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  try {
    auto f = std::make_shared<FontObject>();
    f->logFont = *logFont;
    // A face name without its NUL is cut to fit one.
    platform::CopyWideField(f->logFont.lfFaceName, LF_FACESIZE, platform::WideField(logFont->lfFaceName, LF_FACESIZE));
    return static_cast<HFONT>(NewFont(std::move(f)));
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
}

HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                  DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                  DWORD pitchAndFamily, LPCWSTR faceName) {
  LOGFONTW lf{};
  lf.lfHeight = height;
  lf.lfWidth = width;
  lf.lfEscapement = escapement;
  lf.lfOrientation = orientation;
  lf.lfWeight = weight;
  lf.lfItalic = static_cast<BYTE>(italic != 0);
  lf.lfUnderline = static_cast<BYTE>(underline != 0);
  lf.lfStrikeOut = static_cast<BYTE>(strikeOut != 0);
  lf.lfCharSet = static_cast<BYTE>(charSet);
  lf.lfOutPrecision = static_cast<BYTE>(outPrecision);
  lf.lfClipPrecision = static_cast<BYTE>(clipPrecision);
  lf.lfQuality = static_cast<BYTE>(quality);
  lf.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
  if (faceName != nullptr) platform::CopyWideField(lf.lfFaceName, LF_FACESIZE, faceName);
  return CreateFontIndirectW(&lf);
}

int AddFontResourceExW(LPCWSTR fileName, DWORD flags, PVOID) {
  if (fileName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  try {
    int n = platform::fonts::RegisterFontFile(Utf16ToUtf8(fileName), (flags & FR_NOT_ENUM) == 0);
    if (n == 0) SetLastError(ERROR_FILE_NOT_FOUND);
    return n;
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
}

BOOL RemoveFontResourceExW(LPCWSTR fileName, DWORD, PVOID) {
  if (fileName == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  return platform::fonts::UnregisterFontFile(Utf16ToUtf8(fileName)) ? TRUE : Fail(ERROR_FILE_NOT_FOUND);
}

HANDLE AddFontMemResourceEx(PVOID fileView, DWORD size, PVOID, DWORD* fontCount) {
  if (fileView == nullptr || size == 0 || fontCount == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  try {
    const auto* b = static_cast<const BYTE*>(fileView);
    HANDLE h = platform::fonts::RegisterFontMemory(std::vector<BYTE>(b, b + size), fontCount);
    if (h == nullptr) {
      *fontCount = 0;
      SetLastError(ERROR_INVALID_DATA);
    }
    return h;
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
}

BOOL RemoveFontMemResourceEx(HANDLE fontHandle) {
  return platform::fonts::UnregisterFontMemory(fontHandle) ? TRUE : Fail(ERROR_INVALID_HANDLE);
}

int EnumFontFamiliesExW(HDC hdc, LOGFONTW* logFont, FONTENUMPROCW proc, LPARAM lParam, DWORD) {
  if (logFont == nullptr || proc == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  try {
    auto t = FindDrawingTarget(hdc);
    if (!t) return 0;
    std::u16string family(platform::WideField(logFont->lfFaceName, LF_FACESIZE));
    auto faces = platform::fonts::ListFaces(family);
    BYTE charSet = logFont->lfCharSet == DEFAULT_CHARSET ? ANSI_CHARSET : logFont->lfCharSet;
    int result = 0;
    std::u16string lastFamily;
    for (const auto& face : faces) {
      // Without a family name each family is reported once.
      if (family.empty() && !lastFamily.empty() && face.family.size() == lastFamily.size() &&
          std::equal(face.family.begin(), face.family.end(), lastFamily.begin(),
                     [](char16_t a, char16_t b) { return LowerChar(a) == LowerChar(b); }))
        continue;
      lastFamily = face.family;
      platform::engine::FontRealization r;
      r.emPixels = 2048;
      r.charSet = charSet;
      r.dpiX = t->dpiX;
      r.dpiY = t->dpiY;
      auto file = face.file != nullptr ? face.file : platform::fonts::LoadFontFile(face.path);
      if (file == nullptr) continue;
      auto font = platform::engine::EngineFont::FromMemory(file->bytes, face.index, r);
      if (!font) continue;
      const IFIMETRICS* ifi = FONTOBJ_pifi(font->get());
      ENUMLOGFONTEXW elf{};
      NEWTEXTMETRICEXW ntm{};
      Realized rz;
      rz.font = std::make_shared<platform::engine::EngineFont>(std::move(*font));
      rz.ifi = ifi;
      rz.em = 2048;
      LOGFONTW& lf = elf.elfLogFont;
      lf.lfWeight = face.weight;
      lf.lfItalic = face.italic ? 1 : 0;
      lf.lfCharSet = charSet;
      lf.lfOutPrecision = OUT_TT_PRECIS;
      bool fixed = (ifi->flInfo & FM_INFO_CONSTANT_WIDTH) != 0;
      lf.lfPitchAndFamily = fixed ? FIXED_PITCH | FF_MODERN : VARIABLE_PITCH | FF_SWISS;
      TEXTMETRICW tm = DeviceMetrics(rz, lf);
      lf.lfHeight = tm.tmHeight;
      lf.lfWidth = tm.tmAveCharWidth;
      platform::CopyWideField(lf.lfFaceName, LF_FACESIZE, face.family);
      platform::CopyWideField(elf.elfFullName, LF_FULLFACESIZE, face.family + u" " + face.style);
      platform::CopyWideField(elf.elfStyle, LF_FACESIZE, face.style);
      platform::CopyWideField(elf.elfScript, LF_FACESIZE, charSet == ANSI_CHARSET ? u"Western" : u"");
      ntm.ntmTm.tm = tm;
      ntm.ntmTm.ntmFlags = (face.italic ? NTM_ITALIC : 0) | (face.weight >= FW_BOLD ? NTM_BOLD : 0);
      if (ntm.ntmTm.ntmFlags == 0) ntm.ntmTm.ntmFlags = NTM_REGULAR;
      ntm.ntmTm.ntmSizeEM = static_cast<UINT>(ifi->fwdUnitsPerEm);
      ntm.ntmTm.ntmCellHeight = static_cast<UINT>(tm.tmHeight);
      ntm.ntmTm.ntmAvgWidth = static_cast<UINT>(tm.tmAveCharWidth);
      result = proc(&elf.elfLogFont, &ntm.ntmTm.tm, TRUETYPE_FONTTYPE, lParam);
      if (result == 0) break;
    }
    return result;
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
}

BOOL GetTextMetricsW(HDC hdc, TEXTMETRICW* metrics) {
  if (metrics == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  return Guarded(hdc, [&](const DrawingTarget& t) -> BOOL {
    auto r = Realize(t.state(), t.dpiX, t.dpiY);
    if (!r) return Fail(ERROR_INVALID_HANDLE);
    *metrics = ToLogical(DeviceMetrics(*r, t.state().font->logFont), *r);
    return TRUE;
  });
}

int GetTextFaceW(HDC hdc, int count, LPWSTR faceName) {
  return Guarded(hdc, [&](const DrawingTarget& t) -> int {
    auto r = Realize(t.state(), t.dpiX, t.dpiY);
    if (!r) return Fail(ERROR_INVALID_HANDLE);
    if (faceName == nullptr) return static_cast<int>(r->family.size() + 1);
    if (count <= 0) return Fail(ERROR_INVALID_PARAMETER);
    platform::CopyWideField(faceName, static_cast<size_t>(count), r->family);
    return static_cast<int>(std::min<size_t>(r->family.size(), static_cast<size_t>(count) - 1));
  });
}

BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int count, SIZE* size) {
  if (size == nullptr || count < 0 || (count > 0 && text == nullptr)) return Fail(ERROR_INVALID_PARAMETER);
  return Guarded(hdc, [&](const DrawingTarget& t) -> BOOL {
    auto r = Realize(t.state(), t.dpiX, t.dpiY);
    if (!r) return Fail(ERROR_INVALID_HANDLE);
    double width = 0;
    for (int i = 0; i < count; ++i) {
      char32_t code = text[i];
      if (code >= 0xD800 && code < 0xDC00 && i + 1 < count && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
        code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00u);
      width += r->font->AdvanceFix(r->font->GlyphIndex(code)) / 16.0;
    }
    TEXTMETRICW tm = ToLogical(DeviceMetrics(*r, t.state().font->logFont), *r);
    size->cx = Round(width / r->scaleX) + t.state().charExtra * count;
    size->cy = tm.tmHeight;
    return TRUE;
  });
}

BOOL GetCharWidth32W(HDC hdc, UINT first, UINT last, INT* widths) {
  if (widths == nullptr || last < first || last - first > 0x10FFFF) return Fail(ERROR_INVALID_PARAMETER);
  return Guarded(hdc, [&](const DrawingTarget& t) -> BOOL {
    auto r = Realize(t.state(), t.dpiX, t.dpiY);
    if (!r) return Fail(ERROR_INVALID_HANDLE);
    for (UINT c = first; c <= last; ++c)
      widths[c - first] = Round(r->font->AdvanceFix(r->font->GlyphIndex(c)) / 16.0 / r->scaleX);
    return TRUE;
  });
}

DWORD GetGlyphIndicesW(HDC hdc, LPCWSTR text, int count, WORD* indices, DWORD flags) {
  if (count < 0 || (count > 0 && (text == nullptr || indices == nullptr))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return GDI_ERROR;
  }
  try {
    auto t = FindDrawingTarget(hdc);
    if (!t) return GDI_ERROR;
    auto r = Realize(t->state(), t->dpiX, t->dpiY);
    if (!r) {
      SetLastError(ERROR_INVALID_HANDLE);
      return GDI_ERROR;
    }
    for (int i = 0; i < count; ++i) {
      HGLYPH g = r->font->GlyphIndex(text[i]);
      indices[i] = g == 0 && (flags & GGI_MARK_NONEXISTING_GLYPHS) != 0 ? 0xFFFF : static_cast<WORD>(g);
    }
    return static_cast<DWORD>(count);
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return GDI_ERROR;
  }
}

BOOL TextOutW(HDC hdc, int x, int y, LPCWSTR text, int count) {
  if (count < 0) return Fail(ERROR_INVALID_PARAMETER);
  return Guarded(hdc, [&](const DrawingTarget& t) { return DrawText(t, x, y, 0, nullptr, text, static_cast<UINT>(count), nullptr); });
}

BOOL ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count, const INT* dx) {
  return Guarded(hdc, [&](const DrawingTarget& t) { return DrawText(t, x, y, options, rect, text, count, dx); });
}

UINT SetTextAlign(HDC hdc, UINT align) {
  try {
    auto t = FindDrawingTarget(hdc);
    if (!t) return GDI_ERROR;
    UINT previous = t->state().textAlign;
    t->state().textAlign = align & TA_MASK;
    return previous;
  } catch (const std::bad_alloc&) {
    return GDI_ERROR;
  }
}

UINT GetTextAlign(HDC hdc) {
  auto t = FindDrawingTarget(hdc);
  return t ? t->state().textAlign : GDI_ERROR;
}

COLORREF SetTextColor(HDC hdc, COLORREF color) {
  auto t = FindDrawingTarget(hdc);
  if (!t) return CLR_INVALID;
  COLORREF previous = t->state().textColor;
  t->state().textColor = color;
  return previous;
}

COLORREF GetTextColor(HDC hdc) {
  auto t = FindDrawingTarget(hdc);
  return t ? t->state().textColor : CLR_INVALID;
}

COLORREF SetBkColor(HDC hdc, COLORREF color) {
  auto t = FindDrawingTarget(hdc);
  if (!t) return CLR_INVALID;
  COLORREF previous = t->state().bkColor;
  t->state().bkColor = color;
  return previous;
}

COLORREF GetBkColor(HDC hdc) {
  auto t = FindDrawingTarget(hdc);
  return t ? t->state().bkColor : CLR_INVALID;
}

int SetBkMode(HDC hdc, int mode) {
  auto t = FindDrawingTarget(hdc);
  if (!t) return 0;
  if (mode != TRANSPARENT && mode != OPAQUE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  int previous = t->state().bkMode;
  t->state().bkMode = mode;
  return previous;
}

int GetBkMode(HDC hdc) {
  auto t = FindDrawingTarget(hdc);
  return t ? t->state().bkMode : 0;
}

int SetTextCharacterExtra(HDC hdc, int extra) {
  auto t = FindDrawingTarget(hdc);
  if (!t) return static_cast<int>(0x80000000);
  int previous = t->state().charExtra;
  t->state().charExtra = extra;
  return previous;
}

int GetTextCharacterExtra(HDC hdc) {
  auto t = FindDrawingTarget(hdc);
  return t ? t->state().charExtra : static_cast<int>(0x80000000);
}

}  // extern "C"
