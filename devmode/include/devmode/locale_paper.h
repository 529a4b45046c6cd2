// The default paper follows the user's country: Letter for the Americas' codes, A4 elsewhere.
#pragma once

namespace devmode {

// Country codes 1, 2, 50..59 and 500..599, and an unreadable code, mean Letter.
bool UsesMetricPaper();
// DMPAPER_A4 or DMPAPER_LETTER.
int DefaultPaperForLocale();
// The rule itself, for a country code already read.
bool CountryUsesLetter(int countryCode);

}  // namespace devmode
