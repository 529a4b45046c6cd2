// Where GDI tells the printer's interface library about document and page boundaries, as the
// platform does: the library named by the printer's configuration path is loaded on the first
// event and its DrvDocumentEvent export is called with the event.
#pragma once

#include <string>

#include "win/wingdi.h"

namespace platform::gdi {

class DocumentEvents {
 public:
  explicit DocumentEvents(std::string interfaceLibraryPath) : path_(std::move(interfaceLibraryPath)) {}
  ~DocumentEvents();
  DocumentEvents(const DocumentEvents&) = delete;
  DocumentEvents& operator=(const DocumentEvents&) = delete;

  // The export's result, or DOCUMENTEVENT_UNSUPPORTED when the printer has no interface library
  // or it has no DrvDocumentEvent. Callers go on whatever the library answers: a refusal is traced
  // and does not stop the job.
  int Send(HANDLE printer, HDC hdc, int event, ULONG cbIn = 0, PVOID pvIn = nullptr, ULONG cbOut = 0,
           PVOID pvOut = nullptr);

 private:
  std::string path_;
  bool tried_ = false;
  HMODULE module_ = nullptr;
  PFN_DrvDocumentEvent export_ = nullptr;
};

}  // namespace platform::gdi
