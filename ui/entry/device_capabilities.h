// DrvDeviceCapabilities: the papers, bins, resolutions and limits the printer offers, with the
// user's custom papers after the printer's own and names in the interface language.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "win/base.h"
#include "win/devmode.h"

namespace ui {

constexpr int kStandardPaperCount = 29;

struct StandardPaper {
  WORD paper;
  int16_t width;  // 1/600 inch, portrait
  int16_t height;
  UINT nameId;  // its name in the language module
};
// The printer's own papers, in the order applications see them (custom papers come after).
std::span<const StandardPaper> StandardPapers();
constexpr int kMaxCustomPapers = 16;
constexpr size_t kPaperNameChars = 64;
constexpr size_t kBinNameChars = 24;

// The answer for one index (see the DC_* values); GDI_ERROR for an index the driver does not answer.
DWORD DeviceCapabilities(HANDLE printer, const WCHAR* deviceName, WORD index, void* output, const DEVMODEW* devmode);

// The listed name of custom paper `position` (from 0): "name (W x Hmm)" in whole millimetres
// rounded down, or "Custom <position> (W x Hmm)" when that would not fit a 64-character slot.
std::u16string CustomPaperDisplayName(std::u16string_view name, int position, int width, int height);

}  // namespace ui
