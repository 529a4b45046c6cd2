// A MuPDF device that draws through GDI. The caller sets the device context up so that one logical
// unit is 1/kSubPixels of a device pixel, and runs pages with a matrix into those logical units.
#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

extern "C" {
#include <mupdf/fitz.h>
}

#include "win/wingdi.h"

namespace rt7700pdf {

constexpr int kSubPixels = 16;

// The PDF's TrueType fonts registered with the platform's engine, each under a name of its own,
// for the document's life: printed as the printer's scalable fonts.
class FontRegistry {
 public:
  FontRegistry() = default;
  ~FontRegistry();
  FontRegistry(const FontRegistry&) = delete;
  FontRegistry& operator=(const FontRegistry&) = delete;
  // The registered family of the font, or empty when it is no TrueType font the engine takes.
  std::u16string Family(fz_context* ctx, fz_font* font);

 private:
  std::map<std::array<unsigned char, 16>, std::u16string> families_;
  std::vector<HANDLE> handles_;
};

// The first GDI failure goes to `error` (left empty when all went well); the device must be
// closed (fz_close_device) before it is dropped. Without `fonts` all text prints as outlines.
fz_device* NewGdiDevice(fz_context* ctx, HDC hdc, FontRegistry* fonts, std::string* error);

}  // namespace rt7700pdf
