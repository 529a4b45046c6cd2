// PCL page setup, the HP-GL/2 page initialisation, the page transform and the N-up layout.
#include "render_fixture.h"

namespace rendertest {
namespace {

using testsupport::Pcl;
using testsupport::PclF;

std::string Pending(render::Pdev* pdev) {
  std::string s(reinterpret_cast<const char*>(pdev->channel.buffer), pdev->channel.fill);
  render::ResetOutputBuffer(*pdev);
  return s;
}

std::string Frame(int width, int height, int top) {
  return PclF("\\e&a0P\\e*p0x0Y\\e*c0T\\e*c%dx%dY\\e*p0x%dY", width, height, top);
}

constexpr char kHpglPortrait[] = "WU;TR0;AC6,4;SP1;CF2;PP1;PW0;TD1;IW;";

class PageSetup : public RenderTest {
 protected:
  render::Pdev* Start() {
    stored_.pub.dmDefaultSource = 7;
    render::Pdev* pdev = Enable();
    if (pdev == nullptr) return nullptr;
    SURFOBJ so = Surface(pdev);
    EXPECT_TRUE(Hook<PFN_DrvStartDoc>(INDEX_DrvStartDoc)(&so, nullptr, 1));
    return pdev;
  }
};

TEST_F(PageSetup, FirstSheetOfPortraitA4) {
  render::Pdev* pdev = Start();
  ASSERT_NE(pdev, nullptr);
  render::WritePageSetup(*pdev, 2);
  render::WriteHpglPageInit(*pdev);
  EXPECT_STREAM(PclF("\\e%%0A\\e&l0O\\e&l%dH\\e&n6WdPLAIN\\e&l26A\\e&l9c1E\\e&k23H\\e&a1L", devmode::PclPaperSource(2)) +
                    Frame(5668, 8134, 118) + Pcl("\\e%0B") + kHpglPortrait + "SC-0,1.6933,-0,-1.6933,2RO0IR0,100,0,100",
                Pending(pdev));
}

TEST_F(PageSetup, LaterSheetsRepeatOnlyWhatMayHaveChanged) {
  render::Pdev* pdev = Start();
  ASSERT_NE(pdev, nullptr);
  render::WritePageSetup(*pdev, 2);
  render::WriteHpglPageInit(*pdev);
  Pending(pdev);
  render::WritePageSetup(*pdev, 2);
  EXPECT_STREAM(Pcl("\\e%0A\\e&l0O\\e&n6WdPLAIN") + Frame(5668, 8134, 118), Pending(pdev));
  render::WritePageSetup(*pdev, 3);  // another tray
  EXPECT_STREAM(PclF("\\e&l0O\\e&l%dH\\e&n6WdPLAIN", devmode::PclPaperSource(3)) + Frame(5668, 8134, 118),
                Pending(pdev));
}

TEST_F(PageSetup, ReverseOrderKeepsTrayPaperAndMarginsOutOfThePages) {
  render::Pdev* pdev = Start();
  ASSERT_NE(pdev, nullptr);
  pdev->settings.priv.ReverseOrder = 1;
  render::WritePageSetup(*pdev, 1);
  render::WritePageSetup(*pdev, 2);
  const std::string sheet = Pcl("\\e&l0O\\e&n6WdPLAIN") + Frame(5668, 8134, 118);
  EXPECT_STREAM(Pcl("\\e%0A") + sheet + sheet, Pending(pdev));
  EXPECT_EQ(pdev->doc.lastTray, 2);
  EXPECT_EQ(pdev->doc.lastPaperSent, 9);
}

TEST_F(PageSetup, LandscapeTurnedRoundUsesReverseLandscape) {
  stored_.pub.dmOrientation = 2;
  render::Pdev* pdev = Start();
  ASSERT_NE(pdev, nullptr);
  pdev->settings.priv.Rotate180 = 1;
  pdev->settings.pub.dmMediaType = 257;
  const devmode::PageGeometry g = pdev->doc.outputPaper;
  ASSERT_GT(g.width, g.height);
  render::WritePageSetup(*pdev, 2);
  render::WriteHpglPageInit(*pdev);
  EXPECT_STREAM(PclF("\\e%%0A\\e&l3O\\e&l%dH\\e&n6WdTOUGH\\e&l26A\\e&l%dc1E\\e&k%dH\\e&a1L", devmode::PclPaperSource(2),
                     g.top * 48 / 600, g.left * 120 / 600) +
                    Frame((g.width - g.left - g.right) * 6 / 5, (g.height - g.top - g.bottom) * 6 / 5, g.top) +
                    Pcl("\\e%0BWU;TR0;AC14,4;SP1;CF2;PP1;PW0;TD1;IW;SC-0,1.6933,-0,-1.6933,2RO0IR0,100,0,100"),
                Pending(pdev));
}

TEST_F(PageSetup, ZoomScalesHpglAndCursorPositions) {
  render::Pdev* pdev = Start();
  ASSERT_NE(pdev, nullptr);
  pdev->settings.priv.ScaleMode = 1;
  pdev->settings.priv.ScalePercent = 50;
  render::ResetPageTransform(*pdev);
  render::WriteHpglPageInit(*pdev);
  render::MovePclCursor(*pdev, 1000, 2001);
  render::MovePclCursor(*pdev, 7, 9);
  EXPECT_STREAM(Pcl("\\e%0B") + kHpglPortrait + Pcl("SC-0,0.8466,-0,-0.8466,2RO0IR0,100,0,100\\e%1A\\e*p500x1000Y\\e*p3x4Y"),
                Pending(pdev));
  pdev->settings.priv.ScaleMode = 0;  // the percentage alone does not zoom
  render::ResetPageTransform(*pdev);
  render::MovePclCursor(*pdev, 1000, 2001);
  EXPECT_STREAM(Pcl("\\e*p1000x2001Y"), Pending(pdev));
}

TEST_F(PageSetup, FactorsBelowOneTenthKeepTheirPlaces) {
  render::Pdev* pdev = Start();
  ASSERT_NE(pdev, nullptr);
  pdev->doc.scaleX = pdev->doc.scaleY = 5;  // 0.0846
  render::WriteHpglPageInit(*pdev);
  EXPECT_STREAM(Pcl("\\e%0B") + kHpglPortrait + "SC-0,0.0846,-0,-0.0846,2RO0IR0,100,0,100", Pending(pdev));
}

TEST_F(PageSetup, PaperSizeCommands) {
  render::Pdev* pdev = Start();
  ASSERT_NE(pdev, nullptr);
  pdev->settings.pub.dmPaperWidth = 1000;
  pdev->settings.pub.dmPaperLength = 2000;
  render::WritePaperSize(*pdev, 300);  // 1000 x 720 / 254 = 2834, 2000 x 720 / 254 = 5669
  pdev->settings.priv.feedShortEdge = 0;
  render::WritePaperSize(*pdev, 11);
  pdev->settings.priv.feedShortEdge = 1;
  render::WritePaperSize(*pdev, 11);
  render::WritePaperSize(*pdev, 200);  // not in the table
  EXPECT_STREAM(Pcl("\\e%0A\\e&f2834i5669J\\e&l101A\\e&l318A\\e&l25A\\e&l26A"), Pending(pdev));
}

TEST_F(PageSetup, LandscapeCustomPaperIsClampedInItsOwnFrameThenTurned) {
  render::Pdev* pdev = Start();
  ASSERT_NE(pdev, nullptr);
  pdev->doc.orientation = 2;
  // 100 x 200 mm: the 100 mm width is within the limits and must not grow to the least length.
  pdev->settings.pub.dmPaperWidth = 1000;
  pdev->settings.pub.dmPaperLength = 2000;
  render::WritePaperSize(*pdev, 300);
  // 216 x 356 mm: the length keeps its limit and the width its own.
  pdev->settings.pub.dmPaperWidth = 2160;
  pdev->settings.pub.dmPaperLength = 3560;
  render::WritePaperSize(*pdev, 300);
  // 80 x 500 mm: each side brought to its own limit before they change places.
  pdev->settings.pub.dmPaperWidth = 800;
  pdev->settings.pub.dmPaperLength = 5000;
  render::WritePaperSize(*pdev, 300);
  EXPECT_STREAM(Pcl("\\e%0A\\e&f5669i2834J\\e&l101A\\e&f10091i6122J\\e&l101A\\e&f10091i2550J\\e&l101A"),
                Pending(pdev));
}

TEST_F(PageSetup, MarginsAreOneGroupPerEscape) {
  render::Pdev* pdev = Start();
  ASSERT_NE(pdev, nullptr);
  pdev->doc.outputPaper.top = 300;
  pdev->doc.outputPaper.left = 250;
  render::WriteMargins(*pdev);
  const std::string out = Pending(pdev);
  EXPECT_STREAM(Pcl("\\e&l24c1E\\e&k50H\\e&a1L"), out);
  EXPECT_EQ(testsupport::StructureFaults(out), std::vector<std::string>{});
}

// --- N-up ---

struct Placed {
  RECTL cell;
  RECTL page;
};

class NupLayout : public PageSetup {
 protected:
  // Lays out a whole sheet as the first sheet of a document does.
  std::vector<Placed> Sheet(render::Pdev* pdev, int n, int order, bool border = false) {
    pdev->settings.priv.PagesPerSheet = static_cast<uint8_t>(n);
    pdev->settings.priv.NupOrder = static_cast<uint8_t>(order);
    pdev->settings.priv.NupBorder = border ? 1 : 0;
    pdev->doc.nupArrangement = render::kNupNotChosen;
    render::ResetPageTransform(*pdev);
    pdev->doc.nupSheet = pdev->doc.outputPaper;
    render::ComputeNupLayout(*pdev);
    std::vector<Placed> out;
    for (int k = 0; k < n; ++k) {
      render::PlaceNupPage(*pdev, k);
      out.push_back({pdev->doc.nupPlacement.cell, pdev->doc.nupPlacement.page});
    }
    return out;
  }
};

struct Expectation {
  int n;
  int columns;  // in the sheet's orientation in force
  int rows;
  bool turned;
};

TEST_F(NupLayout, CellsTileTheSheetAndPagesAreCentredUprightInOrder) {
  // Portrait A4 pages; landscape pages exchange columns and rows.
  const Expectation portrait[] = {{2, 2, 1, true}, {4, 2, 2, false}, {6, 3, 2, true},
                                  {8, 4, 2, true}, {9, 3, 3, false}, {16, 4, 4, false}};
  for (int orientation : {1, 2}) {
    stored_.pub.dmOrientation = static_cast<SHORT>(orientation);
    render::Pdev* pdev = Start();
    ASSERT_NE(pdev, nullptr);
    const devmode::PageGeometry page = pdev->doc.page;
    for (const Expectation& e : portrait) {
      for (int order = 0; order < 4; ++order) {
        SCOPED_TRACE(testing::Message() << "orientation " << orientation << ", " << e.n << " up, order " << order);
        std::vector<Placed> sheet = Sheet(pdev, e.n, order);
        const int columns = orientation == 1 || !e.turned ? e.columns : e.rows;
        const int rows = orientation == 1 || !e.turned ? e.rows : e.columns;
        EXPECT_EQ(pdev->doc.nupColumns, columns);
        EXPECT_EQ(pdev->doc.nupRows, rows);
        EXPECT_EQ(pdev->doc.orientation, e.turned ? 3 - orientation : orientation);
        const devmode::PageGeometry& s = pdev->doc.outputPaper;
        const LONG width = s.width - s.left - s.right, height = s.height - s.top - s.bottom;
        // the sheet is turned only when the orientation changed
        EXPECT_EQ(s.width > s.height, (pdev->doc.orientation == 2));
        EXPECT_EQ(pdev->doc.scaleX, static_cast<int32_t>(pdev->doc.nupFactor * 100));
        int64_t area = 0;
        bool fills = false;
        for (size_t k = 0; k < sheet.size(); ++k) {
          const RECTL& c = sheet[k].cell;
          const RECTL& p = sheet[k].page;
          area += static_cast<int64_t>(c.right - c.left) * (c.bottom - c.top);
          EXPECT_GE(c.left, 0);
          EXPECT_GE(c.top, 0);
          EXPECT_LE(c.right, width);
          EXPECT_LE(c.bottom, height);
          for (size_t j = 0; j < k; ++j) {
            const RECTL& o = sheet[j].cell;
            EXPECT_TRUE(c.right <= o.left || o.right <= c.left || c.bottom <= o.top || o.bottom <= c.top) << k << " " << j;
          }
          // inside and centred, one factor for both axes, upright
          EXPECT_LE(c.left, p.left);
          EXPECT_LE(p.right, c.right);
          EXPECT_LE(c.top, p.top);
          EXPECT_LE(p.bottom, c.bottom);
          EXPECT_NEAR(p.left - c.left, c.right - p.right, 2);
          EXPECT_NEAR(p.top - c.top, c.bottom - p.bottom, 2);
          EXPECT_NEAR(p.right - p.left, page.width * pdev->doc.nupFactor, 1);
          EXPECT_NEAR(p.bottom - p.top, page.height * pdev->doc.nupFactor, 1);
          fills = fills || std::abs((p.right - p.left) - (c.right - c.left)) <= 1 ||
                  std::abs((p.bottom - p.top) - (c.bottom - c.top)) <= 1;
        }
        EXPECT_TRUE(fills) << "the factor is not the largest that fits";
        EXPECT_NEAR(area, static_cast<int64_t>(width) * height, 2 * (columns + rows) * std::max(width, height));
        // where the first two pages go
        const RECTL& first = sheet[0].cell;
        const RECTL& second = sheet[1].cell;
        EXPECT_EQ(first.top, 0);
        if (order == 0 || order == 1) EXPECT_EQ(first.left, 0);
        else EXPECT_NEAR(first.right, width, 1);
        const bool alongRow = (order == 0 || order == 2) ? columns > 1 : rows == 1;
        if (alongRow) {
          EXPECT_EQ(second.top, first.top);
          if (order == 0 || order == 1) EXPECT_GT(second.left, first.left);
          else EXPECT_LT(second.left, first.left);
        } else {
          EXPECT_EQ(second.left, first.left);
          EXPECT_GT(second.top, first.top);
        }
      }
    }
  }
}

TEST_F(NupLayout, ArrangementIsKeptForTheWholeDocument) {
  render::Pdev* pdev = Start();
  ASSERT_NE(pdev, nullptr);
  Sheet(pdev, 6, 0);
  ASSERT_EQ(pdev->doc.nupArrangement, render::kNupTurned);
  pdev->doc.nupArrangement = render::kNupUprightA;  // as if the first sheet had chosen it
  render::ComputeNupLayout(*pdev);
  EXPECT_EQ(pdev->doc.nupArrangement, render::kNupUprightA);
  EXPECT_EQ(pdev->doc.orientation, 1);
  EXPECT_EQ(pdev->doc.nupColumns, 2);
  EXPECT_EQ(pdev->doc.nupRows, 3);
}

TEST_F(NupLayout, BordersLeaveRoomAndAreDrawnInsideTheCell) {
  render::Pdev* pdev = Start();
  ASSERT_NE(pdev, nullptr);
  std::vector<Placed> sheet = Sheet(pdev, 4, 0, true);
  for (const Placed& p : sheet) {
    EXPECT_GT(p.page.left, p.cell.left + 15);
    EXPECT_LT(p.page.right, p.cell.right - 15);
    EXPECT_GT(p.page.top, p.cell.top + 15);
    EXPECT_LT(p.page.bottom, p.cell.bottom - 15);
  }
  render::PlaceNupPage(*pdev, 3);
  const RECTL c = pdev->doc.nupPlacement.cell;
  Pending(pdev);
  pdev->caches.CurrentLanguage = render::kLanguagePcl;
  render::ResetGraphicsCaches(*pdev);
  render::WriteNupBorder(*pdev);
  const int x0 = c.left + 15, y0 = c.top + 15, x1 = c.right - 15, y1 = c.bottom - 15;
  EXPECT_STREAM(Pcl("\\e%0BSC0,1.6933,0,-1.6933,2RO0IR0,100,0,100;SP1PC1,0,0,0WU0;PW0.042333IWMC1,240") +
                    PclF("PU%d,%dPD%d,%d;PU%d,%dPD%d,%d;PU%d,%dPD%d,%d;PU%d,%dPD%d,%d;\\e%%0A", x0, y0, x1, y0, x1, y0,
                         x1, y1, x1, y1, x0, y1, x0, y1, x0, y0),
                Pending(pdev));
}

TEST_F(NupLayout, CursorAndScalingFollowTheCell) {
  render::Pdev* pdev = Start();
  ASSERT_NE(pdev, nullptr);
  Sheet(pdev, 4, 0);
  render::PlaceNupPage(*pdev, 1);
  const double f = pdev->doc.nupFactor;
  const int ox = pdev->doc.pclOffsetX, oy = pdev->doc.pclOffsetY;
  EXPECT_GT(ox, pdev->doc.nupPlacement.cell.left);
  Pending(pdev);
  pdev->caches.CurrentLanguage = render::kLanguagePcl;
  render::MovePclCursor(*pdev, 1000, 500);
  EXPECT_STREAM(PclF("\\e*p%dx%dY", static_cast<int>(1000 * f) + ox, static_cast<int>(500 * f) + oy), Pending(pdev));
  render::WriteHpglPageInit(*pdev);
  char factor[16];
  std::snprintf(factor, sizeof factor, "%d.%04d", static_cast<int>(f * 1016 / 600 * 10000) / 10000,
                static_cast<int>(f * 1016 / 600 * 10000) % 10000);
  EXPECT_STREAM(Pcl("\\e%0B") + kHpglPortrait + Pcl("\\e%0A\\e&a0P\\e%0B") +
                    PclF("SC-%d,%s,-%d,-%s,2RO0IR0,100,0,100", pdev->doc.hpglOffsetX, factor, pdev->doc.hpglOffsetY,
                         factor),
                Pending(pdev));
  EXPECT_NEAR(pdev->doc.hpglOffsetX * f, ox, f + 1);  // HP-GL/2 lands where PCL does
}

}  // namespace
}  // namespace rendertest
