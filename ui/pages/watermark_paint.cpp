#include "pages/watermark_paint.h"

#include <algorithm>

#include "platform/utf16.h"
#include "preview/watermark_preview.h"
#include "win/wingdi.h"

namespace ui::pages {

namespace {

int AddFamily(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM lParam) {
  auto* families = reinterpret_cast<std::vector<std::u16string>*>(lParam);
  std::u16string face(platform::WideField(font->lfFaceName, LF_FACESIZE));
  if (!face.empty() && face[0] != u'@' && std::find(families->begin(), families->end(), face) == families->end())
    families->push_back(face);
  return 1;
}

}  // namespace

void PaintWatermarkItem(LPARAM drawItem, const devmode::WatermarkRecord& record) {
  const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(drawItem);
  if (item != nullptr) preview::PaintWatermarkPreview(*item, record);
}

std::vector<std::u16string> InstalledFontFamilies() {
  std::vector<std::u16string> families;
  HDC dc = CreateCompatibleDC(nullptr);
  if (dc == nullptr) return families;
  LOGFONTW query{};
  query.lfCharSet = DEFAULT_CHARSET;
  EnumFontFamiliesExW(dc, &query, &AddFamily, reinterpret_cast<LPARAM>(&families), 0);
  DeleteDC(dc);
  std::sort(families.begin(), families.end());
  return families;
}

}  // namespace ui::pages
