// The interface library's working devmode: its defaults with a caller's devmode merged in, as the
// capability queries and the print-time check build it afresh on every call.
#pragma once

#include <memory>
#include <string>

#include "devmode/caller_merge.h"
#include "devmode/stored_devmode.h"

namespace ui {

// What the merge needs from this library: the default favourite name (string 202 of the language
// module this process holds, else the English text) and the user's custom papers.
class MergeContext {
 public:
  MergeContext();
  const devmode::CallerMergeContext& get() const { return context_; }

 private:
  std::u16string favoriteName_;
  devmode::CallerMergeContext context_;
};

struct WorkingDevmode {
  std::unique_ptr<devmode::StoredDevmode> devmode;  // null when it could not be allocated
  bool merged = false;                              // whether the caller's devmode was accepted
};

// Defaults named `deviceName` (cut to its field), then `caller` merged in when given.
WorkingDevmode BuildWorkingDevmode(const WCHAR* deviceName, const DEVMODEW* caller);

}  // namespace ui
