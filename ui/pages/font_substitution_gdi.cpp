#include "pages/font_substitution_gdi.h"

#include "platform/utf16.h"
#include "win/wingdi.h"

namespace ui::fonts {

namespace {

int CollectFamily(const LOGFONTW* logFont, const TEXTMETRICW*, DWORD fontType, LPARAM lParam) {
  auto* families = reinterpret_cast<std::vector<FontFamily>*>(lParam);
  FontFamily family;
  family.name = std::u16string(platform::WideField(logFont->lfFaceName, LF_FACESIZE));
  family.trueType = (fontType & TRUETYPE_FONTTYPE) != 0;
  family.charSet = logFont->lfCharSet;
  for (const auto& known : *families) {
    if (known.name == family.name) return 1;  // once per family, whatever its character sets
  }
  families->push_back(std::move(family));
  return 1;
}

}  // namespace

std::vector<FontFamily> EnumerateScreenFontFamilies() {
  std::vector<FontFamily> families;
  HDC screen = CreateCompatibleDC(nullptr);
  if (screen == nullptr) return families;
  LOGFONTW query{};
  query.lfCharSet = DEFAULT_CHARSET;
  EnumFontFamiliesExW(screen, &query, &CollectFamily, reinterpret_cast<LPARAM>(&families), 0);
  DeleteDC(screen);
  return families;
}

int ScreenLineHeight() {
  HDC screen = CreateCompatibleDC(nullptr);
  if (screen == nullptr) return 0;
  const int height = GetDeviceCaps(screen, LOGPIXELSY) * 12 / 72;
  DeleteDC(screen);
  return height;
}

void DrawFaceLine(const DRAWITEMSTRUCT& item, const std::u16string& face, const std::u16string& resident, int column) {
  if (item.hDC == nullptr) return;
  int background = COLOR_WINDOW, text = COLOR_WINDOWTEXT;
  if ((item.itemState & ODS_DISABLED) != 0) {
    text = COLOR_GRAYTEXT;
  } else if ((item.itemState & ODS_SELECTED) != 0) {
    background = COLOR_HIGHLIGHT;
    text = COLOR_HIGHLIGHTTEXT;
  }
  SetBkColor(item.hDC, GetSysColor(background));
  SetTextColor(item.hDC, GetSysColor(text));
  const RECT& r = item.rcItem;
  ExtTextOutW(item.hDC, r.left + 2, r.top, ETO_OPAQUE | ETO_CLIPPED, &r, face.c_str(), static_cast<UINT>(face.size()),
              nullptr);
  if (column > 0 && r.left + column < r.right) {
    ExtTextOutW(item.hDC, r.left + column, r.top, ETO_CLIPPED, &r, resident.c_str(),
                static_cast<UINT>(resident.size()), nullptr);
  }
}

}  // namespace ui::fonts
