// The layout preview: a picture of the sheet's layout (N-up, poster, orientation) from the
// language module, darkened or lightened for the print density, turned for 180-degree printing
// and shrunk for zoom.
#pragma once

#include "decor/decoration_target.h"
#include "devmode/stored_devmode.h"
#include "win/dialogs.h"
#include "win/modules.h"

namespace ui::preview {

struct LayoutInputs {
  bool landscape = false;
  bool poster = false;
  int posterType = 0;  // 0..5
  bool cropMarks = false;
  int pagesPerSheet = 1;
  int pageOrder = 0;  // 0..3
  bool pageBorder = false;
  bool tonerSaving = false;
  int density = 1;  // 0..2
  bool rotate180 = false;
  int zoom = 100;  // percent
};

// The inputs from the devmode's orientation (DMORIENT_*) and private block.
LayoutInputs LayoutInputsFrom(int orientation, const devmode::StoredPrivate& p);

// 0 lightest .. 2 darkest; toner saving always shows the lightest.
int LayoutDensity(const LayoutInputs& in);
// The picture resource of the layout.
int LayoutPictureId(const LayoutInputs& in);

// Pixel steps on a 24-bit bottom-up bitmap.
void AdjustLayoutDensity(decor::LoadedBitmap& picture, int density);
void MirrorLayoutPicture(decor::LoadedBitmap& picture);
void WhitenLayoutEdges(decor::LoadedBitmap& picture);

// The paint of the owner-drawn control with the pictures of `module`; a missing picture leaves
// the control white.
void PaintLayoutPreview(const DRAWITEMSTRUCT& item, HMODULE module, const LayoutInputs& in);

}  // namespace ui::preview
