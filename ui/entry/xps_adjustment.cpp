#include "entry/xps_adjustment.h"

#include <cstring>
#include <string_view>

#include "devmode/caller_devmode.h"
#include "devmode/caller_merge.h"
#include "devmode/locale_paper.h"
#include "devmode/paper_tables.h"
#include "store/settings_store.h"
#include "win/error.h"

namespace ui {
namespace {

constexpr int32_t kImageableMarginMicrometres = 4000;

bool NameIs(const WCHAR* name, std::u16string_view expected) {
  return name != nullptr && std::u16string_view(name) == expected;
}

// Portrait page in 1/600 inch for the devmode's paper; custom papers come from the user's store
// only when the devmode carries our private block.
devmode::PageGeometry PageOf(const DEVMODEW* dm) {
  const devmode::CallerDevmode in(dm);
  const DEVMODEW pub = in.PublicPart();
  const bool ownPrivate = in.Private(sizeof(devmode::StoredPrivate)) != nullptr;
  const int paper = pub.dmPaperSize;
  const bool custom = paper >= devmode::kFirstCustomPaperId && paper <= devmode::kLastMergeableCustomPaperId;
  devmode::PageGeometry g{};
  if (custom && ownPrivate) {
    auto lookup = [](int id, devmode::CustomPaperRecord* out) {
      CustomPaperStore store;
      if (store.EnsureSettingsSkeleton() != 1) return false;
      for (const devmode::CustomPaperRecord& r : store.Records()) {
        if (static_cast<int>(r.paperId) == id) {
          *out = r;
          return true;
        }
      }
      return false;
    };
    if (devmode::LookupPaperSize(paper, true, lookup, &g)) return g;
  } else if (!custom && devmode::LookupPaperSize(paper, false, {}, &g)) {
    return g;
  }
  return devmode::UsesMetricPaper() ? devmode::PageGeometry{4960, 7015, 0, 0, 0, 0}
                                    : devmode::PageGeometry{5100, 6600, 0, 0, 0, 0};
}

int32_t Micrometres(int dots) { return static_cast<int32_t>(dots * 254.0 / 600.0 + 0.5) * 100; }

}  // namespace

HRESULT AdjustXpsProperties(const DEVMODEW* dm, PrintPropertiesCollection* properties) {
  if (properties == nullptr || properties->numberOfProperties == 0 || properties->propertiesCollection == nullptr)
    return E_NOTIMPL;
  HRESULT result = E_NOTIMPL;
  for (ULONG i = 0; i < properties->numberOfProperties; ++i) {
    PrintNamedProperty& p = properties->propertiesCollection[i];
    PrintPropertyValue& v = p.propertyValue;
    if (NameIs(p.propertyName, u"MxdcImageableArea")) {
      if (v.ePropertyType != kPropertyTypeBuffer || v.value.propertyBlob.cbBuf != 16 ||
          v.value.propertyBlob.pBuf == nullptr || dm == nullptr)
        return result;
      const devmode::PageGeometry g = PageOf(dm);
      const int32_t area[4] = {kImageableMarginMicrometres, kImageableMarginMicrometres,
                               Micrometres(g.width) - kImageableMarginMicrometres,
                               Micrometres(g.height) - kImageableMarginMicrometres};
      std::memcpy(v.value.propertyBlob.pBuf, area, sizeof area);
      result = S_OK;
    } else if (NameIs(p.propertyName, u"MxdcImageCompressionType")) {
      if (v.ePropertyType != kPropertyTypeInt32) return result;
      v.value.propertyInt32 = 0;
      result = S_OK;
    } else if (NameIs(p.propertyName, u"MxdcDotsPerInch")) {
      if (v.ePropertyType != kPropertyTypeInt32) return result;
      const DEVMODEW pub = dm != nullptr ? devmode::CallerDevmode(dm).PublicPart() : DEVMODEW{};
      if (dm != nullptr && pub.dmPrintQuality <= 0) {
        v.value.propertyInt32 = 600;
        result = S_OK;
      }
    }
  }
  return result;
}

}  // namespace ui
