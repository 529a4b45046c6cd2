// The watermark page's two modal editors (text and image), the saved watermark list they share
// with the page, and the checks an image watermark's file has to pass.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "devmode/stored_devmode.h"
#include "entry/sheet_state.h"
#include "store/settings_store.h"
#include "win/base.h"

namespace ui::pages {

// Dialog templates of the language module.
constexpr int kTextEditorDialog = 6520;
constexpr int kImageEditorDialog = 6521;

// Text editor controls.
constexpr int kTextName = 6560;
constexpr int kTextText = 6561;
constexpr int kTextAngle = 6562;
constexpr int kTextAngleSpin = 6563;
constexpr int kTextCentre = 6564;
constexpr int kTextOtherPosition = 6565;
constexpr int kTextPosition = 6566;
constexpr int kTextBold = 6567;
constexpr int kTextItalic = 6568;
constexpr int kTextColour = 6569;
constexpr int kTextFont = 6570;
constexpr int kTextPreview = 6571;

// Image editor controls.
constexpr int kImageName = 6580;
constexpr int kImageFile = 6581;
constexpr int kImageBrowse = 6582;
constexpr int kImageTransparent = 6583;
constexpr int kImagePreview = 6584;

// Messages and captions of the language module.
constexpr UINT kMsgWatermarkNameEmpty = 2040;
constexpr UINT kMsgWatermarkBadImage = 2045;
constexpr UINT kMsgWatermarksFull = 2057;
constexpr UINT kNoWatermarkName = 5025;
constexpr UINT kCaptionNewText = 225;
constexpr UINT kCaptionEditText = 227;
constexpr UINT kCaptionNewImage = 6502;
constexpr UINT kCaptionEditImage = 6503;
constexpr UINT kMsgImageWithPoster = 6504;

constexpr int kBuiltInListed = 3;  // "[No Watermark]", "Confidential", "Watermark" lead the list
constexpr uint16_t kMaxWatermarkIndex = 32;
constexpr uint16_t kPosterLayout = 22;

// The stored watermarks of the right size, in store order; nothing when the file is unreadable.
std::vector<devmode::WatermarkRecord> StoredWatermarks(WatermarkStore& store, bool* readable = nullptr);
// Saves the three leading built-in records (indexes 0 to 2) into an empty store.
void SeedWatermarkStore(WatermarkStore& store);
// One above the largest stored index; when that would pass 32 (an index devmode validation
// drops), the lowest free user index instead. 0 when every user index is taken.
uint16_t NewWatermarkIndex(const std::vector<devmode::WatermarkRecord>& stored);

// 0: the file cannot be opened, nothing can be read from it, or it begins with "BM"; 1: it is
// empty or begins otherwise; 2: it is 31457281 bytes or longer.
int CheckWatermarkImageFile(std::u16string_view path);
// The image editor's path rule: a drive letter, a colon and a separator (or an absolute host
// path), and ".BMP" nowhere but at the end. Blanks around the path are ignored.
bool WatermarkImagePathAccepted(std::u16string_view path);
// The file opens, is not empty and begins with "BM".
bool WatermarkImageFileReadable(std::u16string_view path);

// What the page hands an editor: the sheet and the record to start from. On IDOK the editor has
// saved the record in the store and made it the working devmode's record.
struct WatermarkEditRequest {
  SheetState* state = nullptr;
  devmode::WatermarkRecord record{};
  bool isNew = false;
};

// Each runs its dialog modally over `owner`; IDOK, IDCANCEL, or -1 when the dialog cannot open.
INT_PTR RunTextWatermarkEditor(HWND owner, WatermarkEditRequest& request);
INT_PTR RunImageWatermarkEditor(HWND owner, WatermarkEditRequest& request);

}  // namespace ui::pages
