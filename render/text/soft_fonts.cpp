// PCL soft fonts made from TrueType faces: the per-page list of downloaded fonts, the format-16
// font header, scalable characters (format 15, class 15: the font's own `glyf` data) and bitmap
// characters (format 4, class 1: glyph images the engine renders).
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/pdev.h"
#include "devmode/tracked_alloc.h"
#include "platform/utf16.h"
#include "text/text_fonts.h"
#include "text/truetype.h"

namespace render {

namespace {

constexpr char kFontId[] = "\x1b*c%dD";               // font identifier
constexpr char kSelectFontById[] = "\x1b(%dX";        // primary font by identifier
constexpr char kFontHeader[] = "\x1b)s%dW";           // font header, with its length
constexpr char kCharacterCode[] = "\x1b*c%dE";        // character code of the next download
constexpr char kCharacterData[] = "\x1b(s%dW";        // character descriptor and data
constexpr char kFontHeight[] = "\x1b(s%sV";           // primary height in points
constexpr char kDeleteFont[] = "\x1b*c%dd2F";         // select the identifier, delete that font
constexpr char kVerticalOn[] = "\x1b&c-1T";           // vertical writing of 16-bit fonts
constexpr char kVerticalOff[] = "\x1b&c0T";

constexpr int kHeaderBytes = 90;         // 72 descriptor + 16 segments + reserved + checksum
constexpr int kCharacterBlock = 16384;   // bitmap data per character block
constexpr int kComponentCode = 65535;    // code of a composite's components
constexpr uint16_t kHeaderSymbolSet = 629;  // 19U

void Put16(uint8_t* p, long v) {
  const uint16_t u = static_cast<uint16_t>(std::clamp<long>(v, -32768, 65535));
  p[0] = static_cast<uint8_t>(u >> 8);
  p[1] = static_cast<uint8_t>(u);
}

bool IsSet(const SoftFont& f, uint32_t code) { return (f.sent[code >> 3] >> (code & 7)) & 1; }
void MarkSet(SoftFont& f, uint32_t code) { f.sent[code >> 3] |= static_cast<uint8_t>(1 << (code & 7)); }

XFORML FontTransform(FONTOBJ* pfo) {
  XFORML xf{1, 0, 0, 1, 0, 0};
  if (XFORMOBJ* pxo = FONTOBJ_pxoGetXform(pfo)) XFORMOBJ_iGetXform(pxo, &xf);
  return xf;
}

// Each ratio within 10 %; both terms zero count as 1, one zero term as outside.
bool NearOne(double a, double b) {
  if (a == 0 && b == 0) return true;
  if (a == 0 || b == 0) return false;
  const double r = a / b;
  return r >= 0.9 && r <= 1.1;
}

std::string FamilyName(FONTOBJ* pfo) {
  const IFIMETRICS* ifi = FONTOBJ_pifi(pfo);
  if (ifi == nullptr || ifi->dpwszFamilyName <= 0 || static_cast<ULONG>(ifi->dpwszFamilyName) >= ifi->cjThis)
    return {};
  const auto* name = reinterpret_cast<const WCHAR*>(reinterpret_cast<const uint8_t*>(ifi) + ifi->dpwszFamilyName);
  const size_t capacity = (ifi->cjThis - static_cast<ULONG>(ifi->dpwszFamilyName)) / sizeof(WCHAR);
  std::string ansi = platform::Utf16ToAnsi(platform::WideField(name, capacity));
  if (ansi.size() >= kSoftFontNameBytes) ansi.resize(kSoftFontNameBytes - 1);
  return ansi;
}

// The code a character is sent as: its high byte's page (in order of first use) moved to 128 and
// up, and a low byte among the control codes moved up by 0x20 on a page of its own, so that
// neither byte of a code is a control code. 0 when the page table is full.
uint16_t PageCode(SoftFont& f, uint32_t character) {
  const bool control = (character & 0xFF) < 0x20;
  const uint16_t key = static_cast<uint16_t>(((character >> 8) & 0xFF) | (control ? 0x100 : 0));
  uint32_t page = 0;
  while (page < f.pageCount && f.pages[page] != key) ++page;
  if (page == f.pageCount) {
    if (f.pageCount >= 128) return 0;
    f.pages[f.pageCount++] = key;
  }
  return static_cast<uint16_t>(((page + 128) << 8) | ((character & 0xFF) + (control ? 0x20 : 0)));
}

void SendFontHeader(Pdev& pdev, FONTOBJ* pfo, const SoftFont& f, int32_t size) {
  uint8_t h[kHeaderBytes] = {};
  const IFIMETRICS* ifi = FONTOBJ_pifi(pfo);
  const XFORML xf = FontTransform(pfo);
  const double xLength = std::hypot(xf.eM11, xf.eM12), yLength = std::hypot(xf.eM21, xf.eM22);
  const long scaleX = pdev.doc.scaleX, scaleY = pdev.doc.scaleY;
  const long ascent = ifi ? std::lround(ifi->fwdWinAscender * yLength) : size;
  const long maxWidth = ifi ? std::lround(ifi->fwdMaxCharInc * xLength) : size;
  const long average = ifi ? std::lround(ifi->fwdAveCharWidth * xLength) : size / 2;
  Put16(h + 0, 72);  // descriptor size
  h[2] = 16;         // descriptor format
  h[3] = 3;          // font type: 16-bit codes
  Put16(h + 6, ascent * scaleY / 100);
  Put16(h + 8, maxWidth * scaleX / 100);
  Put16(h + 10, (size + 2L) * scaleY / 100);
  h[13] = 1;  // proportional spacing
  Put16(h + 14, kHeaderSymbolSet);
  Put16(h + 16, average * 4);
  Put16(h + 18, size * scaleY / 25);
  Put16(h + 20, size * scaleY * 3 / 100);
  if (f.fontType & FO_SIM_ITALIC) ++h[23];
  if (f.fontType & FO_SIM_BOLD) h[24] = 3;
  h[28] = 2;  // quality: letter
  Put16(h + 36, 0);       // first code
  Put16(h + 38, 0xFFFF);  // last code
  std::memcpy(h + 48, f.familyName, std::min<size_t>(std::strlen(f.familyName), 15));
  h[70] = 254;  // scaling technology: bitmap (the resolution segment below)
  // "BR": bitmap resolution, then the null segment.
  uint8_t* s = h + 72;
  s[0] = 'B';
  s[1] = 'R';
  s[5] = 4;
  Put16(s + 6, pdev.settings.pub.dmPrintQuality > 0 ? pdev.settings.pub.dmPrintQuality : 600);
  Put16(s + 8, pdev.settings.pub.dmYResolution > 0 ? pdev.settings.pub.dmYResolution : 600);
  s[10] = 0xFF;
  s[11] = 0xFF;
  unsigned sum = 0;
  for (int i = 64; i < kHeaderBytes - 1; ++i) sum += h[i];
  h[kHeaderBytes - 1] = static_cast<uint8_t>((256 - sum % 256) % 256);
  WriteCommand(pdev, kFontId, f.id);
  WriteCommand(pdev, kFontHeader, kHeaderBytes);
  WriteBytes(pdev, h, kHeaderBytes);
}

void SendGlyphData(Pdev& pdev, uint16_t glyphIndex, const truetype::Bytes& data, int code) {
  const size_t length = data.size();
  uint8_t head[8] = {15, 0, 2, 15, 0, 0, 0, 0};  // format, continuation, descriptor size, class
  Put16(head + 4, static_cast<long>(length + 4));
  Put16(head + 6, glyphIndex);
  unsigned sum = head[4] + head[5] + head[6] + head[7];
  for (size_t i = 0; i < length; ++i) sum += data.data()[i];
  const uint8_t tail[2] = {0, static_cast<uint8_t>((256 - sum % 256) % 256)};
  WriteCommand(pdev, kCharacterCode, code);
  WriteCommand(pdev, kCharacterData, static_cast<int>(length + 10));
  WriteBytes(pdev, head, sizeof head);
  WriteBytes(pdev, data.data(), static_cast<uint32_t>(length));
  WriteBytes(pdev, tail, sizeof tail);
}

// A glyph whose data or components cannot be read is skipped whole; false then.
bool SendTrueTypeGlyph(Pdev& pdev, const truetype::Face& face, uint16_t glyphIndex, int code) {
  truetype::Bytes data;
  std::vector<uint16_t> components;
  if (!face.Glyph(glyphIndex, &data) || !face.Components(glyphIndex, &components)) return false;
  if (data.size() == 0) return true;
  std::vector<truetype::Bytes> parts(components.size());
  for (size_t i = 0; i < components.size(); ++i)
    if (!face.Glyph(components[i], &parts[i])) return false;
  SendGlyphData(pdev, glyphIndex, data, code);
  for (size_t i = 0; i < components.size(); ++i)
    if (parts[i].size() > 0) SendGlyphData(pdev, components[i], parts[i], kComponentCode);
  return true;
}

void SendScalableCharacters(Pdev& pdev, SoftFont& f, STROBJ* pstro, uint8_t* codes) {
  truetype::Face face;
  const bool usable = face.Open({f.file, f.fileSize}, pdev.fonts.collectionIndex) && face.hasCharMap();
  pdev.fonts.longLoca = usable && face.longLoca() ? 1 : 0;
  for (ULONG i = 0; i < pstro->cGlyphs; ++i) {
    const WCHAR ch = pstro->pwszOrg[i];
    const uint16_t code = PageCode(f, ch);
    codes[2 * i] = static_cast<uint8_t>(code >> 8);
    codes[2 * i + 1] = static_cast<uint8_t>(code);
    // Without a readable character map nothing is sent; the run still prints.
    if (!usable || code == 0 || ch == u' ' || IsSet(f, code)) continue;
    if (SendTrueTypeGlyph(pdev, face, face.GlyphIndex(ch), code)) MarkSet(f, code);
  }
}

// Nearest-neighbour scaling of a 1-bpp image with rows padded to whole bytes.
std::vector<uint8_t> ScaleBits(const uint8_t* bits, long w, long h, long nw, long nh) {
  const long row = (w + 7) / 8, nrow = (nw + 7) / 8;
  std::vector<uint8_t> out(static_cast<size_t>(nrow * nh), 0);
  for (long y = 0; y < nh; ++y) {
    const long sy = y * h / nh;
    for (long x = 0; x < nw; ++x) {
      const long sx = x * w / nw;
      if (bits[sy * row + sx / 8] & (0x80 >> (sx % 8))) out[static_cast<size_t>(y * nrow + x / 8)] |= 0x80 >> (x % 8);
    }
  }
  return out;
}

void SendBitmapCharacter(Pdev& pdev, FONTOBJ* pfo, HGLYPH hg, uint16_t code) {
  GLYPHDATA* gd = nullptr;
  if (FONTOBJ_cGetGlyphs(pfo, FO_GLYPHBITS, 1, &hg, reinterpret_cast<PVOID*>(&gd)) != 1 || gd == nullptr) return;
  const long scaleX = pdev.doc.scaleX, scaleY = pdev.doc.scaleY;
  const GLYPHBITS* gb = gd->gdf.pgb;
  long w = gb ? gb->sizlBitmap.cx : 0, h = gb ? gb->sizlBitmap.cy : 0;
  std::vector<uint8_t> data;
  if (w <= 0 || h <= 0) {
    w = h = 1;  // an empty glyph still needs a (blank) image
    data.assign(1, 0);
  } else {
    const long nw = std::max(1L, w * scaleX / 100), nh = std::max(1L, h * scaleY / 100);
    data = (nw == w && nh == h) ? std::vector<uint8_t>(gb->aj, gb->aj + ((w + 7) / 8) * h)
                                : ScaleBits(gb->aj, w, h, nw, nh);
    w = nw;
    h = nh;
  }
  uint8_t d[16] = {4, 0, 14, 1};  // format, continuation, descriptor size, class
  Put16(d + 6, gb ? gb->ptlOrigin.x * scaleX / 100 : 0);
  Put16(d + 8, gb ? -gb->ptlOrigin.y * scaleY / 100 : 0);
  Put16(d + 10, w);
  Put16(d + 12, h);
  Put16(d + 14, static_cast<long>(gd->fxD) * scaleX / 100 / 4);  // 28.4 pixels to quarter-dots
  EnterPcl(pdev, 1);
  WriteCommand(pdev, kCharacterCode, code);
  const size_t first = std::min<size_t>(data.size(), kCharacterBlock);
  WriteCommand(pdev, kCharacterData, static_cast<int>(16 + first));
  WriteBytes(pdev, d, sizeof d);
  WriteBytes(pdev, data.data(), static_cast<uint32_t>(first));
  for (size_t at = first; at < data.size(); at += kCharacterBlock) {
    const size_t n = std::min<size_t>(data.size() - at, kCharacterBlock);
    const uint8_t more[2] = {4, 1};
    WriteCommand(pdev, kCharacterData, static_cast<int>(2 + n));
    WriteBytes(pdev, more, 2);
    WriteBytes(pdev, data.data() + at, static_cast<uint32_t>(n));
  }
}

std::vector<HGLYPH> Glyphs(STROBJ* pstro) {
  std::vector<HGLYPH> out;
  out.reserve(pstro->cGlyphs);
  if (pstro->pgp != nullptr) {
    for (ULONG i = 0; i < pstro->cGlyphs; ++i) out.push_back(pstro->pgp[i].hg);
    return out;
  }
  STROBJ_vEnumStart(pstro);
  BOOL more = TRUE;
  while (more && out.size() < pstro->cGlyphs) {
    ULONG n = 0;
    GLYPHPOS* gp = nullptr;
    more = STROBJ_bEnum(pstro, &n, &gp);
    for (ULONG i = 0; i < n && gp != nullptr; ++i) out.push_back(gp[i].hg);
    if (n == 0) break;
  }
  out.resize(pstro->cGlyphs, 0);
  return out;
}

void SendBitmapCharacters(Pdev& pdev, SoftFont& f, FONTOBJ* pfo, STROBJ* pstro, uint8_t* codes) {
  const std::vector<HGLYPH> glyphs = Glyphs(pstro);
  for (ULONG i = 0; i < pstro->cGlyphs; ++i) {
    // Keyed by glyph, so that runs of code points and runs of glyph indexes never share a code.
    const uint16_t code = glyphs[i] <= 0xFFFF ? PageCode(f, glyphs[i]) : 0;
    codes[2 * i] = static_cast<uint8_t>(code >> 8);
    codes[2 * i + 1] = static_cast<uint8_t>(code);
    if (code == 0 || IsSet(f, code)) continue;
    MarkSet(f, code);
    SendBitmapCharacter(pdev, pfo, glyphs[i], code);
  }
}

bool WantsScalable(FONTOBJ* pfo, STROBJ* pstro, int visibilityMode) {
  const FLONG type = pfo->flFontType;
  if (!(type & FO_TYPE_TRUETYPE) || (type & (FO_POSTSCRIPT | FO_VERT_FACE))) return false;
  if ((type & (FO_SIM_BOLD | FO_SIM_ITALIC)) && visibilityMode != 1) return false;
  if ((pstro->flAccel & SO_GLYPHINDEX_TEXTOUT) || pstro->pwszOrg == nullptr) return false;
  const XFORML xf = FontTransform(pfo);
  return NearOne(xf.eM11, xf.eM22) && NearOne(xf.eM12, -xf.eM21);
}

// The member of a collection whose naming table holds the family name; the face's own index when
// none does.
uint32_t CollectionMember(const SoftFont& f, FONTOBJ* pfo) {
  const truetype::Bytes file(f.file, f.fileSize);
  const uint32_t members = truetype::CollectionMemberCount(file);
  if (members == 0) return 0;
  for (uint32_t i = 0; i < members; ++i)
    if (truetype::MemberHasName(file, i, f.familyName)) return i;
  return pfo->iFace < members ? pfo->iFace : 0;
}

// Hundredths of a point for a character size in pixels, in quarter points.
long ScalableHeight(int32_t size, int dpi) {
  const long s = size;
  if (dpi == 300) {
    long f = (s * 7200 / 7500) * 25;
    if (s * 7200 / 300 - f > 19) f += 25;
    return f;
  }
  long f = (s * 7200 / 15000) * 25;
  if (s * 7200 / 600 - f > 12) f += 25;
  return f;
}

}  // namespace

void ResetFontState(Pdev& pdev) {
  FontState& fonts = pdev.fonts;
  fonts.residentNumber = -1;
  fonts.residentSize = -1;
  fonts.currentSoftFontId = 0;
  fonts.scalableHeight = -1;
  fonts.labelFontState = 0;
  fonts.labelFontId = 0;
}

bool DownloadAndSelectSoftFont(Pdev& pdev, FONTOBJ* pfo, STROBJ* pstro, int32_t size, int32_t angle, uint8_t* codes,
                               int visibilityMode) {
  if (pfo == nullptr || pstro == nullptr || codes == nullptr) return false;
  FontState& fonts = pdev.fonts;
  bool scalable = WantsScalable(pfo, pstro, visibilityMode);
  const uint32_t simulation = pfo->flFontType & (FO_SIM_BOLD | FO_SIM_ITALIC);

  SoftFont* record = nullptr;
  SoftFont** tail = &fonts.softFonts;
  int index = 0, scalableBefore = 0;
  for (SoftFont* f = fonts.softFonts; f != nullptr; f = f->next, ++index) {
    const bool isScalable = (f->state & kSoftFontScalable) != 0;
    if (record == nullptr && (f->listKind & 0xFF) == kSoftFontListKind && f->fontUnique == pfo->iUniq) {
      if (scalable && isScalable) {
        ULONG bytes = 0;
        const void* view = FONTOBJ_pvTrueTypeFontFile(pfo, &bytes);
        if (view != nullptr) {
          f->file = static_cast<const uint8_t*>(view);
          f->fileSize = bytes;
          record = f;
        }
      } else if (!scalable && !isScalable && f->size == size && f->angle == angle &&
                 (f->fontType & (FO_SIM_BOLD | FO_SIM_ITALIC)) == simulation) {
        record = f;
      }
    }
    if (isScalable) ++scalableBefore;
    tail = &f->next;
  }
  if (record == nullptr) {
    if (index + kFirstSoftFontId > 32767) return false;
    record = static_cast<SoftFont*>(devmode::TrackedAlloc(sizeof(SoftFont)));
    if (record == nullptr) return false;
    std::memset(record, 0, sizeof(SoftFont));
    record->id = static_cast<int16_t>(kFirstSoftFontId + index);
    record->fontUnique = pfo->iUniq;
    record->trueTypeUnique = pfo->iTTUniq;
    record->fontType = pfo->flFontType;
    const std::string family = FamilyName(pfo);
    std::memcpy(record->familyName, family.data(), family.size());
    record->state = kSoftFontHeaderDue;
    record->listKind = kSoftFontListKind;
    record->size = size;
    record->angle = angle;
    if (scalable) {
      ULONG bytes = 0;
      const void* view = FONTOBJ_pvTrueTypeFontFile(pfo, &bytes);
      if (view != nullptr && bytes > 0) {
        record->file = static_cast<const uint8_t*>(view);
        record->fileSize = bytes;
        record->state |= kSoftFontScalable;
        record->listKind = static_cast<uint16_t>(kSoftFontListKind | ((scalableBefore + 1) << 8));
      }
    }
    *tail = record;
  }
  scalable = (record->state & kSoftFontScalable) != 0;
  if (scalable) fonts.collectionIndex = CollectionMember(*record, pfo);

  EnterPcl(pdev, 0);
  if (record->state & kSoftFontHeaderDue) {
    SendFontHeader(pdev, pfo, *record, size);
    record->state &= static_cast<uint16_t>(~kSoftFontHeaderDue);
    record->size = size;
    record->angle = angle;
  }
  if (scalable && size != fonts.scalableHeight) {
    const long hundredths = ScalableHeight(size, pdev.settings.pub.dmYResolution) * pdev.doc.scaleY / 100;
    WriteCommand(pdev, kFontHeight, HundredthsText(hundredths / 100.0).c_str());
    fonts.scalableHeight = size;
    fonts.currentSoftFontId = 0;
  }
  if (record->familyName[0] == '@' && angle != 0) {
    if (!fonts.verticalWriting) {
      EnterPcl(pdev, 1);
      WriteCommand(pdev, kVerticalOn);
      fonts.verticalWriting = 1;
    }
  } else if (fonts.verticalWriting) {
    EnterPcl(pdev, 1);
    WriteCommand(pdev, kVerticalOff);
    fonts.verticalWriting = 0;
  }
  if (record->id != fonts.currentSoftFontId) {
    WriteCommand(pdev, kFontId, record->id);
    WriteCommand(pdev, kSelectFontById, record->id);
    fonts.currentSoftFontId = record->id;
    fonts.residentNumber = -1;
    fonts.labelFontId = record->id;
    fonts.labelFontState = 1;
  }
  if (scalable)
    SendScalableCharacters(pdev, *record, pstro, codes);
  else
    SendBitmapCharacters(pdev, *record, pfo, pstro, codes);
  return true;
}

void FreeSoftFonts(Pdev& pdev) {
  while (SoftFont* f = pdev.fonts.softFonts) {
    pdev.fonts.softFonts = f->next;
    devmode::TrackedFree(f);
  }
  pdev.fonts.currentSoftFontId = 0;
  pdev.fonts.scalableHeight = -1;
}

void DeleteSoftFonts(Pdev& pdev) {
  if (pdev.fonts.softFonts == nullptr) return;
  EnterPcl(pdev, 1);
  for (SoftFont* f = pdev.fonts.softFonts; f != nullptr; f = f->next) WriteCommand(pdev, kDeleteFont, f->id);
  FreeSoftFonts(pdev);
}

void HandOverSoftFonts(Pdev& from, Pdev& to) {
  FreeSoftFonts(to);
  to.fonts.softFonts = from.fonts.softFonts;
  from.fonts.softFonts = nullptr;
}

}  // namespace render
