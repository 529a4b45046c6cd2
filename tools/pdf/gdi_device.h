// A MuPDF device that draws through GDI. The caller sets the device context up so that one logical
// unit is 1/kSubPixels of a device pixel, and runs pages with a matrix into those logical units.
#pragma once

#include <string>

extern "C" {
#include <mupdf/fitz.h>
}

#include "win/wingdi.h"

namespace rt7700pdf {

constexpr int kSubPixels = 16;

// The first GDI failure goes to `error` (left empty when all went well); the device must be
// closed (fz_close_device) before it is dropped.
fz_device* NewGdiDevice(fz_context* ctx, HDC hdc, std::string* error);

}  // namespace rt7700pdf
