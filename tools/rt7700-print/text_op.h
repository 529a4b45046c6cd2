// The "text" operation of a job file page: a string at a point in a face, size, weight and slant,
// turned, coloured, aligned, on an opaque background or none, optionally spaced glyph by glyph and
// in a face the job brings in a font file.
//
//   { "op": "text", "at": [72, 100], "text": "Dear reader,", "face": "Liberation Serif", "size": "11pt",
//     "weight": "bold", "align": "left baseline", "angle": 90, "color": "#203060" }
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "drawing_ops.h"
#include "text_spec.h"

namespace rt7700print {

// Reads a "text" operation's own fields into `page.texts` and its anchor into `page.points`; `d.text`
// is set to its index. The caller rolls the page back on a problem.
std::optional<OpProblem> ReadTextOp(const nlohmann::json& op, PageDrawing& page, DrawOp& d);

// Draws it at `at` (logical units) and leaves the device context's font, alignment, colours and
// background mode as they were. Returns the call that failed.
std::optional<std::string> DrawTextOp(HDC hdc, const TextSpec& text, POINT at, Unit unit);

}  // namespace rt7700print
