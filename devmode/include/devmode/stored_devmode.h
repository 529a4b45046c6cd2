// The stored devmode: the public DEVMODEW followed by the 4856-byte private block that the
// interface library writes and every application and the spooler carry. Field names follow the
// interface library's private-field directory; offsets are from the start of the private block.
#pragma once

#include <cstddef>
#include <cstdint>

#include "win/devmode.h"

namespace devmode {

constexpr uint32_t kPrivSignature = 0x56495250;  // "PRIV"
constexpr WORD kStoredDriverVersion = 0x0600;
constexpr WORD kStoredPrivateSize = 4856;
constexpr WORD kPublicSize = 220;
constexpr size_t kStoredDevmodeSize = kPublicSize + kStoredPrivateSize;  // 5076
constexpr DWORD kStoredFields = 0x200BF1F;

// One watermark as the user chose it (816 bytes).
struct WatermarkRecord {
  uint16_t WatermarkIndex;  // 0 = no watermark
  uint16_t WatermarkKind;   // 0 none, 1 text, 2 image
  WCHAR Name[33];
  WCHAR Text[65];
  WCHAR Typeface[32];
  WCHAR ImagePath[260];
  uint16_t Size;
  uint16_t Bold;
  uint16_t Italic;
  uint16_t Transparent;
  uint16_t Frame;
  int16_t Angle;
  uint16_t Scale;
  uint16_t Position;
  uint16_t Repeat;
  uint16_t Reserved802;
  uint32_t Colour;
  uint16_t Reserved808;
  int16_t HorizontalPosition;
  int16_t VerticalPosition;
  uint16_t GreyLevel;
};
static_assert(sizeof(WatermarkRecord) == 816);
static_assert(offsetof(WatermarkRecord, WatermarkKind) == 2);
static_assert(offsetof(WatermarkRecord, Name) == 4);
static_assert(offsetof(WatermarkRecord, Text) == 70);
static_assert(offsetof(WatermarkRecord, Typeface) == 200);
static_assert(offsetof(WatermarkRecord, ImagePath) == 264);
static_assert(offsetof(WatermarkRecord, Size) == 784);
static_assert(offsetof(WatermarkRecord, Bold) == 786);
static_assert(offsetof(WatermarkRecord, Italic) == 788);
static_assert(offsetof(WatermarkRecord, Transparent) == 790);
static_assert(offsetof(WatermarkRecord, Frame) == 792);
static_assert(offsetof(WatermarkRecord, Angle) == 794);
static_assert(offsetof(WatermarkRecord, Scale) == 796);
static_assert(offsetof(WatermarkRecord, Position) == 798);
static_assert(offsetof(WatermarkRecord, Repeat) == 800);
static_assert(offsetof(WatermarkRecord, Reserved802) == 802);
static_assert(offsetof(WatermarkRecord, Colour) == 804);
static_assert(offsetof(WatermarkRecord, Reserved808) == 808);
static_assert(offsetof(WatermarkRecord, HorizontalPosition) == 810);
static_assert(offsetof(WatermarkRecord, VerticalPosition) == 812);
static_assert(offsetof(WatermarkRecord, GreyLevel) == 814);

// One custom paper (72 bytes); the same layout is stored in the settings file.
struct CustomPaperRecord {
  int16_t width;   // 1/600 inch, rounded
  int16_t height;  // 1/600 inch, rounded
  WCHAR name[26];  // at most 24 characters
  uint32_t paperId;
  uint32_t unit;  // 1 millimetres, 2 inches
  float widthExact;
  float heightExact;
};
static_assert(sizeof(CustomPaperRecord) == 72);
static_assert(offsetof(CustomPaperRecord, name) == 4);
static_assert(offsetof(CustomPaperRecord, paperId) == 56);
static_assert(offsetof(CustomPaperRecord, unit) == 60);
static_assert(offsetof(CustomPaperRecord, widthExact) == 64);
static_assert(offsetof(CustomPaperRecord, heightExact) == 68);

struct PrintItem {
  uint16_t print;     // 0..1
  uint16_t position;  // 0..5
};

struct StoredPrivate {
  uint32_t signature;  // "PRIV"
  uint16_t ColorMode;
  uint16_t Duplex;
  uint16_t DuplexIndex;
  uint16_t reverseOrder;  // low byte: pages last first
  uint8_t reserved12[256];
  int32_t OutputSize;
  int32_t ScaleFlag;
  int32_t ScaleRadio;
  uint16_t MultipleUp;  // pages per sheet; 22 = poster
  uint16_t PageOrder;
  uint16_t PageBorder;
  uint16_t MixedOrient;
  uint16_t reserved288;
  uint16_t PosterPrint;
  uint16_t PosterType;
  uint16_t CropMarks;
  uint16_t SourceTray;
  uint16_t Rotate;
  uint16_t FeedOrient;  // 2 = long edge first
  uint16_t ManualDuplex;
  uint16_t Mismatch;
  uint16_t BookletPrint;
  uint16_t BookletBinding;
  uint16_t BookletSubsets;
  uint16_t BookletSheets;
  uint16_t BookletGutter;
  uint16_t BookletAutoFit;
  uint16_t BoookletMargins;
  uint16_t ImageShift;
  uint16_t MarginsAutoFit;
  uint16_t Side;
  uint16_t Side2;
  uint16_t PrintPosition;
  uint16_t AdjustPrintPosition;
  int16_t LeftRight;
  int16_t UpDown;
  WCHAR FavoriteName[256];
  uint16_t FavoriteIndex;
  uint16_t ImageAdjustMode;
  uint16_t ImageType[2];
  uint16_t ApplyElements;
  uint16_t DocumentElement;
  int16_t Brightness[4];
  int16_t Constrast[4];
  int16_t Saturation[4];
  uint16_t AdjustBalance;
  uint16_t TargetColor;
  int16_t Highlights[4];
  int16_t Midtones[4];
  int16_t Shadows[4];
  uint16_t Profile;
  uint16_t ColorTemperature;
  uint16_t GammaCorrection;
  uint16_t ImageInputIndex;
  WCHAR Monitor[256];
  WCHAR InputImage[256];
  uint16_t ScreenType;
  uint16_t TonerSavingMode;
  uint16_t Rotate180;
  uint16_t Mirror;
  uint16_t Thickness;  // print density 0..2
  uint16_t Negative;
  uint16_t zoomPercent;
  uint16_t FirstPageOnly;
  WatermarkRecord WatermarkData;
  uint8_t reserved2776[6];
  uint16_t interfaceFlagB;
  uint16_t interfaceFlagA;
  uint8_t reserved2786[6];
  uint16_t OverlayFlag;
  WCHAR OverlayFileName[260];
  WCHAR HeaderFontName[32];
  uint16_t HeaderFontSize;
  uint16_t HeaderBold;
  uint16_t HeaderItalic;
  uint32_t HeaderColor;
  uint16_t HeaderColorIndex;
  PrintItem PrintItems[6];
  uint16_t reserved3414;
  CustomPaperRecord CustomPaperSize[20];
};

static_assert(sizeof(StoredPrivate) == kStoredPrivateSize);
static_assert(offsetof(StoredPrivate, ColorMode) == 4);
static_assert(offsetof(StoredPrivate, Duplex) == 6);
static_assert(offsetof(StoredPrivate, DuplexIndex) == 8);
static_assert(offsetof(StoredPrivate, reverseOrder) == 10);
static_assert(offsetof(StoredPrivate, OutputSize) == 268);
static_assert(offsetof(StoredPrivate, ScaleFlag) == 272);
static_assert(offsetof(StoredPrivate, ScaleRadio) == 276);
static_assert(offsetof(StoredPrivate, MultipleUp) == 280);
static_assert(offsetof(StoredPrivate, PageOrder) == 282);
static_assert(offsetof(StoredPrivate, PageBorder) == 284);
static_assert(offsetof(StoredPrivate, MixedOrient) == 286);
static_assert(offsetof(StoredPrivate, PosterPrint) == 290);
static_assert(offsetof(StoredPrivate, PosterType) == 292);
static_assert(offsetof(StoredPrivate, CropMarks) == 294);
static_assert(offsetof(StoredPrivate, SourceTray) == 296);
static_assert(offsetof(StoredPrivate, Rotate) == 298);
static_assert(offsetof(StoredPrivate, FeedOrient) == 300);
static_assert(offsetof(StoredPrivate, ManualDuplex) == 302);
static_assert(offsetof(StoredPrivate, Mismatch) == 304);
static_assert(offsetof(StoredPrivate, BookletPrint) == 306);
static_assert(offsetof(StoredPrivate, BoookletMargins) == 318);
static_assert(offsetof(StoredPrivate, ImageShift) == 320);
static_assert(offsetof(StoredPrivate, MarginsAutoFit) == 322);
static_assert(offsetof(StoredPrivate, Side) == 324);
static_assert(offsetof(StoredPrivate, Side2) == 326);
static_assert(offsetof(StoredPrivate, PrintPosition) == 328);
static_assert(offsetof(StoredPrivate, AdjustPrintPosition) == 330);
static_assert(offsetof(StoredPrivate, LeftRight) == 332);
static_assert(offsetof(StoredPrivate, UpDown) == 334);
static_assert(offsetof(StoredPrivate, FavoriteName) == 336);
static_assert(offsetof(StoredPrivate, FavoriteIndex) == 848);
static_assert(offsetof(StoredPrivate, ImageAdjustMode) == 850);
static_assert(offsetof(StoredPrivate, ImageType) == 852);
static_assert(offsetof(StoredPrivate, ApplyElements) == 856);
static_assert(offsetof(StoredPrivate, DocumentElement) == 858);
static_assert(offsetof(StoredPrivate, Brightness) == 860);
static_assert(offsetof(StoredPrivate, Constrast) == 868);
static_assert(offsetof(StoredPrivate, Saturation) == 876);
static_assert(offsetof(StoredPrivate, AdjustBalance) == 884);
static_assert(offsetof(StoredPrivate, TargetColor) == 886);
static_assert(offsetof(StoredPrivate, Highlights) == 888);
static_assert(offsetof(StoredPrivate, Midtones) == 896);
static_assert(offsetof(StoredPrivate, Shadows) == 904);
static_assert(offsetof(StoredPrivate, Profile) == 912);
static_assert(offsetof(StoredPrivate, ColorTemperature) == 914);
static_assert(offsetof(StoredPrivate, GammaCorrection) == 916);
static_assert(offsetof(StoredPrivate, ImageInputIndex) == 918);
static_assert(offsetof(StoredPrivate, Monitor) == 920);
static_assert(offsetof(StoredPrivate, InputImage) == 1432);
static_assert(offsetof(StoredPrivate, ScreenType) == 1944);
static_assert(offsetof(StoredPrivate, TonerSavingMode) == 1946);
static_assert(offsetof(StoredPrivate, Rotate180) == 1948);
static_assert(offsetof(StoredPrivate, Mirror) == 1950);
static_assert(offsetof(StoredPrivate, Thickness) == 1952);
static_assert(offsetof(StoredPrivate, Negative) == 1954);
static_assert(offsetof(StoredPrivate, zoomPercent) == 1956);
static_assert(offsetof(StoredPrivate, FirstPageOnly) == 1958);
static_assert(offsetof(StoredPrivate, WatermarkData) == 1960);
static_assert(offsetof(StoredPrivate, interfaceFlagB) == 2782);
static_assert(offsetof(StoredPrivate, interfaceFlagA) == 2784);
static_assert(offsetof(StoredPrivate, OverlayFlag) == 2792);
static_assert(offsetof(StoredPrivate, OverlayFileName) == 2794);
static_assert(offsetof(StoredPrivate, HeaderFontName) == 3314);
static_assert(offsetof(StoredPrivate, HeaderFontSize) == 3378);
static_assert(offsetof(StoredPrivate, HeaderBold) == 3380);
static_assert(offsetof(StoredPrivate, HeaderItalic) == 3382);
static_assert(offsetof(StoredPrivate, HeaderColor) == 3384);
static_assert(offsetof(StoredPrivate, HeaderColorIndex) == 3388);
static_assert(offsetof(StoredPrivate, PrintItems) == 3390);
static_assert(offsetof(StoredPrivate, CustomPaperSize) == 3416);

struct StoredDevmode {
  DEVMODEW pub;
  StoredPrivate priv;
};
static_assert(sizeof(StoredDevmode) == kStoredDevmodeSize);
static_assert(offsetof(StoredDevmode, priv) == kPublicSize);

}  // namespace devmode
