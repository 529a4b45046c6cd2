// Document and page boundaries of an application's print job, as GDI reports them.
#pragma once

#include "win/base.h"

namespace ui {

// Escape the end-page event sends first, with the device context's handle value as input.
constexpr int kPosterQueryEscape = 6002;

// 1 for the events this library takes part in, 0 for the rest.
int DocumentEvent(HDC hdc, int event);

}  // namespace ui
