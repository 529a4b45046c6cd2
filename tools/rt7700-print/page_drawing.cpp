#include "page_drawing.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "text_op.h"
#include "image_ops.h"
#include "win/error.h"

namespace rt7700print {
namespace {

// Logical units per inch: hundredths of a point or of a millimetre.
int LogicalPerInch(Unit unit) { return unit == Unit::Point ? 72 * kLogicalPerUnit : 254 * kLogicalPerUnit / 10; }

class PageReplay {
 public:
  PageReplay(HDC hdc, const PageDrawing& page, Unit unit) : hdc_(hdc), page_(page), unit_(unit) {}

  ~PageReplay() {
    for (HGDIOBJ o : created_) (void)DeleteObject(o);
  }

  std::optional<std::string> Run() {
    int level = SaveDC(hdc_);
    if (level == 0) return Failed("the page", "SaveDC");
    auto result = Draw();
    // Back to the page's own state whatever the operations left open, so the objects can go.
    if (!RestoreDC(hdc_, level) && !result) result = Failed("the page", "RestoreDC");
    return result;
  }

 private:
  // What the device context holds, as far as painting a path needs to know.
  struct Current {
    int32_t pen = -1;    // -1: the page's default, a black hairline
    int32_t brush = -1;  // -1: none
  };

  std::optional<std::string> Draw() {
    const int perInch = LogicalPerInch(unit_);
    dpiX_ = GetDeviceCaps(hdc_, LOGPIXELSX);
    int dpiY = GetDeviceCaps(hdc_, LOGPIXELSY);
    if (dpiX_ <= 0 || dpiY <= 0) return Failed("the page", "GetDeviceCaps");
    // Device = logical · dpi / perInch − offset: the printable area starts at the offset.
    if (SetMapMode(hdc_, MM_ANISOTROPIC) == 0 || !SetWindowOrgEx(hdc_, 0, 0, nullptr) ||
        !SetWindowExtEx(hdc_, perInch, perInch, nullptr) || !SetViewportExtEx(hdc_, dpiX_, dpiY, nullptr) ||
        !SetViewportOrgEx(hdc_, -GetDeviceCaps(hdc_, PHYSICALOFFSETX), -GetDeviceCaps(hdc_, PHYSICALOFFSETY), nullptr))
      return Failed("the page", "the mapping mode");
    if (SelectObject(hdc_, GetStockObject(BLACK_PEN)) == nullptr ||
        SelectObject(hdc_, GetStockObject(NULL_BRUSH)) == nullptr || SetPolyFillMode(hdc_, ALTERNATE) == 0 ||
        SetROP2(hdc_, R2_COPYPEN) == 0)
      return Failed("the page", "the default pen and brush");
    pens_.assign(page_.pens.size(), nullptr);
    brushes_.assign(page_.brushes.size(), nullptr);

    for (size_t i = 0; i < page_.ops.size(); ++i) {
      const DrawOp& op = page_.ops[i];
      where_ = "op " + std::to_string(i + 1) + " (" + OpName(op.kind) + ")";
      if (auto e = One(op)) return e;
    }
    return std::nullopt;
  }

  std::string Failed(const std::string& where, const char* call) {
    return where + ": " + call + " failed (error " + std::to_string(GetLastError()) + ")";
  }
  std::optional<std::string> Failed(const char* call) { return Failed(where_, call); }

  HGDIOBJ Pen(int32_t index) {
    if (pens_[index] != nullptr) return pens_[index];
    const PenSpec& p = page_.pens[index];
    HGDIOBJ pen = nullptr;
    LOGBRUSH solid{BS_SOLID, p.color, 0};
    if (p.none) {
      pen = GetStockObject(NULL_PEN);
    } else if (p.width == 0 && p.style == PS_USERSTYLE) {
      // A hairline's dashes count device pixels.
      std::vector<DWORD> dashes;
      for (DWORD d : p.dashes)
        dashes.push_back(static_cast<DWORD>(std::lround(static_cast<double>(d) * dpiX_ / LogicalPerInch(unit_))));
      bool any = false;
      for (DWORD& d : dashes) any = any || d != 0;
      if (!any) dashes.front() = 1;
      pen = ExtCreatePen(PS_COSMETIC | PS_USERSTYLE, 1, &solid, static_cast<DWORD>(dashes.size()), dashes.data());
    } else if (p.width == 0) {
      pen = CreatePen(static_cast<int>(p.style), 0, p.color);
    } else {
      pen = ExtCreatePen(PS_GEOMETRIC | p.style | p.join | p.cap, static_cast<DWORD>(p.width), &solid,
                         static_cast<DWORD>(p.dashes.size()), p.dashes.empty() ? nullptr : p.dashes.data());
    }
    if (pen != nullptr && !p.none) created_.push_back(pen);
    return pens_[index] = pen;
  }

  HGDIOBJ Brush(int32_t index) {
    if (brushes_[index] != nullptr) return brushes_[index];
    const BrushSpec& b = page_.brushes[index];
    HGDIOBJ brush = nullptr;
    switch (b.kind) {
      case BrushSpec::Kind::None: return brushes_[index] = GetStockObject(NULL_BRUSH);
      case BrushSpec::Kind::Solid: brush = CreateSolidBrush(b.color); break;
      case BrushSpec::Kind::Hatch: brush = CreateHatchBrush(b.hatch, b.color); break;
      case BrushSpec::Kind::Pattern: {
        // A packed top-down 1-bit DIB: paper white, ink in the brush's colour; rows of 32 bits.
        std::vector<BYTE> dib(sizeof(BITMAPINFOHEADER) + 2 * sizeof(RGBQUAD) + 4 * b.rows.size());
        BITMAPINFOHEADER h{};
        h.biSize = sizeof h;
        h.biWidth = b.width;
        h.biHeight = -b.height;
        h.biPlanes = 1;
        h.biBitCount = 1;
        h.biCompression = BI_RGB;
        std::memcpy(dib.data(), &h, sizeof h);
        RGBQUAD colours[2] = {{255, 255, 255, 0},
                              {static_cast<BYTE>(b.color >> 16), static_cast<BYTE>(b.color >> 8),
                               static_cast<BYTE>(b.color), 0}};
        std::memcpy(dib.data() + sizeof h, colours, sizeof colours);
        BYTE* bits = dib.data() + sizeof h + sizeof colours;
        for (size_t r = 0; r < b.rows.size(); ++r)
          for (int k = 0; k < 4; ++k) bits[4 * r + k] = static_cast<BYTE>(b.rows[r] >> (24 - 8 * k));
        brush = CreateDIBPatternBrushPt(dib.data(), DIB_RGB_COLORS);
        break;
      }
    }
    if (brush != nullptr) created_.push_back(brush);
    return brushes_[index] = brush;
  }

  bool PenIsNone(int32_t index) const { return index >= 0 && page_.pens[index].none; }
  bool BrushIsNone(int32_t index) const { return index < 0 || page_.brushes[index].kind == BrushSpec::Kind::None; }

  // The operation's own pen, brush, fill rule and raster operation, for it alone (or, for "set",
  // from then on).
  struct Overrides {
    HGDIOBJ pen = nullptr, brush = nullptr;
    int fillRule = 0, rop = 0;
  };
  std::optional<std::string> Apply(const DrawOp& op, Overrides* previous) {
    if (op.pen >= 0) {
      HGDIOBJ pen = Pen(op.pen);
      if (pen == nullptr) return Failed("creating the pen");
      if ((previous->pen = SelectObject(hdc_, pen)) == nullptr) return Failed("SelectObject of the pen");
    }
    if (op.brush >= 0) {
      HGDIOBJ brush = Brush(op.brush);
      if (brush == nullptr) return Failed("creating the brush");
      if ((previous->brush = SelectObject(hdc_, brush)) == nullptr) return Failed("SelectObject of the brush");
    }
    if (op.fillRule != 0 && (previous->fillRule = SetPolyFillMode(hdc_, op.fillRule)) == 0)
      return Failed("SetPolyFillMode");
    if (op.rop != 0 && (previous->rop = SetROP2(hdc_, op.rop)) == 0) return Failed("SetROP2");
    return std::nullopt;
  }
  void Undo(const Overrides& previous) {
    if (previous.pen != nullptr) (void)SelectObject(hdc_, previous.pen);
    if (previous.brush != nullptr) (void)SelectObject(hdc_, previous.brush);
    if (previous.fillRule != 0) (void)SetPolyFillMode(hdc_, previous.fillRule);
    if (previous.rop != 0) (void)SetROP2(hdc_, previous.rop);
  }

  // The figures of a path operation, inside a path bracket the caller opens and closes.
  bool Figures(const DrawOp& op) {
    const POINT* p = &page_.points[op.first];
    const BYTE* t = &page_.types[op.first];
    for (uint32_t i = 0; i < op.count;) {
      BYTE type = t[i] & ~PT_CLOSEFIGURE;
      uint32_t n = type == PT_BEZIERTO ? 3 : 1;
      bool ok = type == PT_MOVETO   ? MoveToEx(hdc_, p[i].x, p[i].y, nullptr)
                : type == PT_LINETO ? LineTo(hdc_, p[i].x, p[i].y)
                                    : PolyBezierTo(hdc_, p + i, 3);
      if (!ok) return false;
      i += n;
      if ((t[i - 1] & PT_CLOSEFIGURE) && !CloseFigure(hdc_)) return false;
    }
    return true;
  }

  std::optional<std::string> One(const DrawOp& op) {
    const POINT* p = op.count > 0 ? &page_.points[op.first] : nullptr;
    if (op.kind == OpKind::Save) {
      if (SaveDC(hdc_) == 0) return Failed("SaveDC");
      saved_.push_back(current_);
      return std::nullopt;
    }
    if (op.kind == OpKind::Restore) {
      if (!RestoreDC(hdc_, -1)) return Failed("RestoreDC");
      current_ = saved_.back();
      saved_.pop_back();
      return std::nullopt;
    }
    if (op.kind == OpKind::Image || op.kind == OpKind::Gradient) return DrawPicture(hdc_, page_, op, where_);
    Overrides previous;
    if (auto e = Apply(op, &previous)) {
      Undo(previous);
      return e;
    }
    if (op.kind == OpKind::Set) {
      if (op.pen >= 0) current_.pen = op.pen;
      if (op.brush >= 0) current_.brush = op.brush;
      return std::nullopt;
    }
    const char* call = nullptr;
    bool ok = true;
    switch (op.kind) {
      case OpKind::Line:
        call = "LineTo";
        ok = MoveToEx(hdc_, p[0].x, p[0].y, nullptr) && LineTo(hdc_, p[1].x, p[1].y);
        break;
      case OpKind::Polyline:
        call = "Polyline";
        ok = Polyline(hdc_, p, static_cast<int>(op.count));
        break;
      case OpKind::Polygon:
        call = "Polygon";
        ok = Polygon(hdc_, p, static_cast<int>(op.count));
        break;
      case OpKind::Rectangle:
        call = "Rectangle";
        ok = Rectangle(hdc_, p[0].x, p[0].y, p[1].x, p[1].y);
        break;
      case OpKind::RoundRect:
        call = "RoundRect";
        ok = RoundRect(hdc_, p[0].x, p[0].y, p[1].x, p[1].y, p[2].x, p[2].y);
        break;
      case OpKind::Ellipse:
        call = "Ellipse";
        ok = Ellipse(hdc_, p[0].x, p[0].y, p[1].x, p[1].y);
        break;
      case OpKind::Arc:
        call = "Arc";
        ok = Arc(hdc_, p[0].x, p[0].y, p[1].x, p[1].y, p[2].x, p[2].y, p[3].x, p[3].y);
        break;
      case OpKind::Pie:
        call = "Pie";
        ok = Pie(hdc_, p[0].x, p[0].y, p[1].x, p[1].y, p[2].x, p[2].y, p[3].x, p[3].y);
        break;
      case OpKind::Chord:
        call = "Chord";
        ok = Chord(hdc_, p[0].x, p[0].y, p[1].x, p[1].y, p[2].x, p[2].y, p[3].x, p[3].y);
        break;
      case OpKind::Path: {
        int32_t pen = op.pen >= 0 ? op.pen : current_.pen;
        int32_t brush = op.brush >= 0 ? op.brush : current_.brush;
        bool fill = !BrushIsNone(brush), stroke = !PenIsNone(pen);
        call = fill && stroke ? "StrokeAndFillPath" : fill ? "FillPath" : "StrokePath";
        ok = BeginPath(hdc_) && Figures(op) && EndPath(hdc_) &&
             (fill && stroke ? StrokeAndFillPath(hdc_) : fill ? FillPath(hdc_) : StrokePath(hdc_));
        break;
      }
      case OpKind::Clip:
        call = "SelectClipPath";
        ok = BeginPath(hdc_) &&
             (op.clipShape == ClipShape::Path        ? Figures(op)
              : op.clipShape == ClipShape::Rectangle ? Rectangle(hdc_, p[0].x, p[0].y, p[1].x, p[1].y)
                                                     : Ellipse(hdc_, p[0].x, p[0].y, p[1].x, p[1].y)) &&
             EndPath(hdc_) && SelectClipPath(hdc_, op.clipMode);
        break;
      case OpKind::Text:
        if (auto e = DrawTextOp(hdc_, page_.texts[op.text], p[0], unit_)) {
          failedCall_ = *e;
          call = failedCall_.c_str();
          ok = false;
        }
        break;
      case OpKind::Save:
      case OpKind::Restore:
      case OpKind::Set:
      case OpKind::Image:
      case OpKind::Gradient: break;
    }
    std::optional<std::string> result;
    if (!ok) {
      result = Failed(call);
      (void)AbortPath(hdc_);
    }
    Undo(previous);
    return result;
  }

  HDC hdc_;
  const PageDrawing& page_;
  Unit unit_;
  int dpiX_ = 600;
  std::string where_;
  std::string failedCall_;
  std::vector<HGDIOBJ> pens_, brushes_;
  std::vector<HGDIOBJ> created_;
  Current current_;
  std::vector<Current> saved_;
};

}  // namespace

std::optional<std::string> DrawPage(HDC hdc, const PageDrawing& page, Unit unit) {
  return PageReplay(hdc, page, unit).Run();
}

}  // namespace rt7700print
