// N-up: several logical pages on one sheet. The grid is chosen once per document; every page is
// scaled by one factor for both axes and centred in its cell. When the pages are turned, the
// sheet takes the other orientation, so in the sheet's own coordinates the pages stand upright
// (print direction and HP-GL/2 rotation stay 0) and the cell order reads as the order names it.
#include <algorithm>
#include <utility>

#include "pdev.h"

namespace render {
namespace {

constexpr int kBorderGap = 30;    // pixels per cell kept free for the border
constexpr int kBorderInset = 15;  // the border runs this far inside the cell's edges

constexpr char kBorderScale[] = "SC0,1.6933,0,-1.6933,2RO0";  // device pixels, y down, no rotation
constexpr char kBorderInputRelative[] = "IR0,100,0,100;";
constexpr char kBorderPen[] = "SP1";
constexpr char kBorderPenColour[] = "PC1,0,0,0";
constexpr char kBorderPenWidth[] = "WU0;PW0.042333";  // thinnest line, in millimetres
constexpr char kBorderWindow[] = "IW";
constexpr char kBorderStroke[] = "PU%d,%dPD%d,%d;";

struct Grid {
  int g;
  int h;
};

Grid PortraitGrid(int n) {
  switch (n) {
    case 2: return {2, 1};
    case 4: return {2, 2};
    case 6: return {3, 2};
    case 8: return {4, 2};
    case 9: return {3, 3};
    case 16: return {4, 4};
    default: return {1, 1};
  }
}

devmode::PageGeometry Swapped(const devmode::PageGeometry& g) {
  return {g.height, g.width, g.top, g.left, g.bottom, g.right};
}

struct Candidate {
  devmode::PageGeometry sheet;
  int columns;
  int rows;
  double factor;
};

Candidate Evaluate(const devmode::PageGeometry& sheet, int columns, int rows, const devmode::PageGeometry& page,
                   bool border) {
  double w = sheet.width - sheet.left - sheet.right, h = sheet.height - sheet.top - sheet.bottom;
  if (border) {
    w -= kBorderGap * columns + sheet.right;
    h -= kBorderGap * rows;
  }
  double pw = page.width > 0 ? page.width : 1, ph = page.height > 0 ? page.height : 1;
  double factor = std::min(w / columns / pw, h / rows / ph);
  return {sheet, columns, rows, factor > 0 ? factor : 0.01};
}

}  // namespace

void ComputeNupLayout(Pdev& pdev) {
  DocumentState& doc = pdev.doc;
  const devmode::RenderPrivate& p = pdev.settings.priv;
  const int n = p.PagesPerSheet;
  const bool border = p.NupBorder != 0;
  const bool landscapePages = pdev.settings.pub.dmOrientation == 2;
  Grid grid = PortraitGrid(n);
  const bool twoWay = n == 2 || n == 6 || n == 8;
  if (landscapePages && twoWay) std::swap(grid.g, grid.h);
  const devmode::PageGeometry& sheet = doc.nupSheet;
  const devmode::PageGeometry& page = doc.page;

  Candidate chosen = Evaluate(sheet, grid.g, grid.h, page, border);
  int8_t arrangement = kNupUprightB;
  if (twoWay) {
    Candidate turned = Evaluate(Swapped(sheet), grid.g, grid.h, page, border);
    Candidate uprightA = Evaluate(sheet, grid.h, grid.g, page, border);
    Candidate uprightB = chosen;
    arrangement = doc.nupArrangement;
    if (arrangement == kNupNotChosen) {
      if (n == 2) {
        arrangement = kNupTurned;
      } else if (uprightA.factor > turned.factor && uprightA.factor > uprightB.factor) {
        arrangement = kNupUprightA;
      } else if (uprightB.factor > turned.factor && uprightB.factor > uprightA.factor) {
        arrangement = kNupUprightB;
      } else {
        arrangement = kNupTurned;
      }
    }
    chosen = arrangement == kNupTurned ? turned : arrangement == kNupUprightA ? uprightA : uprightB;
  }
  doc.nupArrangement = arrangement;
  doc.outputPaper = chosen.sheet;
  doc.orientation = static_cast<int16_t>(arrangement == kNupTurned ? 3 - pdev.settings.pub.dmOrientation
                                                                     : pdev.settings.pub.dmOrientation);
  doc.hpglRotation = 0;
  doc.nupColumns = static_cast<int16_t>(chosen.columns);
  doc.nupRows = static_cast<int16_t>(chosen.rows);
  doc.nupFactor = chosen.factor;
  doc.scaleX = doc.scaleY = static_cast<int32_t>(chosen.factor * 100);
  doc.nupLayoutPage = page;
}

bool NupLayoutStale(const Pdev& pdev) {
  const devmode::PageGeometry& now = pdev.doc.page;
  const devmode::PageGeometry& was = pdev.doc.nupLayoutPage;
  return !(now == was || now == Swapped(was));
}

void PlaceNupPage(Pdev& pdev, int32_t pageIndex) {
  DocumentState& doc = pdev.doc;
  const devmode::RenderPrivate& p = pdev.settings.priv;
  const int n = std::max<int>(1, p.PagesPerSheet);
  const int columns = std::max<int>(1, doc.nupColumns), rows = std::max<int>(1, doc.nupRows);
  const int cell = static_cast<int>(((pageIndex % n) + n) % n);
  int column, row;
  switch (p.NupOrder) {
    case 1: row = cell % rows; column = cell / rows; break;
    case 2: column = columns - 1 - cell % columns; row = cell / columns; break;
    case 3: row = cell % rows; column = columns - 1 - cell / rows; break;
    default: column = cell % columns; row = cell / columns; break;
  }
  column = std::clamp(column, 0, columns - 1);
  row = std::clamp(row, 0, rows - 1);
  const devmode::PageGeometry& sheet = doc.outputPaper;
  const double sheetW = sheet.width - sheet.left - sheet.right, sheetH = sheet.height - sheet.top - sheet.bottom;
  const double cellW = sheetW / columns, cellH = sheetH / rows;
  const double pageW = doc.page.width * doc.nupFactor, pageH = doc.page.height * doc.nupFactor;
  const double x = column * cellW + (cellW - pageW) / 2, y = row * cellH + (cellH - pageH) / 2;
  NupPlacement& place = doc.nupPlacement;
  place.cell = {static_cast<LONG>(column * cellW), static_cast<LONG>(row * cellH), static_cast<LONG>((column + 1) * cellW),
                static_cast<LONG>((row + 1) * cellH)};
  place.page = {static_cast<LONG>(x), static_cast<LONG>(y), static_cast<LONG>(x + pageW), static_cast<LONG>(y + pageH)};
  // The drawing surface starts at the page's printable corner, inside the centred paper box.
  doc.pclOffsetX = static_cast<int32_t>(x + doc.page.left * doc.nupFactor);
  doc.pclOffsetY = static_cast<int32_t>(y + doc.page.top * doc.nupFactor);
  // HP-GL/2 user units are logical-page pixels, scaled by the cell factor.
  doc.hpglOffsetX = static_cast<int32_t>(doc.pclOffsetX / doc.nupFactor);
  doc.hpglOffsetY = static_cast<int32_t>(doc.pclOffsetY / doc.nupFactor);
}

int WriteNupBorder(Pdev& pdev) {
  const RECTL& c = pdev.doc.nupPlacement.cell;
  const LONG x0 = c.left + kBorderInset, y0 = c.top + kBorderInset;
  const LONG x1 = c.right - kBorderInset, y1 = c.bottom - kBorderInset;
  EnterHpgl2(pdev, 0);
  WriteCommand(pdev, kBorderScale);
  WriteCommand(pdev, kBorderInputRelative);
  WriteCommand(pdev, kBorderPen);
  WriteCommand(pdev, kBorderPenColour);
  WriteCommand(pdev, kBorderPenWidth);
  WriteCommand(pdev, kBorderWindow);
  SetMergeControl(pdev, 240, 0);
  WriteCommand(pdev, kBorderStroke, x0, y0, x1, y0);
  WriteCommand(pdev, kBorderStroke, x1, y0, x1, y1);
  WriteCommand(pdev, kBorderStroke, x1, y1, x0, y1);
  WriteCommand(pdev, kBorderStroke, x0, y1, x0, y0);
  return EnterPcl(pdev, 0);
}

}  // namespace render
