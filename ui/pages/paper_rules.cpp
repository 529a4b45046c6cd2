#include "pages/paper_rules.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "devmode/paper_tables.h"
#include "entry/language.h"
#include "store/settings_editing.h"
#include "win/dialogs.h"

namespace ui::pages {
namespace {

// The order of the printer's paper list, so the page and the applications' lists agree.
// Transparencies, labels, envelopes and card stock jam or smear on the way back through.
constexpr int kTwoSidedMedia[] = {1, 257, 264};
constexpr uint16_t kPosterLayout = 22;  // MultipleUp

}  // namespace

bool TwoSidedPaperSize(int paper) { return devmode::TwoSidedPaper(paper); }

bool TwoSidedMedia(int media) { return std::find(std::begin(kTwoSidedMedia), std::end(kTwoSidedMedia), media) != std::end(kTwoSidedMedia); }

bool TwoSidedDuplex(int duplex) { return duplex == DMDUP_VERTICAL || duplex == DMDUP_HORIZONTAL || duplex == 5; }

bool TwoSidedAllowed(SheetState* state, UINT* why) {
  LONG paper = 0, media = 0;
  GetPublicField(state, DM_PAPERSIZE, &paper);
  GetPublicField(state, DM_MEDIATYPE, &media);
  uint16_t pagesPerSheet = 0;
  GetPrivateField(state, "MultipleUp", &pagesPerSheet, sizeof pagesPerSheet);
  UINT refusal = !TwoSidedPaperSize(paper)     ? kMsgTwoSidedPaper
                 : !TwoSidedMedia(media)       ? kMsgTwoSidedMedia
                 : pagesPerSheet == kPosterLayout ? kMsgTwoSidedPoster
                                               : 0;
  if (why != nullptr) *why = refusal;
  return refusal == 0;
}

void MakeOneSided(SheetState* state) {
  SetPublicField(state, DM_DUPLEX, DMDUP_SIMPLEX);
  uint16_t one = 1;
  SetPrivateField(state, "Duplex", &one, sizeof one);
}

void ShowConflict(HWND owner, SheetState* state, UINT textId) {
  HMODULE module = state != nullptr ? state->languageModule : nullptr;
  ShowModuleMessage(owner, module, textId, kCaptionDriver, MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace ui::pages
