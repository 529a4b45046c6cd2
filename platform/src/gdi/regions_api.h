// The clip region of a device context and how regions combine into it.
#pragma once

#include "dc_state.h"

namespace platform::gdi {

// NULLREGION, SIMPLEREGION or COMPLEXREGION.
int ComplexityOf(const engine::Region& region);
// Combines `region` (device pixels; null only for RGN_COPY, which removes the clip) into the
// clip region with an RGN_* mode. No clip counts as the whole surface. The result's complexity,
// or ERROR.
int CombineClip(const DrawingTarget& t, const engine::Region* region, int mode);

}  // namespace platform::gdi
