// A started page on a real device, the drawing hooks as the engine gets them, engine objects built
// by the platform, and the structure checks run over everything the test printed.
#pragma once

#include <string>
#include <vector>

#include "platform/engine_objects.h"
#include "graphics/graphics.h"
#include "render_fixture.h"

namespace rendertest {

namespace engine = platform::engine;

constexpr FIX Fx(LONG pixels) { return pixels * 16; }
constexpr MIX kCopyPen = 0x0D0D;  // R2_COPYPEN for foreground and background

// Path building, as GDI's GetPath lays it out.
inline void MoveTo(engine::PathPoints& p, FIX x, FIX y) {
  p.points.push_back({x, y});
  p.types.push_back(engine::kPathMoveTo);
}
inline void LineTo(engine::PathPoints& p, FIX x, FIX y) {
  p.points.push_back({x, y});
  p.types.push_back(engine::kPathLineTo);
}
inline void BezierTo(engine::PathPoints& p, POINTFIX c1, POINTFIX c2, POINTFIX end) {
  for (const POINTFIX& q : {c1, c2, end}) {
    p.points.push_back(q);
    p.types.push_back(engine::kPathBezierTo);
  }
}
inline void CloseFigure(engine::PathPoints& p) { p.types.back() |= engine::kPathCloseFigure; }

class GraphicsTest : public RenderTest {
 protected:
  void SetUp() override {
    RenderTest::SetUp();
    pdev_ = Enable();
    ASSERT_NE(pdev_, nullptr);
    so_ = Surface(pdev_);
    ASSERT_TRUE(Hook<PFN_DrvStartDoc>(INDEX_DrvStartDoc)(&so_, const_cast<LPWSTR>(u"Report"), jobId_));
    ASSERT_TRUE(Hook<PFN_DrvStartPage>(INDEX_DrvStartPage)(&so_));
    // The checks start with the drawing: the page set-up has its own tests.
    Run();
    all_.clear();
    startsInHpgl_ = pdev_->caches.CurrentLanguage == render::kLanguageHpgl2;
  }

  void TearDown() override {
    if (pdev_ != nullptr) {
      Run();
      const devmode::PageGeometry& g = pdev_->doc.page;
      const testsupport::StreamLimits limits{g.width - g.left - g.right, g.height - g.top - g.bottom, startsInHpgl_};
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
      if (first) MoveTo(p, Fx(q.x), Fx(q.y));
      else LineTo(p, Fx(q.x), Fx(q.y));
      first = false;
    }
    if (closed) CloseFigure(p);
    return p;
  }

  render::Pdev* pdev_ = nullptr;
  SURFOBJ so_{};
  std::string all_;
  bool startsInHpgl_ = false;
  std::vector<std::string> expectedProblems_;
};

}  // namespace rendertest
