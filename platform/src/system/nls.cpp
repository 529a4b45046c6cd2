// Locale information from the POSIX locale: the user's country code (LOCALE_ICOUNTRY, the
// international calling code of the locale's territory) and the system language id.
#include "win/nls.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "hook_state.h"
#include "platform/utf16.h"
#include "win/error.h"

namespace {

struct Territory {
  char iso[3];
  int callingCode;
};

// ISO 3166 territory -> international calling code, the number Windows reports as the country code.
constexpr Territory kTerritories[] = {
    {"US", 1},   {"CA", 1},   {"PR", 1},   {"JM", 1},   {"TT", 1},   {"BS", 1},   {"BB", 1},
    {"DO", 1},   {"EG", 20},  {"ZA", 27},  {"GR", 30},  {"NL", 31},  {"BE", 32},  {"FR", 33},
    {"ES", 34},  {"HU", 36},  {"IT", 39},  {"RO", 40},  {"CH", 41},  {"AT", 43},  {"GB", 44},
    {"DK", 45},  {"SE", 46},  {"NO", 47},  {"PL", 48},  {"DE", 49},  {"PE", 51},  {"MX", 52},
    {"CU", 53},  {"AR", 54},  {"BR", 55},  {"CL", 56},  {"CO", 57},  {"VE", 58},  {"MY", 60},
    {"AU", 61},  {"ID", 62},  {"PH", 63},  {"NZ", 64},  {"SG", 65},  {"TH", 66},  {"JP", 81},
    {"KR", 82},  {"VN", 84},  {"CN", 86},  {"TR", 90},  {"IN", 91},  {"PK", 92},  {"AF", 93},
    {"LK", 94},  {"MM", 95},  {"IR", 98},  {"MA", 212}, {"DZ", 213}, {"TN", 216}, {"LY", 218},
    {"GM", 220}, {"SN", 221}, {"ML", 223}, {"CI", 225}, {"BF", 226}, {"NE", 227}, {"TG", 228},
    {"BJ", 229}, {"MU", 230}, {"LR", 231}, {"SL", 232}, {"GH", 233}, {"NG", 234}, {"TD", 235},
    {"CM", 237}, {"GA", 241}, {"CG", 242}, {"CD", 243}, {"AO", 244}, {"SD", 249}, {"RW", 250},
    {"ET", 251}, {"SO", 252}, {"DJ", 253}, {"KE", 254}, {"TZ", 255}, {"UG", 256}, {"BI", 257},
    {"MZ", 258}, {"ZM", 260}, {"MG", 261}, {"ZW", 263}, {"NA", 264}, {"MW", 265}, {"LS", 266},
    {"BW", 267}, {"SZ", 268}, {"ER", 291}, {"FO", 298}, {"GL", 299}, {"GI", 350}, {"PT", 351},
    {"LU", 352}, {"IE", 353}, {"IS", 354}, {"AL", 355}, {"MT", 356}, {"CY", 357}, {"FI", 358},
    {"BG", 359}, {"LT", 370}, {"LV", 371}, {"EE", 372}, {"MD", 373}, {"AM", 374}, {"BY", 375},
    {"AD", 376}, {"MC", 377}, {"SM", 378}, {"UA", 380}, {"RS", 381}, {"ME", 382}, {"HR", 385},
    {"SI", 386}, {"BA", 387}, {"MK", 389}, {"CZ", 420}, {"SK", 421}, {"LI", 423}, {"BZ", 501},
    {"GT", 502}, {"SV", 503}, {"HN", 504}, {"NI", 505}, {"CR", 506}, {"PA", 507}, {"HT", 509},
    {"BO", 591}, {"EC", 593}, {"PY", 595}, {"UY", 598}, {"BN", 673}, {"PG", 675}, {"FJ", 679},
    {"HK", 852}, {"MO", 853}, {"KH", 855}, {"LA", 856}, {"BD", 880}, {"TW", 886}, {"MV", 960},
    {"LB", 961}, {"JO", 962}, {"SY", 963}, {"IQ", 964}, {"KW", 965}, {"SA", 966}, {"YE", 967},
    {"OM", 968}, {"PS", 970}, {"AE", 971}, {"IL", 972}, {"BH", 973}, {"QA", 974}, {"BT", 975},
    {"MN", 976}, {"NP", 977}, {"TJ", 992}, {"TM", 993}, {"AZ", 994}, {"GE", 995}, {"KG", 996},
    {"UZ", 998}, {"RU", 7},   {"KZ", 7}};

struct LanguageId {
  const char* locale;  // "ll_TT" or "ll"
  LANGID id;
};

// POSIX language[_territory] -> LANGID; the first entry of a language is its default.
constexpr LanguageId kLanguages[] = {
    {"en_US", 0x0409}, {"en_GB", 0x0809}, {"en_AU", 0x0C09}, {"en_CA", 0x1009}, {"en", 0x0409},
    {"de_DE", 0x0407}, {"de_CH", 0x0807}, {"de_AT", 0x0C07}, {"de_LU", 0x1007}, {"de_LI", 0x1407},
    {"de", 0x0407},    {"fr_FR", 0x040C}, {"fr_BE", 0x080C}, {"fr_CA", 0x0C0C}, {"fr_CH", 0x100C},
    {"fr_LU", 0x140C}, {"fr_MC", 0x180C}, {"fr", 0x040C},    {"it_IT", 0x0410}, {"it_CH", 0x0810},
    {"it", 0x0410},    {"ja_JP", 0x0411}, {"ja", 0x0411},    {"nb_NO", 0x0414}, {"no_NO", 0x0414},
    {"nn_NO", 0x0814}, {"nb", 0x0414},    {"nn", 0x0814},    {"no", 0x0414},    {"ru_RU", 0x0419},
    {"ru", 0x0419},    {"sv_SE", 0x041D}, {"sv_FI", 0x081D}, {"sv", 0x041D},    {"tr_TR", 0x041F},
    {"tr", 0x041F},    {"zh_TW", 0x0404}, {"zh_CN", 0x0804}, {"zh_HK", 0x0C04}, {"zh_SG", 0x1004},
    {"zh_MO", 0x1404}, {"zh", 0x0804},    {"ar_SA", 0x0401}, {"ar_IQ", 0x0801}, {"ar_EG", 0x0C01},
    {"ar_LY", 0x1001}, {"ar_DZ", 0x1401}, {"ar_MA", 0x1801}, {"ar_TN", 0x1C01}, {"ar_OM", 0x2001},
    {"ar_YE", 0x2401}, {"ar_SY", 0x2801}, {"ar_JO", 0x2C01}, {"ar_LB", 0x3001}, {"ar_KW", 0x3401},
    {"ar_AE", 0x3801}, {"ar_BH", 0x3C01}, {"ar_QA", 0x4001}, {"ar", 0x0401},    {"es_ES", 0x0C0A},
    {"es_MX", 0x080A}, {"es_GT", 0x100A}, {"es_CR", 0x140A}, {"es_PA", 0x180A}, {"es_DO", 0x1C0A},
    {"es_VE", 0x200A}, {"es_CO", 0x240A}, {"es_PE", 0x280A}, {"es_AR", 0x2C0A}, {"es_EC", 0x300A},
    {"es_CL", 0x340A}, {"es_UY", 0x380A}, {"es_PY", 0x3C0A}, {"es_BO", 0x400A}, {"es_SV", 0x440A},
    {"es_HN", 0x480A}, {"es_NI", 0x4C0A}, {"es_PR", 0x500A}, {"es", 0x0C0A},    {"pt_BR", 0x0416},
    {"pt_PT", 0x0816}, {"pt", 0x0816},    {"nl_NL", 0x0413}, {"nl", 0x0413},    {"pl_PL", 0x0415},
    {"pl", 0x0415},    {"ko_KR", 0x0412}, {"ko", 0x0412}};

// The locale the user's settings follow: LC_ALL, then the category, then LANG.
std::string PosixLocale(const char* category) {
  for (const char* name : {"LC_ALL", category, "LANG"}) {
    const char* v = std::getenv(name);
    if (v != nullptr && *v != '\0') return v;
  }
  return "";
}

// "de_DE.UTF-8@euro" -> language "de", territory "DE".
void SplitLocale(const std::string& locale, std::string& language, std::string& territory) {
  std::string base = locale.substr(0, locale.find_first_of(".@"));
  size_t us = base.find('_');
  language = base.substr(0, us);
  territory = us == std::string::npos ? "" : base.substr(us + 1);
}

std::optional<int> CountryCodeFromLocale() {
  std::string language, territory;
  SplitLocale(PosixLocale("LC_PAPER"), language, territory);
  for (const auto& t : kTerritories) {
    if (territory == t.iso) return t.callingCode;
  }
  return std::nullopt;
}

int CopyOut(const std::u16string& text, LPWSTR data, int cchData) {
  int needed = static_cast<int>(text.size()) + 1;
  if (cchData == 0) return needed;
  if (data == nullptr || cchData < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(data, text.c_str(), needed * sizeof(WCHAR));
  return needed;
}

}  // namespace

extern "C" int GetLocaleInfoW(LCID locale, LCTYPE type, LPWSTR data, int cchData) {
  if (cchData < 0 || (locale != LOCALE_USER_DEFAULT && locale != LOCALE_SYSTEM_DEFAULT)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (type == LOCALE_ICOUNTRY) {
    std::optional<int> code;
    if (auto o = platform::hooks::CountryCodeOverride()) {
      code = o->code;
    } else {
      code = CountryCodeFromLocale();
    }
    if (!code) {
      SetLastError(ERROR_INVALID_DATA);
      return 0;
    }
    return CopyOut(platform::Widen(std::to_string(*code)), data, cchData);
  }
  if (type == LOCALE_SISO3166CTRYNAME) {
    std::string language, territory;
    SplitLocale(PosixLocale("LC_PAPER"), language, territory);
    if (territory.empty()) {
      SetLastError(ERROR_INVALID_DATA);
      return 0;
    }
    return CopyOut(platform::Widen(territory), data, cchData);
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return 0;
}

extern "C" LANGID GetSystemDefaultLangID() {
  if (auto o = platform::hooks::SystemLangIdOverride()) return *o;
  std::string language, territory;
  SplitLocale(PosixLocale("LC_MESSAGES"), language, territory);
  std::string full = language + "_" + territory;
  for (const auto& l : kLanguages) {
    if (full == l.locale) return l.id;
  }
  for (const auto& l : kLanguages) {
    if (language == l.locale) return l.id;
  }
  return 0x0409;
}

extern "C" LANGID GetUserDefaultLangID() { return GetSystemDefaultLangID(); }
