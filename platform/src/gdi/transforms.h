// Logical to device coordinates: the page transform of the mapping mode (window and viewport
// origins and extents) after the world transform of GM_ADVANCED.
#pragma once

#include "win/wingdi.h"

namespace platform::gdi {

// x' = x·m11 + y·m21 + dx, y' = x·m12 + y·m22 + dy, as XFORM.
struct Matrix {
  double m11 = 1, m12 = 0, m21 = 0, m22 = 1, dx = 0, dy = 0;

  static Matrix From(const XFORM& x) { return {x.eM11, x.eM12, x.eM21, x.eM22, x.eDx, x.eDy}; }
  XFORM ToXform() const;
  // This transform, then `next`.
  Matrix Then(const Matrix& next) const;
  double Determinant() const { return m11 * m22 - m12 * m21; }
  bool Invertible() const;
  Matrix Inverse() const;
  bool IsIdentity() const { return m11 == 1 && m12 == 0 && m21 == 0 && m22 == 1 && dx == 0 && dy == 0; }
  // Scales and translates only: a rectangle stays a rectangle on the device.
  bool AxisAligned() const { return m12 == 0 && m21 == 0; }
  void Apply(double x, double y, double* ox, double* oy) const {
    *ox = x * m11 + y * m21 + dx;
    *oy = x * m12 + y * m22 + dy;
  }
};

struct PageSetup {
  int mapMode = MM_TEXT;
  POINT windowOrg{0, 0};
  POINT viewportOrg{0, 0};
  SIZE windowExt{1, 1};
  SIZE viewportExt{1, 1};
};

// The extents a fixed mapping mode gives a device of the given resolution; ISOTROPIC starts from
// the metric ones and ANISOTROPIC keeps what it had.
void ApplyMapMode(PageSetup& page, int mode, int dpiX, int dpiY);
// Shrinks one viewport extent so both axes have the same scale on the device (MM_ISOTROPIC).
void FixIsotropic(PageSetup& page, int dpiX, int dpiY);
Matrix PageMatrix(const PageSetup& page);

}  // namespace platform::gdi
