// The render settings: the rendering library's own devmode (public part + 8864-byte private block
// ending with "PRIV"), embedded in every PDEV and never stored. Two regions are read back by the
// interface library through driver escapes and so have fixed layouts: the overlay block (778 bytes
// at devmode offset 260) and the decoration block (3232 bytes).
#pragma once

#include <cstddef>
#include <cstdint>

#include "devmode/stored_devmode.h"
#include "win/devmode.h"

namespace devmode {

constexpr WORD kRenderDriverVersion = 0x0500;
constexpr WORD kRenderPrivateSize = 8864;
constexpr size_t kRenderSettingsSize = kPublicSize + kRenderPrivateSize;  // 9084
constexpr DWORD kRenderFields = 0x380AF13;
constexpr uint16_t kLayoutNormal = 4;
constexpr uint16_t kLayoutPoster = 0;

struct OverlayBlock {
  uint16_t mode;  // 0 none, 1 overlay file, 2 overlay settings available
  WCHAR path[260];
  uint8_t data[256];
};
static_assert(sizeof(OverlayBlock) == 778);

// The watermark as the rendering library keeps it; escape 0x5001 hands it out unchanged.
struct DecorationBlock {
  uint16_t WatermarkIndex;  // 0 = none
  WCHAR name[32];
  uint16_t carriedValue;
  uint8_t reserved68[456];
  // An image watermark's bitmap file runs on past the text into the bytes the text leaves unused.
  union {
    WCHAR text[65];
    WCHAR imagePath[261];
  };
  WCHAR typeface[32];
  uint16_t size;
  uint16_t weight;  // 400 in the defaults; not filled from a devmode
  uint8_t reserved1114[4];
  uint16_t position;
  int16_t angle;
  uint8_t imageFlag;
  uint8_t reserved1123[2];
  uint8_t firstPageOnly;
  uint8_t italic;
  uint8_t bold;
  uint8_t OverlayTransparent;
  uint8_t frame;
  uint8_t reserved1130[2];
  uint32_t grey;  // 0x00RRGGBB
  uint8_t reserved1136[4];
  int32_t horizontal;
  int32_t vertical;
  uint32_t repeat;
  WCHAR portraitMonoFile[260];
  WCHAR landscapeMonoFile[260];
  WCHAR portraitColourFile[260];
  WCHAR landscapeColourFile[260];
};
static_assert(sizeof(DecorationBlock) == 3232);
static_assert(offsetof(DecorationBlock, name) == 2);
static_assert(offsetof(DecorationBlock, carriedValue) == 66);
static_assert(offsetof(DecorationBlock, text) == 524);
static_assert(offsetof(DecorationBlock, imagePath) == 524);
static_assert(offsetof(DecorationBlock, typeface) == 1046);
static_assert(offsetof(DecorationBlock, size) == 1110);
static_assert(offsetof(DecorationBlock, position) == 1118);
static_assert(offsetof(DecorationBlock, angle) == 1120);
static_assert(offsetof(DecorationBlock, imageFlag) == 1122);
static_assert(offsetof(DecorationBlock, firstPageOnly) == 1125);
static_assert(offsetof(DecorationBlock, italic) == 1126);
static_assert(offsetof(DecorationBlock, bold) == 1127);
static_assert(offsetof(DecorationBlock, OverlayTransparent) == 1128);
static_assert(offsetof(DecorationBlock, frame) == 1129);
static_assert(offsetof(DecorationBlock, grey) == 1132);
static_assert(offsetof(DecorationBlock, horizontal) == 1140);
static_assert(offsetof(DecorationBlock, vertical) == 1144);
static_assert(offsetof(DecorationBlock, repeat) == 1148);
static_assert(offsetof(DecorationBlock, portraitMonoFile) == 1152);
static_assert(offsetof(DecorationBlock, landscapeMonoFile) == 1672);
static_assert(offsetof(DecorationBlock, portraitColourFile) == 2192);
static_assert(offsetof(DecorationBlock, landscapeColourFile) == 2712);

struct SpecialPage {
  uint8_t kind;  // 3 = none
  uint8_t data[5];
};

struct RenderPrivate {
  // N-up
  uint8_t NupBorder;
  uint8_t PagesPerSheet;
  uint8_t NupOrder;
  uint8_t reserved3[3];
  // page handling
  uint8_t ReverseOrder;
  uint8_t TwoSided;
  uint8_t FlipShortEdge;
  uint8_t reserved9;
  uint8_t Rotate180;
  uint8_t DensityLevel;  // 0, 2 or 4
  uint8_t reserved12[6];
  uint32_t reserved20;
  uint8_t reserved24[4];
  // layout
  uint16_t LayoutMode;  // 4 normal or N-up, 0 poster
  uint16_t reserved30[3];
  uint16_t RenderModel;  // 1, or 2 for a 1200-dpi request
  uint8_t reserved38[2];
  OverlayBlock overlay;
  uint8_t interfaceFlagA;
  uint8_t VectorGraphics;
  uint8_t reserved820;
  uint8_t interfaceFlagB;
  // margins and paper identity
  uint16_t margins[4];
  uint8_t reserved830[2];
  uint16_t requestedPaperSize;
  uint8_t reserved834[2];
  uint16_t requestedMediaType;
  uint16_t bindingShift;
  uint8_t feedShortEdge;  // 0 when the paper is fed long edge first
  uint8_t reserved841[3];
  // scaling
  uint16_t ScalePercent;
  uint16_t outputPaperSize;
  uint8_t ScaleMode;  // 1 = zoom by ScalePercent
  uint8_t keepAspect;
  uint8_t reserved850[2];
  uint32_t scaleValues[2];
  // paper block
  uint8_t reserved860[6];
  uint16_t mediaByte;
  uint8_t reserved868[4];
  uint16_t TrayIndex;
  uint8_t reserved874[2];
  uint16_t reserved876;
  uint8_t reserved878[2];
  int32_t paperSize;
  int32_t paperLength;
  int32_t paperWidth;
  uint8_t reserved892[4];
  uint8_t reserved896[3];
  SpecialPage specialPages[5];
  uint8_t reserved929[3];
  DecorationBlock decoration;
  WCHAR textSlots[8][260];
  uint8_t TextAsGraphics;      // 1: text is printed as glyph bitmaps
  uint8_t TrueTypeAsSoftFont;  // 1: the substitution file is not consulted
  uint8_t flags[3];
  uint8_t AutoDuplexUnit;  // 1: the printer turns the sheet itself
  uint8_t reserved8330;
  uint8_t reserved8331[5];
  WCHAR labelText[256];
  uint8_t reserved8848[12];
  uint32_t trailer;  // "PRIV"
};

static_assert(sizeof(RenderPrivate) == kRenderPrivateSize);
static_assert(offsetof(RenderPrivate, ReverseOrder) == 6);
static_assert(offsetof(RenderPrivate, LayoutMode) == 28);
static_assert(offsetof(RenderPrivate, RenderModel) == 36);
static_assert(offsetof(RenderPrivate, overlay) == 40);
static_assert(offsetof(RenderPrivate, interfaceFlagA) == 818);
static_assert(offsetof(RenderPrivate, ScalePercent) == 844);
static_assert(offsetof(RenderPrivate, TrayIndex) == 872);
static_assert(offsetof(RenderPrivate, paperSize) == 880);
static_assert(offsetof(RenderPrivate, specialPages) == 899);
static_assert(offsetof(RenderPrivate, decoration) == 932);
static_assert(offsetof(RenderPrivate, textSlots) == 4164);
static_assert(offsetof(RenderPrivate, TextAsGraphics) == 8324);
static_assert(offsetof(RenderPrivate, AutoDuplexUnit) == 8329);
static_assert(offsetof(RenderPrivate, labelText) == 8336);
static_assert(offsetof(RenderPrivate, trailer) == kRenderPrivateSize - 4);

struct RenderSettings {
  DEVMODEW pub;
  RenderPrivate priv;
};
static_assert(sizeof(RenderSettings) == kRenderSettingsSize);
static_assert(offsetof(RenderSettings, priv) == kPublicSize);
static_assert(offsetof(RenderSettings, priv.overlay) == 260);

}  // namespace devmode
