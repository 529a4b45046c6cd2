// The PDEV: everything the rendering library keeps for one device context, guarded by a leading
// and a trailing signature. Each sub-record belongs to the module named beside it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "devmode/paper_tables.h"
#include "devmode/render_settings.h"
#include "text/text_fonts.h"
#include "text/text_output.h"
#include "win/winddi.h"

namespace render {

constexpr uint32_t kPdevSignature = 0x50503543;

// OutputFlags bits.
constexpr uint32_t kOutputFailed = 0x1;        // sticky: every later write is dropped
constexpr uint32_t kDocumentAborted = 0x2;
constexpr uint32_t kDocumentStarted = 0x4;
constexpr uint32_t kPageStarted = 0x8;
constexpr uint32_t kSpoolCopyActive = 0x20;
constexpr uint32_t kDiscardMode = 0x1000;      // writes are accepted and thrown away
constexpr uint32_t kDecorationMode = 0x4000;   // transparent raster operations forced

// CurrentLanguage values; anything else forces the next switch.
constexpr uint8_t kLanguageUnknown = 0;
constexpr uint8_t kLanguagePcl = 16;
constexpr uint8_t kLanguageHpgl2 = 32;

constexpr uint32_t kCommandBufferSize = 4096;
constexpr uint32_t kCommandBufferReserve = 4108;
constexpr int kSpoolNameChars = 256;
constexpr int kJobNameBytes = 256;
constexpr uint32_t kPageRecordsPerStep = 30;

// One sheet in the spool-copy file.
struct PageRecord {
  int32_t offset;
  int32_t length;
  uint8_t reserved8[8];
  double reserved16;
  devmode::PageGeometry geometry;
  int16_t orientation;
  uint8_t reserved38[2];
};
static_assert(sizeof(PageRecord) == 40);
static_assert(offsetof(PageRecord, geometry) == 24);
static_assert(offsetof(PageRecord, orientation) == 36);

// An entry of a per-sheet download list (patterns, soft fonts): freed, with its delete command,
// when the sheet ends.
struct DownloadEntry {
  DownloadEntry* next;
  int32_t id;
};

enum NupArrangement : int8_t { kNupNotChosen = 0, kNupTurned = 1, kNupUprightA = 2, kNupUprightB = 3 };

// Where the current page of an N-up sheet lies, in pixels of the sheet's printable area.
struct NupPlacement {
  RECTL cell;
  RECTL page;
};

// Handed whole from the old PDEV to the new one by DrvResetPDEV.
struct DocumentState {
  devmode::PageGeometry page;         // of the selected paper and orientation
  devmode::PageGeometry outputPaper;  // of the sheet (swapped when N-up turns the pages)
  int16_t orientation;                // in force: 1 portrait, 2 landscape
  int16_t lastTray;                   // 255 = none sent
  int16_t lastMedia;                  // 255 = none sent
  int16_t hpglRotation;
  int32_t scaleX;  // percent
  int32_t scaleY;
  int32_t pclOffsetX;  // device pixels
  int32_t pclOffsetY;
  int32_t hpglOffsetX;  // user units
  int32_t hpglOffsetY;
  double nupFactor;
  uint32_t OutputFlags;
  int32_t pageCounter;   // -1 before the first page
  int32_t sheetCounter;  // -1 before the first sheet
  uint32_t deviceFontCount;
  HANDLE spoolFile;
  int32_t spoolBytes;
  WCHAR spoolName[kSpoolNameChars];
  PageRecord* pageRecords;
  uint8_t documentConstant;         // 4
  uint16_t documentConstantPercent;  // 100
  // Remembered for the whole document (-1 at its start and end).
  int32_t lastPaperSent;
  int32_t lastOrientationCodeSent;
  // N-up layout of the document.
  int8_t nupArrangement;
  int16_t nupColumns;
  int16_t nupRows;
  devmode::PageGeometry nupSheet;       // the sheet before any turn
  devmode::PageGeometry nupLayoutPage;  // the page the layout was computed for
  NupPlacement nupPlacement;
  // The printing program is the watermark program; learnt once, when the document starts.
  uint8_t watermarkProgram;
};

struct GraphicsCaches {
  uint8_t CurrentLanguage;
  uint8_t rop;  // shared by merge control and the PCL logical operation
  uint8_t sourceTransparency;
  uint8_t patternTransparency;
  int32_t clip[4];
  uint8_t clipValid;
  // Kind and value kept apart, so that no two fills share a key ("FT10,16" and "FT11,1").
  int16_t fillKind;  // -1 unknown
  int32_t fillValue;
  int16_t screenedKind;  // -1 unknown
  int32_t screenedValue;
};

// A user line type: dash and gap lengths in device pixels (tracked allocation).
struct LineStyle {
  int32_t count;
  int32_t patternLength;  // whole millimetres
  int32_t elements[1];    // `count` of them
};

constexpr int kLineStyleSlots = 8;

// HP-GL/2 line attributes and user line types (graphics/line_attributes.cpp).
struct HpglLineState {
  int32_t lineEnd;
  int32_t lineJoin;
  int32_t penWidth;  // device pixels
  int32_t lineType;  // -1 solid, 1 to 8 a user slot, -2 unknown
  int32_t styleReplacements;
  LineStyle* styles[kLineStyleSlots];
};

// PCL patterns and the current brush (graphics/brushes.cpp, graphics/patterns.cpp).
struct BrushState {
  int32_t patternCounter;  // last identifier handed out
  int32_t greyPatterns[256];
  int32_t currentPattern;
  uint8_t currentKind;  // kPattern* below; 0xFF unknown
  int32_t anchorX;
  int32_t anchorY;
};

constexpr uint8_t kPatternBlack = 0;
constexpr uint8_t kPatternWhite = 1;
constexpr uint8_t kPatternUser = 4;

struct OutputChannel {
  uint8_t buffer[kCommandBufferReserve];
  uint32_t capacity;
  uint32_t position;  // offset of the next byte
  uint32_t fill;
};

struct RasterBuffer {
  void* data;
  uint32_t size;
};

struct Pdev {
  uint32_t leadingSignature;
  HpglLineState lines;
  BrushState brush;
  uint8_t blitAborted;  // the job was cancelled: every later blit fails
  devmode::RenderSettings settings;
  DownloadEntry* downloads[2];    // per-sheet download lists
  RasterBuffer raster[3];  // raster compression (graphics/raster.cpp): run-length out, delta out, seed row
  int32_t rasterMethod;    // compression method last sent in the open picture; 4 = none yet
  uint32_t resampleLimit;  // largest resampled image made in one piece, bytes; 0 = the default
  GraphicsCaches caches;
  FontState fonts;  // text/text_fonts.h
  TextState text;   // text/text_output.h
  OutputChannel channel;
  HANDLE printer;
  HDEV hdev;
  HSURF surface;
  HPALETTE palette;
  DWORD jobId;
  char jobName[kJobNameBytes];
  DocumentState doc;
  uint32_t trailingSignature;
};

// The PDEV behind an engine handle, or null when it fails the signature check.
Pdev* ValidPdev(DHPDEV dhpdev);
Pdev* ValidPdev(const SURFOBJ* pso);

// The printing application is the watermark program (its output is a page fragment, not a job).
bool IsWatermarkProgram();

// --- output channel ---
void ResetOutputBuffer(Pdev& pdev);
[[nodiscard]] int FlushOutput(Pdev& pdev);
// length 0: a NUL-terminated string.
int WriteBytes(Pdev& pdev, const void* bytes, uint32_t length);
[[gnu::format(printf, 2, 3)]] int WriteCommand(Pdev& pdev, const char* format, ...);
int EnterHpgl2(Pdev& pdev, int keepCursor);
// Stores HP-GL/2 as in force even when nothing needed writing.
int EnterHpgl2Always(Pdev& pdev, int keepCursor);
int EnterPcl(Pdev& pdev, int usePenPosition);

// The driver's own formatter: each conversion takes one 64-bit slot (see output_channel.cpp).
struct FormatArg {
  uint64_t slot;
  FormatArg(int v) : slot(static_cast<uint64_t>(static_cast<int64_t>(v))) {}
  FormatArg(unsigned v) : slot(v) {}
  FormatArg(long v) : slot(static_cast<uint64_t>(v)) {}
  FormatArg(const char* s) : slot(reinterpret_cast<uintptr_t>(s)) {}
  FormatArg(bool b) : slot(b ? 1 : 0) {}
};
// Writes at most capacity - 1 characters and the NUL; returns the characters written.
int FormatCommandString(char* destination, size_t capacity, const char* format, const FormatArg* args, size_t count);
int WriteCommandFixedArgs(Pdev& pdev, const char* format, const FormatArg* args, size_t count);
template <typename... A>
int WriteCommandFixed(Pdev& pdev, const char* format, A... args) {
  const FormatArg list[] = {FormatArg(args)..., FormatArg(0)};
  return WriteCommandFixedArgs(pdev, format, list, sizeof...(A));
}
// 8 fraction bits.
constexpr int32_t ToFixed(double v) { return static_cast<int32_t>(v * 256.0 + (v < 0 ? -0.5 : 0.5)); }

int StartSpoolCopy(Pdev& pdev);
[[nodiscard]] int ReplaySpoolRange(Pdev& pdev, int32_t offset, int32_t length);
void DeleteSpoolCopy(Pdev& pdev);
int CopyFileToOutput(Pdev& pdev, const WCHAR* path);
int CopyOverlayFileToOutput(Pdev& pdev);

// --- state-cached graphics commands ---
void ResetGraphicsCaches(Pdev& pdev);
int SetInputWindowRaw(Pdev& pdev, int x1, int y1, int x2, int y2);
int SetClipWindow(Pdev& pdev, const RECTL* rect);
int SetLineType(Pdev& pdev, int pattern, int length);
int SetScreenedVectors(Pdev& pdev, int type, int level);
int SetFillType(Pdev& pdev, int type, int value);
// "MC1,%d" for a mix (foreground in the low byte, background in the next) or, with mix 0, the
// default code; forced transparent for the watermark program and decorations.
int SetMergeControl(Pdev& pdev, int defaultCode, MIX mix);
int SetPclRasterOps(Pdev& pdev, int sourceTransparency, int patternTransparency, int rop);
int MovePenUp(Pdev& pdev, int x, int y);
int SetRasterPresentation(Pdev& pdev);
int TranslateRopToSource(int rop);
// The raster operation of a binary mix (foreground in the low byte), as merge control codes it.
int RopForMix(MIX mix);
// The HP-GL/2 polyline-encoded pair; `out` needs 16 bytes. Returns the characters written.
int EncodePolylinePair(int32_t x, int32_t y, char* out);
// Angle of (dx, dy) in tenths of a degree, 0 to 3599.
int VectorAngle(int32_t dx, int32_t dy);
void VectorFromAngle(int angleTenths, int32_t length, int32_t* dx, int32_t* dy);

// --- resets of the graphics modules' sub-records (render/graphics) ---
void ResetLineState(Pdev& pdev);  // frees the user line types
void ResetBrushState(Pdev& pdev);

// --- job header ---
int WriteJobHeader(Pdev& pdev);
int WriteJobSetup(Pdev& pdev);
int WriteJobTrailer(Pdev& pdev);
// The fixed toner value of every job.
void TonerValue(uint8_t (&out)[32]);

// --- page setup and transform ---
void ResetPageTransform(Pdev& pdev);
int WritePageSetup(Pdev& pdev, int trayIndex);
int WriteOrientation(Pdev& pdev);
int WriteMargins(Pdev& pdev);
int WritePaperSize(Pdev& pdev, int paperNumber);
int WritePictureFrame(Pdev& pdev);
int WriteHpglPageInit(Pdev& pdev);
int MovePclCursor(Pdev& pdev, int x, int y);

// --- N-up ---
// Chooses the arrangement on the first sheet of a document (kept afterwards), sets the sheet's
// orientation, geometry, grid and scale.
void ComputeNupLayout(Pdev& pdev);
// Places page k (of the document) in its cell and stores the offsets.
void PlaceNupPage(Pdev& pdev, int32_t pageIndex);
bool NupLayoutStale(const Pdev& pdev);
int WriteNupBorder(Pdev& pdev);

// --- document and page control ---
void GraphicsStateReset(Pdev& pdev);
// The watermark program or decoration mode: raster operations are forced transparent.
bool ForcedTransparent(const Pdev& pdev);
int CopyCount(const Pdev& pdev);
int AddDownloadEntry(Pdev& pdev, int list, int32_t id);
void ReleaseDownloads(Pdev& pdev, bool writeDeletes);
void ReleasePageRecords(Pdev& pdev);

}  // namespace render
