#include "entry/working_devmode.h"

#include <new>

#include "entry/language.h"
#include "platform/utf16.h"
#include "store/settings_store.h"
#include "win/modules.h"

namespace ui {
namespace {

constexpr UINT kDefaultFavoriteNameId = 202;
constexpr char16_t kEnglishFavoriteName[] = u"Default Settings";

}  // namespace

MergeContext::MergeContext() {
  favoriteName_ = kEnglishFavoriteName;
  if (HMODULE module = HeldSheetLanguageModule()) {
    WCHAR text[256];
    if (LoadStringW(module, kDefaultFavoriteNameId, text, 256) > 0) favoriteName_ = platform::WideField(text, 256);
  }
  context_.defaultFavoriteName = favoriteName_;
  context_.customPaper = [](int paperId, devmode::CustomPaperRecord* out) {
    for (const auto& r : CustomPaperStore().Records()) {
      if (static_cast<int>(r.paperId) == paperId) {
        *out = r;
        return true;
      }
    }
    return false;
  };
}

WorkingDevmode BuildWorkingDevmode(const WCHAR* deviceName, const DEVMODEW* caller) {
  WorkingDevmode w;
  w.devmode.reset(new (std::nothrow) devmode::StoredDevmode);
  if (!w.devmode) return w;
  MergeContext context;
  devmode::InitStoredDevmode(w.devmode.get(), deviceName, context.get().defaultFavoriteName);
  if (caller != nullptr) w.merged = devmode::MergeCallerDevmode(w.devmode.get(), caller, context.get());
  return w;
}

}  // namespace ui
