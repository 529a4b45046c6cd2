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

// The PDF's embedded fonts registered with the platform's engine for the document's life.
// TrueType fonts get a name and a cmap of their own and print as the printer's scalable fonts;
// Type 1, CFF and OpenType-CFF fonts go in as they are, under the family name they carry, are
// drawn by glyph index and print as bitmap fonts.
class FontRegistry {
 public:
  struct Registered {
    std::u16string family;  // empty when the font is not registered
    bool glyphIndices = false;
  };
  FontRegistry() = default;
  ~FontRegistry();
  FontRegistry(const FontRegistry&) = delete;
  FontRegistry& operator=(const FontRegistry&) = delete;
  Registered Family(fz_context* ctx, fz_font* font);

 private:
  std::map<std::array<unsigned char, 16>, Registered> families_;
  std::vector<HANDLE> handles_;
  int trueTypes_ = 0;
};

// The first GDI failure goes to `error` (left empty when all went well); the device must be
// closed (fz_close_device) before it is dropped. Without `fonts` all text prints as outlines.
fz_device* NewGdiDevice(fz_context* ctx, HDC hdc, FontRegistry* fonts, std::string* error);

}  // namespace rt7700pdf
