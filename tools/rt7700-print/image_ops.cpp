#include "image_ops.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "drawing_ops.h"

namespace rt7700print {
namespace {

using nlohmann::json;

LONG Logical(double units) { return static_cast<LONG>(std::lround(units * kLogicalPerUnit)); }

// "#rrggbb", "black", "white", or a "gray" percent of black beside it, as the other operations take.
std::optional<OpProblem> Colour(const json& object, const std::string& prefix, COLORREF* out) {
  const std::string expected = "expected \"#rrggbb\", \"black\" or \"white\"";
  auto color = object.find("color");
  auto gray = object.find("gray");
  if (color != object.end() && gray != object.end())
    return OpProblem{prefix + "gray", "expected a color or a gray, not both"};
  if (gray != object.end()) {
    if (!gray->is_number() || !(gray->get<double>() >= 0 && gray->get<double>() <= 100))
      return OpProblem{prefix + "gray", "expected a number from 0 to 100"};
    auto level = static_cast<BYTE>(std::lround(255 * (100 - gray->get<double>()) / 100));
    *out = RGB(level, level, level);
    return std::nullopt;
  }
  if (color == object.end()) return OpProblem{prefix + "color", expected + " (the field is missing)"};
  if (!color->is_string()) return OpProblem{prefix + "color", expected};
  const std::string& s = color->get_ref<const std::string&>();
  if (s == "black" || s == "white") {
    *out = s == "black" ? RGB(0, 0, 0) : RGB(255, 255, 255);
    return std::nullopt;
  }
  if (s.size() != 7 || s[0] != '#' || s.find_first_not_of("0123456789abcdefABCDEF", 1) != std::string::npos)
    return OpProblem{prefix + "color", expected + ", got \"" + s.substr(0, 40) + "\""};
  unsigned long v = std::stoul(s.substr(1), nullptr, 16);
  *out = RGB(static_cast<BYTE>(v >> 16), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v));
  return std::nullopt;
}

std::optional<OpProblem> Point(const json* v, const std::string& field, double lo, POINT* out) {
  const std::string expected = lo < 0 ? "expected [x, y], numbers from -10000 to 10000"
                                      : "expected [width, height], numbers from 0 to 10000";
  if (v == nullptr) return OpProblem{field, expected + " (the field is missing)"};
  if (!v->is_array() || v->size() != 2 || !(*v)[0].is_number() || !(*v)[1].is_number())
    return OpProblem{field, expected};
  double x = (*v)[0].get<double>(), y = (*v)[1].get<double>();
  if (!(x >= lo && x <= kMaxCoordinate && y >= lo && y <= kMaxCoordinate)) return OpProblem{field, expected};
  *out = {Logical(x), Logical(y)};
  return std::nullopt;
}

const json* Field(const json& op, const char* name) {
  auto it = op.find(name);
  return it == op.end() ? nullptr : &*it;
}

std::optional<OpProblem> ReadImage(const json& op, DrawOp& d, PageDrawing& page) {
  ImageSpec image;
  const json* file = Field(op, "file");
  if (file == nullptr || !file->is_string() || file->get_ref<const std::string&>().empty() ||
      file->get_ref<const std::string&>().find('\0') != std::string::npos)
    return OpProblem{"file", std::string("expected the path of a PNG or BMP file") +
                                 (file == nullptr ? " (the field is missing)" : "")};
  image.file = file->get<std::string>();
  POINT at, size;
  if (auto p = Point(Field(op, "at"), "at", -kMaxCoordinate, &at)) return p;
  if (auto p = Point(Field(op, "size"), "size", 0, &size)) return p;
  if (const json* m = Field(op, "mirror")) {
    std::string s = m->is_string() ? m->get<std::string>() : "";
    image.mirrorX = s == "horizontal" || s == "both";
    image.mirrorY = s == "vertical" || s == "both";
    if (!image.mirrorX && !image.mirrorY) return OpProblem{"mirror", "expected horizontal, vertical or both"};
  }
  if (const json* t = Field(op, "transparent")) {
    // A transparent colour is drawn by TransparentBlt, which neither mirrors nor mixes.
    if (Field(op, "mirror") != nullptr) return OpProblem{"mirror", "expected a mirror or a transparent colour, not both"};
    if (Field(op, "rop") != nullptr) return OpProblem{"rop", "expected a rop or a transparent colour, not both"};
    COLORREF key;
    if (auto p = Colour(json{{"color", *t}}, "", &key)) return OpProblem{"transparent", p->expected};
    image.transparent = key;
  }
  page.points.push_back(at);
  page.points.push_back({at.x + size.x, at.y + size.y});
  d.item = static_cast<int32_t>(page.images.size());
  page.images.push_back(std::move(image));
  return std::nullopt;
}

std::optional<OpProblem> ReadGradient(const json& op, DrawOp& d, PageDrawing& page) {
  GradientSpec g;
  const json* mode = Field(op, "mode");
  std::string m = mode != nullptr && mode->is_string() ? mode->get<std::string>() : "";
  if (m == "horizontal") g.mode = GRADIENT_FILL_RECT_H;
  else if (m == "vertical") g.mode = GRADIENT_FILL_RECT_V;
  else if (m == "triangles") g.mode = GRADIENT_FILL_TRIANGLE;
  else return OpProblem{"mode", std::string("expected horizontal, vertical or triangles") +
                                    (mode == nullptr ? " (the field is missing)" : "")};
  const std::string vertices = "expected a list of 2 to " + std::to_string(kMaxPointsPerOp) +
                               " vertices {\"at\": [x, y], \"color\": ...}";
  const json* v = Field(op, "vertices");
  if (v == nullptr) return OpProblem{"vertices", vertices + " (the field is missing)"};
  if (!v->is_array() || v->size() < 2 || v->size() > kMaxPointsPerOp) return OpProblem{"vertices", vertices};
  for (size_t i = 0; i < v->size(); ++i) {
    const std::string name = "vertices[" + std::to_string(i) + "]";
    const json& vertex = (*v)[i];
    if (!vertex.is_object()) return OpProblem{name, vertices};
    for (const auto& [key, value] : vertex.items()) {
      (void)value;
      if (key != "at" && key != "color" && key != "gray") return OpProblem{name + "." + key, "expected only at, color, gray"};
    }
    POINT p;
    if (auto problem = Point(Field(vertex, "at"), name + ".at", -kMaxCoordinate, &p)) return problem;
    COLORREF c;
    if (auto problem = Colour(vertex, name + ".", &c)) return problem;
    page.points.push_back(p);
    g.colours.push_back(c);
  }
  const size_t corners = g.mode == GRADIENT_FILL_TRIANGLE ? 3 : 2;
  const std::string meshes = "expected a list of 1 to " + std::to_string(kMaxGradientMeshes) + " lists of " +
                             (corners == 3 ? "3 vertex numbers (triangles)" : "2 vertex numbers (opposite corners)") +
                             " from 0";
  const json* mesh = Field(op, "mesh");
  if (mesh == nullptr) return OpProblem{"mesh", meshes + " (the field is missing)"};
  if (!mesh->is_array() || mesh->empty() || mesh->size() > kMaxGradientMeshes) return OpProblem{"mesh", meshes};
  for (size_t i = 0; i < mesh->size(); ++i) {
    const json& one = (*mesh)[i];
    const std::string name = "mesh[" + std::to_string(i) + "]";
    if (!one.is_array() || one.size() != corners) return OpProblem{name, meshes};
    for (const json& index : one) {
      if (!index.is_number_unsigned() || index.get<unsigned long long>() >= v->size())
        return OpProblem{name, "expected vertex numbers from 0 to " + std::to_string(v->size() - 1)};
      g.mesh.push_back(static_cast<ULONG>(index.get<unsigned long long>()));
    }
  }
  d.item = static_cast<int32_t>(page.gradients.size());
  page.gradients.push_back(std::move(g));
  return std::nullopt;
}

}  // namespace

std::optional<OpProblem> ReadPictureOp(const json& op, DrawOp& d, PageDrawing& page) {
  return d.kind == OpKind::Image ? ReadImage(op, d, page) : ReadGradient(op, d, page);
}

void FindImagesBeside(PageDrawing& page, size_t fromImage, const std::string& jobPath) {
  size_t slash = jobPath.rfind('/');
  if (slash == std::string::npos) return;
  for (size_t i = fromImage; i < page.images.size(); ++i)
    if (page.images[i].file[0] != '/') page.images[i].file = jobPath.substr(0, slash + 1) + page.images[i].file;
}

DWORD SourceRop(int rop2) {
  // R2 codes less one are the truth table over pen 1100 and destination 1010; with the source in
  // the pen's place that is the ROP3's index byte twice over. The low words are the documented ones.
  static constexpr DWORD kLow[16] = {0x0042, 0x00A6, 0x0326, 0x0008, 0x0328, 0x0009, 0x0046, 0x00E6,
                                     0x00C6, 0x0066, 0x0029, 0x0226, 0x0020, 0x0228, 0x0086, 0x0062};
  if (rop2 < R2_BLACK || rop2 > R2_WHITE) return SRCCOPY;
  DWORD table = static_cast<DWORD>(rop2 - 1);
  DWORD index = table << 4 | table;
  return index << 16 | kLow[table];
}

}  // namespace rt7700print
