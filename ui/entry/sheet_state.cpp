#include "entry/sheet_state.h"

#include <cstring>
#include <mutex>
#include <new>
#include <string_view>
#include <vector>

#include "devmode/caller_merge.h"
#include "devmode/trace.h"
#include "entry/language.h"
#include "entry/working_devmode.h"
#include "platform/utf16.h"
#include "win/error.h"
#include "win/modules.h"
#include "win/spooler.h"

namespace ui {

// Declared here as well as beside its definition, so this file does not depend on which header
// carries it.
bool IsHostProcess(std::u16string_view name);

namespace {

using devmode::StoredPrivate;

#define FIELD(name) {#name, sizeof(StoredPrivate::name), offsetof(StoredPrivate, name)}
constexpr PrivateField kDirectory[] = {
    FIELD(ColorMode),        FIELD(Duplex),          FIELD(DuplexIndex),         FIELD(OutputSize),
    FIELD(ScaleFlag),        FIELD(ScaleRadio),      FIELD(MultipleUp),          FIELD(PageOrder),
    FIELD(PageBorder),       FIELD(MixedOrient),     FIELD(PosterPrint),         FIELD(PosterType),
    FIELD(CropMarks),        FIELD(SourceTray),      FIELD(Rotate),              FIELD(FeedOrient),
    FIELD(ManualDuplex),     FIELD(Mismatch),        FIELD(BookletPrint),        FIELD(BookletBinding),
    FIELD(BookletSubsets),   FIELD(BookletSheets),   FIELD(BookletGutter),       FIELD(BookletAutoFit),
    FIELD(BoookletMargins),  FIELD(ImageShift),      FIELD(MarginsAutoFit),      FIELD(Side),
    FIELD(Side2),            FIELD(PrintPosition),   FIELD(AdjustPrintPosition), FIELD(LeftRight),
    FIELD(UpDown),           FIELD(FavoriteName),    FIELD(FavoriteIndex),       FIELD(ImageAdjustMode),
    FIELD(ImageType),        FIELD(ApplyElements),   FIELD(DocumentElement),     FIELD(Brightness),
    FIELD(Constrast),        FIELD(Saturation),      FIELD(AdjustBalance),       FIELD(TargetColor),
    FIELD(Highlights),       FIELD(Midtones),        FIELD(Shadows),             FIELD(Profile),
    FIELD(ColorTemperature), FIELD(GammaCorrection), FIELD(ImageInputIndex),     FIELD(Monitor),
    FIELD(InputImage),       FIELD(ScreenType),      FIELD(TonerSavingMode),     FIELD(Rotate180),
    FIELD(Mirror),           FIELD(Thickness),       FIELD(Negative),            FIELD(FirstPageOnly),
    FIELD(WatermarkData),    FIELD(OverlayFlag),     FIELD(OverlayFileName),     FIELD(HeaderFontName),
    FIELD(HeaderFontSize),   FIELD(HeaderBold),      FIELD(HeaderItalic),        FIELD(HeaderColor),
    FIELD(HeaderColorIndex), FIELD(PrintItems),      FIELD(CustomPaperSize),
};
#undef FIELD

constexpr UINT kDefaultFavoriteNameId = 202;
constexpr size_t kFavoriteNameChars = 256;
constexpr DWORD kPrinterInfoLevel = 2;

std::mutex gInitialLock;
bool gHaveInitial = false;
devmode::StoredDevmode gInitial;

// GetPrinterW into a buffer of the size it asks for; empty on failure with the last error kept.
std::vector<BYTE> ReadPrinterInfo(HANDLE printer, DWORD level) {
  DWORD needed = 0;
  GetPrinterW(printer, level, nullptr, 0, &needed);
  if (needed == 0) return {};
  std::vector<BYTE> buffer(needed);
  if (!GetPrinterW(printer, level, buffer.data(), needed, &needed)) return {};
  return buffer;
}

void ClearCustomPapers(devmode::StoredDevmode* d) { std::memset(d->priv.CustomPaperSize, 0, sizeof d->priv.CustomPaperSize); }

const PrivateField* FindField(const char* name, size_t compared) {
  for (const auto& f : kDirectory) {
    if (std::strncmp(f.name, name, compared) == 0) return &f;
  }
  return nullptr;
}

}  // namespace

static_assert(std::size(kDirectory) == 71);

std::span<const PrivateField> PrivateFieldDirectory() { return kDirectory; }

SheetState* CreateSheetState(HANDLE printer, const DEVMODEW* caller) {
  std::unique_ptr<SheetState> s(new (std::nothrow) SheetState);
  if (!s) return nullptr;
  s->devmode.reset(new (std::nothrow) devmode::StoredDevmode);
  if (!s->devmode) return nullptr;
  s->printer = printer;

  std::vector<BYTE> info2 = ReadPrinterInfo(printer, kPrinterInfoLevel);
  if (info2.size() < sizeof(PRINTER_INFO_2W)) {
    devmode::DebugTrace("Registry_GetHL fail, level:%d, error code is %d\n", static_cast<int>(kPrinterInfoLevel),
                        static_cast<int>(GetLastError()));
    return nullptr;
  }
  const auto* pi2 = reinterpret_cast<const PRINTER_INFO_2W*>(info2.data());
  std::u16string_view name = pi2->pPrinterName ? std::u16string_view(pi2->pPrinterName) : std::u16string_view();
  if (name.size() >= kSheetPrinterNameChars) return nullptr;
  platform::CopyWideField(s->printerName, kSheetPrinterNameChars, name);

  devmode::StoredDevmode& w = *s->devmode;
  devmode::InitStoredPublic(&w.pub, s->printerName);
  if (w.pub.dmDriverExtra == devmode::kStoredPrivateSize) devmode::InitStoredPrivate(&w.priv, u"");
  ClearCustomPapers(&w);
  {
    std::lock_guard g(gInitialLock);
    gInitial = w;
    gHaveInitial = true;
  }

  LanguageModuleLoad load = LoadLanguageModule();
  if (load.module == nullptr) return nullptr;
  s->languageModule = load.module;

  // Only level 2 may be served; its attributes are the same printer's then.
  std::vector<BYTE> info4 = ReadPrinterInfo(printer, 4);
  DWORD attributes = info4.size() >= sizeof(PRINTER_INFO_4W) ? reinterpret_cast<const PRINTER_INFO_4W*>(info4.data())->Attributes
                                                              : pi2->Attributes;
  s->networkPrinter = (attributes & PRINTER_ATTRIBUTE_NETWORK) != 0 ? 1 : 0;

  WCHAR favorite[kFavoriteNameChars] = {};
  LoadStringW(s->languageModule, kDefaultFavoriteNameId, favorite, kFavoriteNameChars);
  MergeContext store;
  devmode::CallerMergeContext context = store.get();
  context.defaultFavoriteName = platform::WideField(favorite, kFavoriteNameChars);
  if (pi2->pDevMode != nullptr && !IsHostProcess(u"printfilterpipelinesvc.exe"))
    devmode::MergeCallerDevmode(&w, pi2->pDevMode, context);
  if (caller != nullptr) devmode::MergeCallerDevmode(&w, caller, context);

  if (w.priv.FavoriteName[0] == 0) LoadStringW(s->languageModule, kDefaultFavoriteNameId, w.priv.FavoriteName, kFavoriteNameChars);
  ClearCustomPapers(&w);
  return s.release();
}

void DestroySheetState(SheetState* state) {
  if (state == nullptr) return;
  if (state->languageModule != nullptr) FreeLibrary(state->languageModule);
  delete state;
}

bool InitialSheetSettings(devmode::StoredDevmode* out) {
  std::lock_guard g(gInitialLock);
  if (!gHaveInitial || out == nullptr) return false;
  *out = gInitial;
  return true;
}

HRESULT GetPrivateField(SheetState* state, const char* name, void* out, uint32_t size) {
  if (state == nullptr) return E_PENDING;
  if (!state->devmode) return E_FAIL;
  if (name == nullptr || out == nullptr) return E_INVALIDARG;
  const size_t length = std::strlen(name);
  const PrivateField* f = FindField(name, length + 1);
  if (f == nullptr) return E_INVALIDARG;
  if (f->size != size) return kWrongFieldSize;
  std::memcpy(out, reinterpret_cast<const BYTE*>(&state->devmode->priv) + f->offset, size);
  return S_OK;
}

HRESULT SetPrivateField(SheetState* state, const char* name, const void* in, uint32_t size) {
  if (state == nullptr || !state->devmode) return E_FAIL;
  if (name == nullptr || in == nullptr) return E_INVALIDARG;
  const PrivateField* f = FindField(name, 20);
  if (f == nullptr) return E_INVALIDARG;
  if (f->size != size) return kWrongFieldSize;
  std::memcpy(reinterpret_cast<BYTE*>(&state->devmode->priv) + f->offset, in, size);
  return S_OK;
}

namespace {

// The SHORT public field a flag selects, or null.
SHORT* ShortField(DEVMODEW& pub, DWORD field) {
  switch (field) {
    case DM_ORIENTATION: return &pub.dmOrientation;
    case DM_PAPERSIZE: return &pub.dmPaperSize;
    case DM_PAPERLENGTH: return &pub.dmPaperLength;
    case DM_PAPERWIDTH: return &pub.dmPaperWidth;
    case DM_SCALE: return &pub.dmScale;
    case DM_COPIES: return &pub.dmCopies;
    case DM_DEFAULTSOURCE: return &pub.dmDefaultSource;
    case DM_PRINTQUALITY: return &pub.dmPrintQuality;
    case DM_COLOR: return &pub.dmColor;
    case DM_DUPLEX: return &pub.dmDuplex;
    case DM_YRESOLUTION: return &pub.dmYResolution;
    case DM_TTOPTION: return &pub.dmTTOption;
    case DM_COLLATE: return &pub.dmCollate;
    default: return nullptr;
  }
}

}  // namespace

HRESULT GetPublicField(SheetState* state, DWORD field, LONG* value) {
  if (state == nullptr) return E_PENDING;
  if (!state->devmode) return E_FAIL;
  if (value == nullptr) return E_INVALIDARG;
  devmode::StoredDevmode& d = *state->devmode;
  DEVMODEW& pub = d.pub;
  switch (field) {
    case DM_SCALE: *value = 100; return S_OK;
    case DM_MEDIATYPE:
      if (pub.dmMediaType == 0 || pub.dmMediaType > 264) pub.dmMediaType = 1;
      *value = static_cast<LONG>(pub.dmMediaType);
      return S_OK;
    case kReverseOrderField: {
      auto order = static_cast<int16_t>(d.priv.reverseOrder);
      if (order < 0) d.priv.reverseOrder = 0;
      *value = static_cast<int16_t>(d.priv.reverseOrder);
      return S_OK;
    }
    default: break;
  }
  SHORT* f = ShortField(pub, field);
  if (f == nullptr) return E_INVALIDARG;
  if (field == DM_ORIENTATION && (*f < 0 || *f > 2)) *f = 1;
  if (field == DM_COPIES && (*f < 1 || *f > 999)) *f = 1;
  if (field == DM_COLLATE && *f < 0) *f = 0;
  *value = *f;
  return S_OK;
}

HRESULT SetPublicField(SheetState* state, DWORD field, LONG value) {
  if (state == nullptr) return E_PENDING;
  if (!state->devmode) return E_FAIL;
  devmode::StoredDevmode& d = *state->devmode;
  if (field == DM_MEDIATYPE) {
    d.pub.dmMediaType = static_cast<DWORD>(value);
    return S_OK;
  }
  if (field == kReverseOrderField) {
    d.priv.reverseOrder = static_cast<uint16_t>(value);
    return S_OK;
  }
  SHORT* f = ShortField(d.pub, field);
  if (f == nullptr) return E_INVALIDARG;
  *f = static_cast<SHORT>(value);
  if (field == DM_SCALE) d.priv.zoomPercent = static_cast<uint16_t>(value);
  return S_OK;
}

}  // namespace ui
