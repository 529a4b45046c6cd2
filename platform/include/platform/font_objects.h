// Font and string objects a text hook receives (FONTOBJ, STROBJ), built by the GDI layer for
// ExtTextOutW and by tests straight from a font file. Faces come from FreeType; a realization is a
// face at one size, direction and simulation, and serves metrics, glyph bitmaps, glyph outlines,
// the font transform and the font file's bytes through the FONTOBJ_* services.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/engine_objects.h"
#include "win/winddi.h"

namespace platform::engine {

// How a face is realized on the device.
struct FontRealization {
  // Em height in device pixels (the character size); the cell is taller by the face's leading.
  double emPixels = 50.0;
  // Horizontal scale of the glyphs against their design (LOGFONTW's lfWidth against the face's
  // average width); 1 keeps the face's proportions.
  double widthScale = 1.0;
  // Baseline direction, counter-clockwise on the page, in tenths of a degree.
  LONG escapement = 0;
  bool simulateBold = false;
  bool simulateItalic = false;
  // The face's vertical variant ("@Face"): FO_VERT_FACE, and the family name starts with '@'.
  bool vertical = false;
  LONG dpiX = 600;
  LONG dpiY = 600;
  // The Windows character set asked for (IFIMETRICS.jWinCharSet, STROBJ_dwGetCodePage).
  BYTE charSet = 0;
};

// A realized font. The notional-to-device transform (FONTOBJ_pxoGetXform) maps font units, y
// down, to device pixels: upright text has eM11 == eM22 == emPixels / unitsPerEm and no
// off-diagonal terms; an escapement rotates it. Glyph handles are the face's glyph indices.
class PLATFORM_API EngineFont {
 public:
  // Nothing when the file cannot be read or holds no face at faceIndex.
  static std::optional<EngineFont> FromFile(const std::string& path, ULONG faceIndex,
                                            const FontRealization& realization);
  static std::optional<EngineFont> FromMemory(std::vector<BYTE> fileBytes, ULONG faceIndex,
                                              const FontRealization& realization);
  // The installed (or application-registered) face fontconfig matches for a family, weight and
  // italic; nothing when no face at all is found.
  static std::optional<EngineFont> FromFamily(std::u16string_view family, LONG weight, bool italic,
                                              const FontRealization& realization);
  ~EngineFont();
  EngineFont(EngineFont&&) noexcept;
  EngineFont& operator=(EngineFont&&) noexcept;

  FONTOBJ* get();
  const FontRealization& realization() const;
  // The path of the face's file; empty for a face from memory.
  const std::string& filePath() const;
  // Glyph index of a code point (0 when the face has none).
  HGLYPH GlyphIndex(char32_t ch) const;
  // Advance of a glyph along the baseline in 28.4 device units (simulated bold included).
  FIX AdvanceFix(HGLYPH glyph) const;
  // Device-pixel metrics of the realization, along the baseline's normal: ascent (positive),
  // descent (positive), external leading.
  LONG Ascent() const;
  LONG Descent() const;
  LONG ExternalLeading() const;
  // The glyph's outline in 28.4 device coordinates with the glyph origin at `origin` (28.4).
  std::optional<PathPoints> GlyphOutline(HGLYPH glyph, POINTFIX origin) const;

  struct Impl;
  Impl& impl() { return *impl_; }

 private:
  explicit EngineFont(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

// A string of glyphs for one DrvTextOut call.
class PLATFORM_API EngineString {
 public:
  // The characters of `text` in `font`, the first glyph's origin at `origin` (device pixels).
  // Without `advances` each glyph advances by its width; with them (one per character, device
  // pixels along the baseline) by those. flAccel has SO_HORIZONTAL (or the direction's flag)
  // and, when no spacing array is given, SO_FLAG_DEFAULT_PLACEMENT.
  static EngineString FromText(EngineFont& font, std::u16string_view text, POINTL origin,
                               std::span<const LONG> advances = {});
  // Glyph indices at the given device positions; flAccel carries SO_GLYPHINDEX_TEXTOUT.
  // `text` may be empty (pwszOrg is then null).
  static EngineString FromGlyphs(EngineFont& font, std::vector<HGLYPH> glyphs, std::vector<POINTL> positions,
                                 std::u16string_view text = {});
  ~EngineString();
  EngineString(EngineString&&) noexcept;
  EngineString& operator=(EngineString&&) noexcept;

  STROBJ* get();
  // Glyph positions, in the order of the string.
  const std::vector<GLYPHPOS>& positions() const;

  // For tests of the consumer's paths: a fixed character increment (ulCharInc), hiding the
  // position array so that only STROBJ_bEnum hands out the glyphs (in batches of `batch`), and
  // the background rectangle (by default the union of the glyph cells).
  void SetCharInc(ULONG increment);
  void HidePositions(ULONG batch);
  void SetBackground(RECTL background);
  void SetAccel(FLONG flAccel);
  // The code page STROBJ_dwGetCodePage reports (default: the system ANSI code page).
  void SetCodePage(DWORD codePage);

  struct Impl;

 private:
  explicit EngineString(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

// The glyph outlines of a string in 28.4 device coordinates (text in a path bracket, and the
// engine's fallback when DrvTextOut refuses).
PLATFORM_API PathPoints StringOutlines(EngineFont& font, EngineString& string);

}  // namespace platform::engine
