#include "document_events.h"

#include "platform/utf16.h"
#include "win/error.h"
#include "win/modules.h"

#include "gdi_trace.h"

namespace platform::gdi {

DocumentEvents::~DocumentEvents() {
  if (module_ != nullptr) FreeLibrary(module_);
}

int DocumentEvents::Send(HANDLE printer, HDC hdc, int event, ULONG cbIn, PVOID pvIn, ULONG cbOut, PVOID pvOut) {
  if (!tried_) {
    tried_ = true;
    if (!path_.empty()) {
      // Through the loader, so the library's DllMain sees the attach and, at the end, the detach.
      module_ = LoadLibraryW(platform::Utf8ToUtf16(path_).c_str());
      if (module_ == nullptr) {
        GdiTrace("GDI: no document events, cannot load %s: error %lu\n", path_.c_str(),
                 static_cast<unsigned long>(GetLastError()));
      } else {
        export_ = reinterpret_cast<PFN_DrvDocumentEvent>(
            reinterpret_cast<void (*)()>(GetProcAddress(module_, "DrvDocumentEvent")));
      }
    }
  }
  if (export_ == nullptr) return DOCUMENTEVENT_UNSUPPORTED;
  int result = export_(printer, hdc, event, cbIn, pvIn, cbOut, pvOut);
  if (result < 0) GdiTrace("GDI: DrvDocumentEvent %d refused (%d), the job goes on\n", event, result);
  return result;
}

}  // namespace platform::gdi
