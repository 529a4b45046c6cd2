// A started page on a real device, the drawing hooks as the engine gets them, engine objects built
// by the platform, and the structure checks run over everything the test printed.
#pragma once

#include <string>
#include <vector>

#include "platform/engine_objects.h"
#include "render_fixture.h"

namespace rendertest {

namespace engine = platform::engine;

constexpr FIX Fx(LONG pixels) { return pixels * 16; }
constexpr MIX kCopyPen = 0x0D0D;  // R2_COPYPEN for foreground and background

class GraphicsTest : public RenderTest {
 protected:
  void SetUp() override {
    RenderTest::SetUp();
    pdev_ = Enable();
    ASSERT_NE(pdev_, nullptr);
    so_ = Surface(pdev_);
    ASSERT_TRUE(Hook<PFN_DrvStartDoc>(INDEX_DrvStartDoc)(&so_, const_cast<LPWSTR>(u"Report"), jobId_));
    ASSERT_TRUE(Hook<PFN_DrvStartPage>(INDEX_DrvStartPage)(&so_));
    Run();
  }

  void TearDown() override {
    if (pdev_ != nullptr) {
      Run();
      const devmode::PageGeometry& g = pdev_->doc.page;
      const testsupport::StreamLimits limits{g.width - g.left - g.right, g.height - g.top - g.bottom};
      EXPECT_EQ(testsupport::StructureProblems(all_, limits), expectedProblems_) << testsupport::Decode(all_);
    }
    RenderTest::TearDown();
  }

  // What the hooks wrote since the last call.
  std::string Run() {
    (void)render::FlushOutput(*pdev_);
    std::string s = Printed();
    all_ += s;
    return s;
  }

  RECTL SurfaceBounds() const {
    const devmode::PageGeometry& g = pdev_->doc.page;
    return RECTL{0, 0, g.width - g.left - g.right, g.height - g.top - g.bottom};
  }

  engine::EngineClip Clip(const engine::PathPoints& path, const engine::Region* region = nullptr) {
    return engine::EngineClip(region, SurfaceBounds(), engine::PathPixelBounds(path));
  }

  engine::EngineBrush Bound(engine::EngineBrush brush) {
    brush.BindDriver(&so_, Hook<PFN_DrvRealizeBrush>(INDEX_DrvRealizeBrush));
    return brush;
  }

  BOOL Stroke(const engine::PathPoints& points, engine::EngineBrush& brush, engine::LineAttrs la,
              const engine::Region* region = nullptr, MIX mix = kCopyPen) {
    engine::EnginePath path(points);
    engine::EngineClip clip = Clip(points, region);
    engine::EngineXform xform;
    return Hook<PFN_DrvStrokePath>(INDEX_DrvStrokePath)(&so_, path.get(), clip.get(), xform.get(), brush.get(),
                                                         nullptr, la.get(), mix);
  }

  BOOL Fill(const engine::PathPoints& points, engine::EngineBrush& brush, FLONG options,
            const engine::Region* region = nullptr, MIX mix = kCopyPen) {
    engine::EnginePath path(points);
    engine::EngineClip clip = Clip(points, region);
    POINTL origin{0, 0};
    return Hook<PFN_DrvFillPath>(INDEX_DrvFillPath)(&so_, path.get(), clip.get(), brush.get(), &origin, mix, options);
  }

  static engine::PathPoints Polyline(std::initializer_list<POINTL> pixels, bool closed = false) {
    engine::PathPoints p;
    bool first = true;
    for (const POINTL& q : pixels) {
      if (first) p.MoveTo(Fx(q.x), Fx(q.y));
      else p.LineTo(Fx(q.x), Fx(q.y));
      first = false;
    }
    if (closed) p.CloseFigure();
    return p;
  }

  render::Pdev* pdev_ = nullptr;
  SURFOBJ so_{};
  std::string all_;
  std::vector<std::string> expectedProblems_;
};

}  // namespace rendertest
