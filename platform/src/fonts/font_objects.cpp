// FONTOBJ and STROBJ over FreeType faces, and the engine's font and string services.
// Glyphs are taken from the face's design outline (unhinted) and mapped by the realization's
// notional-to-device transform, so outlines, bitmaps, advances and FONTOBJ_pxoGetXform agree.
#include "platform/font_objects.h"

#include <freetype/ftbitmap.h>
#include <freetype/ftoutln.h>
#include <freetype/tttables.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <new>

#include "../engine/engine_internal.h"
#include "font_faces.h"
#include "platform/utf16.h"
#include "win/wingdi.h"

namespace platform::engine {

using fonts::Face;
using fonts::FontFile;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kItalicShear = 0.2126;  // tan 12°, the slant of a simulated italic

// One iUniq per distinct realization, so the same face at the same size is recognised again.
ULONG UniqFor(const std::string& key) {
  static std::mutex lock;
  static std::map<std::string, ULONG> ids;
  std::lock_guard g(lock);
  auto [it, added] = ids.emplace(key, static_cast<ULONG>(ids.size() + 1));
  return it->second;
}

struct Matrix2 {
  double m11, m12, m21, m22;  // device = (x*m11 + y*m21, x*m12 + y*m22), notional y down
};

}  // namespace

struct EngineFont::Impl {
  Header<FONTOBJ, EngineFont::Impl, 0x544E4F46> head;
  FontRealization r;
  std::unique_ptr<Face> face;
  double scale = 1;  // pixels per font unit along the em
  Matrix2 notional{};  // font units (y down) to device pixels
  Matrix2 glyph{};     // the same with the italic shear
  EngineXform xform;
  LONG boldPixels = 0;
  std::vector<BYTE> ifi;  // IFIMETRICS and its names
  // What the last FONTOBJ_cGetGlyphs handed out.
  GLYPHDATA data{};
  GLYPHDEF def{};
  std::vector<BYTE> bits;
  std::optional<EnginePath> path;

  FT_Face ft() const { return face->get(); }
  bool TrueType() const { return FT_IS_SFNT(ft()) && FT_Get_Sfnt_Table(ft(), FT_SFNT_MAXP) != nullptr &&
                                 static_cast<TT_MaxProfile*>(FT_Get_Sfnt_Table(ft(), FT_SFNT_MAXP))->version ==
                                     0x00010000; }
  // Device pixels of a length in font units along the em.
  LONG Px(double units) const { return static_cast<LONG>(std::lround(units * scale)); }
  LONG AdvancePixels(HGLYPH g) const;
  bool LoadOutline(HGLYPH g, FT_Outline** out);
  bool Build();
  void BuildIfi();
  GLYPHDATA* Glyph(HGLYPH g, ULONG mode);
};

namespace {

using FontHeader = decltype(EngineFont::Impl::head);

void Transform(const Matrix2& m, double x, double y, double* dx, double* dy) {
  *dx = x * m.m11 + y * m.m21;
  *dy = x * m.m12 + y * m.m22;
}

}  // namespace

LONG EngineFont::Impl::AdvancePixels(HGLYPH g) const {
  std::lock_guard lock(fonts::FreeTypeLock());
  if (FT_Load_Glyph(ft(), g, FT_LOAD_NO_SCALE | FT_LOAD_IGNORE_TRANSFORM) != 0) return 0;
  double units = static_cast<double>(ft()->glyph->metrics.horiAdvance);
  return static_cast<LONG>(std::lround(units * scale * r.widthScale)) + boldPixels;
}

// The glyph's outline in font units as FreeType loaded it into the face's slot (valid until the
// next load), emboldened when bold is simulated.
bool EngineFont::Impl::LoadOutline(HGLYPH g, FT_Outline** out) {
  if (FT_Load_Glyph(ft(), g, FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP) != 0) return false;
  if (ft()->glyph->format != FT_GLYPH_FORMAT_OUTLINE) return false;
  FT_Outline* o = &ft()->glyph->outline;
  if (boldPixels > 0 && scale > 0) {
    FT_Pos strength = static_cast<FT_Pos>(std::lround(boldPixels / scale / r.widthScale));
    FT_Outline_EmboldenXY(o, strength, 0);
    // Emboldening spreads both ways; the simulated glyph keeps its left bearing.
    FT_Outline_Translate(o, strength / 2, 0);
  }
  *out = o;
  return true;
}

bool EngineFont::Impl::Build() {
  FT_Face f = ft();
  if (f->units_per_EM == 0 || !(r.emPixels > 0) || r.emPixels > 32767 || !(r.widthScale > 0) ||
      r.widthScale > 100)
    return false;
  scale = r.emPixels / f->units_per_EM;
  double a = r.escapement * kPi / 1800.0;
  double c = std::cos(a), s = std::sin(a);
  // Notional x goes along the baseline, (cos, −sin) on the page; notional y (down) at right angles.
  double sx = scale * r.widthScale, sy = scale;
  notional = {sx * c, -sx * s, sy * s, sy * c};
  glyph = notional;
  if (r.simulateItalic) {
    // x' = x − shear·y in notional units (y down): the top leans right.
    glyph.m21 = notional.m21 - kItalicShear * notional.m11;
    glyph.m22 = notional.m22 - kItalicShear * notional.m12;
  }
  xform = EngineXform(XFORML{static_cast<FLOATL>(notional.m11), static_cast<FLOATL>(notional.m12),
                             static_cast<FLOATL>(notional.m21), static_cast<FLOATL>(notional.m22), 0, 0});
  boldPixels = r.simulateBold ? std::max<LONG>(1, static_cast<LONG>(std::lround(r.emPixels / 32))) : 0;

  FONTOBJ& fo = head.obj;
  fo.iFace = face->index() + 1;
  fo.iTTUniq = face->file().id;
  fo.iFile = face->file().id;
  fo.sizLogResPpi = {r.dpiX, r.dpiY};
  fo.ulStyleSize = static_cast<ULONG>(std::lround(r.emPixels * 72.0 / std::max<LONG>(r.dpiY, 1)));
  fo.cxMax = static_cast<ULONG>(std::lround(f->max_advance_width * sx)) + static_cast<ULONG>(boldPixels);
  FLONG type = 0;
  if (TrueType()) type |= FO_TYPE_TRUETYPE;
  else if (FT_IS_SFNT(f)) type |= FO_TYPE_OPENTYPE | FO_CFF | FO_POSTSCRIPT;
  if (r.simulateBold) type |= FO_SIM_BOLD;
  if (r.simulateItalic) type |= FO_SIM_ITALIC;
  if (r.vertical) type |= FO_VERT_FACE;
  fo.flFontType = type;
  char key[256];
  std::snprintf(key, sizeof key, "%lu/%u/%.4f/%.4f/%d/%d%d%d/%d/%d/%u", static_cast<unsigned long>(fo.iTTUniq),
                face->index(), r.emPixels, r.widthScale, static_cast<int>(r.escapement), r.simulateBold,
                r.simulateItalic, r.vertical, static_cast<int>(r.dpiX), static_cast<int>(r.dpiY), r.charSet);
  fo.iUniq = UniqFor(key);
  BuildIfi();
  return true;
}

void EngineFont::Impl::BuildIfi() {
  FT_Face f = ft();
  auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2));
  if (os2 != nullptr && os2->version == 0xFFFF) os2 = nullptr;
  auto* hhea = static_cast<TT_HoriHeader*>(FT_Get_Sfnt_Table(f, FT_SFNT_HHEA));
  auto* post = static_cast<TT_Postscript*>(FT_Get_Sfnt_Table(f, FT_SFNT_POST));
  auto* head16 = static_cast<TT_Header*>(FT_Get_Sfnt_Table(f, FT_SFNT_HEAD));

  std::u16string family = fonts::FamilyName(f);
  if (r.vertical) family.insert(family.begin(), u'@');
  std::u16string style = fonts::StyleName(f);
  std::u16string full = family + u" " + style;
  std::u16string unique = full;
  std::vector<std::u16string> names{family, style, full, unique};
  size_t size = sizeof(IFIMETRICS);
  std::vector<size_t> offsets;
  for (auto& n : names) {
    offsets.push_back(size);
    size += (n.size() + 1) * sizeof(WCHAR);
  }
  size = (size + 7) & ~size_t{7};
  ifi.assign(size, 0);
  auto* m = reinterpret_cast<IFIMETRICS*>(ifi.data());
  for (size_t i = 0; i < names.size(); ++i)
    std::memcpy(ifi.data() + offsets[i], names[i].c_str(), (names[i].size() + 1) * sizeof(WCHAR));
  auto fw = [](long v) { return static_cast<FWORD>(std::clamp<long>(v, -32768, 32767)); };
  m->cjThis = static_cast<ULONG>(size);
  m->dpwszFamilyName = static_cast<PTRDIFF>(offsets[0]);
  m->dpwszStyleName = static_cast<PTRDIFF>(offsets[1]);
  m->dpwszFaceName = static_cast<PTRDIFF>(offsets[2]);
  m->dpwszUniqueName = static_cast<PTRDIFF>(offsets[3]);
  m->jWinCharSet = r.charSet;
  bool fixed = FT_IS_FIXED_WIDTH(f);
  m->jWinPitchAndFamily = fixed ? FIXED_PITCH : VARIABLE_PITCH;
  m->usWinWeight = static_cast<USHORT>(fonts::FaceWeight(f));
  FLONG info = FM_INFO_ARB_XFORMS | FM_INFO_1BPP | FM_INFO_RETURNS_OUTLINES | FM_INFO_RETURNS_BITMAPS |
               FM_INFO_RIGHT_HANDED;
  info |= TrueType() ? FM_INFO_TECH_TRUETYPE : FM_INFO_TECH_OUTLINE_NOT_TRUETYPE;
  if (!TrueType() && FT_IS_SFNT(f)) info |= FM_INFO_TECH_CFF;
  if (fixed) info |= FM_INFO_CONSTANT_WIDTH | FM_INFO_OPTICALLY_FIXED_PITCH;
  m->flInfo = info;
  USHORT sel = 0;
  if (fonts::FaceItalic(f)) sel |= FM_SEL_ITALIC;
  if (fonts::FaceWeight(f) >= 600) sel |= FM_SEL_BOLD;
  if (sel == 0) sel = FM_SEL_REGULAR;
  m->fsSelection = sel;
  m->fsType = os2 != nullptr ? static_cast<USHORT>(os2->fsType & 0x000E) : 0;
  m->fwdUnitsPerEm = fw(f->units_per_EM);
  m->fwdLowestPPEm = head16 != nullptr ? fw(head16->Lowest_Rec_PPEM) : 0;
  m->fwdWinAscender = fw(os2 != nullptr ? os2->usWinAscent : f->ascender);
  m->fwdWinDescender = fw(os2 != nullptr ? os2->usWinDescent : -f->descender);
  m->fwdMacAscender = fw(hhea != nullptr ? hhea->Ascender : f->ascender);
  m->fwdMacDescender = fw(hhea != nullptr ? hhea->Descender : f->descender);
  m->fwdMacLineGap = fw(hhea != nullptr ? hhea->Line_Gap : 0);
  m->fwdTypoAscender = fw(os2 != nullptr ? os2->sTypoAscender : f->ascender);
  m->fwdTypoDescender = fw(os2 != nullptr ? os2->sTypoDescender : f->descender);
  m->fwdTypoLineGap = fw(os2 != nullptr ? os2->sTypoLineGap : 0);
  m->fwdAveCharWidth = fw(os2 != nullptr && os2->xAvgCharWidth > 0 ? os2->xAvgCharWidth : f->max_advance_width / 2);
  m->fwdMaxCharInc = fw(f->max_advance_width);
  m->fwdCapHeight = fw(os2 != nullptr && os2->version >= 2 ? os2->sCapHeight : f->ascender * 7 / 10);
  m->fwdXHeight = fw(os2 != nullptr && os2->version >= 2 ? os2->sxHeight : f->ascender / 2);
  if (os2 != nullptr) {
    m->fwdSubscriptXSize = fw(os2->ySubscriptXSize);
    m->fwdSubscriptYSize = fw(os2->ySubscriptYSize);
    m->fwdSubscriptXOffset = fw(os2->ySubscriptXOffset);
    m->fwdSubscriptYOffset = fw(os2->ySubscriptYOffset);
    m->fwdSuperscriptXSize = fw(os2->ySuperscriptXSize);
    m->fwdSuperscriptYSize = fw(os2->ySuperscriptYSize);
    m->fwdSuperscriptXOffset = fw(os2->ySuperscriptXOffset);
    m->fwdSuperscriptYOffset = fw(os2->ySuperscriptYOffset);
    m->fwdStrikeoutSize = fw(os2->yStrikeoutSize);
    m->fwdStrikeoutPosition = fw(os2->yStrikeoutPosition);
    std::memcpy(m->achVendId, os2->achVendID, 4);
    std::memcpy(&m->panose, os2->panose, sizeof m->panose);
    m->wcFirstChar = static_cast<WCHAR>(os2->usFirstCharIndex);
    m->wcLastChar = static_cast<WCHAR>(os2->usLastCharIndex);
  } else {
    m->fwdStrikeoutSize = fw(f->underline_thickness);
    m->fwdStrikeoutPosition = fw(f->ascender / 3);
    m->wcFirstChar = 0x20;
    m->wcLastChar = 0xFFFD;
  }
  m->fwdUnderscoreSize = fw(f->underline_thickness);
  m->fwdUnderscorePosition = fw(f->underline_position);
  m->lItalicAngle = post != nullptr ? static_cast<LONG>(std::lround(post->italicAngle / 65536.0 * 10)) : 0;
  m->chFirstChar = 0x1E;
  m->chLastChar = 0xFF;
  m->chDefaultChar = 0x1F;
  m->chBreakChar = 0x20;
  m->wcDefaultChar = 0x0020;
  m->wcBreakChar = 0x0020;
  m->ptlBaseline = {1, 0};
  m->ptlAspect = {r.dpiX, r.dpiY};
  m->ptlCaret = {0, 1};
  m->rclFontBox = {static_cast<LONG>(f->bbox.xMin), static_cast<LONG>(f->bbox.yMax),
                   static_cast<LONG>(f->bbox.xMax), static_cast<LONG>(f->bbox.yMin)};
}

// FONTOBJ_cGetGlyphs for one glyph: metrics, and the bitmap or outline the mode asks for.
GLYPHDATA* EngineFont::Impl::Glyph(HGLYPH g, ULONG mode) {
  if (g >= static_cast<HGLYPH>(ft()->num_glyphs)) return nullptr;
  if (mode != FO_GLYPHBITS && mode != FO_PATHOBJ && mode != FO_HGLYPHS) return nullptr;
  LONG advance = AdvancePixels(g);
  std::lock_guard lock(fonts::FreeTypeLock());
  FT_Outline* o = nullptr;
  if (!LoadOutline(g, &o)) return nullptr;
  // The outline in device pixels relative to the origin, 26.6, y up for FreeType's rasteriser.
  for (int i = 0; i < o->n_points; ++i) {
    double x = static_cast<double>(o->points[i].x), y = -static_cast<double>(o->points[i].y);
    double dx, dy;
    Transform(glyph, x, y, &dx, &dy);
    o->points[i].x = static_cast<FT_Pos>(std::lround(dx * 64));
    o->points[i].y = static_cast<FT_Pos>(std::lround(-dy * 64));
  }
  FT_BBox box{};
  FT_Outline_Get_CBox(o, &box);
  LONG left = static_cast<LONG>(std::floor(box.xMin / 64.0)), right = static_cast<LONG>(std::ceil(box.xMax / 64.0));
  LONG bottom = static_cast<LONG>(std::floor(box.yMin / 64.0)), top = static_cast<LONG>(std::ceil(box.yMax / 64.0));
  bool blank = o->n_points == 0 || right <= left || top <= bottom;
  if (blank) left = right = top = bottom = 0;

  data = GLYPHDATA{};
  data.hg = g;
  data.fxD = advance * 16;
  data.fxA = left * 16;
  data.fxAB = right * 16;
  data.fxInkTop = top * 16;
  data.fxInkBottom = bottom * 16;
  data.rclInk = {left, -top, right, -bottom};
  double a = r.escapement * kPi / 1800.0;
  data.ptqD.x = static_cast<LONGLONG>(std::llround(advance * std::cos(a) * 4294967296.0));
  data.ptqD.y = static_cast<LONGLONG>(std::llround(-advance * std::sin(a) * 4294967296.0));

  if (mode == FO_GLYPHBITS) {
    LONG w = blank ? 1 : right - left, h = blank ? 1 : top - bottom;
    if (static_cast<int64_t>(w) * h > 64 * 1024 * 1024) return nullptr;
    size_t pitch = (static_cast<size_t>(w) + 7) / 8;
    bits.assign(offsetof(GLYPHBITS, aj) + std::max<size_t>(pitch * h, 4), 0);
    auto* gb = reinterpret_cast<GLYPHBITS*>(bits.data());
    gb->ptlOrigin = {left, -top};
    gb->sizlBitmap = {w, h};
    if (!blank) {
      FT_Outline_Translate(o, -static_cast<FT_Pos>(left) * 64, -static_cast<FT_Pos>(bottom) * 64);
      FT_Bitmap bm;
      FT_Bitmap_Init(&bm);
      bm.rows = static_cast<unsigned>(h);
      bm.width = static_cast<unsigned>(w);
      bm.pitch = static_cast<int>(pitch);  // positive: the first row is the top one
      bm.pixel_mode = FT_PIXEL_MODE_MONO;
      bm.num_grays = 2;
      bm.buffer = gb->aj;
      FT_Outline_Get_Bitmap(fonts::FreeType(), o, &bm);
    }
    def.pgb = gb;
    data.gdf = def;
  } else if (mode == FO_PATHOBJ) {
    PathPoints pts;
    struct Ctx {
      PathPoints* p;
      FT_Vector last;
      bool open;
    } ctx{&pts, {}, false};
    FT_Outline_Funcs funcs{};
    funcs.move_to = [](const FT_Vector* to, void* u) {
      auto* c = static_cast<Ctx*>(u);
      if (c->open) c->p->CloseFigure();
      c->p->MoveTo(static_cast<FIX>(to->x / 4), static_cast<FIX>(-to->y / 4));
      c->last = *to;
      c->open = true;
      return 0;
    };
    funcs.line_to = [](const FT_Vector* to, void* u) {
      auto* c = static_cast<Ctx*>(u);
      c->p->LineTo(static_cast<FIX>(to->x / 4), static_cast<FIX>(-to->y / 4));
      c->last = *to;
      return 0;
    };
    funcs.conic_to = [](const FT_Vector* ctl, const FT_Vector* to, void* u) {
      auto* c = static_cast<Ctx*>(u);
      // The quadratic as a cubic: control points two thirds of the way to the conic's.
      double x0 = c->last.x, y0 = c->last.y;
      double c1x = x0 + 2.0 / 3 * (ctl->x - x0), c1y = y0 + 2.0 / 3 * (ctl->y - y0);
      double c2x = to->x + 2.0 / 3 * (ctl->x - to->x), c2y = to->y + 2.0 / 3 * (ctl->y - to->y);
      c->p->BezierTo({static_cast<FIX>(std::lround(c1x / 4)), static_cast<FIX>(std::lround(-c1y / 4))},
                     {static_cast<FIX>(std::lround(c2x / 4)), static_cast<FIX>(std::lround(-c2y / 4))},
                     {static_cast<FIX>(to->x / 4), static_cast<FIX>(-to->y / 4)});
      c->last = *to;
      return 0;
    };
    funcs.cubic_to = [](const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* u) {
      auto* c = static_cast<Ctx*>(u);
      c->p->BezierTo({static_cast<FIX>(c1->x / 4), static_cast<FIX>(-c1->y / 4)},
                     {static_cast<FIX>(c2->x / 4), static_cast<FIX>(-c2->y / 4)},
                     {static_cast<FIX>(to->x / 4), static_cast<FIX>(-to->y / 4)});
      c->last = *to;
      return 0;
    };
    if (FT_Outline_Decompose(o, &funcs, &ctx) != 0) return nullptr;
    if (ctx.open) pts.CloseFigure();
    path.emplace(std::move(pts));
    def.ppo = path->get();
    data.gdf = def;
  }
  return &data;
}

// ---- EngineFont ----

EngineFont::EngineFont(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
EngineFont::~EngineFont() = default;
EngineFont::EngineFont(EngineFont&&) noexcept = default;
EngineFont& EngineFont::operator=(EngineFont&&) noexcept = default;

namespace {

std::optional<EngineFont> Make(std::shared_ptr<const FontFile> file, ULONG faceIndex, const FontRealization& r,
                               EngineFont (*wrap)(std::unique_ptr<EngineFont::Impl>)) {
  auto face = Face::Open(std::move(file), faceIndex);
  if (face == nullptr) return std::nullopt;
  auto impl = std::make_unique<EngineFont::Impl>();
  impl->r = r;
  impl->face = std::move(face);
  impl->head.owner = impl.get();
  if (!impl->Build()) return std::nullopt;
  return wrap(std::move(impl));
}

}  // namespace

std::optional<EngineFont> EngineFont::FromFile(const std::string& path, ULONG faceIndex,
                                               const FontRealization& realization) {
  return Make(fonts::LoadFontFile(path), faceIndex, realization,
              [](std::unique_ptr<Impl> i) { return EngineFont(std::move(i)); });
}

std::optional<EngineFont> EngineFont::FromMemory(std::vector<BYTE> fileBytes, ULONG faceIndex,
                                                 const FontRealization& realization) {
  return Make(fonts::AdoptFontBytes(std::move(fileBytes)), faceIndex, realization,
              [](std::unique_ptr<Impl> i) { return EngineFont(std::move(i)); });
}

std::optional<EngineFont> EngineFont::FromFamily(std::u16string_view family, LONG weight, bool italic,
                                                 const FontRealization& realization) {
  auto info = fonts::MatchFace(family, weight, italic);
  if (!info) return std::nullopt;
  auto file = info->file != nullptr ? info->file : fonts::LoadFontFile(info->path);
  return Make(std::move(file), info->index, realization,
              [](std::unique_ptr<Impl> i) { return EngineFont(std::move(i)); });
}

FONTOBJ* EngineFont::get() { return &impl_->head.obj; }
const FontRealization& EngineFont::realization() const { return impl_->r; }
const std::string& EngineFont::filePath() const { return impl_->face->file().path; }

HGLYPH EngineFont::GlyphIndex(char32_t ch) const {
  std::lock_guard lock(fonts::FreeTypeLock());
  return FT_Get_Char_Index(impl_->ft(), ch);
}

FIX EngineFont::AdvanceFix(HGLYPH glyph) const { return impl_->AdvancePixels(glyph) * 16; }

LONG EngineFont::Ascent() const {
  const auto* m = reinterpret_cast<const IFIMETRICS*>(impl_->ifi.data());
  return impl_->Px(m->fwdWinAscender);
}

LONG EngineFont::Descent() const {
  const auto* m = reinterpret_cast<const IFIMETRICS*>(impl_->ifi.data());
  return impl_->Px(m->fwdWinDescender);
}

LONG EngineFont::ExternalLeading() const {
  const auto* m = reinterpret_cast<const IFIMETRICS*>(impl_->ifi.data());
  long gap = static_cast<long>(m->fwdMacLineGap) -
             ((m->fwdWinAscender + m->fwdWinDescender) - (m->fwdMacAscender - m->fwdMacDescender));
  return impl_->Px(static_cast<double>(std::max(0L, gap)));
}

std::optional<PathPoints> EngineFont::GlyphOutline(HGLYPH glyph, POINTFIX origin) const {
  GLYPHDATA* gd = impl_->Glyph(glyph, FO_PATHOBJ);
  if (gd == nullptr) return std::nullopt;
  PathPoints p = impl_->path->points();
  for (auto& pt : p.points) {
    pt.x += origin.x;
    pt.y += origin.y;
  }
  return p;
}

// ---- EngineString ----

struct EngineString::Impl {
  Header<STROBJ, EngineString::Impl, 0x4F525453> head;
  EngineFont::Impl* font = nullptr;
  std::vector<GLYPHPOS> pos;
  std::u16string text;
  bool hidden = false;
  ULONG batch = 0;
  size_t next = 0;
  DWORD codePage = 1252;
};

namespace {

using StringHeader = decltype(EngineString::Impl::head);

DWORD CodePageOf(BYTE charSet) {
  switch (charSet) {
    case SHIFTJIS_CHARSET: return 932;
    case 129: return 949;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 163: return 1258;
    default: return 1252;
  }
}

// Flags for the direction of writing, and the background box of the glyph cells.
void Finish(EngineString::Impl& s, EngineFont::Impl& f, bool defaultPlacement, const std::vector<LONG>& advances) {
  STROBJ& so = s.head.obj;
  so.cGlyphs = static_cast<ULONG>(s.pos.size());
  so.pgp = s.pos.empty() ? nullptr : s.pos.data();
  so.pwszOrg = s.text.empty() ? nullptr : s.text.data();
  LONG esc = ((f.r.escapement % 3600) + 3600) % 3600;
  FLONG fl = 0;
  if (esc == 0) fl = SO_HORIZONTAL;
  else if (esc == 1800) fl = SO_HORIZONTAL | SO_REVERSED;
  else if (esc == 2700) fl = SO_VERTICAL;
  else if (esc == 900) fl = SO_VERTICAL | SO_REVERSED;
  if (defaultPlacement) fl |= SO_FLAG_DEFAULT_PLACEMENT;
  so.flAccel = fl;
  so.ulCharInc = 0;
  if (defaultPlacement && FT_IS_FIXED_WIDTH(f.ft()) && !advances.empty() && esc == 0 &&
      std::all_of(advances.begin(), advances.end(), [&](LONG a) { return a == advances[0]; }))
    so.ulCharInc = static_cast<ULONG>(advances[0]);
  s.codePage = CodePageOf(f.r.charSet);
  // The cells: from the first origin to the last glyph's end, ascent above and descent below.
  const auto* m = reinterpret_cast<const IFIMETRICS*>(f.ifi.data());
  double asc = f.Px(m->fwdWinAscender), desc = f.Px(m->fwdWinDescender);
  double a = f.r.escapement * kPi / 1800.0, c = std::cos(a), sn = std::sin(a);
  double minX = 1e18, minY = 1e18, maxX = -1e18, maxY = -1e18;
  auto add = [&](double x, double y) {
    minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
  };
  for (size_t i = 0; i < s.pos.size(); ++i) {
    double ox = s.pos[i].ptl.x, oy = s.pos[i].ptl.y;
    double adv = i < advances.size() ? advances[i] : 0;
    for (double along : {0.0, adv})
      for (double up : {asc, -desc}) add(ox + along * c - up * sn, oy - along * sn - up * c);
  }
  if (s.pos.empty()) so.rclBkGround = {};
  else
    so.rclBkGround = {static_cast<LONG>(std::floor(minX)), static_cast<LONG>(std::floor(minY)),
                      static_cast<LONG>(std::ceil(maxX)), static_cast<LONG>(std::ceil(maxY))};
}

}  // namespace

EngineString::EngineString(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
EngineString::~EngineString() = default;
EngineString::EngineString(EngineString&&) noexcept = default;
EngineString& EngineString::operator=(EngineString&&) noexcept = default;

EngineString EngineString::FromText(EngineFont& font, std::u16string_view text, POINTL origin,
                                    std::span<const LONG> advances) {
  auto s = std::make_unique<Impl>();
  s->head.owner = s.get();
  s->font = &font.impl();
  s->text.assign(text);
  double a = font.realization().escapement * kPi / 1800.0, c = std::cos(a), sn = std::sin(a);
  double along = 0;
  std::vector<LONG> used;
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t ch = text[i];
    HGLYPH g = font.GlyphIndex(ch);
    LONG adv = i < advances.size() ? advances[i] : font.impl().AdvancePixels(g);
    used.push_back(adv);
    GLYPHPOS gp{};
    gp.hg = g;
    gp.ptl = {origin.x + static_cast<LONG>(std::lround(along * c)), origin.y - static_cast<LONG>(std::lround(along * sn))};
    s->pos.push_back(gp);
    along += adv;
  }
  Finish(*s, font.impl(), advances.empty(), used);
  return EngineString(std::move(s));
}

EngineString EngineString::FromGlyphs(EngineFont& font, std::vector<HGLYPH> glyphs, std::vector<POINTL> positions,
                                      std::u16string_view text) {
  auto s = std::make_unique<Impl>();
  s->head.owner = s.get();
  s->font = &font.impl();
  s->text.assign(text);
  std::vector<LONG> used;
  size_t n = std::min(glyphs.size(), positions.size());
  for (size_t i = 0; i < n; ++i) {
    GLYPHPOS gp{};
    gp.hg = glyphs[i];
    gp.ptl = positions[i];
    s->pos.push_back(gp);
    used.push_back(font.impl().AdvancePixels(glyphs[i]));
  }
  Finish(*s, font.impl(), false, used);
  s->head.obj.flAccel |= SO_GLYPHINDEX_TEXTOUT;
  return EngineString(std::move(s));
}

STROBJ* EngineString::get() { return &impl_->head.obj; }
const std::vector<GLYPHPOS>& EngineString::positions() const { return impl_->pos; }
void EngineString::SetCharInc(ULONG increment) { impl_->head.obj.ulCharInc = increment; }
void EngineString::HidePositions(ULONG batch) {
  impl_->hidden = true;
  impl_->batch = std::max<ULONG>(batch, 1);
  impl_->head.obj.pgp = nullptr;
}
void EngineString::SetBackground(RECTL background) { impl_->head.obj.rclBkGround = background; }
void EngineString::SetAccel(FLONG flAccel) { impl_->head.obj.flAccel = flAccel; }
void EngineString::SetCodePage(DWORD codePage) { impl_->codePage = codePage; }

PathPoints StringOutlines(EngineFont& font, EngineString& string) {
  PathPoints all;
  for (const GLYPHPOS& gp : string.positions()) {
    auto outline = font.GlyphOutline(gp.hg, {gp.ptl.x * 16, gp.ptl.y * 16});
    if (!outline) continue;
    all.points.insert(all.points.end(), outline->points.begin(), outline->points.end());
    all.types.insert(all.types.end(), outline->types.begin(), outline->types.end());
  }
  return all;
}

}  // namespace platform::engine

using namespace platform::engine;

extern "C" {

void STROBJ_vEnumStart(STROBJ* pstro) {
  if (auto* s = StringHeader::From(pstro)) s->next = 0;
}

BOOL STROBJ_bEnum(STROBJ* pstro, ULONG* pc, GLYPHPOS** ppgpos) {
  auto* s = StringHeader::From(pstro);
  if (s == nullptr || pc == nullptr || ppgpos == nullptr) {
    if (pc != nullptr) *pc = 0;
    return FALSE;
  }
  size_t total = s->pos.size();
  size_t take = s->hidden ? std::min<size_t>(s->batch, total - std::min(s->next, total)) : total - std::min(s->next, total);
  *pc = static_cast<ULONG>(take);
  *ppgpos = take > 0 ? s->pos.data() + s->next : nullptr;
  s->next += take;
  return s->next < total ? TRUE : FALSE;
}

BOOL STROBJ_bEnumPositionsOnly(STROBJ* pstro, ULONG* pc, GLYPHPOS** ppgpos) { return STROBJ_bEnum(pstro, pc, ppgpos); }

DWORD STROBJ_dwGetCodePage(STROBJ* pstro) {
  auto* s = StringHeader::From(pstro);
  return s != nullptr ? s->codePage : 0;
}

ULONG FONTOBJ_cGetGlyphs(FONTOBJ* pfo, ULONG iMode, ULONG cGlyph, HGLYPH* phg, PVOID* ppvGlyph) {
  auto* f = FontHeader::From(pfo);
  if (ppvGlyph != nullptr) *ppvGlyph = nullptr;
  if (f == nullptr || cGlyph != 1 || phg == nullptr || ppvGlyph == nullptr) return 0;
  try {
    GLYPHDATA* gd = f->Glyph(*phg, iMode);
    if (gd == nullptr) return 0;
    *ppvGlyph = gd;
    return 1;
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

IFIMETRICS* FONTOBJ_pifi(FONTOBJ* pfo) {
  auto* f = FontHeader::From(pfo);
  return f != nullptr ? reinterpret_cast<IFIMETRICS*>(f->ifi.data()) : nullptr;
}

PVOID FONTOBJ_pvTrueTypeFontFile(FONTOBJ* pfo, ULONG* pcjFile) {
  auto* f = FontHeader::From(pfo);
  if (pcjFile != nullptr) *pcjFile = 0;
  if (f == nullptr || !FT_IS_SFNT(f->ft())) return nullptr;
  const auto& bytes = f->face->file().bytes;
  if (pcjFile != nullptr) *pcjFile = static_cast<ULONG>(bytes.size());
  return const_cast<BYTE*>(bytes.data());
}

XFORMOBJ* FONTOBJ_pxoGetXform(FONTOBJ* pfo) {
  auto* f = FontHeader::From(pfo);
  return f != nullptr ? f->xform.get() : nullptr;
}

ULONG FONTOBJ_cGetAllGlyphHandles(FONTOBJ* pfo, HGLYPH* phg) {
  auto* f = FontHeader::From(pfo);
  if (f == nullptr) return 0;
  auto n = static_cast<ULONG>(f->ft()->num_glyphs);
  if (phg != nullptr)
    for (ULONG i = 0; i < n; ++i) phg[i] = i;
  return n;
}

void EngUnicodeToMultiByteN(LPSTR pMultiByte, ULONG cjMultiByte, ULONG* pcjWritten, LPWSTR pUnicode,
                            ULONG cjUnicode) {
  if (pcjWritten != nullptr) *pcjWritten = 0;
  if (pMultiByte == nullptr || pUnicode == nullptr) return;
  std::string ansi = platform::Utf16ToAnsi(std::u16string_view(pUnicode, cjUnicode / sizeof(WCHAR)));
  ULONG n = std::min<ULONG>(cjMultiByte, static_cast<ULONG>(ansi.size()));
  std::memcpy(pMultiByte, ansi.data(), n);
  if (pcjWritten != nullptr) *pcjWritten = n;
}

}  // extern "C"
