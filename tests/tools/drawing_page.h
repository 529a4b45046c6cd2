// A printed page on a printer device context over the fake driver, and the figures a drawing hook
// received, for the drawing tests.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_driver.h"
#include "platform/spooler_admin.h"
#include "platform/test_hooks.h"
#include "support/temp_dir.h"
#include "win/error.h"
#include "win/winddi.h"
#include "win/wingdi.h"

inline bool operator==(const RECTL& a, const RECTL& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

namespace drawing {

inline fakes::DriverState& Driver() {
  static fakes::DriverState* state = [] {
    void* module = dlopen(FAKE_DRIVER_PATH, RTLD_NOW);  // kept loaded: the state outlives the DCs
    return module != nullptr ? reinterpret_cast<fakes::DriverStateFn>(dlsym(module, "FakeDriverState"))() : nullptr;
  }();
  return *state;
}

// One figure of a PATHOBJ: its start point, then each point with whether it is a Bézier point.
struct Figure {
  std::vector<POINTFIX> points;
  std::vector<bool> bezier;  // per point after the start
  bool closed = false;
  size_t Beziers() const { return static_cast<size_t>(std::count(bezier.begin(), bezier.end(), true)); }
};

inline std::vector<Figure> FiguresOf(const fakes::DrawCall& call) {
  std::vector<Figure> figures;
  for (const auto& record : call.path) {
    size_t from = 0;
    if (record.flags & PD_BEGINSUBPATH) {
      figures.emplace_back();
      figures.back().points.push_back(record.points.at(0));
      from = 1;
    }
    if (figures.empty()) ADD_FAILURE() << "a record before any subpath began";
    if (figures.empty()) return figures;
    for (size_t i = from; i < record.points.size(); ++i) {
      figures.back().points.push_back(record.points[i]);
      figures.back().bezier.push_back((record.flags & PD_BEZIERS) != 0);
    }
    if (record.flags & PD_CLOSEFIGURE) figures.back().closed = true;
  }
  return figures;
}

inline bool Near(const POINTFIX& a, const POINTFIX& b, LONG tolerance = 1) {
  return std::abs(a.x - b.x) <= tolerance && std::abs(a.y - b.y) <= tolerance;
}

inline std::string Str(const POINTFIX& p) { return "(" + std::to_string(p.x) + "," + std::to_string(p.y) + ")"; }
inline std::string Str(const RECTL& r) {
  return "{" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom) + "}";
}

// A device context with a document and a page open; the drawing hooks' records start empty.
class PageTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(&Driver(), nullptr);
    Driver().calls.clear();
    Driver().failing.clear();
    Driver().surfaceErrors.clear();
    Driver().hooks = fakes::kDrawingHooks;
    Driver().refuseLikePrinter = true;
    Driver().refuseText = false;
    platform::hooks::SetPlatformRoot(dir.str());
    platform::spooler::PrinterConfig config;
    config.name = u"Fake R7700";
    config.driverName = u"Fake";
    config.driverPath = FAKE_DRIVER_PATH;
    config.port = "MEMORY:";
    ASSERT_TRUE(platform::spooler::AddPrinter(config));
    Open();
  }

  void Open() {
    hdc = CreateDCW(u"WINSPOOL", u"Fake R7700", nullptr, nullptr);
    ASSERT_NE(hdc, nullptr);
    ASSERT_GT(StartDocW(hdc, nullptr), 0);
    ASSERT_EQ(StartPage(hdc), 1);
    Driver().draws.clear();
  }

  void TearDown() override {
    if (hdc != nullptr) {
      EXPECT_EQ(EndPage(hdc), 1);
      EXPECT_EQ(EndDoc(hdc), 1);
      EXPECT_TRUE(DeleteDC(hdc));
    }
    platform::hooks::TakeMemoryPrinterBytes(u"Fake R7700");
    EXPECT_TRUE(Driver().surfaceErrors.empty());
  }

  // The drawing hook calls since the last take.
  std::vector<fakes::DrawCall> Take() {
    std::vector<fakes::DrawCall> out;
    out.swap(Driver().draws);
    return out;
  }

  static std::string Hooks(const std::vector<fakes::DrawCall>& calls) {
    std::string s;
    for (const auto& c : calls) s += (s.empty() ? "" : " ") + c.hook + (c.accepted ? "" : "(refused)");
    return s;
  }

  testsupport::TempDir dir;
  HDC hdc = nullptr;
};

}  // namespace drawing
