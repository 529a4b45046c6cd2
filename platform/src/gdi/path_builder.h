// Figures of a path in 28.4 device coordinates, and the shapes GDI builds into them: rectangles,
// round rectangles, ellipses (four Béziers), arcs, pies and chords.
#pragma once

#include <vector>

#include "platform/engine_objects.h"
#include "transforms.h"
#include "win/wingdi.h"

namespace platform::gdi {

// PT_MOVETO, PT_LINETO, PT_BEZIERTO, PT_CLOSEFIGURE or'ed on a closing point; 28.4 points.
using DevicePath = engine::PathPoints;

// Builds figures from device points (pixels, fractional). A line or curve after MoveTo, or after a
// closed figure, starts a new figure at the pending point, as a GDI path does.
class PathBuilder {
 public:
  void MoveTo(double x, double y);
  void LineTo(double x, double y);
  void BezierTo(double x1, double y1, double x2, double y2, double x3, double y3);
  void CloseFigure();
  // Closes every open figure (fills treat figures as closed).
  void CloseAll();
  // Adds whole figures built elsewhere; the next line starts a figure of its own.
  void Append(const DevicePath& figures);
  bool FigureOpen() const { return figureOpen_; }
  const DevicePath& path() const { return path_; }
  DevicePath& path() { return path_; }
  void Clear() { *this = PathBuilder(); }

 private:
  void StartIfPending();
  DevicePath path_;
  double pendingX_ = 0, pendingY_ = 0;
  bool pending_ = false;
  size_t figureStart_ = 0;  // index of the open figure's PT_MOVETO
  bool figureOpen_ = false;
};

enum class ArcKind { kArc, kPie, kChord };

// How shapes land on the device: the logical-to-device transform, GM_COMPATIBLE's
// inclusive-exclusive corners, and the arc direction.
struct ShapeContext {
  Matrix toDevice;
  bool compatible = true;
  bool clockwise = false;
  double inset = 0;  // logical units the frame shrinks by on each side (inside-frame pens)
};

// Each returns false when the shape is empty (nothing added).
bool AddRectangle(PathBuilder& b, const ShapeContext& c, int left, int top, int right, int bottom);
bool AddRoundRect(PathBuilder& b, const ShapeContext& c, int left, int top, int right, int bottom, int width,
                  int height);
bool AddEllipse(PathBuilder& b, const ShapeContext& c, int left, int top, int right, int bottom);
bool AddArc(PathBuilder& b, const ShapeContext& c, ArcKind kind, int left, int top, int right, int bottom, int xStart,
            int yStart, int xEnd, int yEnd);

LONG ToFix(double pixels);

}  // namespace platform::gdi
