#include "devmode/locale_paper.h"

#include "win/devmode.h"
#include "win/nls.h"

namespace devmode {

bool CountryUsesLetter(int c) { return c == 1 || c == 2 || (c >= 50 && c <= 59) || (c >= 500 && c <= 599); }

bool UsesMetricPaper() {
  WCHAR buf[16] = {};
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_ICOUNTRY, buf, 16) <= 0) return false;
  int code = 0;
  bool digits = false;
  for (const WCHAR* p = buf; *p >= u'0' && *p <= u'9'; ++p) {
    code = code * 10 + (*p - u'0');
    digits = true;
    if (code > 100000) break;
  }
  if (!digits) return false;
  return !CountryUsesLetter(code);
}

int DefaultPaperForLocale() { return UsesMetricPaper() ? DMPAPER_A4 : DMPAPER_LETTER; }

}  // namespace devmode
