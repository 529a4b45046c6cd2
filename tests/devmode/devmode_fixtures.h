// Builders for the devmodes the tests feed to the import and the merges.
#pragma once

#include <cstring>

#include "devmode/caller_merge.h"
#include "devmode/render_devmode.h"

namespace devmode::testing {

inline StoredDevmode DefaultStored(const WCHAR* device = u"R7700 Test") {
  StoredDevmode s{};
  InitStoredDevmode(&s, device, u"Default Settings");
  return s;
}

// The render settings the rendering library builds from a stored devmode; `ok` reports the merge.
inline RenderSettings Rendered(const StoredDevmode& stored, int* ok = nullptr) {
  RenderSettings r{}, scratch{};
  Devmod2_InitDevMode(&r, u"R7700 Test");
  int result = ImportStoredDevmode(&stored.pub, &scratch) && Devmod2_MergeFieldsHigh(&r, &scratch.pub);
  if (ok != nullptr) *ok = result;
  return r;
}

}  // namespace devmode::testing
