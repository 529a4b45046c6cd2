// The engine's geometry services: flattening, widening a stroke into an outline, rasterising a
// filled path into a region.
#include "engine/engine_internal.h"

namespace platform::engine {

PathPoints FlattenPath(const PathPoints& path) { return path; }

std::optional<PathPoints> WidenPath(const PathPoints&, const LINEATTRS&, const XFORML*) { return std::nullopt; }

Region RasterizePath(const PathPoints&, int, RECTL) { return Region(); }

}  // namespace platform::engine
