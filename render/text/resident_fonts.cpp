// The printer's resident scalable fonts, their selection command, and the font query hooks (the
// library announces no device fonts: resident fonts are reached through the substitution file).
#include <cmath>
#include <cstring>
#include <string>

#include "core/pdev.h"
#include "text/text_fonts.h"
#include "win/debug.h"

namespace render {

namespace {

constexpr char kPrimarySymbolSet[] = "\x1b(%s";  // primary symbol set

// The numbers are those the substitution file stores.
constexpr ResidentFont kResidentFonts[kResidentFontCount] = {
    {u"Soft Fonts", "", "", 0},
    {u"Albertus Extra Bold", "\x1b(s1p%.2fv0s4b4362T", "19U", 1},
    {u"Albertus Medium", "\x1b(s1p%.2fv0s1b4362T", "19U", 1},
    {u"Antique Olive", "\x1b(s1p%.2fv0s0b4168T", "19U", 1},
    {u"Antique Olive Bold", "\x1b(s1p%.2fv0s3b4168T", "19U", 1},
    {u"Antique Olive Italic", "\x1b(s1p%.2fv1s0b4168T", "19U", 1},
    {u"Arial", "\x1b(s1p%.2fv0s0b16602T", "19U", 1},
    {u"Arial Bold", "\x1b(s1p%.2fv0s3b16602T", "19U", 1},
    {u"Arial Bold Italic", "\x1b(s1p%.2fv1s3b16602T", "19U", 1},
    {u"Arial Italic", "\x1b(s1p%.2fv1s0b16602T", "19U", 1},
    {u"CG Omega", "\x1b(s1p%.2fv0s0b4113T", "19U", 1},
    {u"CG Omega Bold", "\x1b(s1p%.2fv0s3b4113T", "19U", 1},
    {u"CG Omega Bold Italic", "\x1b(s1p%.2fv1s3b4113T", "19U", 1},
    {u"CG Omega Italic", "\x1b(s1p%.2fv1s0b4113T", "19U", 1},
    {u"CG Times", "\x1b(s1p%.2fv0s0b4101T", "19U", 1},
    {u"CG Times Bold", "\x1b(s1p%.2fv0s3b4101T", "19U", 1},
    {u"CG Times Bold Italic", "\x1b(s1p%.2fv1s3b4101T", "19U", 1},
    {u"CG Times Italic", "\x1b(s1p%.2fv1s0b4101T", "19U", 1},
    {u"Clarendon Condencsed", "\x1b(s1p%.2fv4s3b4140T", "19U", 1},
    {u"Coronet", "\x1b(s1p%.2fv1s0b4116T", "19U", 1},
    {u"Courier", "\x1b(s0p%.2fh0s0b4099T", "19U", 0},
    {u"Courier Bold", "\x1b(s0p%.2fh0s3b4099T", "19U", 0},
    {u"Courier Bold Italic", "\x1b(s0p%.2fh1s3b4099T", "19U", 0},
    {u"Courier Italic", "\x1b(s0p%.2fh1s0b4099T", "19U", 0},
    {u"CourierPS", "\x1b(s0p%.2fh0s0b24579T", "19U", 0},
    {u"CourierPS Bold", "\x1b(s0p%.2fh0s3b24579T", "19U", 0},
    {u"CourierPS Bold Oblique", "\x1b(s0p%.2fh1s3b24579T", "19U", 0},
    {u"CourierPS Oblique", "\x1b(s0p%.2fh1s0b24579T", "19U", 0},
    {u"Garamond", "\x1b(s1p%.2fv0s0b4197T", "19U", 1},
    {u"Garamond Bold", "\x1b(s1p%.2fv0s3b4197T", "19U", 1},
    {u"Garamond Bold Italic", "\x1b(s1p%.2fv1s3b4197T", "19U", 1},
    {u"Garamond Italic", "\x1b(s1p%.2fv1s0b4197T", "19U", 1},
    {u"Helvetica", "\x1b(s1p%.2fv0s0b24580T", "19U", 1},
    {u"Helvetica Bold", "\x1b(s1p%.2fv0s3b24580T", "19U", 1},
    {u"Helvetica Bold Oblique", "\x1b(s1p%.2fv1s3b24580T", "19U", 1},
    {u"Helvetica Narrow", "\x1b(s1p%.2fv4s0b24580T", "19U", 1},
    {u"Helvetica Narrow Bold", "\x1b(s1p%.2fv4s3b24580T", "19U", 1},
    {u"Helvetica Narrow Bold Oblique", "\x1b(s1p%.2fv5s3b24580T", "19U", 1},
    {u"Helvetica Narrow Oblique", "\x1b(s1p%.2fv5s0b24580T", "19U", 1},
    {u"Helvetica Oblique", "\x1b(s1p%.2fv1s0b24580T", "19U", 1},
    {u"HP David", "\x1b(s1p%.2fv0s0b16585T", "0U", 1},
    {u"HP David Bold", "\x1b(s1p%.2fv0s3b16585T", "0U", 1},
    {u"HP Miryam", "\x1b(s1p%.2fv0s0b16584T", "0U", 1},
    {u"HP Miryam Bold", "\x1b(s1p%.2fv0s3b16584T", "0U", 1},
    {u"HP Miryam Italic", "\x1b(s1p%.2fv1s0b16584T", "0U", 1},
    {u"HP Narkis Tam", "\x1b(s1p%.2fv0s0b16587T", "0U", 1},
    {u"HP Narkis Tam Bold", "\x1b(s1p%.2fv0s3b16587T", "0U", 1},
    {u"ITC Avant Garde Gothic Book", "\x1b(s1p%.2fv0s0b24607T", "19U", 1},
    {u"ITC Avant Garde Book Oblique", "\x1b(s1p%.2fv1s0b24607T", "19U", 1},
    {u"ITC Avant Garde Book Demi", "\x1b(s1p%.2fv0s2b24607T", "19U", 1},
    {u"ITC Avant Garde Book Demi Oblique", "\x1b(s1p%.2fv1s2b24607T", "19U", 1},
    {u"ITC Bookman Demi", "\x1b(s1p%.2fv0s2b24623T", "19U", 1},
    {u"ITC Bookman Demi Italic", "\x1b(s1p%.2fv1s2b24623T", "19U", 1},
    {u"ITC Bookman Light", "\x1b(s1p%.2fv0s-3b24623T", "19U", 1},
    {u"ITC Bookman light Italic", "\x1b(s1p%.2fv1s-3b24623T", "19U", 1},
    {u"ITC Zapf Chancery Italic", "\x1b(s1p%.2fv1s0b45099T", "19U", 1},
    {u"ITC Zapf Dingbats", "\x1b(s1p%.2fv0s0b45101T", "14L", 1},
    {u"Koufi", "\x1b(s0p%.2fh0s0b4264T", "0U", 0},
    {u"Koufi Bold", "\x1b(s0p%.2fh0s3b4264T", "0U", 0},
    {u"Letter Gothic", "\x1b(s0p%.2fh0s0b4102T", "19U", 0},
    {u"Letter Gothic Bold", "\x1b(s0p%.2fh0s3b4102T", "19U", 0},
    {u"Letter Gothic Italic", "\x1b(s0p%.2fh1s0b4102T", "19U", 0},
    {u"Marigold", "\x1b(s1p%.2fv0s0b4297T", "19U", 1},
    {u"Naskh", "\x1b(s0p%.2fh0s0b4124T", "0U", 0},
    {u"Naskh Bold", "\x1b(s0p%.2fh0s3b4124T", "0U", 0},
    {u"New Century Schoolbook Bold", "\x1b(s1p%.2fv0s3b24703T", "19U", 1},
    {u"New Century Schoolbook Bold Italic", "\x1b(s1p%.2fv1s3b24703T", "19U", 1},
    {u"New Century Schoolbook Italic", "\x1b(s1p%.2fv1s0b24703T", "19U", 1},
    {u"New Century Schoolbook Roman", "\x1b(s1p%.2fv0s0b24703T", "19U", 1},
    {u"Palatino Bold", "\x1b(s1p%.2fv0s3b24591T", "19U", 1},
    {u"Palatino Bold Italic", "\x1b(s1p%.2fv1s3b24591T", "19U", 1},
    {u"Palatino Italic", "\x1b(s1p%.2fv1s0b24591T", "19U", 1},
    {u"Palatino Roman", "\x1b(s1p%.2fv0s0b24591T", "19U", 1},
    {u"Ryadh", "\x1b(s1p%.2fv0s0b4859T", "0U", 1},
    {u"Ryadh Bold", "\x1b(s1p%.2fv0s3b4859T", "0U", 1},
    {u"Symbol PS", "\x1b(s1p%.2fv0s0b45358T", "19M", 1},
    {u"Symbol TT", "\x1b(s1p%.2fv0s0b16686T", "19M", 1},
    {u"Times Bold", "\x1b(s1p%.2fv0s3b25093T", "19U", 1},
    {u"Times Bold Italic", "\x1b(s1p%.2fv1s3b25093T", "19U", 1},
    {u"Times Italic", "\x1b(s1p%.2fv1s0b25093T", "19U", 1},
    {u"Times New Roman", "\x1b(s1p%.2fv0s0b16901T", "19U", 1},
    {u"Times New Roman Bold", "\x1b(s1p%.2fv0s3b16901T", "19U", 1},
    {u"Times New Roman Bold Italic", "\x1b(s1p%.2fv1s3b16901T", "19U", 1},
    {u"Times New Roman Italic", "\x1b(s1p%.2fv1s0b16901T", "19U", 1},
    {u"Times Roman", "\x1b(s1p%.2fv0s0b25093T", "19U", 1},
    {u"Univers Bold", "\x1b(s1p%.2fv0s3b4148T", "19U", 1},
    {u"Univers Bold Italic", "\x1b(s1p%.2fv1s3b4148T", "19U", 1},
    {u"Univers Condensed", "\x1b(s1p%.2fv4s0b4148T", "19U", 1},
    {u"Univers Condensed Bold", "\x1b(s1p%.2fv4s3b4148T", "19U", 1},
    {u"Univers Condensed Bold Italic", "\x1b(s1p%.2fv5s3b4148T", "19U", 1},
    {u"Univers Condensed Italic", "\x1b(s1p%.2fv5s0b4148T", "19U", 1},
    {u"Univers Medium", "\x1b(s1p%.2fv0s0b4148T", "19U", 1},
    {u"Univers Medium Italic", "\x1b(s1p%.2fv1s0b4148T", "19U", 1},
    {u"Wingdings", "\x1b(s1p%.2fv0s0b31402T", "579L", 1},
};

}  // namespace

std::string HundredthsText(double value) {
  const long long h = std::llround(value * 100.0);
  const long long whole = (h < 0 ? -h : h) / 100, frac = (h < 0 ? -h : h) % 100;
  return (h < 0 ? "-" : "") + std::to_string(whole) + (frac < 10 ? ".0" : ".") + std::to_string(frac);
}

const ResidentFont* ResidentFontEntry(int number) {
  return number >= 0 && number < kResidentFontCount ? &kResidentFonts[number] : nullptr;
}

int SelectResidentFont(Pdev& pdev, FONTOBJ* pfo, STROBJ* pstro, int32_t size, int fontNumber, uint8_t* codes) {
  (void)pfo;
  if (pstro == nullptr || codes == nullptr || fontNumber < 1 || fontNumber >= kResidentFontCount) return 0;
  FontState& fonts = pdev.fonts;
  if (fonts.residentNumber != fontNumber || fonts.residentSize != size) {
    const ResidentFont& entry = kResidentFonts[fontNumber];
    fonts.residentNumber = fontNumber;
    fonts.residentSize = size;
    fonts.labelFontState = 0;
    // A soft font selected later must be selected again.
    fonts.currentSoftFontId = 0;
    EnterPcl(pdev, 1);
    WriteCommand(pdev, kPrimarySymbolSet, entry.symbolSet);
    const float z = static_cast<float>(pdev.doc.scaleX) * static_cast<float>(size) / 100.0f;
    const double value = entry.proportional ? static_cast<double>(z) / 12.0
                         : z > 0 ? 1200.0 / static_cast<double>(z) : 0.0;
    // The selection string's one placeholder is "%.2f", which the command formatter lacks.
    std::string command = entry.selection;
    const size_t at = command.find("%.2f");
    if (at != std::string::npos) command.replace(at, 4, HundredthsText(value));
    WriteBytes(pdev, command.data(), static_cast<uint32_t>(command.size()));
  }
  // Low byte first: the order the code units lie in memory.
  for (ULONG i = 0; i < pstro->cGlyphs; ++i) {
    const WCHAR unit = pstro->pwszOrg != nullptr ? pstro->pwszOrg[i] : 0;
    codes[2 * i] = static_cast<uint8_t>(unit & 0xFF);
    codes[2 * i + 1] = static_cast<uint8_t>(unit >> 8);
  }
  return 1;
}

IFIMETRICS* DrvQueryFont(DHPDEV, ULONG_PTR, ULONG, ULONG_PTR* pid) {
  if (pid != nullptr) *pid = 0;
  return nullptr;
}

LONG DrvQueryFontData(DHPDEV, FONTOBJ*, ULONG, HGLYPH, GLYPHDATA*, PVOID, ULONG) {
  OutputDebugStringA("DrvQueryFontData-->Enter\n");
  return 0;
}

BOOL DrvQueryAdvanceWidths(DHPDEV, FONTOBJ*, ULONG, HGLYPH*, PVOID, ULONG) {
  OutputDebugStringA("DrvQueryAdvanceWidths-->Enter\n");
  return TRUE;
}

}  // namespace render
