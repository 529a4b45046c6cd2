// Pictures on a job file's page: image files placed at a rectangle, and gradients.
//
//   { "op": "image", "file": "logo.bmp", "at": [20, 20], "size": [40, 20],
//     "mirror": "horizontal", "rop": "mask-pen" }            // or "transparent": "#ffffff"
//   { "op": "gradient", "mode": "horizontal",               // "vertical", "triangles"
//     "vertices": [ { "at": [0, 0], "color": "#ff0000" }, { "at": [50, 10], "gray": 40 } ],
//     "mesh": [ [0, 1] ] }                                  // index pairs, or triples for triangles
//
// An image file is a PNG or a BMP, found from the job file's folder when its path is relative. The
// rectangle's corners and the vertices' positions are kept in the page's point pool.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "win/wingdi.h"
#include "win/winddi.h"

namespace rt7700print {

struct PageDrawing;
struct DrawOp;
struct OpProblem;

constexpr size_t kMaxGradientMeshes = 10000;
// Pixels of one decoded image: a 24-bit picture of this many takes 768 MB.
constexpr unsigned long long kMaxImagePixels = 256ull << 20;

struct ImageSpec {
  std::string file;  // as written, then found from the job file's folder
  bool mirrorX = false, mirrorY = false;
  std::optional<COLORREF> transparent;
};

struct GradientSpec {
  ULONG mode = GRADIENT_FILL_RECT_H;
  std::vector<COLORREF> colours;  // one per vertex, beside the op's points
  std::vector<ULONG> mesh;        // GRADIENT_RECT pairs or GRADIENT_TRIANGLE triples
};

// Reads the fields of an "image" or "gradient" operation into `page` (the op's points pushed to the
// pool, its spec appended and `op.item` set to it). The problem names the field.
std::optional<OpProblem> ReadPictureOp(const nlohmann::json& op, DrawOp& d, PageDrawing& page);

// Images written after `fromImage` with relative paths are taken from the folder of `jobPath`.
void FindImagesBeside(PageDrawing& page, size_t fromImage, const std::string& jobPath);

// The ternary raster operation that does to the source what an R2_* code does to the pen.
DWORD SourceRop(int rop2);

// Draws an "image" or "gradient" operation; on failure says what failed, after `where`.
std::optional<std::string> DrawPicture(HDC hdc, const PageDrawing& page, const DrawOp& op, const std::string& where);

}  // namespace rt7700print
