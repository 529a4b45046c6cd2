#include "drawing_ops.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "text_op.h"

namespace rt7700print {
namespace {

using nlohmann::json;

constexpr double kPi = 3.14159265358979323846;
constexpr size_t kMaxDashes = 16;
constexpr double kMaxDash = 1000;  // units
constexpr size_t kMaxPatternSide = 32;

template <typename T>
struct Named {
  const char* name;
  T value;
};

constexpr Named<OpKind> kOps[] = {
    {"line", OpKind::Line},           {"polyline", OpKind::Polyline},
    {"polygon", OpKind::Polygon},     {"rectangle", OpKind::Rectangle},
    {"rounded-rectangle", OpKind::RoundRect},
    {"ellipse", OpKind::Ellipse},     {"arc", OpKind::Arc},
    {"pie", OpKind::Pie},             {"chord", OpKind::Chord},
    {"path", OpKind::Path},           {"clip", OpKind::Clip},
    {"save", OpKind::Save},           {"restore", OpKind::Restore},
    {"set", OpKind::Set},             {"text", OpKind::Text},
    {"image", OpKind::Image},         {"gradient", OpKind::Gradient}};

constexpr Named<UINT> kPenStyles[] = {{"solid", PS_SOLID},          {"dash", PS_DASH},
                                      {"dot", PS_DOT},              {"dash-dot", PS_DASHDOT},
                                      {"dash-dot-dot", PS_DASHDOTDOT}, {"none", PS_NULL},
                                      {"inside-frame", PS_INSIDEFRAME}};
constexpr Named<UINT> kJoins[] = {{"round", PS_JOIN_ROUND}, {"bevel", PS_JOIN_BEVEL}, {"miter", PS_JOIN_MITER}};
constexpr Named<UINT> kCaps[] = {{"round", PS_ENDCAP_ROUND}, {"square", PS_ENDCAP_SQUARE}, {"flat", PS_ENDCAP_FLAT}};
constexpr Named<int> kHatches[] = {{"horizontal", HS_HORIZONTAL},        {"vertical", HS_VERTICAL},
                                   {"forward-diagonal", HS_FDIAGONAL},   {"backward-diagonal", HS_BDIAGONAL},
                                   {"cross", HS_CROSS},                  {"diagonal-cross", HS_DIAGCROSS}};
constexpr Named<int> kFillRules[] = {{"even-odd", ALTERNATE}, {"nonzero", WINDING}};
constexpr Named<int> kRops[] = {
    {"black", R2_BLACK},         {"not-merge-pen", R2_NOTMERGEPEN}, {"mask-not-pen", R2_MASKNOTPEN},
    {"not-copy-pen", R2_NOTCOPYPEN}, {"mask-pen-not", R2_MASKPENNOT}, {"not", R2_NOT},
    {"xor-pen", R2_XORPEN},      {"not-mask-pen", R2_NOTMASKPEN},   {"mask-pen", R2_MASKPEN},
    {"not-xor-pen", R2_NOTXORPEN}, {"nop", R2_NOP},                 {"merge-not-pen", R2_MERGENOTPEN},
    {"copy-pen", R2_COPYPEN},    {"merge-pen-not", R2_MERGEPENNOT}, {"merge-pen", R2_MERGEPEN},
    {"white", R2_WHITE}};
constexpr Named<int> kClipModes[] = {
    {"intersect", RGN_AND}, {"union", RGN_OR}, {"xor", RGN_XOR}, {"exclude", RGN_DIFF}, {"replace", RGN_COPY}};
constexpr Named<ClipShape> kClipShapes[] = {
    {"rectangle", ClipShape::Rectangle}, {"ellipse", ClipShape::Ellipse}, {"path", ClipShape::Path}};

template <typename T, size_t N>
std::string Names(const Named<T> (&table)[N]) {
  std::string out;
  for (size_t i = 0; i < N; ++i) out += (i == 0 ? "" : i + 1 == N ? " or " : ", ") + std::string(table[i].name);
  return out;
}

template <typename T, size_t N>
const T* Find(const Named<T> (&table)[N], const std::string& name) {
  for (const auto& entry : table)
    if (name == entry.name) return &entry.value;
  return nullptr;
}

// The fields each operation takes, for the message about one it does not.
const char* FieldsOf(OpKind kind) {
  switch (kind) {
    case OpKind::Line: return "op, from, to, pen, rop";
    case OpKind::Polyline: return "op, points, pen, rop";
    case OpKind::Polygon: return "op, points, pen, brush, fill-rule, rop";
    case OpKind::Rectangle:
    case OpKind::Ellipse: return "op, at, size, pen, brush, rop";
    case OpKind::RoundRect: return "op, at, size, radius, pen, brush, rop";
    case OpKind::Arc: return "op, at, size, start, end, pen, rop";
    case OpKind::Pie:
    case OpKind::Chord: return "op, at, size, start, end, pen, brush, rop";
    case OpKind::Path: return "op, path, pen, brush, fill-rule, rop";
    case OpKind::Clip: return "op, shape, at, size, path, fill-rule, mode";
    case OpKind::Save:
    case OpKind::Restore: return "op";
    case OpKind::Set: return "op, pen, brush, fill-rule, rop";
    case OpKind::Text:
      return "op, text, at, face, size, weight, italic, underline, strike-out, angle, color, gray, align, "
             "background, spacing, font-file";
    case OpKind::Image: return "op, file, at, size, mirror, transparent, rop";
    case OpKind::Gradient: return "op, mode, vertices, mesh";
  }
  return "op";
}

bool Takes(OpKind kind, const std::string& field) {
  std::string fields = std::string(", ") + FieldsOf(kind) + ",";
  return fields.find(", " + field + ",") != std::string::npos;
}

LONG Logical(double units) { return static_cast<LONG>(std::lround(units * kLogicalPerUnit)); }

std::string Quoted(const std::string& s) {
  std::string out = "\"";
  for (char c : s.substr(0, 40)) out += c;
  return out + (s.size() > 40 ? "...\"" : "\"");
}

class OpReader {
 public:
  OpReader(const json& op, PageDrawing& page) : op_(op), page_(page) {}

  std::optional<OpProblem> problem;

  bool Fail(std::string field, std::string expected) {
    if (!problem) problem = OpProblem{std::move(field), std::move(expected)};
    return false;
  }

  const json* Field(const char* name) const {
    auto it = op_.find(name);
    return it == op_.end() ? nullptr : &*it;
  }
  const json* Required(const char* name, const std::string& expected) {
    const json* v = Field(name);
    if (v == nullptr) Fail(name, expected + " (the field is missing)");
    return v;
  }

  bool Number(const json& v, const std::string& field, double lo, double hi, double* out) {
    auto expected = [&] {
      auto text = [](double d) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%g", d);
        return std::string(buf);
      };
      return "expected a number from " + text(lo) + " to " + text(hi);
    };
    if (!v.is_number()) return Fail(field, expected());
    double d = v.get<double>();
    if (!(d >= lo && d <= hi)) return Fail(field, expected());
    *out = d;
    return true;
  }

  bool Pair(const json& v, const std::string& field, double lo, double hi, const char* what, double* a, double* b) {
    std::string expected = std::string("expected ") + what + ", numbers from " + (lo < 0 ? "-10000" : "0") + " to 10000";
    if (!v.is_array() || v.size() != 2 || !v[0].is_number() || !v[1].is_number()) return Fail(field, expected);
    double x = v[0].get<double>(), y = v[1].get<double>();
    if (!(x >= lo && x <= hi && y >= lo && y <= hi)) return Fail(field, expected);
    *a = x;
    *b = y;
    return true;
  }

  bool Point(const json& v, const std::string& field, POINT* out) {
    double x, y;
    if (!Pair(v, field, -kMaxCoordinate, kMaxCoordinate, "[x, y]", &x, &y)) return false;
    *out = {Logical(x), Logical(y)};
    return true;
  }

  template <typename T, size_t N>
  bool Choice(const json& v, const std::string& field, const Named<T> (&table)[N], T* out) {
    const T* found = v.is_string() ? Find(table, v.get<std::string>()) : nullptr;
    if (found == nullptr)
      return Fail(field, "expected " + Names(table) + (v.is_string() ? ", got " + Quoted(v.get<std::string>()) : ""));
    *out = *found;
    return true;
  }

  // "color": "#rrggbb", "black" or "white"; "gray": percent of black.
  bool Colour(const json& object, const std::string& prefix, COLORREF* out) {
    auto color = object.find("color");
    auto gray = object.find("gray");
    if (color != object.end() && gray != object.end())
      return Fail(prefix + "gray", "expected a color or a gray, not both");
    if (color != object.end()) {
      const std::string expected = "expected \"#rrggbb\", \"black\" or \"white\"";
      if (!color->is_string()) return Fail(prefix + "color", expected);
      const std::string& s = color->get_ref<const std::string&>();
      if (s == "black") {
        *out = RGB(0, 0, 0);
      } else if (s == "white") {
        *out = RGB(255, 255, 255);
      } else {
        if (s.size() != 7 || s[0] != '#' || s.find_first_not_of("0123456789abcdefABCDEF", 1) != std::string::npos)
          return Fail(prefix + "color", expected + ", got " + Quoted(s));
        unsigned long v = std::stoul(s.substr(1), nullptr, 16);
        *out = RGB(static_cast<BYTE>(v >> 16), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v));
      }
    } else if (gray != object.end()) {
      double g;
      if (!Number(*gray, prefix + "gray", 0, 100, &g)) return false;
      auto level = static_cast<BYTE>(std::lround(255 * (100 - g) / 100));
      *out = RGB(level, level, level);
    }
    return true;
  }

  bool Only(const json& object, const std::string& prefix, std::initializer_list<const char*> fields) {
    std::string list;
    for (const char* f : fields) list += (list.empty() ? "" : ", ") + std::string(f);
    for (const auto& item : object.items()) {
      const std::string& key = item.key();
      if (std::none_of(fields.begin(), fields.end(), [&](const char* f) { return key == f; }))
        return Fail(prefix + key, "expected only " + list);
    }
    return true;
  }

  bool Pen(const json& v, int32_t* index) {
    PenSpec pen;
    const std::string expected = "expected \"none\" or a pen object {\"width\": ..., \"color\": ..., ...}";
    if (v.is_string() && v.get<std::string>() == "none") {
      pen.none = true;
    } else if (!v.is_object()) {
      return Fail("pen", expected);
    } else {
      if (!Only(v, "pen.", {"width", "color", "gray", "style", "dashes", "join", "cap"})) return false;
      if (auto w = v.find("width"); w != v.end()) {
        double width;
        if (!Number(*w, "pen.width", 0, kMaxPenWidth, &width)) return false;
        pen.width = Logical(width);
      }
      if (!Colour(v, "pen.", &pen.color)) return false;
      if (auto s = v.find("style"); s != v.end() && !Choice(*s, "pen.style", kPenStyles, &pen.style)) return false;
      pen.none = pen.style == PS_NULL;
      if (auto j = v.find("join"); j != v.end() && !Choice(*j, "pen.join", kJoins, &pen.join)) return false;
      if (auto c = v.find("cap"); c != v.end() && !Choice(*c, "pen.cap", kCaps, &pen.cap)) return false;
      if (auto d = v.find("dashes"); d != v.end()) {
        if (v.contains("style") && pen.style != PS_SOLID)
          return Fail("pen.dashes", "expected dashes or a style other than solid, not both");
        const std::string dashes = "expected a list of 1 to 16 lengths from 0 to 1000, not all 0";
        if (!d->is_array() || d->empty() || d->size() > kMaxDashes) return Fail("pen.dashes", dashes);
        bool any = false;
        for (size_t i = 0; i < d->size(); ++i) {
          double len;
          if (!Number((*d)[i], "pen.dashes[" + std::to_string(i) + "]", 0, kMaxDash, &len)) return false;
          pen.dashes.push_back(static_cast<DWORD>(Logical(len)));
          any = any || pen.dashes.back() != 0;
        }
        if (!any) return Fail("pen.dashes", dashes);
        pen.style = PS_USERSTYLE;
      }
    }
    *index = static_cast<int32_t>(page_.pens.size());
    page_.pens.push_back(std::move(pen));
    return true;
  }

  bool Pattern(const json& v, BrushSpec& brush) {
    const std::string expected = "expected a list of 1 to 32 rows of 1 to 32 characters, # for ink and . for paper, "
                                 "all as long as the first";
    if (!v.is_array() || v.empty() || v.size() > kMaxPatternSide) return Fail("brush.pattern", expected);
    for (size_t r = 0; r < v.size(); ++r) {
      const std::string field = "brush.pattern[" + std::to_string(r) + "]";
      if (!v[r].is_string()) return Fail(field, expected);
      const std::string& row = v[r].get_ref<const std::string&>();
      if (row.empty() || row.size() > kMaxPatternSide || (r > 0 && row.size() != static_cast<size_t>(brush.width)) ||
          row.find_first_not_of("#.") != std::string::npos)
        return Fail(field, expected + ", got " + Quoted(row));
      brush.width = static_cast<int>(row.size());
      uint32_t bits = 0;
      for (size_t i = 0; i < row.size(); ++i)
        if (row[i] == '#') bits |= 0x80000000u >> i;
      brush.rows.push_back(bits);
    }
    brush.height = static_cast<int>(v.size());
    return true;
  }

  bool Brush(const json& v, int32_t* index) {
    BrushSpec brush;
    const std::string expected = "expected \"none\" or a brush object {\"color\": ..., \"gray\": ..., ...}";
    if (v.is_string() && v.get<std::string>() == "none") {
      brush.kind = BrushSpec::Kind::None;
    } else if (!v.is_object()) {
      return Fail("brush", expected);
    } else {
      if (!Only(v, "brush.", {"color", "gray", "hatch", "pattern"})) return false;
      if (!Colour(v, "brush.", &brush.color)) return false;
      brush.kind = BrushSpec::Kind::Solid;
      auto hatch = v.find("hatch");
      auto pattern = v.find("pattern");
      if (hatch != v.end() && pattern != v.end()) return Fail("brush.pattern", "expected a hatch or a pattern, not both");
      if (hatch != v.end()) {
        if (!Choice(*hatch, "brush.hatch", kHatches, &brush.hatch)) return false;
        brush.kind = BrushSpec::Kind::Hatch;
      }
      if (pattern != v.end()) {
        if (!Pattern(*pattern, brush)) return false;
        brush.kind = BrushSpec::Kind::Pattern;
      }
    }
    *index = static_cast<int32_t>(page_.brushes.size());
    page_.brushes.push_back(std::move(brush));
    return true;
  }

  bool Points(const char* field, size_t least) {
    const std::string expected = "expected a list of " + std::to_string(least) + " to " +
                                 std::to_string(kMaxPointsPerOp) + " points [x, y]";
    const json* v = Required(field, expected);
    if (v == nullptr) return false;
    if (!v->is_array() || v->size() < least || v->size() > kMaxPointsPerOp) return Fail(field, expected);
    for (size_t i = 0; i < v->size(); ++i) {
      POINT p;
      if (!Point((*v)[i], std::string(field) + "[" + std::to_string(i) + "]", &p)) return false;
      page_.points.push_back(p);
    }
    return true;
  }

  // "at" and "size": the box's corners.
  bool Box(POINT* topLeft, POINT* bottomRight) {
    const json* at = Required("at", "expected the top-left corner [x, y]");
    if (at == nullptr || !Point(*at, "at", topLeft)) return false;
    const json* size = Required("size", "expected [width, height]");
    double w, h;
    if (size == nullptr || !Pair(*size, "size", 0, kMaxCoordinate, "[width, height]", &w, &h)) return false;
    *bottomRight = {topLeft->x + Logical(w), topLeft->y + Logical(h)};
    page_.points.push_back(*topLeft);
    page_.points.push_back(*bottomRight);
    return true;
  }

  // The start and end of an arc as points on the rays at those angles (degrees counterclockwise
  // from three o'clock, as seen on the page), which is how GDI takes them.
  bool Angles(POINT topLeft, POINT bottomRight) {
    for (const char* field : {"start", "end"}) {
      const json* v = Required(field, "expected an angle in degrees from -360 to 360");
      double degrees;
      if (v == nullptr || !Number(*v, field, -360, 360, &degrees)) return false;
      double cx = (topLeft.x + bottomRight.x) / 2.0, cy = (topLeft.y + bottomRight.y) / 2.0;
      double r = std::max({static_cast<double>(bottomRight.x - topLeft.x), static_cast<double>(bottomRight.y - topLeft.y),
                           static_cast<double>(kLogicalPerUnit)});
      double a = degrees * kPi / 180;
      page_.points.push_back({static_cast<LONG>(std::lround(cx + r * std::cos(a))),
                              static_cast<LONG>(std::lround(cy - r * std::sin(a)))});
    }
    return true;
  }

  bool PathSteps(const char* field) {
    const std::string expected =
        "expected a list of steps: [\"move\", x, y], [\"line\", x, y], [\"curve\", x1, y1, x2, y2, x3, y3], [\"close\"]";
    const json* v = Required(field, expected);
    if (v == nullptr) return false;
    if (!v->is_array() || v->empty()) return Fail(field, expected);
    size_t start = page_.points.size();
    for (size_t i = 0; i < v->size(); ++i) {
      const std::string name = std::string(field) + "[" + std::to_string(i) + "]";
      const json& step = (*v)[i];
      std::string verb = step.is_array() && !step.empty() && step[0].is_string() ? step[0].get<std::string>() : "";
      size_t numbers = verb == "move" || verb == "line" ? 2 : verb == "curve" ? 6 : verb == "close" ? 0 : 99;
      if (numbers == 99 || step.size() != numbers + 1) return Fail(name, expected);
      if (i == 0 && verb != "move") return Fail(name, "expected a path that starts with [\"move\", x, y]");
      if (verb == "close") {
        page_.types.back() |= PT_CLOSEFIGURE;
        continue;
      }
      if (page_.points.size() - start + numbers / 2 > kMaxPointsPerOp)
        return Fail(field, "expected at most " + std::to_string(kMaxPointsPerOp) + " points");
      BYTE type = verb == "move" ? PT_MOVETO : verb == "line" ? PT_LINETO : PT_BEZIERTO;
      for (size_t k = 1; k < step.size(); k += 2) {
        POINT p;
        if (!Point(json::array({step[k], step[k + 1]}), name, &p)) return false;
        page_.points.push_back(p);
        page_.types.push_back(type);
      }
    }
    return true;
  }

  bool StateFields(DrawOp& d) {
    if (const json* v = Field("pen"); v != nullptr && !Pen(*v, &d.pen)) return false;
    if (const json* v = Field("brush"); v != nullptr && !Brush(*v, &d.brush)) return false;
    if (const json* v = Field("fill-rule"); v != nullptr && !Choice(*v, "fill-rule", kFillRules, &d.fillRule))
      return false;
    if (const json* v = Field("rop"); v != nullptr && !Choice(*v, "rop", kRops, &d.rop)) return false;
    return true;
  }

  bool Read(DrawOp& d, int& saves) {
    POINT a, b;
    switch (d.kind) {
      case OpKind::Line: {
        const json* from = Required("from", "expected the start [x, y]");
        if (from == nullptr || !Point(*from, "from", &a)) return false;
        const json* to = Required("to", "expected the end [x, y]");
        if (to == nullptr || !Point(*to, "to", &b)) return false;
        page_.points.push_back(a);
        page_.points.push_back(b);
        break;
      }
      case OpKind::Polyline:
        if (!Points("points", 2)) return false;
        break;
      case OpKind::Polygon:
        if (!Points("points", 3)) return false;
        break;
      case OpKind::Rectangle:
      case OpKind::Ellipse:
        if (!Box(&a, &b)) return false;
        break;
      case OpKind::RoundRect: {
        if (!Box(&a, &b)) return false;
        const json* r = Required("radius", "expected the corners' radius, a number from 0 to 10000");
        double radius;
        if (r == nullptr || !Number(*r, "radius", 0, kMaxCoordinate, &radius)) return false;
        page_.points.push_back({2 * Logical(radius), 2 * Logical(radius)});
        break;
      }
      case OpKind::Arc:
      case OpKind::Pie:
      case OpKind::Chord:
        if (!Box(&a, &b) || !Angles(a, b)) return false;
        break;
      case OpKind::Path:
        if (!PathSteps("path")) return false;
        break;
      case OpKind::Clip: {
        const json* shape = Required("shape", "expected " + Names(kClipShapes));
        if (shape == nullptr || !Choice(*shape, "shape", kClipShapes, &d.clipShape)) return false;
        d.clipMode = RGN_AND;
        if (const json* m = Field("mode"); m != nullptr && !Choice(*m, "mode", kClipModes, &d.clipMode)) return false;
        bool path = d.clipShape == ClipShape::Path;
        static constexpr const char* kBoxFields[] = {"at", "size"};
        static constexpr const char* kPathFields[] = {"path", "fill-rule"};
        for (const char* f : path ? kBoxFields : kPathFields)
          if (Field(f) != nullptr)
            return Fail(f, std::string("expected no ") + f + " for a clip by a " + shape->get<std::string>());
        if (path ? !PathSteps("path") : !Box(&a, &b)) return false;
        break;
      }
      case OpKind::Save: ++saves; break;
      case OpKind::Restore:
        if (saves == 0) return Fail("op", "expected a save on this page before a restore");
        --saves;
        break;
      case OpKind::Set:
        if (!Field("pen") && !Field("brush") && !Field("fill-rule") && !Field("rop"))
          return Fail("op", "expected at least one of pen, brush, fill-rule, rop to set");
        break;
      case OpKind::Text:
        if (auto p = ReadTextOp(op_, page_, d)) return Fail(p->field, p->expected);
        break;
      case OpKind::Image:
      case OpKind::Gradient:
        if (!StateFields(d)) return false;
        if (auto p = ReadPictureOp(op_, d, page_)) return Fail(p->field, p->expected);
        return true;
    }
    return StateFields(d);
  }

 private:
  const json& op_;
  PageDrawing& page_;
};

}  // namespace

const char* OpName(OpKind kind) {
  for (const auto& entry : kOps)
    if (entry.value == kind) return entry.name;
  return "?";
}

std::optional<Unit> ParseUnit(const std::string& text) {
  if (text == "pt") return Unit::Point;
  if (text == "mm") return Unit::Millimetre;
  return std::nullopt;
}

std::optional<OpProblem> ReadDrawOp(const json& op, PageDrawing& page, int& saves, std::string& name) {
  if (!op.is_object()) return OpProblem{"", "expected an operation object {\"op\": ..., ...}"};
  auto kind = op.find("op");
  if (kind == op.end()) return OpProblem{"op", "expected the operation's name (the field is missing)"};
  const OpKind* found = kind->is_string() ? Find(kOps, kind->get<std::string>()) : nullptr;
  if (found == nullptr)
    return OpProblem{"op", "expected " + Names(kOps) + (kind->is_string() ? ", got " + Quoted(kind->get<std::string>()) : "")};
  name = OpName(*found);
  for (const auto& [key, value] : op.items()) {
    (void)value;
    if (!Takes(*found, key)) return OpProblem{key, std::string("expected only ") + FieldsOf(*found)};
  }

  // A problem leaves the page as it was.
  size_t points = page.points.size(), types = page.types.size(), pens = page.pens.size(),
         brushes = page.brushes.size(), texts = page.texts.size(), images = page.images.size(),
         gradients = page.gradients.size();
  int openSaves = saves;
  DrawOp d;
  d.kind = *found;
  d.first = static_cast<uint32_t>(points);
  OpReader reader(op, page);
  if (!reader.Read(d, saves)) {
    page.points.resize(points);
    page.types.resize(types);
    page.pens.resize(pens);
    page.brushes.resize(brushes);
    page.texts.resize(texts);
    page.images.resize(images);
    page.gradients.resize(gradients);
    saves = openSaves;
    return reader.problem;
  }
  d.count = static_cast<uint32_t>(page.points.size() - points);
  // Only paths carry types; keep the pool beside the points for them.
  if (d.kind != OpKind::Path && !(d.kind == OpKind::Clip && d.clipShape == ClipShape::Path))
    page.types.resize(page.types.size() + d.count, 0);
  page.ops.push_back(d);
  return std::nullopt;
}

}  // namespace rt7700print
