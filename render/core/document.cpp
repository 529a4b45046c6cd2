// Document and page control: when the job header goes out, the set-up and ejection of each
// sheet, watermark splicing, and the replay of the spool copy for collated copies, reverse order
// and two-sided blank backs.
#include <algorithm>
#include <cstring>
#include <string>

#include "devmode/trace.h"
#include "devmode/tracked_alloc.h"
#include "hooks.h"
#include "pdev.h"
#include "platform/utf16.h"
#include "win/spooler.h"

namespace render {
namespace {

constexpr char kCopies[] = "\x1b&l%dX";         // number of copies (ejects with the next form feed)
constexpr char kFormFeed[] = "\f";               // eject the sheet
constexpr char kDeleteDownload[] = "\x1b*c%dd2F";  // select the download id, delete it
constexpr char kPaperSource[] = "\x1b&l%dH";     // paper source

enum class PrintMode { kFramingOff, kWatermark, kPlain };

PrintMode ModeOf(const Pdev& pdev) {
  if (IsWatermarkProgram()) return PrintMode::kFramingOff;
  return pdev.settings.priv.decoration.WatermarkIndex != 0 ? PrintMode::kWatermark : PrintMode::kPlain;
}

bool Cancelled(SURFOBJ* pso) { return EngCheckAbort(pso) != FALSE; }

// Header and PCL set-up go straight to the printer, never into the spool copy.
void WriteHeaderDirect(Pdev& pdev) {
  const uint32_t spooling = pdev.doc.OutputFlags & kSpoolCopyActive;
  pdev.doc.OutputFlags &= ~kSpoolCopyActive;
  WriteJobHeader(pdev);
  WriteJobSetup(pdev);
  (void)FlushOutput(pdev);
  pdev.doc.OutputFlags |= spooling;
}

void EndSheet(Pdev& pdev) {
  EnterPcl(pdev, 1);
  WriteCommand(pdev, kCopies, CopyCount(pdev));
  WriteCommand(pdev, kFormFeed);
  (void)FlushOutput(pdev);
}

bool NeedsSpoolCopy(const Pdev& pdev, PrintMode mode) {
  const devmode::RenderPrivate& p = pdev.settings.priv;
  return p.ReverseOrder || p.TwoSided || (pdev.settings.pub.dmCollate == 1 && pdev.settings.pub.dmCopies > 1) ||
         mode == PrintMode::kFramingOff || p.LayoutMode != devmode::kLayoutNormal;
}

// Room for record `sheet`; switches the spool copy off when the table cannot grow.
bool EnsureRecord(Pdev& pdev, int32_t sheet) {
  DocumentState& doc = pdev.doc;
  if (doc.pageRecords == nullptr) {
    doc.OutputFlags &= ~kSpoolCopyActive;
    return false;
  }
  size_t needed = (static_cast<size_t>(sheet) + 1) * sizeof(PageRecord);
  if (devmode::TrackedSize(doc.pageRecords) >= needed) return true;
  size_t grown = sizeof(PageRecord) * static_cast<size_t>(sheet) + kPageRecordsPerStep * sizeof(PageRecord);
  void* bigger = devmode::TrackedGrow(doc.pageRecords, std::max(grown, needed));
  if (bigger == nullptr) {
    doc.OutputFlags &= ~kSpoolCopyActive;
    return false;
  }
  doc.pageRecords = static_cast<PageRecord*>(bigger);
  return true;
}

// The record's length: everything spooled since its sheet began.
void CloseRecord(Pdev& pdev, int32_t sheet) {
  DocumentState& doc = pdev.doc;
  if (doc.pageRecords == nullptr || sheet < 0 || devmode::TrackedSize(doc.pageRecords) < (sheet + 1) * sizeof(PageRecord))
    return;
  PageRecord& r = doc.pageRecords[sheet];
  r.length = doc.spoolBytes - r.offset;
}

void BlankBackSide(Pdev& pdev) {
  WritePageSetup(pdev, pdev.doc.lastTray);
  WriteCommand(pdev, kCopies, CopyCount(pdev));
  WriteCommand(pdev, kFormFeed);
  (void)FlushOutput(pdev);
}

void Replay(Pdev& pdev) {
  DocumentState& doc = pdev.doc;
  const DEVMODEW& dm = pdev.settings.pub;
  const devmode::RenderPrivate& p = pdev.settings.priv;
  // Sheets from before a late start of the spool copy have empty records; none lie beyond the table.
  const auto capacity = static_cast<int32_t>(devmode::TrackedSize(doc.pageRecords) / sizeof(PageRecord));
  const int32_t last = std::min(doc.sheetCounter, capacity - 1);
  int passes;
  if (dm.dmCollate != 1) {
    passes = 1;
  } else if (p.ReverseOrder || p.TwoSided) {
    passes = dm.dmCopies;
  } else {
    passes = dm.dmCopies - 1;
  }
  doc.OutputFlags &= ~kSpoolCopyActive;
  // Records are sides; two-sided, the printer pairs them into sheets, front then back. A side
  // with no partner gets a blank back, so the next side always starts a fresh sheet.
  const bool twoSided = p.TwoSided != 0;
  const int32_t sides = last + 1;
  for (int pass = 0; pass < passes && !(doc.OutputFlags & kOutputFailed); ++pass) {
    if (p.ReverseOrder) {
      EnterPcl(pdev, 0);
      WriteOrientation(pdev);
      WriteCommand(pdev, kPaperSource, devmode::PclPaperSource(static_cast<uint16_t>(std::max<int16_t>(doc.lastTray, 0))));
      if (doc.lastPaperSent >= 0) WritePaperSize(pdev, doc.lastPaperSent);
      WriteMargins(pdev);
      (void)FlushOutput(pdev);
      // Whole sheets go out last first, each with its own front and back; poster tiles in groups
      // of four, the tiles of a group in their own order. A last group that is not full is
      // played as far as it goes.
      const int32_t group = p.LayoutMode == devmode::kLayoutPoster ? 4 : (twoSided ? 2 : 1);
      bool ok = true;
      for (int32_t first = last / group * group; first >= 0 && ok; first -= group) {
        const int32_t end = std::min(first + group, sides);
        for (int32_t i = first; i < end && ok; ++i)
          ok = ReplaySpoolRange(pdev, doc.pageRecords[i].offset, doc.pageRecords[i].length) != 0;
        if (ok && twoSided && (end - first) % 2 == 1) BlankBackSide(pdev);
      }
    } else {
      for (int32_t s = 0; s <= last; ++s) {
        if (!ReplaySpoolRange(pdev, doc.pageRecords[s].offset, doc.pageRecords[s].length)) break;
      }
      if (twoSided && sides % 2 == 1) BlankBackSide(pdev);
    }
  }
}

}  // namespace

int CopyCount(const Pdev& pdev) {
  const DEVMODEW& dm = pdev.settings.pub;
  return dm.dmCopies > 0 && dm.dmCollate != 1 ? dm.dmCopies : 1;
}

int AddDownloadEntry(Pdev& pdev, int list, int32_t id) {
  if (list < 0 || list > 1) return 0;
  auto* e = static_cast<DownloadEntry*>(devmode::TrackedAlloc(sizeof(DownloadEntry)));
  if (e == nullptr) return 0;
  e->id = id;
  e->next = pdev.downloads[list];
  pdev.downloads[list] = e;
  return 1;
}

void ReleaseDownloads(Pdev& pdev, bool writeDeletes) {
  for (DownloadEntry*& head : pdev.downloads) {
    while (head != nullptr) {
      DownloadEntry* e = head;
      head = e->next;
      if (writeDeletes) {
        EnterPcl(pdev, 1);
        WriteCommand(pdev, kDeleteDownload, e->id);
      }
      devmode::TrackedFree(e);
    }
  }
}

void GraphicsStateReset(Pdev& pdev) {
  ResetGraphicsCaches(pdev);
  ResetLineState(pdev);
  ResetBrushState(pdev);
  ResetFontState(pdev);
  ResetTextState(pdev);
}

BOOL DrvStartDoc(SURFOBJ* pso, LPWSTR pwszDocName, DWORD dwJobId) {
  Pdev* pdev = ValidPdev(pso);
  if (pdev == nullptr) return FALSE;
  DocumentState& doc = pdev->doc;
  if (doc.OutputFlags & kDocumentStarted) return TRUE;  // carried over by DrvResetPDEV
  pdev->jobId = dwJobId;
  doc.OutputFlags |= kDocumentStarted;
  doc.watermarkProgram = IsWatermarkProgram() ? 1 : 0;
  doc.lastPaperSent = -1;
  doc.lastOrientationCodeSent = -1;
  doc.pageCounter = -1;
  doc.sheetCounter = -1;
  doc.nupArrangement = kNupNotChosen;
  std::memset(pdev->jobName, 0, sizeof pdev->jobName);
  if (pwszDocName != nullptr) {
    std::u16string_view name = platform::WideField(pwszDocName, 32768);
    size_t cut = name.find_last_of(u"/:\\");
    if (cut != std::u16string_view::npos) name = name.substr(cut + 1);
    std::string ansi = platform::Utf16ToAnsi(name);
    std::memcpy(pdev->jobName, ansi.data(), std::min<size_t>(ansi.size(), kJobNameBytes - 1));
  }
  ResetPageTransform(*pdev);
  GraphicsStateReset(*pdev);
  doc.documentConstant = 4;
  doc.documentConstantPercent = 100;
  return TRUE;
}

namespace {

// The PDEV of a page hook, or null when the device is invalid, its output has failed or the job
// was cancelled (which then fails the output for good).
Pdev* PdevForPageOutput(SURFOBJ* pso) {
  Pdev* pdev = ValidPdev(pso);
  if (pdev == nullptr || (pdev->doc.OutputFlags & kOutputFailed)) return nullptr;
  if (Cancelled(pso)) {
    pdev->doc.OutputFlags |= kOutputFailed;
    return nullptr;
  }
  return pdev;
}

}  // namespace

BOOL DrvStartPage(SURFOBJ* pso) {
  Pdev* pdev = PdevForPageOutput(pso);
  if (pdev == nullptr) return FALSE;
  DocumentState& doc = pdev->doc;
  const devmode::RenderPrivate& p = pdev->settings.priv;
  const int perSheet = std::max<int>(1, p.PagesPerSheet);
  GraphicsStateReset(*pdev);
  ++doc.pageCounter;
  const PrintMode mode = ModeOf(*pdev);
  if (doc.pageCounter == 0 && mode != PrintMode::kFramingOff && (p.TwoSided == 0 || perSheet == 1))
    WriteHeaderDirect(*pdev);
  if (NeedsSpoolCopy(*pdev, mode)) StartSpoolCopy(*pdev);

  if (doc.pageCounter % perSheet == 0) {
    if (doc.sheetCounter >= 0) EndSheet(*pdev);
    ReleaseDownloads(*pdev, true);
    DeleteSoftFonts(*pdev);
    GraphicsStateReset(*pdev);
    ++doc.sheetCounter;
    if (doc.OutputFlags & kSpoolCopyActive) {
      if (doc.sheetCounter > 0) {
        (void)FlushOutput(*pdev);
        CloseRecord(*pdev, doc.sheetCounter - 1);
      }
      if (EnsureRecord(*pdev, doc.sheetCounter)) {
        PageRecord& r = doc.pageRecords[doc.sheetCounter];
        std::memset(&r, 0, sizeof r);
        r.offset = doc.spoolBytes;
        r.geometry = doc.page;
        r.orientation = doc.orientation;
      }
    }
    if (doc.sheetCounter == 0 && perSheet > 1) {
      ResetPageTransform(*pdev);
      doc.nupSheet = doc.outputPaper;
      doc.orientation = pdev->settings.pub.dmOrientation;
      ComputeNupLayout(*pdev);
      if (p.TwoSided && mode != PrintMode::kFramingOff) WriteHeaderDirect(*pdev);
    } else if (doc.sheetCounter == 0) {
      doc.orientation = pdev->settings.pub.dmOrientation;
    }
    if (mode != PrintMode::kFramingOff) WritePageSetup(*pdev, p.TrayIndex);
  }
  if (perSheet > 1) {
    if (NupLayoutStale(*pdev)) ComputeNupLayout(*pdev);
    PlaceNupPage(*pdev, doc.pageCounter);
  }
  if (mode != PrintMode::kFramingOff) WriteHpglPageInit(*pdev);
  doc.OutputFlags |= kPageStarted;
  return TRUE;
}

BOOL DrvSendPage(SURFOBJ* pso) {
  Pdev* pdev = PdevForPageOutput(pso);
  if (pdev == nullptr) return FALSE;
  DocumentState& doc = pdev->doc;
  const DEVMODEW& dm = pdev->settings.pub;
  const devmode::DecorationBlock& d = pdev->settings.priv.decoration;
  if (ModeOf(*pdev) == PrintMode::kWatermark) {
    if (d.firstPageOnly == 0 || doc.pageCounter == 0) {
      const WCHAR* file = dm.dmOrientation == 1 ? (dm.dmColor == 2 ? d.portraitColourFile : d.portraitMonoFile)
                                                : (dm.dmColor == 2 ? d.landscapeColourFile : d.landscapeMonoFile);
      // A path without its NUL inside the field is not used.
      if (platform::WideFieldTerminated(file, 260)) CopyFileToOutput(*pdev, file);
    }
    pdev->caches.CurrentLanguage = kLanguageHpgl2;
    EnterPcl(*pdev, 1);
  }
  if (pdev->settings.priv.PagesPerSheet > 1 && pdev->settings.priv.NupBorder) WriteNupBorder(*pdev);
  return FlushOutput(*pdev) ? TRUE : FALSE;
}

BOOL DrvEndDoc(SURFOBJ* pso, FLONG fl) {
  if (fl != 0 && fl != ED_ABORTDOC) {
    devmode::DebugTrace("Error in DrvEndDoc\n");
    return FALSE;
  }
  Pdev* pdev = ValidPdev(pso);
  if (pdev == nullptr) return FALSE;
  DocumentState& doc = pdev->doc;
  if (fl == ED_ABORTDOC) {
    doc.OutputFlags |= kDocumentAborted;
    EndDocPrinter(pdev->printer);
  }
  if (Cancelled(pso) || (doc.OutputFlags & kOutputFailed)) {
    doc.OutputFlags |= kOutputFailed;
  } else if (doc.pageCounter >= 0) {
    const PrintMode mode = ModeOf(*pdev);
    if (mode != PrintMode::kFramingOff) {
      if (mode == PrintMode::kWatermark) pdev->caches.CurrentLanguage = kLanguageHpgl2;
      EndSheet(*pdev);
    }
    if (doc.OutputFlags & kSpoolCopyActive) {
      CloseRecord(*pdev, doc.sheetCounter);
      if (doc.pageRecords != nullptr) Replay(*pdev);
      DeleteSpoolCopy(*pdev);
    }
    if (mode != PrintMode::kFramingOff) {
      ReleaseDownloads(*pdev, true);
      DeleteSoftFonts(*pdev);
      WriteJobTrailer(*pdev);
    }
  }
  // Whatever happened, the job's temporary file and records do not outlive it.
  if (doc.spoolFile != nullptr || doc.spoolName[0] != 0) DeleteSpoolCopy(*pdev);
  ReleasePageRecords(*pdev);
  ReleaseDownloads(*pdev, false);
  FreeSoftFonts(*pdev);
  (void)FlushOutput(*pdev);
  ResetOutputBuffer(*pdev);
  doc.OutputFlags = 0;
  doc.lastPaperSent = -1;
  doc.lastOrientationCodeSent = -1;
  return TRUE;
}

}  // namespace render
