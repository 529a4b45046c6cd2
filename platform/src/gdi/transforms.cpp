// Mapping modes and the matrices of the page and world transforms.
#include "transforms.h"

#include <cmath>

namespace platform::gdi {

XFORM Matrix::ToXform() const {
  return {static_cast<FLOAT>(m11), static_cast<FLOAT>(m12), static_cast<FLOAT>(m21),
          static_cast<FLOAT>(m22), static_cast<FLOAT>(dx),  static_cast<FLOAT>(dy)};
}

Matrix Matrix::Then(const Matrix& n) const {
  Matrix r;
  r.m11 = m11 * n.m11 + m12 * n.m21;
  r.m12 = m11 * n.m12 + m12 * n.m22;
  r.m21 = m21 * n.m11 + m22 * n.m21;
  r.m22 = m21 * n.m12 + m22 * n.m22;
  r.dx = dx * n.m11 + dy * n.m21 + n.dx;
  r.dy = dx * n.m12 + dy * n.m22 + n.dy;
  return r;
}

bool Matrix::Invertible() const {
  double d = Determinant();
  return std::isfinite(d) && std::fabs(d) > 1e-12;
}

Matrix Matrix::Inverse() const {
  double d = Determinant();
  Matrix r;
  r.m11 = m22 / d;
  r.m12 = -m12 / d;
  r.m21 = -m21 / d;
  r.m22 = m11 / d;
  r.dx = (m21 * dy - m22 * dx) / d;
  r.dy = (m12 * dx - m11 * dy) / d;
  return r;
}

void ApplyMapMode(PageSetup& page, int mode, int dpiX, int dpiY) {
  // Units per inch of the fixed modes; the y axis points up in all of them.
  int perInch = 0;
  switch (mode) {
    case MM_LOMETRIC: perInch = 254; break;
    case MM_HIMETRIC: perInch = 2540; break;
    case MM_LOENGLISH: perInch = 100; break;
    case MM_HIENGLISH: perInch = 1000; break;
    case MM_TWIPS: perInch = 1440; break;
    case MM_ISOTROPIC: perInch = 254; break;
    default: break;
  }
  page.mapMode = mode;
  if (mode == MM_TEXT) {
    page.windowExt = {1, 1};
    page.viewportExt = {1, 1};
  } else if (perInch != 0) {
    page.windowExt = {perInch, perInch};
    page.viewportExt = {dpiX, -dpiY};
  }
}

void FixIsotropic(PageSetup& page, int dpiX, int dpiY) {
  if (page.windowExt.cx == 0 || page.windowExt.cy == 0 || dpiX <= 0 || dpiY <= 0) return;
  double xdim = std::fabs(static_cast<double>(page.viewportExt.cx) / page.windowExt.cx) / dpiX;
  double ydim = std::fabs(static_cast<double>(page.viewportExt.cy) / page.windowExt.cy) / dpiY;
  auto shrink = [](LONG& extent, double ratio) {
    LONG v = static_cast<LONG>(std::floor(extent * ratio + 0.5));
    extent = v != 0 ? v : (extent < 0 ? -1 : 1);
  };
  if (xdim > ydim) {
    shrink(page.viewportExt.cx, ydim / xdim);
  } else if (ydim > xdim) {
    shrink(page.viewportExt.cy, xdim / ydim);
  }
}

Matrix PageMatrix(const PageSetup& page) {
  double sx = static_cast<double>(page.viewportExt.cx) / page.windowExt.cx;
  double sy = static_cast<double>(page.viewportExt.cy) / page.windowExt.cy;
  return {sx, 0, 0, sy, page.viewportOrg.x - page.windowOrg.x * sx, page.viewportOrg.y - page.windowOrg.y * sy};
}

}  // namespace platform::gdi
