// The capability table: fixed answers, the paper and bin lists, and the names behind them.
#include "entry/device_capabilities.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "devmode/trace.h"
#include "entry/host_process.h"
#include "entry/language.h"
#include "entry/working_devmode.h"
#include "platform/utf16.h"
#include "store/settings_store.h"
#include "win/modules.h"
#include "win/printer_ui.h"

namespace ui {
namespace {

// The interface library's own list, in the order applications see it.
constexpr StandardPaper kPapers[kStandardPaperCount] = {
    {1, 5100, 6600, 108},    {9, 4960, 7015, 116},    {5, 5100, 8400, 110},     {13, 4299, 6071, 118},
    {37, 2325, 4500, 123},   {27, 2598, 5197, 120},   {28, 3827, 5409, 121},    {20, 2475, 5700, 122},
    {11, 3496, 4960, 119},   {43, 2362, 3496, 4063},  {250, 4606, 6378, 4064},  {245, 4370, 6141, 4065},
    {252, 3189, 4606, 4067}, {246, 3071, 4370, 4068}, {70, 2480, 3496, 340},    {34, 4157, 5906, 4069},
    {7, 4350, 6300, 111},    {14, 5100, 7800, 109},   {243, 5102, 8102, 4070},  {6, 3300, 5100, 411},
    {31, 2693, 3827, 4072},  {242, 2834, 5433, 4073}, {241, 2953, 4157, 4074},  {240, 4960, 28346, 270},
    {276, 2480, 5551, 6001}, {277, 3496, 4724, 6002}, {278, 2834, 5551, 6003},  {279, 2834, 5551, 6004},
    {280, 2692, 3826, 6005}};

struct Bin {
  WORD bin;
  UINT nameId;
};
constexpr Bin kBins[] = {{DMBIN_AUTO, 4017}, {DMBIN_UPPER, 4019}, {DMBIN_MANUAL, 4018}};

constexpr LONG kResolutions[][2] = {{600, 600}, {1200, 600}};

// Smallest and largest paper, 0.1 mm, portrait.
constexpr DWORD kMinExtent[2] = {762, 1270};
constexpr DWORD kMaxExtent[2] = {2159, 3556};

constexpr DWORD kMaxCopies = 999;
constexpr DWORD kOrientationAngle = 90;

LONG TenthMm(int v) { return static_cast<LONG>(v * 254.0 / 600.0 + 0.5); }

DWORD PackExtent(const DWORD (&extent)[2], bool portrait) {
  DWORD x = portrait ? extent[0] : extent[1], y = portrait ? extent[1] : extent[0];
  return (y << 16) | (x & 0xFFFF);
}

std::vector<devmode::CustomPaperRecord> CustomPapers() {
  auto records = CustomPaperStore().Records();
  if (records.size() > kMaxCustomPapers) records.resize(kMaxCustomPapers);
  return records;
}

// Copies `text`, cut to capacity - 1 characters, into a zero-filled slot.
void FillSlot(WCHAR* slot, size_t capacity, std::u16string_view text) {
  std::memset(slot, 0, capacity * sizeof(WCHAR));
  std::memcpy(slot, text.data(), std::min(text.size(), capacity - 1) * sizeof(WCHAR));
}

std::u16string ResourceName(HMODULE module, UINT id, int bufferChars) {
  std::vector<WCHAR> buffer(static_cast<size_t>(bufferChars));
  int length = LoadResourceString(module, id, buffer.data(), bufferChars);
  return std::u16string(buffer.data(), static_cast<size_t>(std::max(length, 0)));
}

// The standard papers' names into consecutive 64-character slots.
void StandardPaperNames(HMODULE module, WCHAR* slots, int bufferChars) {
  for (int i = 0; i < kStandardPaperCount; ++i) {
    FillSlot(slots + i * kPaperNameChars, kPaperNameChars, ResourceName(module, kPapers[i].nameId, bufferChars));
  }
}

class LanguageModule {
 public:
  LanguageModule() : module_(LoadLanguageModule().module) {}
  ~LanguageModule() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  LanguageModule(const LanguageModule&) = delete;
  LanguageModule& operator=(const LanguageModule&) = delete;
  HMODULE get() const { return module_; }

 private:
  HMODULE module_;
};

DWORD Answer(WORD index, void* output, const devmode::StoredDevmode& working) {
  const DEVMODEW& pub = working.pub;
  switch (index) {
    case DC_FIELDS: return pub.dmFields;
    case DC_SIZE: return pub.dmSize;
    case DC_EXTRA: return pub.dmDriverExtra;
    case DC_VERSION: return pub.dmSpecVersion;
    case DC_DRIVER: return pub.dmDriverVersion;
    case DC_DUPLEX: return 1;
    case DC_ORIENTATION: return kOrientationAngle;
    case DC_COPIES: return kMaxCopies;
    case DC_COLLATE: return 1;
    case DC_BINADJUST:
    case DC_STAPLE:
    case DC_PRINTRATEPPM: return 0;
    case DC_TRUETYPE: return (pub.dmFields & DM_TTOPTION) ? DCTT_DOWNLOAD | DCTT_SUBDEV : 0;
    case DC_COLORDEVICE: return IsHostProcess(u"MSPUB.EXE") ? 1 : 0;
    case DC_MINEXTENT: return PackExtent(kMinExtent, pub.dmOrientation == DMORIENT_PORTRAIT);
    case DC_MAXEXTENT: return PackExtent(kMaxExtent, pub.dmOrientation == DMORIENT_PORTRAIT);
    case DC_FILEDEPENDENCIES:
      if (output != nullptr) *static_cast<WCHAR*>(output) = 0;
      return 0;
    case DC_BINS:
      if (output != nullptr) {
        auto* out = static_cast<WORD*>(output);
        for (size_t i = 0; i < std::size(kBins); ++i) out[i] = kBins[i].bin;
      }
      return std::size(kBins);
    case DC_ENUMRESOLUTIONS:
      if (output != nullptr) std::memcpy(output, kResolutions, sizeof kResolutions);
      return std::size(kResolutions);
    case DC_PAPERS: {
      auto custom = CustomPapers();
      if (output != nullptr) {
        WORD ids[kStandardPaperCount + kMaxCustomPapers];
        size_t n = 0;
        for (const auto& p : kPapers) ids[n++] = p.paper;
        for (const auto& c : custom) ids[n++] = static_cast<WORD>(c.paperId);
        std::memcpy(output, ids, n * sizeof(WORD));
      }
      return kStandardPaperCount + static_cast<DWORD>(custom.size());
    }
    case DC_PAPERSIZE: {
      auto custom = CustomPapers();
      if (output != nullptr) {
        POINT sizes[kStandardPaperCount + kMaxCustomPapers] = {};
        const bool portrait = pub.dmOrientation == DMORIENT_PORTRAIT;
        const bool landscape = pub.dmOrientation == DMORIENT_LANDSCAPE;
        size_t n = 0;
        for (const auto& p : kPapers) {
          // Landscape reads the table's swapped pair, so both give (width, height).
          if (portrait || landscape) sizes[n] = {TenthMm(p.width), TenthMm(p.height)};
          ++n;
        }
        for (const auto& c : custom) {
          sizes[n++] = portrait ? POINT{TenthMm(c.width), TenthMm(c.height)} : POINT{TenthMm(c.height), TenthMm(c.width)};
        }
        std::memcpy(output, sizes, n * sizeof(POINT));
      }
      return kStandardPaperCount + static_cast<DWORD>(custom.size());
    }
    default: return GDI_ERROR;
  }
}

}  // namespace

std::span<const StandardPaper> StandardPapers() { return kPapers; }

std::u16string CustomPaperDisplayName(std::u16string_view name, int position, int width, int height) {
  const int w = TenthMm(width) / 10, h = TenthMm(height) / 10;
  char suffix[48];
  std::snprintf(suffix, sizeof suffix, " (%d x %dmm)", w, h);
  std::u16string text = std::u16string(name) + platform::Widen(suffix);
  if (text.size() >= kPaperNameChars) {
    std::snprintf(suffix, sizeof suffix, "Custom %d (%d x %dmm)", position, w, h);
    text = platform::Widen(suffix);
  }
  return text;
}

DWORD DeviceCapabilities(HANDLE, const WCHAR* deviceName, WORD index, void* output, const DEVMODEW* devmode) {
  WorkingDevmode working = BuildWorkingDevmode(deviceName, devmode);
  if (!working.devmode) {
    devmode::DebugTrace("DrvDeviceCapabilities: no working devmode\n");
    return GDI_ERROR;
  }
  const bool named = index == DC_BINNAMES || index == DC_PAPERNAMES || index == DC_MEDIAREADY;
  if (!named) return Answer(index, output, *working.devmode);
  if (index == DC_PAPERNAMES) {
    // The count alone still reads the store, so it always agrees with DC_PAPERS.
    if (output == nullptr) return kStandardPaperCount + static_cast<DWORD>(CustomPapers().size());
  }
  if (output == nullptr) return index == DC_BINNAMES ? std::size(kBins) : kStandardPaperCount;

  LanguageModule module;
  if (module.get() == nullptr) return 0;
  switch (index) {
    case DC_BINNAMES: {
      WCHAR slots[std::size(kBins)][kBinNameChars];
      for (size_t i = 0; i < std::size(kBins); ++i) {
        FillSlot(slots[i], kBinNameChars, ResourceName(module.get(), kBins[i].nameId, 1024));
      }
      std::memcpy(output, slots, sizeof slots);
      return std::size(kBins);
    }
    case DC_MEDIAREADY: {
      WCHAR slots[kStandardPaperCount][kPaperNameChars];
      StandardPaperNames(module.get(), &slots[0][0], 1024);
      std::memcpy(output, slots, sizeof slots);
      return kStandardPaperCount;
    }
    default: {
      if (!CustomPaperStore().EnsureSettingsSkeleton()) {
        devmode::DebugTrace("DrvDeviceCapabilities: settings file not ready; standard papers only\n");
      }
      auto custom = CustomPapers();
      WCHAR slots[kStandardPaperCount + kMaxCustomPapers][kPaperNameChars];
      StandardPaperNames(module.get(), &slots[0][0], 512);
      for (size_t i = 0; i < custom.size(); ++i) {
        const auto& c = custom[i];
        std::u16string text = CustomPaperDisplayName(platform::WideField(c.name, std::size(c.name)),
                                                     static_cast<int>(i), c.width, c.height);
        FillSlot(slots[kStandardPaperCount + i], kPaperNameChars, text);
      }
      const size_t n = kStandardPaperCount + custom.size();
      std::memcpy(output, slots, n * sizeof slots[0]);
      return static_cast<DWORD>(n);
    }
  }
}

}  // namespace ui
