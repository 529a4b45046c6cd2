// How the XPS document writer should adjust its output for this printer: the imageable area of
// the job's paper, no image compression, and 600 dots per inch for a draft-quality devmode.
#pragma once

#include "win/devmode.h"
#include "win/printer_ui.h"

namespace ui {

HRESULT AdjustXpsProperties(const DEVMODEW* devmode, PrintPropertiesCollection* properties);

}  // namespace ui
