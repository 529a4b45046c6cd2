// The blit hooks around the raster writer: raster operations, transparent blits as mask and image,
// what goes to the engine's own drawing, and a cancelled job.
#include <functional>
#include <string>
#include <vector>

#include "graphics_fixture.h"
#include "platform/spooler_admin.h"
#include "support/raster_pictures.h"

namespace rendertest {
namespace {

using testsupport::Pcl;
using testsupport::PclF;

// The engine's fallbacks replaced by recorders for one test.
struct Call {
  std::string what;
  SURFOBJ* target;
  SURFOBJ* source;
  void* other;  // mask, vertices
  RECTL rect;
  ULONG value;  // ROP4, transparent colour, mode, erase colour
};
std::vector<Call> g_calls;

class Recorders {
 public:
  Recorders() : saved_(render::Fallbacks()) {
    g_calls.clear();
    render::EngineFallbacks& f = render::Fallbacks();
    f.bitBlt = [](SURFOBJ* t, SURFOBJ* s, SURFOBJ* m, CLIPOBJ*, XLATEOBJ*, RECTL* r, POINTL*, POINTL*, BRUSHOBJ*,
                  POINTL*, ROP4 rop) -> BOOL {
      g_calls.push_back({"EngBitBlt", t, s, m, *r, rop});
      return TRUE;
    };
    f.transparentBlt = [](SURFOBJ* t, SURFOBJ* s, CLIPOBJ*, XLATEOBJ*, RECTL* r, RECTL*, ULONG colour, ULONG) -> BOOL {
      g_calls.push_back({"EngTransparentBlt", t, s, nullptr, *r, colour});
      return TRUE;
    };
    f.gradientFill = [](SURFOBJ* t, CLIPOBJ*, XLATEOBJ*, TRIVERTEX* v, ULONG, PVOID, ULONG, RECTL* r, POINTL*,
                        ULONG mode) -> BOOL {
      g_calls.push_back({"EngGradientFill", t, nullptr, v, *r, mode});
      return FALSE;
    };
    f.eraseSurface = [](SURFOBJ* t, RECTL* r, ULONG colour) -> BOOL {
      g_calls.push_back({"EngEraseSurface", t, nullptr, nullptr, *r, colour});
      return TRUE;
    };
  }
  ~Recorders() { render::Fallbacks() = saved_; }

 private:
  render::EngineFallbacks saved_;
};

// A top-down 24-bpp bitmap of B, G, R pixels.
class Rgb {
 public:
  Rgb(LONG width, LONG height, const std::function<COLORREF(LONG x, LONG y)>& colour) {
    handle_ = EngCreateBitmap(SIZEL{width, height}, 0, BMF_24BPP, BMF_TOPDOWN, nullptr);
    so_ = EngLockSurface(reinterpret_cast<HSURF>(handle_));
    for (LONG y = 0; y < height; ++y) {
      auto* row = static_cast<uint8_t*>(so_->pvScan0) + y * so_->lDelta;
      for (LONG x = 0; x < width; ++x) {
        const COLORREF c = colour(x, y);
        row[3 * x] = static_cast<uint8_t>(c >> 16);
        row[3 * x + 1] = static_cast<uint8_t>(c >> 8);
        row[3 * x + 2] = static_cast<uint8_t>(c);
      }
    }
  }
  ~Rgb() {
    EngUnlockSurface(so_);
    EngDeleteSurface(reinterpret_cast<HSURF>(handle_));
  }
  SURFOBJ* get() const { return so_; }

 private:
  HBITMAP handle_ = nullptr;
  SURFOBJ* so_ = nullptr;
};

// A 4x4 8-bpp bitmap.
class Bitmap8 {
 public:
  Bitmap8() {
    handle_ = EngCreateBitmap(SIZEL{4, 4}, 0, BMF_8BPP, 0, nullptr);
    so_ = EngLockSurface(reinterpret_cast<HSURF>(handle_));
  }
  ~Bitmap8() {
    EngUnlockSurface(so_);
    EngDeleteSurface(reinterpret_cast<HSURF>(handle_));
  }
  SURFOBJ* get() const { return so_; }

 private:
  HBITMAP handle_ = nullptr;
  SURFOBJ* so_ = nullptr;
};

class Blits : public GraphicsTest {
 protected:
  BOOL BitBlt(SURFOBJ* source, RECTL target, ROP4 rop, engine::EngineBrush* brush = nullptr, SURFOBJ* mask = nullptr) {
    POINTL from{0, 0};
    return Hook<PFN_DrvBitBlt>(INDEX_DrvBitBlt)(&so_, source, mask, nullptr, bgr_.get(), &target, &from, nullptr,
                                                brush != nullptr ? brush->get() : nullptr, &from, rop);
  }
  BOOL TransparentBlt(SURFOBJ* source, RECTL target, ULONG colour) {
    RECTL from{0, 0, source->sizlBitmap.cx, source->sizlBitmap.cy};
    return Hook<PFN_DrvTransparentBlt>(INDEX_DrvTransparentBlt)(&so_, source, nullptr, bgr_.get(), &target, &from,
                                                                colour, 0);
  }

  engine::EngineXlate bgr_ = engine::EngineXlate::FromBgr();
};

TEST_F(Blits, ARasterOperationIsSentOnceAndAPatternImageSelectsItsBrush) {
  Rgb black(8, 8, [](LONG, LONG) { return 0u; });
  ASSERT_TRUE(BitBlt(black.get(), RECTL{0, 0, 8, 8}, 0xCCCC));
  ASSERT_TRUE(BitBlt(black.get(), RECTL{8, 0, 16, 8}, 0xCCCC));
  std::string out = Run();
  EXPECT_EQ(out.find(Pcl("\\e*l204O")), out.rfind(Pcl("\\e*l204O"))) << testsupport::Decode(out);
  const std::string head = Pcl("\\e%1A\\e*v1N\\e*v1O\\e*l204O");
  EXPECT_STREAM(head, out.substr(0, head.size()));
  // Source AND pattern with a grey brush: solid black first, then the grey pattern, then the image.
  engine::EngineBrush grey = Bound(engine::EngineBrush::Solid(0x808080));
  ASSERT_TRUE(BitBlt(black.get(), RECTL{0, 0, 8, 8}, 0xC0C0, &grey));
  out = Run();
  const size_t download = out.find(Pcl("\\e*c1g44W"));
  ASSERT_NE(download, std::string::npos) << testsupport::Decode(out);
  EXPECT_STREAM(Pcl("\\e*l192O\\e*v0T"), out.substr(0, download));
  const std::string selection = Pcl("\\e*rC\\e*c1G\\e*v4T\\e*p0x0Y");
  EXPECT_STREAM(selection, out.substr(download + 8 + 44, selection.size()));
}

TEST_F(Blits, AMaskedBlitIsTheEnginesAndWritesNothing) {
  Recorders recorders;
  Rgb image(8, 8, [](LONG, LONG) { return 0u; });
  SURFOBJ mask{};
  mask.iBitmapFormat = BMF_1BPP;
  ASSERT_TRUE(BitBlt(image.get(), RECTL{1, 2, 9, 10}, 0xAACC, nullptr, &mask));
  ASSERT_EQ(g_calls.size(), 1u);
  EXPECT_EQ(g_calls[0].what, "EngBitBlt");
  EXPECT_EQ(g_calls[0].target, &so_);
  EXPECT_EQ(g_calls[0].source, image.get());
  EXPECT_EQ(g_calls[0].other, &mask);
  EXPECT_EQ(g_calls[0].rect.right, 9);
  EXPECT_EQ(g_calls[0].value, 0xAACCu);
  EXPECT_STREAM(Pcl(""), Run());
  // Without a mask: a source operation without a source, and a ROP4 whose high word is not zero, fail.
  EXPECT_FALSE(BitBlt(nullptr, RECTL{1, 2, 9, 10}, 0xCCCC));
  EXPECT_FALSE(BitBlt(image.get(), RECTL{1, 2, 9, 10}, 0x1CCCC));
  EXPECT_EQ(g_calls.size(), 1u);
}

TEST_F(Blits, ATransparentBlitPrintsAMaskThenTheImageWithTheKeyWhite) {
  constexpr COLORREF kKey = 0x00FF00;
  // Black on the left half, the key colour on the right.
  Rgb image(16, 4, [&](LONG x, LONG) { return x < 8 ? 0u : kKey; });
  ASSERT_TRUE(TransparentBlt(image.get(), RECTL{32, 8, 48, 12}, 0x00FF00));
  const std::string out = Run();
  const size_t second = out.find(Pcl("\\e*l136O"));
  ASSERT_NE(second, std::string::npos) << testsupport::Decode(out);
  const std::string head = Pcl("\\e%0A\\e*v0N\\e*v0O\\e*l238O");
  EXPECT_STREAM(head, out.substr(0, head.size()));
  // The mask whitens what the image covers and leaves the rest black, which OR keeps as it was.
  const testsupport::RasterPage mask = testsupport::DrawRasterPictures(out.substr(0, second), 64, 16);
  const testsupport::RasterPage picture = testsupport::DrawRasterPictures(out.substr(second), 64, 16);
  ASSERT_EQ(mask.pictures.size(), 1u);
  ASSERT_EQ(picture.pictures.size(), 1u);
  for (LONG x = 32; x < 48; ++x) {
    EXPECT_EQ(mask.Black(x, 9), x >= 40) << x;
    EXPECT_EQ(picture.Black(x, 9), x < 40) << x;
  }
}

TEST_F(Blits, OtherSourcesGoToTheEngine) {
  Recorders recorders;
  Bitmap8 indexed;
  ASSERT_TRUE(TransparentBlt(indexed.get(), RECTL{0, 0, 4, 4}, 3));
  // A copy from something that is not a bitmap (the page itself) cannot be read: the engine whitens.
  RECTL target{5, 6, 7, 8};
  POINTL from{0, 0};
  ASSERT_TRUE(Hook<PFN_DrvCopyBits>(INDEX_DrvCopyBits)(&so_, &so_, nullptr, nullptr, &target, &from));
  ASSERT_EQ(g_calls.size(), 2u);
  EXPECT_EQ(g_calls[0].what, "EngTransparentBlt");
  EXPECT_EQ(g_calls[0].source, indexed.get());
  EXPECT_EQ(g_calls[0].value, 3u);
  EXPECT_EQ(g_calls[1].what, "EngEraseSurface");
  EXPECT_EQ(g_calls[1].rect.left, 5);
  EXPECT_EQ(g_calls[1].value, 0xFFFFFFFFu);
  EXPECT_STREAM(Pcl(""), Run());
}

TEST_F(Blits, GradientsAreTheEnginesAndTrianglesLeaveTheSourceTransparent) {
  Recorders recorders;
  RECTL extents{0, 0, 10, 10};
  POINTL origin{0, 0};
  auto gradient = [&](ULONG mode) {
    return Hook<PFN_DrvGradientFill>(INDEX_DrvGradientFill)(&so_, nullptr, nullptr, nullptr, 3, nullptr, 1, &extents,
                                                            &origin, mode);
  };
  render::SetPclRasterOps(*pdev_, 0, 1, 204);
  Run();
  EXPECT_TRUE(gradient(0)) << "true whatever the engine says";
  render::SetPclRasterOps(*pdev_, 0, 1, 204);
  EXPECT_STREAM(Pcl(""), Run());
  EXPECT_TRUE(gradient(2));
  render::SetPclRasterOps(*pdev_, 1, 1, 204);
  EXPECT_STREAM(Pcl(""), Run()) << "the cache claims opaque without a command";
  ASSERT_EQ(g_calls.size(), 2u);
  EXPECT_EQ(g_calls[1].what, "EngGradientFill");
  EXPECT_EQ(g_calls[1].value, 2u);
  EXPECT_EQ(g_calls[1].rect.right, 10);
}

TEST_F(Blits, ACancelledJobFailsEveryImageBlit) {
  Recorders recorders;
  Rgb image(8, 8, [](LONG, LONG) { return 0u; });
  ASSERT_TRUE(platform::spooler::CancelJob(jobId_));
  EXPECT_FALSE(BitBlt(image.get(), RECTL{0, 0, 8, 8}, 0xCCCC));
  EXPECT_EQ(pdev_->blitAborted, 1);
  RECTL target{0, 0, 8, 8}, source{0, 0, 8, 8};
  POINTL from{0, 0};
  EXPECT_FALSE(Hook<PFN_DrvCopyBits>(INDEX_DrvCopyBits)(&so_, image.get(), nullptr, nullptr, &target, &from));
  EXPECT_FALSE(Hook<PFN_DrvStretchBlt>(INDEX_DrvStretchBlt)(&so_, image.get(), nullptr, nullptr, nullptr, nullptr,
                                                           &from, &target, &source, nullptr, 0));
  EXPECT_FALSE(TransparentBlt(image.get(), target, 0));
  EXPECT_FALSE(Hook<PFN_DrvGradientFill>(INDEX_DrvGradientFill)(&so_, nullptr, nullptr, nullptr, 0, nullptr, 0,
                                                                &target, &from, 0));
  EXPECT_TRUE(g_calls.empty());
  EXPECT_STREAM(Pcl(""), Run());
}

}  // namespace
}  // namespace rendertest
