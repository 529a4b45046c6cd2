// The editor-side rules around the store: saving a custom paper, saving and deleting a
// favourite. Their messages go through ShowMessageBox; the pages act on the outcome.
#pragma once

#include <string>
#include <string_view>

#include "devmode/stored_devmode.h"
#include "store/settings_store.h"
#include "win/base.h"

namespace ui {

// Message and caption ids of the language module.
constexpr UINT kMsgFavoritesFull = 2061;
constexpr UINT kMsgFavoriteNameEmpty = 2062;
constexpr UINT kMsgFavoriteExists = 2063;
constexpr UINT kCaptionDriver = 2000;
constexpr UINT kMsgCustomPapersFull = 5008;
constexpr UINT kMsgReplaceExisting = 5010;

constexpr size_t kCustomPaperNameChars = 24;
constexpr size_t kFavoriteBoxChars = 256;

// Leading and trailing blanks (U+0020 and U+3000) removed.
std::u16string TrimName(std::u16string_view name);

enum class EditOutcome {
  Saved,
  Replaced,      // an item of that name was replaced (the page drops its old list entry)
  Deleted,
  EmptyName,
  NameTooLong,
  SizeOutOfRange,
  StoreFull,
  Declined,      // the user answered anything but Yes
  DefaultOnly,   // the last favourite cannot be deleted
  ListMismatch,
  NotFound,
  Failed,        // the store could not read or write the file
};

struct CustomPaperInput {
  std::u16string_view name;
  uint32_t unit;        // 1 millimetres, 2 inches
  float widthExact;     // 1/600 inch
  float heightExact;    // 1/600 inch
};

// Trims the name, refuses an empty or over-long name and a size outside 90-216 x 120-356 mm
// (3.54-8.50 x 4.72-14.00 in), refuses a seventeenth paper (message 5008), asks before
// replacing a same-named paper (message 5010, keeping its id), then saves. On success
// *paperId (when given) is the paper's id.
EditOutcome SaveCustomPaper(CustomPaperStore& store, HWND owner, HMODULE language, const CustomPaperInput& input,
                            uint32_t* paperId = nullptr);

// The basic page's save: trims the name; empty: message 2062; 16 stored: message 2061;
// a same-named favourite: question 2063. Sets the working devmode's FavoriteName and stores
// the working devmode under the name.
EditOutcome SaveFavorite(FavoriteStore& store, HWND owner, HMODULE language, std::u16string_view boxText,
                         devmode::StoredDevmode& working);

// The basic page's delete: keeps the last favourite, checks the listing against Count.
EditOutcome DeleteFavorite(FavoriteStore& store, HWND owner, std::u16string_view boxText);

// The working devmode as a stored favourite.
void PackSettingsRecord(const devmode::StoredDevmode& working, SettingsRecord& record);

}  // namespace ui
