// The system colours of the standard light scheme, as owner-drawn controls ask for them.
#include "win/dialogs.h"

extern "C" DWORD GetSysColor(int index) {
  switch (index) {
    case COLOR_WINDOW: return 0x00FFFFFF;
    case COLOR_WINDOWTEXT: return 0x00000000;
    case COLOR_HIGHLIGHT: return 0x00D77800;  // 0x00BBGGRR
    case COLOR_HIGHLIGHTTEXT: return 0x00FFFFFF;
    case COLOR_BTNFACE: return 0x00F0F0F0;
    case COLOR_GRAYTEXT: return 0x006D6D6D;
    default: return 0;
  }
}
