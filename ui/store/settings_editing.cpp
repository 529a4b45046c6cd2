// Saving custom papers and favourites, deleting favourites, with the user's confirmation.
#include "store/settings_editing.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "entry/language.h"
#include "platform/utf16.h"
#include "win/dialogs.h"

namespace ui {
namespace {

constexpr char16_t kDefaultProtected[] = u"The default settings can not be deleted";
constexpr char16_t kListError[] = u"Get setting error";
constexpr char16_t kErrorCaption[] = u"Error";

bool IsBlank(char16_t c) { return c == u' ' || c == u'\u3000'; }

bool InRange(double v, double low, double high) { return v >= low - 1e-6 && v <= high + 1e-6; }

// The editor's limits, in the unit the user typed the size in.
bool SizeAccepted(uint32_t unit, float width600, float height600) {
  if (!std::isfinite(width600) || !std::isfinite(height600)) return false;
  if (unit == 2) {
    double rw = std::round(width600 / 600.0 * 100.0) / 100.0, rh = std::round(height600 / 600.0 * 100.0) / 100.0;
    return InRange(rw, 3.54, 8.50) && InRange(rh, 4.72, 14.00);
  }
  double mw = std::round(width600 * 25.4 / 600.0 * 10.0) / 10.0, mh = std::round(height600 * 25.4 / 600.0 * 10.0) / 10.0;
  return unit == 1 && InRange(mw, 90, 216) && InRange(mh, 120, 356);
}

std::vector<std::u16string> ListNames(SettingsStore& store, int& listed) {
  WCHAR names[kStoreCapacity * 4][kListNameChars];
  listed = store.List(names, kStoreCapacity * 4);
  std::vector<std::u16string> out;
  for (int i = 0; i < listed; ++i) out.emplace_back(platform::WideField(names[i], kListNameChars));
  return out;
}

}  // namespace

std::u16string TrimName(std::u16string_view name) {
  size_t start = 0, end = name.size();
  while (start < end && IsBlank(name[start])) ++start;
  while (end > start && IsBlank(name[end - 1])) --end;
  return std::u16string(name.substr(start, end - start));
}

void PackSettingsRecord(const devmode::StoredDevmode& working, SettingsRecord& record) {
  std::memset(&record, 0, sizeof record);
  std::memcpy(&record.priv, &working.priv, sizeof record.priv);
  std::memcpy(&record.pub, &working.pub, sizeof record.pub);
}

EditOutcome SaveCustomPaper(CustomPaperStore& store, HWND owner, HMODULE language, const CustomPaperInput& input,
                            uint32_t* paperId) {
  std::u16string name = TrimName(input.name);
  if (name.empty()) return EditOutcome::EmptyName;
  if (name.size() > kCustomPaperNameChars) return EditOutcome::NameTooLong;
  if (!SizeAccepted(input.unit, input.widthExact, input.heightExact)) return EditOutcome::SizeOutOfRange;
  auto items = store.Items();
  if (!items) return EditOutcome::Failed;
  if (items->size() >= static_cast<size_t>(store.Capacity())) {
    ShowModuleMessage(owner, language, kMsgCustomPapersFull, kCaptionDriver, MB_OK | MB_ICONEXCLAMATION);
    return EditOutcome::StoreFull;
  }
  int id = -1;
  bool replacing = false;
  for (const auto& item : *items) {
    if (item.name != name) continue;
    if (ShowModuleMessage(owner, language, kMsgReplaceExisting, kCaptionDriver, MB_YESNO | MB_ICONQUESTION) != IDYES)
      return EditOutcome::Declined;
    devmode::CustomPaperRecord old{};
    if (item.data.size() == sizeof old) std::memcpy(&old, item.data.data(), sizeof old);
    if (old.paperId >= kFirstCustomPaperId && old.paperId <= kLastCustomPaperId) id = static_cast<int>(old.paperId);
    replacing = true;
    break;
  }
  if (id < 0) id = store.AllocatePaperId();
  if (id < 0) return EditOutcome::StoreFull;
  devmode::CustomPaperRecord record{};
  record.width = static_cast<int16_t>(std::lround(input.widthExact));
  record.height = static_cast<int16_t>(std::lround(input.heightExact));
  platform::CopyWideField(record.name, 26, name);
  record.paperId = static_cast<uint32_t>(id);
  record.unit = input.unit;
  record.widthExact = input.widthExact;
  record.heightExact = input.heightExact;
  if (!store.Save(name, RecordBytes(record))) return EditOutcome::Failed;
  if (paperId != nullptr) *paperId = record.paperId;
  return replacing ? EditOutcome::Replaced : EditOutcome::Saved;
}

EditOutcome SaveFavorite(FavoriteStore& store, HWND owner, HMODULE language, std::u16string_view boxText,
                         devmode::StoredDevmode& working) {
  std::u16string name = TrimName(boxText.substr(0, kFavoriteBoxChars));
  if (name.empty()) {
    ShowModuleMessage(owner, language, kMsgFavoriteNameEmpty, kCaptionDriver, MB_OK | MB_ICONEXCLAMATION);
    return EditOutcome::EmptyName;
  }
  // A stored name is at most 32 characters; a longer one is refused rather than cut.
  if (name.size() > kItemNameChars) return EditOutcome::NameTooLong;
  int listed = 0;
  std::vector<std::u16string> names = ListNames(store, listed);
  if (listed >= store.Capacity()) {
    ShowModuleMessage(owner, language, kMsgFavoritesFull, kCaptionDriver, MB_OK | MB_ICONEXCLAMATION);
    return EditOutcome::StoreFull;
  }
  bool replacing = false;
  for (const auto& n : names) {
    if (n != name) continue;
    if (ShowModuleMessage(owner, language, kMsgFavoriteExists, kCaptionDriver, MB_YESNO | MB_ICONEXCLAMATION) != IDYES)
      return EditOutcome::Declined;
    replacing = true;
    break;
  }
  platform::CopyWideField(working.priv.FavoriteName, 256, name.substr(0, kItemNameChars));
  auto record = std::make_unique<SettingsRecord>();
  PackSettingsRecord(working, *record);
  if (!store.Save(name, RecordBytes(*record))) return EditOutcome::Failed;
  return replacing ? EditOutcome::Replaced : EditOutcome::Saved;
}

EditOutcome DeleteFavorite(FavoriteStore& store, HWND owner, std::u16string_view boxText) {
  std::u16string name = TrimName(boxText.substr(0, kFavoriteBoxChars));
  if (name.empty()) return EditOutcome::EmptyName;
  if (store.Count() <= 1) {
    ShowMessageBox(owner, kDefaultProtected, kErrorCaption, MB_OK | MB_ICONEXCLAMATION);
    return EditOutcome::DefaultOnly;
  }
  int listed = 0;
  std::vector<std::u16string> names = ListNames(store, listed);
  if (listed != store.Count()) {
    ShowMessageBox(owner, kListError, kErrorCaption, MB_OK | MB_ICONEXCLAMATION);
    return EditOutcome::ListMismatch;
  }
  for (const auto& n : names) {
    if (n == name) return store.Remove(name) ? EditOutcome::Deleted : EditOutcome::Failed;
  }
  return EditOutcome::NotFound;
}

}  // namespace ui
