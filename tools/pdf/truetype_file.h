// TrueType files taken from PDFs, made fit to register with the platform's font engine: a name of
// their own (subsets of one family from several PDFs must not be taken for each other) and a
// Windows Unicode cmap of their own, since PDF subsets often have none or one that does not reach
// every glyph. The cmap gives each glyph a character whose two bytes are both printable, so no
// byte of a two-byte character code reads as a control code in the printer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace rt7700pdf {

// The character of a glyph in the rewritten file, or 0 for a glyph beyond kMaxGlyphs. The private
// use rows come first; larger fonts go on in rows of other blocks, which mean nothing in a font of
// its own.
constexpr int kMaxGlyphs = (94 + 94 - 8) * 188;
char16_t GlyphCharacter(int glyph);

// The font file with its name table replaced by one naming `family` and its cmap by one mapping
// GlyphCharacter(g) to each glyph g. Nothing when the bytes are no TrueType or OpenType-CFF font
// with glyph outlines, or its table directory is damaged.
std::optional<std::vector<uint8_t>> RenamedTrueType(const uint8_t* data, size_t size, const std::u16string& family);

// What the file starts with: an OpenType font with CFF outlines, or a Type 1 (PFA or PFB) or bare
// CFF file, which has no tables to rewrite.
bool IsOpenTypeCff(const uint8_t* data, size_t size);
bool IsType1OrBareCff(const uint8_t* data, size_t size);

}  // namespace rt7700pdf
