// The state calls of a device context: selected objects, raster operation and fill mode, arc
// direction, SaveDC/RestoreDC, mapping modes and the world transform.
#include "dc_state.h"

#include "gdi_bitmaps.h"

#include <cmath>

#include "win/error.h"

namespace platform::gdi {

DcState::DcState()
    : penHandle(GetStockObject(BLACK_PEN)),
      pen(StockPen(BLACK_PEN)),
      brushHandle(GetStockObject(WHITE_BRUSH)),
      brush(StockBrush(WHITE_BRUSH)),
      fontHandle(GetStockObject(SYSTEM_FONT)),
      font(FindFont(fontHandle)) {}

Matrix DcState::ToDevice() const {
  Matrix page = PageMatrix(this->page);
  return graphicsMode == GM_ADVANCED ? world.Then(page) : page;
}

ShapeContext DcState::Shapes() const {
  double inset = pen->geometric && pen->kind() == PS_INSIDEFRAME ? pen->width / 2.0 : 0;
  return {ToDevice(), graphicsMode == GM_COMPATIBLE, arcDirection == AD_CLOCKWISE, inset};
}

}  // namespace platform::gdi

using namespace platform::gdi;

namespace {

// The state of a device context for a call that only reads or sets it.
DcState* StateOf(HDC hdc, std::optional<DrawingTarget>& holder) {
  holder = FindDrawingTarget(hdc);
  return holder ? &holder->state() : nullptr;
}

}  // namespace

extern "C" {

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object) {
  if (HGDIOBJ previous; SelectIntoMemoryDc(hdc, object, &previous)) return previous;
  std::optional<DrawingTarget> t;
  DcState* s = StateOf(hdc, t);
  if (s == nullptr) return nullptr;
  if (auto pen = FindPen(object)) {
    HGDIOBJ previous = s->penHandle;
    s->pen = std::move(pen);
    s->penHandle = object;
    return previous;
  }
  if (auto brush = FindBrush(object)) {
    HGDIOBJ previous = s->brushHandle;
    s->brush = std::move(brush);
    s->brushHandle = object;
    return previous;
  }
  if (auto font = FindFont(object)) {
    HGDIOBJ previous = s->fontHandle;
    s->font = std::move(font);
    s->fontHandle = object;
    return previous;
  }
  if (FindRegion(object) != nullptr) {
    int complexity = ExtSelectClipRgn(hdc, static_cast<HRGN>(object), RGN_COPY);
    return reinterpret_cast<HGDIOBJ>(static_cast<intptr_t>(complexity));
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return nullptr;
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT type) {
  std::optional<DrawingTarget> t;
  DcState* s = StateOf(hdc, t);
  if (s == nullptr) return nullptr;
  if (type == OBJ_PEN || type == OBJ_EXTPEN) return s->penHandle;
  if (type == OBJ_BRUSH) return s->brushHandle;
  if (type == OBJ_FONT) return s->fontHandle;
  return nullptr;
}

int SaveDC(HDC hdc) {
  std::optional<DrawingTarget> t = FindDrawingTarget(hdc);
  if (!t) return 0;
  t->graphics->saved.push_back(t->graphics->state);
  return static_cast<int>(t->graphics->saved.size());
}

BOOL RestoreDC(HDC hdc, int savedDc) {
  std::optional<DrawingTarget> t = FindDrawingTarget(hdc);
  if (!t) return FALSE;
  auto& saved = t->graphics->saved;
  // Positive: the level SaveDC returned; negative: counted back from the latest.
  long level = savedDc > 0 ? savedDc : static_cast<long>(saved.size()) + savedDc + 1;
  if (savedDc == 0 || level < 1 || level > static_cast<long>(saved.size())) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  t->graphics->state = std::move(saved[static_cast<size_t>(level) - 1]);
  saved.resize(static_cast<size_t>(level) - 1);
  return TRUE;
}

int SetROP2(HDC hdc, int rop2) {
  std::optional<DrawingTarget> t;
  DcState* s = StateOf(hdc, t);
  if (s == nullptr) return 0;
  if (rop2 < R2_BLACK || rop2 > R2_WHITE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  int previous = s->rop2;
  s->rop2 = rop2;
  return previous;
}

int GetROP2(HDC hdc) {
  std::optional<DrawingTarget> t;
  DcState* s = StateOf(hdc, t);
  return s != nullptr ? s->rop2 : 0;
}

int SetPolyFillMode(HDC hdc, int mode) {
  std::optional<DrawingTarget> t;
  DcState* s = StateOf(hdc, t);
  if (s == nullptr) return 0;
  if (mode != ALTERNATE && mode != WINDING) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  int previous = s->polyFillMode;
  s->polyFillMode = mode;
  return previous;
}

int GetPolyFillMode(HDC hdc) {
  std::optional<DrawingTarget> t;
  DcState* s = StateOf(hdc, t);
  return s != nullptr ? s->polyFillMode : 0;
}

int SetArcDirection(HDC hdc, int direction) {
  std::optional<DrawingTarget> t;
  DcState* s = StateOf(hdc, t);
  if (s == nullptr) return 0;
  if (direction != AD_COUNTERCLOCKWISE && direction != AD_CLOCKWISE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  int previous = s->arcDirection;
  s->arcDirection = direction;
  return previous;
}

int GetArcDirection(HDC hdc) {
  std::optional<DrawingTarget> t;
  DcState* s = StateOf(hdc, t);
  return s != nullptr ? s->arcDirection : 0;
}

BOOL SetBrushOrgEx(HDC hdc, int x, int y, POINT* previous) {
  std::optional<DrawingTarget> t;
  DcState* s = StateOf(hdc, t);
  if (s == nullptr) return FALSE;
  if (previous != nullptr) *previous = s->brushOrg;
  s->brushOrg = {x, y};
  return TRUE;
}

int SetMapMode(HDC hdc, int mode) {
  std::optional<DrawingTarget> t = FindDrawingTarget(hdc);
  if (!t) return 0;
  if (mode < MM_TEXT || mode > MM_ANISOTROPIC) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  int previous = t->state().page.mapMode;
  ApplyMapMode(t->state().page, mode, t->dpiX, t->dpiY);
  return previous;
}

int GetMapMode(HDC hdc) {
  std::optional<DrawingTarget> t;
  DcState* s = StateOf(hdc, t);
  return s != nullptr ? s->page.mapMode : 0;
}

BOOL SetWindowOrgEx(HDC hdc, int x, int y, POINT* previous) {
  std::optional<DrawingTarget> t;
  DcState* s = StateOf(hdc, t);
  if (s == nullptr) return FALSE;
  if (previous != nullptr) *previous = s->page.windowOrg;
  s->page.windowOrg = {x, y};
  return TRUE;
}

BOOL SetViewportOrgEx(HDC hdc, int x, int y, POINT* previous) {
  std::optional<DrawingTarget> t;
  DcState* s = StateOf(hdc, t);
  if (s == nullptr) return FALSE;
  if (previous != nullptr) *previous = s->page.viewportOrg;
  s->page.viewportOrg = {x, y};
  return TRUE;
}

// Extents change only in the two modes that let the application scale; elsewhere the call is
// accepted and changes nothing.
BOOL SetWindowExtEx(HDC hdc, int x, int y, SIZE* previous) {
  std::optional<DrawingTarget> t = FindDrawingTarget(hdc);
  if (!t) return FALSE;
  PageSetup& page = t->state().page;
  if (previous != nullptr) *previous = page.windowExt;
  if (page.mapMode != MM_ISOTROPIC && page.mapMode != MM_ANISOTROPIC) return TRUE;
  if (x == 0 || y == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  page.windowExt = {x, y};
  if (page.mapMode == MM_ISOTROPIC) FixIsotropic(page, t->dpiX, t->dpiY);
  return TRUE;
}

BOOL SetViewportExtEx(HDC hdc, int x, int y, SIZE* previous) {
  std::optional<DrawingTarget> t = FindDrawingTarget(hdc);
  if (!t) return FALSE;
  PageSetup& page = t->state().page;
  if (previous != nullptr) *previous = page.viewportExt;
  if (page.mapMode != MM_ISOTROPIC && page.mapMode != MM_ANISOTROPIC) return TRUE;
  if (x == 0 || y == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  page.viewportExt = {x, y};
  if (page.mapMode == MM_ISOTROPIC) FixIsotropic(page, t->dpiX, t->dpiY);
  return TRUE;
}

BOOL GetWindowExtEx(HDC hdc, SIZE* size) {
  std::optional<DrawingTarget> t;
  DcState* s = StateOf(hdc, t);
  if (s == nullptr || size == nullptr) return FALSE;
  *size = s->page.windowExt;
  return TRUE;
}

BOOL GetWindowOrgEx(HDC hdc, POINT* point) {
  std::optional<DrawingTarget> t;
  DcState* s = StateOf(hdc, t);
  if (s == nullptr || point == nullptr) return FALSE;
  *point = s->page.windowOrg;
  return TRUE;
}

BOOL GetViewportOrgEx(HDC hdc, POINT* point) {
  std::optional<DrawingTarget> t;
  DcState* s = StateOf(hdc, t);
  if (s == nullptr || point == nullptr) return FALSE;
  *point = s->page.viewportOrg;
  return TRUE;
}

BOOL GetViewportExtEx(HDC hdc, SIZE* size) {
  std::optional<DrawingTarget> t;
  DcState* s = StateOf(hdc, t);
  if (s == nullptr || size == nullptr) return FALSE;
  *size = s->page.viewportExt;
  return TRUE;
}

int SetGraphicsMode(HDC hdc, int mode) {
  std::optional<DrawingTarget> t;
  DcState* s = StateOf(hdc, t);
  if (s == nullptr) return 0;
  // Back to compatible only once the world transform is the identity again.
  if ((mode != GM_COMPATIBLE && mode != GM_ADVANCED) || (mode == GM_COMPATIBLE && !s->world.IsIdentity())) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  int previous = s->graphicsMode;
  s->graphicsMode = mode;
  return previous;
}

int GetGraphicsMode(HDC hdc) {
  std::optional<DrawingTarget> t;
  DcState* s = StateOf(hdc, t);
  return s != nullptr ? s->graphicsMode : 0;
}

BOOL SetWorldTransform(HDC hdc, const XFORM* xform) {
  std::optional<DrawingTarget> t;
  DcState* s = StateOf(hdc, t);
  if (s == nullptr) return FALSE;
  if (xform == nullptr || s->graphicsMode != GM_ADVANCED || !Matrix::From(*xform).Invertible()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  s->world = Matrix::From(*xform);
  return TRUE;
}

BOOL GetWorldTransform(HDC hdc, XFORM* xform) {
  std::optional<DrawingTarget> t;
  DcState* s = StateOf(hdc, t);
  if (s == nullptr || xform == nullptr) return FALSE;
  *xform = s->world.ToXform();
  return TRUE;
}

BOOL ModifyWorldTransform(HDC hdc, const XFORM* xform, DWORD mode) {
  std::optional<DrawingTarget> t;
  DcState* s = StateOf(hdc, t);
  if (s == nullptr) return FALSE;
  if (s->graphicsMode != GM_ADVANCED || (mode != MWT_IDENTITY && xform == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Matrix next;
  switch (mode) {
    case MWT_IDENTITY: break;
    case MWT_LEFTMULTIPLY: next = Matrix::From(*xform).Then(s->world); break;
    case MWT_RIGHTMULTIPLY: next = s->world.Then(Matrix::From(*xform)); break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return FALSE;
  }
  if (!next.Invertible()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  s->world = next;
  return TRUE;
}

BOOL LPtoDP(HDC hdc, POINT* points, int count) {
  std::optional<DrawingTarget> t;
  DcState* s = StateOf(hdc, t);
  if (s == nullptr || count < 0 || (count > 0 && points == nullptr)) return FALSE;
  Matrix m = s->ToDevice();
  for (int i = 0; i < count; ++i) {
    double x, y;
    m.Apply(points[i].x, points[i].y, &x, &y);
    points[i] = {static_cast<LONG>(std::lround(x)), static_cast<LONG>(std::lround(y))};
  }
  return TRUE;
}

BOOL DPtoLP(HDC hdc, POINT* points, int count) {
  std::optional<DrawingTarget> t;
  DcState* s = StateOf(hdc, t);
  if (s == nullptr || count < 0 || (count > 0 && points == nullptr)) return FALSE;
  Matrix m = s->ToDevice();
  if (!m.Invertible()) return FALSE;
  m = m.Inverse();
  for (int i = 0; i < count; ++i) {
    double x, y;
    m.Apply(points[i].x, points[i].y, &x, &y);
    points[i] = {static_cast<LONG>(std::lround(x)), static_cast<LONG>(std::lround(y))};
  }
  return TRUE;
}

}  // extern "C"
