// Clipped runs of cosmetic lines (PATHOBJ_vEnumStartClipLines, PATHOBJ_bEnumClipLines).
#include "engine/engine_internal.h"

namespace platform::engine {

std::vector<RUN> LineRuns(POINTFIX, POINTFIX, const Region*) { return {}; }

}  // namespace platform::engine

extern "C" void PATHOBJ_vEnumStartClipLines(PATHOBJ*, CLIPOBJ*, SURFOBJ*, LINEATTRS*) {}

extern "C" BOOL PATHOBJ_bEnumClipLines(PATHOBJ*, ULONG, CLIPLINE* pcl) {
  if (pcl != nullptr) pcl->c = 0;
  return FALSE;
}
