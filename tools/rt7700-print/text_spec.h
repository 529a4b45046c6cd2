// What a job file's "text" operation draws, as read (text_op.h reads and draws it).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "win/wingdi.h"

namespace rt7700print {

constexpr size_t kMaxTextLength = 10000;  // UTF-16 units per operation

struct TextSpec {
  std::u16string text;
  std::u16string face;    // empty: the platform's default face
  std::string fontFile;   // the path to bring the face from (the job file's folder already joined), or empty
  double size = 12;       // the em height, in points or else in the page's unit
  bool sizeInPoints = true;
  LONG weight = FW_NORMAL;
  bool italic = false, underline = false, strikeOut = false;
  LONG angle = 0;  // tenths of a degree, counterclockwise on the page
  COLORREF color = RGB(0, 0, 0);
  std::optional<COLORREF> background;  // opaque; none: transparent
  UINT align = TA_LEFT | TA_BASELINE;
  std::vector<INT> spacing;  // logical units per UTF-16 unit, or empty for the face's own advances
};

}  // namespace rt7700print
