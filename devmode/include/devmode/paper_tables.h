// The papers, media types and paper sources the printer knows, and the lookups over them.
// Geometry is in 600-dpi device pixels; devmode paper sizes are in tenths of a millimetre.
#pragma once

#include <cstdint>
#include <span>

#include "win/base.h"

namespace devmode {

struct RenderSettings;

constexpr int kFirstCustomPaper = 288;
constexpr int kPaperA5 = 11;
constexpr int kPclPageSizeCustom = 101;
constexpr int kPclPageSizeA5LongEdge = 318;
constexpr int kPclPageSizeDefault = 26;  // A4

struct PaperEntry {
  int16_t paperNumber;  // -1 terminates the table
  int16_t pclCode;
  const char* pjlName;
};

struct PageGeometry {
  int16_t width;
  int16_t height;
  int16_t left;
  int16_t top;
  int16_t right;
  int16_t bottom;
  bool operator==(const PageGeometry&) const = default;
};

struct PaperGeometryEntry {
  int16_t paperNumber;
  PageGeometry portrait;
  PageGeometry landscape;
};

struct MediaEntry {
  int32_t mediaNumber;  // -1 terminates the table
  int16_t byteCount;    // length of the name plus one, as the PCL media command counts it
  const char* name;
};

// The 29 papers without the terminator.
std::span<const PaperEntry> Papers();
std::span<const PaperGeometryEntry> PaperGeometries();
std::span<const MediaEntry> MediaTypes();

// The paper's entry, or the terminator (paper number -1).
const PaperEntry& LookupPaper(int paperNumber);
// The media entry, or the terminator (callers then use the first entry, "PLAIN").
const MediaEntry& LookupMedia(int64_t mediaNumber);
// The entry to send: the media's own or "PLAIN".
const MediaEntry& MediaOrPlain(int64_t mediaNumber);
bool IsTablePaper(int paperNumber);
// Portrait geometry of a table paper; nullptr for any other number.
const PageGeometry* PortraitGeometry(int paperNumber);

// Page geometry for the render settings' orientation and resolution. Returns false (after a
// trace) when the paper or the orientation has none; `out` is then left as it was.
bool GetPageGeometry(int paperNumber, const RenderSettings& settings, PageGeometry* out);

// PCL page-size code ("\e&l%dA") and PJL paper name; A5 fed long edge first is "A5L"/318.
int PclPageSizeCode(int paperNumber, bool feedShortEdge);
// nullptr for custom sizes and papers not in the table.
const char* PjlPaperName(int paperNumber, bool feedShortEdge);

// Tray index from dmDefaultSource; envelopes, postcards and long paper force manual feed (1).
uint16_t TrayIndexFor(int defaultSource, int paperNumber);
// PCL paper-source value ("\e&l%dH") of a tray index.
int PclPaperSource(uint16_t trayIndex);
// The PJL tray line format ("@PJL SET INTRAY1=%s\r\n" ...) for a dmDefaultSource, or nullptr.
const char* PjlTrayLine(int defaultSource);
// The same line for a tray index (render settings' TrayIndex), or nullptr for automatic selection.
const char* PjlTrayLineOfIndex(uint16_t trayIndex);
constexpr const char kPjlTrayLocked[] = "LOCKED";

// Two-sided printing is kept only for these papers.
bool TwoSidedPaper(int paperNumber);

// Values of the custom paper size command ("\e&f%di%dJ") in decipoints: clamped to the paper's
// limits, then exchanged for landscape.
struct CustomSizeValues {
  int width;
  int length;
};
CustomSizeValues CustomPaperCommandValues(int32_t widthTenthMm, int32_t lengthTenthMm, bool landscape);

// Tenths of a millimetre from 600-dpi pixels, rounded: int(v * 254 / 600 + 0.5).
int32_t PixelsToTenthMm(int32_t pixels);

}  // namespace devmode
