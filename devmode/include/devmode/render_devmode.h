// Building the render settings of a device context: defaults, the import of an application's
// stored devmode into a scratch record, and the validating merge of the scratch into the defaults.
#pragma once

#include "devmode/render_settings.h"

namespace devmode {

// Fills the defaults for this device; 0 (after a trace) when `settings` is null.
int Devmod2_InitDevMode(RenderSettings* settings, const WCHAR* deviceName);

// Converts a stored devmode into `scratch` (which it zeroes first). Reads nothing beyond the
// dmSize + dmDriverExtra bytes the record claims. 0 only when no devmode is given.
int ImportStoredDevmode(const DEVMODEW* stored, RenderSettings* scratch);

// Merges `scratch` into `settings` field by field with validation. A null scratch changes nothing.
int Devmod2_MergeFieldsHigh(RenderSettings* settings, const DEVMODEW* scratch);

// The effective spec version from dmSize (188 -> 0x320, 212 -> 0x400, 220 -> 0x401), else
// dmSpecVersion; 0 (after a trace) for a null devmode.
WORD CheckDevmodeVersion(const DEVMODEW* devmode);

// Whether render settings hold only values the rendering library accepts (what the merge produces).
bool RenderSettingsValid(const RenderSettings& settings);

// Decoration grey for a watermark GreyLevel (0x00RRGGBB).
uint32_t DecorationGrey(unsigned greyLevel);

}  // namespace devmode
