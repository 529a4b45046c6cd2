#include "entry/document_event.h"

#include <cstdint>
#include <cstring>

#include "decor/decoration_renderer.h"
#include "decor/gdi_target.h"
#include "win/wingdi.h"

namespace ui {

int DocumentEvent(HDC hdc, int event) {
  switch (event) {
    case DOCUMENTEVENT_ENDPAGE: {
      const uint64_t handle = reinterpret_cast<uintptr_t>(hdc);
      char in[sizeof handle];
      std::memcpy(in, &handle, sizeof handle);
      ExtEscape(hdc, kPosterQueryEscape, sizeof in, in, 0, nullptr);
      decor::GdiDecorationTarget target(hdc);
      try {
        decor::DecorationRenderer(target);
      } catch (...) {
        // Cut short (out of memory): the rest of the job must not print as decoration.
        ExtEscape(hdc, decor::kEndDecorationEscape, 0, nullptr, 0, nullptr);
        throw;
      }
      return DOCUMENTEVENT_SUCCESS;
    }
    case DOCUMENTEVENT_CREATEDCPRE:
    case DOCUMENTEVENT_STARTDOC:
    case DOCUMENTEVENT_STARTPAGE:
    case DOCUMENTEVENT_STARTDOCPOST:
      return DOCUMENTEVENT_SUCCESS;
    default:
      return DOCUMENTEVENT_UNSUPPORTED;
  }
}

}  // namespace ui
