// Previews of a job's pages: each page drawn as the application drew it into a memory device
// context the size of the printer's paper, written as a PNG file.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "drawing_ops.h"

namespace rt7700print {

constexpr int kMinPreviewDpi = 10;
constexpr int kMaxPreviewDpi = 600;
constexpr int kDefaultPreviewDpi = 100;

// `printer` gives the paper's size and resolution; `drawing` may be null for an empty page.
// The paper fills the picture, its corner at pixel (0, 0); white where nothing was drawn.
// Returns what failed: "op 2 (ellipse): Ellipse failed (error 8)", "cannot write FILE: ...".
std::optional<std::string> PreviewPage(HDC printer, const PageDrawing* drawing, Unit unit, int dpi,
                                       const std::string& file);

// The same picture drawn by `draw`, given the memory DC (the paper's corner at device pixel 0, 0).
std::optional<std::string> PreviewPicture(HDC printer, int dpi, const std::string& file,
                                          const std::function<std::optional<std::string>(HDC)>& draw);

// DIR/page-001.png for page 1.
std::string PreviewFileName(const std::string& dir, long long page);

}  // namespace rt7700print
