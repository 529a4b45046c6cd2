// Blits without a source through DrvBitBlt: rectangle fills in HP-GL/2 and in PCL, cut to the clip.
#include <string>

#include "graphics_fixture.h"
#include "platform/spooler_admin.h"

namespace rendertest {
namespace {

using testsupport::Pcl;
using testsupport::PclF;

class Fills : public GraphicsTest {
 protected:
  BOOL Blit(RECTL target, engine::EngineBrush* brush, ROP4 rop, const engine::Region* region = nullptr,
            SURFOBJ* mask = nullptr) {
    engine::EngineClip clip(region, SurfaceBounds(), target);
    POINTL origin{0, 0};
    return Hook<PFN_DrvBitBlt>(INDEX_DrvBitBlt)(&so_, nullptr, mask, clip.get(), nullptr, &target, nullptr, nullptr,
                                                brush != nullptr ? brush->get() : nullptr, &origin, rop);
  }
};

TEST_F(Fills, VectorRectangleFillResetsTheWindowAndItsCache) {
  engine::EngineBrush black = Bound(engine::EngineBrush::Solid(0));
  const auto line = Polyline({{0, 100}, {600, 100}});
  engine::Region window(RECTL{50, 60, 400, 500});
  ASSERT_TRUE(Stroke(line, black, engine::LineAttrs::Cosmetic(), &window));
  Run();
  // Blackness uses no brush: the thinnest pen and the rectangle.
  ASSERT_TRUE(Blit(RECTL{10, 20, 110, 70}, nullptr, 0x0000));
  EXPECT_STREAM(Pcl("MC1,0WU0PW0IW;PU10,20RR100,50ER;"), Run());
  // The window is gone from the printer, so the same clip must set it again.
  ASSERT_TRUE(Stroke(line, black, engine::LineAttrs::Cosmetic(), &window));
  EXPECT_STREAM(Pcl("MC1,240WU0PW0.042333IW50,100,400,101PU0,100PD600,100"), Run());
}

TEST_F(Fills, PatternCopyWithAWhiteBrushUsesTheThinPenOnce) {
  engine::EngineBrush white = Bound(engine::EngineBrush::Solid(0xFFFFFF));
  ASSERT_TRUE(Blit(RECTL{10, 20, 110, 70}, &white, 0xF0F0));
  ASSERT_TRUE(Blit(RECTL{10, 20, 110, 70}, &white, 0xF0F0));
  EXPECT_STREAM(Pcl("MC1,240FT10,0WU0PW0IW;PU10,20RR100,50ER;IW;PU10,20RR100,50ER;"), Run());
}

TEST_F(Fills, ComplexClipsAreFilledAsTheirRectangles) {
  engine::EngineBrush black = Bound(engine::EngineBrush::Solid(0));
  // An ellipse-like region from stacked bands.
  engine::Region region;
  for (LONG y = 0; y < 40; y += 4) {
    const LONG inset = y < 20 ? 20 - y : y - 16;
    region.Union(engine::Region(RECTL{100 + inset, 200 + y, 180 - inset, 204 + y}));
  }
  ASSERT_TRUE(Blit(RECTL{90, 190, 200, 260}, &black, 0xF0F0, &region));
  const std::string out = Run();
  EXPECT_EQ(out.substr(0, 15), "MC1,240FT10,100");
  engine::Region filled;
  for (size_t at = out.find("PU"); at != std::string::npos; at = out.find("PU", at + 2)) {
    int x, y, w, h;
    ASSERT_EQ(std::sscanf(out.c_str() + at, "PU%d,%dRR%d,%dER;", &x, &y, &w, &h), 4);
    filled.Union(engine::Region(RECTL{x, y, x + w, y + h}));
  }
  EXPECT_TRUE(filled == region);
}

TEST_F(Fills, RasterModeFillsAreRectangleAreaFills) {
  pdev_->settings.priv.VectorGraphics = 0;
  engine::EngineBrush black = Bound(engine::EngineBrush::Solid(0));
  engine::EngineBrush grey = Bound(engine::EngineBrush::Solid(0x808080));
  ASSERT_TRUE(Blit(RECTL{10, 20, 110, 70}, &black, 0xF0F0));
  ASSERT_TRUE(Blit(RECTL{10, 20, 110, 70}, &black, 0xF0F0));
  std::string out = Run();
  EXPECT_STREAM(Pcl("\\e%0A\\e*v1N\\e*v1O\\e*l204O\\e*v0T\\e*p10x20Y\\e*c100a50B\\e*c0P"
                    "\\e*v0T\\e*p10x20Y\\e*c100a50B\\e*c0P"),
                out);
  ASSERT_TRUE(Blit(RECTL{10, 20, 110, 70}, &grey, 0xF0F0));
  out = Run();
  const size_t tail = out.find(Pcl("\\e*rC"));
  ASSERT_NE(tail, std::string::npos) << testsupport::Decode(out);
  EXPECT_STREAM(Pcl("\\e*rC\\e*c1G\\e*v4T\\e*p10x20Y\\e*c100a50B\\e*c5P"), out.substr(tail));
  pdev_->settings.priv.VectorGraphics = 1;
}

TEST_F(Fills, RectanglesOutsideThePageAreClampedOrDropped) {
  RECTL r{-10, 5, 30, 40};
  EXPECT_EQ(render::ClampToPage(*pdev_, &r), 2) << "partly left of the page";
  EXPECT_EQ(r.left, 0);
  r = RECTL{30, 40, 10, 5};
  EXPECT_EQ(render::ClampToPage(*pdev_, &r), 1);
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.bottom, 40);
  const RECTL page = SurfaceBounds();
  r = RECTL{page.right - 5, 0, page.right + 5, 10};
  EXPECT_EQ(render::ClampToPage(*pdev_, &r), 2);
  EXPECT_EQ(r.right, page.right);
  r = RECTL{-30, 5, -10, 40};
  EXPECT_EQ(render::ClampToPage(*pdev_, &r), 0);
  engine::EngineBrush black = Bound(engine::EngineBrush::Solid(0));
  EXPECT_TRUE(Blit(RECTL{-30, 5, -10, 40}, &black, 0xF0F0));
  EXPECT_STREAM(Pcl(""), Run());
}

TEST_F(Fills, SourceOperationsWithoutASourceAndWideRopsFail) {
  engine::EngineBrush black = Bound(engine::EngineBrush::Solid(0));
  EXPECT_FALSE(Blit(RECTL{10, 20, 110, 70}, &black, 0xCCCC));
  EXPECT_FALSE(Blit(RECTL{10, 20, 110, 70}, &black, 0x1F0F0));
  EXPECT_STREAM(Pcl(""), Run());
}

TEST_F(Fills, ACancelledJobFailsEveryLaterBlit) {
  engine::EngineBrush black = Bound(engine::EngineBrush::Solid(0));
  ASSERT_TRUE(platform::spooler::CancelJob(jobId_));
  EXPECT_FALSE(Blit(RECTL{10, 20, 110, 70}, &black, 0xF0F0));
  EXPECT_EQ(pdev_->blitAborted, 1);
  EXPECT_STREAM(Pcl(""), Run());
}

}  // namespace
}  // namespace rendertest
