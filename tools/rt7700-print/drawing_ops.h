// The drawing operations of a job file's pages: lines, shapes, Bézier paths, clips and the state
// they are drawn with, read from JSON and checked field by field.
//
//   { "unit": "mm",
//     "draw": [ { "op": "line", "from": [10, 10], "to": [100, 10], "pen": { "width": 0.5 } },
//               { "op": "ellipse", "at": [20, 20], "size": [40, 30], "brush": { "gray": 25 } } ] }
//
// Coordinates are in points or millimetres from the page's top-left corner, y downwards. They are
// kept in hundredths of the unit, which are the logical units the page is drawn in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "text_spec.h"
#include "image_ops.h"
#include "win/wingdi.h"

namespace rt7700print {

enum class Unit { Point, Millimetre };

// Logical units per unit: the drawing keeps two decimals of every length.
constexpr int kLogicalPerUnit = 100;
constexpr double kMaxCoordinate = 10000;  // units, either way from the page's corner
constexpr double kMaxPenWidth = 100;      // units
constexpr size_t kMaxPointsPerOp = 10000;
// Per job, so that a job file's drawing takes memory in proportion to its text.
constexpr size_t kMaxDrawOps = 500000;
constexpr size_t kMaxDrawPoints = 4000000;

struct PenSpec {
  bool none = false;
  LONG width = 0;  // logical units; 0 is the thinnest line the printer draws (one device pixel)
  COLORREF color = RGB(0, 0, 0);
  UINT style = PS_SOLID;  // PS_SOLID .. PS_INSIDEFRAME, or PS_USERSTYLE with `dashes`
  UINT join = PS_JOIN_ROUND;
  UINT cap = PS_ENDCAP_ROUND;
  std::vector<DWORD> dashes;  // logical units, on and off in turn
};

struct BrushSpec {
  enum class Kind : uint8_t { None, Solid, Hatch, Pattern };
  Kind kind = Kind::None;
  COLORREF color = RGB(0, 0, 0);
  int hatch = 0;  // HS_*
  // A pattern: rows top first, bit 7 of the first byte the leftmost pixel, set bits in `color` on white.
  int width = 0, height = 0;
  std::vector<uint32_t> rows;
};

enum class OpKind : uint8_t {
  Line,
  Polyline,
  Polygon,
  Rectangle,
  RoundRect,
  Ellipse,
  Arc,
  Pie,
  Chord,
  Path,
  Clip,
  Save,
  Restore,
  Set,
  Text,
  Image,
  Gradient
};

enum class ClipShape : uint8_t { Rectangle, Ellipse, Path };

// One operation. Its points are a slice of the page's pool:
//   line, polyline, polygon: the points;
//   rectangle, ellipse: the box's top-left and bottom-right corners;
//   rounded rectangle: those and the corners' ellipse as (width, height);
//   arc, pie, chord: the box, then the start and end points on the rays of the two angles;
//   path, and a clip by a path: the points with `types` (PT_MOVETO, PT_LINETO, PT_BEZIERTO,
//   PT_CLOSEFIGURE or'ed on a figure's last point).
struct DrawOp {
  OpKind kind = OpKind::Save;
  ClipShape clipShape = ClipShape::Rectangle;
  int clipMode = 0;      // RGN_* for a clip
  int fillRule = 0;      // ALTERNATE, WINDING; 0 keeps the current one
  int rop = 0;           // R2_*; 0 keeps the current one
  int32_t pen = -1;      // index into the page's pens; -1 keeps the current one
  int32_t brush = -1;    // the same for brushes
  uint32_t first = 0;    // the first point in the page's pool
  uint32_t count = 0;
  int32_t text = -1;     // index into the page's texts
  int32_t item = -1;     // the image or gradient of the page
};

struct PageDrawing {
  std::optional<Unit> unit;  // the job's when unset
  std::vector<DrawOp> ops;
  std::vector<POINT> points;
  std::vector<BYTE> types;  // beside `points`; used by paths only
  std::vector<PenSpec> pens;
  std::vector<BrushSpec> brushes;
  std::vector<TextSpec> texts;
  std::string folder;  // the job file's, for the files its operations name
  std::vector<ImageSpec> images;
  std::vector<GradientSpec> gradients;
};

// The name an operation is written with in a job file ("rounded-rectangle").
const char* OpName(OpKind kind);

// Reads one operation object into `page`. On a problem returns the field ("pen.width", "points[3]",
// "" for the operation as a whole) and what was expected; `name` is set to the operation's name as
// soon as it is known. `saves` counts the saves open on the page, which a restore needs.
struct OpProblem {
  std::string field;
  std::string expected;
};
std::optional<OpProblem> ReadDrawOp(const nlohmann::json& op, PageDrawing& page, int& saves, std::string& name);

// "pt" or "mm".
std::optional<Unit> ParseUnit(const std::string& text);

}  // namespace rt7700print
