// Render settings of a device context: defaults, import of a stored devmode, validating merge.
#include "devmode/render_devmode.h"

#include <algorithm>
#include <cstring>

#include "devmode/caller_devmode.h"
#include "devmode/locale_paper.h"
#include "devmode/paper_tables.h"
#include "devmode/stored_devmode.h"
#include "devmode/trace.h"
#include "platform/utf16.h"

namespace devmode {
namespace {

constexpr const char16_t kNotAvailable[] = u"Not Available";
constexpr int kPagesPerSheetValues[] = {1, 2, 4, 6, 8, 9, 16};
constexpr DWORD kMergeableMedia[] = {1, 264, 2, 263, 257, 259, 258};

template <size_t N>
void SetWide(WCHAR (&field)[N], std::u16string_view text) {
  platform::CopyWideField(field, N, text);
}

bool ValidPagesPerSheet(int n) {
  return std::find(std::begin(kPagesPerSheetValues), std::end(kPagesPerSheetValues), n) != std::end(kPagesPerSheetValues);
}

// Paper size, width and length of the locale's default paper, computed from its geometry.
void SetLocaleDefaultPaper(DEVMODEW& pub, int printQuality) {
  int paper = DefaultPaperForLocale();
  const PageGeometry* g = PortraitGeometry(paper);
  pub.dmPaperSize = static_cast<SHORT>(paper);
  pub.dmPaperWidth = static_cast<SHORT>(g->width * 254.0 / printQuality + 0.5);
  pub.dmPaperLength = static_cast<SHORT>(g->height * 254.0 / printQuality + 0.5);
  SetWide(pub.dmFormName, paper == DMPAPER_A4 ? u"A4" : u"Letter");
}

void FillDecoration(DecorationBlock& d, const StoredPrivate& s) {
  const WatermarkRecord& w = s.WatermarkData;
  d.WatermarkIndex = w.WatermarkIndex;
  std::memcpy(d.name, w.Name, sizeof d.name);
  d.carriedValue = w.Name[32];
  std::memcpy(d.typeface, w.Typeface, sizeof d.typeface);
  d.position = w.Position;
  d.angle = w.Angle;
  d.imageFlag = w.WatermarkKind == 2 ? 1 : 0;
  // The interface library draws an image watermark itself from the bitmap named here, at the
  // record's scale; no print file is spliced, so the file fields stay empty.
  if (d.imageFlag) {
    std::memcpy(d.imagePath, w.ImagePath, sizeof w.ImagePath);
    d.size = w.Scale;
  } else {
    std::memcpy(d.text, w.Text, sizeof d.text);
    d.size = w.Size;
  }
  d.firstPageOnly = static_cast<uint8_t>(s.FirstPageOnly);
  d.italic = static_cast<uint8_t>(w.Italic);
  d.bold = static_cast<uint8_t>(w.Bold);
  d.OverlayTransparent = 1;
  d.frame = static_cast<uint8_t>(w.Frame <= 2 ? w.Frame : 0);
  d.grey = DecorationGrey(w.GreyLevel);
  d.horizontal = w.HorizontalPosition;
  d.vertical = w.VerticalPosition;
  d.repeat = w.Repeat != 0 ? 1 : 0;
  // Text from an application's record may lack its NUL: cut it at the field's end.
  d.name[std::size(d.name) - 1] = 0;
  if (d.imageFlag) {
    d.imagePath[std::size(w.ImagePath) - 1] = 0;
  } else {
    d.text[std::size(d.text) - 1] = 0;
  }
  d.typeface[std::size(d.typeface) - 1] = 0;
}

// The private block of an application's devmode, or the defaults when it carries none of ours.
StoredPrivate PrivateOf(const CallerDevmode& in) {
  StoredPrivate s{};
  const std::byte* p = in.Private(sizeof(StoredPrivate));
  uint32_t signature = 0;
  if (p != nullptr) std::memcpy(&signature, p, 4);
  if (p != nullptr && signature == kPrivSignature) {
    std::memcpy(&s, p, sizeof s);
    return s;
  }
  // Not our block: behave as if the interface library's defaults had been chosen.
  s.signature = kPrivSignature;
  s.MultipleUp = 1;
  s.FeedOrient = 1;
  s.Thickness = 1;
  s.zoomPercent = 100;
  s.interfaceFlagB = 1;
  return s;
}

bool CarriesRenderPrivate(const DEVMODEW* d) {
  if (d->dmSpecVersion != DM_SPECVERSION || d->dmDriverVersion != kRenderDriverVersion ||
      d->dmSize != kPublicSize || d->dmDriverExtra != kRenderPrivateSize)
    return false;
  uint32_t trailer;
  std::memcpy(&trailer, reinterpret_cast<const std::byte*>(d) + kRenderSettingsSize - 4, 4);
  return trailer == kPrivSignature;
}

bool LabelTerminated(const RenderPrivate& p) {
  return platform::WideFieldTerminated(p.labelText, std::size(p.labelText));
}

// Private groups whose values the import always produces valid; anything else keeps R's own.
bool PageHandlingValid(const RenderPrivate& p) {
  return p.ReverseOrder <= 1 && p.TwoSided <= 1 && p.FlipShortEdge <= 1 && p.Rotate180 <= 1 &&
         (p.DensityLevel == 0 || p.DensityLevel == 2 || p.DensityLevel == 4);
}
bool LayoutValid(const RenderPrivate& p) { return p.LayoutMode == kLayoutNormal || p.LayoutMode == kLayoutPoster; }
bool RenderModelValid(const RenderPrivate& p) {
  return (p.RenderModel == 1 || p.RenderModel == 2) && p.overlay.mode <= 2 && p.VectorGraphics == 1 &&
         p.interfaceFlagA <= 1 && p.interfaceFlagB <= 1;
}
bool PaperIdentityValid(const RenderPrivate& p) { return p.feedShortEdge <= 1; }
bool PaperBlockValid(const RenderPrivate& p) { return p.TrayIndex <= 4; }
bool DecorationValid(const RenderPrivate& p) {
  const DecorationBlock& d = p.decoration;
  return d.imageFlag <= 1 && d.firstPageOnly <= 1 && d.OverlayTransparent <= 1 &&
         (d.imageFlag ? platform::WideFieldTerminated(d.imagePath, std::size(d.imagePath))
                      : platform::WideFieldTerminated(d.text, std::size(d.text))) &&
         platform::WideFieldTerminated(d.typeface, std::size(d.typeface)) &&
         platform::WideFieldTerminated(d.portraitMonoFile, std::size(d.portraitMonoFile));
}
bool TailValid(const RenderPrivate& p) { return p.AutoDuplexUnit == 1; }

}  // namespace

uint32_t DecorationGrey(unsigned level) {
  switch (level) {
    case 0: return 0xC6C6C6;
    case 1: return 0xA1A1A1;
    case 3: return 0x575757;
    case 4: return 0x323232;
    default: return 0x7C7C7C;
  }
}

WORD CheckDevmodeVersion(const DEVMODEW* devmode) {
  if (devmode == nullptr) {
    DebugTrace("CheckDevmodeVersion get NULL pointer!\n");
    return 0;
  }
  switch (devmode->dmSize) {
    case 188: return 0x320;
    case 212: return 0x400;
    case 220: return 0x401;
    default: return devmode->dmSpecVersion;
  }
}

int Devmod2_InitDevMode(RenderSettings* settings, const WCHAR* deviceName) {
  if (settings == nullptr) {
    DebugTrace("Devmod2_InitDevMode get NULL pointer!\n");
    return 0;
  }
  std::memset(settings, 0, sizeof *settings);
  DEVMODEW& pub = settings->pub;
  RenderPrivate& p = settings->priv;
  platform::CopyWideField(pub.dmDeviceName, CCHDEVICENAME,
                          platform::WideField(deviceName, deviceName ? CCHDEVICENAME - 1 : 0));
  pub.dmSpecVersion = DM_SPECVERSION;
  pub.dmDriverVersion = kRenderDriverVersion;
  pub.dmSize = kPublicSize;
  pub.dmDriverExtra = kRenderPrivateSize;
  pub.dmFields = kRenderFields;
  pub.dmOrientation = DMORIENT_PORTRAIT;
  pub.dmPrintQuality = 600;
  SetLocaleDefaultPaper(pub, pub.dmPrintQuality);
  pub.dmScale = 100;
  pub.dmCopies = 1;
  pub.dmDefaultSource = DMBIN_AUTO;
  pub.dmColor = DMCOLOR_MONOCHROME;
  pub.dmDuplex = DMDUP_SIMPLEX;
  pub.dmYResolution = 600;
  pub.dmTTOption = DMTT_BITMAP;
  pub.dmCollate = DMCOLLATE_FALSE;
  pub.dmICMMethod = DMICMMETHOD_NONE;
  pub.dmICMIntent = DMICM_CONTRAST;
  pub.dmMediaType = 0;

  p.PagesPerSheet = 1;
  p.RenderModel = 1;
  p.VectorGraphics = 1;
  p.ScaleMode = 1;
  p.ScalePercent = 100;
  p.keepAspect = 1;
  p.outputPaperSize = static_cast<uint16_t>(pub.dmPaperSize);
  p.paperSize = pub.dmPaperSize;
  p.paperWidth = pub.dmPaperWidth;
  p.paperLength = pub.dmPaperLength;
  for (auto& sp : p.specialPages) sp.kind = 3;
  p.LayoutMode = kLayoutNormal;
  p.AutoDuplexUnit = 1;
  for (auto& slot : p.textSlots) SetWide(slot, kNotAvailable);
  SetWide(p.decoration.name, u"<None>");
  SetWide(p.decoration.typeface, u"Arial");
  p.decoration.size = 100;
  p.decoration.weight = 400;
  p.decoration.angle = 45;
  p.trailer = kPrivSignature;
  return 1;
}

int ImportStoredDevmode(const DEVMODEW* stored, RenderSettings* scratch) {
  if (stored == nullptr || scratch == nullptr) return 0;
  std::memset(scratch, 0, sizeof *scratch);
  const CallerDevmode in(stored);
  DEVMODEW& pub = scratch->pub;
  RenderPrivate& d = scratch->priv;
  const StoredPrivate s = PrivateOf(in);

  // 1. public part
  pub = in.PublicPart();
  pub.dmSpecVersion = DM_SPECVERSION;
  pub.dmDriverVersion = kRenderDriverVersion;
  pub.dmSize = kPublicSize;
  pub.dmDriverExtra = kRenderPrivateSize;
  if (pub.dmPrintQuality != 600 && pub.dmPrintQuality != 1200) pub.dmPrintQuality = 600;
  pub.dmDeviceName[CCHDEVICENAME - 1] = 0;
  pub.dmFormName[CCHFORMNAME - 1] = 0;

  // 2. label text and trailer
  std::memcpy(d.labelText, s.FavoriteName, sizeof d.labelText);
  d.trailer = kPrivSignature;

  // 3. layout
  if (s.MultipleUp == 22) {
    d.LayoutMode = kLayoutPoster;
    d.PagesPerSheet = 1;
    d.NupOrder = LOBYTE(s.PageOrder);
  } else {
    d.LayoutMode = kLayoutNormal;
    d.PagesPerSheet = LOBYTE(s.MultipleUp);
    int order = LOBYTE(s.PageOrder);
    if (d.PagesPerSheet == 2) {
      order += 1;
    } else if (d.PagesPerSheet == 4 || d.PagesPerSheet == 8 || d.PagesPerSheet == 16) {
      order -= 2;
    }
    d.NupOrder = static_cast<uint8_t>(order);
  }
  d.NupBorder = LOBYTE(s.PageBorder);

  // 4, 5. page order and two-sided printing
  d.ReverseOrder = LOBYTE(s.reverseOrder);
  if (pub.dmDuplex == DMDUP_VERTICAL) {
    d.TwoSided = 1;
    d.FlipShortEdge = 0;
  } else if (pub.dmDuplex == DMDUP_HORIZONTAL) {
    d.TwoSided = 1;
    d.FlipShortEdge = 1;
  }
  if (!TwoSidedPaper(pub.dmPaperSize)) {
    d.TwoSided = 0;
    d.FlipShortEdge = 0;
  }

  // 6, 7
  d.Rotate180 = LOBYTE(s.Rotate180);
  d.DensityLevel = static_cast<uint8_t>(2 * LOBYTE(s.Thickness));
  d.RenderModel = pub.dmPrintQuality == 600 ? 1 : 2;
  d.VectorGraphics = 1;
  d.interfaceFlagA = LOBYTE(s.interfaceFlagA);
  d.interfaceFlagB = LOBYTE(s.interfaceFlagB);

  // 8. paper block
  d.requestedPaperSize = static_cast<uint16_t>(pub.dmPaperSize);
  d.requestedMediaType = static_cast<uint16_t>(pub.dmMediaType);
  d.feedShortEdge = s.FeedOrient != 2 ? 1 : 0;
  d.ScalePercent = s.zoomPercent;
  d.keepAspect = 1;
  d.ScaleMode = d.ScalePercent != 100 ? 1 : 0;
  d.mediaByte = static_cast<uint8_t>(pub.dmMediaType & 0xFF);
  d.TrayIndex = TrayIndexFor(pub.dmDefaultSource, pub.dmPaperSize);
  d.paperSize = pub.dmPaperSize;
  d.paperLength = pub.dmPaperLength;
  d.paperWidth = pub.dmPaperWidth;
  for (auto& sp : d.specialPages) sp.kind = 3;

  // 9, 10
  FillDecoration(d.decoration, s);
  d.AutoDuplexUnit = 1;
  d.reserved8330 = 0;
  return 1;
}

int Devmod2_MergeFieldsHigh(RenderSettings* settings, const DEVMODEW* scratch) {
  if (scratch == nullptr) return 1;
  if (settings == nullptr) return 0;
  DEVMODEW& r = settings->pub;
  // Only the public bytes the scratch record holds take part.
  const CallerDevmode view(scratch);
  const DEVMODEW d = view.PublicPart();
  if (d.dmDeviceName[0] == 0 || CheckDevmodeVersion(&d) == 0 || CheckDevmodeVersion(&r) == 0) return 0;

  const DEVMODEW& versionSource = r.dmDriverVersion != 0 ? r : d;
  const WORD spec = versionSource.dmSpecVersion, drv = versionSource.dmDriverVersion;
  const WORD size = versionSource.dmSize, extra = versionSource.dmDriverExtra;

  const DWORD both = r.dmFields & d.dmFields;
  if (both & DM_ORIENTATION) r.dmOrientation = (d.dmOrientation == 1 || d.dmOrientation == 2) ? d.dmOrientation : 1;
  if (both & DM_COPIES) r.dmCopies = (d.dmCopies >= 1 && d.dmCopies <= 999) ? d.dmCopies : 1;
  if (both & (DM_PRINTQUALITY | DM_YRESOLUTION)) {
    r.dmPrintQuality = (d.dmPrintQuality == 300 || d.dmPrintQuality == 600) ? d.dmPrintQuality : 600;
    r.dmYResolution = d.dmPrintQuality == 300 ? 300 : 600;
  }
  if (both & DM_PAPERSIZE) {
    if (d.dmPaperSize >= kFirstCustomPaper && d.dmPaperWidth > 0 && d.dmPaperLength > 0) {
      r.dmPaperSize = d.dmPaperSize;
      r.dmPaperWidth = d.dmPaperWidth;
      r.dmPaperLength = d.dmPaperLength;
    } else if (const PageGeometry* g = PortraitGeometry(d.dmPaperSize)) {
      r.dmPaperSize = d.dmPaperSize;
      r.dmPaperWidth = d.dmPaperWidth > 0 ? d.dmPaperWidth : static_cast<SHORT>(PixelsToTenthMm(g->width));
      r.dmPaperLength = d.dmPaperLength > 0 ? d.dmPaperLength : static_cast<SHORT>(PixelsToTenthMm(g->height));
    } else {
      SetLocaleDefaultPaper(r, 600);
    }
  }
  if (both & DM_MEDIATYPE) {
    bool ok = std::find(std::begin(kMergeableMedia), std::end(kMergeableMedia), d.dmMediaType) != std::end(kMergeableMedia);
    r.dmMediaType = ok ? d.dmMediaType : DMMEDIA_STANDARD;
  }
  if (both & DM_DEFAULTSOURCE) r.dmDefaultSource = d.dmDefaultSource;
  if (both & DM_SCALE) {
    if (d.dmScale >= 10 && d.dmScale <= 400) {
      r.dmScale = d.dmScale;
    } else {
      DebugTrace("File:%s\nLine:%d\n", "render_devmode.cpp", __LINE__);
    }
  }
  if ((both & DM_COLLATE) && (d.dmCollate == 0 || d.dmCollate == 1)) r.dmCollate = d.dmCollate;
  if ((both & DM_COLOR) && (d.dmColor == 1 || d.dmColor == 2)) r.dmColor = d.dmColor;
  if (both & DM_ICMMETHOD) r.dmICMMethod = d.dmICMMethod;
  if (both & DM_ICMINTENT) r.dmICMIntent = d.dmICMIntent;

  if (view.dmSize() == kPublicSize && view.dmDriverExtra() == kRenderPrivateSize && CarriesRenderPrivate(scratch)) {
    const RenderPrivate& s = reinterpret_cast<const RenderSettings*>(scratch)->priv;
    RenderPrivate& p = settings->priv;
    if (ValidPagesPerSheet(s.PagesPerSheet) && s.NupBorder <= 1 && s.NupOrder < 4) {
      p.NupBorder = s.NupBorder;
      p.PagesPerSheet = s.PagesPerSheet;
      p.NupOrder = s.NupOrder;
    } else {
      p.NupBorder = 0;
      p.PagesPerSheet = 1;
      p.NupOrder = 0;
    }
    if (s.ScalePercent >= 25 && s.ScalePercent <= 400) {
      p.ScalePercent = s.ScalePercent;
      p.outputPaperSize = s.outputPaperSize;
      p.ScaleMode = s.ScaleMode;
      p.keepAspect = s.keepAspect;
      std::memcpy(p.scaleValues, s.scaleValues, sizeof p.scaleValues);
    } else {
      p.ScalePercent = 100;
      p.ScaleMode = 1;
    }
    if (LabelTerminated(s)) std::memcpy(p.labelText, s.labelText, sizeof p.labelText);
    if (PageHandlingValid(s)) {
      std::memcpy(&p.ReverseOrder, &s.ReverseOrder, offsetof(RenderPrivate, LayoutMode) - offsetof(RenderPrivate, ReverseOrder));
    }
    if (LayoutValid(s)) {
      std::memcpy(&p.LayoutMode, &s.LayoutMode, offsetof(RenderPrivate, RenderModel) - offsetof(RenderPrivate, LayoutMode));
    }
    if (RenderModelValid(s)) {
      std::memcpy(&p.RenderModel, &s.RenderModel, offsetof(RenderPrivate, margins) - offsetof(RenderPrivate, RenderModel));
    }
    if (PaperIdentityValid(s)) {
      std::memcpy(&p.margins, &s.margins, offsetof(RenderPrivate, ScalePercent) - offsetof(RenderPrivate, margins));
    }
    if (PaperBlockValid(s)) {
      std::memcpy(&p.reserved860, &s.reserved860, offsetof(RenderPrivate, decoration) - offsetof(RenderPrivate, reserved860));
    }
    if (DecorationValid(s)) p.decoration = s.decoration;
    if (TailValid(s)) {
      std::memcpy(&p.textSlots, &s.textSlots, offsetof(RenderPrivate, labelText) - offsetof(RenderPrivate, textSlots));
    }
    p.trailer = kPrivSignature;
  }

  r.dmSpecVersion = spec;
  r.dmDriverVersion = drv;
  r.dmSize = size;
  r.dmDriverExtra = extra;
  return 1;
}

bool RenderSettingsValid(const RenderSettings& rs) {
  const DEVMODEW& d = rs.pub;
  const RenderPrivate& p = rs.priv;
  bool paperOk = d.dmPaperSize >= kFirstCustomPaper ? (d.dmPaperWidth > 0 && d.dmPaperLength > 0)
                                                    : PortraitGeometry(d.dmPaperSize) != nullptr;
  bool mediaOk = d.dmMediaType == 0 ||
                 std::find(std::begin(kMergeableMedia), std::end(kMergeableMedia), d.dmMediaType) != std::end(kMergeableMedia);
  return d.dmSpecVersion == DM_SPECVERSION && d.dmDriverVersion == kRenderDriverVersion && d.dmSize == kPublicSize &&
         d.dmDriverExtra == kRenderPrivateSize && p.trailer == kPrivSignature &&
         platform::WideFieldTerminated(d.dmDeviceName, CCHDEVICENAME) &&
         (d.dmOrientation == 1 || d.dmOrientation == 2) && d.dmCopies >= 1 && d.dmCopies <= 999 &&
         d.dmPrintQuality == 600 && d.dmYResolution == 600 && paperOk && mediaOk && d.dmScale >= 10 &&
         d.dmScale <= 400 && (d.dmCollate == 0 || d.dmCollate == 1) && (d.dmColor == 1 || d.dmColor == 2) &&
         ValidPagesPerSheet(p.PagesPerSheet) && p.NupBorder <= 1 && p.NupOrder < 4 && p.ScalePercent >= 25 &&
         p.ScalePercent <= 400 && LabelTerminated(p) && PageHandlingValid(p) && LayoutValid(p) &&
         RenderModelValid(p) && PaperIdentityValid(p) && PaperBlockValid(p) && DecorationValid(p) && TailValid(p);
}

}  // namespace devmode
