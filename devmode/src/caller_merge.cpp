// Stored devmode defaults, private-block validation and the merge of a caller's devmode.
#include "devmode/caller_merge.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "devmode/builtin_watermarks.h"
#include "devmode/caller_devmode.h"
#include "devmode/locale_paper.h"
#include "devmode/render_devmode.h"
#include "platform/utf16.h"

namespace devmode {
namespace {

// Resets `field` to `substitute` unless lo <= field <= hi; counts the change.
template <typename T, typename L, typename H, typename S>
void Range(T& field, L lo, H hi, S substitute, int& changes) {
  if (std::cmp_less(field, lo) || std::cmp_greater(field, hi)) {
    field = static_cast<T>(substitute);
    ++changes;
  }
}

template <size_t N>
void Terminate(WCHAR (&field)[N], size_t maxChars, int& changes) {
  if (platform::WideLength(field, N) > maxChars) {
    field[maxChars] = 0;
    ++changes;
  }
  if (field[N - 1] != 0) {
    field[N - 1] = 0;
    ++changes;
  }
}

void SetPaper(DEVMODEW& pub, int paper, const PageGeometry& g) {
  pub.dmPaperSize = static_cast<SHORT>(paper);
  pub.dmPaperWidth = static_cast<SHORT>(PixelsToTenthMm(g.width));
  pub.dmPaperLength = static_cast<SHORT>(PixelsToTenthMm(g.height));
}

}  // namespace

void InitStoredPublic(DEVMODEW* pub, const WCHAR* deviceName) {
  std::memset(pub, 0, sizeof *pub);
  platform::CopyWideField(pub->dmDeviceName, CCHDEVICENAME,
                          platform::WideField(deviceName, deviceName ? CCHDEVICENAME - 1 : 0));
  pub->dmSpecVersion = DM_SPECVERSION;
  pub->dmDriverVersion = kStoredDriverVersion;
  pub->dmSize = kPublicSize;
  pub->dmDriverExtra = kStoredPrivateSize;
  pub->dmFields = kStoredFields;
  pub->dmOrientation = DMORIENT_PORTRAIT;
  bool metric = UsesMetricPaper();
  pub->dmPaperSize = metric ? DMPAPER_A4 : DMPAPER_LETTER;
  pub->dmPaperWidth = metric ? 2100 : 2159;
  pub->dmPaperLength = metric ? 2970 : 2794;
  platform::CopyWideField(pub->dmFormName, CCHFORMNAME, metric ? u"A4" : u"Letter");
  pub->dmScale = 100;
  pub->dmCopies = 1;
  pub->dmDefaultSource = DMBIN_AUTO;
  pub->dmPrintQuality = 600;
  pub->dmColor = DMCOLOR_MONOCHROME;
  pub->dmDuplex = DMDUP_SIMPLEX;
  pub->dmYResolution = 600;
  pub->dmTTOption = DMTT_BITMAP;
  pub->dmCollate = DMCOLLATE_FALSE;
  pub->dmMediaType = DMMEDIA_STANDARD;
}

void InitStoredPrivate(StoredPrivate* p, std::u16string_view defaultFavoriteName) {
  std::memset(p, 0, sizeof *p);
  p->signature = kPrivSignature;
  p->ColorMode = 1;
  p->Duplex = 1;
  p->ScaleRadio = 100;
  p->MultipleUp = 1;
  p->FeedOrient = 1;
  p->MarginsAutoFit = 1;
  platform::CopyWideField(p->FavoriteName, std::size(p->FavoriteName), defaultFavoriteName);
  p->FavoriteIndex = 26;
  p->ColorTemperature = 1;
  p->GammaCorrection = 3;
  p->Thickness = 1;
  p->zoomPercent = 100;
  p->WatermarkData = BuiltInWatermark(0);
  p->interfaceFlagB = 1;
  platform::CopyWideField(p->HeaderFontName, std::size(p->HeaderFontName), u"Times New Roman");
  p->HeaderFontSize = 9;
  p->HeaderBold = 1;
  for (int i = 0; i < 20; ++i) {
    CustomPaperRecord& c = p->CustomPaperSize[i];
    c.width = 4960;
    c.height = 7015;
    char name[16];
    std::snprintf(name, sizeof name, "Custom %d", i + 1);
    platform::CopyWideField(c.name, std::size(c.name), platform::Widen(name));
  }
}

void InitStoredDevmode(StoredDevmode* devmode, const WCHAR* deviceName, std::u16string_view defaultFavoriteName) {
  InitStoredPublic(&devmode->pub, deviceName);
  InitStoredPrivate(&devmode->priv, defaultFavoriteName);
}

int ValidateWatermarkRecord(WatermarkRecord* w) {
  int n = 0;
  Range(w->WatermarkIndex, 0, 32, 0, n);
  Range(w->WatermarkKind, 0, 2, 0, n);
  Terminate(w->Name, 32, n);
  Terminate(w->Text, 64, n);
  Terminate(w->Typeface, 31, n);
  Terminate(w->ImagePath, 259, n);
  Range(w->Size, 6, 600, 72, n);
  Range(w->Bold, 0, 1, 0, n);
  Range(w->Italic, 0, 1, 0, n);
  Range(w->Transparent, 0, 1, 0, n);
  Range(w->Frame, 0, 2, 0, n);
  Range(w->Angle, -90, 90, 0, n);
  Range(w->Scale, 0, 1000, 0, n);
  Range(w->Position, 0, 10, 0, n);
  Range(w->Repeat, 0, 1, 0, n);
  Range(w->Colour, 0, 0xFFFFFF, 0x0033FF, n);
  Range(w->Reserved808, 0, 7, 0, n);
  return n;
}

int ValidatePrivateBlock(StoredPrivate* p, std::u16string_view defaultFavoriteName) {
  int n = 0;
  Range(p->ColorMode, 1, 1, 1, n);
  Range(p->Duplex, 1, 5, 1, n);
  Range(p->DuplexIndex, 0, 2, 0, n);
  Range(p->OutputSize, 0, INT32_MAX, 0, n);
  Range(p->ScaleFlag, 0, 2, 0, n);
  Range(p->ScaleRadio, 25, 400, 100, n);
  Range(p->MultipleUp, 1, 23, 1, n);
  Range(p->PageOrder, 0, 5, 0, n);
  Range(p->PageBorder, 0, 1, 0, n);
  Range(p->MixedOrient, 0, 2, 0, n);
  Range(p->PosterPrint, 0, 1, 0, n);
  Range(p->PosterType, 0, 2, 0, n);
  Range(p->CropMarks, 0, 1, 0, n);
  Range(p->SourceTray, 0, 4, 0, n);
  Range(p->Rotate, 0, 3, 0, n);
  Range(p->FeedOrient, 1, 2, 1, n);
  Range(p->ManualDuplex, 0, 1, 0, n);
  Range(p->ImageShift, 0, 8, 0, n);
  Range(p->MarginsAutoFit, 0, 1, 1, n);
  Range(p->Side, 0, 1181, 0, n);
  Range(p->Side2, 0, 1181, 0, n);
  Range(p->PrintPosition, 0, 4, 0, n);
  Range(p->AdjustPrintPosition, 0, 1, 0, n);
  Range(p->LeftRight, -1181, 1181, 0, n);
  Range(p->UpDown, -1181, 1181, 0, n);
  if (platform::WideLength(p->FavoriteName, std::size(p->FavoriteName)) > 32) {
    platform::CopyWideField(p->FavoriteName, std::size(p->FavoriteName), defaultFavoriteName.substr(0, 32));
    ++n;
  }
  Terminate(p->FavoriteName, 255, n);
  Range(p->ImageAdjustMode, 0, 2, 0, n);
  Range(p->ImageType[0], 0, 2, 0, n);
  Range(p->ImageType[1], 0, 3, 0, n);
  Range(p->ApplyElements, 0, 1, 0, n);
  Range(p->DocumentElement, 0, 2, 0, n);
  for (int i = 0; i < 4; ++i) {
    Range(p->Brightness[i], -100, 100, 0, n);
    Range(p->Constrast[i], -100, 100, 0, n);
    Range(p->Saturation[i], -100, 100, 0, n);
    Range(p->Highlights[i], -3, 3, 0, n);
    Range(p->Midtones[i], -3, 3, 0, n);
    Range(p->Shadows[i], -3, 3, 0, n);
  }
  Range(p->AdjustBalance, 0, 1, 0, n);
  Range(p->TargetColor, 0, 3, 0, n);
  Range(p->Profile, 0, 2, 0, n);
  Range(p->ColorTemperature, 0, 2, 1, n);
  Range(p->GammaCorrection, 0, 4, 3, n);
  Range(p->ImageInputIndex, 0, 2, 0, n);
  for (WCHAR* field : {p->Monitor, p->InputImage}) {
    // A path that does not end inside its field is emptied, not cut.
    if (!platform::WideFieldTerminated(field, 256)) {
      std::memset(field, 0, 256 * sizeof(WCHAR));
      ++n;
    }
  }
  Range(p->ScreenType, 0, 3, 0, n);
  Range(p->TonerSavingMode, 0, 3, 0, n);
  Range(p->Rotate180, 0, 1, 0, n);
  Range(p->Mirror, 0, 1, 0, n);
  Range(p->Thickness, 0, 2, 1, n);
  Range(p->Negative, 0, 1, 0, n);
  Range(p->FirstPageOnly, 0, 1, 0, n);
  n += ValidateWatermarkRecord(&p->WatermarkData);
  Range(p->interfaceFlagB, 0, 1, 1, n);
  Range(p->interfaceFlagA, 0, 1, 0, n);
  Terminate(p->OverlayFileName, 259, n);
  Terminate(p->HeaderFontName, 31, n);
  Range(p->HeaderFontSize, 5, 24, 9, n);
  Range(p->HeaderBold, 0, 1, 1, n);
  Range(p->HeaderItalic, 0, 1, 0, n);
  Range(p->HeaderColor, 0, 0xFFFFFF, 0, n);
  Range(p->HeaderColorIndex, 0, 6, 0, n);
  for (auto& item : p->PrintItems) {
    Range(item.print, 0, 1, 0, n);
    Range(item.position, 0, 5, 0, n);
  }
  for (auto& c : p->CustomPaperSize) {
    Range(c.width, 1800, 5100, 4960, n);
    Range(c.height, 3000, 8400, 7015, n);
    Terminate(c.name, 24, n);
  }
  return n;
}

bool LookupPaperSize(int paperNumber, bool useStore, const CustomPaperLookup& lookup, PageGeometry* out) {
  if (paperNumber >= kFirstCustomPaperId && paperNumber <= kLastMergeableCustomPaperId) {
    *out = {4960, 7015, 95, 95, 95, 95};
    CustomPaperRecord record{};
    if (useStore && lookup && lookup(paperNumber, &record) && record.width > 0 && record.height > 0) {
      out->width = record.width;
      out->height = record.height;
    }
    return true;
  }
  if (const PageGeometry* g = PortraitGeometry(paperNumber)) {
    *out = *g;
    return true;
  }
  return false;
}

bool MergeCallerDevmode(StoredDevmode* working, const DEVMODEW* caller, const CallerMergeContext& context) {
  if (working == nullptr || caller == nullptr) return false;
  const CallerDevmode in(caller);
  if (in.dmSize() != kPublicSize) return false;
  const DEVMODEW a = in.PublicPart();
  if (a.dmDeviceName[0] == 0 || CheckDevmodeVersion(&a) == 0 || a.dmFields == 0) return false;

  DEVMODEW& w = working->pub;
  const DWORD f = a.dmFields;
  if ((f & DM_ORIENTATION) && (a.dmOrientation == 1 || a.dmOrientation == 2)) w.dmOrientation = a.dmOrientation;
  if ((f & DM_COPIES) && a.dmCopies >= 1 && a.dmCopies <= 999) w.dmCopies = a.dmCopies;
  if (f & DM_PRINTQUALITY) w.dmPrintQuality = a.dmPrintQuality;
  if ((f & DM_YRESOLUTION) && (a.dmYResolution == 600 || a.dmYResolution == 1200)) w.dmYResolution = 600;
  if ((f & DM_DUPLEX) && (a.dmDuplex == 1 || a.dmDuplex == 2 || a.dmDuplex == 3 || a.dmDuplex == 5)) {
    w.dmDuplex = a.dmDuplex;
    if (a.dmDuplex == 5) {
      if (const std::byte* p = in.Private(offsetof(StoredPrivate, Duplex) + 2)) {
        std::memcpy(&working->priv.Duplex, p + offsetof(StoredPrivate, Duplex), 2);
        // Copied from a block that may not be ours: hold it to the block's own range.
        int ignored = 0;
        Range(working->priv.Duplex, 1, 5, 1, ignored);
      }
    }
  }
  if ((f & DM_MEDIATYPE) && a.dmMediaType != 0) w.dmMediaType = a.dmMediaType;
  if ((f & DM_DEFAULTSOURCE) && a.dmDefaultSource > 0) w.dmDefaultSource = a.dmDefaultSource;
  if (f & DM_SCALE) w.dmScale = a.dmScale;
  if ((f & DM_COLLATE) && (a.dmCollate == 0 || a.dmCollate == 1)) w.dmCollate = a.dmCollate;
  if (f & DM_COLOR) w.dmColor = DMCOLOR_MONOCHROME;

  const std::byte* priv = in.Private(sizeof(StoredPrivate));
  uint32_t signature = 0;
  if (priv != nullptr) std::memcpy(&signature, priv, 4);
  const bool ownPrivate = priv != nullptr && in.dmDriverExtra() == kStoredPrivateSize &&
                          in.dmDriverVersion() == kStoredDriverVersion && in.dmSpecVersion() == DM_SPECVERSION &&
                          signature == kPrivSignature;

  if (f & DM_PAPERSIZE) {
    int paper = a.dmPaperSize;
    PageGeometry g{};
    bool custom = paper >= kFirstCustomPaperId && paper <= kLastMergeableCustomPaperId;
    if ((custom || IsTablePaper(paper)) && LookupPaperSize(paper, ownPrivate, context.customPaper, &g)) {
      SetPaper(w, paper, g);
    } else {
      int fallback = UsesMetricPaper() ? DMPAPER_A4 : DMPAPER_LETTER;
      SetPaper(w, fallback, *PortraitGeometry(fallback));
    }
  }

  if (ownPrivate) {
    std::memcpy(&working->priv, priv, sizeof(StoredPrivate));
    ValidatePrivateBlock(&working->priv, context.defaultFavoriteName);
  }
  return true;
}

}  // namespace devmode
