// What the basic page and the paper and image page share: the papers offered (in the order the
// printer lists them), which papers and media can be printed on both sides, and the messages
// that explain a refused combination.
#pragma once


#include "entry/sheet_state.h"
#include "win/base.h"

namespace ui::pages {

// Two-sided printing: the papers the duplex unit takes, and the media it can turn over.
bool TwoSidedPaperSize(int paper);
bool TwoSidedMedia(int media);
bool TwoSidedDuplex(int duplex);  // dmDuplex: long edge, short edge or the special value 5

// Messages of the language module (caption: the driver's name).
constexpr UINT kMsgPaperOneSided = 6030;       // a one-sided paper chosen while two-sided is on
constexpr UINT kMsgTwoSidedPaper = 6240;       // two-sided refused: the paper
constexpr UINT kMsgTwoSidedMedia = 6241;       // two-sided refused: the media type
constexpr UINT kMsgTwoSidedPoster = 6242;      // two-sided refused: poster printing
constexpr UINT kMsgMediaOneSided = 6243;       // a one-sided media chosen while two-sided is on

// Whether the working devmode's paper, media and layout let the printer turn the sheet; when
// they do not, `why` (if given) is the message that says which of them stands in the way.
bool TwoSidedAllowed(SheetState* state, UINT* why = nullptr);

// Turns two-sided printing off: dmDuplex and the private Duplex (which only the value 5 uses).
void MakeOneSided(SheetState* state);

// Shows message `textId` with the driver's caption.
void ShowConflict(HWND owner, SheetState* state, UINT textId);

}  // namespace ui::pages
