// The layout preview's choices and pixel steps: which picture each setting shows, the density
// adjustment with its untouched border, the half-turn and the whitened edges of a zoomed page.
#include <gtest/gtest.h>

#include <set>

#include "preview/layout_preview.h"

namespace ui::preview {
namespace {

using decor::LoadedBitmap;

size_t Stride(int w) { return (static_cast<size_t>(w) * 3 + 3) & ~size_t{3}; }

LoadedBitmap Filled(int w, int h, uint8_t v) {
  LoadedBitmap p;
  p.width = w;
  p.height = h;
  p.bits.assign(Stride(w) * h, v);
  return p;
}
uint8_t* At(LoadedBitmap& p, int x, int row) { return &p.bits[row * Stride(p.width) + x * 3]; }

TEST(LayoutPreviewTest, InputsFromTheDevmodeAndDensityWithTonerSaving) {
  devmode::StoredPrivate priv{};
  priv.MultipleUp = 8;
  priv.PageOrder = 3;
  priv.PageBorder = 1;
  priv.PosterType = 4;
  priv.CropMarks = 1;
  priv.Thickness = 2;
  priv.Rotate180 = 1;
  priv.zoomPercent = 75;
  LayoutInputs from = LayoutInputsFrom(2, priv);
  EXPECT_TRUE(from.landscape);
  EXPECT_FALSE(from.poster);
  EXPECT_EQ(from.pagesPerSheet, 8);
  EXPECT_EQ(from.pageOrder, 3);
  EXPECT_TRUE(from.pageBorder && from.cropMarks && from.rotate180);
  EXPECT_EQ(from.posterType, 4);
  EXPECT_EQ(from.zoom, 75);
  EXPECT_EQ(LayoutDensity(from), 2);
  priv.TonerSavingMode = 1;
  EXPECT_EQ(LayoutDensity(LayoutInputsFrom(1, priv)), 0);
  EXPECT_FALSE(LayoutInputsFrom(1, priv).landscape);

  LayoutInputs in;
  for (int d : {0, 1, 2}) {
    in.density = d;
    in.tonerSaving = false;
    EXPECT_EQ(LayoutDensity(in), d);
    in.tonerSaving = true;
    EXPECT_EQ(LayoutDensity(in), 0);
  }
}

TEST(LayoutPreviewTest, EverySettingHasItsOwnPictureInItsRange) {
  std::set<int> poster, two, many, one;
  LayoutInputs in;
  for (bool landscape : {false, true}) {
    in.landscape = landscape;
    in.poster = true;
    for (bool crop : {false, true})
      for (int type = 0; type < 6; ++type) {
        in.cropMarks = crop;
        in.posterType = type;
        poster.insert(LayoutPictureId(in));
      }
    in.poster = false;
    for (bool border : {false, true}) {
      in.pageBorder = border;
      for (int order = 0; order < 4; ++order) {
        in.pageOrder = order;
        for (int n : {2, 22}) {
          in.pagesPerSheet = n;
          two.insert(LayoutPictureId(in));
        }
        for (int n : {4, 8, 16}) {
          in.pagesPerSheet = n;
          many.insert(LayoutPictureId(in));
        }
        for (int n : {1, 6, 9}) {
          in.pagesPerSheet = n;
          one.insert(LayoutPictureId(in));
        }
      }
    }
  }
  EXPECT_EQ(poster.size(), 24u);
  EXPECT_GE(*poster.begin(), 144);
  EXPECT_LE(*poster.rbegin(), 169);
  EXPECT_EQ(two, (std::set<int>{310, 311, 312, 313, 314, 315, 316, 317}));
  EXPECT_EQ(many.size(), 48u);
  EXPECT_EQ(*many.begin(), 320);
  EXPECT_EQ(*many.rbegin(), 367);
  EXPECT_EQ(one, (std::set<int>{300, 301}));
}

TEST(LayoutPreviewTest, DensityAdjustsInsideTheBorderOnly) {
  LoadedBitmap grey = Filled(10, 10, 100);
  LoadedBitmap p = grey;
  AdjustLayoutDensity(p, 1);
  EXPECT_EQ(p.bits, grey.bits);

  AdjustLayoutDensity(p, 0);
  EXPECT_EQ(At(p, 3, 3)[0], 220);   // the first adjusted pixel: 3 from the left, 3 rows up
  EXPECT_EQ(At(p, 7, 7)[2], 220);   // the last: 2 from the right, 2 rows down
  EXPECT_EQ(At(p, 2, 5)[0], 100);
  EXPECT_EQ(At(p, 8, 5)[0], 100);
  EXPECT_EQ(At(p, 5, 2)[0], 100);   // bottom rows
  EXPECT_EQ(At(p, 5, 8)[0], 100);   // top rows

  LoadedBitmap q = Filled(10, 10, 20);
  std::fill_n(At(q, 5, 5), 3, 0xFF);  // white stays
  At(q, 4, 4)[0] = 250;
  AdjustLayoutDensity(q, 2);
  EXPECT_EQ(At(q, 4, 4)[1], 0);  // limited at 0
  EXPECT_EQ(At(q, 4, 4)[0], 210);
  EXPECT_EQ(At(q, 5, 5)[0], 0xFF);
  q = Filled(10, 10, 200);
  AdjustLayoutDensity(q, 0);
  EXPECT_EQ(At(q, 5, 5)[0], 0xFF);  // limited at 255
}

TEST(LayoutPreviewTest, HalfTurnAndZoomedEdges) {
  LoadedBitmap p = Filled(5, 4, 0);
  At(p, 0, 0)[0] = 9;
  At(p, 1, 0)[1] = 8;
  MirrorLayoutPicture(p);
  EXPECT_EQ(At(p, 4, 3)[0], 9);
  EXPECT_EQ(At(p, 3, 3)[1], 8);
  EXPECT_EQ(At(p, 0, 0)[0], 0);

  LoadedBitmap z = Filled(6, 8, 0);
  WhitenLayoutEdges(z);
  for (int row = 0; row < 8; ++row) {
    const bool edge = row < 3 || row >= 6;
    EXPECT_EQ(At(z, 0, row)[0], 0xFF);
    EXPECT_EQ(At(z, 5, row)[2], 0xFF);
    EXPECT_EQ(At(z, 2, row)[1], edge ? 0xFF : 0) << row;
  }
  // A short pixel buffer is left alone rather than read past.
  LoadedBitmap bad = Filled(6, 8, 0);
  bad.bits.resize(10);
  WhitenLayoutEdges(bad);
  MirrorLayoutPicture(bad);
  AdjustLayoutDensity(bad, 0);
  EXPECT_EQ(bad.bits.size(), 10u);
}

}  // namespace
}  // namespace ui::preview
