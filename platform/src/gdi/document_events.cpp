#include "document_events.h"

#include <dlfcn.h>

#include "gdi_trace.h"

namespace platform::gdi {

DocumentEvents::~DocumentEvents() {
  if (module_ != nullptr) dlclose(module_);
}

int DocumentEvents::Send(HANDLE printer, HDC hdc, int event, ULONG cbIn, PVOID pvIn, ULONG cbOut, PVOID pvOut) {
  if (!tried_) {
    tried_ = true;
    if (!path_.empty()) {
      module_ = dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL);
      if (module_ == nullptr) {
        const char* why = dlerror();
        GdiTrace("GDI: no document events, cannot load %s: %s\n", path_.c_str(), why != nullptr ? why : "?");
      } else {
        export_ = reinterpret_cast<PFN_DrvDocumentEvent>(dlsym(module_, "DrvDocumentEvent"));
      }
    }
  }
  if (export_ == nullptr) return DOCUMENTEVENT_UNSUPPORTED;
  int result = export_(printer, hdc, event, cbIn, pvIn, cbOut, pvOut);
  if (result < 0) GdiTrace("GDI: DrvDocumentEvent %d refused (%d), the job goes on\n", event, result);
  return result;
}

}  // namespace platform::gdi
