// Printer fonts for text runs: the resident font table and its selection, TrueType soft-font
// download, the TrueType reader behind it, and the font substitution file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "win/winddi.h"

namespace render {

struct Pdev;

// --- resident fonts ---

constexpr int kResidentFontCount = 94;  // entry 0 is a label, never selected

struct ResidentFont {
  const char16_t* name;
  const char* selection;  // one "%.2f": height in points (spacing 1) or pitch (spacing 0)
  const char* symbolSet;
  uint8_t proportional;
};

// "12.50": a value with two fractional digits in the C locale.
std::string HundredthsText(double value);

// Null outside 0 to 93.
const ResidentFont* ResidentFontEntry(int number);

// Selects resident font `fontNumber` at `size` (em height in device pixels), sending nothing when
// the number and size are those last selected, and copies the string's UTF-16 code units to
// `codes` (2 bytes a glyph, low byte first). Returns 1, or 0 on bad arguments.
int SelectResidentFont(Pdev& pdev, FONTOBJ* pfo, STROBJ* pstro, int32_t size, int fontNumber, uint8_t* codes);

// --- soft fonts ---

constexpr int32_t kFirstSoftFontId = 1001;
constexpr uint16_t kSoftFontScalable = 0x1;     // state flags
constexpr uint16_t kSoftFontHeaderDue = 0x2;
constexpr uint8_t kSoftFontListKind = 3;
constexpr int kSoftFontNameBytes = 64;

struct SoftFont {
  SoftFont* next;
  uint32_t fontUnique;    // FONTOBJ iUniq
  uint64_t trueTypeUnique;  // FONTOBJ iTTUniq
  uint32_t fontType;      // FONTOBJ flFontType at creation
  int16_t id;
  char familyName[kSoftFontNameBytes];  // ANSI, NUL-terminated
  uint16_t state;
  uint16_t listKind;  // low byte kSoftFontListKind; high byte 1 + earlier scalable records
  const uint8_t* file;  // the TrueType file image (scalable records)
  uint32_t fileSize;
  int32_t size;   // bitmap records: the size and angle they were made for
  int32_t angle;
  uint16_t pages[128];  // high bytes (0x100 set: of low control bytes) given a page; page n is sent as n + 128
  uint32_t pageCount;
  uint8_t sent[65536 / 8];  // one bit per 16-bit code already downloaded
};

// Per-device font state, reset with the graphics state (ResetFontState) except the soft-font list,
// which DeleteSoftFonts empties at each page start and at the end of the document.
struct FontState {
  int32_t residentNumber;  // -1: none selected
  int32_t residentSize;
  SoftFont* softFonts;
  int32_t currentSoftFontId;  // 0: none selected
  int32_t scalableHeight;     // run size of the last "\e(s%sV"; -1 none
  uint8_t verticalWriting;
  uint32_t collectionIndex;  // member of a TrueType collection in use
  uint8_t longLoca;          // 1 when `loca` holds 32-bit offsets
  // The HP-GL/2 label font as far as font selection affects it: 0 undefined, 1 defined by a soft
  // font identifier (labelFontId), 2 defined by the label font definition.
  int16_t labelFontState;
  int32_t labelFontId;
};

// Clears the selection caches so that the next selection is sent; keeps the soft-font list.
void ResetFontState(Pdev& pdev);

// Downloads what the run needs of the font (scalable TrueType or engine bitmaps) and selects it;
// `codes` receives the codes to send, 2 bytes a glyph, high byte first. `visibilityMode` is 1 for
// an unclipped run. False when the font cannot be downloaded.
bool DownloadAndSelectSoftFont(Pdev& pdev, FONTOBJ* pfo, STROBJ* pstro, int32_t size, int32_t angle, uint8_t* codes,
                               int visibilityMode);

// Deletes every downloaded font in the printer ("\e*c%dd2F") and empties the list.
void DeleteSoftFonts(Pdev& pdev);
// Frees the list without writing anything (device disabled).
void FreeSoftFonts(Pdev& pdev);
// DrvResetPDEV: the new device takes over the old one's downloaded fonts.
void HandOverSoftFonts(Pdev& from, Pdev& to);

// --- TrueType reader ---

constexpr uint32_t FontTag(char a, char b, char c, char d) {
  return (uint32_t(uint8_t(a)) << 24) | (uint32_t(uint8_t(b)) << 16) | (uint32_t(uint8_t(c)) << 8) | uint8_t(d);
}

// Copies `length` bytes from `offset` within table `tag` of member `collectionIndex` (0 for a plain
// file) into `buffer`; with a null buffer returns the table's length. Returns the bytes copied, 0
// when the table is missing or the range lies outside it or the file.
uint32_t ReadFontTable(const void* file, uint32_t fileSize, uint32_t tag, uint32_t offset, void* buffer,
                       uint32_t length, uint32_t collectionIndex);

// --- font substitution ---

constexpr uint32_t kSubstitutionRecordBytes = 1026;

// The resident font number the substitution file gives for the font's face, when nonzero.
bool LookUpSubstitution(FONTOBJ* pfo, int* fontNumber);
// The same for a face name (NUL-terminated UTF-16).
bool LookUpSubstitutionFace(const char16_t* faceName, int* fontNumber);
// The search over a file image already read; a short image is searched as far as it goes.
bool FindSubstitution(const uint8_t* data, size_t size, const char16_t* faceName, int* fontNumber);
// The file the interface library writes and the rendering library reads, under the
// application-data folder.
constexpr const char16_t* kSubstitutionVendorFolder = u"Taliro";
// One folder for writer and reader, so that what the user chooses reaches the printer.
constexpr const char16_t* kSubstitutionFolder = u"rt7x5e";
constexpr const char16_t* kSubstitutionFileName = u"rt7700PCL5efont.dat";

// --- font query hooks: the library has no device fonts ---
IFIMETRICS* DrvQueryFont(DHPDEV dhpdev, ULONG_PTR iFile, ULONG iFace, ULONG_PTR* pid);
LONG DrvQueryFontData(DHPDEV dhpdev, FONTOBJ* pfo, ULONG iMode, HGLYPH hg, GLYPHDATA* pgd, PVOID pv, ULONG cjSize);
BOOL DrvQueryAdvanceWidths(DHPDEV dhpdev, FONTOBJ* pfo, ULONG iMode, HGLYPH* phg, PVOID pvWidths, ULONG cGlyphs);

}  // namespace render
